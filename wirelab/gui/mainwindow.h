#pragma once
// MainWindow: the main window of wirelab. Toolbar with the commands, the
// endpoint tree with its five kind roots on the left, the MDI area of the
// data windows on the right under a welcome panel and the script output
// pane. It shows a Workbench (the registry, the script host, the 100 ms
// tick): its creation loads the project's scripts and its first activation
// builds the script workspace.

#include "core/endpoints/endpointkind.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class DataWindow;
class DataWindowArea;
class DeclaredPanels;
class Endpoint;
class EndpointCommands;
class EndpointRegistry;
class EndpointTree;
class LogPane;
class QLabel;
class QMdiArea;
class QPushButton;
class QStackedLayout;
class QTreeWidget;
class QTreeWidgetItem;
class ScriptHost;
class Workbench;

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    // projectFile: the list of script files (./project.txt by default).
    explicit MainWindow(const QString &projectFile = QStringLiteral("project.txt"),
                                                                    QWidget *parent = nullptr);
    ~MainWindow() override;

    Workbench &workbench() { return *m_workbench; }
    EndpointRegistry &registry();
    ScriptHost &scriptHost();
    EndpointCommands &commands() { return *m_commands; }
    EndpointTree &tree() { return *m_tree; }
    // The data windows' frames, in the MDI area or parked out of it.
    DataWindowArea *dataWindowArea() const { return m_area; }

    // The data window of an endpoint, or nullptr.
    DataWindow *dataWindow(const Endpoint *endpoint) const;

    Endpoint *selectedEndpoint() const;
    void selectEndpoint(Endpoint *endpoint);
    void selectKindRoot(EndpointKind kind);

    bool welcomeVisible() const;

Q_SIGNALS:
    // The workspace build of the first activation is over.
    void firstActivationDone();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void buildWelcomePanel();
    void followRegistry();
    void firstActivation();
    void setWelcomeVisible(bool visible);

    // The data windows, following the registry.
    void addDataWindow(Endpoint *endpoint);
    void presentEndpoint(Endpoint *endpoint);
    void removeDataWindow(Endpoint *endpoint);
    void destroyDataWindows();

    // Handlers.
    void exitProgram();
    void enterWorkbench();
    void showEndpoint(QTreeWidgetItem *node);
    void toggleScriptOutput();

    // The first child, so that its tick is the window's Timer1.
    Workbench *m_workbench;
    std::unique_ptr<DeclaredPanels> m_panels;
    EndpointTree *m_tree = nullptr;
    EndpointCommands *m_commands = nullptr;
    DataWindowArea *m_area = nullptr;
    QHash<const Endpoint *, QPointer<DataWindow>> m_windows;
    QStackedLayout *m_rightStack = nullptr;
    bool m_activatedOnce = false;

    // Controls (object names as the user knows them).
    QPushButton *m_createButton = nullptr;  // Button1
    QPushButton *m_deleteButton = nullptr;  // Button2
    QPushButton *m_startButton = nullptr;  // Button5 (hidden)
    QPushButton *m_stopButton = nullptr;  // Button6 (hidden)
    QPushButton *m_exitButton = nullptr;  // Button8
    QWidget *m_treePanel = nullptr;  // Panel2
    QLabel *m_loadingLabel = nullptr;  // Panel2Caption
    QTreeWidget *m_treeView = nullptr;  // TreeView1
    QWidget *m_welcomePanel = nullptr;  // Panel3
    QPushButton *m_enterButton = nullptr;  // suiButton1
    QMdiArea *m_mdiArea = nullptr;  // MdiArea
    // What the scripts print and how they fail, as on standard output and
    // error; hidden until the user shows it or loading the scripts or
    // building the workspace fails. It never takes the focus.
    LogPane *m_scriptOutput = nullptr;  // ScriptOutput
    QPushButton *m_scriptOutputButton = nullptr;  // ScriptOutputButton
};
