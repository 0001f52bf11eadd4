// Faults end to end on loopback: peers that reset in the middle of a large
// send, many connect/disconnect cycles against a server, a UDP flood,
// hostile json2str results, a script that throws in every kind of call or
// never returns, and deleting a connection whose disconnect went elsewhere.
// WIRELAB_SOAK=1 selects the long counts.
#include "../endpoints/scriptedform.h"
#include "../endpoints/tcpbench.h"
#include "../script/scriptfixture.h"
#include "faultsupport.h"

#include "datawindow/logpane.h"
#include "datawindow/tcpsend.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/tcpclientendpoint.h"
#include "endpoints/tcpserverendpoint.h"
#include "endpoints/tmysocket.h"
#include "endpoints/udpendpoints.h"
#include "common/guard.h"
#include "script/scripttimers.h"
#include "seamrecorder.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>

namespace {

class FaultTest : public ::testing::Test
{
protected:
    explicit FaultTest(const QString &extra = EchoScript) : f(extra) {}

    int count(const char *event)
    {
        return f.wb().EvalScript(QStringLiteral("counts.%1").arg(QLatin1String(event))).toInt();
    }

    TMySocket *Server(const QString &name)
    {
        TMySocket *r = TcpServerEndpoint::Create(f.wb(), FreeTcpPort(), f.root(Kind::TcpServer));
        r->window->setName(name);
        r->window->setHexMode(false);
        return r;
    }
    static int PortOf(TMySocket *server)
    {
        auto *s = qobject_cast<QTcpServer *>(server->component.data());
        return s ? s->serverPort() : 0;
    }
    TMySocket *ConnectionOf(int peerPort)
    {
        if (peerPort == 0)
            return nullptr;
        for (int i = 0; i < f.wb().registry().count(); ++i) {
            TMySocket *r = f.wb().registry().at(i);
            if (r->kind == Kind::TcpServerClient && r->remotePort == peerPort)
                return r;
        }
        return nullptr;
    }
    // A peer connected to the server endpoint, with the accepted record.
    TMySocket *Accepted(QTcpSocket &peer, TMySocket *server)
    {
        peer.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(PortOf(server)));
        TMySocket *r = nullptr;
        WaitFor([&] { return (r = ConnectionOf(peer.localPort())) != nullptr; });
        return r;
    }

    // Makes the endpoint echo a big block at a peer that does not read, so
    // the echo's send waits; resets the peer during that wait. The endpoint
    // must end up disconnected once, its socket freed, no box shown.
    void ResetDuringEcho(QTcpSocket &peer, TMySocket *endpoint)
    {
        QPointer<TMySocket> record(endpoint);
        QPointer<QTcpSocket> socket(qobject_cast<QTcpSocket *>(endpoint->component.data()));
        ASSERT_FALSE(socket.isNull());
        peer.setReadBufferSize(4096);
        bool wasReset = false;
        QTimer watch;  // also fires inside the send's own wait
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!wasReset && socket && socket->bytesToWrite() > TcpSend::PendingLimit) {
                wasReset = true;
                ResetConnection(peer);
            }
        });
        watch.start(5);
        QByteArray block(8 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < block.size(); ++i)
            block[i] = char(i * 31 + i / 4096);
        peer.write(block);
        ASSERT_TRUE(WaitFor([&] { return wasReset && record && record->state == 0; }, 30000));
        SpinFor(100);
        EXPECT_GT(record->window->RecvCount, 0);
        EXPECT_EQ(count("OnDisConnect"), 1);
        EXPECT_EQ(StateImageOf(record->node), int(ImgDisconnected));
        EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'|').toStdString();
        if (endpoint->kind == Kind::TcpServerClient) {
            EXPECT_TRUE(WaitFor([&] { return socket.isNull(); }));
        }
    }

    MessageRecorder messages;
    ScriptedForm f;
};

TEST_F(FaultTest, APeerResettingDuringALargeEchoEndsOnlyThatConnection)
{
    // Accepted connection.
    TMySocket *server = Server(QStringLiteral("srv"));
    QTcpSocket peer;
    TMySocket *c = Accepted(peer, server);
    ASSERT_NE(c, nullptr);
    ResetDuringEcho(peer, c);

    // The server goes on accepting and echoing.
    QTcpSocket next;
    ASSERT_NE(Accepted(next, server), nullptr);
    next.write("ping");
    EXPECT_EQ(ReadExactly(&next, 4), "ping");
}

TEST_F(FaultTest, AServerResettingDuringALargeEchoDisconnectsTheClientEndpoint)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    TMySocket *r = TcpClientEndpoint::Create(f.wb(), QStringLiteral("127.0.0.1"), listener.serverPort(),
                                             f.root(Kind::TcpClient));
    r->window->setName(QStringLiteral("cli"));
    r->window->setHexMode(false);
    r->window->Button_5->click();  // "连接"
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections() && r->state == 1; }));
    std::unique_ptr<QTcpSocket> peer(listener.nextPendingConnection());
    ResetDuringEcho(*peer, r);

    // The client connects again and echoes.
    r->window->Button_5->click();
    ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections() && r->state == 1; }));
    std::unique_ptr<QTcpSocket> again(listener.nextPendingConnection());
    again->write("pong");
    EXPECT_EQ(ReadExactly(again.get(), 4), "pong");
}

TEST_F(FaultTest, ConnectDisconnectCyclesKeepOneRecordEachAndFreeEverySocket)
{
    const int cycles = Scaled(1000, 10000);
    f.wb().EvalScript(QStringLiteral("echo = false;"));
    TMySocket *server = Server(QStringLiteral("srv"));
    const int port = PortOf(server);
    const int registered = f.wb().registry().count();
    const int windows = int(f.wb().windowArea()->count());
    const int fds = OpenFds();
    const int warm = cycles / 10;
    long rssWarm = 0;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < cycles; ++i) {
        if (i == warm)
            rssWarm = RssKb();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
        ASSERT_TRUE(WaitFor([&] { return count("OnConnect") == i + 1; })) << "cycle " << i;
        peer.disconnectFromHost();
        ASSERT_TRUE(WaitFor([&] { return count("OnDisConnect") == i + 1; })) << "cycle " << i;
    }
    const qint64 ms = clock.elapsed();

    // Each connection stays as a record with its node and window until the
    // user deletes it; its socket is gone.
    EXPECT_EQ(f.wb().registry().count(), registered + cycles);
    EXPECT_EQ(server->node->childCount(), cycles);
    EXPECT_EQ(f.wb().windowArea()->count(), windows + cycles);
    QSet<QString> names;
    QList<QPointer<QObject>> sockets;
    for (int i = registered; i < f.wb().registry().count(); ++i) {
        TMySocket *r = f.wb().registry().at(i);
        EXPECT_EQ(r->state, 0);
        names.insert(r->name());
        sockets << r->component;
    }
    EXPECT_EQ(names.size(), cycles);
    EXPECT_TRUE(WaitFor([&] {
        for (const QPointer<QObject> &s : sockets) {
            if (s)
                return false;
        }
        return true;
    }));
    EXPECT_EQ(TcpServerEndpoint::LiveConnections(server), 0);
    EXPECT_LE(OpenFds(), fds + 4);

    const long rssEnd = RssKb();
    const double perCycle = double(rssEnd - rssWarm) / (cycles - warm);
    std::cout << cycles << " cycles in " << ms << " ms, RSS " << rssWarm << " -> " << rssEnd
              << " kB, " << perCycle << " kB per kept connection\n";
#if !defined(__SANITIZE_ADDRESS__)
    // A record, a node and a data window per connection; freed sockets add
    // nothing. (Under AddressSanitizer freed memory sits in quarantine.)
    EXPECT_LT(perCycle, 400.0);
#endif

    // The server still serves.
    f.wb().EvalScript(QStringLiteral("echo = true;"));
    QTcpSocket last;
    ASSERT_NE(Accepted(last, server), nullptr);
    last.write("ok");
    EXPECT_EQ(ReadExactly(&last, 2), "ok");
}

TEST_F(FaultTest, AUdpFloodLosesNothingTheProgramReadAndLeavesItResponsive)
{
    const int datagrams = Scaled(20000, 100000);
    f.wb().EvalScript(QStringLiteral("echo = false;"));
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress::AnyIPv4, 0));
    const int port = probe.localPort();
    probe.close();
    TMySocket *r = UdpEndpoints::CreateServer(f.wb(), port, f.root(Kind::UdpServer));
    ASSERT_NE(r, nullptr);
    r->window->setName(QStringLiteral("udp"));
    r->window->setHexMode(false);
    const qint64 dropsBefore = UdpDrops(port);
    ASSERT_GE(dropsBefore, 0);

    // The longest time between two ticks of a 10 ms timer tells whether the
    // program kept handling its events.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longestGap = qMax(longestGap, sinceTick.restart());
        ++ticks;
    });
    sinceTick.start();
    tick.start(10);

    std::atomic<int> sent{0};
    std::atomic<bool> done{false};
    std::atomic<qint64> floodMs{0};
    QElapsedTimer flood;
    flood.start();
    std::thread sender([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        char buf[64];
        for (int i = 0; i < datagrams; ++i) {
            std::memset(buf, 'x', sizeof buf);
            std::snprintf(buf, sizeof buf, "%08d", i);
            buf[8] = '|';
            if (::sendto(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) == 64)
                ++sent;
            // Bursts of 200 back to back, a millisecond apart: a flood that
            // lasts long enough to see whether the program keeps up.
            if (i % 200 == 199)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
        floodMs = flood.elapsed();
        done = true;
    });
    // Every datagram sent was either read by the program or dropped by the
    // kernel at the program's socket.
    auto readCount = [&] { return r->window ? r->window->RecvCount / 64 : 0; };
    const bool accounted = WaitFor([&] {
        return done && readCount() + (UdpDrops(port) - dropsBefore) >= sent;
    }, Scaled(120000, 600000));
    sender.join();
    tick.stop();
    ASSERT_TRUE(accounted) << readCount() << " read, " << UdpDrops(port) - dropsBefore << " dropped of "
                           << sent.load();
    const qint64 dropped = UdpDrops(port) - dropsBefore;
    std::cout << sent.load() << " sent, " << readCount() << " read, " << dropped << " dropped by the kernel, "
              << "in " << floodMs.load() << " ms; " << ticks << " ticks, longest gap " << longestGap
              << " ms\n";
    EXPECT_EQ(readCount() + dropped, qint64(sent.load()));
    EXPECT_EQ(r->window->RecvCount % 64, 0);
    EXPECT_EQ(count("OnRead"), readCount());
    EXPECT_GT(ticks, 0);
    EXPECT_LT(longestGap, 1000);

    // Every datagram read has its own line, in the order sent, none twice.
    const QStringList lines = r->window->Memo2->text().split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), readCount());
    const QRegularExpression seq(QStringLiteral("收到数据：(\\d{8})\\|x{55}$"));
    int previous = -1;
    int ordered = 0;
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = seq.match(line);
        if (m.hasMatch() && m.captured(1).toInt() > previous) {
            previous = m.captured(1).toInt();
            ++ordered;
        }
    }
    EXPECT_EQ(ordered, lines.size());

    // Still serving: one more datagram is read at once.
    const qint64 before = r->window->RecvCount;
    QUdpSocket late;
    late.writeDatagram(QByteArray(64, 'y'), QHostAddress(QHostAddress::LocalHost), quint16(port));
    EXPECT_TRUE(WaitFor([&] { return r->window->RecvCount == before + 64; }));
}

class HostileJsonTest : public FaultTest
{
protected:
    // json2str(actions) hands back what `hostile` names, once.
    HostileJsonTest()
        : FaultTest(EchoScript + QStringLiteral(R"JS(
var hostile = '';
var seed = 12345;
function rand(n) { seed = (seed * 16807) % 2147483647; return seed % n; }
function randomText(n, alphabet) {
  var out = [];
  for (var i = 0; i < n; i++)
    out.push(alphabet ? alphabet.charAt(rand(alphabet.length)) : String.fromCharCode(rand(65536)));
  return out.join('');
}
function hostileText(mode) {
  if (mode == 'random') return randomText(65536);
  if (mode == 'bytes') { var s = []; for (var i = 0; i < 65536; i++) s.push(String.fromCharCode(rand(256))); return s.join(''); }
  if (mode == '10MB') return randomText(65536, '[]{}",:0123456789.-+eE tfnrulsaxTYPESOCKETDATA\\/\n').repeat(160);
  if (mode == 'nested') return '['.repeat(1000000) + ']'.repeat(1000000);
  if (mode == 'unclosed') return '['.repeat(1000000);
  if (mode == 'objects') return '{"a":'.repeat(200000) + '[1]' + '}'.repeat(200000);
  return '';
}
function json2str(v) {
  if (v === actions && hostile) { var m = hostile; hostile = ''; return hostileText(m); }
  return JSON.stringify(v);
}
)JS"))
    {
    }
};

TEST_F(HostileJsonTest, WhateverJson2strReturnsTheBatchIsDroppedAndTheProgramGoesOn)
{
    TMySocket *server = Server(QStringLiteral("srv"));
    QTcpSocket peer;
    TMySocket *c = Accepted(peer, server);
    ASSERT_NE(c, nullptr);
    const QStringList modes{QStringLiteral("random"), QStringLiteral("bytes"), QStringLiteral("10MB"),
                            QStringLiteral("nested"), QStringLiteral("unclosed"),
                            QStringLiteral("objects")};
    int reads = 0;
    for (const QString &mode : modes) {
        SCOPED_TRACE(mode.toStdString());
        f.wb().EvalScript(QStringLiteral("hostile = '%1';").arg(mode));
        peer.write("z");
        ++reads;
        ASSERT_TRUE(WaitFor([&] { return count("OnRead") == reads; }, 30000));
        EXPECT_EQ(f.wb().EvalScript(QStringLiteral("hostile")), QString());
        EXPECT_EQ(f.wb().EvalScript(QStringLiteral("actions.length")), QStringLiteral("0"));
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    // None of those batches' echoes went out; the next one does.
    peer.write("ok");
    EXPECT_EQ(ReadExactly(&peer, 2), "ok");
    EXPECT_EQ(c->window->RecvCount, modes.size() + 2);
}

TEST_F(FaultTest, ARunawayReadHandlerIsInterruptedReportedAndTheProgramGoesOn)
{
    f.wb().script().setTimeoutMs(500);
    TMySocket *server = Server(QStringLiteral("srv"));
    QTcpSocket peer;
    TMySocket *c = Accepted(peer, server);
    ASSERT_NE(c, nullptr);
    f.wb().EvalScript(QStringLiteral("spin = true;"));
    QElapsedTimer clock;
    clock.start();
    peer.write("a");
    ASSERT_TRUE(WaitFor([&] { return !messages.texts.isEmpty(); }, 10000));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_TRUE(messages.texts.first().contains(QStringLiteral("interrupted"), Qt::CaseInsensitive))
        << messages.texts.first().toStdString();
    EXPECT_EQ(c->state, 1);
    // The interrupted call queued nothing; the next read is echoed.
    peer.write("b");
    EXPECT_EQ(ReadExactly(&peer, 1), "b");
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(FaultTest, DeletingAConnectionWhoseDisconnectWentElsewhereStillClosesIt)
{
    f.wb().EvalScript(QStringLiteral("echo = false;"));
    TMySocket *server = Server(QStringLiteral("srv"));
    QTcpSocket a;
    QTcpSocket b;
    TMySocket *ca = Accepted(a, server);
    TMySocket *cb = Accepted(b, server);
    ASSERT_TRUE(ca && cb);

    // "断开" in a's window while b's node is selected: the stop command acts
    // on b; a is only marked 0, its socket stays open.
    f.select(cb->node);
    ca->window->Button_6MouseUp();
    EXPECT_EQ(ca->state, 0);
    EXPECT_TRUE(WaitFor([&] { return b.state() == QAbstractSocket::UnconnectedState; }));
    SpinFor(50);
    ASSERT_EQ(a.state(), QAbstractSocket::ConnectedState);

    // Deleting a closes it, so nothing keeps the server from going.
    QPointer<TMySocket> gone(ca);
    f.select(ca->node);
    f.form().Button2->click();  // "删除"
    EXPECT_TRUE(gone.isNull());
    EXPECT_TRUE(WaitFor([&] { return a.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(WaitFor([&] { return TcpServerEndpoint::LiveConnections(server) == 0; }));
    QPointer<TMySocket> serverGone(server);
    f.select(server->node);
    f.form().Button2->click();
    EXPECT_TRUE(serverGone.isNull());
    EXPECT_TRUE(messages.texts.isEmpty());
}

// Every kind of call into the script, each made to throw once.
const char *ThrowingScript = R"JS(
var failing = {};
function fail(what) { if (failing[what]) { failing[what] = false; throw new Error(what + ' failed'); } }
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
    [{TYPE: "Button", ID: "btnGo", TEXT: "Go"}, {TYPE: "Edit", ID: "edAddr", TEXT: "abc"}]]}];
}
function onSocket(n, e, a, b) {
  fail(e);
  if (e == 'OnRead') actions.push({TYPE: 'SEND', SOCKET: n, DATA: a});
}
function onTimer(n, t) { fail('OnTimerEvent'); }
function onClick(n, id) { fail('OnButtonClick'); }
function onEdit(n, id, t) { fail('OnEditChange'); }
function DeleteSocket(n) { fail('DeleteSocket'); calls.push("delete|" + n); }
function json2str(v) {
  if (v === sockets) fail('sockets');
  if (v === actions) fail('actions');
  return JSON.stringify(v);
}
)JS";

TEST(ScriptFaults, AThrowInEveryKindOfCallIsReportedOrSwallowedAndTheProgramGoesOn)
{
    ScriptFixture f(QString::fromLatin1(ThrowingScript));
    TMySocket *srv = f.endpoint(QStringLiteral("srv"));
    ASSERT_NE(srv, nullptr);
    auto *server = qobject_cast<QTcpServer *>(srv->component.data());
    ASSERT_NE(server, nullptr);
    QStringList &boxes = f.messages.texts;
    auto failNext = [&](const char *what) {
        boxes.clear();
        f.js(QStringLiteral("failing['%1'] = true;").arg(QLatin1String(what)));
    };
    auto reported = [&](const char *what) {
        return WaitFor([&] { return !boxes.isEmpty(); })
            && boxes.first().contains(QLatin1String(what) + QStringLiteral(" failed"));
    };

    // OnConnect of an accepted connection: reported; the connection stays.
    failNext("OnConnect");
    QTcpSocket peer;
    peer.connectToHost(QHostAddress(QHostAddress::LocalHost), server->serverPort());
    EXPECT_TRUE(reported("OnConnect")) << boxes.join(u'|').toStdString();
    TMySocket *c = f.endpoint(QStringLiteral("srv_") + f.js(QStringLiteral(
        "calls.filter(function(c){return c.indexOf('OnConnect|')==0;}).pop().split('|')[3]")));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->state, 1);

    // OnRead: reported, counted, its actions not carried out.
    failNext("OnRead");
    peer.write("ab");
    EXPECT_TRUE(reported("OnRead"));
    EXPECT_EQ(c->window->RecvCount, 2);

    // json2str(actions): swallowed, the batch dropped and the list cleared.
    failNext("actions");
    peer.write("c");
    ASSERT_TRUE(WaitFor([&] { return c->window->RecvCount == 3; }));
    SpinFor(50);
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(f.js(QStringLiteral("actions.length")), QStringLiteral("0"));

    // OnTimerEvent.
    f.js(QStringLiteral("actions.push({TYPE: 'ADDTIMER', SOCKET: 'srv', TIMERNAME: 't', INTERVAL: 1});"));
    f.wb().RunActions();
    failNext("OnTimerEvent");
    for (int i = 0; i < 5 && boxes.isEmpty(); ++i)
        Guarded([&] { f.wb().timers().Timer1Timer(); });  // as the main window's tick
    EXPECT_TRUE(reported("OnTimerEvent"));
    f.js(QStringLiteral("actions.push({TYPE: 'DELTIMER', SOCKET: 'srv', TIMERNAME: 't'});"));
    f.wb().RunActions();

    // OnButtonClick, then the panel refresh's json2str(sockets), OnEditChange.
    auto *go = srv->window->findChild<QPushButton *>(QStringLiteral("btnGo"));
    auto *edit = srv->window->findChild<QLineEdit *>(QStringLiteral("edAddr"));
    ASSERT_TRUE(go && edit);
    failNext("OnButtonClick");
    go->click();
    EXPECT_TRUE(reported("OnButtonClick"));
    failNext("sockets");
    go->click();
    EXPECT_TRUE(reported("sockets"));
    failNext("OnEditChange");
    QTest::keyClicks(edit, "d");
    EXPECT_TRUE(reported("OnEditChange"));

    // DeleteSocket: reported, and the endpoint stays.
    failNext("DeleteSocket");
    f.form->TreeView1->setCurrentItem(c->node);
    f.form->Button2->click();
    EXPECT_TRUE(reported("DeleteSocket"));
    EXPECT_EQ(f.endpoint(c->name()), c);

    // OnDisConnect: reported; the connection is closed and its socket freed.
    QPointer<QObject> socket(c->component);
    failNext("OnDisConnect");
    peer.disconnectFromHost();
    EXPECT_TRUE(reported("OnDisConnect"));
    EXPECT_EQ(c->state, 0);
    EXPECT_TRUE(WaitFor([&] { return socket.isNull(); }));

    // With nothing failing any more, everything works again.
    boxes.clear();
    QTcpSocket next;
    next.connectToHost(QHostAddress(QHostAddress::LocalHost), server->serverPort());
    ASSERT_TRUE(next.waitForConnected(5000));
    next.write("fine");
    EXPECT_EQ(ReadExactly(&next, 4), "fine");
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'|').toStdString();
}

} // namespace
