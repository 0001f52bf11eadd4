#include "core/endpoints/tcpconnectionendpoint.h"

#include "core/endpoints/kinddescriptor.h"

#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/tcpsockethandlers.h"
#include "core/net/addresstext.h"
#include "core/net/tlstext.h"

#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>

namespace {
// Never reused in a run: a reused number would give a new connection the
// name of an old, disconnected one that stays registered, and the script's
// actions would go to the old one.
int NextConnectionNumber()
{
    static int next = 0;
    return ++next;
}
}  // namespace

TcpConnectionEndpoint::TcpConnectionEndpoint(EndpointRegistry &registry, TcpServerEndpoint *server,
                                             QTcpSocket *socket, const QString &peerAddress, int peerPort,
                                             int localPort)
    : Endpoint(EndpointKind::TcpConnection, registry),
      m_server(server),
      m_handlers(std::make_shared<TcpSocketHandlers>(socket)),
      m_number(NextConnectionNumber()),
      m_peerAddress(peerAddress),
      m_peerPort(peerPort),
      m_acceptedLocalPort(localPort)
{
    setCaption(nodeCaption(peerAddress, peerPort));
    setImage(StateImage::Connected);
    setName((server ? server->name() : QString()) + u'_' + QString::number(m_number));
}

TcpConnectionEndpoint::~TcpConnectionEndpoint() = default;

TcpServerEndpoint *TcpConnectionEndpoint::server() const { return m_server; }

QTcpSocket *TcpConnectionEndpoint::socket() const { return m_handlers->socket(); }

void TcpConnectionEndpoint::takeAddresses()
{
    setRemote(m_peerAddress, m_peerPort);
    setLocalPort(m_acceptedLocalPort);
}

void TcpConnectionEndpoint::readAvailable()
{
    QPointer<TcpConnectionEndpoint> alive(this);
    const auto h = m_handlers;
    TcpSocketHandlers::Busy busy(*h);
    while (h->socket() && h->socket()->bytesAvailable() > 0) {
        const QByteArray data = TcpSocketHandlers::takeAvailable(*h->socket());
        if (!alive)
            continue;  // the endpoint was deleted: nobody reads these bytes
        alive->receiveStream(data);
    }
}

void TcpConnectionEndpoint::peerGone()
{
    QPointer<TcpConnectionEndpoint> alive(this);
    const auto h = m_handlers;
    TcpSocketHandlers::Busy busy(*h);
    h->dispose();
    // Off the server, so that deleting the server cannot free it while this
    // handler still runs; it is freed when its handlers end.
    if (h->socket())
        h->socket()->setParent(nullptr);
    // Bytes that came with the close and were not reported yet.
    if (h->socket() && h->socket()->bytesAvailable() > 0)
        readAvailable();
    if (!alive)
        return;
    setState(EndpointState::Inactive);
    setImage(StateImage::Disconnected);
    socketEvent(QStringLiteral("OnDisConnect"), m_peerAddress, m_peerPort);
}

void TcpConnectionEndpoint::close() { m_handlers->closeNow(); }

void TcpConnectionEndpoint::stop()
{
    setState(EndpointState::Inactive);
    close();
}

void TcpConnectionEndpoint::closeConnection() { close(); }

bool TcpConnectionEndpoint::send(const QByteArray &block)
{
    if (isActive() && m_handlers->send(block))
        return true;
    appendLine(tr("发送失败，连接已断开"), LineKind::SendFailed);
    return false;
}

void TcpConnectionEndpoint::closeForDeletion()
{
    // Also when "断开" in another window only set the state to 0: a socket
    // left open would keep the server from ever being deleted.
    QTcpSocket *s = socket();
    if (isActive() || (s && s->state() != QAbstractSocket::UnconnectedState))
        close();
}

namespace {

// Made only by a server's accept: no root, no declaration, no line.
class TcpConnectionKind final : public KindDescriptor
{
public:
    EndpointKind kind() const override { return EndpointKind::TcpConnection; }
    QString name() const override { return QStringLiteral("TCP ServerClient"); }
    bool hasRoot() const override { return false; }
    Endpoint *declare(EndpointRegistry &, const JsonNode &) const override { return nullptr; }
    QString paramLine(const JsonNode &) const override { return QString(); }
    Endpoint *fromLine(EndpointRegistry &, const ParamLine &) const override { return nullptr; }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f = connectionStatus(e);
        // A TLS server's connection tells its session.
        if (auto *s = qobject_cast<QSslSocket *>(static_cast<const TcpConnectionEndpoint &>(e).socket()))
            f.security = tlsSessionText(*s);
        return f;
    }
    QString statusLine(const Endpoint &e, bool wasActive) const override
    {
        return connectionStatusLine(e, wasActive);
    }
    WindowStop windowStop() const override { return WindowStop::SelectedEndpoint; }
    KindCommands commands() const override { return {false, true, false}; }
};

}  // namespace

const KindDescriptor &TcpConnectionEndpoint::descriptor()
{
    static const TcpConnectionKind kind;
    return kind;
}
