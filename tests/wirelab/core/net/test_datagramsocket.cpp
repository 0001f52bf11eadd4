// DatagramSocket over real sockets on 127.0.0.1: reception, rebinding, sending and
// the checks sendStream makes before anything leaves.
#include "udptestpeer.h"

#include "core/errors.h"
#include "slowreceiver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(TnmUdpReceive, DatagramsOfEverySizeArriveWholeWithSender)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    ASSERT_TRUE(udp.isBound());
    EXPECT_EQ(udp.localPort(), port);
    UdpRecorder rec(udp);
    UdpPeer peer;

    const int sizes[] = {0, 1, 2048, 60000, DatagramSocket::MaxDatagram};
    for (int size : sizes) {
        SCOPED_TRACE(size);
        rec.events.clear();
        const QByteArray block = Pattern(size, size);
        peer.sendTo(port, block);
        ASSERT_TRUE(WaitFor([&] { return !rec.events.isEmpty(); }));
        SpinFor(20);
        ASSERT_EQ(rec.events.size(), 1);
        EXPECT_EQ(rec.events[0].byteCount, size);
        EXPECT_EQ(rec.events[0].data, block);
        EXPECT_EQ(rec.events[0].fromIP, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(rec.events[0].port, peer.port());
    }
}

TEST(TnmUdpReceive, BurstGivesOneEventPerDatagramInOrder)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    UdpRecorder rec(udp);
    UdpPeer peer;

    // All sent before the event loop runs, so one readyRead covers several.
    const int count = 20;
    for (int i = 0; i < count; ++i)
        peer.sendTo(port, Pattern(100 + i, i));
    ASSERT_TRUE(WaitFor([&] { return rec.events.size() >= count; }));
    SpinFor(50);
    ASSERT_EQ(rec.events.size(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(rec.events[i].byteCount, 100 + i);
        EXPECT_EQ(rec.events[i].data, Pattern(100 + i, i));
    }
}

TEST(TnmUdpReceive, ASlowReceiverLosesNothingWhileTheSenderKeepsOn)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    SlowReceiverRun run;
    QObject::connect(&udp, &DatagramSocket::dataReceived, &udp, [&](int n) {
        QByteArray data;
        udp.readStream(data);
        EXPECT_EQ(n, data.size());
        run.handled(data);
    });
    run.run("127.0.0.1", port);
    run.check();
    EXPECT_EQ(udp.queuedCount(), 0);
}

// Thousands of datagrams sent while the thread does something else (laying
// out, painting) wait in the kernel's receive buffer instead of being dropped.
TEST(TnmUdpReceive, ABurstWhileTheThreadIsBusyWaitsInTheKernel)
{
    QFile rmemMax(QStringLiteral("/proc/sys/net/core/rmem_max"));
    if (!rmemMax.open(QIODevice::ReadOnly) || rmemMax.readAll().trimmed().toLongLong() < (2 << 20))
        GTEST_SKIP() << "the system caps receive buffers below 2 MiB";
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    UdpRecorder rec(udp);
    UdpPeer peer;

    const int count = 3000;  // about ten times what a default buffer holds
    for (int i = 0; i < count; ++i)
        peer.sendTo(port, Pattern(64, i));
    ASSERT_TRUE(WaitFor([&] { return rec.events.size() >= count; }, 10000))
        << rec.events.size() << " of " << count;
    for (int i = 0; i < count; i += 499)
        EXPECT_EQ(rec.events[i].data, Pattern(64, i));
}

// While datagrams keep coming, work on the GUI thread outside the event loop
// (a view painting under a flood) does not leave the socket unread for long:
// every event it sends gives the socket a read.
TEST(TnmUdpReceive, WhileDatagramsKeepComingEachEventReadsTheSocket)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    UdpPeer peer;
    QObject elsewhere;
    bool readWithinTheHandler = false;
    int calls = 0;
    QObject::connect(&udp, &DatagramSocket::dataReceived, &udp, [&] {
        if (++calls > 1)
            return;
        peer.sendTo(port, "second");
        QElapsedTimer clock;
        clock.start();
        while (!readWithinTheHandler && clock.elapsed() < 2000) {
            QEvent event(QEvent::User);
            QCoreApplication::sendEvent(&elsewhere, &event);
            readWithinTheHandler = udp.queuedCount() == 1;
        }
    });
    peer.sendTo(port, "first");
    ASSERT_TRUE(WaitFor([&] { return calls == 2; }, 5000));
    EXPECT_TRUE(readWithinTheHandler);
}

TEST(TnmUdpReceive, ReceiverThatClosesOrDestroysStopsTheBurst)
{
    UdpPeer peer;
    {
        DatagramSocket udp;
        const int port = FreeUdpPort();
        udp.setLocalPort(port);
        int events = 0;
        QObject::connect(&udp, &DatagramSocket::dataReceived, &udp, [&] {
            ++events;
            udp.closeSocket();
        });
        for (int i = 0; i < 5; ++i)
            peer.sendTo(port, Pattern(10, i));
        ASSERT_TRUE(WaitFor([&] { return events > 0; }));
        SpinFor(100);
        EXPECT_EQ(events, 1);
        EXPECT_FALSE(udp.isBound());
    }
    {
        auto *udp = new DatagramSocket;
        const int port = FreeUdpPort();
        udp->setLocalPort(port);
        int events = 0;
        QObject::connect(udp, &DatagramSocket::dataReceived, udp, [&] {
            ++events;
            delete udp;
        });
        for (int i = 0; i < 5; ++i)
            peer.sendTo(port, Pattern(10, i));
        ASSERT_TRUE(WaitFor([&] { return events > 0; }));
        SpinFor(100);
        EXPECT_EQ(events, 1);
    }
}

TEST(TnmUdpBinding, RebindingMovesReceptionAndReleasesTheOldPort)
{
    DatagramSocket udp;
    const int first = FreeUdpPort();
    udp.setLocalPort(first);
    const int second = FreeUdpPort();
    udp.setLocalPort(second);
    ASSERT_TRUE(udp.isBound());
    EXPECT_EQ(udp.localPort(), second);
    UdpRecorder rec(udp);
    UdpPeer peer;

    peer.sendTo(first, "old");
    peer.sendTo(second, "new");
    ASSERT_TRUE(WaitFor([&] { return !rec.events.isEmpty(); }));
    SpinFor(100);
    ASSERT_EQ(rec.events.size(), 1);
    EXPECT_EQ(rec.events[0].data, QByteArray("new"));

    QUdpSocket again;
    EXPECT_TRUE(again.bind(QHostAddress::AnyIPv4, quint16(first), QAbstractSocket::DontShareAddress));
}

TEST(TnmUdpBinding, PortInUseLeavesItUnboundAndSilent)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress));
    const int port = holder.localPort();
    int holderGot = 0;
    QObject::connect(&holder, &QUdpSocket::readyRead, &holder, [&] {
        while (holder.hasPendingDatagrams()) {
            holder.receiveDatagram();
            ++holderGot;
        }
    });

    DatagramSocket udp;
    udp.setLocalPort(port);  // no exception, no report
    EXPECT_FALSE(udp.isBound());
    EXPECT_EQ(udp.localPort(), port);
    UdpRecorder rec(udp);

    UdpPeer peer;
    peer.sendTo(port, "for the holder");
    ASSERT_TRUE(WaitFor([&] { return holderGot == 1; }));
    SpinFor(100);
    EXPECT_TRUE(rec.events.isEmpty());
}

TEST(TnmUdpSend, BlockGoesAsOneDatagramFromTheLocalPort)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    int sent = 0;
    QObject::connect(&udp, &DatagramSocket::dataSent, &udp, [&] { ++sent; });
    UdpPeer peer;
    udp.remoteHost = QStringLiteral("127.0.0.1");
    udp.remotePort = peer.port() + 0x10000;  // only the low 16 bits count

    const QByteArray big = Pattern(DatagramSocket::MaxDatagram, 3);
    udp.sendStream("x");
    udp.sendStream(big);
    EXPECT_EQ(sent, 2);
    ASSERT_TRUE(WaitFor([&] { return peer.received.size() == 2; }));
    EXPECT_EQ(peer.received[0].data(), QByteArray("x"));
    EXPECT_EQ(peer.received[1].data(), big);
    EXPECT_EQ(peer.received[1].senderPort(), port);
}

TEST(TnmUdpSend, UnboundComponentSendsAndHearsTheReplyInDottedForm)
{
    DatagramSocket udp;  // LocalPort never set
    UdpRecorder rec(udp);
    UdpPeer peer;
    udp.remoteHost = QStringLiteral("127.0.0.1");
    udp.remotePort = peer.port();
    udp.sendStream("ping");
    ASSERT_TRUE(WaitFor([&] { return peer.received.size() == 1; }));

    peer.sendTo(peer.received[0].senderPort(), "pong");
    ASSERT_TRUE(WaitFor([&] { return rec.events.size() == 1; }));
    EXPECT_EQ(rec.events[0].data, QByteArray("pong"));
    EXPECT_EQ(rec.events[0].fromIP, QStringLiteral("127.0.0.1"));
}

TEST(TnmUdpSend, RefusedBlocksAndDestinationsSendNothing)
{
    DatagramSocket udp;
    udp.setLocalPort(FreeUdpPort());
    int sent = 0;
    QObject::connect(&udp, &DatagramSocket::dataSent, &udp, [&] { ++sent; });
    UdpPeer peer;
    udp.remotePort = peer.port();
    udp.remoteHost = QStringLiteral("127.0.0.1");

    // An empty block is a plain run-time error, not a component error.
    try {
        udp.sendStream(QByteArray());
        ADD_FAILURE() << "no exception";
    } catch (const UDPSockError &) {
        ADD_FAILURE() << "UDPSockError";
    } catch (const WireError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Invalid stream"));
    }

    // Too large for one datagram: refused whole, never cut short.
    try {
        udp.sendStream(Pattern(DatagramSocket::MaxDatagram + 1));
        ADD_FAILURE() << "no exception";
    } catch (const WireError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Datagram too large: 65508 bytes (at most 65507)"));
    }

    for (const QString &host : {QString(), QStringLiteral("0.0.0.0")}) {
        SCOPED_TRACE(host.toStdString());
        udp.remoteHost = host;
        try {
            udp.sendStream("data");
            ADD_FAILURE() << "no exception";
        } catch (const UDPSockError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Null Remote Address"));
        }
    }

    SpinFor(150);
    EXPECT_TRUE(peer.received.isEmpty());
    EXPECT_EQ(sent, 0);
}

TEST(TnmUdpSend, StreamInvalidHandlerMayFillTheBlock)
{
    DatagramSocket udp;
    UdpPeer peer;
    udp.remoteHost = QStringLiteral("127.0.0.1");
    udp.remotePort = peer.port();

    int calls = 0;
    udp.onStreamInvalid = [&](bool &handled, QByteArray &) {
        ++calls;
        handled = true;
    };
    EXPECT_THROW(udp.sendStream(QByteArray()), WireError);  // handled, but still empty

    udp.onStreamInvalid = [&](bool &handled, QByteArray &block) {
        ++calls;
        block = "filled";
        handled = true;
    };
    udp.sendStream(QByteArray());
    EXPECT_EQ(calls, 2);
    ASSERT_TRUE(WaitFor([&] { return peer.received.size() == 1; }));
    EXPECT_EQ(peer.received[0].data(), QByteArray("filled"));
}

}  // namespace
