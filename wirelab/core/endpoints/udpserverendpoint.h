#pragma once
// The "UDP Server" endpoint: bound to a local port, it answers the sender
// of the latest datagram; until one arrives it has nobody to send to.

#include "core/endpoints/udpendpoint.h"

class KindDescriptor;

class UdpServerEndpoint : public UdpEndpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the server, bound to every address or to the
    // one bind names; a binding error, or a bind that is no address
    // (WireError), leaves here with nothing registered.
    static UdpServerEndpoint *create(EndpointRegistry &registry, int localPort,
                                     const QString &bind = QString());

protected:
    void datagram(const QByteArray &data, const QString &fromIP, int port) override;

private:
    UdpServerEndpoint(EndpointRegistry &registry, int localPort, const QString &bind);
};
