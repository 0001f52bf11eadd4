// Script timers on endpoints declared by a script, driven tick by tick
// through the main window's tick handler (its 100 ms timer is stopped).

#include "scriptfixture.h"

#include "common/errors.h"
#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/tmysocket.h"
#include "script/scripttimers.h"
#include "script/sockettimer.h"
#include "testsupport.h"

#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
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
QList<int> Tick(ScriptFixture &f, int n, const QString &call)
{
    QList<int> fired;
    for (int tick = 1; tick <= n; ++tick) {
        const qsizetype before = f.calls().count(call);
        f.wb().timers().Timer1Timer();
        if (f.calls().count(call) > before)
            fired.append(tick);
    }
    return fired;
}

void Act(ScriptFixture &f, const QString &actionsJs)
{
    f.js("actions = " + actionsJs + ";");
    f.wb().RunActions();
}

int CounterOf(ScriptFixture &f, const QString &endpoint, const QString &timer)
{
    TSocketTimer *t = ScriptTimers::FindTimer(f.endpoint(endpoint), timer);
    return t ? t->Counter : -1;
}

} // namespace

TEST(ScriptTimers, AddedTimersFireAfterIntervalPlusOneTicksAndRefreshThePanels)
{
    ScriptFixture f(QStringLiteral(R"JS(
var beats = 0;
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a",
              UI: [[{TYPE: "Button", ID: "beat", TEXT: "0"}]]}];
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "hb", INTERVAL: 9});
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "hb", INTERVAL: 0});  // kept at 9
  actions.push({TYPE: "ADDTIMER", SOCKET: "a", TIMERNAME: "fast"});             // no interval: 0
  actions.push({TYPE: "ADDTIMER", SOCKET: "nobody", TIMERNAME: "x", INTERVAL: 1});
}
function onTimer(n, t) {
  if (t != "hb") return;
  beats++;
  findUi("a", "beat").TEXT = String(beats);
  actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "beat " + beats});
}
)JS"));
    TMySocket *a = f.endpoint("a");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->timers.size(), 2u);
    EXPECT_EQ(a->timers[0]->Interval, 9);
    auto *beat = a->window->findChild<QPushButton *>("beat");
    ASSERT_NE(beat, nullptr);

    EXPECT_EQ(Tick(f, 30, "timer|a|hb"), (QList<int>{10, 20, 30}));
    EXPECT_EQ(f.calls().count("timer|a|fast"), 30);
    // Each firing: the caption follows `sockets` at once, and the actions ran.
    EXPECT_EQ(beat->text(), "3");
    EXPECT_TRUE(WaitFor([&] { return a->window->Memo2->text().contains("beat 3"); }));
}

TEST(ScriptTimers, SetTimerChangesTheIntervalButNotTheCount)
{
    ScriptFixture f(QString::fromLatin1(TwoServers));
    ASSERT_NE(f.endpoint("a"), nullptr);
    Act(f, "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:100}]");
    EXPECT_TRUE(Tick(f, 50, "timer|a|t").isEmpty());
    EXPECT_EQ(CounterOf(f, "a", "t"), 50);

    Act(f, "[{TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:4}]");
    EXPECT_EQ(Tick(f, 1, "timer|a|t"), QList<int>{1});  // 50 is past 4: due now

    EXPECT_TRUE(Tick(f, 3, "timer|a|t").isEmpty());
    Act(f, "[{TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:100},"
           " {TYPE:'SETTIMER', SOCKET:'a', TIMERNAME:'missing', INTERVAL:1}]");
    EXPECT_EQ(Tick(f, 98, "timer|a|t"), QList<int>{98});
    EXPECT_EQ(f.endpoint("a")->timers.size(), 1u);
}

TEST(ScriptTimers, DeletingAndAddingAgainRestartsTheCount)
{
    ScriptFixture f(QString::fromLatin1(TwoServers));
    Act(f, "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:5}]");
    Tick(f, 3, "timer|a|t");
    EXPECT_EQ(CounterOf(f, "a", "t"), 3);
    Act(f, "[{TYPE:'DELTIMER', SOCKET:'a', TIMERNAME:'t'},"
           " {TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:5}]");
    EXPECT_EQ(CounterOf(f, "a", "t"), 0);
    EXPECT_EQ(Tick(f, 6, "timer|a|t"), QList<int>{6});
}

TEST(ScriptTimers, SameNamesOnTwoEndpointsAreIndependent)
{
    ScriptFixture f(QString::fromLatin1(TwoServers));
    Act(f, "[{TYPE:'ADDTIMER', SOCKET:'a', TIMERNAME:'t', INTERVAL:0},"
           " {TYPE:'ADDTIMER', SOCKET:'b', TIMERNAME:'t', INTERVAL:2}]");
    f.clearCalls();
    Tick(f, 3, QString());
    // Registry order within a tick; each call carries its own endpoint.
    EXPECT_EQ(f.calls(), (QStringList{"timer|a|t", "timer|a|t", "timer|a|t", "timer|b|t"}));
    Act(f, "[{TYPE:'DELTIMER', SOCKET:'b', TIMERNAME:'t'}]");
    EXPECT_NE(ScriptTimers::FindTimer(f.endpoint("a"), "t"), nullptr);
    EXPECT_EQ(ScriptTimers::FindTimer(f.endpoint("b"), "t"), nullptr);
}

TEST(ScriptTimers, ActionsOfAFiringMayChangeTheListBeingWalked)
{
    ScriptFixture f(QStringLiteral(R"JS(
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
    ASSERT_EQ(f.endpoint("a")->timers.size(), 2u);
    ASSERT_EQ(f.endpoint("b")->timers.size(), 3u);
    f.clearCalls();
    Tick(f, 3, QString());
    const QStringList calls = f.calls();
    EXPECT_EQ(calls.count("timer|a|once"), 1);  // deleted by its own firing
    EXPECT_GE(calls.count("timer|a|next"), 2);
    EXPECT_EQ(calls.count("timer|b|killer"), 3);
    EXPECT_EQ(calls.count("timer|b|v1"), 0);  // deleted before their turn
    EXPECT_EQ(calls.count("timer|b|v2"), 0);
    ASSERT_EQ(f.endpoint("b")->timers.size(), 2u);
    EXPECT_EQ(f.endpoint("b")->timers[1]->Name, "fresh");
    // Added on the first tick into a place the walk had still to come to:
    // counted from the second tick on, like any timer added during a tick.
    EXPECT_EQ(f.endpoint("b")->timers[1]->Counter, 2);
}

TEST(ScriptTimers, AFailingTimerCallEndsTheTick)
{
    ScriptFixture f(QStringLiteral(R"JS(
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
    EXPECT_THROW(f.wb().timers().Timer1Timer(), ScriptError);
    EXPECT_EQ(CounterOf(f, "a", "t"), 0);
    EXPECT_EQ(CounterOf(f, "b", "t"), 0);  // not reached on that tick
    f.js("failA = false;");
    f.wb().timers().Timer1Timer();
    EXPECT_EQ(CounterOf(f, "b", "t"), 1);
}

TEST(ScriptTimers, AcceptedConnectionsGetTimersInTheirOnConnect)
{
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() { sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv"}]; }
function onSocket(n, e, a, b) {
  if (e == "OnConnect")
    actions.push({TYPE: "ADDTIMER", SOCKET: n, TIMERNAME: "poll", INTERVAL: 1});
}
)JS"));
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    auto *server = qobject_cast<QTcpServer *>(srv->component.data());
    ASSERT_NE(server, nullptr);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server->serverPort());
    QPointer<TMySocket> conn;
    ASSERT_TRUE(WaitFor([&] {
        for (int i = 0; i < f.wb().registry().count(); ++i) {
            TMySocket *r = f.wb().registry().at(i);
            if (r->kind == Kind::TcpServerClient && !r->timers.empty())
                conn = r;
        }
        return !conn.isNull();
    }));
    EXPECT_EQ(Tick(f, 4, "timer|" + conn->name() + "|poll"), (QList<int>{2, 4}));
}

namespace {
// n TCP servers "s0".."s<n-1>", each with an edit "e" and a timer due on
// every tick whose firing sets that edit's TEXT; json2str counts the panel
// refreshes (every read of `sockets`).
QString EditTimersScript(int n)
{
    return QStringLiteral(R"JS(
var refreshes = 0;
json2str = function (v) { if (v === sockets) refreshes++; return JSON.stringify(v); };
function OnInit() {
  sockets = [];
  for (var i = 0; i < %1; i++) {
    sockets.push({SOCKETTYPE: "TCP Server", PORT: "0", ID: "s" + i,
                  UI: [[{TYPE: "Edit", ID: "e", TEXT: ""}]]});
    actions.push({TYPE: "ADDTIMER", SOCKET: "s" + i, TIMERNAME: "t", INTERVAL: 0});
  }
}
var fired = 0;
function onTimer(n, t) { fired++; findUi(n, "e").TEXT = "fired " + fired; }
)JS").arg(n);
}
} // namespace

TEST(ScriptTimers, FewDueTimersRefreshThePanelsAfterEveryFiring)
{
    ScriptFixture f(EditTimersScript(3));
    f.clearCalls();
    f.js("refreshes = 0;");
    f.wb().timers().Timer1Timer();
    EXPECT_EQ(f.js("refreshes"), "3");
    // Each edit change comes right after its own firing, before the next one.
    EXPECT_EQ(f.calls().filter(QRegularExpression("^(timer|edit)")),
              QStringList({"timer|s0|t", "edit|s0|e|fired 1", "timer|s1|t", "edit|s1|e|fired 2",
                           "timer|s2|t", "edit|s2|e|fired 3"}));
}

TEST(ScriptTimers, ManyDueTimersShareABoundedNumberOfRefreshesPerTick)
{
    // One refresh per firing would read all declarations once per firing:
    // seconds per tick with 1,000 endpoints.
    const int n = 40;
    ScriptFixture f(EditTimersScript(n));
    for (int tick = 1; tick <= 2; ++tick) {
        f.clearCalls();
        f.js("refreshes = 0;");
        f.wb().timers().Timer1Timer();
        const int refreshes = f.js("refreshes").toInt();
        EXPECT_GE(refreshes, 2);
        EXPECT_LE(refreshes, ScriptTimers::MaxRefreshesPerTick + 1);
        EXPECT_EQ(f.callsStartingWith("timer|").size(), n);
        // After the tick every panel shows what its last firing set, and each
        // change was told to the script once.
        EXPECT_EQ(f.callsStartingWith("edit|").size(), n) << "tick " << tick;
        for (int i = 0; i < n; ++i) {
            auto *edit = f.endpoint(QStringLiteral("s%1").arg(i))->window->findChild<QLineEdit *>("e");
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), QStringLiteral("fired %1").arg((tick - 1) * n + i + 1));
        }
    }
}
