#include "core/endpoints/udpclientendpoint.h"

#include "core/endpoints/registry.h"
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
    setCaption(host + u'[' + QString::number(remotePort) + u']');
    setImage(StateImage::Udp);
    setState(EndpointState::Active);
}

void UdpClientEndpoint::datagram(const QByteArray &data, const QString &fromIP, int port)
{
    // The destination stays what was given at creation.
    receive(data, fromIP, port, CounterOrder::BeforeScript, true);
}
