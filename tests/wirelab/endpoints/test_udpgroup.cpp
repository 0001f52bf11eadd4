// UDP group endpoints on the loopback multicast route of the test namespace.
#include "udpbench.h"

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/portprobe.h"
#include "endpoints/receivepath.h"
#include "endpoints/tmysocket.h"
#include "endpoints/udpgroupendpoint.h"
#include "udp/groupsocket.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gmock/gmock.h>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>

using ::testing::ElementsAre;

namespace {

const QString Group = QStringLiteral("224.1.1.1");
using UdpGroupEndpoint::Path;

QString Body(TFrmData *w) { return w->Memo2->lastLine().mid(8); }

class UdpGroupTest : public UdpBench
{
protected:
    TMySocket *group(const QString &address, int port, Path path = Path::Dialog)
    {
        return UdpGroupEndpoint::Create(wb(), address, port, wb().FindKindRoot(Kind::UdpGroup), path);
    }
    QStringList takeMessages()
    {
        const QStringList texts = messages.texts;
        messages.texts.clear();
        return texts;
    }
};

TEST_F(UdpGroupTest, ReceivesFromTheGroupAndSendsToGroupAndPort)
{
    const int port = FreeUdpPort();
    TMySocket *r = group(Group, port);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'|').toStdString();
    EXPECT_TRUE(wb().registry().contains(r));
    EXPECT_EQ(r->kind, Kind::UdpGroup);
    EXPECT_EQ(r->state, 1);
    EXPECT_EQ(r->localAddress, Group);
    EXPECT_EQ(r->localPort, port);
    EXPECT_EQ(r->node->text(0), QStringLiteral("224.1.1.1[%1]").arg(port));
    EXPECT_EQ(r->node->parent(), wb().FindKindRoot(Kind::UdpGroup));
    EXPECT_EQ(StateImageOf(r->node), int(ImgGroup));
    TFrmData *w = r->window;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Label3->text(), QStringLiteral("组播地址:224.1.1.1"));
    EXPECT_EQ(w->Label4->text(), QStringLiteral("组播端口:%1").arg(port));
    w->setHexMode(false);

    // The script hears neither the sender's address nor its port.
    Peer sender(QHostAddress::AnyIPv4);
    sender.sendTo(Group, port, "hello");
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 5; }));
    EXPECT_EQ(Body(w), QStringLiteral(" 收到数据：hello"));
    EXPECT_EQ(w->CounterText(), QStringLiteral("收：5字节，发:0字节"));
    EXPECT_THAT(events(), ElementsAre(QStringLiteral("数据收发窗口|OnRead||0")));

    // Datagrams larger than a small read buffer still arrive whole.
    const QByteArray big = Pattern(60000);
    sender.sendTo(Group, port, big);
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 5 + big.size(); }));
    EXPECT_EQ(Body(w), ReceivePath::ReceivedLine(big, false).mid(8));

    // Having heard a peer on another port, the endpoint still sends to the
    // group's own port: with the default loopback it hears itself there.
    UdpGroupEndpoint::Send(wb(), r, "ping");
    ASSERT_TRUE(WaitFor([&] { return w->RecvCount == 5 + big.size() + 4; }));
    EXPECT_EQ(Body(w), QStringLiteral(" 收到数据：ping"));
    SpinFor(30);
    EXPECT_TRUE(sender.received.isEmpty());
    EXPECT_TRUE(messages.texts.isEmpty());
}

// The test socket holds the port with address sharing, which the endpoint
// does not ask for: its bind fails, yet it joins, and what it sends reaches
// the member.
TEST_F(UdpGroupTest, SendsReachAMemberOfTheGroup)
{
    const int port = FreeUdpPort();
    Peer member(QHostAddress::AnyIPv4, port, QAbstractSocket::ShareAddress);
    ASSERT_TRUE(member.socket.joinMulticastGroup(QHostAddress(Group)));

    TMySocket *r = group(Group, port);
    ASSERT_NE(r, nullptr);
    EXPECT_THAT(takeMessages(), ElementsAre(QStringLiteral("bind fail")));

    UdpGroupEndpoint::Send(wb(), r, "to the group");
    ASSERT_TRUE(member.waitCount(1));
    EXPECT_EQ(member.received[0].data(), QByteArray("to the group"));
    EXPECT_EQ(member.received[0].destinationAddress(), QHostAddress(Group));

    // The same through the data window's send button.
    r->window->setHexMode(true);
    r->window->Edit_time->setText(QStringLiteral("0"));
    r->window->Memo3->setPlainText(QStringLiteral("00FF41"));
    r->window->Button_11->click();
    ASSERT_TRUE(member.waitCount(2));
    EXPECT_EQ(member.received[1].data(), QByteArray("\x00\xff\x41", 3));
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(UdpGroupTest, SecondGroupOnTheSamePortIsCreatedButDeaf)
{
    const int port = FreeUdpPort();
    TMySocket *first = group(Group, port);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(takeMessages().isEmpty());

    TMySocket *second = group(Group, port, Path::ParamLine);
    ASSERT_NE(second, nullptr);
    EXPECT_THAT(takeMessages(), ElementsAre(QStringLiteral("udp group bind fail")));
    EXPECT_TRUE(wb().registry().contains(second));
    EXPECT_EQ(second->node->text(0), QStringLiteral("224.1.1.1[%1]").arg(port));
    EXPECT_EQ(second->state, 1);

    TMySocket *third = group(Group, port, Path::Dialog);
    ASSERT_NE(third, nullptr);
    EXPECT_THAT(takeMessages(), ElementsAre(QStringLiteral("bind fail")));

    Peer sender(QHostAddress::AnyIPv4);
    sender.sendTo(Group, port, "x");
    ASSERT_TRUE(WaitFor([&] { return first->window->RecvCount == 1; }));
    SpinFor(30);
    EXPECT_EQ(second->window->Memo2->text(), QString());
    EXPECT_EQ(wb().registry().count(), 3);
}

TEST_F(UdpGroupTest, AddressesThatCannotBeJoinedAreStillCreated)
{
    const int port = FreeUdpPort();
    TMySocket *unicast = group(QStringLiteral("10.1.1.1"), port, Path::ParamLine);
    ASSERT_NE(unicast, nullptr);
    EXPECT_THAT(takeMessages(), ElementsAre(QStringLiteral("无法进行UDP组播")));
    EXPECT_EQ(unicast->node->text(0), QStringLiteral("10.1.1.1[%1]").arg(port));
    EXPECT_TRUE(wb().registry().contains(unicast));

    // Not an address at all: joining fails, and so does every send, with the
    // error number first (nothing leaves the machine).
    TMySocket *garbage = group(QStringLiteral("abc"), FreeUdpPort());
    ASSERT_NE(garbage, nullptr);
    EXPECT_THAT(takeMessages(), ElementsAre(QStringLiteral("无法进行UDP组播")));
    UdpGroupEndpoint::Send(wb(), garbage, "x");
    EXPECT_THAT(takeMessages(), ElementsAre(QString::number(EINVAL), QStringLiteral("send fail"),
                                            QStringLiteral("Not Send all")));
}

TEST_F(UdpGroupTest, OversizedSendShowsTheErrorAndBothFailureBoxes)
{
    TMySocket *r = group(Group, FreeUdpPort());
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(takeMessages().isEmpty());
    UdpGroupEndpoint::Send(wb(), r, Pattern(65508));
    EXPECT_THAT(takeMessages(), ElementsAre(QString::number(EMSGSIZE), QStringLiteral("send fail"),
                                            QStringLiteral("Not Send all")));
}

// With no descriptor left the socket cannot be made: the error number leads
// the path's text, and the bind and the join fail after it.
TEST_F(UdpGroupTest, SocketThatCannotBeMadeShowsEveryFollowingFailure)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime opens descriptors for its own checks and reports
    // false errors when none is left.
    GTEST_SKIP() << "needs a process without sanitizers";
#endif
    auto createWithoutDescriptors = [&](Path path) {
        const int port = FreeUdpPort();
        rlimit saved{};
        EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
        const int lowest = ::dup(0);
        ::close(lowest);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(lowest);
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        TMySocket *r = group(Group, port, path);
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
        return r;
    };
    TMySocket *line = createWithoutDescriptors(Path::ParamLine);
    ASSERT_NE(line, nullptr);
    EXPECT_THAT(takeMessages(),
                ElementsAre(QString::number(EMFILE) + QStringLiteral("Udp group Socket创建失败"),
                            QStringLiteral("udp group bind fail"), QStringLiteral("无法进行UDP组播")));
    EXPECT_TRUE(wb().registry().contains(line));

    TMySocket *dialog = createWithoutDescriptors(Path::Dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_THAT(takeMessages(),
                ElementsAre(QString::number(EMFILE) + QStringLiteral("  Socket创建失败"),
                            QStringLiteral("bind fail"), QStringLiteral("无法进行UDP组播")));

    UdpGroupEndpoint::Send(wb(), dialog, "x");
    EXPECT_THAT(takeMessages(), ElementsAre(QString::number(EBADF), QStringLiteral("send fail"),
                                            QStringLiteral("Not Send all")));
}

TEST_F(UdpGroupTest, DeletionLeavesTheGroupPortFree)
{
    const int port = FreeUdpPort();
    TMySocket *r = group(Group, port);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(PortProbe(port));
    wb().tree()->setCurrentItem(r->node);
    wb().DeleteSelected();
    EXPECT_EQ(wb().registry().count(), 0);
    EXPECT_TRUE(PortProbe(port));
}

} // namespace
