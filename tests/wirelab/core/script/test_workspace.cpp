// Workspaces built from real scripts: the declared endpoints of every kind,
// the build's stopping rules and reports, OnInit's actions, and the events
// let through between declarations.

#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/log/endpointlog.h"
#include "core/script/scriptoutput.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The lines the script output reports while alive.
struct OutputLines
{
    OutputLines()
    {
        QObject::connect(&ScriptOutput::instance(), &ScriptOutput::lineWritten, &context,
                         [this](const QString &line, ScriptOutput::Kind) { lines << line; });
    }
    QStringList lines;
    QObject context;
};

}  // namespace

TEST(WorkspaceBuild, EveryKindIsCreatedFromItsDeclarationAndNamed)
{
    const int udpServerPort = FreeUdpPort();
    const int udpClientPort = FreeUdpPort();
    const int groupPort = FreeUdpPort();
    QTcpServer peer;  // the TCP client's destination, never connected to here
    ASSERT_TRUE(peer.listen(QHostAddress::LocalHost, 0));
    ScriptedCore f(QStringLiteral(R"JS(
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
)JS")
                                      .arg(peer.serverPort())
                                      .arg(udpServerPort)
                                      .arg(udpClientPort)
                                      .arg(groupPort));
    EXPECT_TRUE(f.host().built());
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
    ASSERT_EQ(f.registry().count(), 5);

    Endpoint *srv = f.endpoint("srv");
    ASSERT_NE(srv, nullptr);
    EXPECT_EQ(srv->kind(), EndpointKind::TcpServer);
    EXPECT_TRUE(srv->isActive());
    EXPECT_TRUE(srv->hexMode());

    Endpoint *cli = f.endpoint("cli");
    ASSERT_NE(cli, nullptr);
    EXPECT_EQ(cli->kind(), EndpointKind::TcpClient);
    EXPECT_EQ(cli->remotePort(), int(peer.serverPort()));
    EXPECT_EQ(cli->remoteHost(), "127.0.0.1");
    EXPECT_FALSE(cli->hexMode());  // HEX left out: off, and the build goes on

    Endpoint *usrv = f.endpoint("usrv");
    ASSERT_NE(usrv, nullptr);
    EXPECT_EQ(usrv->kind(), EndpointKind::UdpServer);
    EXPECT_EQ(usrv->localPort(), udpServerPort);  // PORT is the server's local port
    EXPECT_FALSE(usrv->hexMode());

    Endpoint *ucli = f.endpoint("ucli");
    ASSERT_NE(ucli, nullptr);
    EXPECT_EQ(ucli->kind(), EndpointKind::UdpClient);
    EXPECT_EQ(ucli->localPort(), udpClientPort);
    EXPECT_EQ(ucli->remotePort(), 9);
    EXPECT_TRUE(ucli->hexMode());

    auto *grp = qobject_cast<UdpGroupEndpoint *>(f.endpoint("grp"));
    ASSERT_NE(grp, nullptr);
    EXPECT_EQ(grp->groupAddress(), "239.255.42.7");  // GROUPADDR is the group address
    EXPECT_EQ(grp->groupPort(), groupPort);

    // Each is shown under the root of its kind.
    for (Endpoint *e : {srv, cli, usrv, ucli, static_cast<Endpoint *>(grp)})
        EXPECT_TRUE(f.registry().endpointsOf(e->kind()).contains(e)) << e->name().toStdString();

    // The executor ran once after the loop.
    EXPECT_EQ(f.lines(srv), "workspace ready");
    EXPECT_EQ(f.js("actions.length"), "0");
}

TEST(WorkspaceBuild, AnEmptySocketsArrayCreatesNothingAndRunsNoActions)
{
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() { actions.push({TYPE: "DISPLAY", SOCKET: "none", DATA: "x"}); }
)JS"));
    EXPECT_TRUE(f.host().built());
    EXPECT_EQ(f.registry().count(), 0);
    EXPECT_EQ(f.js("actions.length"), "1");  // no executor run cleared it
}

TEST(WorkspaceBuild, NoUsableOnInitLeavesTheTreeToTheUser)
{
    // Each failure but an empty declaration text is told, without a box, on
    // the script output (its last line).
    const struct
    {
        const char *script;
        const char *reported;
    } cases[] = {
        {"OnInit = undefined;", "no script defines the function OnInit"},
        {"json2str = undefined; function OnInit() {}", "no script defines the function json2str"},
        {"function OnInit() {\n throw new Error('broken'); }", "test.js:2: OnInit threw: Error: broken"},
        {"function OnInit() {} function json2str(v) { return '{not json'; }",
         "json2str(sockets) did not give JSON: {not json; no endpoints built"},
        {"function OnInit() {} function json2str(v) { return ''; }", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.script);
        OutputLines out;
        ScriptedCore f(QString::fromLatin1(c.script));
        EXPECT_TRUE(f.host().built());
        EXPECT_EQ(f.registry().count(), 0);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        if (*c.reported) {
            ASSERT_FALSE(out.lines.isEmpty());
            EXPECT_TRUE(out.lines.last().contains(QString::fromLatin1(c.reported)))
                << out.lines.last().toStdString();
        } else {
            EXPECT_TRUE(out.lines.isEmpty()) << out.lines.join(u'|').toStdString();
        }
    }
}

TEST(WorkspaceBuild, AnUnknownKindCreatesNothingAndRenamesNothing)
{
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "first"},
    {SOCKETTYPE: "tcp server", PORT: "0", ID: "lower"},
    {SOCKETTYPE: "TCP Server", PORT: "0", ID: "third"}
  ];
}
)JS"));
    EXPECT_EQ(f.registry().count(), 2);
    EXPECT_NE(f.endpoint("first"), nullptr);
    EXPECT_EQ(f.endpoint("lower"), nullptr);
    EXPECT_NE(f.endpoint("third"), nullptr);
}

TEST(WorkspaceBuild, AFailingDeclarationEndsTheLoopButKeepsWhatWasMade)
{
    // A non-number, and a host that is no address. (Panel names that a
    // window refuses stop it the same way: tests of the window's panels.)
    const QStringList bad = {
        R"({SOCKETTYPE: "TCP Client", PORT: "abc", HOST: "127.0.0.1", ID: "bad"})",
        R"({SOCKETTYPE: "TCP Client", PORT: "1", HOST: "HEXA", HEX: "1", ID: "bad"})",
    };
    for (const QString &declaration : bad) {
        SCOPED_TRACE(declaration.toStdString());
        OutputLines out;
        ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "ok"}, %1,
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "after"}];
  actions.push({TYPE: "DISPLAY", SOCKET: "ok", DATA: "ran"});
}
)JS")
                                          .arg(declaration));
        Endpoint *ok = f.endpoint("ok");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(f.endpoint("after"), nullptr);
        EXPECT_EQ(f.endpoint("bad"), nullptr);
        EXPECT_TRUE(f.messages.texts.isEmpty());
        ASSERT_EQ(out.lines.size(), 1);
        EXPECT_TRUE(out.lines[0].startsWith(QStringLiteral("sockets[1]: "))) << out.lines[0].toStdString();
        EXPECT_EQ(f.lines(ok), "ran");  // the executor still ran
    }
}

TEST(WorkspaceBuild, OnInitsActionsRunOnceAfterTheBuildWhateverRunsBetweenTheDeclarations)
{
    // The box of the busy port runs an executor of its own in the middle of
    // the build: it must neither take OnInit's actions before "late" exists
    // nor leave them to be lost.
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::AnyIPv4, 0));
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "0", ID: "a"},
             {SOCKETTYPE: "TCP Server", PORT: "%1", ID: "busy"},
             {SOCKETTYPE: "TCP Server", PORT: "0", ID: "late"}];
  actions.push({TYPE: "DISPLAY", SOCKET: "late", DATA: "init"});
  actions.push({TYPE: "DISPLAY", SOCKET: "a", DATA: "init"});
}
)JS")
                                      .arg(busy.serverPort()),
                                  false);
    f.messages.onMessage = [&](const QString &) {
        f.js("actions.push({TYPE: 'DISPLAY', SOCKET: 'a', DATA: 'nested'});");
        f.host().runActions();
    };
    f.host().buildWorkspace();
    EXPECT_EQ(f.messages.texts.size(), 1);
    ASSERT_NE(f.endpoint("late"), nullptr);
    EXPECT_EQ(f.lines(f.endpoint("late")), "init");
    EXPECT_EQ(f.lines(f.endpoint("a")), "nested\ninit");
    EXPECT_EQ(f.js("actions.length"), "0");
}

TEST(WorkspaceBuild, RunsBetweenItsSignalsLettingEventsThroughBetweenElements)
{
    // Both declared servers find their port taken, so each creation shows a
    // box: what the box sees is the state of the build at that element.
    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::AnyIPv4, 0));
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: "%1", ID: "one"},
             {SOCKETTYPE: "TCP Server", PORT: "%1", ID: "two"}];
}
)JS")
                                      .arg(busy.serverPort()),
                                  false);
    bool started = false, finished = false, posted = false, delivered = false;
    QObject::connect(&f.host(), &ScriptHost::buildStarted, [&] { started = true; });
    QObject::connect(&f.host(), &ScriptHost::buildFinished, [&] { finished = true; });
    QStringList seen;  // started, finished, posted event delivered
    f.messages.onMessage = [&](const QString &) {
        seen << QStringLiteral("%1 %2 %3").arg(started).arg(finished).arg(delivered);
        if (!posted) {
            posted = true;
            QTimer::singleShot(0, [&] { delivered = true; });
        }
    };
    f.host().buildWorkspace();
    EXPECT_EQ(seen, (QStringList {QStringLiteral("1 0 0"), QStringLiteral("1 0 1")}));
    EXPECT_TRUE(finished);
    EXPECT_EQ(f.registry().count(), 2);
}

TEST(WorkspaceBuild, ASecondEndpointDeclaredWithTheSameIdIsWarnedAbout)
{
    OutputLines out;
    ScriptedCore f(QStringLiteral(R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "UDP Server", PORT: 0, ID: "dup"}, {SOCKETTYPE: "UDP Server", PORT: 0, ID: "other"},
             {SOCKETTYPE: "UDP Server", PORT: 0, ID: "dup"}];
}
)JS"));
    ASSERT_EQ(f.registry().count(), 3);
    EXPECT_EQ(f.endpoint(QStringLiteral("dup")), f.registry().at(0));
    const QString warning = QStringLiteral("warning: sockets[2]: ID \"dup\" is already the ID of sockets[0]; the name finds that one");
    EXPECT_EQ(out.lines.filter(QStringLiteral("warning")), QStringList {warning});
    // The endpoint the name does not reach has it in its log, as a hidden extra line.
    const EndpointLog &log = f.registry().at(2)->log();
    int warnings = 0;
    for (qsizetype i = 0; i < log.count(); ++i)
        warnings += log.record(i).kind == LineKind::Warning && log.record(i).extra;
    EXPECT_EQ(warnings, 1);
}
