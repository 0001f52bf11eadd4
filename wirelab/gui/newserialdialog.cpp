#include "gui/newserialdialog.h"

#include "core/endpoints/serialendpoint.h"
#include "core/endpoints/serialsettings.h"
#include "core/errors.h"
#include "core/text/intconv.h"
#include "guard.h"
#include "serialports.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr int CommonBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// Words for the script names of the parity and flow choices, shown before
// the name ("偶校验 (E)"); a name without words is shown alone.
struct Words
{
    const char *name;
    const char *words;
};
constexpr Words ChoiceWords[] = {
    {"N", QT_TRANSLATE_NOOP("NewSerialDialog", "无")},
    {"E", QT_TRANSLATE_NOOP("NewSerialDialog", "偶校验")},
    {"O", QT_TRANSLATE_NOOP("NewSerialDialog", "奇校验")},
    {"M", QT_TRANSLATE_NOOP("NewSerialDialog", "标记")},
    {"S", QT_TRANSLATE_NOOP("NewSerialDialog", "空格")},
    {"none", QT_TRANSLATE_NOOP("NewSerialDialog", "无")},
    {"rtscts", QT_TRANSLATE_NOOP("NewSerialDialog", "硬件")},
    {"xonxoff", QT_TRANSLATE_NOOP("NewSerialDialog", "软件")},
};

QString CaptionOf(const char *name)
{
    for (const Words &w : ChoiceWords) {
        if (qstrcmp(w.name, name) == 0)
            return QStringLiteral("%1 (%2)").arg(NewSerialDialog::tr(w.words), QLatin1String(name));
    }
    return QLatin1String(name);
}

// A box of one key's choices (the kind's own table), initial chosen.
template<typename Table>
QComboBox *ChoiceBox(QWidget *parent, const char *objectName, const Table &table,
                     typename Table::value_type::Value initial)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(objectName));
    for (const auto &choice : table)
        box->addItem(CaptionOf(choice.name), int(choice.value));
    box->setCurrentIndex(box->findData(int(initial)));
    return box;
}

QString InfoText(const QSerialPortInfo &info)
{
    QStringList parts;
    if (!info.description().isEmpty())
        parts << info.description();
    if (info.hasVendorIdentifier() && info.hasProductIdentifier())
        parts << QStringLiteral("USB %1:%2")
                                    .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                                    .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
    if (!info.systemLocation().isEmpty())
        parts << info.systemLocation();
    return parts.join(QStringLiteral(" · "));
}

}  // namespace

NewSerialDialog::NewSerialDialog(QWidget *parent) : CreationDialog(tr("新建串口连接"), parent)
{
    setObjectName(QStringLiteral("frmNewSerialPort"));

    m_portBox = new QComboBox(this);
    m_portBox->setObjectName(QStringLiteral("portCombo"));
    m_portBox->setEditable(true);
    m_portBox->setInsertPolicy(QComboBox::NoInsert);
    m_portBox->setMinimumContentsLength(18);
    addRow("portLabel", tr("串口:"), m_portBox);
    m_portInfo = new QLabel(this);
    m_portInfo->setObjectName(QStringLiteral("portInfoLabel"));
    addBelow(m_portInfo);
    m_portInfo->hide();

    const SerialLine::Settings defaults;
    m_baudBox = new QComboBox(this);
    m_baudBox->setObjectName(QStringLiteral("baudCombo"));
    m_baudBox->setEditable(true);
    m_baudBox->setInsertPolicy(QComboBox::NoInsert);
    for (int baud : CommonBauds)
        m_baudBox->addItem(QString::number(baud), baud);
    m_baudBox->setCurrentIndex(m_baudBox->findData(defaults.baud));
    addRow("baudLabel", tr("波特率:"), m_baudBox);
    m_dataBitsBox = ChoiceBox(this, "dataBitsCombo", SerialSettings::DataBits, defaults.dataBits);
    addRow("dataBitsLabel", tr("数据位:"), m_dataBitsBox);
    m_parityBox = ChoiceBox(this, "parityCombo", SerialSettings::Parities, defaults.parity);
    addRow("parityLabel", tr("校验位:"), m_parityBox);
    m_stopBitsBox = ChoiceBox(this, "stopBitsCombo", SerialSettings::StopBits, defaults.stopBits);
    addRow("stopBitsLabel", tr("停止位:"), m_stopBitsBox);
    m_flowBox = ChoiceBox(this, "flowCombo", SerialSettings::Flows, defaults.flow);
    addRow("flowLabel", tr("流控:"), m_flowBox);

    connect(m_portBox, &QComboBox::editTextChanged, this, guard([this] { showPortInfo(); }));
}

void NewSerialDialog::prepare() { listPorts(); }

void NewSerialDialog::listPorts()
{
    const QString shown = m_portBox->currentText();
    m_portBox->clear();
    for (const QSerialPortInfo &info : ListSerialPorts()) {
        m_portBox->addItem(info.portName(), InfoText(info));
        m_portBox->setItemData(m_portBox->count() - 1, InfoText(info), Qt::ToolTipRole);
    }
    // The first port the first time; afterwards what was chosen or typed.
    if (!shown.isEmpty() || m_portBox->count() == 0)
        m_portBox->setEditText(shown);
    else
        m_portBox->setCurrentIndex(0);
    showPortInfo();
}

void NewSerialDialog::showPortInfo()
{
    const int index = m_portBox->findText(m_portBox->currentText().trimmed());
    const QString info = index < 0 ? QString() : m_portBox->itemData(index).toString();
    m_portInfo->setText(info);
    // A typed path has nothing to tell: no empty row under the box.
    m_portInfo->setVisible(!info.isEmpty());
}

void NewSerialDialog::confirm()
{
    const QString device = m_portBox->currentText().trimmed();
    if (device.isEmpty())
        throw WireError(tr("请选择或输入串口"));
    const QString baudText = m_baudBox->currentText();
    const int baud = strToInt(baudText);
    if (baud <= 0)
        throw RangeError(tr("波特率 %1 不是正整数").arg(baudText.trimmed()));

    m_device = device;
    m_settings.baud = baud;
    m_settings.dataBits = QSerialPort::DataBits(m_dataBitsBox->currentData().toInt());
    m_settings.parity = QSerialPort::Parity(m_parityBox->currentData().toInt());
    m_settings.stopBits = QSerialPort::StopBits(m_stopBitsBox->currentData().toInt());
    m_settings.flow = QSerialPort::FlowControl(m_flowBox->currentData().toInt());
    accept();
}

Endpoint *NewSerialDialog::createEndpoint(EndpointRegistry &registry) const
{
    return SerialEndpoint::create(registry, m_device, m_settings);
}
