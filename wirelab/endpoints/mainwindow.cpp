#include "mainwindow.h"

#include "appversion.h"
#include "common/guard.h"
#include "common/scriptoutput.h"
#include "datawindow/logpane.h"
#include "endpointcommands.h"
#include "endpointnode.h"
#include "kinds.h"
#include "script/scripttimers.h"
#include "script/workspace.h"
#include "workbench.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedLayout>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

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
} // namespace

TForm1::TForm1(const QString &projectFile, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("TCP/UDP Socket 调试工具"));
    setMinimumSize(125, 50);
    setMaximumSize(1024, 734);
    resize(930, 715);

    buildUi();

    // FormCreate: the registry, then the script engine, then the scripts.
    m_wb = std::make_unique<Workbench>();
    m_wb->attachUi(this, TreeView1, MdiArea);
    connect(m_wb.get(), &Workbench::welcomeVisibilityRequested, this,
            [this](bool visible) { setWelcomeVisible(visible); });
    m_wb->script().LoadScripts(projectFile);
    m_commands = std::make_unique<EndpointCommands>(*m_wb, this);

    if (const QScreen *screen = QApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Timer1->start();
}

TForm1::~TForm1()
{
    Timer1->stop();
    m_commands.reset();
    if (m_wb)
        m_wb->DestroyAll();
}

void TForm1::buildUi()
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
    Button1 = makeButton("Button1", tr("创建"));
    Button2 = makeButton("Button2", tr("删除"));
    Button5 = makeButton("Button5", tr("启动"));
    Button6 = makeButton("Button6", tr("停止 "));
    Button8 = makeButton("Button8", tr("退出"));
    ScriptOutputButton = makeButton("ScriptOutputButton", tr("脚本输出"));
    ScriptOutputButton->setFocusPolicy(Qt::NoFocus);
    ScriptOutputButton->hide();  // until there is something to show
    Button5->hide();
    Button6->hide();
    bar->addWidget(Button1);
    bar->addWidget(Button2);
    bar->addWidget(Button5);
    bar->addWidget(Button6);
    bar->addWidget(Button8);
    bar->addStretch();
    bar->addWidget(ScriptOutputButton);
    root->addWidget(panel1);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(3);
    Panel2 = new QWidget(splitter);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *left = new QVBoxLayout(Panel2);
    left->setContentsMargins(0, 0, 0, 0);
    LoadingLabel = new QLabel(tr("加载中..."), Panel2);
    LoadingLabel->setObjectName(QStringLiteral("Panel2Caption"));
    LoadingLabel->setAlignment(Qt::AlignCenter);
    LoadingLabel->hide();
    left->addWidget(LoadingLabel);
    TreeView1 = new QTreeWidget(Panel2);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setRootIsDecorated(false);
    TreeView1->setIndentation(19);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMouseTracking(true);  // hot tracking
    // Every row is one line with a state image of one size; the view then
    // lays out thousands of nodes without measuring each.
    TreeView1->setUniformRowHeights(true);
    TreeView1->installEventFilter(this);
    for (const QString &kind : {Kind::TcpServer, Kind::TcpClient, Kind::UdpServer, Kind::UdpClient, Kind::UdpGroup}) {
        auto *rootNode = new QTreeWidgetItem(TreeView1, QStringList{kind});
        rootNode->setIcon(0, StateIcon(ImgKindRoot));
    }
    left->addWidget(TreeView1, 1);
    Panel2->resize(183, Panel2->height());

    auto *right = new QWidget(splitter);
    m_rightStack = new QStackedLayout(right);
    MdiArea = new QMdiArea(right);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    buildWelcomePanel();
    m_rightStack->addWidget(MdiArea);
    m_rightStack->addWidget(Panel3);
    m_rightStack->setCurrentWidget(Panel3);
    splitter->addWidget(Panel2);
    splitter->addWidget(right);
    splitter->setSizes({183, 930 - 183});
    splitter->setStretchFactor(1, 1);
    root->addWidget(splitter, 1);

    ScriptOutputPane = new LogPane(this);
    ScriptOutputPane->setObjectName(QStringLiteral("ScriptOutput"));
    ScriptOutputPane->setReadOnly(true);
    ScriptOutputPane->setFocusPolicy(Qt::NoFocus);
    ScriptOutputPane->setFixedHeight(110);
    ScriptOutputPane->hide();
    root->addWidget(ScriptOutputPane);
    connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, this,
            [this](const QString &line, ScriptOutput::Kind kind) {
                ScriptOutputPane->appendLine(line);
                ScriptOutputButton->show();
                if (kind == ScriptOutput::Kind::StartupError)
                    ScriptOutputPane->show();
            });

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->hide();
    root->addWidget(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);

    connect(Button1, &QPushButton::clicked, this, guard([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guard([this] { Button2Click(); }));
    connect(Button6, &QPushButton::clicked, this, guard([this] { Button6Click(Button6); }));
    connect(Button8, &QPushButton::clicked, this, guard([this] { Button8Click(); }));
    connect(ScriptOutputButton, &QPushButton::clicked, this, guard([this] { toggleScriptOutput(); }));
    connect(suiButton1, &QPushButton::clicked, this, guard([this] { suiButton1Click(); }));
    connect(Timer1, &QTimer::timeout, this, guard([this] { Timer1Timer(); }));
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            guard([this](QTreeWidgetItem *current, QTreeWidgetItem *) { TreeView1Change(current); }));
}

void TForm1::buildWelcomePanel()
{
    Panel3 = new QWidget;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Paint(Panel3, QColor(255, 251, 240));
    auto *layout = new QVBoxLayout(Panel3);

    auto *top = new QHBoxLayout;
    auto *logo = new QGridLayout;
    logo->setSpacing(2);
    logo->addWidget(Square(Panel3, QColor(0, 255, 255)), 0, 0);
    logo->addWidget(Square(Panel3, QColor(0, 0, 255)), 0, 1);
    logo->addWidget(Square(Panel3, QColor(0, 0, 255)), 1, 0);
    logo->addWidget(Square(Panel3, QColor(0, 0, 255)), 1, 1);
    top->addLayout(logo);
    auto *titles = new QVBoxLayout;
    QFont big;
    big.setBold(true);
    big.setPixelSize(28);
    auto *title = new QLabel(QStringLiteral("wirelab   V4.0"), Panel3);
    title->setFont(big);
    title->setStyleSheet(QStringLiteral("color: blue"));
    auto *powered = new QLabel(QStringLiteral("Powered By JavaScript"), Panel3);
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
    auto *sloganLabel = new QLabel(tr("看见每一个字节，脚本驱动每一个连接"), Panel3);
    sloganLabel->setFont(slogan);
    sloganLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(sloganLabel);
    suiButton1 = new QPushButton(tr("进入软件"), Panel3);
    suiButton1->setObjectName(QStringLiteral("suiButton1"));
    suiButton1->setMinimumSize(160, 40);
    auto *enterRow = new QHBoxLayout;
    enterRow->addStretch();
    enterRow->addWidget(suiButton1);
    enterRow->addStretch();
    layout->addLayout(enterRow);
    layout->addStretch();
    auto *contact = new QLabel(tr("wirelab — TCP/UDP 调试与脚本工作台"), Panel3);
    contact->setAlignment(Qt::AlignCenter);
    layout->addWidget(contact);
    auto *version = new QLabel(tr("版本 %1").arg(QLatin1String(APP_VERSION)), Panel3);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
}

bool TForm1::welcomeVisible() const
{
    return m_rightStack->currentWidget() == Panel3;
}

void TForm1::setWelcomeVisible(bool visible)
{
    m_rightStack->setCurrentWidget(visible ? Panel3 : static_cast<QWidget *>(MdiArea));
}

void TForm1::Button1Click() { m_commands->Create(); }
void TForm1::Button2Click() { m_commands->Delete(); }
void TForm1::Button6Click(QWidget *sender) { m_wb->StopCommand(sender); }

void TForm1::Button8Click()
{
    Timer1->stop();
    m_wb->DestroyAll();
    QApplication::quit();
}

void TForm1::suiButton1Click() { setWelcomeVisible(false); }

void TForm1::toggleScriptOutput() { ScriptOutputPane->setVisible(!ScriptOutputPane->isVisible()); }

void TForm1::Timer1Timer() { m_wb->timers().Timer1Timer(); }

void TForm1::TreeView1Change(QTreeWidgetItem *node)
{
    m_wb->ShowEndpoint(RecordOf(node));
}

void TForm1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        // Run from the event loop, not inside the activation handler.
        QTimer::singleShot(0, this, [this] { firstActivation(); });
    }
}

void TForm1::firstActivation()
{
    m_wb->workspace().BuildWorkspace();  // swallows its own errors
    Q_EMIT firstActivationDone();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    Guarded([&] { m_wb->CloseAllListeners(); });
    event->accept();
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TreeView1 && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        LoadingLabel->setVisible(event->type() == QEvent::Hide);
    return QWidget::eventFilter(watched, event);
}
