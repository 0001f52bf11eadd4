#include "core/endpoints/serialendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/serialsettings.h"
#include "core/errors.h"
#include "core/text/jsondoc.h"
#include "guard.h"

#include <QPointer>

namespace {

// The most one read takes, as for a TCP socket: a fast device must not hand
// one handler everything it sent at once.
constexpr qint64 ReadChunkBytes = 256 * 1024;

}  // namespace

SerialEndpoint *SerialEndpoint::create(EndpointRegistry &registry, const QString &device,
                                       const SerialLine::Settings &settings)
{
    auto *e = registry.adopt(new SerialEndpoint(registry, device, settings));
    e->refreshStatus();
    return e;
}

SerialEndpoint::SerialEndpoint(EndpointRegistry &registry, const QString &device,
                               const SerialLine::Settings &settings)
    : Endpoint(EndpointKind::Serial, registry), m_device(device.trimmed()), m_settings(settings)
{
    // The peer is the device, its "port" the baud rate: listings and
    // events name them as they name a TCP client's peer.
    setRemote(m_device, settings.baud);
    setCaption(m_device + u'[' + QString::number(settings.baud) + u']');
    setImage(StateImage::Disconnected);
    m_line.port().setReadBufferSize(ReadChunkBytes);
    connect(&m_line, &SerialLine::readyRead, this, guard([this] { onReadyRead(); }));
    connect(&m_line, &SerialLine::lost, this, guard([this](const QString &reason) { onLost(reason); }));
}

QString SerialEndpoint::settingsText() const
{
    QString flow;
    switch (m_settings.flow) {
    case QSerialPort::HardwareControl:
        flow = tr("RTS/CTS流控");
        break;
    case QSerialPort::SoftwareControl:
        flow = tr("XON/XOFF流控");
        break;
    default:
        flow = tr("无流控");
        break;
    }
    return SerialSettings::frameText(m_settings) + u' ' + flow;
}

QString SerialEndpoint::closedBecause() const
{
    if (isActive())
        return QString();
    switch (m_closure) {
    case Closure::OpenFailed:
        return tr("打开失败:%1").arg(m_reason);
    case Closure::Lost:
        return tr("设备已断开:%1").arg(m_reason);
    case Closure::None:
        break;
    }
    return QString();
}

QString SerialEndpoint::startFailure() const
{
    return !isActive() && m_closure == Closure::OpenFailed ? m_reason : QString();
}

void SerialEndpoint::open()
{
    if (m_line.isOpen())
        return;
    if (!m_line.open(m_device, m_settings)) {
        m_closure = Closure::OpenFailed;
        m_reason = m_line.errorText();
        setState(EndpointState::Inactive);
        refreshStatus();
        notice(tr("打开串口%1失败：%2").arg(m_device, m_reason));
        return;
    }
    m_closure = Closure::None;
    m_reason.clear();
    setState(EndpointState::Active);
    refreshStatus();
    setImage(StateImage::Connected);
    socketEvent(QStringLiteral("OnConnect"), m_device, m_settings.baud);
}

void SerialEndpoint::stop()
{
    QPointer<SerialEndpoint> alive(this);
    closeConnection();
    if (alive) {
        setState(EndpointState::Inactive);
        refreshStatus();
    }
}

void SerialEndpoint::closeConnection()
{
    if (!m_line.isOpen())
        return;
    // Closing drops what the port still holds: what the system takes now
    // goes out first, as a TCP client's close does.
    m_line.port().flush();
    m_line.close();
    m_closure = Closure::None;
    m_reason.clear();
    closed();
}

void SerialEndpoint::onLost(const QString &reason)
{
    m_closure = Closure::Lost;
    m_reason = reason;
    notice(tr("串口%1已断开：%2").arg(m_device, reason));
    closed();
}

void SerialEndpoint::closed()
{
    setState(EndpointState::Inactive);
    refreshStatus();
    setImage(StateImage::Disconnected);
    socketEvent(QStringLiteral("OnDisConnect"), m_device, m_settings.baud);
}

void SerialEndpoint::onReadyRead()
{
    QPointer<SerialEndpoint> alive(this);
    // Qt does not signal readyRead again while its handler runs, and the
    // script may let events through: what came in meanwhile is read on here.
    while (alive && m_line.isOpen() && m_line.port().bytesAvailable() > 0) {
        const QByteArray data = m_line.port().read(ReadChunkBytes);
        if (data.isEmpty())
            return;
        receiveStream(data);
    }
}

bool SerialEndpoint::send(const QByteArray &block)
{
    // Handed to the system at once where it takes it; the port writes the
    // rest as the device reads.
    if (m_line.isOpen() && m_line.port().write(block) == block.size()) {
        m_line.port().flush();
        return true;
    }
    appendLine(tr("发送失败，串口未打开"), LineKind::SendFailed);
    return false;
}

namespace {

// Declared with keys of its own: PORT is a device path (a parameter line
// reads it as a number), and the line settings have no place in a line.
class SerialKind final : public KindDescriptor
{
public:
    EndpointKind kind() const override { return EndpointKind::Serial; }
    QString name() const override { return QStringLiteral("Serial"); }
    bool hasRoot() const override { return true; }
    Endpoint *declare(EndpointRegistry &registry, const JsonNode &element) const override
    {
        const QString device = jsonText(element, QStringLiteral("PORT")).trimmed();
        if (device.isEmpty())
            throw WireError(QStringLiteral("PORT \"%1\" is not a device path").arg(device));
        // Every value is checked before anything exists.
        const SerialLine::Settings settings = SerialSettings::fromDeclaration(element);
        SerialEndpoint *e = SerialEndpoint::create(registry, device, settings);
        e->setHexMode(jsonInt(element, QStringLiteral("HEX")) == 1);
        return e;
    }
    QString paramLine(const JsonNode &) const override { return QString(); }
    Endpoint *fromLine(EndpointRegistry &, const ParamLine &) const override { return nullptr; }
    StatusFields status(const Endpoint &e) const override
    {
        const auto &serial = static_cast<const SerialEndpoint &>(e);
        StatusFields f;
        f.state = e.isActive() ? statusText(QT_TRANSLATE_NOOP("DataWindow", "已打开"))
                               : statusText(QT_TRANSLATE_NOOP("DataWindow", "已关闭"));
        f.first = statusText(QT_TRANSLATE_NOOP("DataWindow", "设备:%1"), serial.device());
        f.second = statusText(QT_TRANSLATE_NOOP("DataWindow", "参数:%1"), serial.settingsText());
        f.third = serial.closedBecause();
        f.startCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "打开"));
        f.stopCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "关闭"));
        return f;
    }
    QString statusLine(const Endpoint &e, bool wasActive) const override
    {
        const auto &serial = static_cast<const SerialEndpoint &>(e);
        if (e.isActive())
            return statusLineText(QT_TRANSLATE_NOOP("LineLog", "已打开 %1，%2"))
                .arg(serial.device(), serial.settingsText());
        return wasActive ? statusLineText(QT_TRANSLATE_NOOP("LineLog", "已关闭")) : QString();
    }
    KindCommands commands() const override { return {true, true, false}; }
    // Its own window's port, not the one selected in the tree.
    WindowStop windowStop() const override { return WindowStop::Endpoint; }
};

}  // namespace

const KindDescriptor &SerialEndpoint::descriptor()
{
    static const SerialKind kind;
    return kind;
}
