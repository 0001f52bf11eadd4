// The TCP client endpoint against a real peer on loopback: connect, receive,
// echo through the script, the ways a connection ends, and the silent failures.
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QRegularExpression TimePrefix(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 收到数据："));

QString AfterLabel(const QString &line) { return line.mid(line.indexOf(QStringLiteral("收到数据：")) + 5); }

QString LastLine(ScriptedCore &f, const Endpoint *r)
{
    const QStringList lines = f.lineList(r);
    return lines.isEmpty() ? QString() : lines.last();
}

int Listen(QTcpServer &server, int port = 0)
{
    return server.listen(QHostAddress::LocalHost, quint16(port)) ? server.serverPort() : 0;
}

// "连接" on r; the peer socket the server accepted once the script heard
// OnConnect, or nullptr.
QTcpSocket *Connect(ScriptedCore &f, QTcpServer &server, Endpoint *r)
{
    const int before = f.callsOf(QStringLiteral("OnConnect")).size();
    r->start();
    if (!WaitFor([&] { return server.hasPendingConnections(); }))
        return nullptr;
    QTcpSocket *peer = server.nextPendingConnection();
    WaitFor([&] { return f.callsOf(QStringLiteral("OnConnect")).size() > before; });
    return peer;
}

bool Closed(QTcpSocket *peer)
{
    return WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; });
}

TEST(TcpClient, IsCreatedDisconnectedAndConnectsOnlyWhenAsked)
{
    ScriptedCore f;
    QTcpServer server;
    const int port = Listen(server);
    Endpoint *r = f.tcpClient(QStringLiteral("c"), port);
    EXPECT_EQ(r->kind(), EndpointKind::TcpClient);
    EXPECT_FALSE(r->isActive());
    EXPECT_EQ(r->image(), StateImage::Disconnected);
    EXPECT_EQ(r->caption(), QStringLiteral("127.0.0.1[%1]").arg(port));
    EXPECT_EQ(r->localPort(), 0);
    SpinFor(50);
    EXPECT_FALSE(server.hasPendingConnections());

    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);
    EXPECT_TRUE(r->isActive());
    EXPECT_EQ(r->image(), StateImage::Connected);
    EXPECT_EQ(r->localPort(), peer->peerPort());
    EXPECT_EQ(f.callsOf(QStringLiteral("OnConnect")),
                        QStringList {QStringLiteral("OnConnect|c|127.0.0.1|%1").arg(port)});
}

TEST(TcpClient, ReceivedLinesCountersAndOnReadAreExact)
{
    ScriptedCore f;
    QTcpServer server;
    Endpoint *r = f.tcpClient(QStringLiteral("c"), Listen(server));
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);

    peer->write("AB");
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 2; }));
    const QString line = LastLine(f, r);
    EXPECT_TRUE(TimePrefix.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(AfterLabel(line), QStringLiteral("AB"));
    EXPECT_EQ(r->sentBytes(), 0);

    r->setHexMode(true);
    peer->write("AB");
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 4; }));
    EXPECT_EQ(AfterLabel(LastLine(f, r)), QStringLiteral("{41 42 }AB"));

    // Zero bytes, line breaks and invalid UTF-8 neither cut the line nor
    // change what the script gets.
    r->setHexMode(false);
    peer->write(QByteArray("\x00\xFF"
                           "A\r\nB",
                           6));
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 10; }));
    EXPECT_EQ(AfterLabel(LastLine(f, r)), QStringLiteral("␀\uFFFDA␍␊B"));
    EXPECT_EQ(f.lineList(r).size(), 3);
    EXPECT_EQ(f.callsOf(QStringLiteral("OnRead")),
                        (QStringList {QStringLiteral("OnRead|c|4142|0"),
                            QStringLiteral("OnRead|c|4142|0"), QStringLiteral("OnRead|c|00FF410D0A42|0")}));
}

TEST(TcpClient, EchoesThroughASendActionAndDisconnectsOnce)
{
    ScriptedCore f(QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e != 'OnRead') return;\n"
        "  if (a == '71756974') actions.push({TYPE: 'DISCONNECT', SOCKET: n});\n"
        "  else actions.push({TYPE: 'SEND', SOCKET: n, DATA: a});\n"
        "}\n"));
    QTcpServer server;
    const int port = Listen(server);
    Endpoint *r = f.tcpClient(QStringLiteral("echo"), port);
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);

    const QByteArray payload("\x01hello\x00\xFE", 8);
    peer->write(payload);
    QByteArray got;
    WaitFor([&] {
        got += peer->readAll();
        return got.size() >= payload.size();
    });
    EXPECT_EQ(got, payload);
    // The SEND action leaves the counters alone.
    EXPECT_EQ(r->sentBytes(), 0);

    peer->write("quit");
    ASSERT_TRUE(Closed(peer));
    SpinFor(100);
    EXPECT_EQ(f.callsOf(QStringLiteral("OnDisConnect")),
                        QStringList {QStringLiteral("OnDisConnect|echo|127.0.0.1|%1").arg(port)});
    EXPECT_FALSE(r->isActive());
    EXPECT_EQ(r->image(), StateImage::Disconnected);
}

TEST(TcpClient, StopGivesExactlyOneDisconnectEvent)
{
    ScriptedCore f;
    QTcpServer server;
    const int port = Listen(server);
    Endpoint *r = f.tcpClient(QStringLiteral("c"), port);
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);
    r->stop();
    EXPECT_TRUE(Closed(peer));
    SpinFor(100);
    EXPECT_EQ(f.callsOf(QStringLiteral("OnDisConnect")),
                        QStringList {QStringLiteral("OnDisConnect|c|127.0.0.1|%1").arg(port)});
    EXPECT_FALSE(r->isActive());
}

TEST(TcpClient, PeerCloseIsReportedAndTheClientConnectsAgain)
{
    ScriptedCore f;
    QTcpServer server;
    const int port = Listen(server);
    Endpoint *r = f.tcpClient(QStringLiteral("c"), port);
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);
    peer->write("bye");
    peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return f.callsOf(QStringLiteral("OnDisConnect")).size() == 1; }));
    // The data that came before the close is delivered before it is told.
    EXPECT_EQ(f.calls().mid(1),
              (QStringList {QStringLiteral("OnRead|c|627965|0"),
                                           QStringLiteral("OnDisConnect|c|127.0.0.1|%1").arg(port)}));
    EXPECT_FALSE(r->isActive());
    EXPECT_EQ(r->image(), StateImage::Disconnected);

    QTcpSocket *again = Connect(f, server, r);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(r->isActive());
    EXPECT_EQ(f.callsOf(QStringLiteral("OnConnect")).size(), 2);
    again->write("x");
    EXPECT_TRUE(WaitFor([&] { return f.callsOf(QStringLiteral("OnRead")).size() == 2; }));
}

TEST(TcpClient, FailedConnectsAreSilent)
{
    ScriptedCore f;
    QTcpServer probe;
    const int closedPort = Listen(probe);
    ASSERT_NE(closedPort, 0);
    probe.close();

    auto *refused = f.tcpClient(QStringLiteral("refused"), closedPort);
    refused->start();
    // A lookup that fails (only loopback exists here) behaves the same.
    auto *unknown = f.tcpClient(QStringLiteral("unknown"), 7, QStringLiteral("no-such-host.invalid"));
    unknown->start();
    EXPECT_TRUE(WaitFor(
        [&] {
            return refused->socket()->state() == QAbstractSocket::UnconnectedState
                && unknown->socket()->state() == QAbstractSocket::UnconnectedState;
        },
        10000));
    SpinFor(100);
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u',').toStdString();
    EXPECT_TRUE(f.calls().isEmpty()) << f.calls().join(u',').toStdString();
    for (Endpoint *r : {static_cast<Endpoint *>(refused), static_cast<Endpoint *>(unknown)}) {
        EXPECT_FALSE(r->isActive());
        EXPECT_EQ(r->image(), StateImage::Disconnected);
    }

    // Both can try again: the refused one once something listens, the named
    // one with a name that resolves.
    QTcpServer server;
    ASSERT_EQ(Listen(server, closedPort), closedPort);
    ASSERT_NE(Connect(f, server, refused), nullptr);
    Endpoint *named = f.tcpClient(QStringLiteral("named"), closedPort, QStringLiteral("localhost"));
    ASSERT_NE(Connect(f, server, named), nullptr);
    EXPECT_EQ(f.callsOf(
        QStringLiteral("OnConnect")),
        (QStringList {QStringLiteral("OnConnect|refused|127.0.0.1|%1").arg(closedPort),
                                     QStringLiteral("OnConnect|named|127.0.0.1|%1").arg(closedPort)}));
}

TEST(TcpClient, FailedConnectsAreNoticedAndToldToOnSocketError)
{
    ScriptedCore f(QStringLiteral(
        "function OnSocketError(n, text) {\n"
        "  calls.push('error|' + n + '|' + (text ? 'reason' : ''));\n"
        "  actions.push({TYPE: 'DISPLAY', SOCKET: n, DATA: 'handled'});\n"
        "}\n"));
    QTcpServer probe;
    const int closedPort = Listen(probe);
    probe.close();
    for (const QString &name : {QStringLiteral("refused"), QStringLiteral("unknown")}) {
        SCOPED_TRACE(name.toStdString());
        const QString host = name
            == QStringLiteral("refused") ? QStringLiteral("127.0.0.1")
                                         : QStringLiteral("no-such-host.invalid");
        f.clearCalls();
        auto *client = f.tcpClient(name, closedPort, host);
        QSignalSpy notices(client, &Endpoint::noticed);
        client->start();
        ASSERT_TRUE(WaitFor([&] { return !f.callsOf(QStringLiteral("error")).isEmpty(); }, 10000));
        SpinFor(50);
        EXPECT_EQ(f.calls(), QStringList {QStringLiteral("error|%1|reason").arg(name)});
        ASSERT_EQ(notices.size(), 1);
        EXPECT_TRUE(notices[0][1].toString().startsWith(QStringLiteral("连接失败：")))
                    << notices[0][1].toString().toStdString();
        EXPECT_EQ(f.lineList(client), QStringList {QStringLiteral("handled")});
        EXPECT_FALSE(client->isActive());
        EXPECT_TRUE(f.messages.texts.isEmpty());
    }
}

TEST(TcpClient, AConnectThatCannotStartShowsTheFailureBox)
{
    ScriptedCore f;
    Endpoint *r = f.tcpClient(QStringLiteral("c"), 7, QString());
    r->start();
    EXPECT_EQ(f.messages.texts, QStringList {QStringLiteral("连接失败!")});
    EXPECT_FALSE(r->isActive());
}

TEST(TcpClient, DeletingAConnectedClientTellsTheScriptInOrder)
{
    ScriptedCore f;
    QTcpServer server;
    const int port = Listen(server);
    Endpoint *r = f.tcpClient(QStringLiteral("c"), port);
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);
    f.registry().deleteEndpoint(r);
    EXPECT_EQ(f.registry().count(), 0);
    EXPECT_EQ(
        f.calls().mid(1),
        (QStringList {QStringLiteral("delete|c"), QStringLiteral("OnDisConnect|c|127.0.0.1|%1").arg(port)}));
    EXPECT_TRUE(Closed(peer));
}

TEST(TcpClient, DeletedWhileItsReadHandlerWaitsTheSocketOutlivesTheHandler)
{
    ScriptedCore f(
        QStringLiteral(
        "function onSocket(n, e, a, b) {\n"
        "  if (e == 'OnRead') actions.push({TYPE: 'ALERT', SOCKET: n, TEXT: 'wait'});\n"
        "}\n"));
    QTcpServer server;
    auto *r = f.tcpClient(QStringLiteral("c"), Listen(server));
    QTcpSocket *peer = Connect(f, server, r);
    ASSERT_NE(peer, nullptr);
    QPointer<QObject> socket(r->socket());
    QPointer<Endpoint> record(r);
    bool aliveInside = false;
    // The endpoint is deleted while its read handler waits in a nested event
    // loop; freeing the socket there would pull it from under its own signal.
    f.messages.onMessage = [&](const QString &) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, [&] { f.registry().deleteEndpoint(record); });
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        aliveInside = !socket.isNull();
    };
    peer->write("x");
    ASSERT_TRUE(WaitFor([&] { return record.isNull(); }));
    EXPECT_TRUE(aliveInside);
    EXPECT_TRUE(WaitFor([&] { return socket.isNull(); }));
    EXPECT_TRUE(Closed(peer));
}

// The first read's handler opens a box (the script's answer to the bytes
// "first"); while the box is open "second" arrives. Both reads must reach
// the script, in order, without waiting for further bytes.
TEST(TcpClient, BytesArrivingWhileABoxIsOpenAreNotLeftBehind)
{
    struct Case
    {
        const char *reaction;
        const char *box;  // what the box says
    };
    const Case cases[] = {
        {"actions.push({TYPE: 'ALERT', SOCKET: n, TEXT: 'wait'})", "wait"},
        {"throw new Error('broken handler')", "broken handler"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.reaction);
        ScriptedCore f(QStringLiteral("function onSocket(n, e, a, b) {\n"
                                      "  if (e == 'OnRead' && a == '6669727374') %1;\n"
                                      "}\n")
                                          .arg(QLatin1String(c.reaction)));
        QTcpServer server;
        Endpoint *r = f.tcpClient(QStringLiteral("c"), Listen(server));
        QTcpSocket *peer = Connect(f, server, r);
        ASSERT_NE(peer, nullptr);
        f.messages.onMessage = [&](const QString &) {
            peer->write("second");
            peer->flush();
            SpinFor(200);
        };
        peer->write("first");
        EXPECT_TRUE(WaitFor([&] { return r->receivedBytes() == 11; }, 2000));
        EXPECT_EQ(f.callsOf(QStringLiteral("OnRead")),
                            (QStringList {QStringLiteral("OnRead|c|6669727374|0"),
                                                         QStringLiteral("OnRead|c|7365636F6E64|0")}));
        ASSERT_EQ(f.messages.texts.size(), 1);
        EXPECT_TRUE(f.messages.texts.first().contains(QLatin1String(c.box)));
    }
}

}  // namespace
