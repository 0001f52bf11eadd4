#include "gui/mainwindow.h"

#include "appversion.h"
#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/log/logmemory.h"
#include "core/script/scripthost.h"
#include "core/script/scriptoutput.h"
#include "core/workbench/workbench.h"
#include "guard.h"
#include "gui/datasubwindow.h"
#include "gui/datawindow.h"
#include "gui/datawindowarea.h"
#include "gui/declaredpanels.h"
#include "gui/endpointcommands.h"
#include "gui/endpointtree.h"
#include "gui/logpane.h"
#include "gui/messagebox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {
void Paint(QWidget *w, const QColor &color)
{
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
}

QLabel *Square(QWidget *parent, const QColor &color)
{
    auto *sq = new QLabel(parent);
    sq->setFixedSize(53, 52);
    Paint(sq, color);
    return sq;
}
}  // namespace

MainWindow::MainWindow(const QString &projectFile, QWidget *parent)
    : QWidget(parent), m_workbench(new Workbench(this))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("TCP/UDP Socket 调试工具"));
    setMinimumSize(125, 50);
    setMaximumSize(1024, 734);
    resize(930, 715);
    setMessageBoxOwner(this);

    buildUi();
    followRegistry();
    m_panels = std::make_unique<DeclaredPanels>(m_workbench->panels(),
                                                [this](const Endpoint *e) { return dataWindow(e); });
    m_workbench->load(projectFile);
    m_commands = new EndpointCommands(registry(), *m_tree, this);
    connect(m_commands, &EndpointCommands::welcomeWanted, this,
            guard([this](bool visible) { setWelcomeVisible(visible); }));

    if (const QScreen *screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    m_workbench->run();
}

MainWindow::~MainWindow()
{
    m_workbench->stop();
    destroyDataWindows();
    m_workbench->clear();
    // The dialogs go before the registry and the script host.
    delete m_commands;
    m_commands = nullptr;
}

EndpointRegistry &MainWindow::registry() { return m_workbench->registry(); }

ScriptHost &MainWindow::scriptHost() { return m_workbench->host(); }

void MainWindow::buildUi()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto *panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFixedHeight(35);
    Paint(panel1, QColor(135, 206, 235));
    auto *bar = new QHBoxLayout(panel1);
    bar->setContentsMargins(4, 2, 4, 2);
    auto makeButton = [panel1](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, panel1);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    m_createButton = makeButton("Button1", tr("创建"));
    m_deleteButton = makeButton("Button2", tr("删除"));
    m_startButton = makeButton("Button5", tr("启动"));
    m_stopButton = makeButton("Button6", tr("停止 "));
    m_exitButton = makeButton("Button8", tr("退出"));
    m_scriptOutputButton = makeButton("ScriptOutputButton", tr("脚本输出"));
    m_scriptOutputButton->setFocusPolicy(Qt::NoFocus);
    m_scriptOutputButton->hide();  // until there is something to show
    m_startButton->hide();
    m_stopButton->hide();
    bar->addWidget(m_createButton);
    bar->addWidget(m_deleteButton);
    bar->addWidget(m_startButton);
    bar->addWidget(m_stopButton);
    bar->addWidget(m_exitButton);
    bar->addStretch();
    bar->addWidget(m_scriptOutputButton);
    root->addWidget(panel1);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(3);
    m_treePanel = new QWidget(splitter);
    m_treePanel->setObjectName(QStringLiteral("Panel2"));
    auto *left = new QVBoxLayout(m_treePanel);
    left->setContentsMargins(0, 0, 0, 0);
    m_loadingLabel = new QLabel(tr("加载中..."), m_treePanel);
    m_loadingLabel->setObjectName(QStringLiteral("Panel2Caption"));
    m_loadingLabel->setAlignment(Qt::AlignCenter);
    m_loadingLabel->hide();
    left->addWidget(m_loadingLabel);
    m_treeView = new QTreeWidget(m_treePanel);
    m_treeView->setObjectName(QStringLiteral("TreeView1"));
    m_treeView->setHeaderHidden(true);
    m_treeView->setRootIsDecorated(false);
    m_treeView->setIndentation(19);
    m_treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeView->setMouseTracking(true);  // hot tracking
    // Every row is one line with a state image of one size; the view then
    // lays out thousands of nodes without measuring each.
    m_treeView->setUniformRowHeights(true);
    m_treeView->installEventFilter(this);
    left->addWidget(m_treeView, 1);
    m_treePanel->resize(183, m_treePanel->height());

    auto *right = new QWidget(splitter);
    m_rightStack = new QStackedLayout(right);
    m_mdiArea = new QMdiArea(right);
    m_mdiArea->setObjectName(QStringLiteral("MdiArea"));
    m_area = new DataWindowArea(m_mdiArea);
    buildWelcomePanel();
    m_rightStack->addWidget(m_mdiArea);
    m_rightStack->addWidget(m_welcomePanel);
    m_rightStack->setCurrentWidget(m_welcomePanel);
    splitter->addWidget(m_treePanel);
    splitter->addWidget(right);
    splitter->setSizes({183, 930 - 183});
    splitter->setStretchFactor(1, 1);
    root->addWidget(splitter, 1);

    m_scriptOutput = new LogPane(this);
    m_scriptOutput->setObjectName(QStringLiteral("ScriptOutput"));
    m_scriptOutput->setReadOnly(true);
    m_scriptOutput->setFocusPolicy(Qt::NoFocus);
    m_scriptOutput->setFixedHeight(110);
    m_scriptOutput->hide();
    root->addWidget(m_scriptOutput);
    connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, this,
            guard([this](const QString &line, ScriptOutput::Kind kind) {
                m_scriptOutput->appendLine(line);
                m_scriptOutputButton->show();
                if (kind == ScriptOutput::Kind::StartupError)
                    m_scriptOutput->show();
            }));

    auto *statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->hide();
    root->addWidget(statusBar);
    // The one report of a log that could not move to its temporary file
    // (it stays in memory): the hidden status bar shows it.
    connect(&LogMemory::instance(), &LogMemory::spillFailed, statusBar,
            guard([statusBar](const QString &message) {
                statusBar->showMessage(message);
                statusBar->show();
            }));

    connect(m_createButton, &QPushButton::clicked, this, guard([this] { m_commands->create(); }));
    connect(m_deleteButton, &QPushButton::clicked, this, guard([this] { m_commands->deleteSelected(); }));
    connect(m_stopButton, &QPushButton::clicked, this, guard([this] { m_commands->stop(m_stopButton); }));
    connect(m_exitButton, &QPushButton::clicked, this, guard([this] { exitProgram(); }));
    connect(m_scriptOutputButton, &QPushButton::clicked, this, guard([this] { toggleScriptOutput(); }));
    connect(m_enterButton, &QPushButton::clicked, this, guard([this] { enterWorkbench(); }));
    connect(m_treeView, &QTreeWidget::currentItemChanged, this,
            guard([this](QTreeWidgetItem *current, QTreeWidgetItem *) { showEndpoint(current); }));
}

void MainWindow::buildWelcomePanel()
{
    m_welcomePanel = new QWidget;
    m_welcomePanel->setObjectName(QStringLiteral("Panel3"));
    Paint(m_welcomePanel, QColor(255, 251, 240));
    auto *layout = new QVBoxLayout(m_welcomePanel);

    auto *top = new QHBoxLayout;
    auto *logo = new QGridLayout;
    logo->setSpacing(2);
    logo->addWidget(Square(m_welcomePanel, QColor(0, 255, 255)), 0, 0);
    logo->addWidget(Square(m_welcomePanel, QColor(0, 0, 255)), 0, 1);
    logo->addWidget(Square(m_welcomePanel, QColor(0, 0, 255)), 1, 0);
    logo->addWidget(Square(m_welcomePanel, QColor(0, 0, 255)), 1, 1);
    top->addLayout(logo);
    auto *titles = new QVBoxLayout;
    QFont big;
    big.setBold(true);
    big.setPixelSize(28);
    auto *title = new QLabel(QStringLiteral("wirelab   V4.0"), m_welcomePanel);
    title->setFont(big);
    title->setStyleSheet(QStringLiteral("color: blue"));
    auto *powered = new QLabel(QStringLiteral("Powered By JavaScript"), m_welcomePanel);
    powered->setFont(big);
    powered->setStyleSheet(QStringLiteral("color: red"));
    titles->addWidget(title);
    titles->addWidget(powered);
    top->addLayout(titles);
    top->addStretch();
    layout->addLayout(top);
    layout->addStretch();

    QFont slogan;
    slogan.setBold(true);
    slogan.setPixelSize(24);
    auto *sloganLabel = new QLabel(tr("看见每一个字节，脚本驱动每一个连接"), m_welcomePanel);
    sloganLabel->setFont(slogan);
    sloganLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(sloganLabel);
    m_enterButton = new QPushButton(tr("进入软件"), m_welcomePanel);
    m_enterButton->setObjectName(QStringLiteral("suiButton1"));
    m_enterButton->setMinimumSize(160, 40);
    auto *enterRow = new QHBoxLayout;
    enterRow->addStretch();
    enterRow->addWidget(m_enterButton);
    enterRow->addStretch();
    layout->addLayout(enterRow);
    layout->addStretch();
    auto *contact = new QLabel(tr("wirelab — TCP/UDP 调试与脚本工作台"), m_welcomePanel);
    contact->setAlignment(Qt::AlignCenter);
    layout->addWidget(contact);
    auto *version = new QLabel(tr("版本 %1").arg(QLatin1String(APP_VERSION)), m_welcomePanel);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
}

void MainWindow::followRegistry()
{
    // The window of a new endpoint exists before its node: the node may be
    // selected at once, which shows the window.
    connect(&registry(), &EndpointRegistry::added, this,
            guard([this](Endpoint *endpoint, Endpoint *) { addDataWindow(endpoint); }));
    m_tree = new EndpointTree(registry(), m_treeView, this);
    connect(&registry(), &EndpointRegistry::presentRequested, this,
            guard([this](Endpoint *endpoint) { presentEndpoint(endpoint); }));
    connect(&registry(), &EndpointRegistry::removing, this,
            guard([this](Endpoint *endpoint) { removeDataWindow(endpoint); }));

    // The window is disabled and the tree hidden while the workspace is built.
    connect(&scriptHost(), &ScriptHost::buildStarted, this, guard([this] {
        m_treeView->hide();
        setEnabled(false);
    }));
    connect(&scriptHost(), &ScriptHost::buildFinished, this, guard([this] {
        setEnabled(true);
        m_treeView->show();
    }));
}

DataWindow *MainWindow::dataWindow(const Endpoint *endpoint) const
{
    return endpoint ? m_windows.value(endpoint).data() : nullptr;
}

Endpoint *MainWindow::selectedEndpoint() const { return m_tree->selectedEndpoint(); }

void MainWindow::selectEndpoint(Endpoint *endpoint) { m_tree->selectEndpoint(endpoint); }

void MainWindow::selectKindRoot(EndpointKind kind) { m_tree->selectKindRoot(kind); }

bool MainWindow::welcomeVisible() const { return m_rightStack->currentWidget() == m_welcomePanel; }

void MainWindow::setWelcomeVisible(bool visible)
{
    m_rightStack->setCurrentWidget(visible ? m_welcomePanel : static_cast<QWidget *>(m_mdiArea));
}

void MainWindow::addDataWindow(Endpoint *endpoint)
{
    if (!endpoint)
        return;
    // A window of a burst is built when it is first shown, if ever, and
    // waits out of the area meanwhile.
    const bool burst = registry().inBatch();
    auto *window = new DataWindow(*endpoint, burst ? DataWindow::Build::WhenShown : DataWindow::Build::Now);
    m_windows.insert(endpoint, window);
    connect(window, &DataWindow::stopRequested, this,
            guard([this](QWidget *sender) { m_commands->stop(sender); }));
    if (burst) {
        m_area->addParked(window);
        return;
    }
    auto *frame = new DataSubWindow;
    frame->setWidget(window);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    m_area->add(frame);
}

void MainWindow::presentEndpoint(Endpoint *endpoint)
{
    // Selecting the node shows its window in front (showEndpoint); a window
    // whose node went, or whose node is already selected, is shown on its own.
    QTreeWidgetItem *node = m_tree->nodeOf(endpoint);
    if (node && m_treeView->currentItem() != node) {
        m_treeView->setCurrentItem(node);
        return;
    }
    if (DataWindow *window = dataWindow(endpoint)) {
        window->ensureUi();
        m_area->bringToFront(static_cast<QWidget *>(window));
    }
}

void MainWindow::removeDataWindow(Endpoint *endpoint)
{
    DataWindow *window = m_windows.take(endpoint);
    if (!window)
        return;
    // Hidden now, destroyed once control is back in the event loop, so a
    // handler of that window further up the stack is not pulled away.
    QWidget *frame = window->parentWidget();
    if (qobject_cast<QMdiSubWindow *>(frame)) {
        frame->hide();
        frame->deleteLater();
    } else {
        window->hide();
        window->deleteLater();
    }
}

void MainWindow::destroyDataWindows()
{
    const auto windows = std::exchange(m_windows, {});
    for (const QPointer<DataWindow> &window : windows) {
        if (!window)
            continue;
        QWidget *frame = window->parentWidget();
        if (qobject_cast<QMdiSubWindow *>(frame))
            delete frame;
        else
            delete window.data();
    }
}

void MainWindow::exitProgram()
{
    m_workbench->stop();
    destroyDataWindows();
    m_workbench->clear();
    QApplication::quit();
}

void MainWindow::enterWorkbench() { setWelcomeVisible(false); }

void MainWindow::toggleScriptOutput() { m_scriptOutput->setVisible(!m_scriptOutput->isVisible()); }

void MainWindow::showEndpoint(QTreeWidgetItem *node)
{
    Endpoint *endpoint = EndpointTree::endpointOf(node);
    DataWindow *window = dataWindow(endpoint);
    if (!window)
        return;
    window->ensureUi();
    endpoint->refreshStatus();
    m_area->bringToFront(static_cast<QWidget *>(window));
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        // Run from the event loop, not inside the activation handler.
        QTimer::singleShot(0, this, guard([this] { firstActivation(); }));
    }
}

void MainWindow::firstActivation()
{
    m_workbench->build();  // never throws
    Q_EMIT firstActivationDone();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Guarded([&] {
        for (auto *endpoint : registry().endpointsOf(EndpointKind::TcpServer))
            static_cast<TcpServerEndpoint *>(endpoint)->closeListener();
    });
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_treeView && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        m_loadingLabel->setVisible(event->type() == QEvent::Hide);
    return QWidget::eventFilter(watched, event);
}
