#include "core/net/portprobe.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QUdpSocket>
#include <gtest/gtest.h>

TEST(PortProbe, BoundUdpPortIsUnusableUntilReleased)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0));
    const int port = holder.localPort();
    EXPECT_FALSE(PortProbe(port));
    EXPECT_FALSE(PortProbe(port + 65536));  // only the low 16 bits count
    // The probe itself keeps nothing bound.
    EXPECT_FALSE(PortProbe(port));
    holder.close();
    EXPECT_TRUE(PortProbe(port));
    EXPECT_TRUE(PortProbe(port));
}

TEST(PortProbe, LoopbackBoundUdpPortAlsoBlocksTheProbe)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0));
    EXPECT_FALSE(PortProbe(holder.localPort()));
}

TEST(PortProbe, TcpListenerDoesNotBlockTheUdpPort)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::AnyIPv4, 0));
    EXPECT_TRUE(PortProbe(server.serverPort()));
}

TEST(PortProbe, PortZeroIsAlwaysUsable)
{
    EXPECT_TRUE(PortProbe(0));
    EXPECT_TRUE(PortProbe(65536));
}
