#pragma once
// A QUdpSocket peer on 127.0.0.1 that collects what it receives, and a
// recorder of DatagramSocket's dataReceived events (bytes taken with readStream
// inside the event, as the workbench does).

#include "core/net/datagramsocket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QObject>
#include <QString>
#include <QUdpSocket>

// A port that was free a moment ago (bound and released by the kernel's choice).
inline int FreeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// A block whose bytes depend on their position and on seed, so that a
// reordered, cut or merged datagram never compares equal.
inline QByteArray Pattern(int size, int seed = 0)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed * 31 + i / 251) & 0xFF);
    return b;
}

struct UdpPeer
{
    QUdpSocket socket;
    QList<QNetworkDatagram> received;

    UdpPeer()
    {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams())
                received.append(socket.receiveDatagram());
        });
    }
    int port() const { return socket.localPort(); }
    void sendTo(int port, const QByteArray &data)
    {
        socket.writeDatagram(data, QHostAddress(QHostAddress::LocalHost), quint16(port));
    }
};

struct UdpEvent
{
    int byteCount;
    QString fromIP;
    int port;
    QByteArray data;
};

struct UdpRecorder
{
    QList<UdpEvent> events;

    explicit UdpRecorder(DatagramSocket &udp)
    {
        QObject::connect(&udp, &DatagramSocket::dataReceived, &udp,
                         [this, &udp](int n, const QString &ip, int port) {
                             QByteArray data;
                             udp.readStream(data);
                             events.append({n, ip, port, data});
                         });
    }
};
