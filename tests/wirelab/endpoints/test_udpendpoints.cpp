// UDP client and UDP server endpoints exchanging datagrams with test sockets
// on 127.0.0.1.
#include "udpbench.h"

#include "common/errors.h"
#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/adapterinfo.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/portprobe.h"
#include "endpoints/receivepath.h"
#include "endpoints/tmysocket.h"
#include "endpoints/udpendpoints.h"
#include "udp/tnmudp.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gmock/gmock.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const QString Local = QStringLiteral("127.0.0.1");

// The last receive-pane line without its time stamp.
QString LastLineBody(TFrmData *w)
{
    return w->Memo2->lastLine().mid(8);
}

QString ExpectedBody(const QByteArray &data, bool hex)
{
    return ReceivePath::ReceivedLine(data, hex).mid(8);
}

class UdpEndpointsTest : public UdpBench
{
protected:
    TMySocket *client(int remotePort, int localPort, const QString &host = Local)
    {
        return UdpEndpoints::CreateClient(wb(), host, remotePort, localPort,
                                          wb().FindKindRoot(Kind::UdpClient));
    }
    TMySocket *server(int localPort)
    {
        return UdpEndpoints::CreateServer(wb(), localPort, wb().FindKindRoot(Kind::UdpServer));
    }
};

TEST_F(UdpEndpointsTest, ClientShowsItselfReceivesAndSendsToItsDestination)
{
    Peer peer;
    Peer stranger;
    const int localPort = FreeUdpPort();
    TMySocket *r = client(peer.port(), localPort);
    ASSERT_NE(r, nullptr);

    EXPECT_EQ(r->kind, Kind::UdpClient);
    EXPECT_EQ(r->state, 1);
    EXPECT_TRUE(wb().registry().contains(r));
    ASSERT_NE(r->node, nullptr);
    EXPECT_EQ(r->node->text(0), QStringLiteral("127.0.0.1[%1]").arg(peer.port()));
    EXPECT_EQ(r->node->parent(), wb().FindKindRoot(Kind::UdpClient));
    EXPECT_EQ(StateImageOf(r->node), int(ImgUdp));
    EXPECT_EQ(wb().tree()->currentItem(), r->node);
    EXPECT_EQ(r->component.data(), r->udpClient.data());
    TFrmData *w = r->window;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Label3->text(), QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(w->Label4->text(), QStringLiteral("对方端口:%1").arg(peer.port()));
    EXPECT_EQ(w->Label6->text(), QStringLiteral("本地端口:%1").arg(localPort));

    // The sender shows up as a and b; the counter text is written first.
    w->setHexMode(false);
    stranger.sendTo(Local, localPort, "AB");
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 2; }));
    EXPECT_EQ(LastLineBody(w), QStringLiteral(" 收到数据：AB"));
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：2字节，发:0字节"));
    EXPECT_THAT(events(), ElementsAre(QStringLiteral("数据收发窗口|OnRead|127.0.0.1|%1")
                                          .arg(stranger.port())));

    // What arrives does not change where the client sends.
    UdpEndpoints::Send(r, "xyz");
    ASSERT_TRUE(peer.waitCount(1));
    EXPECT_EQ(peer.received[0].data(), QByteArray("xyz"));
    EXPECT_EQ(peer.received[0].senderPort(), localPort);
    SpinFor(30);
    EXPECT_TRUE(stranger.received.isEmpty());
    EXPECT_EQ(r->remotePort, peer.port());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(UdpEndpointsTest, ServerAnswersTheMostRecentSenderOnly)
{
    const int localPort = FreeUdpPort();
    TMySocket *r = server(localPort);
    ASSERT_NE(r, nullptr);
    TFrmData *w = r->window;
    ASSERT_NE(w, nullptr);

    EXPECT_EQ(r->node->text(0), LocalAddress() + QStringLiteral("[%1]").arg(localPort));
    EXPECT_EQ(r->node->parent(), wb().FindKindRoot(Kind::UdpServer));
    EXPECT_EQ(StateImageOf(r->node), int(ImgUdp));
    EXPECT_EQ(r->state, 0);
    EXPECT_EQ(w->Label3->text(), QStringLiteral("对方IP:"));
    EXPECT_EQ(w->Label4->text(), QStringLiteral("对方端口:0"));
    EXPECT_EQ(w->Label6->text(), QStringLiteral("本地端口:%1").arg(localPort));

    // Before any datagram there is nobody to answer.
    try {
        UdpEndpoints::Send(r, "early");
        ADD_FAILURE() << "sent without a peer";
    } catch (const UDPSockError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Null Remote Address"));
    }

    Peer a;
    Peer b;
    a.sendTo(Local, localPort, "one");
    ASSERT_TRUE(WaitFor([&] { return r->state == 1; }));
    EXPECT_EQ(r->remoteHost, Local);
    EXPECT_EQ(r->remotePort, a.port());
    EXPECT_EQ(w->Label3->text(), QStringLiteral("对方IP:127.0.0.1"));
    EXPECT_EQ(w->Label4->text(), QStringLiteral("对方端口:%1").arg(a.port()));
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：3字节，发:0字节"));
    UdpEndpoints::Send(r, "r1");
    ASSERT_TRUE(a.waitCount(1));
    EXPECT_EQ(a.received[0].data(), QByteArray("r1"));

    b.sendTo(Local, localPort, "two");
    ASSERT_TRUE(WaitFor([&] { return r->remotePort == b.port(); }));
    UdpEndpoints::Send(r, "r2");
    ASSERT_TRUE(b.waitCount(1));
    EXPECT_EQ(b.received[0].data(), QByteArray("r2"));
    SpinFor(30);
    EXPECT_EQ(a.received.size(), 1);

    EXPECT_THAT(events(),
                ElementsAre(QStringLiteral("数据收发窗口|OnRead|127.0.0.1|%1").arg(a.port()),
                            QStringLiteral("数据收发窗口|OnRead|127.0.0.1|%1").arg(b.port())));
}

// A failing script event stops the sequence where it stands: the client has
// written its counter text already, the server has not (it took the sender
// as its peer before the script heard of the datagram).
TEST_F(UdpEndpointsTest, ScriptErrorIsReportedAndStopsTheRestOfTheSequence)
{
    Peer peer;
    const int clientPort = FreeUdpPort();
    TMySocket *c = client(peer.port(), clientPort);
    const int serverPort = FreeUdpPort();
    TMySocket *s = server(serverPort);
    ASSERT_TRUE(c && s);
    s->window->setHexMode(false);
    const QString serverCounter = s->window->CounterText();

    failNextEvent();
    peer.sendTo(Local, clientPort, "abc");
    ASSERT_TRUE(WaitFor([&] { return messages.texts.size() == 1; }));
    EXPECT_THAT(messages.texts[0].toStdString(), HasSubstr("boom"));
    EXPECT_EQ(c->window->CounterText(), QStringLiteral("收：3字节，发:0字节"));

    failNextEvent();
    peer.sendTo(Local, serverPort, "defg");
    ASSERT_TRUE(WaitFor([&] { return messages.texts.size() == 2; }));
    EXPECT_THAT(messages.texts[1].toStdString(), HasSubstr("boom"));
    EXPECT_EQ(LastLineBody(s->window), QStringLiteral(" 收到数据：defg"));
    EXPECT_EQ(s->window->RecvCount, 4);
    EXPECT_EQ(s->window->CounterText(), serverCounter);
    EXPECT_EQ(s->state, 1);
    EXPECT_EQ(s->remotePort, peer.port());

    // The next datagram goes through the whole sequence again.
    peer.sendTo(Local, serverPort, "h");
    ASSERT_TRUE(WaitFor([&] { return s->window->CounterText() == QStringLiteral("收：5字节，发:0字节"); }));
    EXPECT_EQ(messages.texts.size(), 2);
}

// An echo written in OnRead answers the datagram being read, from the very
// first one on, and follows each new sender.
TEST_F(UdpEndpointsTest, ServerAnswerFromOnReadGoesToThatDatagramsSender)
{
    const int localPort = FreeUdpPort();
    TMySocket *r = server(localPort);
    ASSERT_NE(r, nullptr);
    wb().EvalScript(QStringLiteral("replyOnRead = true;"));
    Peer a;
    Peer b;
    a.sendTo(Local, localPort, "first");
    ASSERT_TRUE(WaitFor([&] { return a.received.size() == 1; }));
    EXPECT_EQ(a.received[0].data(), QByteArray("ok"));
    b.sendTo(Local, localPort, "second");
    ASSERT_TRUE(WaitFor([&] { return b.received.size() == 1; }));
    SpinFor(30);
    EXPECT_EQ(a.received.size(), 1);
    EXPECT_EQ(messages.texts.size(), 0);
}

TEST_F(UdpEndpointsTest, EmptyAndLargeDatagramsTravelWhole)
{
    Peer peer;
    const int localPort = FreeUdpPort();
    TMySocket *r = client(peer.port(), localPort);
    ASSERT_NE(r, nullptr);
    TFrmData *w = r->window;
    w->setHexMode(true);

    peer.sendTo(Local, localPort, QByteArray());
    ASSERT_TRUE(WaitFor([&] { return events().size() == 1; }));
    EXPECT_EQ(LastLineBody(w), QStringLiteral(" 收到数据：{}"));
    EXPECT_EQ(w->RecvCount, 0);

    const QByteArray big = Pattern(60000);
    peer.sendTo(Local, localPort, big);
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == big.size(); }));
    EXPECT_EQ(LastLineBody(w), ExpectedBody(big, true));

    UdpEndpoints::Send(r, big);
    ASSERT_TRUE(peer.waitCount(1));
    EXPECT_EQ(peer.received[0].data(), big);

    // One byte more than a datagram can carry is refused, not cut.
    EXPECT_THROW(UdpEndpoints::Send(r, Pattern(TNMUDP::MaxDatagram + 1)), WireError);
    SpinFor(30);
    EXPECT_EQ(peer.received.size(), 1);
}

TEST_F(UdpEndpointsTest, DestinationErrorsReachTheCaller)
{
    TMySocket *noHost = client(FreeUdpPort(), FreeUdpPort(), QString());
    ASSERT_NE(noHost, nullptr);
    EXPECT_EQ(noHost->node->text(0).left(1), QStringLiteral("["));
    try {
        UdpEndpoints::Send(noHost, "x");
        ADD_FAILURE() << "sent without a destination";
    } catch (const UDPSockError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Null Remote Address"));
    }

    TMySocket *unknown = client(FreeUdpPort(), FreeUdpPort(), QStringLiteral("no-such-host.invalid"));
    ASSERT_NE(unknown, nullptr);
    try {
        UdpEndpoints::Send(unknown, "x");
        ADD_FAILURE() << "sent to a name that does not resolve";
    } catch (const UDPSockError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Host Lookup Canceled"));
    }
}

// The data window's send button: refused before the server has a peer,
// answered to the peer afterwards; the component's errors end up in a box.
TEST_F(UdpEndpointsTest, SendButtonGoesThroughTheEndpoint)
{
    const int localPort = FreeUdpPort();
    TMySocket *s = server(localPort);
    ASSERT_NE(s, nullptr);
    TFrmData *w = s->window;
    w->setHexMode(false);
    w->Edit_time->setText(QStringLiteral("0"));
    Peer peer;

    w->Memo3->setPlainText(QStringLiteral("hi"));
    w->Button_11->click();
    EXPECT_EQ(w->Memo2->lastLine(), QStringLiteral("发送失败，连接已断开"));
    EXPECT_EQ(w->SentCount, 2);

    peer.sendTo(Local, localPort, "x");
    ASSERT_TRUE(WaitFor([&] { return s->state == 1; }));
    w->Memo3->setPlainText(QStringLiteral("hi"));
    w->Button_11->click();
    ASSERT_TRUE(peer.waitCount(1));
    EXPECT_EQ(peer.received[0].data(), QByteArray("hi"));
    EXPECT_TRUE(messages.texts.isEmpty());

    TMySocket *c = client(peer.port(), FreeUdpPort(), QString());
    ASSERT_NE(c, nullptr);
    c->window->Edit_time->setText(QStringLiteral("0"));
    c->window->Memo3->setPlainText(QStringLiteral("hi"));
    c->window->Button_11->click();
    EXPECT_THAT(messages.texts, ElementsAre(QStringLiteral("Null Remote Address")));
}

TEST_F(UdpEndpointsTest, DeletionFreesThePortAndSilencesTheEndpoint)
{
    Peer peer;
    const int localPort = FreeUdpPort();
    TMySocket *r = server(localPort);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(PortProbe(localPort));

    wb().tree()->setCurrentItem(r->node);
    wb().DeleteSelected();
    EXPECT_EQ(wb().registry().count(), 0);
    ASSERT_TRUE(WaitFor([&] { return PortProbe(localPort); }));
    peer.sendTo(Local, localPort, "late");
    SpinFor(50);
    EXPECT_TRUE(events().filter(QStringLiteral("OnRead")).isEmpty());
}

} // namespace
