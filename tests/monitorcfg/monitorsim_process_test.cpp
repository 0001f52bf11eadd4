// The simulator and the program as processes, the way the demo runs them.
#include "frames.h"
#include "testsupport.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QSerialPort>
#include <gtest/gtest.h>

namespace {

QString StartSimulator(QProcess &sim, const QStringList &args = {})
{
    sim.start(QStringLiteral(MONITOR_SIM_PATH), args);
    if (!sim.waitForStarted(5000))
        return {};
    if (!WaitFor([&] { return sim.canReadLine(); }, 5000))
        return {};
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

QByteArray Exchange(QSerialPort &port, const QByteArray &frame, int expected)
{
    QByteArray got;
    port.write(frame);
    WaitFor(
        [&] {
            got += port.readAll();
            return got.size() >= expected;
        },
        3000);
    return got;
}

}  // namespace

TEST(MonitorSimProcess, AnswersQueriesAndConfigureCommands)
{
    QProcess sim;
    const QString path = StartSimulator(sim);
    ASSERT_TRUE(path.startsWith("/dev/")) << path.toStdString();

    QSerialPort port(path);
    port.setBaudRate(9600);
    ASSERT_TRUE(port.open(QIODevice::ReadWrite));
    EXPECT_EQ(Exchange(port, BuildQueryFrame(), 35), QByteArray("001-001,192.168.1.100,05000,00060\r\n"));
    ConfigFields f {"9", "10", {"1", "2", "3", "4"}, "80", "30"};
    EXPECT_EQ(Exchange(port, BuildConfigFrame(f), 6), QByteArray("SET OK"));
    EXPECT_EQ(Exchange(port, BuildQueryFrame(), 29), QByteArray("009-010,1.2.3.4,00080,00030\r\n"));
    // A configure command with an empty field is not stored.
    f.port.clear();
    EXPECT_EQ(Exchange(port, BuildConfigFrame(f), 6), QByteArray("SET NO"));

    sim.write("silent\n");
    SpinFor(200);
    port.write(BuildQueryFrame());
    SpinFor(300);
    EXPECT_TRUE(port.readAll().isEmpty());

    sim.closeWriteChannel();
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}

TEST(MonitorSimProcess, ProgramStartsOnTheSimulatorsPort)
{
    QProcess sim;
    const QString path = StartSimulator(sim);
    ASSERT_FALSE(path.isEmpty());

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MONITORCFG_PORT", path);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(MONITORCFG_PATH));
    ASSERT_TRUE(tool.waitForStarted(5000));
    SpinFor(1000);
    EXPECT_EQ(tool.state(), QProcess::Running) << tool.readAllStandardError().toStdString();
    tool.terminate();
    EXPECT_TRUE(tool.waitForFinished(5000));
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}

TEST(MonitorSimProcess, RefusesBadUsageAndNamesItselfAsInstalled)
{
    const struct
    {
        QStringList args;
        int status;
        const char *output;  // start of standard output, or of standard error on a refusal
    } cases[] = {
        {{"--help"}, 0, "Usage: monitorcfg-sim [options]\n"},
        {{"--short", "abc"}, 2, "monitorcfg-sim: --short takes a whole number"},
        {{"--short", "-1"}, 2, "monitorcfg-sim: --short takes a whole number"},
        {{"--no-such-option"}, 2, "monitorcfg-sim: "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess sim;
        sim.start(QStringLiteral(MONITOR_SIM_PATH), c.args);
        ASSERT_TRUE(sim.waitForFinished(5000));
        EXPECT_EQ(sim.exitCode(), c.status);
        const QByteArray output = c.status == 0 ? sim.readAllStandardOutput() : sim.readAllStandardError();
        EXPECT_TRUE(output.startsWith(c.output)) << output.toStdString();
    }
}

TEST(MonitorSimProcess, NormalAfterAHangUpOpensTheLineAgain)
{
    QProcess sim;
    const QString path = StartSimulator(sim, {"--close"});
    ASSERT_FALSE(path.isEmpty());
    {
        QSerialPort port(path);
        ASSERT_TRUE(port.open(QIODevice::ReadWrite));
        port.write(BuildQueryFrame());
        QByteArray said;
        ASSERT_TRUE(WaitFor(
            [&] {
                said += sim.readAllStandardError();
                return said.contains("line closed");
            },
            3000));
    }
    sim.write("normal\n");
    ASSERT_TRUE(WaitFor([&] { return sim.canReadLine(); }, 3000));
    QSerialPort port(QString::fromLocal8Bit(sim.readLine()).trimmed());
    ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.portName().toStdString();
    EXPECT_EQ(Exchange(port, BuildQueryFrame(), 35), QByteArray("001-001,192.168.1.100,05000,00060\r\n"));
    sim.terminate();
    EXPECT_TRUE(sim.waitForFinished(5000));
}
