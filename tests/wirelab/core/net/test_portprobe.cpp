#include "core/net/portprobe.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>
#include <gtest/gtest.h>

TEST(portProbe, BoundUdpPortIsUnusableUntilReleased)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
    const int port = holder.localPort();
    EXPECT_FALSE(portProbe(port));
    EXPECT_FALSE(portProbe(port + 65536));  // only the low 16 bits count
    // The probe itself keeps nothing bound.
    EXPECT_FALSE(portProbe(port));
    holder.close();
    EXPECT_TRUE(portProbe(port));
    EXPECT_TRUE(portProbe(port));
}

// A holder of either family blocks the dual-stack probe; a probe of one
// address is blocked only by a holder that overlaps it.
TEST(portProbe, HoldersOfEitherFamilyBlockTheProbesTheyOverlap)
{
    struct Row
    {
        QHostAddress held;
        QHostAddress probed;
        bool usable;
    };
    const QHostAddress v4(QHostAddress::LocalHost), v6(QHostAddress::LocalHostIPv6), any(QHostAddress::Any);
    const Row rows[] = {
        {v4, any, false}, {v6, any, false}, {v6, v6, false}, {v6, v4, true}, {v4, v6, true},
    };
    for (const Row &row : rows) {
        QUdpSocket holder;
        ASSERT_TRUE(holder.bind(row.held, 0));
        EXPECT_EQ(portProbe(holder.localPort(), row.probed), row.usable)
            << row.held.toString().toStdString() << " held, " << row.probed.toString().toStdString()
            << " probed";
    }
}

TEST(portProbe, TcpListenerDoesNotBlockTheUdpPort)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::AnyIPv4, 0));
    EXPECT_TRUE(portProbe(server.serverPort()));
}

TEST(portProbe, PortZeroIsAlwaysUsable)
{
    EXPECT_TRUE(portProbe(0));
    EXPECT_TRUE(portProbe(65536));
}
