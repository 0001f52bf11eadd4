// monitorcfg run from the command line, as a process, against the simulated
// monitor on a pseudo-terminal. No platform plugin is available to it, so a
// run that tried to open a window would fail.
#include "appversion.h"
#include "monitorsim.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
    qint64 ms = 0;
};

const QStringList kSettings {"--id1",         "12",   "--id2",    "34", "--ip", "192.168.1.20",
                             "--report-port", "6000", "--online", "60"};

class CommandLineRun : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(sim.start()) << sim.errorText().toStdString(); }

    // The simulator answers from this process's event loop while the command runs.
    Outcome run(const QStringList &args)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "no-such-platform");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        process.start(QStringLiteral(MONITORCFG_PATH), args);
        Outcome o;
        if (!process.waitForStarted(5000)
            || !WaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000)) {
            process.kill();
            process.waitForFinished(5000);
            return o;
        }
        o.ms = clock.elapsed();
        o.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        o.out = QString::fromUtf8(process.readAllStandardOutput());
        o.err = QString::fromUtf8(process.readAllStandardError());
        return o;
    }
    QStringList on(const QStringList &args) const { return QStringList {"--port", sim.devicePath()} + args; }

    MonitorSim sim;
};

}  // namespace

TEST_F(CommandLineRun, ConfigureVerifyThenQueryReadsBackWhatWasWritten)
{
    Outcome o = run(on(QStringList {"--configure"} + kSettings + QStringList {"--verify"}));
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.err.startsWith(QStringLiteral("配置成功！\nID:12-34\n"))) << o.err.toStdString();
    EXPECT_EQ(sim.settings().queryReply(), "012-034,192.168.1.20,06000,00060\r\n");

    o = run(on({"--query"}));
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(o.out, "id1=12 id2=34 ip=192.168.1.20 report-port=6000 online=60\n");

    o = run(on({"--query", "--json"}));
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(o.out.toUtf8()).object();
    EXPECT_EQ(json,
              (QJsonObject {
                  {"id1", 12}, {"id2", 34}, {"ip", "192.168.1.20"}, {"report-port", 6000}, {"online", 60}}));
}

TEST_F(CommandLineRun, MonitorFailuresEndWithStatusOneAndSayWhy)
{
    const QStringList configure = QStringList {"--configure"} + kSettings + QStringList {"--verify"};
    struct Case
    {
        const char *what;
        MonitorSim::Behaviour behaviour;
        int shortLength;
        QStringList args;
        QString says;
        qint64 minMs;  // the 13th tick of 100 ms, or at once
        qint64 maxMs;
    } cases[] = {
        {"silence", MonitorSim::Behaviour::Silent, 0, configure, "配置失败！\n监测仪在 1.3 秒内没有应答",
         1150, 4000},
        {"stored something else", MonitorSim::Behaviour::StoreWrong, 0, configure, "核对不符（report-port）",
         0, 3000},
        {"garbage to configure", MonitorSim::Behaviour::Garbage, 0, configure,
         "配置失败！\n监测仪的应答不符合规则：\"garbage!", 1150, 4000},
        {"garbage to query",
         MonitorSim::Behaviour::Garbage,
         0,
         {"--query"},
         "查询失败！\n监测仪的应答不符合规则",
         0,
         1000},
        {"short reply", MonitorSim::Behaviour::Short, 5, configure,
         "配置失败！\n只收到不完整的应答：\"SET O\"", 1150, 4000},
        {"query reply cut short",
         MonitorSim::Behaviour::Short,
         28,
         {"--query"},
         "查询失败！\n应答在所有设置之前就结束了",
         0,
         1000},
        // Last: it hangs the simulator up for good.
        {"line closed", MonitorSim::Behaviour::Close, 0, configure, "配置失败！\n线路已断开", 1150, 4000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        sim.setBehaviour(c.behaviour);
        sim.setShortLength(c.shortLength);
        const Outcome o = run(on(c.args));
        EXPECT_EQ(o.status, 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(c.says)) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
        EXPECT_GE(o.ms, c.minMs);
        EXPECT_LE(o.ms, c.maxMs);
    }
}

TEST_F(CommandLineRun, BadUsageAndValuesAreRefusedBeforeAnythingIsSent)
{
    const auto with = [](const char *option, const char *value) {
        QStringList args = QStringList {"--configure"} + kSettings;
        const qsizetype at = args.indexOf(option);
        if (value)
            args[at + 1] = value;
        else
            args.remove(at, 2);
        return args;
    };
    struct Case
    {
        QStringList args;
        int status;
        QString says;
    } cases[] = {
        {with("--id1", "256"), 2, "--id1 须为 0 到 255 之间的整数"},
        {with("--id1", "-1"), 2, "--id1"},
        {with("--id2", "3x"), 2, "--id2 须为 0 到 255"},
        {with("--ip", "0.1.1.1"), 2, "--ip 须为以点分隔的四个 1 到 255"},
        {with("--ip", "1.2.3"), 2, "--ip"},
        {with("--ip", "1.2.3.256"), 2, "--ip"},
        {with("--report-port", "65536"), 2, "--report-port 须为 0 到 65535"},
        {with("--report-port", "6e3"), 2, "--report-port"},
        {with("--online", "9"), 2, "--online 须为 10 到 65535"},
        {with("--online", "65536"), 2, "--online"},
        {with("--online", "60.5"), 2, "--online"},
        {with("--online", "60\r"), 2, "不能是“60\\r”"},
        {with("--online", nullptr), 2, "--configure 还需要 --online"},
        {{"--query", "--verify"}, 2, "--verify 只能与 --configure 一起使用"},
        {{"--query", "--configure"}, 2, "--list、--query、--configure"},
        {{"--query", "--bogus"}, 2, "未知选项：bogus"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome o = run(on(c.args));
        EXPECT_EQ(o.status, c.status);
        EXPECT_TRUE(o.err.contains(c.says)) << o.err.toStdString();
    }
    // Anything a run had written would be waiting on the line by now.
    EXPECT_FALSE(WaitFor([&] { return sim.bytesReceived() > 0; }, 300));

    const Outcome o = run({"--port", "/nonexistent/monitor", "--query"});
    EXPECT_EQ(o.status, 3);
    EXPECT_TRUE(o.err.contains("/nonexistent/monitor")) << o.err.toStdString();
}

TEST_F(CommandLineRun, HelpVersionAndListNeedNoDisplay)
{
    Outcome o = run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, QStringLiteral("monitorcfg " APP_VERSION "\n"));
    o = run({"--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.out.contains("--verify") && o.out.contains(QStringLiteral("  3  串口无法打开")))
                << o.out.toStdString();
    EXPECT_EQ(run({"--list"}).status, 0);
}
