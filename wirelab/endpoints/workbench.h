#pragma once
// The workbench: the registry of endpoints, the script engine and the
// building blocks that every endpoint kind, command and script service uses
// (data windows, tree nodes, script events). The main window creates one and
// attaches its tree and MDI area to it.

#include "datawindowarea.h"
#include "registry.h"
#include "script/scriptengine.h"

#include <QMdiArea>
#include <QObject>
#include <QTreeWidget>
#include <QPointer>
#include <QString>
#include <QMultiHash>
#include <memory>
#include <optional>

class QTreeWidgetItem;
class QWidget;
class TMySocket;
class TFrmData;
class EndpointNode;
class ActionExecutor;
class Workspace;
class ScriptTimers;

class Workbench : public QObject
{
    Q_OBJECT
public:
    explicit Workbench(QObject *parent = nullptr);
    ~Workbench() override;

    void attachUi(QWidget *mainWindow, QTreeWidget *tree, QMdiArea *mdi);
    QWidget *mainWindow() const { return m_mainWindow; }
    QTreeWidget *tree() const { return m_tree; }
    QMdiArea *mdi() const { return m_mdi; }
    // The data windows' frames, in the area or parked out of it.
    DataWindowArea *windowArea() const { return m_area; }

    EndpointRegistry &registry() { return m_registry; }
    ScriptEngine &script() { return m_script; }
    ActionExecutor &executor() { return *m_executor; }
    Workspace &workspace() { return *m_workspace; }
    ScriptTimers &timers() { return *m_timers; }

    // --- lookups -------------------------------------------------------
    // Walks the tree in display order, skipping roots and record-less nodes;
    // the first record whose data window caption equals name exactly.
    TMySocket *FindEndpointByName(const QString &name) const;
    // The first node whose text equals the kind name exactly.
    QTreeWidgetItem *FindKindRoot(const QString &kind) const;
    // Keeps the index of window captions: from (nullopt for a new window) and
    // to (nullopt for a window that goes).
    void WindowRenamed(TFrmData *window, const std::optional<QString> &from,
                       const std::optional<QString> &to);
    // The record of the selected node, or nullptr.
    TMySocket *SelectedRecord() const;

    // --- building blocks for the endpoint kinds ---------------------------
    // A new data window in the MDI area, shown maximized, linked both ways.
    TFrmData *CreateDataWindow(TMySocket *record);
    // A node under parent carrying the record: parent expanded, image set,
    // the node selected.
    EndpointNode *AddNode(QTreeWidgetItem *parent, const QString &caption,
                          TMySocket *record, int stateImage);
    // Endpoints set up in a burst (a backlog of accepted connections) are
    // presented once, when the burst ends: between Begin and End every new
    // node becomes the current one and every new window the front one as
    // before, but only the last of them is selected, shown and painted; the
    // others' windows are created parked. Nested batches end with the outer.
    // present false: the outermost batch ends without presenting; what it
    // would have presented is presented by the next batch that does.
    void BeginPresentationBatch();
    void EndPresentationBatch(bool present = true);
    // Sets the state image of the record's node, if it still has one.
    void SetStateImage(TMySocket *record, int stateImage);
    void Register(std::unique_ptr<TMySocket> record);

    // --- script -------------------------------------------------------------
    QString EvalScript(const QString &text) { return m_script.EvalScript(text); }
    // OnSocketEvent(name, event, a, b) and then the action executor.
    // A script error propagates to the caller.
    void ScriptEvent(TMySocket *record, const QString &event, const QString &a, int b);
    void RunActions();

    // --- commands -------------------------------------------------------------
    // Deletes the selected endpoint (DeleteSocket call first; an error stops
    // the deletion with nothing freed).
    void DeleteSelected();
    // The stop command: acts on the selected node's record, disables sender.
    void StopCommand(QWidget *sender);
    // Shows a data window in front and refreshes its status (tree selection).
    void ShowEndpoint(TMySocket *record);

    void setWelcomeVisible(bool visible);

    // Exit: destroys every data window and clears the registry.
    void DestroyAll();
    // Window close: closes the listening socket of every TCP server.
    void CloseAllListeners();

Q_SIGNALS:
    void welcomeVisibilityRequested(bool visible);

private:
    EndpointRegistry m_registry;
    ScriptEngine m_script;
    QPointer<QWidget> m_mainWindow;
    QPointer<QTreeWidget> m_tree;
    QPointer<QMdiArea> m_mdi;
    QPointer<DataWindowArea> m_area;
    std::unique_ptr<ActionExecutor> m_executor;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<ScriptTimers> m_timers;
    // Data windows by caption. A name held by one window only is found
    // without walking the tree; shared names (the dialogs' default caption)
    // still walk it.
    QMultiHash<QString, TFrmData *> m_windowsByName;
    int m_batchDepth = 0;
    QPointer<TMySocket> m_batchSelected;   // the node to select at the end
    QPointer<TFrmData> m_batchFront;       // the window to show at the end
};

// Begin/EndPresentationBatch for a scope. An error leaving the scope still
// ends the batch; an error of the presentation itself is then dropped.
class PresentationBatch
{
public:
    explicit PresentationBatch(Workbench &wb);
    ~PresentationBatch() noexcept(false);
    // Ends without presenting (more of the burst follows at once), unless an
    // error leaves the scope.
    void keepPending() { m_present = false; }
    PresentationBatch(const PresentationBatch &) = delete;
    PresentationBatch &operator=(const PresentationBatch &) = delete;

private:
    Workbench &m_wb;
    int m_uncaught;
    bool m_present = true;
};
