// GroupSocket on the loopback multicast route of the test namespace.
#include "core/net/groupsocket.h"

#include "slowreceiver.h"
#include "testsupport.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

const QString Group = QStringLiteral("224.1.1.1");

int FreePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

QByteArray Pattern(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 13 + i / 257) & 0xFF);
    return b;
}

struct Joined
{
    GroupSocket socket;
    int port = FreePort();
    QList<QByteArray> received;

    Joined()
    {
        EXPECT_EQ(socket.create(), 0);
        EXPECT_EQ(socket.bindAny(port), 0);
        EXPECT_EQ(socket.join(Group), 0);
        socket.enableReadNotification();
        QObject::connect(&socket, &GroupSocket::readyRead, &socket,
                         [this] { received.append(socket.readDatagram()); });
    }
};

TEST(GroupSocket, ReceivesWhatIsSentToTheGroupWhole)
{
    Joined g;
    QUdpSocket sender;
    sender.bind(QHostAddress::AnyIPv4, 0);

    const QByteArray blocks[] = {QByteArray("hello"), Pattern(4097), Pattern(65507)};
    for (const QByteArray &block : blocks) {
        SCOPED_TRACE(block.size());
        g.received.clear();
        ASSERT_EQ(sender.writeDatagram(block, QHostAddress(Group), quint16(g.port)), block.size());
        ASSERT_TRUE(WaitFor([&] { return !g.received.isEmpty(); }));
        SpinFor(20);
        ASSERT_EQ(g.received.size(), 1);
        EXPECT_EQ(g.received[0], block);
    }
    // Nothing pending: the read returns at once instead of blocking.
    EXPECT_TRUE(g.socket.readDatagram().isEmpty());
}

TEST(GroupSocket, ASlowReceiverLosesNothingWhileTheSenderKeepsOn)
{
    GroupSocket socket;
    const int port = FreePort();
    ASSERT_EQ(socket.create(), 0);
    ASSERT_EQ(socket.bindAny(port), 0);
    ASSERT_EQ(socket.join(Group), 0);
    socket.enableReadNotification();
    SlowReceiverRun run;
    QObject::connect(&socket, &GroupSocket::readyRead, &socket, [&] { run.handled(socket.readDatagram()); });
    run.run("224.1.1.1", port);
    run.check();
}

TEST(GroupSocket, SendToReachesAMemberOfTheGroup)
{
    const int port = FreePort();
    QUdpSocket member;
    ASSERT_TRUE(member.bind(QHostAddress::AnyIPv4, quint16(port), QAbstractSocket::ShareAddress));
    ASSERT_TRUE(member.joinMulticastGroup(QHostAddress(Group)));
    QList<QByteArray> got;
    QObject::connect(&member, &QUdpSocket::readyRead, &member, [&] {
        while (member.hasPendingDatagrams())
            got.append(member.receiveDatagram().data());
    });

    GroupSocket g;
    ASSERT_EQ(g.create(), 0);
    ASSERT_EQ(g.bindAny(FreePort()), 0);
    int error = -1;
    const QByteArray block = Pattern(30000);
    EXPECT_EQ(g.sendTo(block, Group, port, &error), block.size());
    EXPECT_EQ(error, 0);
    ASSERT_TRUE(WaitFor([&] { return got.size() == 1; }));
    EXPECT_EQ(got[0], block);

    // Failures come back as the count -1 and the system's error code.
    EXPECT_EQ(g.sendTo(Pattern(65508), Group, port, &error), -1);
    EXPECT_EQ(error, EMSGSIZE);
    EXPECT_EQ(g.sendTo("x", QStringLiteral("not an address"), port, &error), -1);
    EXPECT_EQ(error, EINVAL);
}

TEST(GroupSocket, FailuresReportTheSystemErrorCode)
{
    Joined first;
    GroupSocket second;
    ASSERT_EQ(second.create(), 0);
    EXPECT_EQ(second.bindAny(first.port), EADDRINUSE);

    GroupSocket other;
    ASSERT_EQ(other.create(), 0);
    ASSERT_EQ(other.bindAny(FreePort()), 0);
    EXPECT_EQ(other.join(QStringLiteral("10.1.1.1")), EINVAL);
    EXPECT_EQ(other.join(QStringLiteral("no.such.group")), EINVAL);
    EXPECT_EQ(other.join(QString()), EINVAL);
    EXPECT_EQ(other.join(Group), 0);
    EXPECT_EQ(other.join(Group), EADDRINUSE);
}

TEST(GroupSocket, ClosedSocketIsInvalidAndSilent)
{
    Joined g;
    g.socket.close();
    EXPECT_FALSE(g.socket.isValid());
    EXPECT_TRUE(g.socket.readDatagram().isEmpty());
    int error = 0;
    EXPECT_EQ(g.socket.sendTo("x", Group, g.port, &error), -1);
    EXPECT_EQ(error, EBADF);

    QUdpSocket sender;
    sender.writeDatagram("late", QHostAddress(Group), quint16(g.port));
    SpinFor(100);
    EXPECT_TRUE(g.received.isEmpty());
}

}  // namespace
