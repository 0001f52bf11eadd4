// wirelab --headless, as a CI job or a server runs it: with neither DISPLAY
// nor QT_QPA_PLATFORM set, from a project directory. Its lines, its exit
// statuses, and a device test rig run as a pair.
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>

namespace {

// The program started without a display, its output collected.
class Headless
{
public:
    // lang: the locale it runs in, when given.
    explicit Headless(const QStringList &arguments, const char *lang = nullptr)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (lang) {
            for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
                env.remove(QString::fromLatin1(name));
            env.insert(QStringLiteral("LANG"), QString::fromLatin1(lang));
        }
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
        // It may have ended while a wait for something else ran the loop.
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(ms))
            return -1;
        if (m_process.exitStatus() != QProcess::NormalExit)
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
    void write(const QByteArray &bytes) { m_process.write(bytes); }
    void closeInput() { m_process.closeWriteChannel(); }

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
              UI: [[{TYPE: "Button", ID: "stop", TEXT: "Stop"}]]}];
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
    EXPECT_TRUE(
        out.contains(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} echo_1  \\S+hi"))))
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
    QStringList sends;  // what the script's SEND wrote
    QStringList panels;
    for (const QString &line : run.out().split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_FALSE(o.isEmpty()) << line.toStdString();
        if (o.value(QStringLiteral("event")).toString() == QStringLiteral("panel")) {
            panels << QStringList {o.value(QStringLiteral("endpoint")).toString(),
                                           o.value(QStringLiteral("id")).toString(),
                                                   o.value(QStringLiteral("text")).toString()}.join(u' ');
        }
        if (o.value(QStringLiteral("event")).toString() == QStringLiteral("send"))
            sends << o.value(QStringLiteral("endpoint")).toString() + u' '
                    + o.value(QStringLiteral("hex")).toString();
        if (o.value(QStringLiteral("event")).toString() == QStringLiteral("recv")) {
            sawRecv = true;
            EXPECT_EQ(o.value(QStringLiteral("endpoint")).toString(), QStringLiteral("echo_1"));
            EXPECT_EQ(o.value(QStringLiteral("hex")).toString(), QStringLiteral("0102"));
        }
    }
    EXPECT_TRUE(sawRecv);
    EXPECT_EQ(sends, QStringList {QStringLiteral("echo_1 0102")});
    EXPECT_EQ(panels, QStringList {QStringLiteral("echo stop Stop")});
    EXPECT_TRUE(WaitFor([&] { return peer.state() == QAbstractSocket::UnconnectedState; }))
        << "the endpoints are closed at the end";
}

TEST(Headless, RawLogHoldsTheReceivedStreamOfEachEndpoint)
{
    QTemporaryDir dir;
    const QString raw = dir.filePath(QStringLiteral("capture"));
    Headless run({QStringLiteral("--headless"), WriteProject(dir, EchoScript), QStringLiteral("--quiet"),
                  QStringLiteral("--log-raw"), raw});
    QTcpSocket peer;
    ASSERT_TRUE(WaitFor([&] {
        peer.abort();
        peer.connectToHost(QHostAddress::LocalHost, 7201);
        return peer.waitForConnected(200);
    })) << run.err().toStdString();
    QByteArray sent(300 * 1024, Qt::Uninitialized);
    for (char &c : sent)
        c = char(QRandomGenerator::global()->generate());
    peer.write(sent);
    QFile file(raw + QStringLiteral(".echo_1"));
    // Flushed while the run goes on, not only at its end.
    ASSERT_TRUE(WaitFor([&] {
        peer.readAll();  // the echo
        return file.size() >= sent.size();
    }, 15000)) << file.size() << run.err().toStdString();
    run.signal(SIGINT);
    EXPECT_EQ(run.waitForExit(), 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256),
              QCryptographicHash::hash(sent, QCryptographicHash::Sha256));
    EXPECT_TRUE(QFile::exists(raw + QStringLiteral(".echo"))) << "a file per endpoint, the server's too";
}

// A connection that sends at once, a port the system chooses, a client that
// never connects, a DISPLAY of two lines and the script's console.
const QByteArray OutputScript = R"JS(
function OnInit() {
  sockets = [{SOCKETTYPE: "TCP Server", PORT: 7202, ID: "srv", HEX: 0},
             {SOCKETTYPE: "UDP Server", PORT: 0, ID: "u"},
             {SOCKETTYPE: "TCP Client", HOST: "127.0.0.1", PORT: 7203, ID: "c"}];
  actions.push({TYPE: "CONNECT", SOCKET: "c"});
  actions.push({TYPE: "DISPLAY", SOCKET: "srv", DATA: "two\nlines"});
  console.log("hello");
  console.warn("careful");
}
function OnSocketEvent(name, ev, a, b) {
  if (ev != "OnRead") return;
  console.log("answered");
  actions.push({TYPE: "DISPLAY", SOCKET: name, DATA: "after"}, {TYPE: "EXIT", CODE: 0});
}
)JS";

// One record of either form: its endpoint ("" for the console), its text
// (continuation lines joined again) and its time as printed.
struct Record
{
    QString endpoint, text, time;
};

QList<Record> ReadRecords(const QString &out, bool json)
{
    QList<Record> records;
    const QRegularExpression textLine(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d\\.\\d{3}) (\\S+)  (.*)$"));
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
        if (json) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            EXPECT_FALSE(o.isEmpty()) << "not a JSON object: " << line.toStdString();
            const bool console = o.value(QStringLiteral("event")).toString() == QStringLiteral("console");
            records.append({console ? QString()
                                    : o.value(QStringLiteral("endpoint")).toString(),
                                              o.value(QStringLiteral("text")).toString(),
                                                      o.value(QStringLiteral("t")).toString()});
        } else if (const auto m = textLine.match(line); m.hasMatch()) {
            records.append({m.captured(2), m.captured(3), m.captured(1)});
        } else if (line.startsWith(u' ') && !records.isEmpty()) {
            records.last().text += u'\n' + line.trimmed();
        } else {
            records.append({QString(), line, QString()});
        }
    }
    return records;
}

TEST(Headless, TheOutputTellsWhatHappenedInOrderOnceInTheUiLanguage)
{
    const struct
    {
        bool json;
        const char *lang;
        const char *time;  // the form of a record's time
        const char *connected, *received, *bound, *disconnected, *failed;
    } forms[] = {
        {false, "zh_CN.UTF-8", "^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$", "已连接，对端 127.0.0.1:", "收到数据：hi",
         "绑定在端口 ", "已断开", "连接失败："},
        {true, "en_US.UTF-8", "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}(Z|[+-]\\d\\d:\\d\\d)$",
         "connected, peer 127.0.0.1:", "Received: hi", "bound to port ", "disconnected",
         "Connection failed: "},
    };
    for (const auto &form : forms) {
        SCOPED_TRACE(form.lang);
        QTemporaryDir dir;
        QStringList arguments {QStringLiteral("--headless"), WriteProject(dir, OutputScript)};
        if (form.json)
            arguments << QStringLiteral("--json");
        Headless run(arguments, form.lang);
        ASSERT_TRUE(run.waitForOutput(QStringLiteral("lines"))) << run.err().toStdString();
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, 7202);
        ASSERT_TRUE(peer.waitForConnected(5000));
        peer.write("hi");
        ASSERT_TRUE(peer.waitForBytesWritten(5000));
        ASSERT_EQ(run.waitForExit(), 0) << run.out().toStdString() << run.err().toStdString();

        const QList<Record> records = ReadRecords(run.out(), form.json);
        const QString all = run.out();
        const auto find = [&](const QString &endpoint, const QString &start) {
            for (int i = 0; i < records.size(); ++i) {
                if (records[i].endpoint == endpoint && records[i].text.startsWith(start))
                    return i;
            }
            return -1;
        };
        const QRegularExpression time(QString::fromLatin1(form.time));
        for (const Record &r : records) {
            if (!r.endpoint.isEmpty()) {
                EXPECT_TRUE(time.match(r.time).hasMatch()) << r.time.toStdString();
            }
        }
        const int connected = find(QStringLiteral("srv_1"), QString::fromUtf8(form.connected));
        const int received = find(QStringLiteral("srv_1"), QString::fromUtf8(form.received));
        ASSERT_GE(received, 0) << all.toStdString();
        EXPECT_EQ(records[received].text, QString::fromUtf8(form.received)) << "no second clock";
        EXPECT_TRUE(connected >= 0 && connected < received) << all.toStdString();
        // What the block's handler printed and did comes after the block.
        const auto answered = std::find_if(records.begin(), records.end(), [](const Record &r) {
            return r.endpoint.isEmpty() && r.text.endsWith(QStringLiteral("answered"));
        });
        EXPECT_GT(answered - records.begin(), received) << all.toStdString();
        EXPECT_GT(find(QStringLiteral("srv_1"), QStringLiteral("after")), received) << all.toStdString();
        const int bound = find(QStringLiteral("u"), QString::fromUtf8(form.bound));
        ASSERT_GE(bound, 0) << all.toStdString();
        EXPECT_GT(records[bound].text.mid(QString::fromUtf8(form.bound).size()).toInt(), 0)
            << "the port in use";
        EXPECT_EQ(find(QStringLiteral("c"), QString::fromUtf8(form.disconnected)), -1) << all.toStdString();
        // Told once: the notice is a record of the endpoint's log.
        EXPECT_EQ(std::count_if(records.begin(), records.end(),
                                [&](const Record &r) {
                                    return r.endpoint == QStringLiteral("c")
                                        && r.text.startsWith(QString::fromUtf8(form.failed));
                                }),
                  1)
            << all.toStdString();
        EXPECT_GE(find(QStringLiteral("srv"), QStringLiteral("two\nlines")), 0) << all.toStdString();
        EXPECT_GE(find(QString(), QStringLiteral("main.js:")), 0) << "console.log in the stream";
        EXPECT_FALSE(all.contains(QStringLiteral("careful")));
        EXPECT_TRUE(run.err().contains(QStringLiteral("careful")));
    }
}

TEST(Headless, FailuresEndWithTheirStatusAndSayWhy)
{
    const QByteArray UdpServer =
        "function OnInit() { sockets = [{SOCKETTYPE: 'UDP Server', PORT: 0, ID: 'u'}]; ";
    const struct
    {
        QByteArray script;
        bool listScript;
        QStringList extra;
        int status;
        const char *says;
        const char *once = "";  // in one line of standard error, its repeats apart
        const char *out = "";  // in one line of standard output
    } cases[] = {
        {"", false, {}, 2, "missing.js not found"},
        {"var x = ;", true, {}, 2, "SyntaxError"},
        {"function OnInit() { throw new Error('no'); }", true, {}, 3, "OnInit threw: Error: no"},
        {"function OnInit() { sockets = []; }", true, {}, 3, "made no endpoint"},
        {"function OnInit() { sockets = [{SOCKETTYPE: 'UDP Server', PORT: 0, ID: 'u'}]; console.log('x'); }",
         true,
         {QStringLiteral("--duration"), QStringLiteral("0.3"), QStringLiteral("--quiet")}, 0, ""},
         {"",
          true,
          {QStringLiteral("--duration"), QStringLiteral("x")}, 2, "--duration"},
          // EXIT's CODE is an exit status or the run fails.
          {UdpServer + "actions.push({TYPE: 'EXIT', CODE: 'abc'}); }",
           true,
           {},
           1,
           "action 1: CODE \"abc\" is not an integer from 0 to 255; the run ends with status 1"},
          {UdpServer + "actions.push({TYPE: 'EXIT', CODE: 300}); }", true, {}, 1, "CODE 300 is not"},
          {UdpServer + "actions.push({TYPE: 'EXIT'}); }", true, {}, 1, "EXIT without a CODE"},
          // A handler that throws on every tick: told once with its place, then counted.
          {UdpServer
               + "actions.push({TYPE: 'ADDTIMER', SOCKET: 'u', TIMERNAME: 't', INTERVAL: 0}); }"
                 " function OnTimerEvent() { throw new Error('boom'); }",
           true,
           {QStringLiteral("--duration"), QStringLiteral("1.5")}, 0, "main.js:3: Error: boom (repeated",
            "Error: boom"},
           // A warning: one line on standard error, one object among the JSON lines.
           {UdpServer + "actions.push({TYPE: 'SNED', SOCKET: 'u'}); }",
            true,
            {QStringLiteral("--duration"), QStringLiteral("0.3"), QStringLiteral("--json")}, 0,
                            "wirelab: warning: OnInit: action 1: unknown TYPE \"SNED\"; ignored",
                            "unknown TYPE", R"("event":"warning","from":"OnInit")"},
            // A batch that fails part way: once in the JSON stream too, with its place.
            {UdpServer + "actions.push({TYPE: 'ADDTIMER', SOCKET: 'u', TIMERNAME: 't', INTERVAL: 0}); }"
                         " var n = 0; function OnTimerEvent() {"
                         " if (!n++) actions.push({TYPE: 'DISPLAY', SOCKET: 'u', DATA: 'a'}, 5); }",
             true,
             {QStringLiteral("--duration"), QStringLiteral("0.3"), QStringLiteral("--json")}, 0,
             "timer \"t\" of u: action 2: an element is not an object; the rest of the batch was dropped",
             "the rest of the batch", R"("action":2,"endpoint":"u","event":"error","from":"timer \"t\" of u")"},
            // --strict: the first warning or error fails the run, after its batch.
            {UdpServer
                 + "actions.push({TYPE: 'SNED', SOCKET: 'u'}, {TYPE: 'DISPLAY', SOCKET: 'u', DATA: 'rest'}); "
                   "}",
             true,
             {QStringLiteral("--strict")}, 4, "unknown TYPE", "", "u  rest"},
             {UdpServer
                  + "actions.push({TYPE: 'ADDTIMER', SOCKET: 'u', TIMERNAME: 't', INTERVAL: 0}); }"
                    " function OnTimerEvent() { throw new Error('boom'); }",
              true,
              {QStringLiteral("--strict")}, 4, "main.js:3: Error: boom"},
              {"function OnInit() { sockets = []; }",
               true,
               {QStringLiteral("--strict")}, 3, "made no endpoint"},
        // A raw log that cannot be written ends the start, naming the file.
        {UdpServer + "}", true, {QStringLiteral("--log-raw"), QStringLiteral("/nonexistent/cap")}, 2,
         "/nonexistent/cap.u: "},
        // A port out of range makes nothing (it listened on 4464).
        {"function OnInit() { sockets = [{SOCKETTYPE: 'TCP Server', PORT: 70000, ID: 's'}]; }", true, {}, 3,
         "sockets[0]: PORT 70000 "},
        // A port in use names the endpoint and the port, made or not.
        {"function OnInit() { sockets = [{SOCKETTYPE: 'TCP Server', PORT: 7213, ID: 'ts'},"
         " {SOCKETTYPE: 'UDP Server', PORT: 7214, ID: 'us'}]; }",
         true, {QStringLiteral("--duration"), QStringLiteral("0.3")}, 0, "wirelab: ts: port 7213 is in use",
         "wirelab: us: port 7214 is in use; nothing was made", "us  port 7214 is in use"},
             };
    QTcpServer busyTcp;
    ASSERT_TRUE(busyTcp.listen(QHostAddress::AnyIPv4, 7213));
    QUdpSocket busyUdp;
    ASSERT_TRUE(busyUdp.bind(QHostAddress::AnyIPv4, 7214));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        QTemporaryDir dir;
        Headless run(QStringList {QStringLiteral("--headless"), WriteProject(dir, c.script, c.listScript)}
                                  + c.extra,
                                  "en_US.UTF-8");
        EXPECT_EQ(run.waitForExit(), c.status);
        EXPECT_TRUE(run.err().contains(QString::fromLatin1(c.says))) << run.err().toStdString();
        if (*c.once) {
            const QStringList lines = run.err().split(u'\n').filter(QString::fromLatin1(c.once));
            EXPECT_EQ(lines.size() - lines.filter(QStringLiteral("repeated")).size(), 1)
                      << run.err().toStdString();
        }
        if (*c.out) {
            EXPECT_EQ(run.out().split(u'\n').filter(QString::fromLatin1(c.out)).size(), 1)
                << run.out().toStdString();
        }
        if (c.extra.contains(QStringLiteral("--quiet"))) {
            EXPECT_TRUE(run.out().isEmpty()) << "--quiet prints only errors";
        }
    }
}

TEST(Headless, DrivenFromStandardInputAndFromTheControlSocket)
{
    // Standard input, answered in JSON among the JSON lines; a last line
    // cut off by the end of the input is not carried out.
    QTemporaryDir dir;
    Headless run({QStringLiteral("--headless"), WriteProject(dir, EchoScript),
                                 QStringLiteral("--json"), QStringLiteral("--control")});
    run.write("list\nlisten echo off\nlist\nsend nobody x\nlisten echo");
    run.closeInput();
    ASSERT_TRUE(run.waitForOutput(QStringLiteral("ended inside a line"))) << run.out().toStdString();
    QList<QJsonObject> answers;
    for (const QString &line : run.out().split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.contains(QStringLiteral("answer")))
            answers.append(o);
    }
    ASSERT_EQ(answers.size(), 5);
    const auto state = [](const QJsonObject &o) {
        return o.value(
            QStringLiteral("rows")).toArray().at(0).toObject().value(QStringLiteral("state")).toString();
    };
    EXPECT_EQ(state(answers.at(0)), QStringLiteral("active"));
    EXPECT_EQ(answers.at(1).value(QStringLiteral("answer")).toString(), QStringLiteral("ok"));
    EXPECT_EQ(state(answers.at(2)), QStringLiteral("inactive"));
    EXPECT_EQ(answers.at(3).value(QStringLiteral("why")).toString(),
                                  QStringLiteral("no endpoint named \"nobody\""));
    EXPECT_EQ(answers.at(4).value(QStringLiteral("answer")).toString(), QStringLiteral("error"));
    // The run goes on after its input ends.
    run.signal(SIGTERM);
    EXPECT_EQ(run.waitForExit(), 0);

    // The socket: only its user may connect; quit ends the run with its
    // status, and the socket is gone with the run.
    const QString socket = dir.filePath(QStringLiteral("ctl.sock"));
    Headless served({QStringLiteral("--headless"), dir.path(), QStringLiteral("--control-socket"), socket});
    ASSERT_TRUE(served.waitForOutput(QStringLiteral("three ticks"))) << served.err().toStdString();
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(socket).constData(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    QLocalSocket client;
    client.connectToServer(socket);
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write("quit 5\n");
    ASSERT_TRUE(WaitFor([&] { return client.canReadLine(); }));
    EXPECT_EQ(client.readLine(), QByteArray("ok\n"));
    EXPECT_EQ(served.waitForExit(), 5);
    EXPECT_FALSE(QFileInfo::exists(socket));

    // A path that holds a file, or a socket another program listens on,
    // ends the run at once and is left as it was.
    QFile file(socket);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep");
    file.close();
    QLocalServer other;
    ASSERT_TRUE(other.listen(dir.filePath(QStringLiteral("other.sock"))));
    const struct
    {
        QString path;
        const char *says;
    } refusals[] = {
        {socket, ": exists and is not a socket"},
        {other.fullServerName(), ": another program listens on this socket"},
    };
    for (const auto &r : refusals) {
        Headless refused(
            {QStringLiteral("--headless"), dir.path(), QStringLiteral("--control-socket"), r.path});
        EXPECT_EQ(refused.waitForExit(), 2);
        EXPECT_TRUE(refused.err().contains(r.path + QLatin1String(r.says))) << refused.err().toStdString();
        EXPECT_TRUE(refused.out().isEmpty()) << "nothing ran";
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep"));
    QLocalSocket stillThere;
    stillThere.connectToServer(other.fullServerName());
    EXPECT_TRUE(stillThere.waitForConnected(5000));
}

TEST(Headless, TheExampleRigPassesAgainstItsDevice)
{
    Headless device(
        {QStringLiteral("--headless"), QStringLiteral(WIRELAB_RIG_DIR "/device"), QStringLiteral("--quiet")});
    // As README's CI recipe runs it: a script mistake would fail it.
    Headless tester({QStringLiteral("--headless"),
                                    QStringLiteral(WIRELAB_RIG_DIR "/tester"), QStringLiteral("--strict")});
    EXPECT_EQ(tester.waitForExit(), 0) << tester.out().toStdString() << tester.err().toStdString();
    EXPECT_TRUE(tester.out().contains(QStringLiteral("PASS: 5 requests")));
    device.signal(SIGTERM);
    EXPECT_EQ(device.waitForExit(), 0);
}

TEST(Headless, TheDemoServesWithoutADisplay)
{
    Headless demo({QStringLiteral("--headless"), QStringLiteral(WIRELAB_DEMO_DIR)}, "en_US.UTF-8");
    ASSERT_TRUE(demo.waitForOutput(QStringLiteral("listening on port 50007"))) << demo.err().toStdString();
    // The reply prefix comes from the echo server's panel, as in the window.
    EXPECT_TRUE(demo.waitForOutput(QStringLiteral("panel echo prefix = echo: ")));
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, 50007);
    EXPECT_TRUE(peer.waitForConnected(5000));
    peer.write("hello");
    EXPECT_EQ(ReadExactly(&peer, 11), QByteArray("echo: hello"));
    // Under the sanitizers' build, a leak or an error at the end makes the
    // status non-zero.
    demo.signal(SIGTERM);
    EXPECT_EQ(demo.waitForExit(), 0) << demo.err().toStdString();
}

// The serial bridge example against the simulated monitor on a
// pseudo-terminal: a query frame from a TCP client reaches the monitor
// whole, and its answer comes back to the client.
TEST(Headless, TheSerialBridgeExampleCarriesAMonitorQueryBothWays)
{
    QProcess sim;
    sim.start(QStringLiteral(MONITOR_SIM_BIN), {});
    ASSERT_TRUE(sim.waitForReadyRead(5000)) << sim.readAllStandardError().toStdString();
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/")));

    // The example's files, with the simulator's device set between them.
    QTemporaryDir dir;
    QFile here(dir.filePath(QStringLiteral("here.js")));
    ASSERT_TRUE(here.open(QIODevice::WriteOnly));
    here.write(QStringLiteral("SERIAL_PORT = \"%1\";\n").arg(device).toUtf8());
    here.close();
    QFile project(dir.filePath(QStringLiteral("project.txt")));
    ASSERT_TRUE(project.open(QIODevice::WriteOnly));
    project.write(
        QStringLiteral(WIRELAB_SERIALBRIDGE_DIR "/settings.js\n%1\n" WIRELAB_SERIALBRIDGE_DIR "/bridge.js\n")
                           .arg(here.fileName())
                           .toUtf8());
    project.close();
    Headless bridge({QStringLiteral("--headless"), dir.path(), QStringLiteral("--strict")});

    QTcpSocket client;
    ASSERT_TRUE(WaitFor([&] {
        client.abort();
        client.connectToHost(QHostAddress::LocalHost, 7300);
        return client.waitForConnected(500);
    })) << bridge.err().toStdString();
    ASSERT_TRUE(bridge.waitForOutput(QStringLiteral("bridged to %1\n").arg(device)))
                << bridge.out().toStdString();
    const QByteArray query = QByteArray("get dst=?\r\n") + QByteArray(30, '\0');
    client.write(query);
    // The simulator says what it answered: "... answered \"<reply>\"".
    QByteArray said;
    ASSERT_TRUE(WaitFor([&] { return (said += sim.readAllStandardError()).endsWith("\"\n"); }));
    const QByteArray answered = said.mid(said.indexOf("answered \"") + 10).chopped(2);
    EXPECT_EQ(ReadExactly(&client, answered.size() + 2), answered + "\r\n") << said.toStdString();

    bridge.signal(SIGTERM);
    EXPECT_EQ(bridge.waitForExit(), 0) << bridge.err().toStdString();
    sim.write("quit\n");
    EXPECT_TRUE(sim.waitForFinished(5000));
}

}  // namespace
