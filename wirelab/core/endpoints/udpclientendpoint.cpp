#include "core/endpoints/udpclientendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/net/portprobe.h"
#include "core/text/jsondoc.h"
#include "core/text/paramline.h"

#include "core/endpoints/registry.h"
#include "core/net/addresstext.h"
#include "core/net/datagramsocket.h"

UdpClientEndpoint *UdpClientEndpoint::create(EndpointRegistry &registry, const QString &host, int remotePort,
                                             int localPort)
{
    auto *client = registry.adopt(new UdpClientEndpoint(registry, host, remotePort, localPort));
    client->refreshStatus();
    return client;
}

UdpClientEndpoint::UdpClientEndpoint(EndpointRegistry &registry, const QString &host, int remotePort,
                                     int localPort)
    : UdpEndpoint(EndpointKind::UdpClient, registry, localPort)
{
    socket()->remotePort = remotePort;
    socket()->remoteHost = host;
    setRemote(host, remotePort);
    setCaption(nodeCaption(host, remotePort));
    setImage(StateImage::Udp);
    setState(EndpointState::Active);
}

void UdpClientEndpoint::datagram(const QByteArray &data, const QString &fromIP, int port)
{
    // The destination stays what was given at creation.
    receive(data, fromIP, port, CounterOrder::BeforeScript, true);
}

namespace {

class UdpClientKind final : public LineDeclaredKind
{
public:
    EndpointKind kind() const override { return EndpointKind::UdpClient; }
    QString name() const override { return QStringLiteral("UDP Client"); }
    bool hasRoot() const override { return true; }
    QString paramLine(const JsonNode &element) const override
    {
        auto v = [&](const char *key) { return jsonText(element, QLatin1String(key)); };
        return QStringLiteral("SOCKETTYPE=%1,REMOTEPORT=%2,LOCALPORT=%3,HOST=%4,HEX=%5") .arg(
            name(), v("REMOTEPORT"), v("LOCALPORT"), v("HOST"), v("HEX"));
    }
    // The script gets no box for a busy local port: it simply has no
    // endpoint.
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override
    {
        if (!portProbe(line.localPort)) {
            registry.tellPortBusy(nullptr, line.localPort);
            return nullptr;
        }
        return UdpClientEndpoint::create(registry, line.host, line.remotePort, line.localPort);
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f;
        setPeerFields(f, e);
        return f;
    }
    QString statusLine(const Endpoint &e, bool) const override
    {
        return statusLineText(QT_TRANSLATE_NOOP("LineLog", "端口 %1，发往 %2"))
            .arg(e.portInUse())
            .arg(peerText(e));
    }
    WindowStop windowStop() const override { return WindowStop::None; }
    KindCommands commands() const override { return {}; }
};

}  // namespace

const KindDescriptor &UdpClientEndpoint::descriptor()
{
    static const UdpClientKind kind;
    return kind;
}
