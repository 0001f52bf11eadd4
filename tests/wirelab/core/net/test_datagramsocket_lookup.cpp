// DatagramSocket host names: looked up while events keep flowing, one retry on
// request, and a component destroyed during the wait.
#include "udptestpeer.h"

#include "core/errors.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

const QString Unresolvable = QStringLiteral("no-such-host.invalid");

TEST(TnmUdpLookup, LocalhostResolvesAndSends)
{
    DatagramSocket udp;
    UdpPeer peer;
    udp.remoteHost = QStringLiteral("localhost");
    udp.remotePort = peer.port();
    udp.sendStream("by name");
    ASSERT_TRUE(WaitFor([&] { return peer.received.size() == 1; }));
    EXPECT_EQ(peer.received[0].data(), QByteArray("by name"));
}

TEST(TnmUdpLookup, UnknownNameIsCanceledAfterAtMostOneRetry)
{
    DatagramSocket udp;
    udp.remotePort = 9;
    const QString longName = QString(300, QLatin1Char('a')) + QStringLiteral(".invalid");
    for (const QString &name : {Unresolvable, longName}) {
        udp.remoteHost = name;
        try {
            udp.sendStream("x");
            ADD_FAILURE() << "no exception";
        } catch (const UDPSockError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Host Lookup Canceled"));
        }
    }

    int calls = 0;
    udp.remoteHost = Unresolvable;
    udp.onInvalidHost = [&](bool &handled) {
        ++calls;
        handled = true;
    };
    EXPECT_THROW(udp.sendStream("x"), UDPSockError);
    EXPECT_EQ(calls, 1);

    calls = 0;
    udp.onInvalidHost = [&](bool &) { ++calls; };
    EXPECT_THROW(udp.sendStream("x"), UDPSockError);
    EXPECT_EQ(calls, 1);
}

// A datagram already waiting is reported from inside the lookup's wait.
TEST(TnmUdpLookup, DatagramsArriveWhileTheNameIsLookedUp)
{
    DatagramSocket udp;
    const int port = FreeUdpPort();
    udp.setLocalPort(port);
    bool sending = false;
    bool arrivedDuringSend = false;
    QObject::connect(&udp, &DatagramSocket::dataReceived, &udp, [&] { arrivedDuringSend = sending; });
    UdpPeer peer;
    peer.sendTo(port, "meanwhile");

    udp.remoteHost = Unresolvable;
    sending = true;
    EXPECT_THROW(udp.sendStream("x"), UDPSockError);
    sending = false;
    EXPECT_TRUE(arrivedDuringSend);
}

TEST(TnmUdpLookup, ComponentDestroyedDuringTheLookupEndsTheSendQuietly)
{
    auto *udp = new DatagramSocket;
    const int port = FreeUdpPort();
    udp->setLocalPort(port);
    bool destroyed = false;
    QObject::connect(udp, &QObject::destroyed, [&] { destroyed = true; });
    QObject::connect(udp, &DatagramSocket::dataReceived, udp, [&] { delete udp; });
    UdpPeer peer;
    peer.sendTo(port, "delete it");

    udp->remoteHost = Unresolvable;
    udp->remotePort = peer.port();
    EXPECT_NO_THROW(udp->sendStream("x"));
    EXPECT_TRUE(destroyed);
    SpinFor(50);
    EXPECT_TRUE(peer.received.isEmpty());
}

}  // namespace
