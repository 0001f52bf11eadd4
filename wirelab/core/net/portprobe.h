#pragma once
// Whether a UDP port can still be bound: a real bind of a fresh IPv4 datagram
// socket to any address and the port's low 16 bits, closed again at once.
// A TCP listener on the same port does not make it unusable.

bool portProbe(int port);
