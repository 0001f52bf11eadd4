#pragma once
// Panels: the rows of buttons, edit boxes and labels that the script
// declares for its endpoints, whatever shows them. The workspace build and
// the accept hook add rows (buildRows), the refresh brings button captions
// and edit texts in step with `sockets`, and a press or a typed text goes to
// the script: a click is OnButtonClick, the refresh, then the actions; an
// edit text that changes, typed or set by the build or the refresh, is
// OnEditChange. A data window draws an endpoint's rows from here; a run
// without a window has them all the same.
//
// A button's or edit box's ID is its name in the endpoint's window: empty,
// or an identifier that no other item of that endpoint and none of the
// window's own controls uses, case ignored.

#include "core/script/panelbuilder.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class Endpoint;
class EndpointRegistry;
class ScriptHost;

class Panels : public QObject, public PanelBuilder
{
    Q_OBJECT
public:
    struct Item
    {
        enum class Type {
            Button,
            Edit,
            Label
        };
        Type type = Type::Label;
        QString id;  // empty for a label
        QString text;  // caption, edit text or label text
        int width = 0;  // a label's, in pixels
        int row = 0;  // the endpoint's row it sits in
    };

    Panels(ScriptHost &host, EndpointRegistry &registry, QObject *parent = nullptr);
    ~Panels() override;

    // The names of the controls a data window has of its own, which no
    // item may take.
    static const QStringList &reservedNames();

    int rowCount(const Endpoint *endpoint) const;
    // The endpoint's items, row by row, in the order they were declared.
    QList<Item> items(const Endpoint *endpoint) const;
    // The index of the button or edit box named id (case ignored), or -1.
    int indexOf(const Endpoint *endpoint, const QString &id) const;

    // A press of the button named id. False when there is none. A script
    // error leaves here.
    bool click(Endpoint &endpoint, const QString &id);
    // Text typed into the edit box named id: OnEditChange when the text
    // changes. False when there is none. A script error leaves here.
    bool setText(Endpoint &endpoint, const QString &id, const QString &text);
    // The same for the item at index (unnamed ones included), as a view
    // reports its controls.
    void clickAt(Endpoint &endpoint, int index);
    void setTextAt(Endpoint &endpoint, int index, const QString &text);

    // PanelBuilder
    void buildRows(Endpoint &endpoint, const JsonNode &ui) override;
    void refresh(const JsonNode &sockets) override;

Q_SIGNALS:
    void rowAdded(Endpoint *endpoint, int row);
    void itemAdded(Endpoint *endpoint, int index);
    // A button's caption or an edit box's text changed.
    void textChanged(Endpoint *endpoint, int index, const QString &text);
    // The refresh met an item named as one of the window's own controls
    // (reservedNames()): a window sets that control's text as it would a
    // panel item's, without a call to the script. type: "Edit" or "Button".
    void ownControlText(Endpoint *endpoint, const QString &type, const QString &id, const QString &text);

private:
    struct Panel
    {
        int rows = 0;
        QList<Item> items;
    };
    void checkName(const Endpoint *endpoint, const QString &name) const;
    // Stores an edit box's new text, tells the views, then the script; the
    // build and the refresh report a script error as the edit box's own
    // handler does, and go on.
    void changeEditText(Endpoint &endpoint, int index, const QString &text, bool reportErrors);
    Item *itemAt(const Endpoint *endpoint, int index);

    ScriptHost &m_host;
    EndpointRegistry &m_registry;
    QHash<const Endpoint *, Panel> m_panels;
};
