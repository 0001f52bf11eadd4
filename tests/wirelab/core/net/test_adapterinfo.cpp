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
    EXPECT_EQ(adapterText(two), "A: 192.168.1.5 M: 255.255.255.0\rA: 10.9.8.7 M: 255.0.0.0\r");
    EXPECT_EQ(localAdapterAddress(two), "192.168.1.5");
    bool warn = true;
    EXPECT_EQ(broadcastAddress(two, &warn), "192.168.1.255");
    EXPECT_FALSE(warn);

    const AdapterList secondHasIt {Adapter({{"0.0.0.0", "0.0.0.0"}}), Adapter({{"10.1.2.3", "255.0.0.0"}})};
    EXPECT_EQ(localAdapterAddress(secondHasIt), "10.1.2.3");
    EXPECT_EQ(broadcastAddress(secondHasIt), "10.255.255.255");

    // An entry list without any address is passed over like 0.0.0.0.
    const AdapterList emptyFirst {Adapter({}), Adapter({{"172.16.5.4", "255.255.240.0"}})};
    EXPECT_EQ(localAdapterAddress(emptyFirst), "172.16.5.4");
    EXPECT_EQ(broadcastAddress(emptyFirst), "172.16.15.255");
}

TEST(AdapterInfo, NoUsableAdapterFallsBackToLoopback)
{
    for (const AdapterList &list :
         {AdapterList {}, AdapterList {Adapter({{"0.0.0.0", "0.0.0.0"}})},
          AdapterList {Adapter({{"10.0.0.1", "255.0.0.0"}, {"0.0.0.0", "0.0.0.0"}})}}) {
        EXPECT_EQ(adapterText(list), kFallback);
        EXPECT_EQ(localAdapterAddress(list), "127.0.0.1");
        bool warn = true;
        EXPECT_EQ(broadcastAddress(list, &warn), "255.255.255.255");
        EXPECT_FALSE(warn);
    }
}

TEST(AdapterInfo, IPv6AddressesAreListedApartFromTheIPv4Texts)
{
    AdapterInfo v6Only = Adapter({{"0.0.0.0", "0.0.0.0"}});
    v6Only.ipv6 = QStringList {"fe80::1%eth0", "2001:db8::5"};
    AdapterInfo both = Adapter({{"10.1.2.3", "255.0.0.0"}});
    both.ipv6 = QStringList {"fe80::2%eth1"};
    const AdapterList list {v6Only, both};
    EXPECT_EQ(adapterText(list), "A: 10.1.2.3 M: 255.0.0.0\r");
    EXPECT_EQ(ipv6AdapterText(list), "A6: fe80::1%eth0\rA6: 2001:db8::5\rA6: fe80::2%eth1\r");
    EXPECT_EQ(ipv6AdapterText({Adapter({{"10.1.2.3", "255.0.0.0"}})}), "");
    // The list the window shows: the IPv4 address chosen above, then every IPv6 one.
    EXPECT_EQ(localAddresses(list), QStringList({"10.1.2.3", "fe80::1%eth0", "2001:db8::5", "fe80::2%eth1"}));
}

TEST(AdapterInfo, UnparsableAddressOrMaskGivesEmptyBroadcast)
{
    EXPECT_EQ(broadcastAddress({Adapter({{"10.1.2.3", "255.0.0"}})}), "");
    EXPECT_EQ(broadcastAddress({Adapter({{"10.1.2.3", ""}})}), "");
    EXPECT_EQ(broadcastAddress({Adapter({{"10.1.2.300", "255.0.0.0"}})}), "");
    EXPECT_EQ(broadcastAddress({Adapter({{"fe80::1", "ffff::"}})}), "");
    EXPECT_EQ(broadcastAddress({Adapter({{"10.1.2.3", "255.255.255.255"}})}), "10.1.2.3");
}

TEST(AdapterInfo, DottedToBytesAcceptsOnlyFourValuesInRange)
{
    EXPECT_EQ(dottedToBytes("192.168.0.255"), QByteArray("\xC0\xA8\x00\xFF", 4));
    EXPECT_EQ(dottedToBytes(" 1. 2.3 .4 "), QByteArray("\x01\x02\x03\x04", 4));
    for (const char *bad :
         {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "-1.2.3.4", "1..3.4", "a.b.c.d", "1.2.3.", "1.2.3.4x"})
        EXPECT_TRUE(dottedToBytes(bad).isEmpty()) << bad;
}

TEST(AdapterInfo, SystemAdaptersReportUsableIpv4Entries)
{
    const AdapterList list = systemAdapters();
    for (const AdapterInfo &a : list) {
        ASSERT_FALSE(a.addresses.isEmpty());
        for (const AdapterAddress &e : a.addresses) {
            EXPECT_EQ(dottedToBytes(e.address).size(), 4) << e.address.toStdString();
            EXPECT_EQ(dottedToBytes(e.mask).size(), 4) << e.mask.toStdString();
            EXPECT_FALSE(QHostAddress(e.address).isLoopback()) << e.address.toStdString();
        }
    }
    EXPECT_EQ(dottedToBytes(localAdapterAddress()).size(), 4);
}
