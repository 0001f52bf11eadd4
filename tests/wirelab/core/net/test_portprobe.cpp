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

TEST(portProbe, LoopbackBoundUdpPortAlsoBlocksTheProbe)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0));
    EXPECT_FALSE(portProbe(holder.localPort()));
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
