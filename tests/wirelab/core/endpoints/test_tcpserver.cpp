// The TCP server endpoint against real clients on 127.0.0.1: listening and
// its failures, accepted connections with their names, states and script
// events, bursts, stop, disconnect and deletion.
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpconnectionendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"

#include <QHostAddress>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The accepted connection whose peer is the local port peerPort.
TcpConnectionEndpoint *ConnectionOf(ScriptedCore &f, int peerPort)
{
    if (peerPort == 0)
        return nullptr;
    for (int i = 0; i < f.registry().count(); ++i) {
        Endpoint *r = f.registry().at(i);
        if (r->kind() == EndpointKind::TcpConnection && r->remotePort() == peerPort)
            return static_cast<TcpConnectionEndpoint *>(r);
    }
    return nullptr;
}

// A client connected to port whose connection the server has set up.
struct Client
{
    std::unique_ptr<QTcpSocket> socket;
    TcpConnectionEndpoint *record = nullptr;
};

Client Connect(ScriptedCore &f, int port)
{
    Client c;
    c.socket = std::make_unique<QTcpSocket>();
    c.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
    WaitFor([&] {
        c.record = ConnectionOf(f, c.socket->localPort());
        return c.record != nullptr;
    });
    return c;
}

bool Listening(int port)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
    return probe.waitForConnected(2000);
}

// The events the script heard about one endpoint, in order, repeats merged.
QStringList EventsOf(ScriptedCore &f, const QString &name)
{
    QStringList order;
    for (const QString &c : f.calls()) {
        if (c.section(u'|', 1, 1) == name && (order.isEmpty() || order.last() != c.section(u'|', 0, 0)))
            order << c.section(u'|', 0, 0);
    }
    return order;
}

const QStringList ConnectReadClose {QStringLiteral("OnConnect"),
                                                   QStringLiteral("OnRead"), QStringLiteral("OnDisConnect")};

TEST(TcpServer, ListensAndAcceptsEachClientAsItsOwnEndpoint)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(f.messages.texts.isEmpty());
    EXPECT_TRUE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::Listening);
    EXPECT_EQ(server->caption(), server->localAddress() + u'[' + QString::number(port) + u']');

    Client a = Connect(f, port);
    Client b = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    ASSERT_NE(b.record, nullptr);
    ASSERT_NE(a.record, b.record);

    const QStringList connects = f.callsOf(QStringLiteral("OnConnect"));
    ASSERT_EQ(connects.size(), 2);
    EXPECT_EQ(f.registry().connectionsOf(server), (QList<Endpoint *> {a.record, b.record}));
    for (const Client *c : {&a, &b}) {
        TcpConnectionEndpoint *r = c->record;
        EXPECT_TRUE(r->isActive());
        EXPECT_EQ(r->server(), server);
        EXPECT_EQ(r->remoteHost(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(r->localPort(), port);
        EXPECT_EQ(r->caption(), QStringLiteral("127.0.0.1[%1]").arg(c->socket->localPort()));
        EXPECT_EQ(r->image(), StateImage::Connected);
        // Named after the server; OnConnect carries the number that ends the
        // name, not the peer port.
        EXPECT_EQ(r->name(), QStringLiteral("数据收发窗口_%1").arg(r->number()));
        EXPECT_EQ(connects[c == &a ? 0 : 1],
                  QStringLiteral("OnConnect|%1|127.0.0.1|%2").arg(r->name()).arg(r->number()));
        EXPECT_EQ(f.endpoint(r->name()), r);
    }
    EXPECT_EQ(server->liveConnections(), 2);
}

TEST(TcpServer, ReceivedBytesGoToTheConnectionAndItsScriptEvent)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);

    a.socket->write(QByteArray("A\0\xff", 3));
    ASSERT_TRUE(WaitFor([&] { return !f.callsOf(QStringLiteral("OnRead")).isEmpty(); }));
    EXPECT_EQ(f.callsOf(QStringLiteral("OnRead")),
                        QStringList {QStringLiteral("OnRead|%1|4100FF|0").arg(a.record->name())});
    EXPECT_EQ(a.record->receivedBytes(), 3);
    EXPECT_TRUE(f.lines(a.record).contains(QStringLiteral("收到数据：{41 00 FF }")))
                << f.lines(a.record).toStdString();
    EXPECT_EQ(server->receivedBytes(), 0);
    EXPECT_TRUE(f.lines(server).isEmpty());
}

TEST(TcpServer, ClientDisconnectMarksTheConnectionAndReportsThePeerPort)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    const int peerPort = a.socket->localPort();
    a.socket->disconnectFromHost();

    ASSERT_TRUE(WaitFor([&] { return !a.record->isActive(); }));
    EXPECT_EQ(a.record->image(), StateImage::Disconnected);
    EXPECT_EQ(f.callsOf(
        QStringLiteral("OnDisConnect")),
        QStringList {QStringLiteral("OnDisConnect|%1|127.0.0.1|%2").arg(a.record->name()).arg(peerPort)});
    // The endpoint stays until the user deletes it.
    EXPECT_TRUE(f.registry().contains(a.record));
    EXPECT_EQ(a.record->remotePort(), peerPort);
}

TEST(TcpServer, ABurstOfShortLivedClientsIsSetUpWithNothingLostAndPresentedOnce)
{
    // Each client connects, sends and closes at once, all before the server
    // has set up the first one. Every connection still gets OnConnect, its
    // bytes and its OnDisConnect, in that order, with the peer it had; the
    // burst is presented as a whole, the newest connection last.
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    server->setHexMode(false);
    QSignalSpy presented(&f.registry(), &EndpointRegistry::presentRequested);
    const int count = 12;

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    QList<int> peerPorts;
    for (int i = 0; i < count; ++i) {
        auto c = std::make_unique<QTcpSocket>();
        c->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        ASSERT_TRUE(c->waitForConnected(2000));
        peerPorts << c->localPort();
        c->write("hi" + QByteArray::number(i));
        c->flush();
        c->disconnectFromHost();
        clients.push_back(std::move(c));
    }
    ASSERT_TRUE(WaitFor([&] { return f.callsOf(QStringLiteral("OnDisConnect")).size() == count; }, 10000))
        << f.callsOf(QStringLiteral("OnDisConnect")).size();
    Endpoint *last = ConnectionOf(f, peerPorts.last());
    ASSERT_NE(last, nullptr);
    // Presented at the latest a moment after the burst.
    EXPECT_TRUE(WaitFor(
        [&] { return !presented.isEmpty() && presented.last().at(0).value<Endpoint *>() == last; }, 2000));
    EXPECT_LT(presented.size(), count);

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        TcpConnectionEndpoint *r = ConnectionOf(f, peerPorts[i]);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->caption(), QStringLiteral("127.0.0.1[%1]").arg(peerPorts[i]));
        EXPECT_FALSE(r->isActive());
        EXPECT_FALSE(r->hexMode());  // the server's mode
        EXPECT_EQ(r->receivedBytes(), 2 + QByteArray::number(i).size());
        EXPECT_TRUE(f.lines(r).endsWith(QStringLiteral(" 收到数据：hi%1").arg(i)))
                    << f.lines(r).toStdString();
        EXPECT_EQ(EventsOf(f, r->name()), ConnectReadClose);
    }
}

TEST(TcpServer, PeersClosingAtOnceAreReportedInOrderOverSeveralPasses)
{
    // When a client program ends, all its connections close at once. Each
    // close is still reported after the bytes that came before it; and the
    // closes are handled over several passes of the event loop, not in one
    // that holds everything else back for all of them.
    // Each close costs the script 2 ms, so 30 take well over one pass's share.
    ScriptedCore f(QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e == 'OnDisConnect') { var t = Date.now(); while (Date.now() - t < 2) {} }\n"
        "}\n"
        "function closesSoFar() {\n"
        "  return calls.filter(function (c) { return c.indexOf('OnDisConnect|') == 0; }).length;\n"
        "}\n"));
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    const int count = 30;
    std::vector<Client> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(Connect(f, port));
        ASSERT_NE(clients.back().record, nullptr) << i;
    }
    for (Client &c : clients) {
        c.socket->write("bye");
        c.socket->flush();
        c.socket->disconnectFromHost();
    }
    QList<int> seenPerPass;
    QTimer pass;
    pass.setInterval(0);
    QObject::connect(&pass, &QTimer::timeout,
                     [&] { seenPerPass << f.js(QStringLiteral("closesSoFar()")).toInt(); });
    pass.start();
    ASSERT_TRUE(WaitFor([&] { return !seenPerPass.isEmpty() && seenPerPass.last() == count; }, 10000));
    pass.stop();
    EXPECT_TRUE(std::any_of(seenPerPass.cbegin(), seenPerPass.cend(), [&](int n) {
        return n > 0 && n < count;
    })) << "all closes were handled in one pass";

    for (Client &c : clients) {
        const QString name = c.record->name();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(EventsOf(f, name), ConnectReadClose);
        EXPECT_EQ(f.callsOf(QStringLiteral("OnRead")).filter(u'|' + name + u'|').last(),
                            QStringLiteral("OnRead|%1|627965|0").arg(name));
        EXPECT_FALSE(c.record->isActive());
    }
}

TEST(TcpServer, NumbersAreNeverReusedSoNamesStayUnique)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        Client c = Connect(f, port);
        ASSERT_NE(c.record, nullptr);
        names << c.record->name();
        c.socket->abort();
        ASSERT_TRUE(WaitFor([&] { return !c.record->isActive(); }));
    }
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 4);
    // The newest connection is the one its name finds.
    Client last = Connect(f, port);
    ASSERT_NE(last.record, nullptr);
    EXPECT_EQ(f.endpoint(last.record->name()), last.record);
}

TEST(TcpServer, StopClosesEveryConnectionOnceAndStartListensAgain)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(f, port);
    Client b = Connect(f, port);
    Client c = Connect(f, port);
    ASSERT_TRUE(a.record && b.record && c.record);

    server->stop();  // "停止监听"

    EXPECT_FALSE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::NotListening);
    for (const Client *cl : {&a, &b, &c}) {
        EXPECT_FALSE(cl->record->isActive());
        EXPECT_EQ(cl->record->image(), StateImage::Disconnected);
        EXPECT_TRUE(WaitFor([&] { return cl->socket->state() == QAbstractSocket::UnconnectedState; }));
    }
    EXPECT_EQ(f.callsOf(QStringLiteral("OnDisConnect")).size(), 3);
    EXPECT_EQ(server->liveConnections(), 0);
    EXPECT_FALSE(Listening(port));
    SpinFor(50);
    EXPECT_EQ(f.callsOf(QStringLiteral("OnDisConnect")).size(), 3);

    server->start();  // "启动监听"
    EXPECT_TRUE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::Listening);
    EXPECT_TRUE(Listening(port));
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(TcpServer, PortInUseLeavesTheServerStoppedUntilALaterStart)
{
    ScriptedCore f;
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::AnyIPv4, 0));
    const int port = other.serverPort();

    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(f.messages.texts, QStringList {QStringLiteral("该端口已被占用,监听未启动!")});
    EXPECT_FALSE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::NotListening);
    EXPECT_TRUE(f.registry().contains(server));

    server->start();
    EXPECT_EQ(f.messages.texts.last(), QStringLiteral("Socket端口已经被占用!"));
    EXPECT_FALSE(server->isActive());

    other.close();
    server->start();
    EXPECT_EQ(f.messages.texts.size(), 2);
    EXPECT_TRUE(server->isActive());
    EXPECT_EQ(server->image(), StateImage::Listening);
    EXPECT_NE(Connect(f, port).record, nullptr);
}

TEST(TcpServer, ServerWithALiveClientIsNotDeleted)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    const int count = f.registry().count();

    f.registry().deleteEndpoint(server);
    EXPECT_TRUE(f.registry().contains(server));
    EXPECT_EQ(f.registry().count(), count);
    EXPECT_TRUE(f.registry().isShown(server));
    EXPECT_TRUE(Listening(port));

    a.socket->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return server->liveConnections() == 0; }));
    QPointer<Endpoint> gone(server);
    QPointer<Endpoint> connection(a.record);
    f.registry().deleteEndpoint(server);
    EXPECT_TRUE(gone.isNull());
    // The connection leaves the display order with its server; it stays
    // registered.
    ASSERT_FALSE(connection.isNull());
    EXPECT_FALSE(f.registry().isShown(connection));
    EXPECT_TRUE(f.registry().contains(connection));
    EXPECT_FALSE(Listening(port));
}

// Output still queued towards a peer that does not read must not hold the
// close back: the script hears DeleteSocket, then OnDisConnect while the
// endpoint still exists.
TEST(TcpServer, DeletingAConnectedConnectionClosesItAfterDeleteSocket)
{
    for (const bool queuedOutput : {false, true}) {
        SCOPED_TRACE(queuedOutput ? "with queued output" : "idle");
        ScriptedCore f;
        const int port = FreeTcpPort();
        ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
        Client a = Connect(f, port);
        ASSERT_NE(a.record, nullptr);
        if (queuedOutput) {
            a.socket->setReadBufferSize(1);  // a reader that takes almost nothing
            QTcpSocket *socket = a.record->socket();
            ASSERT_NE(socket, nullptr);
            socket->write(QByteArray(16 * 1024 * 1024, 'x'));
            SpinFor(50);
            ASSERT_GT(socket->bytesToWrite(), 0);
        }
        const QString name = a.record->name();
        QPointer<Endpoint> record(a.record);
        f.registry().deleteEndpoint(a.record);
        EXPECT_TRUE(record.isNull());
        const QStringList calls = f.calls();
        ASSERT_GE(calls.size(), 3);
        EXPECT_EQ(calls[calls.size() - 2], QStringLiteral("delete|") + name);
        EXPECT_TRUE(calls.last().startsWith(QStringLiteral("OnDisConnect|%1|").arg(name)))
                    << calls.last().toStdString();
        // A peer that reads nothing never gets as far as the close.
        if (!queuedOutput) {
            EXPECT_TRUE(WaitFor([&] { return a.socket->state() == QAbstractSocket::UnconnectedState; }));
        }
    }
}

TEST(TcpServer, StopOnAConnectionClosesIt)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    a.record->stop();  // "断开"
    EXPECT_FALSE(a.record->isActive());
    EXPECT_EQ(a.record->image(), StateImage::Disconnected);
    EXPECT_EQ(f.callsOf(QStringLiteral("OnDisConnect")).size(), 1);
    EXPECT_TRUE(WaitFor([&] { return a.socket->state() == QAbstractSocket::UnconnectedState; }));
}

TEST(TcpServer, HexModeIsInheritedAtAcceptTimeOnly)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->hexMode());  // the default

    server->setHexMode(false);
    Client off = Connect(f, port);
    ASSERT_NE(off.record, nullptr);
    EXPECT_FALSE(off.record->hexMode());

    server->setHexMode(true);
    Client on = Connect(f, port);
    ASSERT_NE(on.record, nullptr);
    EXPECT_TRUE(on.record->hexMode());
    EXPECT_FALSE(off.record->hexMode());
}

TEST(TcpServer, ConnectionErrorsAreNoticesOfTheServer)
{
    ScriptedCore f;
    const int port = FreeTcpPort();
    TcpServerEndpoint *server = TcpServerEndpoint::create(f.registry(), port);
    ASSERT_NE(server, nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    QTcpSocket *accepted = a.record->socket();
    ASSERT_NE(accepted, nullptr);
    QSignalSpy serverNotices(server, &Endpoint::noticed);
    QSignalSpy connectionNotices(a.record, &Endpoint::noticed);

    Q_EMIT accepted->errorOccurred(QAbstractSocket::RemoteHostClosedError);
    EXPECT_TRUE(serverNotices.isEmpty());
    Q_EMIT accepted->errorOccurred(QAbstractSocket::NetworkError);
    ASSERT_EQ(serverNotices.size(), 1);
    const QString notice = serverNotices[0][1].toString();
    EXPECT_TRUE(
        notice.endsWith(QStringLiteral("Client Socket异常,代码=%1").arg(int(QAbstractSocket::NetworkError))))
        << notice.toStdString();
    EXPECT_TRUE(connectionNotices.isEmpty());
    EXPECT_TRUE(f.lines(a.record).isEmpty());
    EXPECT_TRUE(f.messages.texts.isEmpty());
    EXPECT_TRUE(a.record->isActive());
}

TEST(TcpServer, CloseDuringTheReadHandlersBoxReportsEveryByteBeforeTheDisconnect)
{
    // Every OnRead answers with an ALERT, whose box runs a nested event loop.
    ScriptedCore f(QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e == 'OnRead') actions.push({SOCKET: n, TYPE: 'ALERT', TEXT: a});\n"
        "}\n"));
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    QPointer<QObject> accepted(a.record->socket());

    // While the first block's box is open, more bytes and the close arrive.
    bool first = true;
    f.messages.onMessage = [&](const QString &) {
        if (!first)
            return;
        first = false;
        a.socket->write("more");
        a.socket->disconnectFromHost();
        WaitFor([&] { return !a.record->isActive(); });
    };
    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return !a.record->isActive(); }));
    SpinFor(50);

    EXPECT_EQ(a.record->receivedBytes(), 6);
    QStringList order;
    for (const QString &c : f.calls())
        order << c.section(u'|', 0, 0) + u':' + c.section(u'|', 2, 2);
    EXPECT_EQ(
        order,
        (QStringList {QStringLiteral("OnConnect:127.0.0.1"),
            QStringLiteral("OnRead:6869"),
                           QStringLiteral("OnRead:6D6F7265"), QStringLiteral("OnDisConnect:127.0.0.1")}));
    // The socket is freed once its handlers have all returned.
    EXPECT_TRUE(WaitFor([&] { return accepted.isNull(); }));
}

TEST(TcpServer, FailingOnConnectStillLeavesARegisteredConnection)
{
    ScriptedCore f(QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e == 'OnConnect') throw new Error('connect handler broken');\n"
        "}\n"));
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !f.messages.texts.isEmpty(); }));
    EXPECT_TRUE(f.messages.texts.first().contains(QStringLiteral("connect handler broken")));
    EXPECT_EQ(f.endpoint(a.record->name()), a.record);
    EXPECT_EQ(a.record->remoteHost(), QStringLiteral("127.0.0.1"));

    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return a.record->receivedBytes() == 2; }));
    a.socket->disconnectFromHost();
    EXPECT_TRUE(WaitFor([&] { return !a.record->isActive(); }));
}

TEST(TcpServer, BytesArrivingWhileAReadErrorIsShownAreNotLeftBehind)
{
    ScriptedCore f(
        QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e == 'OnRead' && a == '6869') throw new Error('read handler broken');\n"
        "}\n"));
    const int port = FreeTcpPort();
    ASSERT_NE(TcpServerEndpoint::create(f.registry(), port), nullptr);
    Client a = Connect(f, port);
    ASSERT_NE(a.record, nullptr);
    // While the error box is open more bytes come in.
    f.messages.onMessage = [&](const QString &) {
        a.socket->write("more");
        a.socket->flush();
        SpinFor(200);
    };
    a.socket->write("hi");
    ASSERT_TRUE(WaitFor([&] { return a.record->receivedBytes() == 6; }, 2000));
    ASSERT_EQ(f.messages.texts.size(), 1);
    EXPECT_TRUE(f.messages.texts.first().contains(QStringLiteral("read handler broken")));
    EXPECT_EQ(f.callsOf(QStringLiteral("OnRead")).size(), 2);
}

}  // namespace
