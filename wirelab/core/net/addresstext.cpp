#include "core/net/addresstext.h"

#include "core/errors.h"

#include <QCoreApplication>

QString peerAddressText(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

bool isIPv6Text(const QString &host) { return host.contains(u':'); }

QString bracketedHost(const QString &host) { return isIPv6Text(host) ? u'[' + host + u']' : host; }

QString hostPortText(const QString &host, int port)
{
    return bracketedHost(host) + u':' + QString::number(port);
}

QString nodeCaption(const QString &host, int port)
{
    // "::1[50007]" reads as part of the address: an IPv6 node takes the form
    // users know from everywhere else.
    if (isIPv6Text(host))
        return hostPortText(host, port);
    return host + u'[' + QString::number(port) + u']';
}

QHostAddress bindAddress(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QHostAddress(QHostAddress::Any);
    QHostAddress address;
    if (!address.setAddress(trimmed))
        throw WireError(QCoreApplication::translate("Addresses", "BIND %1 不是 IPv4 或 IPv6 地址").arg(text));
    return address;
}

QString notLocalBindText(const QString &text)
{
    return QCoreApplication::translate("Addresses", "BIND %1 不是本机的地址").arg(text.trimmed());
}
