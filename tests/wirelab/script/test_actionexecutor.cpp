// The action executor: one batch of the script's `actions`, its lookups,
// its error guard, the boxes of ALERT with nested runs, and the lenient
// JSON it reads.
#include "../endpoints/tcpbench.h"

#include "datawindow/tcpsend.h"
#include "endpoints/udpendpoints.h"
#include "script/scripttimers.h"
#include "script/sockettimer.h"
#include "seamrecorder.h"

#include <QTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <functional>

namespace {

struct Executor : TcpBench
{
    TMySocket *a = nullptr;
    TMySocket *b = nullptr;
    Executor()
    {
        a = client(QStringLiteral("a"), 9);
        b = client(QStringLiteral("b"), 9);
    }
    void queue(const QString &list) { wb().EvalScript(QStringLiteral("actions = ") + list + u';'); }
    QString pending() { return wb().EvalScript(QStringLiteral("JSON.stringify(actions)")); }
    QString last(TMySocket *r) { return r->window->Memo2->lastLine(); }
};

TEST(ActionExecutor, CarriesOutInOrderSkippingUnknownEndpointsAndTypes)
{
    Executor x;
    x.queue(QStringLiteral(
        "[{TYPE:'DISPLAY',SOCKET:'a',DATA:'one'},"
        " {TYPE:'DISPLAY',SOCKET:'nobody',DATA:'lost'},"
        " {TYPE:'display',SOCKET:'b',DATA:'lower'},"
        " {TYPE:'DISPLAY',SOCKET:'b',DATA:'three'},"
        " {TYPE:'DISPLAY',SOCKET:'a',DATA:12}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("one\n12"));
    EXPECT_EQ(x.b->window->Memo2->text(), QStringLiteral("three"));
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // An empty list is simply cleared.
    x.queue(QStringLiteral("[]"));
    x.wb().RunActions();
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("one\n12"));
}

TEST(ActionExecutor, ASharedNameActsOnTheEndpointHigherInTheTree)
{
    Executor x;
    x.b->window->setName(QStringLiteral("a"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'first'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("first"));
    EXPECT_TRUE(x.b->window->Memo2->text().isEmpty());
}

TEST(ActionExecutor, AnErrorDropsTheRestOfTheBatchAndClearsTheList)
{
    Executor x;
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'1'}, 5, {TYPE:'DISPLAY',SOCKET:'a',DATA:'2'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("1"));
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // A CONNECT that cannot start is such an error too.
    TMySocket *hostless = x.client(QStringLiteral("h"), 7, QString());
    x.queue(QStringLiteral("[{TYPE:'CONNECT',SOCKET:'h'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.last(x.a), QStringLiteral("1"));
    EXPECT_EQ(hostless->state, 0);
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // json2str failing, or giving no JSON: nothing runs, the list is cleared.
    x.wb().EvalScript(QStringLiteral("var real = json2str; json2str = function(v) { throw 'no'; };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));
    x.wb().EvalScript(QStringLiteral("json2str = function(v) { return v === actions ? '[{' : real(v); };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));
    EXPECT_EQ(x.last(x.a), QStringLiteral("1"));

    // An empty value leaves the list alone.
    x.wb().EvalScript(QStringLiteral("json2str = function(v) { return v === actions ? '' : real(v); };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"a\",\"DATA\":\"x\"}]"));
}

TEST(ActionExecutor, ReadsTheLenientJsonForms)
{
    Executor x;
    x.wb().EvalScript(QStringLiteral(
        "var real = json2str;\n"
        "json2str = function(v) { return v === actions ? lenient : real(v); };\n"
        "var lenient = \"/* from the script */ [ {TYPE:'DISPLAY', SOCKET:'a', DATA:'single',},\\n"
        " // a comment\\n {\\\"TYPE\\\":\\\"DISPLAY\\\",'SOCKET':\\\"a\\\",DATA:\\\"double\\\"}, ]\";"));
    x.queue(QStringLiteral("[1]"));
    x.wb().RunActions();
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("single\ndouble"));
}

TEST(ActionExecutor, AlertsShowOneAfterTheOtherWithNestedRunsInBetween)
{
    Executor x;
    MessageRecorder boxes;
    QStringList seenInsideFirst;
    boxes.onMessage = [&](const QString &text) {
        if (text != QStringLiteral("one"))
            return;
        // The list is already empty while the box is open; what the script
        // queues now is carried out by the run that happens meanwhile.
        seenInsideFirst << x.pending();
        x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'b',DATA:'nested'}]"));
        x.wb().RunActions();
        seenInsideFirst << x.last(x.b);
    };
    x.queue(QStringLiteral(
        "[{TYPE:'ALERT',SOCKET:'a',TEXT:'one'}, {TYPE:'ALERT',SOCKET:'b',TEXT:'two'},"
        " {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    x.wb().RunActions();
    EXPECT_EQ(boxes.texts, (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(boxes.titles, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(seenInsideFirst, (QStringList{QStringLiteral("[]"), QStringLiteral("nested")}));
    EXPECT_EQ(x.last(x.a), QStringLiteral("after"));
}

TEST(ActionExecutor, TimerActionsManageTheEndpointsTimers)
{
    Executor x;
    x.queue(QStringLiteral(
        "[{TYPE:'ADDTIMER',SOCKET:'a',TIMERNAME:'t',INTERVAL:5},"
        " {TYPE:'ADDTIMER',SOCKET:'a',TIMERNAME:'t',INTERVAL:9},"
        " {TYPE:'ADDTIMER',SOCKET:'a',TIMERNAME:'u',INTERVAL:'7'},"
        " {TYPE:'SETTIMER',SOCKET:'a',TIMERNAME:'u',INTERVAL:3},"
        " {TYPE:'DELTIMER',SOCKET:'a',TIMERNAME:'t'}]"));
    x.wb().RunActions();
    EXPECT_EQ(ScriptTimers::FindTimer(x.a, QStringLiteral("t")), nullptr);
    TSocketTimer *u = ScriptTimers::FindTimer(x.a, QStringLiteral("u"));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->Interval, 3);
    EXPECT_TRUE(x.b->timers.empty());
}

TEST(ActionExecutor, SendConnectAndDisconnectOnARealPeer)
{
    Executor x;
    const quint16 port = x.listen();
    TMySocket *c = x.client(QStringLiteral("c"), port);
    x.queue(QStringLiteral("[{TYPE:'CONNECT',SOCKET:'c'}, {TYPE:'DISCONNECT',SOCKET:'a'}]"));
    x.wb().RunActions();
    ASSERT_TRUE(WaitFor([&] { return x.server.hasPendingConnections(); }));
    QTcpSocket *peer = x.server.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return c->state == 1; }));

    x.queue(QStringLiteral(
        "[{TYPE:'SEND',SOCKET:'c',DATA:'48656C6C6F'}, {TYPE:'SEND',SOCKET:'c',DATA:'414'},"
        " {TYPE:'SEND',SOCKET:'c',DATA:'4'}, {TYPE:'SEND',SOCKET:'c',DATA:''},"
        " {TYPE:'send',SOCKET:'c',DATA:'5A'}, {TYPE:'SEND',SOCKET:'c',DATA:4243}]"));
    x.wb().RunActions();
    EXPECT_EQ(ReadExactly(peer, 8), QByteArray("HelloABC"));
    SpinFor(50);
    EXPECT_EQ(peer->bytesAvailable(), 0);

    x.queue(QStringLiteral("[{TYPE:'DISCONNECT',SOCKET:'c'}, {TYPE:'DISCONNECT',SOCKET:'c'}]"));
    x.wb().RunActions();
    EXPECT_EQ(c->state, 0);
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(x.callsOf(QStringLiteral("OnDisConnect")).size(), 1);
}

} // namespace

// Every action is carried out once, whatever runs inside it: a batch is out
// of the script's list before its first action, so a run nested in one of
// its actions carries out only what was queued meanwhile, and does so
// before the rest of the batch.
struct NestedRuns : Executor
{
    // Runs batch; the first event loop entered inside it queues a DISPLAY
    // "nested" for a and runs the executor, after first calling before().
    void runWithNestedRun(const QString &batch, std::function<void()> before = {})
    {
        queue(batch);
        QTimer::singleShot(0, [this, before] {
            if (before)
                before();
            wb().EvalScript(QStringLiteral("actions.push({TYPE:'DISPLAY',SOCKET:'a',DATA:'nested'});"));
            wb().RunActions();
        });
        wb().RunActions();
    }
    QTcpSocket *connected(TMySocket *r)
    {
        QTcpSocket *peer = connectClient(r);
        EXPECT_NE(peer, nullptr);
        return peer;
    }
};

TEST(ActionExecutorNesting, ACloseReportedInsideTheBatchDoesNotRepeatIt)
{
    NestedRuns x;
    x.listen();
    TMySocket *c = x.client(QStringLiteral("c"), x.server.serverPort());
    TMySocket *cli = x.client(QStringLiteral("cli"), x.server.serverPort());
    QTcpSocket *peer = x.connected(c);
    ASSERT_NE(x.connected(cli), nullptr);
    x.wb().EvalScript(QStringLiteral(
        "onEvent = function(n, e) { if (n == 'cli' && e == 'OnDisConnect')"
        " actions.push({TYPE:'DISPLAY',SOCKET:'a',DATA:'nested'}); };"));
    x.queue(QStringLiteral("[{TYPE:'DISCONNECT',SOCKET:'cli'}, {TYPE:'SEND',SOCKET:'c',DATA:'4F4B0A'},"
                           " {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    x.wb().RunActions();
    EXPECT_EQ(ReadExactly(peer, 3), QByteArray("OK\n"));
    SpinFor(50);
    EXPECT_EQ(peer->bytesAvailable(), 0) << "sent twice";
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("nested\nafter"));
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));
}

TEST(ActionExecutorNesting, ASendThatWaitsForThePeerRunsNothingTwice)
{
    NestedRuns x;
    x.listen();
    TMySocket *c = x.client(QStringLiteral("c"), x.server.serverPort());
    QTcpSocket *peer = x.connected(c);
    // A small send buffer, so the block waits for the peer to read.
    qobject_cast<QTcpSocket *>(c->component.data())->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4096);
    const QByteArray block(2 * TcpSend::PendingLimit, 'x');
    qint64 received = 0;
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] { received += peer->readAll().size(); });
    x.runWithNestedRun(QStringLiteral("[{TYPE:'SEND',SOCKET:'c',DATA:'%1'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]")
                           .arg(QString::fromLatin1(block.toHex())),
                       [&] { drain.start(1); });
    EXPECT_TRUE(WaitFor([&] { return received >= block.size(); }, 10000));
    SpinFor(50);
    received += peer->readAll().size();
    EXPECT_EQ(received, block.size());
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("nested\nafter"));
}

TEST(ActionExecutorNesting, ANameLookupOfADatagramSendRunsNothingTwice)
{
    NestedRuns x;
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    TMySocket *u = UdpEndpoints::CreateClient(x.wb(), QStringLiteral("localhost"), peer.localPort(), 0,
                                              x.wb().FindKindRoot(Kind::UdpClient));
    u->window->setName(QStringLiteral("u"));
    x.runWithNestedRun(QStringLiteral("[{TYPE:'SEND',SOCKET:'u',DATA:'41'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    int datagrams = 0;
    EXPECT_TRUE(WaitFor([&] {
        while (peer.hasPendingDatagrams()) {
            peer.receiveDatagram();
            ++datagrams;
        }
        return datagrams > 0;
    }));
    SpinFor(50);
    EXPECT_FALSE(peer.hasPendingDatagrams());
    EXPECT_EQ(datagrams, 1);
    EXPECT_EQ(x.a->window->Memo2->text(), QStringLiteral("nested\nafter"));
}

TEST(ActionExecutorNesting, WhatAnEditChangeQueuedDuringABoxWaitsForTheNextRun)
{
    NestedRuns x;
    MessageRecorder boxes;
    boxes.onMessage = [&](const QString &) {
        // An edit change runs no executor: its action stays queued.
        x.wb().EvalScript(QStringLiteral("actions.push({TYPE:'DISPLAY',SOCKET:'b',DATA:'edited'});"));
    };
    x.queue(QStringLiteral("[{TYPE:'ALERT',SOCKET:'a',TEXT:'one'}, {TYPE:'ALERT',SOCKET:'a',TEXT:'two'}]"));
    x.wb().RunActions();
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(x.b->window->Memo2->text().isEmpty());
    EXPECT_EQ(x.pending(), QStringLiteral("[{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"b\",\"DATA\":\"edited\"},"
                                          "{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"b\",\"DATA\":\"edited\"}]"));
    x.wb().RunActions();
    EXPECT_EQ(x.b->window->Memo2->text(), QStringLiteral("edited\nedited"));
}
