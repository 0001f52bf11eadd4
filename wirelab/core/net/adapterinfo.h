#pragma once
// The machine's own IPv4 address and its broadcast address, derived from the
// list of network adapters, and the adapters' IPv6 addresses. Pure functions over an adapter list, so every
// edge case can be fed synthetically; systemAdapters() reads the real list
// anew on every use.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct AdapterAddress
{
    QString address;  // dotted, "0.0.0.0" when the adapter has none
    QString mask;  // dotted
};

struct AdapterInfo
{
    QList<AdapterAddress> addresses;
    // Its IPv6 addresses in their usual form, a link-local one with its
    // interface ("fe80::1%eth0"); they take no part in the IPv4 texts below.
    QStringList ipv6;
};

using AdapterList = QList<AdapterInfo>;

// Adapters that are up and not loopback, in the platform's order; an adapter
// without an IPv4 address reports one entry 0.0.0.0/0.0.0.0 (and its IPv6
// addresses, if any).
AdapterList systemAdapters();

// "A: <addr> M: <mask>\r" per address of the first adapter whose text holds
// no "0.0.0.0"; the fallback "A:127.0.0.1M:127.0.0.1\r" when there is none.
QString adapterText(const AdapterList &adapters);
// The first address of that text, trimmed; "127.0.0.1" for an empty text.
QString localAdapterAddress(const AdapterList &adapters);
// Directed broadcast of the first address and mask: a | ~m per byte.
// warn is set when the program must show "请检查本机网络连接是否正常"
// (empty adapter text, or address 0.0.0.0). When address or mask does not
// parse the result is the empty text.
QString broadcastAddress(const AdapterList &adapters, bool *warn = nullptr);
// "A6: <address>\r" per IPv6 address of every adapter, in order; empty when
// there is none.
QString ipv6AdapterText(const AdapterList &adapters);
// The machine's addresses as the window lists them, one an entry: the
// IPv4 addresses of the adapter text in order (the local address first),
// then the IPv6 addresses of every adapter.
QStringList localAddresses(const AdapterList &adapters);
// Four bytes, or empty when the text is not a dotted quad of 0..255 values.
QByteArray dottedToBytes(const QString &text);

// Convenience wrappers over systemAdapters().
inline QString localAdapterAddress() { return localAdapterAddress(systemAdapters()); }
