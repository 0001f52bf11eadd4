#include "core/net/adapterinfo.h"

#include <QHostAddress>
#include <gtest/gtest.h>

namespace {

AdapterInfo Adapter(std::initializer_list<AdapterAddress> addresses)
{
    AdapterInfo a;
    a.addresses = QList<AdapterAddress>(addresses);
    return a;
}

const QString kFallback = QStringLiteral("A:127.0.0.1M:127.0.0.1\r");

}  // namespace

TEST(AdapterInfo, FirstAddressOfFirstAdapterWithAnAddress)
{
    const AdapterList two {Adapter({{"192.168.1.5", "255.255.255.0"}, {"10.9.8.7", "255.0.0.0"}})};
    EXPECT_EQ(AdapterText(two), "A: 192.168.1.5 M: 255.255.255.0\rA: 10.9.8.7 M: 255.0.0.0\r");
    EXPECT_EQ(LocalAddress(two), "192.168.1.5");
    bool warn = true;
    EXPECT_EQ(BroadcastAddress(two, &warn), "192.168.1.255");
    EXPECT_FALSE(warn);

    const AdapterList secondHasIt {Adapter({{"0.0.0.0", "0.0.0.0"}}), Adapter({{"10.1.2.3", "255.0.0.0"}})};
    EXPECT_EQ(LocalAddress(secondHasIt), "10.1.2.3");
    EXPECT_EQ(BroadcastAddress(secondHasIt), "10.255.255.255");

    // An entry list without any address is passed over like 0.0.0.0.
    const AdapterList emptyFirst {Adapter({}), Adapter({{"172.16.5.4", "255.255.240.0"}})};
    EXPECT_EQ(LocalAddress(emptyFirst), "172.16.5.4");
    EXPECT_EQ(BroadcastAddress(emptyFirst), "172.16.15.255");
}

TEST(AdapterInfo, NoUsableAdapterFallsBackToLoopback)
{
    for (const AdapterList &list :
         {AdapterList {}, AdapterList {Adapter({{"0.0.0.0", "0.0.0.0"}})},
          AdapterList {Adapter({{"10.0.0.1", "255.0.0.0"}, {"0.0.0.0", "0.0.0.0"}})}}) {
        EXPECT_EQ(AdapterText(list), kFallback);
        EXPECT_EQ(LocalAddress(list), "127.0.0.1");
        bool warn = true;
        EXPECT_EQ(BroadcastAddress(list, &warn), "255.255.255.255");
        EXPECT_FALSE(warn);
    }
}

TEST(AdapterInfo, UnparsableAddressOrMaskGivesEmptyBroadcast)
{
    EXPECT_EQ(BroadcastAddress({Adapter({{"10.1.2.3", "255.0.0"}})}), "");
    EXPECT_EQ(BroadcastAddress({Adapter({{"10.1.2.3", ""}})}), "");
    EXPECT_EQ(BroadcastAddress({Adapter({{"10.1.2.300", "255.0.0.0"}})}), "");
    EXPECT_EQ(BroadcastAddress({Adapter({{"fe80::1", "ffff::"}})}), "");
    EXPECT_EQ(BroadcastAddress({Adapter({{"10.1.2.3", "255.255.255.255"}})}), "10.1.2.3");
}

TEST(AdapterInfo, DottedToBytesAcceptsOnlyFourValuesInRange)
{
    EXPECT_EQ(DottedToBytes("192.168.0.255"), QByteArray("\xC0\xA8\x00\xFF", 4));
    EXPECT_EQ(DottedToBytes(" 1. 2.3 .4 "), QByteArray("\x01\x02\x03\x04", 4));
    for (const char *bad :
         {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "-1.2.3.4", "1..3.4", "a.b.c.d", "1.2.3.", "1.2.3.4x"})
        EXPECT_TRUE(DottedToBytes(bad).isEmpty()) << bad;
}

TEST(AdapterInfo, SystemAdaptersReportUsableIpv4Entries)
{
    const AdapterList list = SystemAdapters();
    for (const AdapterInfo &a : list) {
        ASSERT_FALSE(a.addresses.isEmpty());
        for (const AdapterAddress &e : a.addresses) {
            EXPECT_EQ(DottedToBytes(e.address).size(), 4) << e.address.toStdString();
            EXPECT_EQ(DottedToBytes(e.mask).size(), 4) << e.mask.toStdString();
            EXPECT_FALSE(QHostAddress(e.address).isLoopback()) << e.address.toStdString();
        }
    }
    EXPECT_EQ(DottedToBytes(LocalAddress()).size(), 4);
}
