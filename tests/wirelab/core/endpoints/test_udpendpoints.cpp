// The UDP client, server and group endpoints exchanging datagrams with test
// sockets on 127.0.0.1 and on the loopback multicast route of the test
// namespace.
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "core/errors.h"
#include "core/net/adapterinfo.h"
#include "core/net/datagramsocket.h"
#include "core/net/portprobe.h"

#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>
#include <gmock/gmock.h>

#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const QString Local = QStringLiteral("127.0.0.1");
const QString Group = QStringLiteral("224.1.1.1");
using Path = UdpGroupEndpoint::Path;

// Fails the next script event with "boom"; answers every OnRead with "ok"
// when replyOnRead is set.
const QString Script = QStringLiteral(
    "var failNext = false;\n"
    "var replyOnRead = false;\n"
    "function onSocket(n, e, a, b) {\n"
    "  if (failNext) { failNext = false; throw new Error('boom'); }\n"
    "  if (replyOnRead && e == 'OnRead') actions.push({TYPE: 'SEND', SOCKET: n, DATA: '6F6B'});\n"
    "}\n");

// Bytes that depend on their position, so a cut or merged datagram never
// compares equal.
QByteArray Pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

// A test socket that collects every datagram it receives.
struct Peer
{
    QUdpSocket socket;
    QList<QNetworkDatagram> received;

    explicit Peer(const QHostAddress &bindTo = QHostAddress(QHostAddress::LocalHost), int port = 0,
                  QAbstractSocket::BindMode mode = QAbstractSocket::DefaultForPlatform)
    {
        EXPECT_TRUE(socket.bind(bindTo, quint16(port), mode));
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this] {
            while (socket.hasPendingDatagrams())
                received.append(socket.receiveDatagram());
        });
    }
    int port() const { return socket.localPort(); }
    void sendTo(const QString &host, int port, const QByteArray &data)
    {
        EXPECT_EQ(socket.writeDatagram(data, QHostAddress(host), quint16(port)), data.size());
    }
    bool waitCount(int n)
    {
        return WaitFor([&] { return received.size() >= n; });
    }
};

// The last receive-pane line without its time stamp.
QString LastBody(ScriptedCore &f, const Endpoint *r)
{
    const QStringList lines = f.lineList(r);
    return lines.isEmpty() ? QString() : lines.last().mid(8);
}

QStringList TakeMessages(ScriptedCore &f) { return std::exchange(f.messages.texts, {}); }

TEST(UdpClient, ReceivesFromAnyoneAndSendsToItsDestination)
{
    ScriptedCore f(Script);
    Peer peer;
    Peer stranger;
    const int localPort = FreeUdpPort();
    Endpoint *r = UdpClientEndpoint::create(f.registry(), Local, peer.port(), localPort);
    ASSERT_NE(r, nullptr);

    EXPECT_EQ(r->kind(), EndpointKind::UdpClient);
    EXPECT_TRUE(r->isActive());
    EXPECT_EQ(f.registry().endpointsOf(EndpointKind::UdpClient), QList<Endpoint *> {r});
    EXPECT_EQ(r->caption(), QStringLiteral("127.0.0.1[%1]").arg(peer.port()));
    EXPECT_EQ(r->image(), StateImage::Udp);
    EXPECT_EQ(r->remoteHost(), Local);
    EXPECT_EQ(r->remotePort(), peer.port());
    EXPECT_EQ(r->localPort(), localPort);

    // The sender shows up as a and b.
    r->setHexMode(false);
    stranger.sendTo(Local, localPort, "AB");
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 2; }));
    EXPECT_EQ(LastBody(f, r), QStringLiteral(" 收到数据：AB"));
    EXPECT_THAT(f.calls(),
                ElementsAre(QStringLiteral("OnRead|数据收发窗口|127.0.0.1|%1").arg(stranger.port())));

    // What arrives does not change where the client sends.
    r->send("xyz");
    ASSERT_TRUE(peer.waitCount(1));
    EXPECT_EQ(peer.received[0].data(), QByteArray("xyz"));
    EXPECT_EQ(peer.received[0].senderPort(), localPort);
    SpinFor(30);
    EXPECT_TRUE(stranger.received.isEmpty());
    EXPECT_EQ(r->remotePort(), peer.port());
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(UdpServer, AnswersTheMostRecentSenderOnly)
{
    ScriptedCore f(Script);
    const int localPort = FreeUdpPort();
    auto *r = UdpServerEndpoint::create(f.registry(), localPort);
    ASSERT_NE(r, nullptr);

    EXPECT_EQ(r->caption(), localAdapterAddress() + QStringLiteral("[%1]").arg(localPort));
    EXPECT_EQ(f.registry().endpointsOf(EndpointKind::UdpServer), QList<Endpoint *> {r});
    EXPECT_EQ(r->image(), StateImage::Udp);
    EXPECT_FALSE(r->isActive());
    EXPECT_EQ(r->remoteHost(), QString());
    EXPECT_EQ(r->remotePort(), 0);
    EXPECT_EQ(r->localPort(), localPort);

    // Before any datagram there is nobody to answer: the endpoint refuses,
    // and its socket has no destination either.
    r->send("early");
    EXPECT_EQ(f.lineList(r), QStringList {QStringLiteral("发送失败，连接已断开")});
    try {
        r->socket()->sendStream("early");
        ADD_FAILURE() << "sent without a peer";
    } catch (const UDPSockError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Null Remote Address"));
    }

    Peer a;
    Peer b;
    a.sendTo(Local, localPort, "one");
    ASSERT_TRUE(WaitFor([&] { return r->isActive(); }));
    EXPECT_EQ(r->remoteHost(), Local);
    EXPECT_EQ(r->remotePort(), a.port());
    EXPECT_EQ(r->receivedBytes(), 3);
    r->send("r1");
    ASSERT_TRUE(a.waitCount(1));
    EXPECT_EQ(a.received[0].data(), QByteArray("r1"));

    b.sendTo(Local, localPort, "two");
    ASSERT_TRUE(WaitFor([&] { return r->remotePort() == b.port(); }));
    r->send("r2");
    ASSERT_TRUE(b.waitCount(1));
    EXPECT_EQ(b.received[0].data(), QByteArray("r2"));
    SpinFor(30);
    EXPECT_EQ(a.received.size(), 1);

    EXPECT_THAT(f.calls(),
                ElementsAre(QStringLiteral("OnRead|数据收发窗口|127.0.0.1|%1").arg(a.port()),
                                           QStringLiteral("OnRead|数据收发窗口|127.0.0.1|%1").arg(b.port())));
}

// A failing script event stops the receive sequence where it stands: the
// client has announced its counters already, the server has not (it took
// the sender as its peer before the script heard of the datagram).
TEST(UdpEndpoints, ScriptErrorIsReportedAndStopsTheRestOfTheSequence)
{
    ScriptedCore f(Script);
    Peer peer;
    const int clientPort = FreeUdpPort();
    Endpoint *c = UdpClientEndpoint::create(f.registry(), Local, peer.port(), clientPort);
    const int serverPort = FreeUdpPort();
    Endpoint *s = UdpServerEndpoint::create(f.registry(), serverPort);
    ASSERT_TRUE(c && s);
    s->setHexMode(false);
    QSignalSpy clientCounters(c, &Endpoint::countersChanged);
    QSignalSpy serverCounters(s, &Endpoint::countersChanged);

    f.js(QStringLiteral("failNext = true;"));
    peer.sendTo(Local, clientPort, "abc");
    ASSERT_TRUE(WaitFor([&] { return f.messages.texts.size() == 1; }));
    EXPECT_THAT(f.messages.texts[0].toStdString(), HasSubstr("boom"));
    EXPECT_EQ(c->receivedBytes(), 3);
    EXPECT_EQ(clientCounters.size(), 1);

    f.js(QStringLiteral("failNext = true;"));
    peer.sendTo(Local, serverPort, "defg");
    ASSERT_TRUE(WaitFor([&] { return f.messages.texts.size() == 2; }));
    EXPECT_THAT(f.messages.texts[1].toStdString(), HasSubstr("boom"));
    EXPECT_EQ(LastBody(f, s), QStringLiteral(" 收到数据：defg"));
    EXPECT_EQ(s->receivedBytes(), 4);
    EXPECT_EQ(serverCounters.size(), 0);
    EXPECT_TRUE(s->isActive());
    EXPECT_EQ(s->remotePort(), peer.port());

    // The next datagram goes through the whole sequence again.
    peer.sendTo(Local, serverPort, "h");
    ASSERT_TRUE(WaitFor([&] { return serverCounters.size() == 1; }));
    EXPECT_EQ(s->receivedBytes(), 5);
    EXPECT_EQ(f.messages.texts.size(), 2);
}

// An echo written in OnRead answers the datagram being read, from the very
// first one on, and follows each new sender.
TEST(UdpServer, AnswerFromOnReadGoesToThatDatagramsSender)
{
    ScriptedCore f(Script);
    const int localPort = FreeUdpPort();
    ASSERT_NE(UdpServerEndpoint::create(f.registry(), localPort), nullptr);
    f.js(QStringLiteral("replyOnRead = true;"));
    Peer a;
    Peer b;
    a.sendTo(Local, localPort, "first");
    ASSERT_TRUE(a.waitCount(1));
    EXPECT_EQ(a.received[0].data(), QByteArray("ok"));
    b.sendTo(Local, localPort, "second");
    ASSERT_TRUE(b.waitCount(1));
    SpinFor(30);
    EXPECT_EQ(a.received.size(), 1);
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(UdpClient, EmptyAndLargeDatagramsTravelWhole)
{
    ScriptedCore f(Script);
    Peer peer;
    const int localPort = FreeUdpPort();
    Endpoint *r = UdpClientEndpoint::create(f.registry(), Local, peer.port(), localPort);
    ASSERT_NE(r, nullptr);
    r->setHexMode(true);

    peer.sendTo(Local, localPort, QByteArray());
    ASSERT_TRUE(WaitFor([&] { return f.calls().size() == 1; }));
    EXPECT_EQ(LastBody(f, r), QStringLiteral(" 收到数据：{}"));
    EXPECT_EQ(r->receivedBytes(), 0);

    const QByteArray big = Pattern(60000);
    peer.sendTo(Local, localPort, big);
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == big.size(); }));
    EXPECT_EQ(LastBody(f, r), u' ' + receivedLine(big, true));

    r->send(big);
    ASSERT_TRUE(peer.waitCount(1));
    EXPECT_EQ(peer.received[0].data(), big);

    // One byte more than a datagram can carry is refused, not cut.
    EXPECT_THROW(r->send(Pattern(DatagramSocket::MaxDatagram + 1)), WireError);
    SpinFor(30);
    EXPECT_EQ(peer.received.size(), 1);
}

TEST(UdpClient, DestinationErrorsReachTheCaller)
{
    ScriptedCore f(Script);
    const struct
    {
        QString host;
        QString error;
    } cases[] = {
        {QString(), QStringLiteral("Null Remote Address")},
         {QStringLiteral("no-such-host.invalid"), QStringLiteral("Host Lookup Canceled")},
        };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        Endpoint *r = UdpClientEndpoint::create(f.registry(), c.host, FreeUdpPort(), FreeUdpPort());
        ASSERT_NE(r, nullptr);
        EXPECT_TRUE(r->caption().startsWith(c.host + u'['));
        try {
            r->send("x");
            ADD_FAILURE() << "sent without a usable destination";
        } catch (const UDPSockError &e) {
            EXPECT_EQ(e.message(), c.error);
        }
    }
}

TEST(UdpGroup, ReceivesFromTheGroupAndSendsToGroupAndPort)
{
    ScriptedCore f(Script);
    const int port = FreeUdpPort();
    Endpoint *r = UdpGroupEndpoint::create(f.registry(), Group, port, Path::Dialog);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
    EXPECT_EQ(f.registry().endpointsOf(EndpointKind::UdpGroup), QList<Endpoint *> {r});
    EXPECT_EQ(r->kind(), EndpointKind::UdpGroup);
    EXPECT_TRUE(r->isActive());
    EXPECT_EQ(r->localAddress(), Group);
    EXPECT_EQ(r->localPort(), port);
    EXPECT_EQ(r->caption(), QStringLiteral("224.1.1.1[%1]").arg(port));
    EXPECT_EQ(r->image(), StateImage::Group);
    r->setHexMode(false);

    // The script hears neither the sender's address nor its port.
    Peer sender(QHostAddress::AnyIPv4);
    sender.sendTo(Group, port, "hello");
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 5; }));
    EXPECT_EQ(LastBody(f, r), QStringLiteral(" 收到数据：hello"));
    EXPECT_THAT(f.calls(), ElementsAre(QStringLiteral("OnRead|数据收发窗口||0")));

    // Datagrams larger than a small read buffer still arrive whole.
    const QByteArray big = Pattern(60000);
    sender.sendTo(Group, port, big);
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 5 + big.size(); }));
    EXPECT_EQ(LastBody(f, r), u' ' + receivedLine(big, false));

    // Having heard a peer on another port, the endpoint still sends to the
    // group's own port: with the default loopback it hears itself there.
    r->send("ping");
    ASSERT_TRUE(WaitFor([&] { return r->receivedBytes() == 5 + big.size() + 4; }));
    EXPECT_EQ(LastBody(f, r), QStringLiteral(" 收到数据：ping"));
    SpinFor(30);
    EXPECT_TRUE(sender.received.isEmpty());
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(UdpEndpoints, OnReadGetsTheDatagramAsCompactHexFifth)
{
    ScriptedCore f(QStringLiteral("var reads = [];\n"
                                  "function onSocket(n, e, a, b, d) { if (e == 'OnRead') reads.push([a, b, d].join('|')); }\n"));
    Peer sender(QHostAddress::AnyIPv4);
    const QString from = QStringLiteral("127.0.0.1|%1|").arg(sender.port());
    const int groupPort = FreeUdpPort();
    const struct
    {
        Endpoint *endpoint;
        QString to;
        int port;
        QString expected;  // a|b|hex
    } cases[] = {
        {UdpClientEndpoint::create(f.registry(), Local, 9, FreeUdpPort()), Local, 0, from},
        {UdpServerEndpoint::create(f.registry(), FreeUdpPort()), Local, 0, from},
        {UdpGroupEndpoint::create(f.registry(), Group, groupPort, Path::Dialog), Group, groupPort,
         QStringLiteral("|0|")},
        };
    for (const auto &c : cases) {
        ASSERT_NE(c.endpoint, nullptr);
        SCOPED_TRACE(kindName(c.endpoint->kind()).toStdString());
        f.js(QStringLiteral("reads = [];"));
        for (const QByteArray &datagram : {QByteArray("\x00\xFF"
                                                      "A",
                                                      3),
                                           QByteArray()}) {
            sender.sendTo(c.to, c.port ? c.port : c.endpoint->portInUse(), datagram);
            ASSERT_TRUE(WaitFor([&] {
                return f.js(QStringLiteral("reads.length")).toInt() == (datagram.isEmpty() ? 2 : 1);
            }));
        }
        EXPECT_EQ(f.js(QStringLiteral("reads.join(',')")),
                       c.expected + QStringLiteral("00FF41,") + c.expected);
    }
}

// The test socket holds the port with address sharing, which the endpoint
// does not ask for: its bind fails, yet it joins, and what it sends reaches
// the member.
TEST(UdpGroup, SendsReachAMemberOfTheGroup)
{
    ScriptedCore f(Script);
    const int port = FreeUdpPort();
    Peer member(QHostAddress::AnyIPv4, port, QAbstractSocket::ShareAddress);
    ASSERT_TRUE(member.socket.joinMulticastGroup(QHostAddress(Group)));

    Endpoint *r = UdpGroupEndpoint::create(f.registry(), Group, port, Path::Dialog);
    ASSERT_NE(r, nullptr);
    EXPECT_THAT(TakeMessages(f), ElementsAre(QStringLiteral("bind fail")));

    r->send(QByteArray("\x00\xff to the group", 15));
    ASSERT_TRUE(member.waitCount(1));
    EXPECT_EQ(member.received[0].data(), QByteArray("\x00\xff to the group", 15));
    EXPECT_EQ(member.received[0].destinationAddress(), QHostAddress(Group));
    EXPECT_TRUE(f.messages.texts.isEmpty());
}

TEST(UdpGroup, SecondGroupOnTheSamePortIsCreatedButDeaf)
{
    ScriptedCore f(Script);
    const int port = FreeUdpPort();
    Endpoint *first = UdpGroupEndpoint::create(f.registry(), Group, port, Path::Dialog);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(TakeMessages(f).isEmpty());

    Endpoint *second = UdpGroupEndpoint::create(f.registry(), Group, port, Path::ParamLine);
    ASSERT_NE(second, nullptr);
    EXPECT_THAT(TakeMessages(f), ElementsAre(QStringLiteral("udp group bind fail")));
    EXPECT_TRUE(f.registry().contains(second));
    EXPECT_EQ(second->caption(), QStringLiteral("224.1.1.1[%1]").arg(port));
    EXPECT_TRUE(second->isActive());

    ASSERT_NE(UdpGroupEndpoint::create(f.registry(), Group, port, Path::Dialog), nullptr);
    EXPECT_THAT(TakeMessages(f), ElementsAre(QStringLiteral("bind fail")));

    Peer sender(QHostAddress::AnyIPv4);
    sender.sendTo(Group, port, "x");
    ASSERT_TRUE(WaitFor([&] { return first->receivedBytes() == 1; }));
    SpinFor(30);
    EXPECT_TRUE(f.lineList(second).isEmpty());
    EXPECT_EQ(f.registry().count(), 3);

    // Its notices name the port in use: the one it failed to bind, or the
    // one the system chose for port 0.
    EXPECT_EQ(second->portInUse(), port);
    Endpoint *chosen = UdpGroupEndpoint::create(f.registry(), Group, 0, Path::Dialog);
    ASSERT_NE(chosen, nullptr);
    EXPECT_GT(chosen->portInUse(), 0);
    EXPECT_EQ(kindDescriptor(EndpointKind::UdpGroup).statusLine(*chosen, true),
              QStringLiteral("组播 224.1.1.1:%1").arg(chosen->portInUse()));
}

TEST(UdpGroup, AddressesThatCannotBeJoinedAreStillCreated)
{
    ScriptedCore f(Script);
    const int port = FreeUdpPort();
    Endpoint *unicast =
        UdpGroupEndpoint::create(f.registry(), QStringLiteral("10.1.1.1"), port, Path::ParamLine);
    ASSERT_NE(unicast, nullptr);
    EXPECT_THAT(TakeMessages(f), ElementsAre(QStringLiteral("无法进行UDP组播")));
    EXPECT_EQ(unicast->caption(), QStringLiteral("10.1.1.1[%1]").arg(port));
    EXPECT_TRUE(f.registry().contains(unicast));

    // Not an address at all: joining fails, and so does every send, with the
    // error number first (nothing leaves the machine).
    Endpoint *garbage =
        UdpGroupEndpoint::create(f.registry(), QStringLiteral("abc"), FreeUdpPort(), Path::Dialog);
    ASSERT_NE(garbage, nullptr);
    EXPECT_THAT(TakeMessages(f), ElementsAre(QStringLiteral("无法进行UDP组播")));
    garbage->send("x");
    EXPECT_THAT(
        TakeMessages(f),
        ElementsAre(QString::number(EINVAL), QStringLiteral("send fail"), QStringLiteral("Not Send all")));
}

TEST(UdpGroup, OversizedSendShowsTheErrorAndBothFailureBoxes)
{
    ScriptedCore f(Script);
    Endpoint *r = UdpGroupEndpoint::create(f.registry(), Group, FreeUdpPort(), Path::Dialog);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(TakeMessages(f).isEmpty());
    r->send(Pattern(65508));
    EXPECT_THAT(
        TakeMessages(f),
        ElementsAre(QString::number(EMSGSIZE), QStringLiteral("send fail"), QStringLiteral("Not Send all")));
}

// With no descriptor left the socket cannot be made: the error number leads
// the path's text, and the bind and the join fail after it.
TEST(UdpGroup, SocketThatCannotBeMadeShowsEveryFollowingFailure)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime opens descriptors for its own checks and reports
    // false errors when none is left.
    GTEST_SKIP() << "needs a process without sanitizers";
#endif
    ScriptedCore f(Script);
    auto createWithoutDescriptors = [&](Path path) {
        const int port = FreeUdpPort();
        rlimit saved {};
        EXPECT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
        const int lowest = ::dup(0);
        ::close(lowest);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(lowest);
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
        Endpoint *r = UdpGroupEndpoint::create(f.registry(), Group, port, path);
        EXPECT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
        return r;
    };
    Endpoint *line = createWithoutDescriptors(Path::ParamLine);
    ASSERT_NE(line, nullptr);
    EXPECT_THAT(TakeMessages(f),
                ElementsAre(QString::number(EMFILE)
                            + QStringLiteral("Udp group Socket创建失败"),
                                             QStringLiteral("udp group bind fail"),
                                                            QStringLiteral("无法进行UDP组播")));
    EXPECT_TRUE(f.registry().contains(line));

    Endpoint *dialog = createWithoutDescriptors(Path::Dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_THAT(TakeMessages(f),
                ElementsAre(QString::number(EMFILE)
                            + QStringLiteral("  Socket创建失败"),
                                             QStringLiteral("bind fail"), QStringLiteral("无法进行UDP组播")));

    dialog->send("x");
    EXPECT_THAT(
        TakeMessages(f),
        ElementsAre(QString::number(EBADF), QStringLiteral("send fail"), QStringLiteral("Not Send all")));
}

// Deleting frees the local port at once and nothing reaches the script
// afterwards; a group's port is free the moment it is deleted.
TEST(UdpEndpoints, DeletionFreesThePortAndSilencesTheEndpoint)
{
    ScriptedCore f(Script);
    const int serverPort = FreeUdpPort();
    Endpoint *server = UdpServerEndpoint::create(f.registry(), serverPort);
    const int groupPort = FreeUdpPort();
    Endpoint *group = UdpGroupEndpoint::create(f.registry(), Group, groupPort, Path::Dialog);
    ASSERT_TRUE(server && group);
    EXPECT_FALSE(portProbe(serverPort));
    EXPECT_FALSE(portProbe(groupPort));

    f.registry().deleteEndpoint(group);
    EXPECT_TRUE(portProbe(groupPort));
    f.registry().deleteEndpoint(server);
    EXPECT_EQ(f.registry().count(), 0);
    ASSERT_TRUE(WaitFor([&] { return portProbe(serverPort); }));
    Peer peer;
    peer.sendTo(Local, serverPort, "late");
    SpinFor(50);
    EXPECT_TRUE(f.callsOf(QStringLiteral("OnRead")).isEmpty());
    EXPECT_EQ(f.calls(),
              (QStringList {QStringLiteral("delete|数据收发窗口"), QStringLiteral("delete|数据收发窗口")}));
}

}  // namespace
