#include "core/net/adapterinfo.h"

#include "core/text/intconv.h"

#include <QNetworkInterface>

namespace {

const QString kNoAddress = QStringLiteral("0.0.0.0");

QString AddressListText(const AdapterInfo &adapter)
{
    QString text;
    for (const AdapterAddress &a : adapter.addresses)
        text += QLatin1String("A: ") + a.address + QLatin1String(" M: ") + a.mask + u'\r';
    return text;
}

// Text between the end of the first `from` and the first `to` after it,
// trimmed; empty when either marker is missing.
QString Between(const QString &text, const QString &from, const QString &to)
{
    const qsizetype a = text.indexOf(from);
    if (a < 0)
        return QString();
    const qsizetype start = a + from.size();
    const qsizetype b = text.indexOf(to, start);
    if (b < 0)
        return QString();
    return text.mid(start, b - start).trimmed();
}

}  // namespace

AdapterList systemAdapters()
{
    AdapterList list;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &iface : interfaces) {
        const auto flags = iface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        AdapterInfo info;
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &e : entries) {
            if (e.ip().protocol() == QAbstractSocket::IPv6Protocol)
                info.ipv6.append(e.ip().toString());
            if (e.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            info.addresses.append({e.ip().toString(), e.netmask().toString()});
        }
        if (info.addresses.isEmpty())
            info.addresses.append({kNoAddress, kNoAddress});
        list.append(info);
    }
    return list;
}

QString adapterText(const AdapterList &adapters)
{
    for (const AdapterInfo &adapter : adapters) {
        // An adapter always reports at least one entry; an empty list is
        // treated like one without an address.
        if (adapter.addresses.isEmpty())
            continue;
        const QString text = AddressListText(adapter);
        if (!text.contains(kNoAddress))
            return text;
    }
    return QStringLiteral("A:127.0.0.1M:127.0.0.1\r");
}

QString localAdapterAddress(const AdapterList &adapters)
{
    const QString text = adapterText(adapters);
    if (text.isEmpty())
        return QStringLiteral("127.0.0.1");
    return Between(text, QStringLiteral("A:"), QStringLiteral("M:"));
}

QString broadcastAddress(const AdapterList &adapters, bool *warn)
{
    const QString text = adapterText(adapters);
    const QString address = Between(text, QStringLiteral("A:"), QStringLiteral("M:"));
    if (warn)
        *warn = text.isEmpty() || address == kNoAddress;
    const QString mask = Between(text, QStringLiteral("M:"), QStringLiteral("\r"));
    const QByteArray a = dottedToBytes(address);
    const QByteArray m = dottedToBytes(mask);
    if (a.size() != 4 || m.size() != 4)
        return QString();
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << QString::number(quint8(a[i]) | quint8(~quint8(m[i])));
    return parts.join(u'.');
}

QString ipv6AdapterText(const AdapterList &adapters)
{
    QString text;
    for (const AdapterInfo &adapter : adapters) {
        for (const QString &address : adapter.ipv6)
            text += QLatin1String("A6: ") + address + u'\r';
    }
    return text;
}

QStringList localAddresses(const AdapterList &adapters)
{
    QStringList list;
    const QStringList entries = adapterText(adapters).split(u'\r', Qt::SkipEmptyParts);
    for (const QString &entry : entries)
        list.append(Between(entry, QStringLiteral("A:"), QStringLiteral("M:")));
    for (const AdapterInfo &adapter : adapters)
        list += adapter.ipv6;
    return list;
}

QByteArray dottedToBytes(const QString &text)
{
    QByteArray bytes;
    qsizetype start = 0;
    for (int i = 0; i < 4; ++i) {
        qsizetype stop = text.size();
        if (i < 3) {
            stop = text.indexOf(u'.', start);
            if (stop < 0)
                return QByteArray();
        }
        int value = 0;
        if (!tryStrToInt(text.mid(start, stop - start), value) || value < 0 || value > 255)
            return QByteArray();
        bytes.append(char(value));
        start = stop + 1;
    }
    return bytes;
}
