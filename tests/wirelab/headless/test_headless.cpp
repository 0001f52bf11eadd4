// wirelab --headless, as a CI job or a server runs it: with neither DISPLAY
// nor QT_QPA_PLATFORM set, from a project directory. Its lines, its exit
// statuses, and a device test rig run as a pair.
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

namespace {

// The program started without a display, its output collected.
class Headless
{
public:
    explicit Headless(const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(WIRELAB_BIN), arguments);
        m_process.waitForStarted(5000);
    }
    ~Headless()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The exit status, or -1 when it did not end within ms.
    int waitForExit(int ms = 15000)
    {
        if (!m_process.waitForFinished(ms) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    bool waitForOutput(const QString &text, int ms = 10000)
    {
        return WaitFor([&] { return out().contains(text); }, ms);
    }
    QString out()
    {
        m_out += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_out;
    }
    QString err()
    {
        m_err += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_err;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

private:
    QProcess m_process;
    QString m_out;
    QString m_err;
};

QString WriteProject(const QTemporaryDir &dir, const QByteArray &script, bool listScript = true)
{
    QFile js(dir.filePath(QStringLiteral("main.js")));
    js.open(QIODevice::WriteOnly);
    js.write("var sockets = [], actions = [];\nfunction json2str(v) { return JSON.stringify(v); }\n"
             + script);
    QFile project(dir.filePath(QStringLiteral("project.txt")));
    project.open(QIODevice::WriteOnly);
    project.write(listScript ? "main.js\n" : "missing.js\n");
    return dir.path();
}

// A project whose server answers every read with the same bytes, ending with
// EXIT 7 when it reads "bye".
const QByteArray EchoScript = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: 7201, ID: "echo", HEX: 0,
              UI: [[{TYPE: "Button", ID: "ignored", TEXT: "no panels here"}]]}];
  actions.push({TYPE: "ADDTIMER", SOCKET: "echo", TIMERNAME: "t", INTERVAL: 0});
}
var ticks = 0;
function OnTimerEvent(name, t) { if (++ticks == 3) actions.push({TYPE: "DISPLAY", SOCKET: "echo", DATA: "three ticks"}); }
function OnSocketEvent(name, ev, a, b) {
  if (ev != "OnRead") return;
  if (a == "627965") { actions.push({TYPE: "ALERT", SOCKET: name, TEXT: "leaving"}); actions.push({TYPE: "EXIT", CODE: 7}); }
  actions.push({TYPE: "SEND", SOCKET: name, DATA: a});
}
)JS";

TEST(Headless, ServesTheProjectLogsItsLinesAndEndsWithTheScriptsExitCode)
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("run.log"));
    Headless run({QStringLiteral("--headless"), WriteProject(dir, EchoScript), QStringLiteral("--log"), log});
    ASSERT_TRUE(run.waitForOutput(QStringLiteral("three ticks")))
                << run.out().toStdString() << run.err().toStdString();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, 7201);
    ASSERT_TRUE(peer.waitForConnected(5000));
    peer.write("hi");
    ASSERT_TRUE(WaitFor([&] { return peer.bytesAvailable() >= 2; }));
    EXPECT_EQ(peer.readAll(), QByteArray("hi"));
    peer.write("bye");
    ASSERT_TRUE(peer.waitForBytesWritten(5000));
    EXPECT_EQ(run.waitForExit(), 7);
    EXPECT_TRUE(run.err().contains(QStringLiteral("ALERT echo_1: leaving"))) << run.err().toStdString();
    const QString out = run.out();
    EXPECT_TRUE(out.contains(QRegularExpression(
                    QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} echo_1  \\d\\d:\\d\\d:\\d\\d .*hi"))))
                << out.toStdString();
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromLocal8Bit(file.readAll()), out)
        << "the log file gets every line, flushed at the end";
}

TEST(Headless, JsonLinesAndACleanEndOnSigint)
{
    QTemporaryDir dir;
    Headless run({QStringLiteral("--headless"), WriteProject(dir, EchoScript), QStringLiteral("--json")});
    ASSERT_TRUE(run.waitForOutput(QStringLiteral("three ticks")));
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, 7201);
    ASSERT_TRUE(peer.waitForConnected(5000));
    peer.write("\x01\x02", 2);
    ASSERT_TRUE(run.waitForOutput(QStringLiteral("\"recv\"")));
    run.signal(SIGINT);
    EXPECT_EQ(run.waitForExit(), 0);
    bool sawRecv = false;
    for (const QString &line : run.out().split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_FALSE(o.isEmpty()) << line.toStdString();
        if (o.value(QStringLiteral("event")).toString() == QStringLiteral("recv")) {
            sawRecv = true;
            EXPECT_EQ(o.value(QStringLiteral("endpoint")).toString(), QStringLiteral("echo_1"));
            EXPECT_EQ(o.value(QStringLiteral("hex")).toString(), QStringLiteral("0102"));
        }
    }
    EXPECT_TRUE(sawRecv);
    EXPECT_TRUE(WaitFor([&] { return peer.state() == QAbstractSocket::UnconnectedState; }))
        << "the endpoints are closed at the end";
}

TEST(Headless, FailuresEndWithTheirStatusAndSayWhy)
{
    const struct
    {
        QByteArray script;
        bool listScript;
        QStringList extra;
        int status;
        const char *says;
    } cases[] = {
        {"", false, {}, 2, "missing.js not found"},
        {"var x = ;", true, {}, 2, "SyntaxError"},
        {"function OnInit() { throw new Error('no'); }", true, {}, 3, "OnInit threw: Error: no"},
        {"function OnInit() { sockets = []; }", true, {}, 3, "made no endpoint"},
        {"function OnInit() { sockets = [{SOCKETTYPE: 'UDP Server', PORT: 0, ID: 'u'}]; }",
         true,
         {QStringLiteral("--duration"), QStringLiteral("0.3"), QStringLiteral("--quiet")}, 0, ""},
         {"", true, {QStringLiteral("--duration"), QStringLiteral("x")}, 2, "--duration"},
         };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        QTemporaryDir dir;
        Headless run(QStringList {QStringLiteral("--headless"), WriteProject(dir, c.script, c.listScript)}
                                  + c.extra);
        EXPECT_EQ(run.waitForExit(), c.status);
        EXPECT_TRUE(run.err().contains(QString::fromLatin1(c.says))) << run.err().toStdString();
        if (c.status == 0) {
            EXPECT_TRUE(run.out().isEmpty()) << "--quiet prints only errors";
        }
    }
}

TEST(Headless, TheExampleRigPassesAgainstItsDevice)
{
    Headless device(
        {QStringLiteral("--headless"), QStringLiteral(WIRELAB_RIG_DIR "/device"), QStringLiteral("--quiet")});
    Headless tester({QStringLiteral("--headless"), QStringLiteral(WIRELAB_RIG_DIR "/tester")});
    EXPECT_EQ(tester.waitForExit(), 0) << tester.out().toStdString() << tester.err().toStdString();
    EXPECT_TRUE(tester.out().contains(QStringLiteral("PASS: 5 requests")));
    device.signal(SIGTERM);
    EXPECT_EQ(device.waitForExit(), 0);
}

TEST(Headless, TheDemoServesWithoutADisplay)
{
    Headless demo({QStringLiteral("--headless"), QStringLiteral(WIRELAB_DEMO_DIR)});
    ASSERT_TRUE(demo.waitForOutput(QStringLiteral("listening on port"))) << demo.err().toStdString();
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, 50007);
    EXPECT_TRUE(peer.waitForConnected(5000));
    // Under the sanitizers' build, a leak or an error at the end makes the
    // status non-zero.
    demo.signal(SIGTERM);
    EXPECT_EQ(demo.waitForExit(), 0) << demo.err().toStdString();
}

}  // namespace
