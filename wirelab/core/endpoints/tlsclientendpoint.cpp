#include "core/endpoints/tlsclientendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tlsdeclaration.h"
#include "core/net/tlstext.h"
#include "core/text/jsondoc.h"
#include "guard.h"

#include <QSslSocket>

#include <utility>

TlsClientEndpoint *TlsClientEndpoint::create(EndpointRegistry &registry, const QString &host, int port,
                                             const TlsCredentials &credentials, bool verify)
{
    auto *client = registry.adopt(
        new TlsClientEndpoint(registry, host, port, credentials.clientConfiguration(verify), verify));
    client->refreshStatus();
    return client;
}

TlsClientEndpoint::TlsClientEndpoint(EndpointRegistry &registry, const QString &host, int port,
                                     const QSslConfiguration &config, bool verify)
    : TcpClientEndpoint(EndpointKind::TlsClient, registry, host, port, new QSslSocket(&registry)),
      m_verify(verify)
{
    QSslSocket *s = sslSocket();
    s->setSslConfiguration(config);
    connect(s, &QSslSocket::encrypted, this, guard([this] { onEncrypted(); }));
    connect(s, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) { m_refusals = errors; });
}

QSslSocket *TlsClientEndpoint::sslSocket() const { return static_cast<QSslSocket *>(socket()); }

void TlsClientEndpoint::beginConnect()
{
    m_refusals.clear();
    m_handshaking = false;
    // The host is the name the server is asked for and checked against.
    sslSocket()->connectToHostEncrypted(remoteHost(), quint16(remotePort()), QIODevice::ReadWrite,
                                        QAbstractSocket::AnyIPProtocol);
}

void TlsClientEndpoint::onEncrypted()
{
    m_handshaking = false;
    QSslSocket *s = sslSocket();
    if (!m_verify)
        notice(tlsUncheckedText(s->peerCertificate()));
    notice(tlsSessionText(*s));
    onConnected();
}

void TlsClientEndpoint::onSocketError(QAbstractSocket::SocketError error)
{
    // Before the TCP connection and once set up, a TLS client fails as a
    // plain one does.
    if (!std::exchange(m_handshaking, false)) {
        TcpClientEndpoint::onSocketError(error);
        return;
    }
    QString reason;
    if (!m_refusals.isEmpty())
        reason = tlsRefusalText(m_refusals, remoteHost());
    else if (error == QAbstractSocket::RemoteHostClosedError)
        reason = tr("对方在握手完成前关闭了连接");
    else
        reason = sslSocket()->errorString();
    socketError(tr("TLS 握手失败（%1）：%2").arg(remoteHost(), reason), reason);
}

namespace {

class TlsClientKind final : public EncryptedKind
{
public:
    TlsClientKind() : EncryptedKind(EndpointKind::TcpClient) {}
    EndpointKind kind() const override { return EndpointKind::TlsClient; }
    QString name() const override { return QStringLiteral("TLS Client"); }
    Endpoint *declare(EndpointRegistry &registry, const JsonNode &element) const override
    {
        const TlsDeclaration d = TlsDeclaration::read(element, false);
        TlsClientEndpoint *e = TlsClientEndpoint::create(registry, d.host, d.port, d.credentials, d.verify);
        e->setHexMode(d.hex);
        return e;
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f = EncryptedKind::status(e);
        if (QSslSocket *s = static_cast<const TlsClientEndpoint &>(e).sslSocket())
            f.security = tlsSessionText(*s);
        return f;
    }
};

}  // namespace

const KindDescriptor &TlsClientEndpoint::descriptor()
{
    static const TlsClientKind kind;
    return kind;
}
