#pragma once
// Whether a UDP port can still be bound: a real bind of a fresh datagram
// socket to the port's low 16 bits, closed again at once. On the any-address
// the socket is dual-stack, as the endpoints' sockets are, so a holder of
// either family makes the port unusable (IPv4 only where the system has no
// IPv6). A TCP listener on the same port does not make it unusable.

#include <QHostAddress>
#include <QString>

bool portProbe(int port, const QHostAddress &address = QHostAddress(QHostAddress::Any));
// The same probe's failure: 0 when the port is usable, else the system's
// error (EADDRINUSE for a port in use, EADDRNOTAVAIL for an address this
// machine does not have).
int portProbeError(int port, const QHostAddress &address = QHostAddress(QHostAddress::Any));

// value, when it is a port number (0 to 65535; 0: the system chooses);
// otherwise raises RangeError naming name (a key or a field) and the value.
// A port is never cut to its low 16 bits: 70000 would listen on 4464.
int checkedPort(const QString &name, int value);
