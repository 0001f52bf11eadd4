#include "core/endpoints/tcpclientendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/text/jsondoc.h"
#include "core/text/paramline.h"

#include "core/endpoints/registry.h"
#include "core/endpoints/tcpsockethandlers.h"
#include "core/errors.h"
#include "core/net/addresstext.h"
#include "guard.h"
#include "messageseam.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTcpSocket>

#include <utility>

TcpClientEndpoint *TcpClientEndpoint::create(EndpointRegistry &registry, const QString &host, int port)
{
    auto *client = registry.adopt(new TcpClientEndpoint(registry, host, port));
    client->refreshStatus();
    return client;
}

// The socket outlives the endpoint while a handler of it is still on the
// stack; the registry frees what is left at exit.
TcpClientEndpoint::TcpClientEndpoint(EndpointRegistry &registry, const QString &host, int port)
    : TcpClientEndpoint(EndpointKind::TcpClient, registry, host, port, new QTcpSocket(&registry))
{}

TcpClientEndpoint::TcpClientEndpoint(EndpointKind kind, EndpointRegistry &registry, const QString &host,
                                     int port, QTcpSocket *socket)
    : Endpoint(kind, registry)
{
    setRemote(host, port);
    setCaption(nodeCaption(host, port));
    setImage(StateImage::Disconnected);

    // One read takes at most this much: a fast sender would otherwise hand
    // one handler everything the kernel holds.
    socket->setReadBufferSize(TcpSocketHandlers::ReadChunkBytes);
    m_handlers = std::make_shared<TcpSocketHandlers>(socket);
    const auto h = m_handlers;

    // The endpoint is the context of every connection: once it is gone, a
    // late signal of the socket reaches nothing.
    connect(socket, &QTcpSocket::connected, this, guard([this, h] {
                TcpSocketHandlers::Busy busy(*h);
                onSocketConnected();
            }));
    connect(socket, &QTcpSocket::disconnected, this, guard([this, h] {
                TcpSocketHandlers::Busy busy(*h);
                onDisconnected();
            }));
    connect(socket, &QTcpSocket::readyRead, this, [this, h] {
        QPointer<TcpClientEndpoint> alive(this);
        TcpSocketHandlers::Busy busy(*h);
        // The box of a failed read is shown inside this notification, and
        // Qt signals nothing for bytes that arrive meanwhile: read on until
        // none is left.
        do {
            Guarded([&] { alive->onReadyRead(); });
        } while (alive && h->socket() && h->socket()->bytesAvailable() > 0);
    });
    // An error (refused, unreachable, unknown host, a failed read or write)
    // leaves the endpoint as it is, disconnected or not, and is told: a
    // notice with the reason, and OnSocketError for a script that has it. A
    // peer that closes is an ordinary disconnect.
    connect(socket, &QTcpSocket::errorOccurred, this, guard([this, h](QAbstractSocket::SocketError error) {
                if (!h->socket())
                    return;
                TcpSocketHandlers::Busy busy(*h);
                onSocketError(error);
            }));
}

void TcpClientEndpoint::onSocketError(QAbstractSocket::SocketError error)
{
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    const QString reason = socket()->errorString();
    socketError(isActive() ? tr("连接异常：%1").arg(reason) : tr("连接失败：%1").arg(reason), reason);
}

TcpClientEndpoint::~TcpClientEndpoint()
{
    if (m_handlers)
        m_handlers->dispose();
}

QTcpSocket *TcpClientEndpoint::socket() const { return m_handlers ? m_handlers->socket() : nullptr; }

void TcpClientEndpoint::onConnected()
{
    QTcpSocket *s = socket();
    m_peerAddress = peerAddressText(s->peerAddress());
    m_peerPort = s->peerPort();
    // Blocks go out as they are handed over: a request/reply conversation
    // must not wait for Nagle's algorithm.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    setState(EndpointState::Active);
    setLocalPort(s->localPort());
    refreshStatus();
    setImage(StateImage::Connected);
    m_announced = true;
    socketEvent(QStringLiteral("OnConnect"), m_peerAddress, m_peerPort);
}

void TcpClientEndpoint::onDisconnected()
{
    setState(EndpointState::Inactive);
    refreshStatus();
    setImage(StateImage::Disconnected);
    // A connection that never got as far as OnConnect (a refused TLS
    // handshake) ends without OnDisConnect.
    if (!std::exchange(m_announced, false))
        return;
    // Copies: a nested connect may overwrite the peer while the script runs.
    const QString address = m_peerAddress;
    const int port = m_peerPort;
    socketEvent(QStringLiteral("OnDisConnect"), address, port);
}

void TcpClientEndpoint::onReadyRead()
{
    QPointer<TcpClientEndpoint> alive(this);
    QPointer<QTcpSocket> s(socket());
    if (!s)
        return;
    const QByteArray data = TcpSocketHandlers::takeAvailable(*s);
    if (data.isEmpty())
        return;
    receiveStream(data);
    // Bytes that came in while the script and its actions let events
    // through were buffered without a new readyRead (Qt does not emit it
    // recursively); pick them up from the event loop so none is left lying.
    if (alive && s && s->bytesAvailable() > 0) {
        const auto h = m_handlers;
        QMetaObject::invokeMethod(
            this,
            [alive, s, h] {
                TcpSocketHandlers::Busy busy(*h);
                Guarded([&] {
                    if (alive && s && s->bytesAvailable() > 0)
                        alive->onReadyRead();
                });
            },
            Qt::QueuedConnection);
    }
}

void TcpClientEndpoint::open()
{
    QTcpSocket *s = socket();
    if (!s)
        throw WireError(tr("连接失败!"));
    // Already connecting or connected: opening again changes nothing.
    if (s->state() != QAbstractSocket::UnconnectedState)
        return;
    if (remoteHost().trimmed().isEmpty() || remotePort() < 0 || remotePort() > 65535)
        throw WireError(tr("连接失败!"));
    beginConnect();
}

void TcpClientEndpoint::beginConnect()
{
    QTcpSocket *s = socket();
    // Either family: an address literal (with its zone, "fe80::1%eth0") is
    // used as it is; a name is resolved by Qt off the GUI thread and its
    // addresses are tried in the resolver's order until one connects.
    s->connectToHost(remoteHost(), quint16(remotePort()), QIODevice::ReadWrite,
                     QAbstractSocket::AnyIPProtocol);
}

void TcpClientEndpoint::start()
{
    try {
        open();
    } catch (const WireError &) {
        logNotice(tr("连接失败!"));
        MessageSeam::show(tr("连接失败!"));
        return;
    }
    if (QTcpSocket *s = socket())
        setLocalPort(s->localPort());
    refreshStatus();
}

void TcpClientEndpoint::closeConnection()
{
    if (m_handlers)
        m_handlers->closeNow();
}

void TcpClientEndpoint::stop()
{
    QPointer<TcpClientEndpoint> alive(this);
    closeConnection();
    if (alive) {
        setState(EndpointState::Inactive);
        refreshStatus();
    }
}

bool TcpClientEndpoint::send(const QByteArray &block)
{
    if (isActive() && m_handlers->send(block))
        return true;
    appendLine(tr("发送失败，连接已断开"), LineKind::SendFailed);
    return false;
}

void TcpClientEndpoint::closeForDeletion()
{
    QPointer<TcpClientEndpoint> alive(this);
    const auto h = m_handlers;
    closeConnection();
    h->dispose();
    if (alive)
        alive->m_handlers.reset();
}

namespace {

class TcpClientKind final : public LineDeclaredKind
{
public:
    EndpointKind kind() const override { return EndpointKind::TcpClient; }
    QString name() const override { return QStringLiteral("TCP Client"); }
    bool hasRoot() const override { return true; }
    QString paramLine(const JsonNode &element) const override
    {
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HOST=%3,HEX=%4") .arg(
            name(),
            jsonText(element, QStringLiteral("PORT")),
                     jsonText(element, QStringLiteral("HOST")), jsonText(element, QStringLiteral("HEX")));
    }
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override
    {
        return TcpClientEndpoint::create(registry, line.host, line.port);
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f = connectionStatus(e);
        f.startCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "连接"));
        return f;
    }
    QString statusLine(const Endpoint &e, bool wasActive) const override
    {
        return connectionStatusLine(e, wasActive);
    }
    WindowStop windowStop() const override { return WindowStop::SelectedEndpoint; }
    KindCommands commands() const override { return {true, true, false}; }
};

}  // namespace

const KindDescriptor &TcpClientEndpoint::descriptor()
{
    static const TcpClientKind kind;
    return kind;
}
