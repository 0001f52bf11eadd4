#pragma once
// The "UDP Client" endpoint: sends to the destination given at creation,
// from localPort (0: any), and reports what arrives from anyone.

#include "core/endpoints/udpendpoint.h"

class KindDescriptor;

class UdpClientEndpoint : public UdpEndpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the client; a binding error leaves here with
    // nothing registered.
    static UdpClientEndpoint *create(EndpointRegistry &registry, const QString &host, int remotePort,
                                     int localPort);

protected:
    void datagram(const QByteArray &data, const QString &fromIP, int port) override;

private:
    UdpClientEndpoint(EndpointRegistry &registry, const QString &host, int remotePort, int localPort);
};
