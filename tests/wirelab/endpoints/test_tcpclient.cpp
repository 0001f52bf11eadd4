// The TCP client endpoint against a real peer on loopback: connect, receive,
// echo through the script, the ways a connection ends, and the silent failures.
#include "tcpbench.h"

#include "endpoints/endpointnode.h"
#include "seamrecorder.h"

#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QRegularExpression TimePrefix(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 收到数据："));

QString AfterLabel(const QString &line)
{
    return line.mid(line.indexOf(QStringLiteral("收到数据：")) + 5);
}

TEST(TcpClient, IsCreatedDisconnectedAndConnectsOnlyWhenAsked)
{
    TcpBench b;
    const quint16 port = b.listen();
    TMySocket *r = b.client(QStringLiteral("c"), port);
    EXPECT_EQ(r->state, 0);
    EXPECT_EQ(StateImageOf(r->node), ImgDisconnected);
    EXPECT_EQ(r->node->text(0), QStringLiteral("127.0.0.1[%1]").arg(port));
    EXPECT_EQ(r->window->Label6->text(), QStringLiteral("本地端口:0"));
    SpinFor(50);
    EXPECT_FALSE(b.server.hasPendingConnections());

    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    EXPECT_EQ(r->state, 1);
    EXPECT_EQ(StateImageOf(r->node), ImgConnected);
    EXPECT_EQ(r->localPort, peer->peerPort());
    EXPECT_EQ(r->window->Label1->text(), QStringLiteral("已连接"));
    EXPECT_EQ(b.callsOf(QStringLiteral("OnConnect")),
              QStringList{QStringLiteral("c|OnConnect|127.0.0.1|%1").arg(port)});
}

TEST(TcpClient, ReceivedLinesCountersAndOnReadAreExact)
{
    TcpBench b;
    TMySocket *r = b.client(QStringLiteral("c"), b.listen());
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    TFrmData *w = r->window;

    peer->write("AB");
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 2; }));
    QString line = w->Memo2->lastLine();
    EXPECT_TRUE(TimePrefix.match(line).hasMatch()) << line.toStdString();
    EXPECT_EQ(AfterLabel(line), QStringLiteral("AB"));
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：2字节，发:0字节"));

    w->setHexMode(true);
    peer->write("AB");
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 4; }));
    EXPECT_EQ(AfterLabel(w->Memo2->lastLine()), QStringLiteral("{41 42 }AB"));
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：4字节，发:0字节"));

    // Zero bytes, line breaks and invalid UTF-8 neither cut the line nor
    // change what the script gets.
    w->setHexMode(false);
    peer->write(QByteArray("\x00\xFF" "A\r\nB", 6));
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 10; }));
    EXPECT_EQ(AfterLabel(w->Memo2->lastLine()), QStringLiteral("␀\uFFFDA␍␊B"));
    EXPECT_EQ(b.callsOf(QStringLiteral("OnRead")),
              (QStringList{QStringLiteral("c|OnRead|4142|0"), QStringLiteral("c|OnRead|4142|0"),
                           QStringLiteral("c|OnRead|00FF410D0A42|0")}));
}

TEST(TcpClient, EchoesThroughASendActionAndDisconnectsOnce)
{
    TcpBench b;
    b.wb().EvalScript(QStringLiteral(
        "onEvent = function(n, e, a, b) {\n"
        "  if (e != 'OnRead') return;\n"
        "  if (a == '71756974') actions.push({TYPE: 'DISCONNECT', SOCKET: n});\n"
        "  else actions.push({TYPE: 'SEND', SOCKET: n, DATA: a});\n"
        "};"));
    const quint16 port = b.listen();
    TMySocket *r = b.client(QStringLiteral("echo"), port);
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);

    const QByteArray payload("\x01hello\x00\xFE", 8);
    peer->write(payload);
    EXPECT_EQ(ReadExactly(peer, payload.size()), payload);
    // The SEND action leaves the counters alone.
    EXPECT_EQ(r->window->SentCount, 0);

    peer->write("quit");
    ASSERT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    SpinFor(100);
    EXPECT_EQ(b.callsOf(QStringLiteral("OnDisConnect")),
              QStringList{QStringLiteral("echo|OnDisConnect|127.0.0.1|%1").arg(port)});
    EXPECT_EQ(r->state, 0);
    EXPECT_EQ(StateImageOf(r->node), ImgDisconnected);
}

TEST(TcpClient, StopButtonGivesExactlyOneDisconnectEvent)
{
    TcpBench b;
    const quint16 port = b.listen();
    TMySocket *r = b.client(QStringLiteral("c"), port);
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    r->window->Button_6MouseUp();
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    SpinFor(100);
    EXPECT_EQ(b.callsOf(QStringLiteral("OnDisConnect")),
              QStringList{QStringLiteral("c|OnDisConnect|127.0.0.1|%1").arg(port)});
    EXPECT_EQ(r->state, 0);
    EXPECT_FALSE(r->window->Button_6->isEnabled());
    EXPECT_TRUE(r->window->Button_5->isEnabled());
}

TEST(TcpClient, PeerCloseIsReportedAndTheClientConnectsAgain)
{
    TcpBench b;
    const quint16 port = b.listen();
    TMySocket *r = b.client(QStringLiteral("c"), port);
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    peer->write("bye");
    peer->disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return b.callsOf(QStringLiteral("OnDisConnect")).size() == 1; }));
    // The data that came before the close is delivered before it is told.
    EXPECT_EQ(b.calls().mid(1), (QStringList{QStringLiteral("c|OnRead|627965|0"),
                                             QStringLiteral("c|OnDisConnect|127.0.0.1|%1").arg(port)}));
    EXPECT_EQ(r->state, 0);
    EXPECT_EQ(StateImageOf(r->node), ImgDisconnected);

    QTcpSocket *again = b.connectClient(r);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(r->state, 1);
    EXPECT_EQ(b.callsOf(QStringLiteral("OnConnect")).size(), 2);
    again->write("x");
    EXPECT_TRUE(WaitFor([&] { return b.callsOf(QStringLiteral("OnRead")).size() == 2; }));
}

TEST(TcpClient, FailedConnectsAreSilent)
{
    TcpBench b;
    MessageRecorder boxes;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    TMySocket *refused = b.client(QStringLiteral("refused"), closedPort);
    refused->window->Button_5->click();
    // A lookup that fails (only loopback exists here) behaves the same.
    TMySocket *unknown = b.client(QStringLiteral("unknown"), 7, QStringLiteral("no-such-host.invalid"));
    unknown->window->Button_5->click();
    QTcpSocket *s1 = qobject_cast<QTcpSocket *>(refused->component.data());
    QTcpSocket *s2 = qobject_cast<QTcpSocket *>(unknown->component.data());
    EXPECT_TRUE(WaitFor([&] {
        return s1->state() == QAbstractSocket::UnconnectedState
            && s2->state() == QAbstractSocket::UnconnectedState;
    }, 10000));
    SpinFor(100);
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(u',').toStdString();
    EXPECT_TRUE(b.calls().isEmpty()) << b.calls().join(u',').toStdString();
    for (TMySocket *r : {refused, unknown}) {
        EXPECT_EQ(r->state, 0);
        EXPECT_EQ(StateImageOf(r->node), ImgDisconnected);
    }

    // Both can try again: the refused one once something listens, the named
    // one with a name that resolves.
    ASSERT_TRUE(b.server.listen(QHostAddress::LocalHost, closedPort));
    ASSERT_NE(b.connectClient(refused), nullptr);
    TMySocket *named = b.client(QStringLiteral("named"), closedPort, QStringLiteral("localhost"));
    ASSERT_NE(b.connectClient(named), nullptr);
    EXPECT_EQ(b.callsOf(QStringLiteral("OnConnect")),
              (QStringList{QStringLiteral("refused|OnConnect|127.0.0.1|%1").arg(closedPort),
                           QStringLiteral("named|OnConnect|127.0.0.1|%1").arg(closedPort)}));
}

TEST(TcpClient, AConnectThatCannotStartShowsTheFailureBox)
{
    TcpBench b;
    MessageRecorder boxes;
    TMySocket *r = b.client(QStringLiteral("c"), 7, QString());
    r->window->Button_5->click();
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("连接失败!")});
    EXPECT_EQ(r->state, 0);
}

TEST(TcpClient, DeletingAConnectedClientTellsTheScriptInOrder)
{
    TcpBench b;
    const quint16 port = b.listen();
    TMySocket *r = b.client(QStringLiteral("c"), port);
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    b.wb().DeleteSelected();
    EXPECT_EQ(b.calls().mid(1), (QStringList{QStringLiteral("c|DeleteSocket"),
                                             QStringLiteral("c|OnDisConnect|127.0.0.1|%1").arg(port)}));
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

TEST(TcpClient, DeletedWhileItsReadHandlerWaitsTheSocketOutlivesTheHandler)
{
    TcpBench b;
    MessageRecorder boxes;
    b.wb().EvalScript(QStringLiteral(
        "onEvent = function(n, e, a, b) {\n"
        "  if (e == 'OnRead') actions.push({TYPE: 'ALERT', SOCKET: n, TEXT: 'wait'});\n"
        "};"));
    TMySocket *r = b.client(QStringLiteral("c"), b.listen());
    QTcpSocket *peer = b.connectClient(r);
    ASSERT_NE(peer, nullptr);
    QPointer<QObject> socket(r->component);
    QPointer<TMySocket> record(r);
    bool aliveInside = false;
    // The endpoint is deleted while its read handler waits in a nested event
    // loop; freeing the socket there would pull it from under its own signal.
    // The "删除" click is delivered inside that loop.
    boxes.onMessage = [&](const QString &) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, [&] { b.form().Button2->click(); });
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        aliveInside = !socket.isNull();
    };
    peer->write("x");
    ASSERT_TRUE(WaitFor([&] { return record.isNull(); }));
    EXPECT_TRUE(aliveInside);
    EXPECT_TRUE(WaitFor([&] { return socket.isNull(); }));
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
}

// The first read's handler opens a box (reaction: the script's answer to
// the bytes "first"); while the box is open "second" arrives. Both reads must
// reach the script, in order, without waiting for further bytes. Returns the
// box texts.
QStringList SecondBytesWhileABoxIsOpen(const QString &reaction)
{
    TcpBench b;
    MessageRecorder boxes;
    b.wb().EvalScript(QStringLiteral(
        "onEvent = function(n, e, a, b) {\n"
        "  if (e == 'OnRead' && a == '6669727374') %1;\n"
        "};").arg(reaction));
    TMySocket *r = b.client(QStringLiteral("c"), b.listen());
    QTcpSocket *peer = b.connectClient(r);
    EXPECT_NE(peer, nullptr);
    if (!peer)
        return {};
    boxes.onMessage = [&](const QString &) {
        peer->write("second");
        peer->flush();
        SpinFor(200);
    };
    peer->write("first");
    EXPECT_TRUE(WaitFor([&] { return r->window->RecvCount == 11; }, 2000));
    EXPECT_EQ(b.callsOf(QStringLiteral("OnRead")),
              (QStringList{QStringLiteral("c|OnRead|6669727374|0"),
                           QStringLiteral("c|OnRead|7365636F6E64|0")}));
    return boxes.texts;
}

TEST(TcpClient, BytesArrivingWhileTheScriptWaitsAreNotLeftBehind)
{
    SecondBytesWhileABoxIsOpen(
        QStringLiteral("actions.push({TYPE: 'ALERT', SOCKET: n, TEXT: 'wait'})"));
}

TEST(TcpClient, BytesArrivingWhileAFailedReadIsReportedAreNotLeftBehind)
{
    const QStringList boxes = SecondBytesWhileABoxIsOpen(
        QStringLiteral("throw new Error('broken handler')"));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().contains(QStringLiteral("broken handler")));
}

} // namespace
