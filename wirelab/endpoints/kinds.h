#pragma once
// The six endpoint kinds, compared exactly and case-sensitively wherever
// behaviour depends on the kind, and the tree's state images.

#include <QString>

namespace Kind {
inline const QString TcpServer = QStringLiteral("TCP Server");
inline const QString TcpClient = QStringLiteral("TCP Client");
inline const QString UdpServer = QStringLiteral("UDP Server");
inline const QString UdpClient = QStringLiteral("UDP Client");
inline const QString UdpGroup = QStringLiteral("UDP Group");
inline const QString TcpServerClient = QStringLiteral("TCP ServerClient");
} // namespace Kind

// State images of the tree (ImageList1), numbered as the user knows them.
enum StateImage {
    ImgConnected = 1,
    ImgDisconnected = 2,
    ImgListening = 3,
    ImgNotListening = 4,
    ImgUdp = 5,
    ImgGroup = 6,
    ImgKindRoot = 7,
};
