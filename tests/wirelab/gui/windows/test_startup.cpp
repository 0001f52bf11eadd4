// The real program, started as the user starts it: from a directory holding
// project.txt, on the offscreen platform. It must come up, build the scripted
// workspace and keep running.
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Program
{
public:
    explicit Program(const QString &workDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workDir);
        m_process.setProgram(QStringLiteral(WIRELAB_BIN));
        m_process.start();
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(5000);
            }
        }
    }
    bool started() { return m_process.waitForStarted(5000); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // Keeps watching for ms; false as soon as the program has ended.
    bool staysUpFor(int ms)
    {
        return !WaitFor([this] { return !running(); }, ms);
    }
    QString output() { return QString::fromLocal8Bit(m_process.readAllStandardError()); }

private:
    QProcess m_process;
};

quint16 FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

void Write(const QString &path, const QByteArray &content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

TEST(Startup, TheDemoProjectComesUpAndStaysUp)
{
    const QString demo = QStringLiteral(WIRELAB_DEMO_DIR);
    ASSERT_TRUE(QFile::exists(demo + QStringLiteral("/project.txt")))
                << "missing demo project in " << demo.toStdString();
    Program wirelab(demo);
    ASSERT_TRUE(wirelab.started());
    EXPECT_TRUE(wirelab.staysUpFor(2000)) << wirelab.output().toStdString();
}

TEST(Startup, ScriptedEndpointsAreBuiltAtTheFirstActivation)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const quint16 port = FreePort();
    ASSERT_NE(port, 0);
    // A broken file is skipped; the file after it still loads.
    Write(dir.filePath(QStringLiteral("broken.js")), "function OnInit( {");
    Write(dir.filePath(QStringLiteral("main.js")),
                       "var sockets = [], actions = [];\n"
                       "function json2str(v) { return JSON.stringify(v); }\n"
                       "function OnInit() {\n"
                       "  sockets = [{SOCKETTYPE: 'TCP Server', PORT: '"
                           + QByteArray::number(port)
                           + "', HEX: '0', ID: 'srv'}];\n"
                             "}\n"
                             "function OnSocketEvent(n, e, a, b) {}\n"
                             "function OnTimerEvent(n, t) {}\n"
                             "function DeleteSocket(n) {}\n");
    Write(dir.filePath(QStringLiteral("project.txt")), "// start-up test\r\nbroken.js\r\n\r\nmain.js\r\n");

    Program wirelab(dir.path());
    ASSERT_TRUE(wirelab.started());
    QTcpSocket client;
    const bool connected = WaitFor(
        [&] {
            if (client.state() == QAbstractSocket::ConnectedState)
                return true;
            if (client.state() == QAbstractSocket::UnconnectedState)
                client.connectToHost(QHostAddress::LocalHost, port);
            return false;
        },
        10000);
    EXPECT_TRUE(connected) << "the declared server never listened\n" << wirelab.output().toStdString();
    EXPECT_TRUE(wirelab.staysUpFor(1500)) << wirelab.output().toStdString();
}

TEST(Startup, WithoutAProjectFileTheProgramStillRuns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Program wirelab(dir.path());
    ASSERT_TRUE(wirelab.started());
    EXPECT_TRUE(wirelab.staysUpFor(1500)) << wirelab.output().toStdString();
}

}  // namespace
