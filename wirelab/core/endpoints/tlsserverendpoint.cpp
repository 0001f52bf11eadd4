#include "core/endpoints/tlsserverendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpconnectionendpoint.h"
#include "core/endpoints/tlsdeclaration.h"
#include "core/net/addresstext.h"
#include "core/net/tlstext.h"
#include "core/text/jsondoc.h"
#include "guard.h"

#include <QHostAddress>
#include <QSslServer>
#include <QSslSocket>

TlsServerEndpoint *TlsServerEndpoint::create(EndpointRegistry &registry, int port,
                                             const TlsCredentials &credentials, bool requireClientCertificate,
                                             const QString &bind)
{
    const QHostAddress address = bindAddress(bind);  // a bad value makes nothing
    auto *listener = new QSslServer(&registry);
    listener->setSslConfiguration(credentials.serverConfiguration(requireClientCertificate));
    return static_cast<TlsServerEndpoint *>(
        adoptAndListen(registry, new TlsServerEndpoint(registry, port, bind.trimmed(), address, listener)));
}

TlsServerEndpoint::TlsServerEndpoint(EndpointRegistry &registry, int port, const QString &bind,
                                     const QHostAddress &address, QSslServer *listener)
    : TcpServerEndpoint(EndpointKind::TlsServer, registry, port, bind, address, listener)
{
    // A connection is ready once encrypted.
    connect(listener, &QSslServer::pendingConnectionAvailable, this, guard([this] { acceptWaiting(); }));
    // The socket is still there while its error is told; the server frees it.
    connect(listener, &QSslServer::errorOccurred, this,
            guard([this](QSslSocket *socket, QAbstractSocket::SocketError error) {
                if (socket->isEncrypted())
                    return;  // set up: its connection endpoint tells
                QString reason;
                if (!socket->sslHandshakeErrors().isEmpty())
                    reason = tlsRefusalText(socket->sslHandshakeErrors(), QString());
                else if (error == QAbstractSocket::RemoteHostClosedError)
                    reason = tr("对方在握手完成前关闭了连接");
                else
                    reason = socket->errorString();
                notice(tr("TLS 握手失败（%1）：%2")
                           .arg(hostPortText(peerAddressText(socket->peerAddress()), socket->peerPort()),
                                reason));
            }));
}

void TlsServerEndpoint::connectionReady(TcpConnectionEndpoint &connection)
{
    if (auto *s = qobject_cast<QSslSocket *>(connection.socket()))
        connection.notice(tlsSessionText(*s));
}

namespace {

class TlsServerKind final : public EncryptedKind
{
public:
    TlsServerKind() : EncryptedKind(EndpointKind::TcpServer) {}
    EndpointKind kind() const override { return EndpointKind::TlsServer; }
    QString name() const override { return QStringLiteral("TLS Server"); }
    Endpoint *declare(EndpointRegistry &registry, const JsonNode &element) const override
    {
        const TlsDeclaration d = TlsDeclaration::read(element, true);
        TlsServerEndpoint *e =
            TlsServerEndpoint::create(registry, d.port, d.credentials, d.requireClientCertificate,
                                      jsonText(element, QStringLiteral("BIND")));
        if (e)
            e->setHexMode(d.hex);
        return e;
    }
};

}  // namespace

const KindDescriptor &TlsServerEndpoint::descriptor()
{
    static const TlsServerKind kind;
    return kind;
}
