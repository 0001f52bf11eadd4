#include "tcpserverendpoint.h"

#include "adapterinfo.h"
#include "common/guard.h"
#include "common/uiseam.h"
#include "datawindow/hexcodec.h"
#include "datawindow/tfrmdata.h"
#include "endpointnode.h"
#include "kinds.h"
#include "receivepath.h"
#include "script/workspace.h"
#include "tmysocket.h"
#include "workbench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <exception>
#include <memory>

namespace TcpServerEndpoint {

namespace {

// The most one read of an accepted connection takes, so that a fast sender
// cannot make a single handler run for seconds on megabytes at once.
constexpr qint64 ReadChunkBytes = 256 * 1024;
// Time spent setting up waiting connections, or handling waiting closes, in
// one pass of the event loop.
constexpr qint64 PassBudgetMs = 8;
// Connections the kernel may hold for the server before it takes them.
constexpr int ListenBacklog = 4096;
// During a long burst of connections, how often the newest one is shown.
constexpr qint64 PresentEveryMs = 100;

// Runs work in a later pass of the event loop (after ms), once however often
// it is asked meanwhile: scheduled is set until then, and work clears it.
// Nothing runs if context is gone by then.
template <class F>
void RunLater(bool &scheduled, QObject *context, int ms, F work)
{
    if (scheduled || !context)
        return;
    scheduled = true;
    QTimer::singleShot(ms, context, guard(std::move(work)));
}

// What one accepted connection's handlers share. The peer's address and
// ports are copied at accept time: the socket forgets them on disconnect.
struct Connection
{
    QPointer<QTcpSocket> socket;
    QPointer<TMySocket> record;
    QPointer<TMySocket> server;
    QString peerAddress;
    int peerPort = 0;
    int localPort = 0;
    int number = 0;
    int busy = 0;               // handlers of this socket on the stack
    bool disposePending = false;
};

// Marks a handler of the connection as running. The socket is disposed of
// only when the outermost handler ends: a disconnect handled inside a nested
// event loop of the read handler must not free the socket whose read
// notification is still unwinding.
class Busy
{
public:
    explicit Busy(Connection &c) : m_c(c) { ++m_c.busy; }
    ~Busy()
    {
        if (--m_c.busy == 0 && m_c.disposePending && m_c.socket) {
            m_c.disposePending = false;
            m_c.socket->deleteLater();
        }
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    Connection &m_c;
};

// The number that ends an accepted connection's name. Never reused in a
// run: a reused number would give a new connection the name of an old,
// disconnected one that stays registered, and the script's actions would go
// to the old one.
int NextConnectionNumber()
{
    static int next = 0;
    return ++next;
}

// Keeps the first exception of a series of steps that must all run.
template <class F>
void RunKeepingFirstError(std::exception_ptr &first, F &&step)
{
    try {
        step();
    } catch (...) {
        if (!first)
            first = std::current_exception();
    }
}

QTcpServer *ServerOf(const TMySocket *r)
{
    return r ? qobject_cast<QTcpServer *>(r->component.data()) : nullptr;
}

QTcpSocket *SocketOf(const TMySocket *r)
{
    return r ? qobject_cast<QTcpSocket *>(r->component.data()) : nullptr;
}

// Connections the server holds: accepted (or still pending) and not closed.
QList<QTcpSocket *> HeldConnections(QTcpServer *server)
{
    QList<QTcpSocket *> held;
    if (!server)
        return held;
    const auto children = server->findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTcpSocket *s : children) {
        if (s->state() != QAbstractSocket::UnconnectedState)
            held << s;
    }
    return held;
}

bool Listen(TMySocket *server)
{
    QTcpServer *s = ServerOf(server);
    if (!s)
        return false;
    if (s->isListening())
        return true;
    // A burst of clients waits in the kernel's queue rather than being
    // refused or left to retry a second later (Qt's default is 50; the
    // system caps it).
    s->setListenBacklogSize(ListenBacklog);
    // The low 16 bits of the port, on the IPv4 any-address so that peers are
    // plain dotted IPv4 addresses.
    return s->listen(QHostAddress::AnyIPv4, quint16(server->localPort));
}

QString DottedPeer(const QTcpSocket *socket)
{
    const QHostAddress peer = socket->peerAddress();
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : peer.toString();
}

void ClientRead(Workbench &wb, Connection &c)
{
    Busy busy(c);
    while (c.socket && c.socket->bytesAvailable() > 0) {
        const QByteArray data = c.socket->readAll();
        if (!c.record)
            continue;  // the endpoint was deleted: nobody reads these bytes
        ReceivePath::Receive(wb, c.record, data, StrToHexCompact(data), 0,
                             ReceivePath::Order::CounterFirst);
    }
}

void ClientDisconnected(Workbench &wb, Connection &c)
{
    Busy busy(c);
    c.disposePending = true;
    if (c.socket) {
        // Off the server, so that deleting the server cannot free it while
        // this handler still runs; it is disposed of when its handlers end.
        c.socket->setParent(nullptr);
    }
    if (!c.record)
        return;
    // Bytes that came with the close and were not reported yet.
    if (c.socket && c.socket->bytesAvailable() > 0)
        ClientRead(wb, c);
    if (!c.record)
        return;
    c.record->state = 0;
    wb.SetStateImage(c.record, ImgDisconnected);
    wb.ScriptEvent(c.record, QStringLiteral("OnDisConnect"), c.peerAddress, c.peerPort);
}

void ClientError(Connection &c, QAbstractSocket::SocketError error)
{
    // A peer that closes or resets is an ordinary disconnect.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    if (!c.server || !c.server->window)
        return;
    c.server->window->ensureUi();
    c.server->window->Memo3->appendPlainText(CreationTimeText()
        + QCoreApplication::translate("TcpServerEndpoint", "Client Socket异常,代码=%1").arg(int(error)));
}

void ReadAll(Workbench &wb, const std::shared_ptr<Connection> &c)
{
    Busy busy(*c);
    // The box of a failed read is shown inside this notification, and Qt
    // signals nothing for bytes that arrive meanwhile: read on until none
    // is left.
    do {
        Guarded([&] { ClientRead(wb, *c); });
    } while (c->record && c->socket && c->socket->bytesAvailable() > 0);
}

// Connections whose peers have closed, waiting to be handled. When a client
// program ends, its thousands of connections close at once, and Qt reports
// every one of them in the same pass of the event loop; each close is a
// script call and a node update, so they are handled a few milliseconds'
// worth per pass instead, in order. A close of our own (stop, disconnect,
// deletion) is handled at once, as the commands that cause it expect.
struct PeerCloses
{
    std::deque<std::shared_ptr<Connection>> waiting;
    bool scheduled = false;
};

void ScheduleCloses(Workbench &wb, QObject *context, const std::shared_ptr<PeerCloses> &closes);

void HandleCloses(Workbench &wb, QObject *context, const std::shared_ptr<PeerCloses> &closes)
{
    closes->scheduled = false;
    QElapsedTimer clock;
    clock.start();
    while (!closes->waiting.empty()) {
        const std::shared_ptr<Connection> c = closes->waiting.front();
        closes->waiting.pop_front();
        if (!closes->waiting.empty())
            ScheduleCloses(wb, context, closes);
        // A script error leaves here; the rest follow in the next pass.
        ClientDisconnected(wb, *c);
        if (clock.elapsed() >= PassBudgetMs)
            break;
    }
}

void ScheduleCloses(Workbench &wb, QObject *context, const std::shared_ptr<PeerCloses> &closes)
{
    RunLater(closes->scheduled, context, 0, [&wb, context, closes] { HandleCloses(wb, context, closes); });
}

void Disconnected(Workbench &wb, const std::shared_ptr<Connection> &c, const std::shared_ptr<PeerCloses> &closes)
{
    QTcpServer *listener = ServerOf(c->server);
    if (!c->socket || c->socket->error() != QAbstractSocket::RemoteHostClosedError || !listener) {
        ClientDisconnected(wb, *c);
        return;
    }
    // The socket stays with its server until its close is handled: deleted
    // with the server meanwhile, it has nothing left to tell anyone.
    closes->waiting.push_back(c);
    ScheduleCloses(wb, listener, closes);
}

void AttachConnection(Workbench &wb, const std::shared_ptr<Connection> &c, const std::shared_ptr<PeerCloses> &closes)
{
    QTcpSocket *socket = c->socket;
    socket->setReadBufferSize(ReadChunkBytes);
    // Replies go out as they are handed over: a request/reply conversation
    // must not wait for Nagle's algorithm.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(socket, &QTcpSocket::readyRead, &wb, [&wb, c] { ReadAll(wb, c); });
    QObject::connect(socket, &QTcpSocket::disconnected, &wb,
                     guard([&wb, c, closes] { Disconnected(wb, c, closes); }));
    QObject::connect(socket, &QTcpSocket::errorOccurred, &wb,
                     guard([c](QAbstractSocket::SocketError error) { ClientError(*c, error); }));
}

// A connection taken from the server and waiting to be set up, with its
// addresses as they were when it was taken (a socket whose peer has closed
// meanwhile has forgotten them).
struct Taken
{
    QPointer<QTcpSocket> socket;
    QString peerAddress;
    int peerPort = 0;
    int localPort = 0;
};

// The connections a server has taken and not yet set up.
struct TakenQueue
{
    std::shared_ptr<PeerCloses> closes = std::make_shared<PeerCloses>();
    std::deque<Taken> waiting;
    bool scheduled = false;
    QElapsedTimer sincePresented;   // the last presentation of a burst
    bool presentationScheduled = false;
};

// A script error of the setup is handed back in failure, after the setup is
// complete.
std::shared_ptr<Connection> AcceptOne(Workbench &wb, const QPointer<TMySocket> &server, const Taken &taken,
                                      const std::shared_ptr<PeerCloses> &closes, std::exception_ptr &failure)
{
    QTcpSocket *socket = taken.socket;
    auto c = std::make_shared<Connection>();
    c->socket = socket;
    c->server = server;
    c->peerAddress = taken.peerAddress;
    c->peerPort = taken.peerPort;
    c->localPort = taken.localPort;
    c->number = NextConnectionNumber();

    auto owned = std::make_unique<TMySocket>();
    TMySocket *r = owned.get();
    r->created = CreationTimeText();
    r->kind = Kind::TcpServerClient;
    r->component = socket;
    c->record = r;
    AttachConnection(wb, c, closes);

    if (server->window)
        server->window->RefreshStatus();
    wb.AddNode(server->node, c->peerAddress + u'[' + QString::number(c->peerPort) + u']', r,
               ImgConnected);
    TFrmData *window = wb.CreateDataWindow(r);
    window->setName((server->window ? server->window->name() : QString()) + u'_'
                    + QString::number(c->number));
    r->state = 1;

    // The record is owned here until it is registered, so a failing script
    // must not drop it: the connection is completed and registered first,
    // then the error is reported.
    RunKeepingFirstError(failure, [&] {
        wb.ScriptEvent(r, QStringLiteral("OnConnect"), c->peerAddress, c->number);
    });

    if (server && server->window && r->window)
        r->window->setHexMode(server->window->hexMode());
    r->remotePort = c->peerPort;
    r->remoteHost = c->peerAddress;
    r->localPort = c->localPort;
    if (r->window)
        r->window->RefreshStatus();
    wb.Register(std::move(owned));
    if (!failure)
        RunKeepingFirstError(failure, [&] { wb.workspace().AcceptHook(r); });
    return c;
}

void ScheduleSetUp(Workbench &wb, const QPointer<TMySocket> &server, const std::shared_ptr<TakenQueue> &queue);

// Sets up the first waiting connection.
void SetUpOne(Workbench &wb, const QPointer<TMySocket> &server, const std::shared_ptr<TakenQueue> &queue)
{
    const Taken taken = queue->waiting.front();
    queue->waiting.pop_front();
    QTcpSocket *socket = taken.socket;
    if (!socket)
        return;
    QTcpServer *listener = ServerOf(server);
    if (!listener || !listener->isListening()) {
        // The server stopped before this connection's turn.
        socket->abort();
        socket->deleteLater();
        return;
    }
    std::exception_ptr failure;
    const std::shared_ptr<Connection> c = AcceptOne(wb, server, taken, queue->closes, failure);
    // What came before the connection was set up, down to the peer's close,
    // was kept by the socket and has not been signalled to anyone.
    if (c->record && c->socket && c->socket->bytesAvailable() > 0)
        ReadAll(wb, c);
    if (c->record && c->socket && c->socket->state() == QAbstractSocket::UnconnectedState && !c->disposePending)
        Guarded([&] { ClientDisconnected(wb, *c); });
    if (failure)
        std::rethrow_exception(failure);
}

// Presents what the last batches left pending, PresentEveryMs after the
// last presentation.
void SchedulePresentation(Workbench &wb, QTcpServer *listener, const std::shared_ptr<TakenQueue> &queue)
{
    const qint64 wait = queue->sincePresented.isValid()
        ? qMax<qint64>(0, PresentEveryMs - queue->sincePresented.elapsed())
        : 0;
    RunLater(queue->presentationScheduled, listener, int(wait), [&wb, queue] {
        queue->presentationScheduled = false;
        queue->sincePresented.start();
        PresentationBatch present(wb);
    });
}

// Sets up waiting connections, in order, for at most PassBudgetMs, and
// schedules the rest for the next pass. They are presented as one batch:
// only the last one's node is selected and its window shown and painted, at
// once after a quiet spell, and during a burst at most every PresentEveryMs.
// An error ends the pass after its connection is complete.
void SetUpNext(Workbench &wb, const QPointer<TMySocket> &server, const std::shared_ptr<TakenQueue> &queue)
{
    queue->scheduled = false;
    if (queue->waiting.empty())
        return;
    QElapsedTimer clock;
    clock.start();
    PresentationBatch batch(wb);
    do {
        if (queue->waiting.size() > 1)
            ScheduleSetUp(wb, server, queue);
        SetUpOne(wb, server, queue);
    } while (!queue->waiting.empty() && clock.elapsed() < PassBudgetMs);
    if (!queue->sincePresented.isValid() || queue->sincePresented.elapsed() >= PresentEveryMs) {
        queue->sincePresented.start();
    } else {
        batch.keepPending();
        SchedulePresentation(wb, ServerOf(server), queue);
    }
}

// Setting a connection up (node, data window, script calls) takes
// milliseconds, and QTcpServer takes a whole backlog in one notification:
// done at once, a burst of connections held every other event back for
// seconds. Connections are taken at once (their sockets keep what arrives)
// and set up a few milliseconds' worth per pass of the event loop, in order.
void ScheduleSetUp(Workbench &wb, const QPointer<TMySocket> &server, const std::shared_ptr<TakenQueue> &queue)
{
    RunLater(queue->scheduled, ServerOf(server), 0, [&wb, server, queue] { SetUpNext(wb, server, queue); });
}

void Accept(Workbench &wb, const QPointer<TMySocket> &server, const std::shared_ptr<TakenQueue> &queue)
{
    QPointer<QTcpServer> listener(ServerOf(server));
    while (listener && listener->hasPendingConnections()) {
        QTcpSocket *socket = listener->nextPendingConnection();
        if (!server || socket->state() != QAbstractSocket::ConnectedState) {
            // Closed before it could be taken (a stop ran in between).
            socket->abort();
            socket->deleteLater();
            continue;
        }
        queue->waiting.push_back({socket, DottedPeer(socket), socket->peerPort(), socket->localPort()});
    }
    ScheduleSetUp(wb, server, queue);
}

} // namespace

TMySocket *Create(Workbench &wb, int port, QTreeWidgetItem *root)
{
    auto owned = std::make_unique<TMySocket>();
    TMySocket *r = owned.get();
    r->kind = Kind::TcpServer;
    auto *server = new QTcpServer(&wb);
    r->component = server;
    r->localPort = port;
    r->localAddress = LocalAddress();
    r->created = CreationTimeText();

    const QPointer<TMySocket> record(r);
    auto queue = std::make_shared<TakenQueue>();
    QObject::connect(server, &QTcpServer::newConnection, &wb,
                     guard([&wb, record, queue] { Accept(wb, record, queue); }));
    // Errors of the listening socket (acceptError) are deliberately silent.

    wb.AddNode(root, r->localAddress + u'[' + QString::number(port) + u']', r, ImgNotListening);
    if (Listen(r)) {
        r->state = 1;
        wb.SetStateImage(r, ImgListening);
    } else {
        UiSeam::showMessage(wb.mainWindow(),
                            QCoreApplication::translate("TcpServerEndpoint", "该端口已被占用,监听未启动!"));
    }

    TFrmData *window = wb.CreateDataWindow(r);
    window->RefreshStatus();
    wb.Register(std::move(owned));
    return r;
}

void StartListening(Workbench &wb, TMySocket *server)
{
    if (!server)
        return;
    if (Listen(server)) {
        wb.SetStateImage(server, ImgListening);
        server->state = 1;
    } else {
        UiSeam::showMessage(wb.mainWindow(),
                            QCoreApplication::translate("TcpServerEndpoint", "Socket端口已经被占用!"));
    }
    if (server->window)
        server->window->RefreshStatus();
}

void StopListening(Workbench &wb, TMySocket *server)
{
    QPointer<TMySocket> alive(server);
    std::exception_ptr failure;
    {
        // A snapshot: closing one connection removes it from the server's
        // list, and every one of them must be closed.
        QList<QPointer<QTcpSocket>> held;
        for (QTcpSocket *s : HeldConnections(ServerOf(server)))
            held << s;
        for (const QPointer<QTcpSocket> &s : held) {
            if (s)
                RunKeepingFirstError(failure, [&] { s->close(); });
        }
    }
    if (alive) {
        if (QTcpServer *listener = ServerOf(alive))
            listener->close();
        alive->state = 0;
        if (alive->window)
            alive->window->RefreshStatus();
        wb.SetStateImage(alive, ImgNotListening);
    }
    if (failure)
        std::rethrow_exception(failure);
}

int LiveConnections(TMySocket *server)
{
    return int(HeldConnections(ServerOf(server)).size());
}

void CloseConnection(Workbench &, TMySocket *connection)
{
    QTcpSocket *socket = SocketOf(connection);
    if (!socket)
        return;
    // As for a client: hand the kernel what it takes now, then close at once,
    // so OnDisConnect comes from inside this call while the record exists
    // (a graceful close waits for a slow reader, possibly for ever, and a
    // deletion would then lose the OnDisConnect).
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->flush();
    socket->abort();
}

} // namespace TcpServerEndpoint
