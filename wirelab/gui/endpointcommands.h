#pragma once
// The endpoint commands of the toolbar: "创建" by the selected kind root
// through that kind's creation dialog, "删除" of the selected endpoint, and
// the stop command (the hidden "停止" button and a data window's "断开").

#include <QObject>

class EndpointRegistry;
class EndpointTree;
class NewClientDialog;
class NewGroupDialog;
class NewServerDialog;
class NewUdpClientDialog;
class NewUdpServerDialog;
class QWidget;

class EndpointCommands : public QObject
{
    Q_OBJECT
public:
    // Creates the five dialogs (hidden), children of dialogParent.
    EndpointCommands(EndpointRegistry &registry, EndpointTree &tree, QWidget *dialogParent);
    ~EndpointCommands() override;

    void create();
    void deleteSelected();
    // Acts on the selected endpoint; then disables sender (if still there).
    void stop(QWidget *sender);

    NewServerDialog *newServerDialog() const { return m_newServer; }
    NewClientDialog *newClientDialog() const { return m_newClient; }
    NewUdpClientDialog *newUdpClientDialog() const { return m_newUdpClient; }
    NewUdpServerDialog *newUdpServerDialog() const { return m_newUdpServer; }
    NewGroupDialog *newGroupDialog() const { return m_newGroup; }

Q_SIGNALS:
    // After a creation or deletion: whether the welcome panel is wanted
    // (there is no endpoint left) or not (there are endpoints).
    void welcomeWanted(bool visible);

private:
    EndpointRegistry &m_registry;
    EndpointTree &m_tree;
    NewServerDialog *m_newServer;
    NewClientDialog *m_newClient;
    NewUdpClientDialog *m_newUdpClient;
    NewGroupDialog *m_newGroup;
    NewUdpServerDialog *m_newUdpServer;
};
