// The data window: status area per kind, hex-mode caption, the send pane's
// key filter, the counters and their reset, the receive pane that keeps every
// line, and the display form of received bytes.
#include "datawindow/displaytext.h"
#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

class DataWindowTest : public ::testing::Test
{
protected:
    // A window bound to a hand-made record of the given kind.
    TFrmData *window(const QString &kind, int state = 0)
    {
        record = std::make_unique<TMySocket>();
        record->kind = kind;
        record->state = state;
        frm = std::make_unique<TFrmData>(wb);
        frm->MySocket = record.get();
        record->window = frm.get();
        return frm.get();
    }

    Workbench wb;
    std::unique_ptr<TMySocket> record;
    std::unique_ptr<TFrmData> frm;
};

struct Status {
    QString label1, label3, label4, label6;
    bool b5shown, b6shown;
    QString b5, b6;
};

Status StatusOf(TFrmData *w)
{
    return {w->Label1->text(), w->Label3->text(), w->Label4->text(), w->Label6->text(),
            !w->Button_5->isHidden(), !w->Button_6->isHidden(), w->Button_5->text(),
            w->Button_6->text()};
}

TEST_F(DataWindowTest, RefreshStatusOfATcpServer)
{
    TFrmData *w = window(Kind::TcpServer, 1);
    record->localPort = 6000;
    record->localAddress = QStringLiteral("10.0.0.5");
    w->RefreshStatus();
    Status s = StatusOf(w);
    EXPECT_EQ(s.label1, QStringLiteral("已启动"));
    EXPECT_EQ(s.label3, QString());
    EXPECT_EQ(s.label4, QString());
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:6000"));
    EXPECT_TRUE(s.b5shown && s.b6shown);
    EXPECT_EQ(s.b5, QStringLiteral("启动监听"));
    EXPECT_EQ(s.b6, QStringLiteral("停止监听"));
    EXPECT_FALSE(w->Button_5->isEnabled());
    EXPECT_TRUE(w->Button_6->isEnabled());

    record->state = 0;
    w->RefreshStatus();
    EXPECT_EQ(w->Label1->text(), QStringLiteral("已停止"));
    EXPECT_TRUE(w->Button_5->isEnabled());
    EXPECT_FALSE(w->Button_6->isEnabled());
}

TEST_F(DataWindowTest, RefreshStatusOfATcpClientAndAnAcceptedConnection)
{
    TFrmData *w = window(Kind::TcpClient, 0);
    record->remoteHost = QStringLiteral("127.0.0.1");
    record->remotePort = 60000;
    record->localPort = 51234;
    w->RefreshStatus();
    Status s = StatusOf(w);
    EXPECT_EQ(s.label1, QStringLiteral("已断开"));
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:60000"));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:51234"));
    EXPECT_TRUE(s.b5shown && s.b6shown);
    EXPECT_EQ(s.b5, QStringLiteral("连接"));
    EXPECT_EQ(s.b6, QStringLiteral("断开"));
    EXPECT_TRUE(w->Button_5->isEnabled());
    EXPECT_FALSE(w->Button_6->isEnabled());

    record->state = 1;
    w->RefreshStatus();
    EXPECT_EQ(w->Label1->text(), QStringLiteral("已连接"));
    EXPECT_FALSE(w->Button_5->isEnabled());
    EXPECT_TRUE(w->Button_6->isEnabled());

    // An accepted connection only has the disconnect button.
    TFrmData *c = window(Kind::TcpServerClient, 1);
    record->remoteHost = QStringLiteral("127.0.0.1");
    record->remotePort = 40000;
    record->localPort = 6000;
    c->RefreshStatus();
    s = StatusOf(c);
    EXPECT_EQ(s.label1, QStringLiteral("已连接"));
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:40000"));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:6000"));
    EXPECT_FALSE(s.b5shown);
    EXPECT_TRUE(s.b6shown);
    EXPECT_EQ(s.b6, QStringLiteral("断开"));
    EXPECT_TRUE(c->Button_6->isEnabled());
    record->state = 0;
    c->RefreshStatus();
    EXPECT_EQ(c->Label1->text(), QStringLiteral("已断开"));
    EXPECT_FALSE(c->Button_6->isEnabled());
}

TEST_F(DataWindowTest, RefreshStatusOfTheUdpKinds)
{
    for (const QString &kind : {Kind::UdpClient, Kind::UdpServer}) {
        TFrmData *w = window(kind, 1);
        record->remoteHost = QStringLiteral("192.0.2.5");
        record->remotePort = 4000;
        record->localPort = 5000;
        w->RefreshStatus();
        const Status s = StatusOf(w);
        EXPECT_EQ(s.label1, QString()) << kind.toStdString();
        EXPECT_EQ(s.label3, QStringLiteral("对方IP:192.0.2.5"));
        EXPECT_EQ(s.label4, QStringLiteral("对方端口:4000"));
        EXPECT_EQ(s.label6, QStringLiteral("本地端口:5000"));
        EXPECT_FALSE(s.b5shown || s.b6shown);
    }
    // A UDP server before its first datagram knows no sender yet.
    TFrmData *srv = window(Kind::UdpServer, 0);
    record->localPort = 5001;
    srv->RefreshStatus();
    EXPECT_EQ(srv->Label3->text(), QStringLiteral("对方IP:"));
    EXPECT_EQ(srv->Label4->text(), QStringLiteral("对方端口:0"));

    TFrmData *g = window(Kind::UdpGroup, 1);
    record->localAddress = QStringLiteral("224.1.1.1");
    record->localPort = 65000;
    g->RefreshStatus();
    const Status s = StatusOf(g);
    EXPECT_EQ(s.label1, QString());
    EXPECT_EQ(s.label3, QStringLiteral("组播地址:224.1.1.1"));
    EXPECT_EQ(s.label4, QStringLiteral("组播端口:65000"));
    EXPECT_EQ(s.label6, QString());
    EXPECT_FALSE(s.b5shown || s.b6shown);
}

TEST_F(DataWindowTest, StateTextIsWrittenOnlyForStatesZeroAndOne)
{
    TFrmData *w = window(Kind::TcpClient, 1);
    w->RefreshStatus();
    record->state = 2;
    w->RefreshStatus();
    EXPECT_EQ(w->Label1->text(), QStringLiteral("已连接"));
    record->state = -1;
    w->RefreshStatus();
    EXPECT_EQ(w->Label1->text(), QStringLiteral("已连接"));
}

TEST_F(DataWindowTest, RefreshStatusWithoutARecordHidesTheButtons)
{
    TFrmData *w = window(Kind::TcpServer, 1);
    w->RefreshStatus();
    ASSERT_FALSE(w->Button_5->isHidden());
    record.reset();  // the record clears the window's reference as it goes
    EXPECT_EQ(w->MySocket, nullptr);
    w->RefreshStatus();
    EXPECT_TRUE(w->Button_5->isHidden());
    EXPECT_TRUE(w->Button_6->isHidden());
}

TEST_F(DataWindowTest, HexModeSwitchChangesOnlyTheCaption)
{
    TFrmData *w = window(Kind::UdpClient, 1);
    // The design has hex mode on, and the caption says so from the start.
    EXPECT_TRUE(w->hexMode());
    EXPECT_EQ(w->GroupBox2->title(), QStringLiteral("数据发送窗口[HEX模式]"));

    w->Memo3->setPlainText(QStringLiteral("hello 01"));
    w->AppendLine(QStringLiteral("received"));
    w->CheckBox2->click();
    EXPECT_FALSE(w->hexMode());
    EXPECT_EQ(w->GroupBox2->title(), QStringLiteral("数据发送窗口(文本模式)"));
    w->CheckBox2->click();
    EXPECT_EQ(w->GroupBox2->title(), QStringLiteral("数据发送窗口[HEX模式]"));
    EXPECT_EQ(w->Memo3->toPlainText(), QStringLiteral("hello 01"));
    EXPECT_EQ(w->Memo2->text(), QStringLiteral("received"));

    // Set by the creator: the caption follows as well.
    w->setHexMode(false);
    EXPECT_EQ(w->GroupBox2->title(), QStringLiteral("数据发送窗口(文本模式)"));
    w->setHexMode(true);
    EXPECT_EQ(w->GroupBox2->title(), QStringLiteral("数据发送窗口[HEX模式]"));
}

TEST_F(DataWindowTest, KeyFilterOfTheSendPaneInHexMode)
{
    TFrmData *w = window(Kind::UdpClient, 1);
    w->setHexMode(true);
    QPlainTextEdit *memo = w->Memo3;
    QTest::keyClicks(memo, QStringLiteral("0aF9g z-"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClick(memo, Qt::Key_Enter);
    QTest::keyClick(memo, Qt::Key_Tab);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("0aF9"));
    QTest::keyClick(memo, Qt::Key_Backspace);
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("0aF"));
    QTest::keyClicks(memo, QStringLiteral("bcdeBCDE12345678"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("0aFbcdeBCDE12345678"));

    // In text mode every character passes.
    memo->clear();
    w->setHexMode(false);
    QTest::keyClicks(memo, QStringLiteral("g z"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, QStringLiteral("x"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("g z\nx"));
}

TEST_F(DataWindowTest, CounterTextAndReset)
{
    TFrmData *w = window(Kind::UdpClient, 1);
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：0字节，发:0字节"));
    w->RecvCount = 12;
    w->SentCount = 7;
    w->WriteCounterText();
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：12字节，发:7字节"));

    // Past the 32-bit range the totals stay right.
    w->RecvCount = 3000000000LL;
    w->SentCount = 2147483648LL;
    w->WriteCounterText();
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：3000000000字节，发:2147483648字节"));

    w->AppendLine(QStringLiteral("kept"));
    w->Button_2->click();
    EXPECT_EQ(w->RecvCount, 0);
    EXPECT_EQ(w->SentCount, 0);
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：0字节，发:0字节"));
    EXPECT_EQ(w->Memo2->text(), QStringLiteral("kept")) << "the reset does not clear the pane";

    w->RecvCount += 5;
    w->WriteCounterText();
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：5字节，发:0字节"));
}

TEST(LogPane, KeepsEveryLineAndShowsPendingOnesInItsText)
{
    LogPane pane;
    EXPECT_EQ(pane.lastLine(), QString());
    pane.appendLine(QStringLiteral("first"));
    pane.appendLine(QStringLiteral("second"));
    // Nothing has been shown yet, but text() and lastLine() see the lines.
    EXPECT_EQ(pane.lastLine(), QStringLiteral("second"));
    EXPECT_EQ(pane.text(), QStringLiteral("first\nsecond"));

    const int lines = 20000;
    for (int i = 0; i < lines; ++i)
        pane.appendLine(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(pane.lastLine(), QStringLiteral("line %1").arg(lines - 1));
    // The batching timer shows them without anyone asking.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane.pendingCount() == 0; }, 5000));
    EXPECT_EQ(pane.document()->blockCount(), lines + 2);
    const QStringList all = pane.text().split(u'\n');
    ASSERT_EQ(all.size(), lines + 2);
    EXPECT_EQ(all.first(), QStringLiteral("first"));
    EXPECT_EQ(all.at(2), QStringLiteral("line 0"));
    EXPECT_EQ(all.last(), QStringLiteral("line %1").arg(lines - 1));

    // Empty lines are lines too.
    pane.appendLine(QString());
    pane.appendLine(QStringLiteral("after"));
    EXPECT_TRUE(pane.text().endsWith(QStringLiteral("line 19999\n\nafter")));
}

TEST(DisplayText, ControlBytesAndBadUtf8NeitherCutNorHideTheLine)
{
    const QByteArray bytes("a\0b\r\nc\x1b\x7f" "d", 9);
    const QString shown = BytesForDisplay(bytes);
    EXPECT_EQ(shown, QString::fromUtf8("a␀b␍␊c␛␡d"));
    EXPECT_EQ(BytesForDisplay(QByteArray("tab\there")), QStringLiteral("tab\there"));

    // An invalid sequence becomes one replacement character; what follows stays.
    const QString bad = BytesForDisplay(QByteArray("x\xff\xfey\xe4\xb8z"));
    EXPECT_TRUE(bad.startsWith(u'x'));
    EXPECT_TRUE(bad.contains(QChar(0xFFFD)));
    EXPECT_TRUE(bad.contains(u'y'));
    EXPECT_TRUE(bad.endsWith(u'z'));

    // Text and symbols pass unchanged.
    EXPECT_EQ(BytesForDisplay(QByteArray("\xe4\xb8\xad\xe6\x96\x87 {01 AB} ~!")),
              QString::fromUtf8("中文 {01 AB} ~!"));
    EXPECT_EQ(BytesForDisplay(QByteArray()), QString());
}

TEST(DisplayText, EveryReceivedBlockStaysOneLineOfThePane)
{
    // Unicode line and paragraph separators and the noncharacters U+FDD0 and
    // U+FDD1 arrive as UTF-8 too; a text document would break the line there.
    const QByteArray nasty("1\n2\r3\x00" "4\xe2\x80\xa8" "5\xe2\x80\xa9" "6\x0b" "7\x0c" "8\xc2\x85"
                           "9\xef\xb7\x90" "A\xef\xb7\x91" "B", 30);
    LogPane pane;
    pane.appendLine(QStringLiteral("before"));
    pane.appendLine(QStringLiteral("12:00:00 收到数据：") + BytesForDisplay(nasty));
    pane.appendLine(QStringLiteral("after"));
    pane.flush();
    EXPECT_EQ(pane.document()->blockCount(), 3);
    const QStringList lines = pane.text().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << pane.text().toStdString();
    EXPECT_TRUE(lines.at(1).endsWith(u'B'));
    for (char digit : QByteArray("123456789A"))
        EXPECT_TRUE(lines.at(1).contains(QLatin1Char(digit))) << digit;
}

} // namespace
