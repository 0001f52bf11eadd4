// The action executor: one batch of the script's `actions`, its lookups,
// its error guard, the boxes of ALERT with nested runs, and the lenient
// JSON it reads.
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/scripttimer.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/log/logsavejob.h"
#include "core/net/tcpsend.h"
#include "core/script/scriptoutput.h"
#include "core/script/scripttimers.h"
#include "guard.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Two disconnected TCP clients "a" and "b" (DISPLAY targets) and a TCP peer.
struct Executor : ScriptedCore
{
    Endpoint *a = tcpClient(QStringLiteral("a"), 9);
    Endpoint *b = tcpClient(QStringLiteral("b"), 9);
    QTcpServer server;

    void queue(const QString &list) { js(QStringLiteral("actions = ") + list + u';'); }
    QString pending() { return js(QStringLiteral("JSON.stringify(actions)")); }
    QString last(const Endpoint *r) { return lineList(r).value(lineList(r).size() - 1); }
    quint16 listen()
    {
        server.listen(QHostAddress::LocalHost, 0);
        return server.serverPort();
    }
    // Connects r ("连接") to the peer; returns the peer's side.
    QTcpSocket *connected(Endpoint *r)
    {
        const qsizetype before = callsOf(QStringLiteral("OnConnect")).size();
        r->start();
        if (!WaitFor([&] { return server.hasPendingConnections(); }))
            return nullptr;
        QTcpSocket *peer = server.nextPendingConnection();
        WaitFor([&] { return callsOf(QStringLiteral("OnConnect")).size() > before; });
        return peer;
    }
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
    x.host().runActions();
    EXPECT_EQ(x.lines(x.a), QStringLiteral("one\n12"));
    EXPECT_EQ(x.lines(x.b), QStringLiteral("three"));
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // An empty list is simply cleared.
    x.queue(QStringLiteral("[]"));
    x.host().runActions();
    EXPECT_EQ(x.lines(x.a), QStringLiteral("one\n12"));
}

TEST(ActionExecutor, ASharedNameActsOnTheEndpointHigherInTheTree)
{
    Executor x;
    x.b->setName(QStringLiteral("a"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'first'}]"));
    x.host().runActions();
    EXPECT_EQ(x.lines(x.a), QStringLiteral("first"));
    EXPECT_TRUE(x.lines(x.b).isEmpty());
}

TEST(ActionExecutor, AnErrorDropsTheRestOfTheBatchAndClearsTheList)
{
    Executor x;
    x.queue(
        QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'1'}, 5, {TYPE:'DISPLAY',SOCKET:'a',DATA:'2'}]"));
    x.host().runActions();
    EXPECT_EQ(x.lines(x.a), QStringLiteral("1"));
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // A CONNECT that cannot start is such an error too.
    Endpoint *hostless = x.tcpClient(QStringLiteral("h"), 7, QString());
    x.queue(QStringLiteral("[{TYPE:'CONNECT',SOCKET:'h'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    x.host().runActions();
    EXPECT_EQ(x.last(x.a), QStringLiteral("1"));
    EXPECT_FALSE(hostless->isActive());
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));

    // json2str failing, or giving no JSON: nothing runs, the list is cleared.
    x.js(QStringLiteral("var real = json2str; json2str = function(v) { throw 'no'; };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.host().runActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));
    x.js(QStringLiteral("json2str = function(v) { return v === actions ? '[{' : real(v); };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.host().runActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[]"));
    EXPECT_EQ(x.last(x.a), QStringLiteral("1"));

    // An empty value leaves the list alone.
    x.js(QStringLiteral("json2str = function(v) { return v === actions ? '' : real(v); };"));
    x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'a',DATA:'x'}]"));
    x.host().runActions();
    EXPECT_EQ(x.pending(), QStringLiteral("[{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"a\",\"DATA\":\"x\"}]"));
}

TEST(ActionExecutor, ReadsTheLenientJsonForms)
{
    Executor x;
    x.js(QStringLiteral(
        "var real = json2str;\n"
        "json2str = function(v) { return v === actions ? lenient : real(v); };\n"
        "var lenient = \"/* from the script */ [ {TYPE:'DISPLAY', SOCKET:'a', DATA:'single',},\\n"
        " // a comment\\n {\\\"TYPE\\\":\\\"DISPLAY\\\",'SOCKET':\\\"a\\\",DATA:\\\"double\\\"}, ]\";"));
    x.queue(QStringLiteral("[1]"));
    x.host().runActions();
    EXPECT_EQ(x.lines(x.a), QStringLiteral("single\ndouble"));
}

TEST(ActionExecutor, AlertsShowOneAfterTheOtherWithNestedRunsInBetween)
{
    Executor x;
    QStringList seenInsideFirst;
    x.messages.onMessage = [&](const QString &text) {
        if (text != QStringLiteral("one"))
            return;
        // The list is already empty while the box is open; what the script
        // queues now is carried out by the run that happens meanwhile.
        seenInsideFirst << x.pending();
        x.queue(QStringLiteral("[{TYPE:'DISPLAY',SOCKET:'b',DATA:'nested'}]"));
        x.host().runActions();
        seenInsideFirst << x.last(x.b);
    };
    x.queue(QStringLiteral(
        "[{TYPE:'ALERT',SOCKET:'a',TEXT:'one'}, {TYPE:'ALERT',SOCKET:'b',TEXT:'two'},"
        " {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
    x.host().runActions();
    EXPECT_EQ(x.messages.texts, (QStringList {QStringLiteral("one"), QStringLiteral("two")}));
    EXPECT_EQ(x.messages.titles, (QStringList {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(seenInsideFirst, (QStringList {QStringLiteral("[]"), QStringLiteral("nested")}));
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
    x.host().runActions();
    EXPECT_EQ(ScriptTimers::findTimer(x.a, QStringLiteral("t")), nullptr);
    ScriptTimer *u = ScriptTimers::findTimer(x.a, QStringLiteral("u"));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->interval, 3);
    EXPECT_TRUE(x.b->timers().empty());
}

TEST(ActionExecutor, WarnsOnceAboutEachActionItCannotCarryOutAsWritten)
{
    // Each batch is queued by an OnRead of a, as a received block would; the
    // actions are still handled as they always were.
    const struct
    {
        const char *actions;
        const char *warning;  // "" for none
    } cases[] = {
        {"{TYPE:'SNED',SOCKET:'a',DATA:'41'}", "OnRead of a: action 2: unknown TYPE \"SNED\"; ignored"},
        {"{SOCKET:'a'}", "action 2: no TYPE"},
        {"{TYPE:'DISPLAY',SOCKET:'nobody',DATA:'x'}",
         "action 2: DISPLAY: SOCKET \"nobody\" names no endpoint"},
        {"{TYPE:'SEND',SOCKET:'a',DATA:'4G1'}",
         "SEND DATA \"4G1\" is not pairs of hex digits; sent as 40 (1 byte)"},
        {"{TYPE:'SEND',SOCKET:'a',DATA:'4'}", "SEND DATA \"4\" is not pairs of hex digits; nothing was sent"},
        {"{TYPE:'ADDTIMER',SOCKET:'a',INTERVAL:5}", "action 2: ADDTIMER without a TIMERNAME"},
        {"{TYPE:'SETTIMER',SOCKET:'a',TIMERNAME:'t',INTERVAL:-2}", "INTERVAL -2 is negative"},
        {"{TYPE:'SEND',SOCKET:'a',DATA:'4a6B'}, {TYPE:'SEND',SOCKET:'a',DATA:''}", ""},
        {"{TYPE:'EXIT',CODE:'abc'}", ""},  // the window has no EXIT
    };
    Executor x;
    QStringList warnings;
    QObject context;
    QObject::connect(&ScriptOutput::instance(), &ScriptOutput::warned, &context,
                     [&](const ScriptWarning &w) { warnings << w.line(); });
    for (const auto &c : cases) {
        SCOPED_TRACE(c.actions);
        warnings.clear();
        ScriptOutput::instance().flushRepeats();
        x.queue(QStringLiteral("[{TYPE:'ADDTIMER',SOCKET:'a',TIMERNAME:'t',INTERVAL:1}, %1]").arg(
            QLatin1String(c.actions)));
        x.host().socketEvent(*x.a, QStringLiteral("OnRead"), QString(), 0, std::nullopt);
        if (*c.warning) {
            ASSERT_EQ(warnings.size(), 1) << warnings.join(u'|').toStdString();
            EXPECT_TRUE(warnings.first().contains(QLatin1String(c.warning)))
                << warnings.first().toStdString();
        } else {
            EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'|').toStdString();
        }
    }
    // The negative interval was set as written (it fires on every tick).
    EXPECT_EQ(ScriptTimers::findTimer(x.a, QStringLiteral("t"))->interval, -2);
}

TEST(ActionExecutor, WhatThePaneLeavesOutIsLoggedAsExtraRecords)
{
    Executor x;
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::AnyIPv4, 0));
    Endpoint *server = TcpServerEndpoint::create(x.registry(), taken.serverPort());
    Endpoint *nowhere = UdpClientEndpoint::create(x.registry(), QString(), 9, 0);
    nowhere->setName(QStringLiteral("nowhere"));
    // Port 0 as destination: the system refuses the datagram.
    Endpoint *refused = UdpClientEndpoint::create(x.registry(), QStringLiteral("127.0.0.1"), 0, 0);
    refused->setName(QStringLiteral("refused"));
    Endpoint *group = UdpGroupEndpoint::create(
        x.registry(), QStringLiteral("no group"), FreeUdpPort(), UdpGroupEndpoint::Path::Dialog);
    x.a->start();  // nobody listens on port 9
    ScriptOutput::instance().flushRepeats();
    for (int i = 0; i < 3; ++i) {  // a repeat within the second is counted, not logged
        x.queue(QStringLiteral("[{TYPE:'SEND',SOCKET:'a',DATA:'4G1'}]"));
        x.host().socketEvent(*x.b, QStringLiteral("OnRead"), QString(), 0, std::nullopt);
    }
    x.queue(QStringLiteral("[{TYPE:'SEND',SOCKET:'nowhere',DATA:'41'}]"));
    x.host().runActions();
    x.queue(QStringLiteral("[{TYPE:'SEND',SOCKET:'refused',DATA:'41'}]"));
    x.host().runActions();
    x.js(QStringLiteral("var real = json2str; json2str = function(v) { throw 'no'; };"));
    x.host().socketEvent(*x.b, QStringLiteral("OnRead"), QString(), 0, std::nullopt);
    x.js(QStringLiteral("json2str = real;"));
    // An event that throws: reported as before, and recorded in its endpoint's log.
    x.js(QStringLiteral("var realEvent = OnSocketEvent;\n"
                        "OnSocketEvent = function() { throw new Error('boom'); };"));
    EXPECT_FALSE(
        Guarded([&] { x.host().socketEvent(*x.a, QStringLiteral("OnRead"), QString(), 0, std::nullopt); }));
    x.js(QStringLiteral("OnSocketEvent = realEvent;"));

    const struct
    {
        Endpoint *endpoint;
        LineKind kind;
        QString text;  // how the record's text starts
        const char *event;  // in a saved log's JSON lines
    } cases[] = {
        {server, LineKind::Notice, QStringLiteral("端口 %1 已被占用").arg(taken.serverPort()), "notice"},
         {x.a, LineKind::Notice, QStringLiteral("连接失败："), "notice"},
          {x.a, LineKind::Warning,
           QStringLiteral("warning: OnRead of b: action 1: SEND DATA \"4G1\""), "warning"},
           {nowhere, LineKind::Notice, QStringLiteral("发送失败：Null Remote Address"), "notice"},
            {nowhere, LineKind::Error,
             QStringLiteral("error: actions: action 1: Null Remote Address"), "error"},
             {refused, LineKind::Notice, QStringLiteral("发送失败："), "notice"},
              {group, LineKind::Notice, QStringLiteral("无法进行UDP组播"), "notice"},
               // A batch of the endpoint's event that could not be read.
               {x.b, LineKind::Error, QStringLiteral("error: OnRead of b: "), "error"},
                {x.a, LineKind::Error, QStringLiteral("error: "), "error"},
               };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const EndpointLog &log = c.endpoint->log();
        qsizetype found = -1;
        ASSERT_TRUE(WaitFor([&] {
            for (qsizetype i = 0; i < log.count(); ++i) {
                if (log.record(i).kind == c.kind && log.text(i).startsWith(c.text))
                    found = i;
            }
            return found >= 0 && log.record(found).extra;
        })) << log.lastLines(10, true).join(u'|').toStdString();
        for (const QString &line : x.lineList(c.endpoint))
            EXPECT_FALSE(line.startsWith(c.text)) << "not in the pane";
        const QJsonObject saved =
            QJsonDocument::fromJson(LogSaveJob::jsonLine(log, found, c.endpoint->name())).object();
        EXPECT_EQ(saved.value(QStringLiteral("event")).toString(), QLatin1String(c.event));
        EXPECT_EQ(saved.value(QStringLiteral("endpoint")).toString(), c.endpoint->name());
    }
    // A datagram that did not go out is not logged as sent.
    for (qsizetype i = 0; i < refused->log().count(); ++i)
        EXPECT_NE(refused->log().record(i).kind, LineKind::Sent);
    qsizetype warnings = 0;
    for (qsizetype i = 0; i < x.a->log().count(); ++i)
        warnings += x.a->log().record(i).kind == LineKind::Warning;
    EXPECT_EQ(warnings, 1);
    bool thrown = false;
    for (qsizetype i = 0; i < x.a->log().count(); ++i)
        thrown |= x.a->log().record(i).kind == LineKind::Error && x.a->log().text(i) == "error: Error: boom";
    EXPECT_TRUE(thrown) << x.a->log().lastLines(5, true).join(u'|').toStdString();
}

TEST(ActionExecutor, SendConnectAndDisconnectOnARealPeer)
{
    Executor x;
    const quint16 port = x.listen();
    Endpoint *c = x.tcpClient(QStringLiteral("c"), port);
    x.queue(QStringLiteral("[{TYPE:'CONNECT',SOCKET:'c'}, {TYPE:'DISCONNECT',SOCKET:'a'}]"));
    x.host().runActions();
    ASSERT_TRUE(WaitFor([&] { return x.server.hasPendingConnections(); }));
    QTcpSocket *peer = x.server.nextPendingConnection();
    ASSERT_TRUE(WaitFor([&] { return c->isActive(); }));

    x.queue(
        QStringLiteral(
        "[{TYPE:'SEND',SOCKET:'c',DATA:'48656C6C6F'}, {TYPE:'SEND',SOCKET:'c',DATA:'414'},"
        " {TYPE:'SEND',SOCKET:'c',DATA:'4'}, {TYPE:'SEND',SOCKET:'c',DATA:''},"
        " {TYPE:'send',SOCKET:'c',DATA:'5A'}, {TYPE:'SEND',SOCKET:'c',DATA:4243}]"));
    x.host().runActions();
    EXPECT_EQ(ReadExactly(peer, 8), QByteArray("HelloABC"));
    SpinFor(50);
    EXPECT_EQ(peer->bytesAvailable(), 0);

    x.queue(QStringLiteral("[{TYPE:'DISCONNECT',SOCKET:'c'}, {TYPE:'DISCONNECT',SOCKET:'c'}]"));
    x.host().runActions();
    EXPECT_FALSE(c->isActive());
    EXPECT_TRUE(WaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(x.callsOf(QStringLiteral("OnDisConnect")).size(), 1);
}

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
            js(QStringLiteral("actions.push({TYPE:'DISPLAY',SOCKET:'a',DATA:'nested'});"));
            host().runActions();
        });
        host().runActions();
    }
};

// A batch from the list, and one from an event, whose list is read as data
// and emptied only once its actions are carried out: the event the close
// reports inside them still finds it empty.
TEST(ActionExecutorNesting, ACloseReportedInsideTheBatchDoesNotRepeatIt)
{
    const QString batch =
        QStringLiteral("{TYPE:'DISCONNECT',SOCKET:'cli'}, {TYPE:'SEND',SOCKET:'c',DATA:'4F4B0A'},"
                                         " {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}");
    for (const bool fromEvent : {false, true}) {
        SCOPED_TRACE(fromEvent ? "from an event" : "from the list");
        NestedRuns x;
        x.listen();
        Endpoint *c = x.tcpClient(QStringLiteral("c"), x.server.serverPort());
        Endpoint *cli = x.tcpClient(QStringLiteral("cli"), x.server.serverPort());
        QTcpSocket *peer = x.connected(c);
        ASSERT_NE(peer, nullptr);
        ASSERT_NE(x.connected(cli), nullptr);
        x.js(QStringLiteral("onSocket = function(n, e) {"
                            " if (n == 'cli' && e == 'OnDisConnect')"
                            "   actions.push({TYPE:'DISPLAY',SOCKET:'a',DATA:'nested'});"
                            " if (n == 'c' && e == 'OnRead') actions.push(%1); };")
                                .arg(batch));
        if (fromEvent) {
            peer->write("go");
        } else {
            x.queue(u'[' + batch + u']');
            x.host().runActions();
        }
        EXPECT_EQ(ReadExactly(peer, 3), QByteArray("OK\n"));
        SpinFor(50);
        EXPECT_EQ(peer->bytesAvailable(), 0) << "sent twice";
        EXPECT_EQ(x.lines(x.a), QStringLiteral("nested\nafter"));
        EXPECT_EQ(x.pending(), QStringLiteral("[]"));
    }
}

TEST(ActionExecutorNesting, ASendThatWaitsForThePeerRunsNothingTwice)
{
    NestedRuns x;
    x.listen();
    TcpClientEndpoint *c = x.tcpClient(QStringLiteral("c"), x.server.serverPort());
    QTcpSocket *peer = x.connected(c);
    ASSERT_NE(peer, nullptr);
    // A small send buffer, so the block waits for the peer to read.
    c->socket()->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, 4096);
    const QByteArray block(2 * TcpSend::PendingLimit, 'x');
    qint64 received = 0;
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] { received += peer->readAll().size(); });
    x.runWithNestedRun(
        QStringLiteral("[{TYPE:'SEND',SOCKET:'c',DATA:'%1'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]") .arg(
                           QString::fromLatin1(block.toHex())),
                       [&] { drain.start(1); });
    EXPECT_TRUE(WaitFor([&] { return received >= block.size(); }, 10000));
    SpinFor(50);
    received += peer->readAll().size();
    EXPECT_EQ(received, block.size());
    EXPECT_EQ(x.lines(x.a), QStringLiteral("nested\nafter"));
}

TEST(ActionExecutorNesting, ANameLookupOfADatagramSendRunsNothingTwice)
{
    NestedRuns x;
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    Endpoint *u = UdpClientEndpoint::create(x.registry(), QStringLiteral("localhost"), peer.localPort(), 0);
    u->setName(QStringLiteral("u"));
    x.runWithNestedRun(
        QStringLiteral("[{TYPE:'SEND',SOCKET:'u',DATA:'41'}, {TYPE:'DISPLAY',SOCKET:'a',DATA:'after'}]"));
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
    EXPECT_EQ(x.lines(x.a), QStringLiteral("nested\nafter"));
}

TEST(ActionExecutorNesting, WhatAnEditChangeQueuedDuringABoxWaitsForTheNextRun)
{
    NestedRuns x;
    x.js(QStringLiteral("onEdit = function(n) { actions.push({TYPE:'DISPLAY',SOCKET:n,DATA:'edited'}); };"));
    x.messages.onMessage = [&](const QString &) {
        // An edit change runs no executor: its action stays queued.
        x.host().editChanged(*x.b, QStringLiteral("ed"), QStringLiteral("t"));
    };
    x.queue(QStringLiteral("[{TYPE:'ALERT',SOCKET:'a',TEXT:'one'}, {TYPE:'ALERT',SOCKET:'a',TEXT:'two'}]"));
    x.host().runActions();
    EXPECT_EQ(x.messages.texts.size(), 2);
    EXPECT_TRUE(x.lines(x.b).isEmpty());
    EXPECT_EQ(x.pending(),
              QStringLiteral("[{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"b\",\"DATA\":\"edited\"},"
                                          "{\"TYPE\":\"DISPLAY\",\"SOCKET\":\"b\",\"DATA\":\"edited\"}]"));
    x.host().runActions();
    EXPECT_EQ(x.lines(x.b), QStringLiteral("edited\nedited"));
}

}  // namespace
