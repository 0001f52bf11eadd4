#include "core/endpoints/endpointkind.h"

QString kindName(EndpointKind kind)
{
    switch (kind) {
    case EndpointKind::TcpServer:
        return QStringLiteral("TCP Server");
    case EndpointKind::TcpClient:
        return QStringLiteral("TCP Client");
    case EndpointKind::UdpServer:
        return QStringLiteral("UDP Server");
    case EndpointKind::UdpClient:
        return QStringLiteral("UDP Client");
    case EndpointKind::UdpGroup:
        return QStringLiteral("UDP Group");
    case EndpointKind::TcpConnection:
        return QStringLiteral("TCP ServerClient");
    }
    return QString();
}

std::optional<EndpointKind> kindFromName(const QString &name)
{
    for (EndpointKind kind : {EndpointKind::TcpServer, EndpointKind::TcpClient, EndpointKind::UdpServer,
                              EndpointKind::UdpClient, EndpointKind::UdpGroup, EndpointKind::TcpConnection}) {
        if (name == kindName(kind))
            return kind;
    }
    return std::nullopt;
}
