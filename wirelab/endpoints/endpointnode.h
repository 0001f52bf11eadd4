#pragma once
// A tree node that carries an endpoint record. The node and the record clear
// their references to each other when either goes, so a node deleted with its
// parent (accepted connections under a deleted server) can never be touched
// through its record again.

#include <QTreeWidgetItem>

class TMySocket;

class EndpointNode : public QTreeWidgetItem
{
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    EndpointNode(QTreeWidgetItem *parent, const QString &caption, TMySocket *record);
    ~EndpointNode() override;

    TMySocket *record() const { return m_record; }
    void detach() { m_record = nullptr; }  // called by the record's destructor

    void setStateImage(int image);
    int stateImage() const { return m_image; }

private:
    TMySocket *m_record;
    int m_image = 0;
};

// The record of a node, or nullptr for a root or any other node.
TMySocket *RecordOf(QTreeWidgetItem *item);
// The state image shown by a node (roots: 7).
int StateImageOf(QTreeWidgetItem *item);
// Icon of a state image (drawn once, cached).
class QIcon;
QIcon StateIcon(int image);
