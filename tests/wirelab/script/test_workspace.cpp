// Workspaces built from real scripts at the first activation: the declared
// endpoints of every kind, the build's stopping rules, the panels and what a
// click, an edit and an accepted connection do with them.

#include "scriptfixture.h"

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/tmysocket.h"
#include "script/workspace.h"
#include "testsupport.h"

#include <QFile>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

int FreeUdpPort()
{
    QUdpSocket s;
    return s.bind(QHostAddress::AnyIPv4, 0) ? s.localPort() : 0;
}

int ListeningPort(TMySocket *server)
{
    auto *s = server ? qobject_cast<QTcpServer *>(server->component.data()) : nullptr;
    return s ? s->serverPort() : 0;
}

QList<QGroupBox *> Rows(TFrmData *window)
{
    QList<QGroupBox *> rows;
    QVBoxLayout *layout = window->panelRowsLayout();
    for (int i = 0; i < layout->count(); ++i) {
        if (auto *row = qobject_cast<QGroupBox *>(layout->itemAt(i)->widget()))
            rows.append(row);
    }
    return rows;
}

// The workbench is usable again after the build, whatever happened in it.
void ExpectReleased(ScriptFixture &f)
{
    EXPECT_TRUE(f.built);
    EXPECT_TRUE(f.form->isEnabled());
    EXPECT_FALSE(f.form->TreeView1->isHidden());
    EXPECT_TRUE(f.form->LoadingLabel->isHidden());
}

TMySocket *FirstOfKind(Workbench &wb, const QString &kind)
{
    for (int i = 0; i < wb.registry().count(); ++i) {
        if (wb.registry().at(i)->kind == kind)
            return wb.registry().at(i);
    }
    return nullptr;
}

} // namespace

TEST(WorkspaceBuild, EveryKindIsCreatedFromItsDeclarationAndNamed)
{
    const int udpServerPort = FreeUdpPort();
    const int udpClientPort = FreeUdpPort();
    const int groupPort = FreeUdpPort();
    QTcpServer peer;  // the TCP client's destination, never connected to here
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: "0", HEX: "1", ID: "srv"},
    {SOCKETTYPE: "TCP Client", PORT: %1, HOST: "127.0.0.1", ID: "cli"},
    {SOCKETTYPE: "UDP Server", PORT: %2, HEX: 0, ID: "usrv"},
    {SOCKETTYPE: "UDP Client", REMOTEPORT: "9", LOCALPORT: %3, HOST: "127.0.0.1", HEX: 1, ID: "ucli"},
    {SOCKETTYPE: "UDP Group", GROUPADDR: "239.255.42.7", PORT: %4, HEX: "1", ID: "grp"}
  ];
  actions.push({TYPE: "DISPLAY", SOCKET: "srv", DATA: "workspace ready"});
}
)JS").arg(peer.serverPort()).arg(udpServerPort).arg(udpClientPort).arg(groupPort));
    ExpectReleased(f);
    ASSERT_EQ(f.wb().registry().count(), 5);

    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    EXPECT_EQ(srv->kind, Kind::TcpServer);
    EXPECT_EQ(srv->state, 1);
    EXPECT_TRUE(srv->window->hexMode());

    TMySocket *cli = f.endpoint("cli");
    ASSERT_NE(cli, nullptr);
    EXPECT_EQ(cli->kind, Kind::TcpClient);
    EXPECT_EQ(cli->remotePort, int(peer.serverPort()));
    EXPECT_EQ(cli->remoteHost, "127.0.0.1");
    EXPECT_FALSE(cli->window->hexMode());  // HEX left out: off, and the build goes on

    TMySocket *usrv = f.endpoint("usrv");
    ASSERT_NE(usrv, nullptr);
    EXPECT_EQ(usrv->kind, Kind::UdpServer);
    EXPECT_EQ(usrv->localPort, udpServerPort);  // PORT is the server's local port
    EXPECT_FALSE(usrv->window->hexMode());

    TMySocket *ucli = f.endpoint("ucli");
    ASSERT_NE(ucli, nullptr);
    EXPECT_EQ(ucli->kind, Kind::UdpClient);
    EXPECT_EQ(ucli->localPort, udpClientPort);
    EXPECT_EQ(ucli->remotePort, 9);
    EXPECT_TRUE(ucli->window->hexMode());

    TMySocket *grp = f.endpoint("grp");
    ASSERT_NE(grp, nullptr);
    EXPECT_EQ(grp->kind, Kind::UdpGroup);
    EXPECT_EQ(grp->groupAddress, "239.255.42.7");  // GROUPADDR is the group address
    EXPECT_EQ(grp->groupPort, groupPort);

    // Each node sits under the root of its kind.
    for (TMySocket *r : {srv, cli, usrv, ucli, grp}) {
        ASSERT_NE(r->node, nullptr);
        EXPECT_EQ(static_cast<QTreeWidgetItem *>(r->node)->parent()->text(0), r->kind);
    }

    // The executor ran once after the loop.
    EXPECT_TRUE(WaitFor([&] { return srv->window->Memo2->text().contains("workspace ready"); }));
    EXPECT_EQ(f.js("actions.length"), "0");
}

TEST(WorkspaceBuild, AnEmptySocketsArrayCreatesNothingAndRunsNoActions)
{
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() { actions.push({TYPE: "DISPLAY", SOCKET: "none", DATA: "x"}); }
)JS"));
    ExpectReleased(f);
    EXPECT_EQ(f.wb().registry().count(), 0);
    EXPECT_EQ(f.js("actions.length"), "1");  // no executor run cleared it
}

TEST(WorkspaceBuild, NoUsableOnInitLeavesTheTreeToTheUser)
{
    // Each failure but an empty declaration text is told, without a box, in
    // the script output pane (and on standard error).
    const struct {
        const char *script;
        const char *reported;
    } cases[] = {
        {"var nothing = 1;", "OnInit threw: ReferenceError: OnInit is not defined"},
        {"function OnInit() {\n throw new Error('broken'); }", "test.js:2: OnInit threw: Error: broken"},
        {"function OnInit() {} function json2str(v) { return '{not json'; }",
         "json2str(sockets) did not give JSON: {not json; no endpoints built"},
        {"function OnInit() {} function json2str(v) { return ''; }", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        ScriptFixture f(QString::fromLatin1(c.script));
        ExpectReleased(f);
        EXPECT_EQ(f.wb().registry().count(), 0);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        EXPECT_TRUE(f.wb().workspace().built());
        const QString pane = f.form->ScriptOutputPane->text();
        EXPECT_EQ(pane.endsWith(QString::fromLatin1(c.reported)), true) << pane.toStdString();
        EXPECT_EQ(f.form->ScriptOutputPane->isVisible(), *c.reported != 0);
    }
}

TEST(WorkspaceBuild, AnUnknownKindCreatesNothingAndRenamesNothing)
{
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "first"},
    {SOCKETTYPE: "tcp server", PORT: "0", ID: "lower", UI: [[{TYPE: "Button", ID: "stray", TEXT: "s"}]]},
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "third"}
  ];
}
)JS"));
    ExpectReleased(f);
    EXPECT_EQ(f.wb().registry().count(), 2);
    TMySocket *first = f.endpoint("first");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(f.endpoint("lower"), nullptr);
    EXPECT_EQ(first->window->findChild<QPushButton *>("stray"), nullptr);
    EXPECT_NE(f.endpoint("third"), nullptr);
}

TEST(WorkspaceBuild, AFailingDeclarationEndsTheLoopButKeepsWhatWasMade)
{
    // A non-number, a name that is not an identifier, and a name that a
    // designed control of the data window already has (case ignored).
    const QStringList bad = {
        R"({SOCKETTYPE: "TCP Client", PORT: "abc", HOST: "127.0.0.1", ID: "bad"})",
        R"({SOCKETTYPE: "TCP Client", PORT: "1", HOST: "HEXA", HEX: "1", ID: "bad"})",
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Button", ID: "1go", TEXT: "x"}]]})",
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Edit", ID: "memo2", TEXT: "x"}]]})",
        R"({SOCKETTYPE: "TCP Server", PORT: "0", ID: "bad", UI: [[{TYPE: "Button", ID: "Go"}], [{TYPE: "Edit", ID: "GO"}]]})",
    };
    for (const QString &declaration : bad) {
        SCOPED_TRACE(declaration.toStdString());
        ScriptFixture f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "ok"}, %1,
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "after"}];
  actions.push({TYPE: "DISPLAY", SOCKET: "ok", DATA: "ran"});
}
)JS").arg(declaration));
        ExpectReleased(f);
        TMySocket *ok = f.endpoint("ok");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(f.endpoint("after"), nullptr);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        EXPECT_TRUE(f.form->ScriptOutputPane->text().startsWith(QStringLiteral("sockets[1]: ")));
        // Rejected names leave no widget behind, and the executor still ran.
        EXPECT_EQ(ok->window->findChildren<QPushButton *>("1go").size(), 0);
        EXPECT_EQ(f.js("actions.length"), "0");
    }
}

TEST(WorkspaceBuild, OnInitsActionsRunOnceAfterTheBuildWhateverRunsBetweenTheDeclarations)
{
    // The box of the busy port runs an executor of its own in the middle of
    // the build: it must neither take OnInit's actions before "late" exists
    // nor leave them to be lost.
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::AnyIPv4, 0));
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"},
             {SOCKETTYPE: "TCP Server", PORT: "%1", ID: "busy"},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "late"}];
  actions.push({TYPE: "DISPLAY", SOCKET: "late", DATA: "init"});
  actions.push({TYPE: "DISPLAY", SOCKET: "a", DATA: "init"});
}
)JS").arg(busy.serverPort()),
                    [](ScriptFixture &f) {
                        f.js("actions.push({TYPE: 'DISPLAY', SOCKET: 'a', DATA: 'nested'});");
                        f.wb().RunActions();
                    });
    ExpectReleased(f);
    ASSERT_NE(f.endpoint("late"), nullptr);
    EXPECT_EQ(f.endpoint("late")->window->Memo2->text(), "init");
    EXPECT_EQ(f.endpoint("a")->window->Memo2->text(), "nested\ninit");
    EXPECT_EQ(f.js("actions.length"), "0");
}

TEST(WorkspaceBuild, RunsWithTheTreeHiddenAndTheWindowDisabledLettingEventsThroughBetweenElements)
{
    // Both declared servers find their port taken, so each creation shows a
    // box: what the box sees is the state of the build at that element.
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::AnyIPv4, 0));
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("build.js")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral(R"JS(
var sockets = [], actions = [];
function json2str(v) { return JSON.stringify(v); }
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "%1", ID: "one"},
             {SOCKETTYPE: "TCP Server", PORT: "%1", ID: "two"}];
}
)JS").arg(busy.serverPort()).toUtf8());
    script.close();
    QFile project(dir.filePath(QStringLiteral("project.txt")));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write(script.fileName().toUtf8());
    project.close();

    MessageRecorder boxes;
    TForm1 *form = nullptr;
    bool posted = false, delivered = false;
    QStringList seen;  // enabled, tree hidden, posted event delivered
    boxes.onMessage = [&](const QString &) {
        seen << QStringLiteral("%1 %2 %3").arg(form->isEnabled()).arg(form->TreeView1->isHidden()).arg(delivered);
        if (!posted) {
            posted = true;
            QTimer::singleShot(0, [&] { delivered = true; });
        }
    };
    TForm1 window(project.fileName());
    form = &window;
    window.Timer1->stop();
    QSignalSpy done(&window, &TForm1::firstActivationDone);
    window.show();
    ASSERT_TRUE(done.count() > 0 || done.wait(10000));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("0 1 0"), QStringLiteral("0 1 1")}));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_FALSE(window.TreeView1->isHidden());
    EXPECT_EQ(window.workbench().registry().count(), 2);
}

TEST(WorkspacePanels, RowsButtonsEditsAndLabelsAreBuiltInOrder)
{
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
      [{TYPE: "Button", ID: "btnGo", TEXT: "Go"}, {TYPE: "Edit", ID: "edAddr", TEXT: "abc"},
       {TYPE: "Label", TEXT: "Status", WIDTH: 80}],
      [{TYPE: "Label", TEXT: "no width"}, {TYPE: "Slider", ID: "s1"},
       {TYPE: "Button", TEXT: "one"}, {TYPE: "Button", TEXT: "two"}]
    ]},
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "bare"}
  ];
}
)JS"));
    ExpectReleased(f);
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    TFrmData *w = srv->window;
    const QList<QGroupBox *> rows = Rows(w);
    ASSERT_EQ(rows.size(), 2);
    for (QGroupBox *row : rows) {
        EXPECT_EQ(row->height(), 40);
        EXPECT_EQ(row->parentWidget(), w->Panel4);
    }
    f.form->suiButton1->click();  // past the welcome panel: the windows get laid out
    ASSERT_TRUE(WaitFor([&] { return rows[1]->y() > 0; }));
    EXPECT_LT(rows[0]->y(), rows[1]->y());
    EXPECT_LE(rows[1]->y() + 40, w->GroupBox3->y());  // above the receive area

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
    EXPECT_EQ(w->findChild<QWidget *>("s1"), nullptr);

    EXPECT_TRUE(Rows(f.endpoint("bare")->window).isEmpty());
    // Setting the initial text told the script, under the endpoint's new name.
    EXPECT_EQ(f.callsStartingWith("edit|"), QStringList{"edit|srv|edAddr|abc"});
}

namespace {
const char *ClickScript = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv", UI: [
    [{TYPE: "Button", ID: "btnGo", TEXT: "Go"}, {TYPE: "Edit", ID: "edAddr", TEXT: "abc"}]]}];
}
function onClick(n, id) {
  if (typeof failNext != "undefined") throw new Error("click failed");
  findUi("srv", "btnGo").TEXT = "Stop";
  findUi("srv", "edAddr").TEXT = "xyz";
  actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "clicked " + id});
}
function onEdit(n, id, t) { actions.push({TYPE: "DISPLAY", SOCKET: n, DATA: "edited " + t}); }
)JS";
} // namespace

TEST(WorkspacePanels, AClickRefreshesCaptionsAndTextsThenRunsTheActions)
{
    ScriptFixture f(QString::fromLatin1(ClickScript));
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    auto *go = srv->window->findChild<QPushButton *>("btnGo");
    auto *edit = srv->window->findChild<QLineEdit *>("edAddr");
    ASSERT_TRUE(go && edit);
    f.js("actions=[];");
    f.clearCalls();

    go->click();
    EXPECT_EQ(go->text(), "Stop");
    EXPECT_EQ(edit->text(), "xyz");
    EXPECT_EQ(f.calls(), (QStringList{"click|srv|btnGo", "edit|srv|edAddr|xyz"}));
    // The refresh's edit change queued an action; the click's run carried out both.
    EXPECT_TRUE(WaitFor([&] {
        const QString log = srv->window->Memo2->text();
        return log.contains("clicked btnGo") && log.contains("edited xyz");
    }));
    EXPECT_EQ(f.js("actions.length"), "0");
}

TEST(WorkspacePanels, AnEditChangeOnlyCallsTheScript)
{
    ScriptFixture f(QString::fromLatin1(ClickScript));
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    auto *edit = srv->window->findChild<QLineEdit *>("edAddr");
    ASSERT_NE(edit, nullptr);
    f.js("actions=[];");
    f.clearCalls();

    QTest::keyClicks(edit, "d");
    EXPECT_EQ(f.calls(), QStringList{"edit|srv|edAddr|abcd"});
    EXPECT_EQ(f.js("actions.length"), "1");  // waits for the next executor run
    SpinFor(50);
    EXPECT_FALSE(srv->window->Memo2->text().contains("edited abcd"));
}

TEST(WorkspacePanels, AClickWhoseCallFailsIsReportedAndRunsNoActions)
{
    ScriptFixture f(QString::fromLatin1(ClickScript));
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    auto *go = srv->window->findChild<QPushButton *>("btnGo");
    ASSERT_NE(go, nullptr);
    f.js("actions=[{TYPE:'DISPLAY',SOCKET:'srv',DATA:'pending'}];");
    f.js("var failNext = true;");

    go->click();
    ASSERT_EQ(f.messages.texts.size(), 1);
    EXPECT_TRUE(f.messages.texts[0].contains("click failed"));
    // Told beside the box, with the script's file and line.
    EXPECT_TRUE(f.form->ScriptOutputPane->text().contains(QRegularExpression("test\\.js:\\d+: .*click failed")))
        << f.form->ScriptOutputPane->text().toStdString();
    EXPECT_EQ(go->text(), "Go");
    EXPECT_EQ(f.js("actions.length"), "1");
}

TEST(WorkspacePanels, APanelDeclaredInOnConnectIsBuiltForTheAcceptedConnection)
{
    ScriptFixture f(QStringLiteral(R"JS(
function OnInit() { sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "srv"}]; }
function onSocket(n, e, a, b) {
  if (e == "OnConnect" && n.indexOf("srv_") == 0)
    sockets.push({ID: n, UI: [[{TYPE: "Button", ID: "kick", TEXT: "Kick " + b},
                               {TYPE: "Edit", ID: "peer", TEXT: a}]]});
}
function onClick(n, id) { findUi(n, "kick").TEXT = "Kicked"; }
)JS"));
    TMySocket *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    const int port = ListeningPort(srv);
    ASSERT_GT(port, 0);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    QPointer<TMySocket> conn;
    ASSERT_TRUE(WaitFor([&] {
        conn = FirstOfKind(f.wb(), Kind::TcpServerClient);
        return conn && conn->window && conn->window->findChild<QPushButton *>("kick");
    }));
    const QString name = conn->name();
    EXPECT_TRUE(name.startsWith("srv_"));
    auto *kick = conn->window->findChild<QPushButton *>("kick");
    EXPECT_EQ(kick->text(), "Kick " + name.mid(4));
    EXPECT_EQ(conn->window->findChild<QLineEdit *>("peer")->text(), "127.0.0.1");
    EXPECT_TRUE(f.calls().contains("edit|" + name + "|peer|127.0.0.1"));
    EXPECT_TRUE(Rows(srv->window).isEmpty());  // the server's own window is untouched

    kick->click();
    EXPECT_EQ(kick->text(), "Kicked");
    EXPECT_TRUE(f.calls().contains("click|" + name + "|kick"));
}
