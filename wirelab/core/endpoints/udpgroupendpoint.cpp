#include "core/endpoints/udpgroupendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/net/portprobe.h"
#include "core/text/jsondoc.h"
#include "core/text/paramline.h"

#include "core/endpoints/registry.h"
#include "core/net/addresstext.h"
#include "core/net/groupsocket.h"
#include "guard.h"
#include "messageseam.h"

#include <cerrno>

namespace {

// The failure texts of the two creation paths, side by side.
struct FailureTexts
{
    QString startUp;  // socket layer start-up (cannot fail on this platform)
    QString socket;  // %1 is the error number
    QString bind;
    QString join;
};

// Built on each use, in the language of the moment.
FailureTexts TextsFor(UdpGroupEndpoint::Path path)
{
    if (path == UdpGroupEndpoint::Path::Dialog) {
        return {
            QStringLiteral("StartUp Error!"), UdpGroupEndpoint::tr("%1  Socket创建失败"),
                           QStringLiteral("bind fail"), UdpGroupEndpoint::tr("无法进行UDP组播"),
            };
    }
    return {
        QStringLiteral("StartUp Error!"), UdpGroupEndpoint::tr("%1Udp group Socket创建失败"),
                       QStringLiteral("udp group bind fail"), UdpGroupEndpoint::tr("无法进行UDP组播"),
        };
}

}  // namespace

UdpGroupEndpoint *UdpGroupEndpoint::create(EndpointRegistry &registry, const QString &groupAddress, int port,
                                           Path path)
{
    auto *group = registry.adopt(new UdpGroupEndpoint(registry, groupAddress, port));
    QPointer<UdpGroupEndpoint> alive(group);
    group->setUp(path);  // may show boxes, and so let events through
    if (alive) {
        alive->refreshStatus();
        alive->setState(EndpointState::Active);
    }
    return alive;
}

UdpGroupEndpoint::UdpGroupEndpoint(EndpointRegistry &registry, const QString &groupAddress, int port)
    : Endpoint(EndpointKind::UdpGroup, registry)
{
    setLocal(groupAddress, port);
    setCaption(nodeCaption(groupAddress, port));
    setImage(StateImage::Group);
}

UdpGroupEndpoint::~UdpGroupEndpoint() { closeForDeletion(); }

int UdpGroupEndpoint::portInUse() const
{
    const int bound = m_socket ? m_socket->boundPort() : 0;
    return bound > 0 ? bound : localPort();
}

void UdpGroupEndpoint::setUp(Path path)
{
    const FailureTexts texts = TextsFor(path);
    // No socket layer start-up is needed here, so texts.startUp is never
    // shown. Each failure is shown and creation goes on; a socket that
    // could not be made lets the later steps fail and show theirs too.
    QPointer<UdpGroupEndpoint> self(this);
    m_socket = new GroupSocket(&registry());
    const QPointer<GroupSocket> socket(m_socket);
    // The log keeps each failure too (a port in use as such).
    if (const int error = socket->create(isIPv6Text(groupAddress()) ? AF_INET6 : AF_INET)) {
        logNoticeLater(texts.socket.arg(error));
        MessageSeam::show(texts.socket.arg(error));
    }
    if (socket && self) {
        if (const int error = socket->bindAny(self->groupPort())) {
            if (error == EADDRINUSE)
                self->registry().tellPortBusy(self, self->groupPort());
            else
                self->logNoticeLater(texts.bind);
            if (socket && self)
                MessageSeam::show(texts.bind);
        }
    }
    if (socket && self && socket->join(self->groupAddress()) != 0) {
        self->logNoticeLater(texts.join);
        MessageSeam::show(texts.join);
    }
    if (!socket)
        return;
    socket->enableReadNotification();
    // One datagram per notification; it is read even when the endpoint is
    // gone, so a readable socket cannot keep firing. Group datagrams carry
    // no sender for the script.
    connect(socket.data(), &GroupSocket::readyRead, socket.data(), [s = socket.data(), self] {
        Guarded([&] {
            const QByteArray data = s->readDatagram();
            if (self)
                self->receive(data, QString(), 0, CounterOrder::AfterScript, true);
        });
    });
}

bool UdpGroupEndpoint::send(const QByteArray &block)
{
    if (!isActive()) {
        appendLine(tr("发送失败，连接已断开"), LineKind::SendFailed);
        return false;
    }
    int error = EBADF;
    qint64 sent = -1;
    // The target is the group address and port every time, whoever sent last.
    if (m_socket)
        sent = m_socket->sendTo(block, groupAddress(), groupPort(), &error);
    // The log keeps what did not go out; the boxes may let events run.
    if (sent != block.size())
        logNotice(
            tr("发送失败：%1").arg(sent < 0 ? qt_error_string(error) : tr("只发送了 %1 字节").arg(sent)));
    if (error != 0 && error != EAGAIN && error != EWOULDBLOCK)
        MessageSeam::show(QString::number(error));
    if (sent < 0)
        MessageSeam::show(QStringLiteral("send fail"));
    if (sent != block.size())
        MessageSeam::show(QStringLiteral("Not Send all"));
    return sent > 0;
}

void UdpGroupEndpoint::closeForDeletion()
{
    if (m_socket) {
        m_socket->close();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

namespace {

class UdpGroupKind final : public LineDeclaredKind
{
public:
    EndpointKind kind() const override { return EndpointKind::UdpGroup; }
    QString name() const override { return QStringLiteral("UDP Group"); }
    bool hasRoot() const override { return true; }
    // A group declares its address as GROUPADDR.
    QString paramLine(const JsonNode &element) const override
    {
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HOST=%3,HEX=%4") .arg(
            name(),
            jsonText(element, QStringLiteral("PORT")),
                     jsonText(element, QStringLiteral("GROUPADDR")),
                              jsonText(element, QStringLiteral("HEX")));
    }
    // LOCALPORT is 0 in a declared line, so the probe passes there.
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override
    {
        if (!portProbe(line.localPort))
            return nullptr;
        return UdpGroupEndpoint::create(registry, line.host, line.port, UdpGroupEndpoint::Path::ParamLine);
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f;
        f.first = statusText(QT_TRANSLATE_NOOP("DataWindow", "组播地址:%1"), e.localAddress());
        f.second = statusText(QT_TRANSLATE_NOOP("DataWindow", "组播端口:%1"), e.localPort());
        return f;
    }
    QString statusLine(const Endpoint &e, bool) const override
    {
        // An IPv6 group in brackets, as everywhere a port follows it.
        const QString group =
            isIPv6Text(e.localAddress()) ? u'[' + e.localAddress() + u']' : e.localAddress();
        return statusLineText(QT_TRANSLATE_NOOP("LineLog", "组播 %1:%2")).arg(group).arg(e.portInUse());
    }
    WindowStop windowStop() const override { return WindowStop::None; }
    KindCommands commands() const override { return {}; }
};

}  // namespace

const KindDescriptor &UdpGroupEndpoint::descriptor()
{
    static const UdpGroupKind kind;
    return kind;
}
