#pragma once
// The "TLS Client" endpoint: a TCP client whose connection is encrypted.
// The name sent to the server (SNI) and checked against its certificate is
// HOST. OnConnect comes once the handshake has completed; a refused
// handshake is a notice saying which check failed, and no OnConnect.

#include "core/endpoints/tcpclientendpoint.h"
#include "core/net/tlscredentials.h"

#include <QList>
#include <QSslError>

class QSslSocket;

class TlsClientEndpoint : public TcpClientEndpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the client, disconnected. verify: the server's
    // certificate must be trusted and for host; otherwise any is taken and
    // described in a notice at every handshake.
    static TlsClientEndpoint *create(EndpointRegistry &registry, const QString &host, int port,
                                     const TlsCredentials &credentials, bool verify);

    QSslSocket *sslSocket() const;
    bool verifies() const { return m_verify; }

protected:
    void beginConnect() override;
    // The TCP connection alone is not the endpoint's connection yet.
    void onSocketConnected() override { m_handshaking = true; }
    void onSocketError(QAbstractSocket::SocketError error) override;

private:
    TlsClientEndpoint(EndpointRegistry &registry, const QString &host, int port,
                      const QSslConfiguration &config, bool verify);
    void onEncrypted();

    bool m_verify;
    bool m_handshaking = false;  // connected, not yet encrypted
    // What the last handshake found wrong with the server's certificate.
    QList<QSslError> m_refusals;
};
