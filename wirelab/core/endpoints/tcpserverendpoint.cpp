#include "core/endpoints/tcpserverendpoint.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/text/jsondoc.h"
#include "core/text/paramline.h"

#include "core/endpoints/registry.h"
#include "core/endpoints/tcpconnectionendpoint.h"
#include "core/endpoints/tcpsockethandlers.h"
#include "core/net/adapterinfo.h"
#include "core/net/addresstext.h"
#include "guard.h"
#include "messageseam.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <exception>

namespace {

// Time spent setting up waiting connections, or handling waiting closes,
// in one pass of the event loop.
constexpr qint64 PassBudgetMs = 8;
// Connections the kernel may hold for the server before it takes them.
constexpr int ListenBacklog = 4096;
// During a long burst of connections, how often the newest one is shown.
constexpr qint64 PresentEveryMs = 100;

// Runs work in a later pass of the event loop (after ms), once however
// often it is asked meanwhile: scheduled is set until then, and work clears
// it. Nothing runs if context is gone by then.
template<class F>
void RunLater(bool &scheduled, QObject *context, int ms, F work)
{
    if (scheduled || !context)
        return;
    scheduled = true;
    QTimer::singleShot(ms, context, guard(std::move(work)));
}

// Keeps the first exception of a series of steps that must all run.
template<class F>
void RunKeepingFirstError(std::exception_ptr &first, F &&step)
{
    try {
        step();
    } catch (...) {
        if (!first)
            first = std::current_exception();
    }
}

}  // namespace

// One accepted connection as its handlers see it: they outlive the
// endpoint (deleted inside a nested event loop of a handler), and go on
// draining and freeing the socket without it.
struct TcpServerEndpoint::Link
{
    QPointer<TcpConnectionEndpoint> endpoint;
    std::shared_ptr<TcpSocketHandlers> handlers;
};

namespace {
using Link = TcpServerEndpoint::Link;

void ReadAvailable(const Link &c)
{
    if (c.endpoint) {
        c.endpoint->readAvailable();
        return;
    }
    TcpSocketHandlers::Busy busy(*c.handlers);
    while (c.handlers->socket() && c.handlers->socket()->bytesAvailable() > 0)
        c.handlers->socket()->readAll();  // nobody reads these bytes any more
}

void PeerGone(const Link &c)
{
    if (c.endpoint) {
        c.endpoint->peerGone();
        return;
    }
    TcpSocketHandlers::Busy busy(*c.handlers);
    c.handlers->dispose();
    if (c.handlers->socket())
        c.handlers->socket()->setParent(nullptr);
}

void ReadAll(const Link &c)
{
    TcpSocketHandlers::Busy busy(*c.handlers);
    // The box of a failed read is shown inside this notification, and Qt
    // signals nothing for bytes that arrive meanwhile: read on until none
    // is left.
    do {
        Guarded([&] { ReadAvailable(c); });
    } while (c.endpoint && c.handlers->socket() && c.handlers->socket()->bytesAvailable() > 0);
}

}  // namespace

// A connection taken from the server and waiting to be set up, with its
// addresses as they were when it was taken (a socket whose peer has closed
// meanwhile has forgotten them).
struct TcpServerEndpoint::Taken
{
    QPointer<QTcpSocket> socket;
    QString peerAddress;
    int peerPort = 0;
    int localPort = 0;
};

// The connections a server has taken and not yet set up, and the closes by
// peers not yet handled.
//
// When a client program ends, its thousands of connections close at once,
// and Qt reports every one of them in the same pass of the event loop; each
// close is a script call and a node update, so they are handled a few
// milliseconds' worth per pass instead, in order. A close of our own (stop,
// disconnect, deletion) is handled at once, as the commands that cause it
// expect.
struct TcpServerEndpoint::Queues
{
    std::deque<Taken> taken;
    bool setUpScheduled = false;
    std::deque<Link> closes;
    bool closesScheduled = false;
    QElapsedTimer sincePresented;  // the last presentation of a burst
    bool presentationScheduled = false;
};

namespace {

void ScheduleCloses(QTcpServer *context, const std::shared_ptr<TcpServerEndpoint::Queues> &q);

void HandleCloses(QTcpServer *context, const std::shared_ptr<TcpServerEndpoint::Queues> &q)
{
    q->closesScheduled = false;
    QElapsedTimer clock;
    clock.start();
    while (!q->closes.empty()) {
        const Link c = q->closes.front();
        q->closes.pop_front();
        if (!q->closes.empty())
            ScheduleCloses(context, q);
        // A script error leaves here; the rest follow in the next pass.
        PeerGone(c);
        if (clock.elapsed() >= PassBudgetMs)
            break;
    }
}

void ScheduleCloses(QTcpServer *context, const std::shared_ptr<TcpServerEndpoint::Queues> &q)
{
    const QPointer<QTcpServer> listener(context);
    RunLater(q->closesScheduled, context, 0, [listener, q] { HandleCloses(listener, q); });
}

}  // namespace

TcpServerEndpoint *TcpServerEndpoint::create(EndpointRegistry &registry, int port, const QString &bind)
{
    const QHostAddress address = bindAddress(bind);  // a bad value makes nothing
    return adoptAndListen(registry, new TcpServerEndpoint(registry, port, bind.trimmed(), address));
}

TcpServerEndpoint *TcpServerEndpoint::adoptAndListen(EndpointRegistry &registry, TcpServerEndpoint *created)
{
    auto *server = registry.adopt(created);
    QPointer<TcpServerEndpoint> alive(server);
    if (server->listen()) {
        server->setState(EndpointState::Active);
        server->setImage(StateImage::Listening);
    } else if (!server->portWasBusy()) {
        // Not a busy port (an address this machine does not have): saying
        // the port is in use would send the user looking for the wrong fault.
        MessageSeam::show(tr("监听未启动：%1").arg(server->m_server->errorString()));
    } else {
        registry.tellPortBusy(server, server->localPort());
        if (alive)
            MessageSeam::show(tr("该端口已被占用,监听未启动!"));
    }
    if (alive)
        alive->refreshStatus();
    return alive;
}

// The listener is freed later than the endpoint when deleted inside one of
// its own handlers; the registry frees what is left at exit.
TcpServerEndpoint::TcpServerEndpoint(EndpointRegistry &registry, int port, const QString &bind,
                                     const QHostAddress &address)
    : TcpServerEndpoint(EndpointKind::TcpServer, registry, port, bind, address, new QTcpServer(&registry))
{}

TcpServerEndpoint::TcpServerEndpoint(EndpointKind kind, EndpointRegistry &registry, int port, const QString &bind,
                                     const QHostAddress &address, QTcpServer *listener)
    : Endpoint(kind, registry), m_server(listener), m_queues(std::make_shared<Queues>()), m_bind(address)
{
    // Bound to one address, the server shows that one; listening on every
    // address, the machine's own.
    setLocal(bind.isEmpty() ? localAdapterAddress() : bind, port);
    setCaption(nodeCaption(localAddress(), port));
    setImage(StateImage::NotListening);
    connect(m_server, &QTcpServer::newConnection, this, guard([this] { acceptWaiting(); }));
    // Errors of the listening socket (acceptError) are deliberately silent.
}

TcpServerEndpoint::~TcpServerEndpoint()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
    }
}

QTcpServer *TcpServerEndpoint::listener() const { return m_server; }

int TcpServerEndpoint::portInUse() const
{
    return m_server && m_server->isListening() ? int(m_server->serverPort()) : localPort();
}

bool TcpServerEndpoint::listen()
{
    if (!m_server)
        return false;
    if (m_server->isListening())
        return true;
    // A burst of clients waits in the kernel's queue rather than being
    // refused or left to retry a second later (Qt's default is 50; the
    // system caps it).
    m_server->setListenBacklogSize(ListenBacklog);
    // Every address of both families unless BIND names one (IPv4 peers of
    // the dual-stack socket are shown dotted, peerAddressText()).
    return m_server->listen(m_bind, quint16(localPort()));
}

bool TcpServerEndpoint::portWasBusy() const
{
    return !m_server || m_server->serverError() == QAbstractSocket::AddressInUseError;
}

void TcpServerEndpoint::start()
{
    QPointer<TcpServerEndpoint> alive(this);
    if (listen()) {
        setImage(StateImage::Listening);
        setState(EndpointState::Active);
    } else if (!portWasBusy()) {
        // The box lets events run: the endpoint may be gone after it.
        MessageSeam::show(tr("监听未启动：%1").arg(m_server->errorString()));
        if (!alive)
            return;
    } else {
        registry().tellPortBusy(this, localPort());
        if (alive)
            MessageSeam::show(tr("Socket端口已经被占用!"));
        if (!alive)
            return;
    }
    refreshStatus();
}

QList<QTcpSocket *> TcpServerEndpoint::heldConnections() const
{
    QList<QTcpSocket *> held;
    if (!m_server)
        return held;
    // Accepted (or still waiting to be set up) and not closed.
    const auto children = m_server->findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTcpSocket *s : children) {
        if (s->state() != QAbstractSocket::UnconnectedState)
            held << s;
    }
    return held;
}

int TcpServerEndpoint::liveConnections() const { return int(heldConnections().size()); }

bool TcpServerEndpoint::mayDelete() const { return liveConnections() == 0; }

void TcpServerEndpoint::stop()
{
    QPointer<TcpServerEndpoint> alive(this);
    std::exception_ptr failure;
    {
        // A snapshot: closing one connection takes it off the server's
        // list, and every one of them must be closed.
        QList<QPointer<QTcpSocket>> held;
        for (QTcpSocket *s : heldConnections())
            held << s;
        for (const QPointer<QTcpSocket> &s : held) {
            if (s)
                RunKeepingFirstError(failure, [&] { s->close(); });
        }
    }
    if (alive) {
        if (alive->m_server)
            alive->m_server->close();
        alive->setState(EndpointState::Inactive);
        alive->refreshStatus();
        alive->setImage(StateImage::NotListening);
    }
    if (failure)
        std::rethrow_exception(failure);
}

bool TcpServerEndpoint::send(const QByteArray &)
{
    // A listener has no peer: nothing goes out.
    if (!isActive())
        appendLine(tr("发送失败，连接已断开"), LineKind::SendFailed);
    return false;
}

void TcpServerEndpoint::closeListener()
{
    if (m_server)
        m_server->close();
}

void TcpServerEndpoint::closeForDeletion()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
}

void TcpServerEndpoint::acceptWaiting()
{
    QPointer<QTcpServer> listener(m_server);
    while (listener && listener->hasPendingConnections()) {
        QTcpSocket *socket = listener->nextPendingConnection();
        if (socket->state() != QAbstractSocket::ConnectedState) {
            // Closed before it could be taken (a stop ran in between).
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_queues->taken.push_back(
            {socket, peerAddressText(socket->peerAddress()), socket->peerPort(), socket->localPort()});
    }
    scheduleSetUp();
}

// Setting a connection up (its endpoint, views, script calls) takes
// milliseconds, and QTcpServer takes a whole backlog in one notification:
// done at once, a burst of connections held every other event back for
// seconds. Connections are taken at once (their sockets keep what arrives)
// and set up a few milliseconds' worth per pass of the event loop, in order.
void TcpServerEndpoint::scheduleSetUp()
{
    const QPointer<TcpServerEndpoint> self(this);
    RunLater(m_queues->setUpScheduled, m_server, 0, [self] {
        if (self)
            self->setUpWaiting();
    });
}

// Sets up waiting connections, in order, for at most PassBudgetMs, as one
// batch of the registry: only the last one is shown, at once after a quiet
// spell, and during a burst at most every PresentEveryMs. An error ends the
// pass after its connection is complete.
void TcpServerEndpoint::setUpWaiting()
{
    const std::shared_ptr<Queues> q = m_queues;
    q->setUpScheduled = false;
    if (q->taken.empty())
        return;
    QPointer<TcpServerEndpoint> self(this);
    EndpointRegistry &reg = registry();
    QElapsedTimer clock;
    clock.start();
    EndpointBatch batch(reg);
    do {
        if (q->taken.size() > 1)
            self->scheduleSetUp();
        self->setUpOne();
    } while (self && !q->taken.empty() && clock.elapsed() < PassBudgetMs);
    if (!q->sincePresented.isValid() || q->sincePresented.elapsed() >= PresentEveryMs) {
        q->sincePresented.start();
    } else if (self) {
        batch.keepPending();
        // What the last batches left pending is shown PresentEveryMs after
        // the last presentation.
        const qint64 wait = qMax<qint64>(0, PresentEveryMs - q->sincePresented.elapsed());
        EndpointRegistry *r = &reg;
        RunLater(q->presentationScheduled, m_server, int(wait), [q, r] {
            q->presentationScheduled = false;
            q->sincePresented.start();
            EndpointBatch present(*r);
        });
    }
}

void TcpServerEndpoint::setUpOne()
{
    const Taken taken = m_queues->taken.front();
    m_queues->taken.pop_front();
    QTcpSocket *socket = taken.socket;
    if (!socket)
        return;
    if (!m_server || !m_server->isListening()) {
        // The server stopped before this connection's turn.
        socket->abort();
        socket->deleteLater();
        return;
    }
    std::exception_ptr failure;
    const Link c = acceptOne(taken, failure);
    // What came before the connection was set up, down to the peer's close,
    // was kept by the socket and has not been signalled to anyone.
    QTcpSocket *s = c.handlers->socket();
    if (c.endpoint && s && s->bytesAvailable() > 0)
        ReadAll(c);
    s = c.handlers->socket();
    if (c.endpoint && s && s->state() == QAbstractSocket::UnconnectedState && !c.handlers->disposing())
        Guarded([&] { PeerGone(c); });
    if (failure)
        std::rethrow_exception(failure);
}

// A script error of the setup is handed back in failure, after the setup
// is complete.
TcpServerEndpoint::Link TcpServerEndpoint::acceptOne(const Taken &taken, std::exception_ptr &failure)
{
    QTcpSocket *socket = taken.socket;
    QPointer<TcpServerEndpoint> self(this);
    auto *endpoint = new TcpConnectionEndpoint(registry(), this, socket, taken.peerAddress, taken.peerPort,
                                               taken.localPort);
    const Link c {endpoint, endpoint->handlers()};
    attach(c);

    refreshStatus();
    registry().add(std::unique_ptr<Endpoint>(endpoint), this);
    if (c.endpoint)
        c.endpoint->setState(EndpointState::Active);
    if (c.endpoint && self)
        self->connectionReady(*c.endpoint);

    // The connection is complete whatever the script does: its error is
    // reported after the setup.
    RunKeepingFirstError(failure, [&] {
        if (c.endpoint)
            c.endpoint->socketEvent(QStringLiteral("OnConnect"), taken.peerAddress, c.endpoint->number());
    });

    if (c.endpoint) {
        if (self)
            c.endpoint->setHexMode(self->hexMode());
        c.endpoint->takeAddresses();
        c.endpoint->refreshStatus();
    }
    if (!failure && c.endpoint) {
        RunKeepingFirstError(failure, [&] {
            if (EndpointEvents *events = registry().events())
                events->connectionAccepted(*c.endpoint);
        });
    }
    return c;
}

void TcpServerEndpoint::attach(const Link &c)
{
    QTcpSocket *socket = c.handlers->socket();
    socket->setReadBufferSize(TcpSocketHandlers::ReadChunkBytes);
    // Replies go out as they are handed over: a request/reply conversation
    // must not wait for Nagle's algorithm.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // The registry is the context: the handlers go on after the endpoint
    // (and its server) are deleted, to drain and free the socket.
    QObject *context = &registry();
    const std::shared_ptr<Queues> q = m_queues;
    const QPointer<TcpServerEndpoint> server(this);
    QObject::connect(socket, &QTcpSocket::readyRead, context, [c] { ReadAll(c); });
    QObject::connect(socket, &QTcpSocket::disconnected, context, guard([c, q, server] {
                         QTcpSocket *s = c.handlers->socket();
                         QTcpServer *listener = server ? server->listener() : nullptr;
                         if (!s || s->error() != QAbstractSocket::RemoteHostClosedError || !listener) {
                             PeerGone(c);
                             return;
                         }
                         // The socket stays with its server until its close is handled:
                         // deleted with the server meanwhile, it has nothing left to tell.
                         q->closes.push_back(c);
                         ScheduleCloses(listener, q);
                     }));
    QObject::connect(socket, &QTcpSocket::errorOccurred, context,
                     guard([server, c](QAbstractSocket::SocketError error) {
                         // A peer that closes or resets is an ordinary disconnect.
                         if (error == QAbstractSocket::RemoteHostClosedError || !server)
                             return;
                         server->notice(tr("Client Socket异常,代码=%1").arg(int(error)));
                         // The script hears it from the connection that failed.
                         QTcpSocket *s = c.handlers->socket();
                         EndpointEvents *events = server->registry().events();
                         if (c.endpoint && s && events)
                             events->socketError(*c.endpoint, s->errorString());
                     }));
}

namespace {

class TcpServerKind final : public LineDeclaredKind
{
public:
    EndpointKind kind() const override { return EndpointKind::TcpServer; }
    QString name() const override { return QStringLiteral("TCP Server"); }
    bool hasRoot() const override { return true; }
    QString paramLine(const JsonNode &element) const override
    {
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HEX=%3").arg(
            name(),
            jsonText(element, QStringLiteral("PORT")), jsonText(element, QStringLiteral("HEX")))
                     + bindParam(element);
    }
    Endpoint *fromLine(EndpointRegistry &registry, const ParamLine &line) const override
    {
        return TcpServerEndpoint::create(registry, line.port, line.bind);
    }
    StatusFields status(const Endpoint &e) const override
    {
        StatusFields f;
        f.state = e.isActive() ? statusText(QT_TRANSLATE_NOOP("DataWindow", "已启动"))
                               : statusText(QT_TRANSLATE_NOOP("DataWindow", "已停止"));
        f.third = statusText(QT_TRANSLATE_NOOP("DataWindow", "本地端口:%1"), e.localPort());
        f.startCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "启动监听"));
        f.stopCaption = statusText(QT_TRANSLATE_NOOP("DataWindow", "停止监听"));
        return f;
    }
    QString statusLine(const Endpoint &e, bool) const override
    {
        return e.isActive()
            ? statusLineText(QT_TRANSLATE_NOOP("LineLog", "正在监听端口 %1")).arg(e.portInUse())
            : statusLineText(QT_TRANSLATE_NOOP("LineLog", "未在监听（端口 %1）")).arg(e.portInUse());
    }
    WindowStop windowStop() const override { return WindowStop::Endpoint; }
    KindCommands commands() const override { return {false, false, true}; }
};

}  // namespace

const KindDescriptor &TcpServerEndpoint::descriptor()
{
    static const TcpServerKind kind;
    return kind;
}
