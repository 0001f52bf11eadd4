// IPv6 end to end against both front ends: TCP and UDP servers declared
// with and without BIND, reached over ::1 and 127.0.0.1 (an IPv4 peer of a
// dual-stack socket is still shown dotted), TCP and UDP clients of an IPv6
// peer, and a TCP client of a name with both kinds of address.
#include "faultsupport.h"
#include "frontends.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/tcpclientendpoint.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>

namespace {

// A name with both kinds of address. The machine's hosts file has none, so
// the test process gets its own view of /etc/hosts that adds one. This runs
// before main, while the process has its only thread: a mount namespace
// made later would hold only the thread that made it.
const QString kDualName = QStringLiteral("dual-stack.test");

bool AddDualName()
{
    // Private propagation first, so the bind never reaches the machine's
    // own mount table; without the privilege there is no such name.
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    std::ostringstream hosts;
    hosts << std::ifstream("/etc/hosts").rdbuf() << "\n::1 dual-stack.test\n127.0.0.1 dual-stack.test\n";
    char path[] = "/tmp/wirelab-hosts.XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return false;
    const std::string text = hosts.str();
    const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    close(fd);
    const bool bound = written && mount(path, "/etc/hosts", nullptr, MS_BIND, nullptr) == 0;
    unlink(path);
    return bound;
}

const bool kDualNameAdded = AddDualName();

class Ipv6Test : public ::testing::TestWithParam<FrontEnd::Kind>
{
protected:
    void start(const QString &script) { front = FrontEnd::start(GetParam(), script); }

    // The endpoint a peer connected from peerPort became, once set up.
    Endpoint *acceptedFrom(int peerPort)
    {
        Endpoint *found = nullptr;
        WaitFor([&] {
            for (int i = 0; i < front->registry().count() && !found; ++i) {
                Endpoint *e = front->registry().at(i);
                if (e->kind() == EndpointKind::TcpConnection && e->remotePort() == peerPort && e->isActive())
                    found = e;
            }
            return found != nullptr;
        });
        return found;
    }
    static QString statusLine(const Endpoint *e) { return kindDescriptor(e->kind()).statusLine(*e, true); }

    std::unique_ptr<FrontEnd> front;
};

TEST_P(Ipv6Test, TcpServersListenOnBothFamiliesOrOnlyOnTheirBindAddress)
{
    const int port[] = {FreeTcpPort(), FreeTcpPort(), FreeTcpPort(), FreeTcpPort(), FreeTcpPort()};
    start(
        QStringLiteral("function OnInit() { sockets = [\n"
                         "  {SOCKETTYPE: 'TCP Server', PORT: %1, HEX: 0, ID: 'all'},\n"
                         "  {SOCKETTYPE: 'TCP Server', PORT: %2, HEX: 0, ID: 'v6', BIND: '::1'},\n"
                         "  {SOCKETTYPE: 'TCP Server', PORT: %3, HEX: 0, ID: 'v4', BIND: '127.0.0.1'},\n"
                         "  {SOCKETTYPE: 'TCP Server', PORT: %4, HEX: 0, ID: 'absent', BIND: '192.0.2.1'},\n"
                         "  {SOCKETTYPE: 'TCP Server', PORT: %5, HEX: 0, ID: 'bad', BIND: 'not-an-address'}];\n"
                         "}\n")
                           .arg(port[0])
                           .arg(port[1])
                           .arg(port[2])
                           .arg(port[3])
                           .arg(port[4]));

    // A value that is no address makes nothing; an address this machine
    // lacks makes a server that says why it does not listen (not "port in
    // use").
    EXPECT_EQ(front->endpoint(QStringLiteral("bad")), nullptr);
    Endpoint *absent = front->endpoint(QStringLiteral("absent"));
    ASSERT_NE(absent, nullptr);
    EXPECT_FALSE(absent->isActive());
    EXPECT_EQ(front->messages().texts.filter(QStringLiteral("监听未启动：")).size(), 1)
              << front->messages().texts.join(u'|').toStdString();
    EXPECT_EQ(front->endpoint(QStringLiteral("v6"))->caption(), QStringLiteral("[::1]:%1").arg(port[1]));
    EXPECT_EQ(front->endpoint(QStringLiteral("v4"))->caption(), QStringLiteral("127.0.0.1[%1]").arg(port[2]));

    struct Row
    {
        const char *server;
        int port;
        const char *from;
        bool accepted;
        const char *caption;  // %1: the peer's port
        const char *shown;  // the peer in the status line
    };
    const Row rows[] = {
        {"all", port[0], "::1", true, "[::1]:%1", "[::1]:%1"},
        {"all", port[0], "127.0.0.1", true, "127.0.0.1[%1]", "127.0.0.1:%1"},
        {"v6", port[1], "::1", true, "[::1]:%1", "[::1]:%1"},
        {"v6", port[1], "127.0.0.1", false, "", ""},
        {"v4", port[2], "127.0.0.1", true, "127.0.0.1[%1]", "127.0.0.1:%1"},
        {"v4", port[2], "::1", false, "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.server) + " from " + row.from);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress(QLatin1String(row.from)), quint16(row.port));
        if (!row.accepted) {
            EXPECT_TRUE(WaitFor([&] { return peer.error() == QAbstractSocket::ConnectionRefusedError; }));
            continue;
        }
        ASSERT_TRUE(peer.waitForConnected(5000));
        const int peerPort = peer.localPort();
        const auto withPort = [&](const char *text) { return QString::fromLatin1(text).arg(peerPort); };
        Endpoint *c = acceptedFrom(peerPort);
        ASSERT_NE(c, nullptr);
        const QString address = QLatin1String(row.from);
        EXPECT_EQ(c->remoteHost(), address);
        EXPECT_EQ(front->callsOf(
            QStringLiteral("OnConnect")).last(),
            QStringLiteral("OnConnect|%1|%2|%3").arg(c->name(), address).arg(c->name().section(u'_', -1)));
        EXPECT_EQ(c->caption(), withPort(row.caption));
        EXPECT_TRUE(statusLine(c).endsWith(withPort(row.shown))) << statusLine(c).toStdString();
        peer.write("ping");
        EXPECT_TRUE(WaitFor([&] { return c->receivedBytes() == 4; }));
        c->send("pong");
        EXPECT_EQ(ReadExactly(&peer, 4), "pong");
    }
}

// An IPv6 literal is used as it is; a name with both kinds of address is
// tried in the resolver's order, so a peer listening on either one alone
// is reached.
TEST_P(Ipv6Test, ATcpClientConnectsToAnIPv6PeerOrToANameThroughEitherOfItsAddresses)
{
    struct Row
    {
        QString host;
        QHostAddress listen;
    };
    QList<Row> rows {{QStringLiteral("::1"), QHostAddress::LocalHostIPv6}};
    const QList<QHostAddress> dual = QHostInfo::fromName(kDualName).addresses();
    if (dual.size() == 2)
        rows += {{kDualName, dual.at(0)}, {kDualName, dual.at(1)}};
    start(QString());
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows.at(i);
        SCOPED_TRACE((row.host + QStringLiteral(" listening on ") + row.listen.toString()).toStdString());
        QTcpServer listener;
        ASSERT_TRUE(listener.listen(row.listen, 0));
        const int port = listener.serverPort();
        const QString name = QStringLiteral("cli%1").arg(i);
        TcpClientEndpoint *r = TextTcpClient(front->registry(), name, port, row.host);
        r->start();  // "连接"
        ASSERT_TRUE(WaitFor([&] { return listener.hasPendingConnections() && r->isActive(); }));
        std::unique_ptr<QTcpSocket> peer(listener.nextPendingConnection());
        const QString address = row.listen.toString();
        EXPECT_EQ(front->callsOf(QStringLiteral("OnConnect")).last(),
                                 QStringLiteral("OnConnect|%1|%2|%3").arg(name, address).arg(port));
        if (row.host == address) {
            EXPECT_EQ(r->caption(), QStringLiteral("[::1]:%1").arg(port));
            EXPECT_EQ(statusLine(r), QStringLiteral("已连接，对端 [::1]:%1").arg(port));
        }
        r->send("hello");
        EXPECT_EQ(ReadExactly(peer.get(), 5), "hello");
    }
    if (!kDualNameAdded || dual.size() != 2)
        GTEST_SKIP() << "no name with both kinds of address here (a private /etc/hosts needs CAP_SYS_ADMIN)";
}

TEST_P(Ipv6Test, UdpServersAndClientsExchangeDatagramsWithPeersOfEitherFamily)
{
    QUdpSocket v6Peer;
    ASSERT_TRUE(v6Peer.bind(QHostAddress::LocalHostIPv6, 0));
    const int all = FreeUdpPort(), v6 = FreeUdpPort();
    start(QStringLiteral("function OnInit() { sockets = [\n"
                         "  {SOCKETTYPE: 'UDP Server', PORT: %1, HEX: 0, ID: 'all'},\n"
                         "  {SOCKETTYPE: 'UDP Server', PORT: %2, HEX: 0, ID: 'v6', BIND: '::1'},\n"
                         "  {SOCKETTYPE: 'UDP Client', HOST: '::1', REMOTEPORT: %3, LOCALPORT: 0, HEX: 0, ID: 'cli'}];\n"
                         "}\n"
                         "function onSocket(n, e) {\n"
                         "  if (e == 'OnRead' && n != 'cli') actions.push({TYPE: 'SEND', SOCKET: n, DATA: '6F6B'});\n"
                         "}\n")
            .arg(all)
            .arg(v6)
            .arg(v6Peer.localPort()));
    EXPECT_EQ(front->endpoint(QStringLiteral("v6"))->caption(), QStringLiteral("[::1]:%1").arg(v6));

    struct Row
    {
        const char *server;
        int port;
        const char *from;
        bool answered;
        const char *shown;  // the sender in the status line
    };
    const Row rows[] = {
        {"all", all, "::1", true, "[::1]:%1"},
        {"all", all, "127.0.0.1", true, "127.0.0.1:%1"},
        {"v6", v6, "::1", true, "[::1]:%1"},
        {"v6", v6, "127.0.0.1", false, ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.server) + " from " + row.from);
        const QHostAddress from(QLatin1String(row.from));
        QUdpSocket peer;
        ASSERT_TRUE(peer.bind(from, 0));
        const int peerPort = peer.localPort();
        const int reads = front->callsOf(QStringLiteral("OnRead")).size();
        peer.writeDatagram("hi", from, quint16(row.port));
        if (!row.answered) {
            SpinFor(200);
            EXPECT_EQ(front->callsOf(QStringLiteral("OnRead")).size(), reads);
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return peer.hasPendingDatagrams(); }));
        EXPECT_EQ(peer.receiveDatagram().data(), "ok");
        EXPECT_EQ(front->callsOf(
            QStringLiteral("OnRead")).last(),
            QStringLiteral("OnRead|%1|%2|%3").arg(QLatin1String(row.server), from.toString()).arg(peerPort));
        EXPECT_EQ(statusLine(front->endpoint(QLatin1String(row.server))),
                  QStringLiteral("应答 ") + QString::fromLatin1(row.shown).arg(peerPort));
    }

    // The client sends to its IPv6 destination and hears the answer.
    Endpoint *cli = front->endpoint(QStringLiteral("cli"));
    ASSERT_NE(cli, nullptr);
    EXPECT_EQ(cli->caption(), QStringLiteral("[::1]:%1").arg(v6Peer.localPort()));
    EXPECT_TRUE(statusLine(cli).endsWith(QStringLiteral("[::1]:%1").arg(v6Peer.localPort())));
    cli->send("ping");
    ASSERT_TRUE(WaitFor([&] { return v6Peer.hasPendingDatagrams(); }));
    const QNetworkDatagram got = v6Peer.receiveDatagram();
    EXPECT_EQ(got.data(), "ping");
    v6Peer.writeDatagram("pong", got.senderAddress(), quint16(got.senderPort()));
    ASSERT_TRUE(WaitFor([&] { return cli->receivedBytes() == 4; }));
    EXPECT_EQ(front->callsOf(QStringLiteral("OnRead")).last(),
                             QStringLiteral("OnRead|cli|::1|%1").arg(v6Peer.localPort()));
}

INSTANTIATE_TEST_SUITE_P(BothFrontEnds, Ipv6Test,
                         ::testing::Values(FrontEnd::Kind::Window, FrontEnd::Kind::Headless),
                         [](const auto &test) { return FrontEndName(test.param); });

}  // namespace
