#include "form1.h"

#include "fieldlimits.h"
#include "formfonts.h"
#include "formlayout.h"
#include "frames.h"
#include "guard.h"
#include "leadingnumber.h"
#include "monitorlink.h"
#include "serialports.h"
#include "queryreply.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

// Room a button's frame takes from its caption.
constexpr int kButtonPadding = 12;

const std::array<QString, 8> kStartTexts {
    QStringLiteral("(0-255)"), QStringLiteral("(0-255)"), {}, {}, {}, {}, {}, QStringLiteral("(10-65535)")};

template<class W>
W *Place(QWidget *form, const QString &name, int index = -1)
{
    const ControlPlacement &p = PlacementOf(name, index);
    auto *w = new W(form);
    w->setObjectName(name);
    if (index >= 0)
        w->setProperty("index", index);
    w->setGeometry(TwipsToPixels(p.twips, form->logicalDpiX(), form->logicalDpiY()));
    w->setFont(FormFont(p.font));
    return w;
}

}  // namespace

Form1::Form1(const QString &preferredPort, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(tr("接地电阻在线监测仪配置工具"));
    resize(TwipsToPixels(kFormTwips.width(), logicalDpiX()),
           TwipsToPixels(kFormTwips.height(), logicalDpiY()));

    m_link = new MonitorLink(this);
    createControls();
    setTabOrderChain();

    connect(m_link, &MonitorLink::configAccepted, this, guard([this] { showConfigSuccess(); }));
    connect(m_link, &MonitorLink::configFailed, this, guard([this] { showConfigFailure(); }));
    connect(m_link, &MonitorLink::queryAccepted, this,
            guard([this](const QByteArray &reply) { showQueryResult(reply); }));
    connect(m_link, &MonitorLink::queryFailed, this, guard([this] { showQueryFailure(); }));

    formLoad(preferredPort);
    m_fields[0]->setFocus();
}

void Form1::createControls()
{
    for (const ControlPlacement &p : FormPlacements()) {
        if (p.caption.isEmpty() || p.name.startsWith(QLatin1String("Command")))
            continue;
        QLabel *label = Place<QLabel>(this, p.name, p.index);
        setCaption(label, p.caption, 0);
    }

    m_combo1 = Place<QComboBox>(this, QStringLiteral("Combo1"));
    // Besides the listed ports a device path can be typed (and Enter pressed).
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::InsertAtBottom);
    // A device path can be longer than the box (/dev/serial/by-id/...): the
    // tooltip holds it whole, and the list opens as wide as its longest entry.
    connect(m_combo1, &QComboBox::currentTextChanged, m_combo1, &QWidget::setToolTip);
    connect(m_combo1->model(), &QAbstractItemModel::rowsInserted, this, guard([this] { fitPortList(); }));
    connect(m_combo1, &QComboBox::activated, this,
            guard([this](int index) { openSelectedPort(m_combo1->itemText(index)); }));

    for (int i = 0; i < 8; ++i) {
        QLineEdit *field = Place<QLineEdit>(this, QStringLiteral("Text%1").arg(i + 1));
        field->setText(kStartTexts[i]);
        field->installEventFilter(this);
        m_fields[i] = field;
    }

    m_text9 = Place<QPlainTextEdit>(this, QStringLiteral("Text9"));
    m_text9->setTabChangesFocus(true);

    m_command1 = Place<QPushButton>(this, QStringLiteral("Command1"));
    setCaption(m_command1, PlacementOf(QStringLiteral("Command1")).caption, kButtonPadding);
    m_command2 = Place<QPushButton>(this, QStringLiteral("Command2"));
    setCaption(m_command2, PlacementOf(QStringLiteral("Command2")).caption, kButtonPadding);
    connect(m_command1, &QPushButton::clicked, this, guard([this] { command1Click(); }));
    connect(m_command2, &QPushButton::clicked, this, guard([this] { command2Click(); }));
}

template<class W>
void Form1::setCaption(W *widget, const QString &source, int padding)
{
    const QString shown = tr(source.toUtf8().constData());
    widget->setText(shown);
    if (shown != source)
        ShrinkFontToFit(widget, shown, padding);
}

void Form1::setTabOrderChain()
{
    QList<QWidget *> chain(m_fields.begin(), m_fields.end());
    chain << m_command1 << m_command2 << m_text9 << m_combo1;
    for (int i = 0; i + 1 < chain.size(); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

void Form1::formLoad(const QString &preferredPort)
{
    QStringList ports = DiscoverPorts();
    if (!preferredPort.trimmed().isEmpty()) {
        ports.removeAll(preferredPort.trimmed());
        ports.prepend(preferredPort.trimmed());
    }
    m_combo1->addItems(ports);
    if (m_combo1->count() == 0)
        return;
    m_combo1->setCurrentIndex(0);
    openSelectedPort(m_combo1->itemText(0));
}

void Form1::fitPortList()
{
    QAbstractItemView *list = m_combo1->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width()
                          + 2 * list->frameWidth());
}

void Form1::openSelectedPort(const QString &entry) { m_link->openPort(entry); }

ConfigFields Form1::fields() const
{
    std::array<QString, 8> texts;
    for (int i = 0; i < 8; ++i)
        texts[i] = m_fields[i]->text();
    return ConfigFields::fromTexts(texts);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Switching windows or opening a context menu does not leave the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (int i = 0; i < 8; ++i)
                if (watched == m_fields[i])
                    Guarded([&] { textLostFocus(i); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::textLostFocus(int field)
{
    QLineEdit *edit = m_fields[field];
    const FieldLimit limit = kFieldLimits[field];
    const QString checked = ClampFieldText(edit->text(), limit.lo, limit.hi);
    if (checked != edit->text())
        edit->setText(checked);
}

void Form1::command1Click() { m_link->sendRequest(MonitorLink::Configure, BuildConfigFrame(fields())); }

void Form1::command2Click() { m_link->sendRequest(MonitorLink::Query, BuildQueryFrame()); }

void Form1::showConfigSuccess() { setResultText(ConfigReport(fields())); }

void Form1::showConfigFailure() { setResultText(ConfigFailureText()); }

void Form1::showQueryResult(const QByteArray &reply)
{
    const QueryReplyResult result = ReadQueryReply(reply);
    setResultText(result.report);
    for (int i = 0; i < 8; ++i)
        if (result.fields[i])
            m_fields[i]->setText(*result.fields[i]);
}

void Form1::showQueryFailure() { setResultText(QueryFailureText()); }

void Form1::setResultText(const QString &text)
{
    // The reports end their lines with CR LF; the box wants plain line feeds.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text9->setPlainText(shown);
}
