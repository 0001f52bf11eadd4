#pragma once
// How an address is written wherever the program shows it or hands it to
// a script: one place, so that every kind writes an IPv6 peer the same way
// and an IPv4 peer exactly as it always has.

#include <QHostAddress>
#include <QString>

// A peer's address as scripts and views see it: an IPv4 peer reached over
// a dual-stack socket (::ffff:127.0.0.1) in dotted form, an IPv6 peer in
// its usual form with its zone ("fe80::1%eth0").
QString peerAddressText(const QHostAddress &address);

// Whether a host text is an IPv6 address (and so needs brackets before a
// port): only IPv6 literals hold a colon.
bool isIPv6Text(const QString &host);

// The host as it stands before a port: an IPv6 address in brackets ("[::1]").
QString bracketedHost(const QString &host);

// "host:port", an IPv6 address in brackets ("[::1]:50007").
QString hostPortText(const QString &host, int port);

// The caption of an endpoint's tree node: "127.0.0.1[60000]" as always, an
// IPv6 address as "[::1]:50007".
QString nodeCaption(const QString &host, int port);

// The address a BIND value restricts a server to; the any-address of both
// families for an empty value. Throws WireError naming the value when it is
// not an IPv4 or IPv6 address.
QHostAddress bindAddress(const QString &text);
// "BIND <value> 不是本机的地址": a BIND address this machine does not have.
QString notLocalBindText(const QString &text);
