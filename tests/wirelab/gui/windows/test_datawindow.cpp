// The data window as a view of its endpoint: status area per kind, the
// hex-mode caption, the send pane's key filter, the counters and their
// reset; and the display form of received bytes.
#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "core/text/displaytext.h"
#include "gui/datawindow.h"
#include "gui/logpane.h"
#include "scriptedcore.h"
#include "scriptedwindow.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

struct Status
{
    QString label1, label3, label4, label6;
    bool b5shown, b6shown;
    QString b5, b6;
    bool b5enabled, b6enabled;
};

Status StatusOf(ScriptedWindow &f, const Endpoint *e)
{
    auto label = [&](const char *name) {
        auto *l = f.control<QLabel>(e, name);
        return l ? l->text() : QStringLiteral("<missing>");
    };
    auto *b5 = f.control<QPushButton>(e, "Button_5");
    auto *b6 = f.control<QPushButton>(e, "Button_6");
    if (!b5 || !b6)
        return {QStringLiteral("<no buttons>"), {}, {}, {}, false, false, {}, {}, false, false};
    return {label("Label1"), label("Label3"), label("Label4"), label("Label6"), !b5->isHidden(),
            !b6->isHidden(), b5->text(),      b6->text(),      b5->isEnabled(), b6->isEnabled()};
}

// Sends a datagram of size bytes to a local UDP port.
void SendDatagram(int port, int size)
{
    QUdpSocket s;
    s.writeDatagram(QByteArray(size, 'x'), QHostAddress::LocalHost, quint16(port));
}

TEST(DataWindowStatus, TcpServer)
{
    ScriptedWindow f;
    const int port = FreeTcpPort();
    Endpoint *srv = TcpServerEndpoint::create(f.registry(), port);
    Status s = StatusOf(f, srv);
    EXPECT_EQ(s.label1, QStringLiteral("已启动"));
    EXPECT_EQ(s.label3, QString());
    EXPECT_EQ(s.label4, QString());
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:%1").arg(port));
    EXPECT_TRUE(s.b5shown && s.b6shown);
    EXPECT_EQ(s.b5, QStringLiteral("启动监听"));
    EXPECT_EQ(s.b6, QStringLiteral("停止监听"));
    EXPECT_FALSE(s.b5enabled);
    EXPECT_TRUE(s.b6enabled);

    srv->stop();
    s = StatusOf(f, srv);
    EXPECT_EQ(s.label1, QStringLiteral("已停止"));
    EXPECT_TRUE(s.b5enabled);
    EXPECT_FALSE(s.b6enabled);
}

TEST(DataWindowStatus, TcpClientAndAcceptedConnection)
{
    ScriptedWindow f;
    const int port = FreeTcpPort();
    auto *srv = TcpServerEndpoint::create(f.registry(), port);
    Endpoint *client = f.tcpClient(QStringLiteral("c"), port);
    Status s = StatusOf(f, client);
    EXPECT_EQ(s.label1, QStringLiteral("已断开"));
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:%1").arg(port));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:0"));
    EXPECT_TRUE(s.b5shown && s.b6shown);
    EXPECT_EQ(s.b5, QStringLiteral("连接"));
    EXPECT_EQ(s.b6, QStringLiteral("断开"));
    EXPECT_TRUE(s.b5enabled);
    EXPECT_FALSE(s.b6enabled);

    client->start();
    // The accepted connection becomes an endpoint a pass after its socket is taken.
    ASSERT_TRUE(WaitFor([&] {
        return client->isActive() && srv->liveConnections() == 1
            && f.registry().connectionsOf(srv).size() == 1;
    }));
    s = StatusOf(f, client);
    EXPECT_EQ(s.label1, QStringLiteral("已连接"));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:%1").arg(client->localPort()));
    EXPECT_NE(client->localPort(), 0);
    EXPECT_FALSE(s.b5enabled);
    EXPECT_TRUE(s.b6enabled);

    // An accepted connection only has the disconnect button.
    const QList<Endpoint *> accepted = f.registry().connectionsOf(srv);
    ASSERT_EQ(accepted.size(), 1);
    Endpoint *conn = accepted.first();
    s = StatusOf(f, conn);
    EXPECT_EQ(s.label1, QStringLiteral("已连接"));
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:%1").arg(client->localPort()));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:%1").arg(port));
    EXPECT_FALSE(s.b5shown);
    EXPECT_TRUE(s.b6shown);
    EXPECT_EQ(s.b6, QStringLiteral("断开"));
    EXPECT_TRUE(s.b6enabled);

    client->stop();
    ASSERT_TRUE(WaitFor([&] { return !conn->isActive(); }));
    // The peer's close does not redraw the status by itself; the next refresh does.
    conn->refreshStatus();
    s = StatusOf(f, conn);
    EXPECT_EQ(s.label1, QStringLiteral("已断开"));
    EXPECT_FALSE(s.b6enabled);
}

TEST(DataWindowStatus, UdpKinds)
{
    ScriptedWindow f;
    Endpoint *client = UdpClientEndpoint::create(f.registry(), QStringLiteral("192.0.2.5"), 4000, 0);
    Status s = StatusOf(f, client);
    EXPECT_EQ(s.label1, QString());
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:192.0.2.5"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:4000"));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:%1").arg(client->localPort()));
    EXPECT_FALSE(s.b5shown || s.b6shown);

    // A UDP server before its first datagram knows no sender yet; then it
    // shows the last sender.
    Endpoint *server = UdpServerEndpoint::create(f.registry(), FreeUdpPort());
    s = StatusOf(f, server);
    EXPECT_EQ(s.label1, QString());
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:0"));
    EXPECT_EQ(s.label6, QStringLiteral("本地端口:%1").arg(server->localPort()));
    EXPECT_FALSE(s.b5shown || s.b6shown);
    QUdpSocket sender;
    ASSERT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
    sender.writeDatagram("x", QHostAddress::LocalHost, quint16(server->localPort()));
    ASSERT_TRUE(WaitFor([&] { return server->receivedBytes() == 1; }));
    s = StatusOf(f, server);
    EXPECT_EQ(s.label1, QString());
    EXPECT_EQ(s.label3, QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(s.label4, QStringLiteral("对方端口:%1").arg(sender.localPort()));

    const int groupPort = FreeUdpPort();
    Endpoint *group = UdpGroupEndpoint::create(
        f.registry(), QStringLiteral("224.1.1.1"), groupPort, UdpGroupEndpoint::Path::Dialog);
    s = StatusOf(f, group);
    EXPECT_EQ(s.label1, QString());
    EXPECT_EQ(s.label3, QStringLiteral("组播地址:224.1.1.1"));
    EXPECT_EQ(s.label4, QStringLiteral("组播端口:%1").arg(groupPort));
    EXPECT_EQ(s.label6, QString());
    EXPECT_FALSE(s.b5shown || s.b6shown);
}

// A window whose endpoint is gone before its controls are built builds them
// without an endpoint: no status, no buttons.
TEST(DataWindowStatus, WithoutAnEndpointTheButtonsAreHidden)
{
    EndpointRegistry registry;
    Endpoint *srv = TcpServerEndpoint::create(registry, FreeTcpPort());
    DataWindow w(*srv, DataWindow::Build::WhenShown);
    ASSERT_TRUE(registry.remove(srv));
    EXPECT_EQ(w.endpoint(), nullptr);
    w.show();
    ASSERT_TRUE(w.hasUi());
    EXPECT_TRUE(w.findChild<QPushButton *>(QStringLiteral("Button_5"))->isHidden());
    EXPECT_TRUE(w.findChild<QPushButton *>(QStringLiteral("Button_6"))->isHidden());
}

class DataWindowTest : public ::testing::Test
{
protected:
    // A UDP server on a free port: it receives from anyone.
    Endpoint *udp()
    {
        if (!m_udp)
            m_udp = UdpServerEndpoint::create(f.registry(), FreeUdpPort());
        return m_udp;
    }
    template<class T>
    T *control(const char *name)
    {
        return f.control<T>(udp(), name);
    }
    QString sendCaption() { return control<QGroupBox>("GroupBox2")->title(); }

    ScriptedWindow f;

private:
    Endpoint *m_udp = nullptr;
};

TEST_F(DataWindowTest, HexModeSwitchChangesOnlyTheCaption)
{
    Endpoint *e = udp();
    // The design has hex mode on, and the caption says so from the start.
    EXPECT_TRUE(e->hexMode());
    EXPECT_EQ(sendCaption(), QStringLiteral("数据发送窗口[HEX模式]"));

    auto *memo3 = control<QPlainTextEdit>("Memo3");
    memo3->setPlainText(QStringLiteral("hello 01"));
    e->appendLine(QStringLiteral("received"));
    control<QCheckBox>("CheckBox2")->click();
    EXPECT_FALSE(e->hexMode());
    EXPECT_EQ(sendCaption(), QStringLiteral("数据发送窗口(文本模式)"));
    control<QCheckBox>("CheckBox2")->click();
    EXPECT_TRUE(e->hexMode());
    EXPECT_EQ(sendCaption(), QStringLiteral("数据发送窗口[HEX模式]"));
    EXPECT_EQ(memo3->toPlainText(), QStringLiteral("hello 01"));
    EXPECT_EQ(f.paneText(e), QStringLiteral("received"));

    // Set on the endpoint (by its creator or a script): box and caption follow.
    e->setHexMode(false);
    EXPECT_FALSE(control<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(sendCaption(), QStringLiteral("数据发送窗口(文本模式)"));
    e->setHexMode(true);
    EXPECT_TRUE(control<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_EQ(sendCaption(), QStringLiteral("数据发送窗口[HEX模式]"));
}

TEST_F(DataWindowTest, KeyFilterOfTheSendPaneInHexMode)
{
    udp()->setHexMode(true);
    auto *memo = control<QPlainTextEdit>("Memo3");
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
    udp()->setHexMode(false);
    QTest::keyClicks(memo, QStringLiteral("g z"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, QStringLiteral("x"));
    EXPECT_EQ(memo->toPlainText(), QStringLiteral("g z\nx"));
}

TEST_F(DataWindowTest, CounterTextAndReset)
{
    Endpoint *e = udp();
    DataWindow *w = f.dataWindow(e);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->counterText(), QStringLiteral("收：0字节，发:0字节"));
    SendDatagram(e->localPort(), 12);
    ASSERT_TRUE(WaitFor([&] { return e->receivedBytes() == 12; }));
    e->countSent(7);
    e->announceCounters();
    EXPECT_EQ(w->counterText(), QStringLiteral("收：12字节，发:7字节"));
    // The label follows within its repaint delay.
    auto *label = control<QLabel>("StatusBar2Panel0");
    EXPECT_TRUE(WaitFor([&] { return label->text() == w->counterText(); }, 2000))
        << label->text().toStdString();

    // Past the 32-bit range the totals stay right.
    e->countSent(2147483648LL - 7);
    e->countSent(2147483648LL);
    e->announceCounters();
    EXPECT_EQ(w->counterText(), QStringLiteral("收：12字节，发:4294967296字节"));

    e->appendLine(QStringLiteral("kept"));
    control<QPushButton>("Button_2")->click();
    EXPECT_EQ(e->receivedBytes(), 0);
    EXPECT_EQ(e->sentBytes(), 0);
    EXPECT_EQ(w->counterText(), QStringLiteral("收：0字节，发:0字节"));
    EXPECT_TRUE(f.paneText(e).endsWith(QStringLiteral("kept"))) << "the reset does not clear the pane";

    SendDatagram(e->localPort(), 5);
    ASSERT_TRUE(WaitFor([&] { return e->receivedBytes() == 5; }));
    EXPECT_EQ(w->counterText(), QStringLiteral("收：5字节，发:0字节"));
}

TEST(DisplayText, ControlBytesAndBadUtf8NeitherCutNorHideTheLine)
{
    const QByteArray bytes("a\0b\r\nc\x1b\x7f"
                           "d",
                           9);
    const QString shown = bytesForDisplay(bytes);
    EXPECT_EQ(shown, QString::fromUtf8("a␀b␍␊c␛␡d"));
    EXPECT_EQ(bytesForDisplay(QByteArray("tab\there")), QStringLiteral("tab\there"));

    // An invalid sequence becomes one replacement character; what follows stays.
    const QString bad = bytesForDisplay(QByteArray("x\xff\xfey\xe4\xb8z"));
    EXPECT_TRUE(bad.startsWith(u'x'));
    EXPECT_TRUE(bad.contains(QChar(0xFFFD)));
    EXPECT_TRUE(bad.contains(u'y'));
    EXPECT_TRUE(bad.endsWith(u'z'));

    // Text and symbols pass unchanged.
    EXPECT_EQ(bytesForDisplay(QByteArray("\xe4\xb8\xad\xe6\x96\x87 {01 AB} ~!")),
              QString::fromUtf8("中文 {01 AB} ~!"));
    EXPECT_EQ(bytesForDisplay(QByteArray()), QString());
}

TEST(DisplayText, EveryReceivedBlockStaysOneLineOfThePane)
{
    // Unicode line and paragraph separators and the noncharacters U+FDD0 and
    // U+FDD1 arrive as UTF-8 too; a text document would break the line there.
    const QByteArray nasty("1\n2\r3\x00"
                           "4\xe2\x80\xa8"
                           "5\xe2\x80\xa9"
                           "6\x0b"
                           "7\x0c"
                           "8\xc2\x85"
                           "9\xef\xb7\x90"
                           "A\xef\xb7\x91"
                           "B",
                           30);
    LogPane pane;
    pane.appendLine(QStringLiteral("before"));
    pane.appendLine(QStringLiteral("12:00:00 收到数据：") + bytesForDisplay(nasty));
    pane.appendLine(QStringLiteral("after"));
    pane.flush();
    EXPECT_EQ(pane.document()->blockCount(), 3);
    const QStringList lines = pane.text().split(u'\n');
    ASSERT_EQ(lines.size(), 3) << pane.text().toStdString();
    EXPECT_TRUE(lines.at(1).endsWith(u'B'));
    for (char digit : QByteArray("123456789A"))
        EXPECT_TRUE(lines.at(1).contains(QLatin1Char(digit))) << digit;
}

}  // namespace
