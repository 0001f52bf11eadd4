#include "tfrmdata.h"

#include "common/guard.h"
#include "datawindow/hexcodec.h"
#include "endpoints/kinds.h"
#include "endpoints/tcpclientendpoint.h"
#include "endpoints/tcpserverendpoint.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "logpane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace {
const QColor Cream(255, 251, 240);

QString SendGroupCaption(bool hex)
{
    return hex ? TFrmData::tr("数据发送窗口[HEX模式]") : TFrmData::tr("数据发送窗口(文本模式)");
}

void Paint(QWidget *w, const QColor &color)
{
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
}

template <class T>
T *Named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
} // namespace

TFrmData::TFrmData(Workbench &wb, QWidget *parent, Build build)
    : QWidget(parent), m_wb(wb), m_names(&wb)
{
    setObjectName(QStringLiteral("FrmData"));
    setName(QStringLiteral("数据收发窗口"));
    resize(630, 680);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, guard([this] { Timer1Timer(); }));
    m_counterTimer = new QTimer(this);
    m_counterTimer->setSingleShot(true);
    m_counterTimer->setInterval(CounterDelayMs);
    connect(m_counterTimer, &QTimer::timeout, this, guard([this] { showCounter(); }));
    WriteCounterText();

    if (build == Build::Now)
        buildUi();
}

void TFrmData::ensureUi()
{
    if (!hasUi())
        buildUi();
}

// A window shown by any way builds its controls first.
void TFrmData::showEvent(QShowEvent *event)
{
    Guarded([this] { ensureUi(); });
    QWidget::showEvent(event);
}

void TFrmData::setName(const QString &name)
{
    if (m_names)
        m_names->WindowRenamed(this, m_name, name);
    m_name = name;
    setWindowTitle(name);
}

TFrmData::~TFrmData()
{
    if (m_names)
        m_names->WindowRenamed(this, m_name, std::nullopt);
    if (MySocket && MySocket->window == this)
        MySocket->window = nullptr;
}

void TFrmData::buildUi()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Status area
    GroupBox1 = Named(new QGroupBox(tr("Socket状态"), this), "GroupBox1");
    GroupBox1->setFixedHeight(81);
    Paint(GroupBox1, Cream);
    auto *status = new QHBoxLayout(GroupBox1);
    auto *left = new QVBoxLayout;
    Label1 = Named(new QLabel(GroupBox1), "Label1");
    auto *buttons = new QHBoxLayout;
    Button_5 = Named(new QPushButton(GroupBox1), "Button_5");
    Button_6 = Named(new QPushButton(GroupBox1), "Button_6");
    Button_5->hide();
    Button_6->hide();
    buttons->addWidget(Button_5);
    buttons->addWidget(Button_6);
    buttons->addStretch();
    left->addWidget(Label1);
    left->addLayout(buttons);
    auto *right = new QGridLayout;
    Label3 = Named(new QLabel(GroupBox1), "Label3");
    Label4 = Named(new QLabel(GroupBox1), "Label4");
    Label6 = Named(new QLabel(GroupBox1), "Label6");
    right->addWidget(Label3, 0, 0);
    right->addWidget(Label4, 0, 1);
    right->addWidget(Label6, 1, 1);
    status->addLayout(left, 1);
    status->addLayout(right, 2);
    root->addWidget(GroupBox1);

    // Upper pane: script rows on top, then the receive pane.
    auto *panel2 = Named(new QWidget(this), "Panel2");
    auto *panel2Layout = new QVBoxLayout(panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    panel2Layout->setSpacing(0);
    Panel4 = Named(new QWidget(panel2), "Panel4");
    Panel4->setMinimumHeight(280);
    auto *panel4Layout = new QVBoxLayout(Panel4);
    panel4Layout->setContentsMargins(0, 0, 0, 0);
    panel4Layout->setSpacing(0);
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    panel4Layout->addLayout(m_rowsLayout);
    GroupBox3 = Named(new QGroupBox(tr("数据接收及提示窗口"), Panel4), "GroupBox3");
    Paint(GroupBox3, Cream);
    auto *recvLayout = new QVBoxLayout(GroupBox3);
    recvLayout->setContentsMargins(2, 2, 2, 2);
    Memo2 = Named(new LogPane(GroupBox3), "Memo2");
    {
        QPalette pal = Memo2->palette();
        pal.setColor(QPalette::Base, QColor(247, 249, 253));
        Memo2->setPalette(pal);
    }
    recvLayout->addWidget(Memo2);
    panel4Layout->addWidget(GroupBox3, 1);
    panel2Layout->addWidget(Panel4, 3);

    // Send area
    GroupBox2 = Named(new QGroupBox(SendGroupCaption(false), panel2), "GroupBox2");
    Paint(GroupBox2, Cream);
    auto *sendOuter = new QVBoxLayout(GroupBox2);
    sendOuter->setContentsMargins(2, 2, 2, 2);
    auto *sendRow = new QHBoxLayout;
    Memo3 = Named(new QPlainTextEdit(GroupBox2), "Memo3");
    Memo3->installEventFilter(this);
    sendRow->addWidget(Memo3, 1);
    auto *panel6 = Named(new QWidget(GroupBox2), "Panel6");
    panel6->setFixedWidth(157);
    Paint(panel6, Cream);
    auto *col = new QVBoxLayout(panel6);
    col->setContentsMargins(2, 0, 2, 0);
    Button_11 = Named(new QPushButton(tr("发送数据"), panel6), "Button_11");
    col->addWidget(Button_11);
    col->addWidget(Named(new QLabel(tr("重复发送次数"), panel6), "Label7"));
    ComboBox2 = Named(new QComboBox(panel6), "ComboBox2");
    ComboBox2->setEditable(true);
    ComboBox2->addItems({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("100"),
                         QStringLiteral("1000"), QStringLiteral("10000")});
    ComboBox2->setCurrentText(QStringLiteral("1"));
    col->addWidget(ComboBox2);
    col->addWidget(Named(new QLabel(tr("间隔(ms)"), panel6), "Label8"));
    Edit_time = Named(new QLineEdit(QStringLiteral("100"), panel6), "Edit_time");
    col->addWidget(Edit_time);
    suiButton1 = Named(new QPushButton(tr("定时发送"), panel6), "suiButton1");
    suiButton2 = Named(new QPushButton(tr("停止定时发送"), panel6), "suiButton2");
    col->addWidget(suiButton1);
    col->addWidget(suiButton2);
    col->addStretch();
    StatusBar2 = Named(new QStatusBar(panel6), "StatusBar2");
    StatusBar2->setSizeGripEnabled(false);
    CounterPanel = Named(new QLabel(StatusBar2), "StatusBar2Panel0");
    // A fixed size: new digits then repaint the label alone instead of
    // re-laying out the whole window. Longer texts are clipped, as they were
    // by the fixed-width column anyway.
    CounterPanel->setFixedSize(145, CounterPanel->fontMetrics().height() + 2);
    StatusBar2->addWidget(CounterPanel, 1);
    col->addWidget(StatusBar2);
    sendRow->addWidget(panel6);
    sendOuter->addLayout(sendRow, 1);

    auto *groupBox8 = Named(new QWidget(GroupBox2), "GroupBox8");
    groupBox8->setFixedHeight(42);
    auto *bottom = new QHBoxLayout(groupBox8);
    CheckBox2 = Named(new QCheckBox(tr("十六进制格式"), groupBox8), "CheckBox2");
    Button_2 = Named(new QPushButton(tr("统计清零"), groupBox8), "Button_2");
    bottom->addWidget(CheckBox2);
    bottom->addStretch();
    bottom->addWidget(Button_2);
    sendOuter->addWidget(groupBox8);
    panel2Layout->addWidget(GroupBox2, 2);
    root->addWidget(panel2, 1);

    // The design has the hex box checked; the caption always names the mode.
    CheckBox2->setChecked(m_hex);
    GroupBox2->setTitle(SendGroupCaption(m_hex));

    connect(CheckBox2, &QCheckBox::toggled, this, guard([this](bool) { CheckBox2Change(); }));
    connect(Button_5, &QPushButton::clicked, this, guard([this] { Button_5Click(); }));
    // Button_6 acts when a mouse button is released over it (see eventFilter);
    // a keyboard press still clicks it.
    Button_6->installEventFilter(this);
    connect(Button_2, &QPushButton::clicked, this, guard([this] { Button_2Click(); }));
    connect(Button_11, &QPushButton::clicked, this, guard([this] { Button_11Click(); }));
    connect(suiButton1, &QPushButton::clicked, this, guard([this] { suiButton1Click(); }));
    connect(suiButton2, &QPushButton::clicked, this, guard([this] { suiButton2Click(); }));

    showCounter();
    // What happened before the controls existed.
    const QStringList lines = std::exchange(m_pendingLines, {});
    for (const QString &line : lines)
        Memo2->appendLine(line);
    if (std::exchange(m_statusPending, false))
        RefreshStatus();
}

bool TFrmData::hexMode() const { return CheckBox2 ? CheckBox2->isChecked() : m_hex; }

void TFrmData::setHexMode(bool on)
{
    m_hex = on;
    if (!hasUi())
        return;
    CheckBox2->setChecked(on);
    GroupBox2->setTitle(SendGroupCaption(on));
}

void TFrmData::CheckBox2Change()
{
    m_hex = CheckBox2->isChecked();
    GroupBox2->setTitle(SendGroupCaption(m_hex));
}

void TFrmData::RefreshStatus()
{
    if (!hasUi()) {
        m_statusPending = true;
        return;
    }
    // Each button is shown or hidden once, not hidden and shown again: a
    // server's window is refreshed on every accepted connection, and each
    // change of visibility lays the window out again.
    bool show5 = false;
    bool show6 = false;
    TMySocket *r = MySocket;
    if (!r) {
        Button_5->setVisible(false);
        Button_6->setVisible(false);
        return;
    }
    const QString &kind = r->kind;
    auto stateText = [&](const QString &on, const QString &off) {
        if (r->state == 1)
            Label1->setText(on);
        else if (r->state == 0)
            Label1->setText(off);
    };
    auto peerLabels = [&] {
        Label3->setText(tr("对方IP:%1").arg(r->remoteHost));
        Label4->setText(tr("对方端口:%1").arg(r->remotePort));
        Label6->setText(tr("本地端口:%1").arg(r->localPort));
    };
    auto tcpButtons = [&] {
        Button_5->setEnabled(r->state != 1);
        Button_6->setEnabled(r->state == 1);
        if (r->state == 0) {
            Button_5->setEnabled(true);
            Button_6->setEnabled(false);
        }
    };

    if (kind == Kind::TcpServer) {
        stateText(tr("已启动"), tr("已停止"));
        Label3->clear();
        Label4->clear();
        Label6->setText(tr("本地端口:%1").arg(r->localPort));
        Button_5->setText(tr("启动监听"));
        Button_6->setText(tr("停止监听"));
        show5 = show6 = true;
        tcpButtons();
    } else if (kind == Kind::TcpServerClient) {
        stateText(tr("已连接"), tr("已断开"));
        peerLabels();
        Button_6->setText(tr("断开"));
        show6 = true;
        tcpButtons();
    } else if (kind == Kind::TcpClient) {
        stateText(tr("已连接"), tr("已断开"));
        peerLabels();
        Button_5->setText(tr("连接"));
        Button_6->setText(tr("断开"));
        show5 = show6 = true;
        tcpButtons();
    } else if (kind == Kind::UdpClient || kind == Kind::UdpServer) {
        Label1->clear();
        peerLabels();
    } else if (kind == Kind::UdpGroup) {
        Label1->clear();
        Label3->setText(tr("组播地址:%1").arg(r->localAddress));
        Label4->setText(tr("组播端口:%1").arg(r->localPort));
        Label6->clear();
    }
    Button_5->setVisible(show5);
    Button_6->setVisible(show6);
}

void TFrmData::AppendLine(const QString &line)
{
    if (Memo2)
        Memo2->appendLine(line);
    else
        m_pendingLines.append(line);
}

void TFrmData::WriteCounterText()
{
    m_counterText = tr("收：%1字节，发:%2字节").arg(QString::number(RecvCount), QString::number(SentCount));
    if (hasUi() && !m_counterTimer->isActive())
        m_counterTimer->start();
}

void TFrmData::showCounter()
{
    m_counterTimer->stop();
    if (CounterPanel && CounterPanel->text() != m_counterText)
        CounterPanel->setText(m_counterText);
}

void TFrmData::Button_2Click()
{
    SentCount = 0;
    RecvCount = 0;
    WriteCounterText();
}

void TFrmData::Button_5Click()
{
    TMySocket *r = MySocket;
    if (!r)
        return;
    if (r->kind == Kind::TcpServer)
        TcpServerEndpoint::StartListening(m_wb, r);
    else if (r->kind == Kind::TcpClient)
        TcpClientEndpoint::ConnectButton(m_wb, r);
}

void TFrmData::Button_6MouseUp()
{
    TMySocket *r = MySocket;
    if (!r)
        return;
    if (r->kind == Kind::TcpServer) {
        TcpServerEndpoint::StopListening(m_wb, r);
    } else if (r->kind == Kind::TcpClient || r->kind == Kind::TcpServerClient) {
        r->state = 0;
        m_wb.StopCommand(Button_6);
    }
}

QWidget *TFrmData::panelHost()
{
    ensureUi();
    return Panel4;
}

QVBoxLayout *TFrmData::panelRowsLayout()
{
    ensureUi();
    return m_rowsLayout;
}

bool TFrmData::eventFilter(QObject *watched, QEvent *event)
{
    bool eat = false;
    Guarded([&] {
        if (watched == Memo3 && event->type() == QEvent::KeyPress && hexMode()) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Backspace)
                return;
            const QString text = key->text();
            if (text.isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
                return;  // navigation and shortcuts are not typed characters
            static const QString allowed = QStringLiteral("0123456789ABCDEFabcdef");
            for (QChar c : text) {
                if (!allowed.contains(c)) {
                    eat = true;
                    return;
                }
            }
        } else if (watched == Button_6 && event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (Button_6->isEnabled() && Button_6->rect().contains(mouse->position().toPoint()))
                Button_6MouseUp();
        }
    });
    return eat || QWidget::eventFilter(watched, event);
}
