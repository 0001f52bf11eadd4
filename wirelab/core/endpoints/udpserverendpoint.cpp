#include "core/endpoints/udpserverendpoint.h"

#include "core/endpoints/registry.h"
#include "core/net/adapterinfo.h"
#include "core/net/datagramsocket.h"

#include <QPointer>

UdpServerEndpoint *UdpServerEndpoint::create(EndpointRegistry &registry, int localPort)
{
    auto *server = registry.adopt(new UdpServerEndpoint(registry, localPort));
    server->refreshStatus();
    return server;
}

UdpServerEndpoint::UdpServerEndpoint(EndpointRegistry &registry, int localPort)
    : UdpEndpoint(EndpointKind::UdpServer, registry, localPort)
{
    socket()->remoteHost.clear();
    setRemote(QString(), 0);
    setCaption(localAdapterAddress() + u'[' + QString::number(this->localPort()) + u']');
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
    setRemote(fromIP, port);
    setState(EndpointState::Active);
    refreshStatus();
    receive(data, fromIP, port, CounterOrder::AfterScript, true);
}
