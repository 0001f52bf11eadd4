#include "core/endpoints/udpserverendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/net/portprobe.h"
#include "core/text/jsondoc.h"
#include "core/text/paramline.h"

#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/net/adapterinfo.h"
#include "core/net/addresstext.h"
#include "core/net/datagramsocket.h"

#include <QPointer>

#include <cerrno>

UdpServerEndpoint *UdpServerEndpoint::create(EndpointRegistry &registry, int localPort, const QString &bind)
{
    auto *server = registry.adopt(new UdpServerEndpoint(registry, localPort, bind.trimmed()));
    server->refreshStatus();
    return server;
}

UdpServerEndpoint::UdpServerEndpoint(EndpointRegistry &registry, int localPort, const QString &bind)
    : UdpEndpoint(EndpointKind::UdpServer, registry, localPort, bindAddress(bind))
{
    socket()->remoteHost.clear();
    setRemote(QString(), 0);
    setCaption(nodeCaption(bind.isEmpty() ? localAdapterAddress() : bind, this->localPort()));
    setImage(StateImage::Udp);
    setState(EndpointState::Inactive);  // nobody to answer yet
}

void UdpServerEndpoint::datagram(const QByteArray &data, const QString &fromIP, int port)
{
    // The sender becomes the peer before the script hears of the datagram,
    // so a SEND from its OnRead answers this datagram's sender (taken after
    // the script, the first answer would be refused and every later one
    // would go to the previous sender).
    if (DatagramSocket *s = socket()) {
        s->remoteHost = fromIP;
        s->remotePort = port;
    }
    // The views hear of a new sender only: a stream from one peer would
    // otherwise redraw the same status for every datagram.
    const bool changed = !isActive() || remotePort() != port || remoteHost() != fromIP;
    setRemote(fromIP, port);
    setState(EndpointState::Active);
    if (changed)
        refreshStatus();
    receive(data, fromIP, port, CounterOrder::AfterScript, true);
}

namespace {

class UdpServerKind final : public LineDeclaredKind
{
public:
    EndpointKind kind() const override { return EndpointKind::UdpServer; }
    QString name() const override { return QStringLiteral("UDP Server"); }
    bool hasRoot() const override { return true; }
    // A UDP server declares its local port as PORT.
    QString paramLine(const JsonNode &element) const override
    {
        return QStringLiteral("SOCKETTYPE=%1,LOCALPORT=%2,HOST=%3,HEX=%4") .arg(
            name(),
            jsonText(element, QStringLiteral("PORT")),
                     jsonText(element, QStringLiteral("HOST")), jsonText(element, QStringLiteral("HEX")))
                              + bindParam(element);
    }
    // The script gets no box for a busy local port: it simply has no
    // endpoint.
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override
    {
        // An address this machine lacks is a mistake in the declaration,
        // not a port in use.
        const int error = portProbeError(line.localPort, bindAddress(line.bind));
        if (error == EADDRNOTAVAIL)
            throw WireError(notLocalBindText(line.bind));
        if (error != 0) {
            registry.tellPortBusy(nullptr, line.localPort);
            return nullptr;
        }
        return UdpServerEndpoint::create(registry, line.localPort, line.bind);
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f;
        setPeerFields(f, e);
        return f;
    }
    QString statusLine(const Endpoint &e, bool) const override
    {
        return e.isActive()
            ? statusLineText(QT_TRANSLATE_NOOP("LineLog", "应答 %1")).arg(peerText(e))
            : statusLineText(QT_TRANSLATE_NOOP("LineLog", "绑定在端口 %1")).arg(e.portInUse());
    }
    WindowStop windowStop() const override { return WindowStop::None; }
    KindCommands commands() const override { return {}; }
};

}  // namespace

const KindDescriptor &UdpServerEndpoint::descriptor()
{
    static const UdpServerKind kind;
    return kind;
}
