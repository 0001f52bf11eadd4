// Script timers on endpoints declared by a script, driven tick by tick
// through the host's tick (as the window's 100 ms timer drives it).

#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/scripttimer.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/errors.h"
#include "core/script/panelbuilder.h"
#include "core/script/scripttimers.h"

#include <QHostAddress>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

const char *TwoServers = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "b"}];
}
)JS";

// Ticks n times; the tick numbers (from 1) on which `call` was made.
QList<int> Tick(ScriptedCore &f, int n, const QString &call)
{
    QList<int> fired;
    for (int tick = 1; tick <= n; ++tick) {
        const qsizetype before = f.calls().count(call);
        f.host().tick();
        if (f.calls().count(call) > before)
            fired.append(tick);
    }
    return fired;
}

void Act(ScriptedCore &f, const QString &actionsJs)
{
    f.js("actions = " + actionsJs + ";");
    f.host().runActions();
}

int CounterOf(ScriptedCore &f, const QString &endpoint, const QString &timer)
{
    ScriptTimer *t = ScriptTimers::findTimer(f.endpoint(endpoint), timer);
    return t ? t->counter : -1;
}

// Stands in for the window's panels: every refresh is recorded in `calls`
// as "refresh", between the script's own calls.
struct RecordedRefreshes : PanelBuilder
{
    explicit RecordedRefreshes(ScriptedCore &core) : f(core) { f.host().setPanelBuilder(this); }
    ~RecordedRefreshes() override { f.host().setPanelBuilder(nullptr); }
    void buildRows(Endpoint &, const JsonNode &) override {}
    void refresh(const JsonNode &) override { f.js(QStringLiteral("calls.push('refresh');")); }
    ScriptedCore &f;
};

}  // namespace

TEST(ScriptTimers, AddedTimersFireAfterIntervalPlusOneTicksAndRunTheActions)
{
    ScriptedCore f(QStringLiteral(R"JS(
var beats = 0;
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"}];
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "hb", INTERVAL: 9});
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "hb", INTERVAL: 0});  // kept at 9
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "fast"});             // no interval: 0
  actions.push({TYPE: "ADDTIMER", SOCKET: "nobody", TIMERNAME: "x", INTERVAL: 1});
}
function onTimer(n, t) {
  if (t == "hb") actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "beat " + ++beats});
}
)JS"));
    Endpoint *a = f.endpoint("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->timers().size(), 2u);
    EXPECT_EQ(a->timers()[0]->interval, 9);

    EXPECT_EQ(Tick(f, 30, "timer|a|hb"), (QList<int> {10, 20, 30}));
    EXPECT_EQ(f.calls().count("timer|a|fast"), 30);
    EXPECT_EQ(f.lines(a), "beat 1\nbeat 2\nbeat 3");  // each firing's actions ran
}

TEST(ScriptTimers, SetTimerChangesTheIntervalButNotTheCount)
{
    ScriptedCore f(QString::fromLatin1(TwoServers));
    ASSERT_NE(f.endpoint("a"), nullptr);
    Act(f, "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:100}]");
    EXPECT_TRUE(Tick(f, 50, "timer|a|t").isEmpty());
    EXPECT_EQ(CounterOf(f, "a", "t"), 50);

    Act(f, "[{TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:4}]");
    EXPECT_EQ(Tick(f, 1, "timer|a|t"), QList<int> {1});  // 50 is past 4: due now

    EXPECT_TRUE(Tick(f, 3, "timer|a|t").isEmpty());
    Act(f,
        "[{TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:100},"
        " {TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'missing', INTERVAL:1}]");
    EXPECT_EQ(Tick(f, 98, "timer|a|t"), QList<int> {98});
    EXPECT_EQ(f.endpoint("a")->timers().size(), 1u);
}

TEST(ScriptTimers, DeletingAndAddingAgainRestartsTheCount)
{
    ScriptedCore f(QString::fromLatin1(TwoServers));
    Act(f, "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:5}]");
    Tick(f, 3, "timer|a|t");
    EXPECT_EQ(CounterOf(f, "a", "t"), 3);
    Act(f,
        "[{TYPE:'DELTIMER', SOCKET:'a', TIMERNAME:'t'},"
        " {TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:5}]");
    EXPECT_EQ(CounterOf(f, "a", "t"), 0);
    EXPECT_EQ(Tick(f, 6, "timer|a|t"), QList<int> {6});
}

TEST(ScriptTimers, SameNamesOnTwoEndpointsAreIndependent)
{
    ScriptedCore f(QString::fromLatin1(TwoServers));
    Act(f,
        "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:0},"
        " {TYPE:'ADDTIMER', SOCKET:'b', TIMERNAME:'t', INTERVAL:2}]");
    f.clearCalls();
    Tick(f, 3, QString());
    // Registry order within a tick; each call carries its own endpoint.
    EXPECT_EQ(f.calls(), (QStringList {"timer|a|t", "timer|a|t", "timer|a|t", "timer|b|t"}));
    Act(f, "[{TYPE:'DELTIMER', SOCKET:'b', TIMERNAME:'t'}]");
    EXPECT_NE(ScriptTimers::findTimer(f.endpoint("a"), "t"), nullptr);
    EXPECT_EQ(ScriptTimers::findTimer(f.endpoint("b"), "t"), nullptr);
}

TEST(ScriptTimers, ActionsOfAFiringMayChangeTheListBeingWalked)
{
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "b"}];
  actions = [{TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "once", INTERVAL: 0},
             {TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "next", INTERVAL: 0},
             {TYPE: "ADDTIMER", SOCKET: "b", TIMERNAME: "killer", INTERVAL: 0},
             {TYPE: "ADDTIMER", SOCKET: "b", TIMERNAME: "v1", INTERVAL: 0},
             {TYPE: "ADDTIMER", SOCKET: "b", TIMERNAME: "v2", INTERVAL: 0}];
}
function onTimer(n, t) {
  if (t == "once")
    actions.push({TYPE: "DELTIMER", SOCKET: n, TIMERNAME: t});
  if (t == "killer" && !killed) {
    killed = true;
    actions.push({TYPE: "DELTIMER", SOCKET: n, TIMERNAME: "v1"},
                 {TYPE: "DELTIMER", SOCKET: n, TIMERNAME: "v2"},
                 {TYPE: "ADDTIMER", SOCKET: n, TIMERNAME: "fresh", INTERVAL: 5});
  }
}
var killed = false;
)JS"));
    ASSERT_EQ(f.endpoint("a")->timers().size(), 2u);
    ASSERT_EQ(f.endpoint("b")->timers().size(), 3u);
    f.clearCalls();
    Tick(f, 3, QString());
    const QStringList calls = f.calls();
    EXPECT_EQ(calls.count("timer|a|once"), 1);  // deleted by its own firing
    EXPECT_GE(calls.count("timer|a|next"), 2);
    EXPECT_EQ(calls.count("timer|b|killer"), 3);
    EXPECT_EQ(calls.count("timer|b|v1"), 0);  // deleted before their turn
    EXPECT_EQ(calls.count("timer|b|v2"), 0);
    ASSERT_EQ(f.endpoint("b")->timers().size(), 2u);
    EXPECT_EQ(f.endpoint("b")->timers()[1]->name, "fresh");
    // Added on the first tick into a place the walk had still to come to:
    // counted from the second tick on, like any timer added during a tick.
    EXPECT_EQ(f.endpoint("b")->timers()[1]->counter, 2);
}

TEST(ScriptTimers, AFailingTimerCallEndsTheTick)
{
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "b"}];
  actions = [{TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "t", INTERVAL: 0},
             {TYPE: "ADDTIMER", SOCKET: "b", TIMERNAME: "t", INTERVAL: 3}];
}
var failA = true;
function onTimer(n, t) { if (n == "a" && failA) throw new Error("timer broke"); }
)JS"));
    ASSERT_EQ(CounterOf(f, "b", "t"), 0);
    EXPECT_THROW(f.host().tick(), ScriptError);
    EXPECT_EQ(CounterOf(f, "a", "t"), 0);
    EXPECT_EQ(CounterOf(f, "b", "t"), 0);  // not reached on that tick
    f.js("failA = false;");
    f.host().tick();
    EXPECT_EQ(CounterOf(f, "b", "t"), 1);
}

TEST(ScriptTimers, AcceptedConnectionsGetTimersInTheirOnConnect)
{
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() { sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv"}]; }
function onSocket(n, e, a, b) {
  if (e == "OnConnect")
    actions.push({TYPE: "ADDTIMER", SOCKET: n, TIMERNAME: "poll", INTERVAL: 1});
}
)JS"));
    auto *srv = qobject_cast<TcpServerEndpoint *>(f.endpoint("srv"));
    ASSERT_NE(srv, nullptr);
    ASSERT_NE(srv->listener(), nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, srv->listener()->serverPort());
    QPointer<Endpoint> conn;
    ASSERT_TRUE(WaitFor([&] {
        for (Endpoint *e : f.registry().connectionsOf(srv)) {
            if (!e->timers().empty())
                conn = e;
        }
        return !conn.isNull();
    }));
    EXPECT_EQ(Tick(f, 4, "timer|" + conn->name() + "|poll"), (QList<int> {2, 4}));
}

namespace {
// n TCP servers "s0".."s<n-1>", each with a timer due on every tick.
QString DueTimersScript(int n)
{
    return QStringLiteral(R"JS(
function OnInit() {
  sockets = [];
  for (var i = 0; i < %1; i++) {
    sockets.push({SOCKETTYPE: "TCP Server", PORT: "0", ID: "s" + i});
    actions.push({TYPE: "ADDTIMER", SOCKET: "s" + i, TIMERNAME: "t", INTERVAL: 0});
  }
}
)JS")
                              .arg(n);
}
}  // namespace

TEST(ScriptTimers, FewDueTimersRefreshThePanelsAfterEveryFiring)
{
    ScriptedCore f(DueTimersScript(3));
    RecordedRefreshes panels(f);
    f.clearCalls();
    f.host().tick();
    EXPECT_EQ(f.calls(),
              QStringList({"timer|s0|t", "refresh", "timer|s1|t", "refresh", "timer|s2|t", "refresh"}));
}

TEST(ScriptTimers, ManyDueTimersShareABoundedNumberOfRefreshesPerTick)
{
    // One refresh per firing would read all declarations once per firing:
    // seconds per tick with 1,000 endpoints.
    const int n = 40;
    ScriptedCore f(DueTimersScript(n));
    RecordedRefreshes panels(f);
    for (int tick = 1; tick <= 2; ++tick) {
        SCOPED_TRACE(tick);
        f.clearCalls();
        f.host().tick();
        const QStringList calls = f.calls();
        EXPECT_EQ(calls.filter(QRegularExpression("^timer\\|")).size(), n);
        const qsizetype refreshes = calls.count("refresh");
        EXPECT_GE(refreshes, 2);
        EXPECT_LE(refreshes, ScriptTimers::MaxRefreshesPerTick + 1);
        EXPECT_EQ(calls.value(calls.size() - 1), "refresh");  // the last firing is shown too
    }
}
