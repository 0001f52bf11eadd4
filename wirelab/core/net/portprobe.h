#pragma once
// Whether a UDP port can still be bound: a real bind of a fresh IPv4 datagram
// socket to any address and the port's low 16 bits, closed again at once.
// A TCP listener on the same port does not make it unusable.

#include <QString>

bool portProbe(int port);

// value, when it is a port number (0 to 65535; 0: the system chooses);
// otherwise raises RangeError naming name (a key or a field) and the value.
// A port is never cut to its low 16 bits: 70000 would listen on 4464.
int checkedPort(const QString &name, int value);
