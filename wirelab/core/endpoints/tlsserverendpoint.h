#pragma once
// The "TLS Server" endpoint: a TCP server whose connections are encrypted
// (QSslServer). A connection becomes an endpoint of its own, as a TCP
// server's does, once its handshake has completed; a handshake that fails
// is a notice of the server, which goes on listening.

#include "core/endpoints/tcpserverendpoint.h"
#include "core/net/tlscredentials.h"

class QSslServer;

class TlsServerEndpoint : public TcpServerEndpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the server and tries to listen, on every
    // address or the one bind names, as a TCP server does.
    static TlsServerEndpoint *create(EndpointRegistry &registry, int port, const TlsCredentials &credentials,
                                     bool requireClientCertificate, const QString &bind = QString());

protected:
    void connectionReady(TcpConnectionEndpoint &connection) override;

private:
    TlsServerEndpoint(EndpointRegistry &registry, int port, const QString &bind, const QHostAddress &address,
                      QSslServer *listener);
};
