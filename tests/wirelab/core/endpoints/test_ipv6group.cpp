// UDP Group endpoints on IPv6 groups, and a TCP client of a link-local
// peer, over a veth pair made in a network namespace of this test's own:
// IPv6 multicast does not loop back over lo, while a member on a real link
// hears its own datagrams.
#include "scriptedcore.h"
#include "testsupport.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/net/adapterinfo.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sched.h>

namespace {

QString Output(const char *command)
{
    QByteArray out;
    if (FILE *p = ::popen(command, "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, qsizetype(n));
        ::pclose(p);
    }
    return QString::fromLocal8Bit(out);
}

// Moves this thread (the one that makes every socket of the test) into a
// fresh network namespace with a veth pair v0/v1 whose link-local addresses
// are usable; the reason when it cannot.
QString MakeVethNamespace()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return QStringLiteral("no private network namespace (unshare: %1)").arg(
            QString::fromLocal8Bit(strerror(errno)));
    if (std::system("ip link add v0 type veth peer name v1 2>/dev/null") != 0)
        return QStringLiteral("no veth pair in this namespace");
    // Duplicate address detection holds a new address back for about two
    // seconds; skip it where the namespace lets us.
    std::system("sysctl -qw net.ipv6.conf.v0.accept_dad=0 net.ipv6.conf.v1.accept_dad=0 2>/dev/null");
    if (std::system("ip link set lo up && ip link set v0 up && ip link set v1 up") != 0)
        return QStringLiteral("cannot bring the veth pair up");
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QString v0 = Output("ip -6 -o addr show dev v0 scope link");
        if (v0.contains(QStringLiteral("fe80")) && !v0.contains(QStringLiteral("tentative")))
            return QString();
        if (clock.elapsed() > 10000)
            return QStringLiteral("v0 got no usable link-local address in 10 s");
        QThread::msleep(50);
    }
}

TEST(UdpGroupIPv6, JoinsOnTheInterfaceOfItsZoneAndHearsItsOwnDatagrams)
{
    const QString unusable = MakeVethNamespace();
    if (!unusable.isEmpty())
        GTEST_SKIP() << unusable.toStdString();

    // The adapter information lists v0's link-local address with its zone.
    EXPECT_TRUE(ipv6AdapterText(systemAdapters()).contains(QStringLiteral("%v0\r")))
                << ipv6AdapterText(systemAdapters()).toStdString();

    struct Row
    {
        const char *group;
        bool joins;
    };
    const Row rows[] = {
        {"ff15::1%v0", true},
        {"ff02::1:3%v0", true},
        {"2001:db8::1", false},  // not a multicast address
        {"ff15::1%nosuch", false},  // no such interface
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.group);
        ScriptedCore f;
        const QString group = QLatin1String(row.group);
        const int port = FreeUdpPort();
        Endpoint *r = UdpGroupEndpoint::create(f.registry(), group, port, UdpGroupEndpoint::Path::ParamLine);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->caption(), QStringLiteral("[%1]:%2").arg(group).arg(port));
        if (!row.joins) {
            EXPECT_EQ(f.messages.texts, QStringList {QStringLiteral("无法进行UDP组播")});
            continue;
        }
        EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
        EXPECT_EQ(kindDescriptor(r->kind()).statusLine(*r, true),
                  QStringLiteral("组播 [%1]:%2").arg(group).arg(port));
        EXPECT_TRUE(r->send("hi"));
        EXPECT_TRUE(WaitFor([&] { return r->receivedBytes() == 2; }));
        EXPECT_TRUE(f.messages.texts.isEmpty()) << f.messages.texts.join(u'|').toStdString();
    }
}

TEST(TcpClientIPv6, ReachesALinkLocalPeerThroughTheInterfaceItsZoneNames)
{
    const QString unusable = MakeVethNamespace();
    if (!unusable.isEmpty())
        GTEST_SKIP() << unusable.toStdString();
    // v0's own link-local address, with v0 as its zone.
    const QString line = Output("ip -6 -o addr show dev v0 scope link");
    const QString address =
        line.section(QStringLiteral("inet6 "), 1).section(u'/', 0, 0) + QStringLiteral("%v0");
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::AnyIPv6, 0));
    const int port = listener.serverPort();

    ScriptedCore f;
    TcpClientEndpoint *r = f.tcpClient(QStringLiteral("cli"), port, address);
    EXPECT_EQ(r->caption(), QStringLiteral("[%1]:%2").arg(address).arg(port));
    r->start();
    ASSERT_TRUE(WaitFor([&] { return r->isActive(); })) << address.toStdString();
    EXPECT_EQ(f.callsOf(QStringLiteral("OnConnect")),
                        QStringList {QStringLiteral("OnConnect|cli|%1|%2").arg(address).arg(port)});
}

}  // namespace
