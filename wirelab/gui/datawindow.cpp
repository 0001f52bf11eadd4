#include "gui/datawindow.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/workbench/timedsend.h"
#include "guard.h"
#include "gui/logfindbar.h"
#include "gui/logsaving.h"
#include "gui/logview.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
const QColor Cream(255, 251, 240);

QString SendGroupCaption(bool hex)
{
    return hex ? DataWindow::tr("数据发送窗口[HEX模式]") : DataWindow::tr("数据发送窗口(文本模式)");
}

void Paint(QWidget *w, const QColor &color)
{
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
}

template<class T>
T *Named(T *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}
}  // namespace

DataWindow::DataWindow(Endpoint &endpoint, Build build, QWidget *parent)
    : QWidget(parent), m_endpoint(&endpoint)
{
    setObjectName(QStringLiteral("FrmData"));
    setWindowTitle(endpoint.name());
    resize(630, 680);

    m_timedSend = new TimedSend(
        endpoint, [this] { return paneRequest(); }, this);
    m_counterTimer = new QTimer(this);
    m_counterTimer->setSingleShot(true);
    m_counterTimer->setInterval(CounterDelayMs);
    connect(m_counterTimer, &QTimer::timeout, this, guard([this] { showCounter(); }));
    writeCounterText();
    followEndpoint();

    if (build == Build::Now)
        buildUi();
}

DataWindow::~DataWindow() = default;

Endpoint *DataWindow::endpoint() const { return m_endpoint; }

void DataWindow::followEndpoint()
{
    Endpoint *e = m_endpoint;
    connect(e, &Endpoint::nameChanged, this, guard([this](const QString &, const QString &to) {
                setWindowTitle(to);
                if (m_saving)
                    m_saving->setEndpointName(to);
            }));
    connect(e, &Endpoint::statusChanged, this, guard([this] { refreshStatus(); }));
    connect(e, &Endpoint::hexModeChanged, this, guard([this](bool on) { showHexMode(on); }));
    connect(e, &Endpoint::countersChanged, this, guard([this] { writeCounterText(); }));
    connect(e, &Endpoint::noticed, this,
            guard([this](qint64 at, const QString &text) { showNotice(creationTimeText(at) + text); }));
}

void DataWindow::ensureUi()
{
    if (!hasUi())
        buildUi();
}

// A window shown by any way builds its controls first.
void DataWindow::showEvent(QShowEvent *event)
{
    Guarded([this] { ensureUi(); });
    QWidget::showEvent(event);
}

void DataWindow::buildUi()
{
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Status area
    m_statusBox = Named(new QGroupBox(tr("Socket状态"), this), "GroupBox1");
    m_statusBox->setFixedHeight(81);
    Paint(m_statusBox, Cream);
    auto *status = new QHBoxLayout(m_statusBox);
    auto *left = new QVBoxLayout;
    m_stateLabel = Named(new QLabel(m_statusBox), "Label1");
    auto *buttons = new QHBoxLayout;
    m_startButton = Named(new QPushButton(m_statusBox), "Button_5");
    m_stopButton = Named(new QPushButton(m_statusBox), "Button_6");
    m_startButton->hide();
    m_stopButton->hide();
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_stopButton);
    buttons->addStretch();
    left->addWidget(m_stateLabel);
    left->addLayout(buttons);
    auto *right = new QGridLayout;
    m_peerAddressLabel = Named(new QLabel(m_statusBox), "Label3");
    m_peerPortLabel = Named(new QLabel(m_statusBox), "Label4");
    m_localPortLabel = Named(new QLabel(m_statusBox), "Label6");
    m_securityLabel = Named(new QLabel(m_statusBox), "TlsSession");
    right->addWidget(m_peerAddressLabel, 0, 0);
    right->addWidget(m_peerPortLabel, 0, 1);
    right->addWidget(m_securityLabel, 1, 0);
    right->addWidget(m_localPortLabel, 1, 1);
    status->addLayout(left, 1);
    status->addLayout(right, 2);
    root->addWidget(m_statusBox);

    // Upper pane: script rows on top, then the receive pane.
    auto *panel2 = Named(new QWidget(this), "Panel2");
    auto *panel2Layout = new QVBoxLayout(panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    panel2Layout->setSpacing(0);
    m_panelHost = Named(new QWidget(panel2), "Panel4");
    m_panelHost->setMinimumHeight(280);
    auto *panel4Layout = new QVBoxLayout(m_panelHost);
    panel4Layout->setContentsMargins(0, 0, 0, 0);
    panel4Layout->setSpacing(0);
    m_rowsLayout = new QVBoxLayout;
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(0);
    panel4Layout->addLayout(m_rowsLayout);
    auto *receiveBox = Named(new QGroupBox(tr("数据接收及提示窗口"), m_panelHost), "GroupBox3");
    Paint(receiveBox, Cream);
    auto *recvLayout = new QVBoxLayout(receiveBox);
    recvLayout->setContentsMargins(2, 2, 2, 2);
    m_receivePane = Named(new LogView(receiveBox), "Memo2");
    {
        QPalette pal = m_receivePane->palette();
        pal.setColor(QPalette::Base, QColor(247, 249, 253));
        m_receivePane->setPalette(pal);
        // The pane fills its own background in the box's colour: its scroll
        // bar, repainted with every batch of new rows, then stops there
        // instead of drawing the box and its title again beneath it.
        m_receivePane->setAutoFillBackground(true);
    }
    recvLayout->addWidget(m_receivePane, 1);
    m_findBar = Named(new LogFindBar(m_receivePane, receiveBox), "FindBar");
    m_findBar->hide();
    recvLayout->addWidget(m_findBar);
    auto *saveProgress = Named(new QProgressBar(receiveBox), "SaveProgress");
    saveProgress->setMaximumHeight(saveProgress->fontMetrics().height());
    saveProgress->setTextVisible(false);
    recvLayout->addWidget(saveProgress);
    m_saving = new LogSaving(m_receivePane, saveProgress, this);
    panel4Layout->addWidget(receiveBox, 1);
    panel2Layout->addWidget(m_panelHost, 3);

    // Send area
    m_sendBox = Named(new QGroupBox(SendGroupCaption(false), panel2), "GroupBox2");
    Paint(m_sendBox, Cream);
    auto *sendOuter = new QVBoxLayout(m_sendBox);
    sendOuter->setContentsMargins(2, 2, 2, 2);
    auto *sendRow = new QHBoxLayout;
    m_sendPane = Named(new QPlainTextEdit(m_sendBox), "Memo3");
    m_sendPane->installEventFilter(this);
    sendRow->addWidget(m_sendPane, 1);
    auto *panel6 = Named(new QWidget(m_sendBox), "Panel6");
    panel6->setFixedWidth(157);
    Paint(panel6, Cream);
    auto *col = new QVBoxLayout(panel6);
    col->setContentsMargins(2, 0, 2, 0);
    m_sendButton = Named(new QPushButton(tr("发送数据"), panel6), "Button_11");
    col->addWidget(m_sendButton);
    col->addWidget(Named(new QLabel(tr("重复发送次数"), panel6), "Label7"));
    m_repeatBox = Named(new QComboBox(panel6), "ComboBox2");
    m_repeatBox->setEditable(true);
    m_repeatBox->addItems({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("100"), QStringLiteral("1000"), QStringLiteral("10000")});
    m_repeatBox->setCurrentText(QStringLiteral("1"));
    col->addWidget(m_repeatBox);
    col->addWidget(Named(new QLabel(tr("间隔(ms)"), panel6), "Label8"));
    m_intervalBox = Named(new QLineEdit(QStringLiteral("100"), panel6), "Edit_time");
    col->addWidget(m_intervalBox);
    m_timedSendButton = Named(new QPushButton(tr("定时发送"), panel6), "suiButton1");
    m_stopTimedSendButton = Named(new QPushButton(tr("停止定时发送"), panel6), "suiButton2");
    col->addWidget(m_timedSendButton);
    col->addWidget(m_stopTimedSendButton);
    col->addStretch();
    auto *counterBar = Named(new QStatusBar(panel6), "StatusBar2");
    counterBar->setSizeGripEnabled(false);
    m_counterLabel = Named(new QLabel(counterBar), "StatusBar2Panel0");
    // A fixed size: new digits then repaint the label alone instead of
    // re-laying out the whole window. Longer texts are clipped, as they were
    // by the fixed-width column anyway.
    m_counterLabel->setFixedSize(145, m_counterLabel->fontMetrics().height() + 2);
    counterBar->addWidget(m_counterLabel, 1);
    col->addWidget(counterBar);
    sendRow->addWidget(panel6);
    sendOuter->addLayout(sendRow, 1);

    auto *groupBox8 = Named(new QWidget(m_sendBox), "GroupBox8");
    groupBox8->setFixedHeight(42);
    auto *bottom = new QHBoxLayout(groupBox8);
    m_hexBox = Named(new QCheckBox(tr("十六进制格式"), groupBox8), "CheckBox2");
    m_resetButton = Named(new QPushButton(tr("统计清零"), groupBox8), "Button_2");
    bottom->addWidget(m_hexBox);
    bottom->addStretch();
    bottom->addWidget(m_resetButton);
    sendOuter->addWidget(groupBox8);
    panel2Layout->addWidget(m_sendBox, 2);
    root->addWidget(panel2, 1);

    // The caption always names the mode.
    showHexMode(hexMode());

    connect(m_hexBox, &QCheckBox::toggled, this, guard([this](bool on) { toggleHexMode(on); }));
    connect(m_startButton, &QPushButton::clicked, this, guard([this] { start(); }));
    // Button_6 acts when a mouse button is released over it (see eventFilter);
    // a keyboard press still clicks it.
    m_stopButton->installEventFilter(this);
    connect(m_resetButton, &QPushButton::clicked, this, guard([this] { resetCounters(); }));
    connect(m_sendButton, &QPushButton::clicked, this, guard([this] { sendTyped(); }));
    connect(m_timedSendButton, &QPushButton::clicked, this, guard([this] { startTimedSend(); }));
    connect(m_stopTimedSendButton, &QPushButton::clicked, this, guard([this] { stopTimedSend(); }));

    showCounter();
    // Find and its shortcuts work anywhere in the window.
    auto shortcut = [this](const QKeySequence &keys, auto handler) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, guard(handler));
    };
    shortcut(QKeySequence::Find, [this] { m_findBar->activate(); });
    shortcut(QKeySequence(Qt::Key_F3), [this] { m_findBar->findNext(); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { m_findBar->findPrevious(); });

    // The pane draws from the endpoint's log, which keeps every line.
    if (m_endpoint) {
        m_receivePane->setLog(&m_endpoint->log());
        m_saving->setEndpointName(m_endpoint->name());
    }
    if (std::exchange(m_statusPending, false))
        refreshStatus();
}

bool DataWindow::hexMode() const
{
    return m_endpoint ? m_endpoint->hexMode() : (m_hexBox && m_hexBox->isChecked());
}

void DataWindow::showHexMode(bool on)
{
    if (!hasUi())
        return;
    m_hexBox->setChecked(on);
    m_sendBox->setTitle(SendGroupCaption(on));
}

void DataWindow::toggleHexMode(bool on)
{
    m_sendBox->setTitle(SendGroupCaption(on));
    if (m_endpoint)
        m_endpoint->setHexMode(on);
}

void DataWindow::refreshStatus()
{
    if (!hasUi()) {
        m_statusPending = true;
        return;
    }
    // Each button is shown or hidden once, not hidden and shown again: a
    // server's window is refreshed on every accepted connection, and each
    // change of visibility lays the window out again.
    bool showStart = false;
    bool showStop = false;
    const Endpoint *e = m_endpoint;
    if (!e) {
        m_startButton->setVisible(false);
        m_stopButton->setVisible(false);
        return;
    }
    const StatusFields f = kindDescriptor(e->kind()).status(*e);
    m_stateLabel->setText(f.state);
    m_peerAddressLabel->setText(f.first);
    m_peerPortLabel->setText(f.second);
    m_localPortLabel->setText(f.third);
    // The session is long: the label shows what fits, the tip all of it.
    m_securityLabel->setText(f.security);
    if (m_securityLabel->toolTip() != f.security)
        m_securityLabel->setToolTip(f.security);
    showStart = !f.startCaption.isEmpty();
    showStop = !f.stopCaption.isEmpty();
    if (showStart)
        m_startButton->setText(f.startCaption);
    if (showStop)
        m_stopButton->setText(f.stopCaption);
    if (showStart || showStop) {
        m_startButton->setEnabled(!e->isActive());
        m_stopButton->setEnabled(e->isActive());
    }
    m_startButton->setVisible(showStart);
    m_stopButton->setVisible(showStop);
}

void DataWindow::showNotice(const QString &text)
{
    ensureUi();
    m_sendPane->appendPlainText(text);
}

void DataWindow::writeCounterText()
{
    m_countedReceived = m_endpoint ? m_endpoint->receivedBytes() : 0;
    m_countedSent = m_endpoint ? m_endpoint->sentBytes() : 0;
    if (hasUi() && !m_counterTimer->isActive())
        m_counterTimer->start();
}

QString DataWindow::counterText() const
{
    return tr("收：%1字节，发:%2字节")
        .arg(QString::number(m_countedReceived), QString::number(m_countedSent));
}

void DataWindow::showCounter()
{
    m_counterTimer->stop();
    if (!m_counterLabel)
        return;
    const QString text = counterText();
    if (m_counterLabel->text() != text)
        m_counterLabel->setText(text);
}

void DataWindow::resetCounters()
{
    if (m_endpoint)
        Workbench::resetCounters(*m_endpoint);
}

void DataWindow::start()
{
    Endpoint *e = m_endpoint;
    if (!e)
        return;
    if (!Workbench::connectEndpoint(*e))
        Workbench::listen(*e, true);
}

SendRequest DataWindow::paneRequest()
{
    ensureUi();
    SendRequest request;
    request.block = Workbench::blockOf(m_sendPane->toPlainText(), hexMode());
    request.countText = m_repeatBox->currentText();
    request.intervalText = m_intervalBox->text();
    return request;
}

// The send pane's block, logged as sent, then sent as often as the repeat
// count says; the pane is emptied first.
void DataWindow::sendTyped()
{
    const SendRequest request = paneRequest();
    if (request.block.isEmpty())
        return;
    m_sendPane->clear();
    writeCounterText();
    // Events run while it sends: this window may be gone afterwards.
    if (Endpoint *e = m_endpoint)
        Workbench::send(*e, request);
}

void DataWindow::startTimedSend()
{
    ensureUi();
    m_timedSend->start(m_intervalBox->text());
}

void DataWindow::stopTimedSend() { m_timedSend->stop(); }

void DataWindow::stop()
{
    Endpoint *e = m_endpoint;
    if (!e)
        return;
    switch (kindDescriptor(e->kind()).windowStop()) {
    case WindowStop::None:
        break;
    case WindowStop::Endpoint:
        if (!Workbench::disconnectEndpoint(*e))
            Workbench::listen(*e, false);
        break;
    case WindowStop::SelectedEndpoint:
        e->setState(EndpointState::Inactive);
        Q_EMIT stopRequested(m_stopButton);
        break;
    }
}

QWidget *DataWindow::panelHost()
{
    ensureUi();
    return m_panelHost;
}

QVBoxLayout *DataWindow::panelRowsLayout()
{
    ensureUi();
    return m_rowsLayout;
}

bool DataWindow::eventFilter(QObject *watched, QEvent *event)
{
    bool eat = false;
    Guarded([&] {
        if (watched == m_sendPane && event->type() == QEvent::KeyPress && hexMode()) {
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
        } else if (watched == m_stopButton && event->type() == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            if (m_stopButton->isEnabled() && m_stopButton->rect().contains(mouse->position().toPoint()))
                stop();
        }
    });
    return eat || QWidget::eventFilter(watched, event);
}
