#pragma once
// Helpers for the fault and integrity tests: the long (soak) counts, process
// resource readings, resets, and a script that counts and echoes.

#include "testsupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTcpSocket>

#include <sys/socket.h>

// WIRELAB_SOAK=1 (make soak) selects the long variants.
inline bool Soak() { return qEnvironmentVariableIntValue("WIRELAB_SOAK") == 1; }

inline int Scaled(int normal, int soak) { return Soak() ? soak : normal; }

// Resident set size of this process in kB (0 when unknown).
inline long RssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

inline int OpenFds()
{
    return int(
        QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

// Datagrams the kernel dropped at the UDP socket bound to port (-1: none),
// an IPv4 or a dual-stack (IPv6) one.
inline qint64 UdpDrops(int port)
{
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile f {QString::fromLatin1(table)};
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> cols = lines[i].simplified().split(' ');
            if (cols.size() < 3)
                continue;
            bool ok = false;
            if (cols[1].split(':').value(1).toInt(&ok, 16) == port && ok)
                return cols.last().toLongLong();
        }
    }
    return -1;
}

// Ends a connection with a reset (RST) instead of an orderly close.
inline void ResetConnection(QTcpSocket &socket)
{
    const linger hard {1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket.abort();
}

// Counts socket events in `counts`, echoes every received block back with a
// SEND action while `echo` is set, and spins forever in the next read handler
// when `spin` is set.
inline const QString EchoScript =
    QStringLiteral(
    "var counts = {OnConnect: 0, OnRead: 0, OnDisConnect: 0};\n"
    "var echo = true, spin = false;\n"
    "function OnSocketEvent(name, ev, a, b) {\n"
    "  counts[ev]++;\n"
    "  if (ev == 'OnRead' && spin) { spin = false; while (true) {} }\n"
    "  if (ev == 'OnRead' && echo) actions.push({TYPE: 'SEND', SOCKET: name, DATA: a});\n"
    "}\n");
