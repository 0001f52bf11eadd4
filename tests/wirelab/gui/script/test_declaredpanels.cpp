// The window's side of a scripted workspace: the window while the build
// runs, the script output pane, and the declared panels (rows of buttons,
// edits and labels) with their refresh after clicks, edits, accepted
// connections and timer firings.

#include "scriptedwindow.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/script/scripttimers.h"
#include "core/workbench/panels.h"
#include "gui/datawindow.h"
#include "gui/logpane.h"

#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

template<class T>
T *Named(ScriptedWindow &f, const char *name)
{
    return f.window().findChild<T *>(QLatin1String(name));
}

LogPane *OutputPane(ScriptedWindow &f) { return Named<LogPane>(f, "ScriptOutput"); }

// The panel rows of an endpoint's data window, top to bottom.
QList<QGroupBox *> Rows(ScriptedWindow &f, const Endpoint *e)
{
    QList<QGroupBox *> rows;
    if (auto *host = f.control<QWidget>(e, "Panel4")) {
        for (QGroupBox *box : host->findChildren<QGroupBox *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (box->objectName().isEmpty())
                rows << box;
        }
    }
    return rows;
}

// The window is usable again after the build, whatever happened in it.
void ExpectReleased(ScriptedWindow &f)
{
    EXPECT_TRUE(f.built);
    EXPECT_TRUE(f.window().isEnabled());
    EXPECT_FALSE(Named<QTreeWidget>(f, "TreeView1")->isHidden());
    EXPECT_TRUE(Named<QWidget>(f, "Panel2Caption")->isHidden());
}

}  // namespace

TEST(ScriptedWorkspace, BuildsWithTheWindowDisabledAndTheTreeHidden)
{
    // Both declared servers find their port taken, so each creation shows a
    // box: what the box sees is the window during the build.
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::AnyIPv4, 0));
    QStringList seen;  // enabled, tree hidden, loading caption hidden
    ScriptedWindow::Options options;
    options.onMessage = [&](ScriptedWindow &f) {
        seen << QStringLiteral("%1 %2 %3")
                                   .arg(f.window().isEnabled())
                                   .arg(Named<QTreeWidget>(f, "TreeView1")->isHidden())
                                   .arg(Named<QWidget>(f, "Panel2Caption")->isHidden());
    };
    ScriptedWindow f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "%1", ID: "one"},
             {SOCKETTYPE: "TCP Server", PORT: "%1", ID: "two"}];
}
)JS")
                                        .arg(busy.serverPort()),
                                    options);
    ExpectReleased(f);
    EXPECT_EQ(seen, (QStringList {QStringLiteral("0 1 0"), QStringLiteral("0 1 0")}));
    EXPECT_EQ(f.registry().count(), 2);
}

TEST(ScriptedWorkspace, TheOutputPaneShowsWhatTheBuildReports)
{
    const struct
    {
        const char *script;
        const char *reported;  // "": nothing, and the pane stays closed
    } cases[] = {
        {"function OnInit() {\n throw new Error('broken'); }", "test.js:2: OnInit threw: Error: broken"},
        {"function OnInit() {} function json2str(v) { return ''; }", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        ScriptedWindow f(QString::fromLatin1(c.script));
        ExpectReleased(f);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        LogPane *pane = OutputPane(f);
        ASSERT_NE(pane, nullptr);
        EXPECT_TRUE(pane->text().endsWith(QString::fromLatin1(c.reported))) << pane->text().toStdString();
        EXPECT_EQ(pane->isVisible(), *c.reported != 0);
    }
}

TEST(DeclaredPanels, RowsButtonsEditsAndLabelsAreBuiltInOrder)
{
    ScriptedWindow f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
      [{TYPE: "Button", ID: "btnGo", TEXT: "Go"}, {TYPE: "Edit", ID: "edAddr", TEXT: "abc"},
       {TYPE: "Label", TEXT: "Status", WIDTH: 80}],
      [{TYPE: "Label", TEXT: "no width"}, {TYPE: "Slider", ID: "s1"},
       {TYPE: "Button", TEXT: "one"}, {TYPE: "Button", TEXT: "two"}]
    ]},
    {SOCKETTYPE: "tcp server", PORT: "0", ID: "lower", UI: [[{TYPE: "Button", ID: "stray", TEXT: "s"}]]},
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "bare"}
  ];
}
)JS"));
    ExpectReleased(f);
    Endpoint *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    const QList<QGroupBox *> rows = Rows(f, srv);
    ASSERT_EQ(rows.size(), 2);
    for (QGroupBox *row : rows)
        EXPECT_EQ(row->height(), 40);
    // Past the welcome panel ("进入软件"; data windows have a suiButton1 of
    // their own), with srv's window shown: it gets laid out.
    Named<QWidget>(f, "Panel3")->findChild<QPushButton *>("suiButton1")->click();
    ASSERT_FALSE(f.window().welcomeVisible());
    f.window().selectEndpoint(srv);
    ASSERT_TRUE(WaitFor([&] { return rows[1]->y() > 0; }));
    EXPECT_LT(rows[0]->y(), rows[1]->y());
    EXPECT_LE(rows[1]->y() + 40, f.control<QWidget>(srv, "GroupBox3")->y());  // above the receive area

    auto *go = rows[0]->findChild<QPushButton *>("btnGo");
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(go->text(), "Go");
    auto *edit = rows[0]->findChild<QLineEdit *>("edAddr");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "abc");
    const QList<QLabel *> labels0 = rows[0]->findChildren<QLabel *>();
    ASSERT_EQ(labels0.size(), 1);
    EXPECT_EQ(labels0[0]->text(), "Status");
    EXPECT_EQ(labels0[0]->width(), 80);
    EXPECT_TRUE(labels0[0]->objectName().isEmpty());
    EXPECT_LT(go->x(), edit->x());
    EXPECT_LT(edit->x(), labels0[0]->x());

    const QList<QLabel *> labels1 = rows[1]->findChildren<QLabel *>();
    ASSERT_EQ(labels1.size(), 1);
    EXPECT_EQ(labels1[0]->width(), 0);
    EXPECT_EQ(rows[1]->findChildren<QPushButton *>().size(), 2);  // unnamed ones coexist
    EXPECT_EQ(f.control<QWidget>(srv, "s1"), nullptr);

    // An unknown kind builds no panel anywhere.
    EXPECT_EQ(f.window().findChild<QPushButton *>("stray"), nullptr);
    EXPECT_TRUE(Rows(f, f.endpoint("bare")).isEmpty());
    // Setting the initial text told the script, under the endpoint's new name.
    EXPECT_EQ(f.callsOf("edit"), QStringList {"edit|srv|edAddr|abc"});
}

TEST(DeclaredPanels, ANameTheWindowRefusesEndsTheBuildButKeepsWhatWasMade)
{
    // A name that is not an identifier, and one that a control of the data
    // window already has (case ignored).
    const QStringList bad = {
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Button", ID: "1go", TEXT: "x"}]]})",
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Edit", ID: "memo2", TEXT: "x"}]]})",
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Button", ID: "Go"}], [{TYPE: "Edit", ID: "GO"}]]})",
    };
    for (const QString &declaration : bad) {
        SCOPED_TRACE(declaration.toStdString());
        ScriptedWindow f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "ok"}, %1,
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "after"}];
  actions.push({TYPE: "DISPLAY", SOCKET: "ok", DATA: "ran"});
}
)JS")
                                            .arg(declaration));
        ExpectReleased(f);
        Endpoint *ok = f.endpoint("ok");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(f.endpoint("after"), nullptr);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        EXPECT_TRUE(OutputPane(f)->text().startsWith(QStringLiteral("sockets[1]: ")))
                    << OutputPane(f)->text().toStdString();
        // Rejected names leave no widget behind, and the executor still ran.
        EXPECT_EQ(f.window().findChildren<QPushButton *>("1go").size(), 0);
        EXPECT_TRUE(WaitFor([&] { return f.paneText(ok).contains("ran"); }));
    }
}

namespace {
const char *ClickScript = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
    [{TYPE: "Button", ID: "btnGo", TEXT: "Go"}, {TYPE: "Edit", ID: "edAddr", TEXT: "abc"}]]}];
}
function onClick(n, id) {
  if (typeof failNext != "undefined" && failNext) throw new Error("click failed");
  findUi("srv", "btnGo").TEXT = "Stop";
  findUi("srv", "edAddr").TEXT = "xyz";
  actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "clicked " + id});
}
function onEdit(n, id, t) { actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "edited " + t}); }
)JS";
}  // namespace

TEST(DeclaredPanels, AClickRefreshesCaptionsAndTextsThenRunsTheActions)
{
    ScriptedWindow f(QString::fromLatin1(ClickScript));
    Endpoint *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    auto *go = f.control<QPushButton>(srv, "btnGo");
    auto *edit = f.control<QLineEdit>(srv, "edAddr");
    ASSERT_TRUE(go && edit);
    f.js("actions=[{TYPE:'DISPLAY',SOCKET:'srv',DATA:'pending'}];");
    f.clearCalls();

    // A failing click: its box, and beside it the pane with file and line;
    // the panel stays as it was and no actions run.
    f.js("var failNext = true;");
    go->click();
    ASSERT_EQ(f.messages.texts.size(), 1);
    EXPECT_TRUE(f.messages.texts[0].contains("click failed"));
    EXPECT_TRUE(OutputPane(f)->text().contains(QRegularExpression("test\\.js:\\d+: .*click failed")))
        << OutputPane(f)->text().toStdString();
    EXPECT_EQ(go->text(), "Go");
    EXPECT_EQ(f.js("actions.length"), "1");
    f.js("failNext = false; actions = [];");
    f.clearCalls();

    go->click();
    EXPECT_EQ(go->text(), "Stop");
    EXPECT_EQ(edit->text(), "xyz");
    EXPECT_EQ(f.calls(), (QStringList {"click|srv|btnGo", "edit|srv|edAddr|xyz"}));
    // The refresh's edit change queued an action; the click's run carried out both.
    EXPECT_TRUE(WaitFor([&] {
        const QString log = f.paneText(srv);
        return log.contains("clicked btnGo") && log.contains("edited xyz");
    }));
    EXPECT_EQ(f.js("actions.length"), "0");

    // Typing tells the script the whole new text, once per change.
    f.clearCalls();
    QTest::keyClicks(edit, "d");
    EXPECT_EQ(f.calls(), QStringList {"edit|srv|edAddr|xyzd"});
}

TEST(DeclaredPanels, APanelDeclaredInOnConnectIsBuiltForTheAcceptedConnection)
{
    ScriptedWindow f(QStringLiteral(R"JS(
function OnInit() { sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv"}]; }
function onSocket(n, e, a, b) {
  if (e == "OnConnect" && n.indexOf("srv_") == 0)
    sockets.push({ID: n, UI: [[{TYPE: "Button", ID: "kick", TEXT: "Kick " + b},
                               {TYPE: "Edit", ID: "peer", TEXT: a}]]});
}
function onClick(n, id) { findUi(n, "kick").TEXT = "Kicked"; }
)JS"));
    auto *srv = qobject_cast<TcpServerEndpoint *>(f.endpoint("srv"));
    ASSERT_TRUE(srv && srv->listener());

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, srv->listener()->serverPort());
    QPointer<Endpoint> conn;
    ASSERT_TRUE(WaitFor([&] {
        const QList<Endpoint *> connections = f.registry().connectionsOf(srv);
        conn = connections.isEmpty() ? nullptr : connections[0];
        return conn && f.control<QPushButton>(conn, "kick");
    }));
    const QString name = conn->name();
    EXPECT_TRUE(name.startsWith("srv_"));
    auto *kick = f.control<QPushButton>(conn, "kick");
    EXPECT_EQ(kick->text(), "Kick " + name.mid(4));
    EXPECT_EQ(f.control<QLineEdit>(conn, "peer")->text(), "127.0.0.1");
    EXPECT_TRUE(f.calls().contains("edit|" + name + "|peer|127.0.0.1"));
    EXPECT_TRUE(Rows(f, srv).isEmpty());  // the server's own window is untouched

    kick->click();
    EXPECT_EQ(kick->text(), "Kicked");
    EXPECT_TRUE(f.calls().contains("click|" + name + "|kick"));
}

TEST(DeclaredPanels, ManyDueTimersLeaveEveryPanelShowingItsLastFiring)
{
    // n servers with an edit "e" each and a timer due on every tick whose
    // firing sets that edit's TEXT: more than the refreshes a tick holds.
    const int n = 40;
    ASSERT_GT(n, ScriptTimers::MaxRefreshesPerTick);
    ScriptedWindow f(QStringLiteral(R"JS(
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
)JS")
                                        .arg(n));
    for (int tick = 1; tick <= 2; ++tick) {
        SCOPED_TRACE(tick);
        f.clearCalls();
        f.host().tick();
        // Each change was told to the script once, and every panel shows it.
        EXPECT_EQ(f.callsOf("edit").size(), n);
        for (int i = 0; i < n; ++i) {
            auto *edit = f.control<QLineEdit>(f.endpoint(QStringLiteral("s%1").arg(i)), "e");
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), QStringLiteral("fired %1").arg((tick - 1) * n + i + 1));
        }
    }
}

// The panels refuse the names of the window's own controls without a
// window to ask: a new named control must be among them.
TEST(DeclaredPanels, EveryNameOfADataWindowIsRefusedToItsPanels)
{
    ScriptedWindow f;
    const Endpoint *c = f.tcpClient(QStringLiteral("c"), 9);
    ASSERT_NE(f.control<QWidget>(c, "Panel4"), nullptr);
    QStringList unreserved;
    for (QObject *o : f.dataWindow(c)->findChildren<QObject *>()) {
        if (!o->objectName().isEmpty()
            && !Panels::reservedNames().contains(o->objectName(), Qt::CaseInsensitive))
            unreserved << o->objectName();
    }
    EXPECT_TRUE(unreserved.isEmpty()) << unreserved.join(u' ').toStdString();
}

// The refresh finds the window's own controls by name as well: their texts
// follow `sockets` without a call to the script.
TEST(DeclaredPanels, TheRefreshReachesTheWindowsOwnControls)
{
    ScriptedWindow f(QStringLiteral(R"JS(
function OnInit() { sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [[{TYPE: "Button", ID: "go"}]]}]; }
function onClick(n, id) {
  sockets.push({ID: "srv", UI: [[{TYPE: "Edit", ID: "edit_TIME", TEXT: "7"}, {TYPE: "Button", ID: "button_11", TEXT: "Fire"}]]});
}
)JS"));
    Endpoint *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    f.clearCalls();
    f.control<QPushButton>(srv, "go")->click();
    EXPECT_EQ(f.control<QLineEdit>(srv, "Edit_time")->text(), "7");
    EXPECT_EQ(f.control<QPushButton>(srv, "Button_11")->text(), "Fire");
    EXPECT_EQ(f.calls(), QStringList {"click|srv|go"});
}
