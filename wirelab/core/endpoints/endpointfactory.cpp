#include "core/endpoints/endpointfactory.h"

#include "core/endpoints/registry.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"
#include "core/net/portprobe.h"
#include "core/text/paramline.h"

#include <QPointer>

Endpoint *CreateFromLine(EndpointRegistry &registry, const QString &line)
{
    // Every number is read before anything exists, so a bad value leaves no
    // half-made endpoint behind.
    const ParamLine p = readParamLine(line);
    const std::optional<EndpointKind> kind = kindFromName(p.socketType);
    if (!kind)
        return nullptr;
    // A port out of range is refused, not wrapped (PORT reads inside the
    // other two keys, so they are named first).
    checkedPort(QStringLiteral("REMOTEPORT"), p.remotePort);
    checkedPort(QStringLiteral("LOCALPORT"), p.localPort);
    checkedPort(QStringLiteral("PORT"), p.port);

    QPointer<Endpoint> created;
    switch (*kind) {
    case EndpointKind::TcpServer:
        created = TcpServerEndpoint::create(registry, p.port);
        break;
    case EndpointKind::TcpClient:
        created = TcpClientEndpoint::create(registry, p.host, p.port);
        break;
    // The script gets no box for a busy local port: it simply has no
    // endpoint.
    case EndpointKind::UdpClient:
        if (!portProbe(p.localPort))
            return nullptr;
        created = UdpClientEndpoint::create(registry, p.host, p.remotePort, p.localPort);
        break;
    case EndpointKind::UdpServer:
        if (!portProbe(p.localPort))
            return nullptr;
        created = UdpServerEndpoint::create(registry, p.localPort);
        break;
    case EndpointKind::UdpGroup:
        if (!portProbe(p.localPort))
            return nullptr;
        created = UdpGroupEndpoint::create(registry, p.host, p.port, UdpGroupEndpoint::Path::ParamLine);
        break;
    case EndpointKind::TcpConnection:
        return nullptr;  // made only by a server's accept
    }

    // A creation can show a message box and so let events through; only an
    // endpoint that is still registered is handed back.
    if (!created || !registry.contains(created))
        return nullptr;
    created->setHexMode(p.hex == 1);
    return created;
}
