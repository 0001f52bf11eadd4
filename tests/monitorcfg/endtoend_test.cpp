// monitorcfg against the simulated monitor on a pseudo-terminal.
#include "formdriver.h"
#include "frames.h"
#include "monitorlink.h"
#include "monitorsim.h"
#include "testsupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

const std::array<QString, 8> kExample {"1", "2", "192", "168", "1", "100", "5000", "60"};
const QString kExampleReport =
    QStringLiteral("配置成功！\r\nID:1-2\r\nIP:192.168.1.100\r\n端口号:5000\r\n在线时间:60秒(S)");

// A timeout lands on the 13th tick of a 100 ms timer.
constexpr qint64 kTimeoutMin = 1150;
constexpr qint64 kTimeoutMax = 3500;  // generous: the machine may be busy

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start()) << sim.errorText().toStdString();
        form = std::make_unique<Form1>(sim.devicePath());
        form->show();
        ASSERT_TRUE(form->link()->isOpen());
    }

    MonitorSim sim;
    std::unique_ptr<Form1> form;
};

}  // namespace

TEST_F(EndToEnd, ConfigureIsStoredAndReported)
{
    SetFields(*form, kExample);
    Click(*form, "Command1");
    const qint64 ms = MsUntilResult(*form, kExampleReport);
    ASSERT_GE(ms, 0) << ResultText(*form).toStdString();
    EXPECT_LT(ms, 1000);
    EXPECT_FALSE(form->link()->configWaiting());

    const MonitorSettings stored = sim.settings();
    EXPECT_EQ(stored.id1, "001");
    EXPECT_EQ(stored.id2, "002");
    EXPECT_EQ(stored.ip[3], "100");
    EXPECT_EQ(stored.port, "05000");
    EXPECT_EQ(stored.onlineTime, "00060");
}

TEST_F(EndToEnd, QueryReportsAndRefillsTheFieldsWithLeadingZeros)
{
    MonitorSettings s;
    s.id1 = "000";
    s.id2 = "255";
    s.ip = {"10", "20", "30", "40"};
    s.port = "08080";
    s.onlineTime = "00120";
    sim.setSettings(s);

    Click(*form, "Command2");
    const QString report =
        QStringLiteral("查询成功！\r\nID:000-255\r\nIP:10.20.30.40\r\n端口号:08080\r\n在线时间:00120秒(S)");
    ASSERT_GE(MsUntilResult(*form, report), 0) << ResultText(*form).toStdString();
    const std::array<QString, 8> refilled {"000", "255", "10", "20", "30", "40", "08080", "00120"};
    EXPECT_EQ(FieldTexts(*form), refilled);
    EXPECT_FALSE(form->link()->queryWaiting());
}

TEST_F(EndToEnd, ConfigureThenQueryReadsBackWhatWasWritten)
{
    SetFields(*form, {"7", "8", "1", "1", "1", "1", "80", "10"});
    Click(*form, "Command1");
    ASSERT_TRUE(WaitFor([&] { return ResultText(*form).startsWith(QStringLiteral("配置成功！")); }, 2000));
    Click(*form, "Command2");
    ASSERT_TRUE(WaitFor([&] { return ResultText(*form).startsWith(QStringLiteral("查询成功！")); }, 2000));
    const std::array<QString, 8> refilled {"007", "008", "1", "1", "1", "1", "00080", "00010"};
    EXPECT_EQ(FieldTexts(*form), refilled);
}

TEST_F(EndToEnd, SilenceFailsBothRequestsAfterAboutOnePointThreeSeconds)
{
    sim.setBehaviour(MonitorSim::Behaviour::Silent);
    SetFields(*form, kExample);
    Click(*form, "Command1");
    qint64 ms = MsUntilResult(*form, ConfigFailureText());
    EXPECT_GE(ms, kTimeoutMin);
    EXPECT_LE(ms, kTimeoutMax);
    EXPECT_FALSE(form->link()->configWaiting());
    EXPECT_EQ(form->link()->configTicks(), 0);

    Click(*form, "Command2");
    ms = MsUntilResult(*form, QueryFailureText());
    EXPECT_GE(ms, kTimeoutMin);
    EXPECT_LE(ms, kTimeoutMax);
    EXPECT_FALSE(form->link()->queryWaiting());
}

TEST_F(EndToEnd, BadQueryReplyFailsAtOnceAndTheTimerStillReportsLater)
{
    sim.setBehaviour(MonitorSim::Behaviour::Garbage);
    Click(*form, "Command2");
    const qint64 ms = MsUntilResult(*form, QueryFailureText());
    ASSERT_GE(ms, 0);
    EXPECT_LT(ms, 1200);
    // Shown by the reply, not by the timeout: the timer is still counting.
    EXPECT_TRUE(form->link()->queryWaiting());
    // The running timer shows the failure again on its 13th tick, then stops.
    ClearResult(*form);
    EXPECT_GE(MsUntilResult(*form, QueryFailureText()), 0);
    EXPECT_FALSE(form->link()->queryWaiting());
}

TEST_F(EndToEnd, BadConfigureReplyShowsNothingUntilTheTimeout)
{
    sim.setBehaviour(MonitorSim::Behaviour::Garbage);
    SetFields(*form, kExample);
    Click(*form, "Command1");
    SpinFor(700);
    EXPECT_EQ(ResultText(*form), QString());
    EXPECT_FALSE(form->link()->replyBytes().isEmpty());
    EXPECT_GE(MsUntilResult(*form, ConfigFailureText()), 0);
}

TEST_F(EndToEnd, RepliesBelowTheThresholdAreNotJudgedAndTimeOut)
{
    sim.setBehaviour(MonitorSim::Behaviour::Short);
    sim.setShortLength(5);  // "SET O": one byte short of the configure reply
    SetFields(*form, kExample);
    Click(*form, "Command1");
    const qint64 ms = MsUntilResult(*form, ConfigFailureText());
    EXPECT_GE(ms, kTimeoutMin);
    EXPECT_TRUE(form->link()->replyBytes().isEmpty());
}

TEST_F(EndToEnd, CutQueryReplyShowsWhatItCarriesAndCountsAsAnswered)
{
    MonitorSettings s;
    s.ip = {"192", "168", "100", "200"};
    sim.setSettings(s);
    sim.setBehaviour(MonitorSim::Behaviour::Short);
    sim.setShortLength(28);  // "001-001,192.168.100.200,0500"
    Click(*form, "Command2");
    const QString partial = QStringLiteral("查询成功！\r\nID:001-001\r\nIP:192.168.100.200\r\n");
    ASSERT_GE(MsUntilResult(*form, partial), 0) << ResultText(*form).toStdString();
    EXPECT_FALSE(form->link()->queryWaiting());
    // The fields are refilled only from a reply that carried everything.
    EXPECT_EQ(Field(*form, 1)->text(), "(0-255)");
    SpinFor(300);
    EXPECT_EQ(ResultText(*form), partial);
}

TEST_F(EndToEnd, LongReplyRaisesTheThresholdUntilTheNextRequest)
{
    Click(*form, "Command2");  // the reply with its line end is 35 bytes
    ASSERT_TRUE(WaitFor([&] { return ResultText(*form).startsWith(QStringLiteral("查询成功！")); }, 2000));
    EXPECT_EQ(form->link()->threshold(), 35);
    SetFields(*form, kExample);
    Click(*form, "Command1");
    EXPECT_EQ(form->link()->threshold(), MonitorLink::kConfigThreshold);
    EXPECT_GE(MsUntilResult(*form, kExampleReport), 0);
}

TEST_F(EndToEnd, DataBeforeAnyRequestIsReadAndDropped)
{
    sim.sendRaw("SET OK");
    ASSERT_TRUE(WaitFor([&] { return form->link()->replyBytes() == "SET OK"; }, 2000));
    SpinFor(200);
    EXPECT_EQ(ResultText(*form), QString());
    EXPECT_EQ(form->link()->requestMode(), MonitorLink::NoRequest);
}

TEST_F(EndToEnd, ASecondClickKeepsCountingFromTheFirst)
{
    sim.setBehaviour(MonitorSim::Behaviour::Silent);
    SetFields(*form, kExample);
    Click(*form, "Command1");
    ASSERT_TRUE(WaitFor([&] { return form->link()->configTicks() >= 9; }, 3000));
    ASSERT_EQ(ResultText(*form), QString());
    Click(*form, "Command1");
    EXPECT_GE(form->link()->configTicks(), 9);
    const qint64 ms = MsUntilResult(*form, ConfigFailureText());
    ASSERT_GE(ms, 0);
    EXPECT_LT(ms, 1000);  // about 0.3 s, not another 1.3 s
}

TEST_F(EndToEnd, ClosedLineDoesNotCrashAndRequestsTimeOut)
{
    sim.setBehaviour(MonitorSim::Behaviour::Close);
    SetFields(*form, kExample);
    Click(*form, "Command1");
    ASSERT_TRUE(WaitFor([&] { return !sim.isOpen(); }, 2000));
    // The hung-up device is let go rather than left firing notifications.
    EXPECT_TRUE(WaitFor([&] { return !form->link()->isOpen(); }, 1000));
    EXPECT_GE(MsUntilResult(*form, ConfigFailureText()), kTimeoutMin - 200);
    Click(*form, "Command2");
    EXPECT_GE(MsUntilResult(*form, QueryFailureText()), 0);
}

TEST(EndToEndPortChoice, TypedDevicePathIsOpened)
{
    MonitorSim sim;
    ASSERT_TRUE(sim.start());
    Form1 form;
    form.show();
    auto *combo = form.findChild<QComboBox *>("Combo1");
    combo->lineEdit()->setFocus();
    combo->lineEdit()->setText(sim.devicePath());
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return form.link()->isOpen(); }, 2000));
    EXPECT_EQ(combo->currentText(), sim.devicePath());

    SetFields(form, kExample);
    Click(form, "Command1");
    EXPECT_GE(MsUntilResult(form, kExampleReport), 0);
}

TEST(EndToEndPortChoice, NoPortStillTimesOut)
{
    Form1 form(QStringLiteral("/nonexistent/monitor-port"));
    form.show();
    EXPECT_FALSE(form.link()->isOpen());
    Click(form, "Command1");
    EXPECT_GE(MsUntilResult(form, ConfigFailureText()), kTimeoutMin);
}
