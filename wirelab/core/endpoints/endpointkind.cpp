#include "core/endpoints/endpointkind.h"

#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/serialendpoint.h"
#include "core/endpoints/tcpclientendpoint.h"
#include "core/endpoints/tcpconnectionendpoint.h"
#include "core/endpoints/tcpserverendpoint.h"
#include "core/endpoints/tlsclientendpoint.h"
#include "core/endpoints/tlsserverendpoint.h"
#include "core/endpoints/udpclientendpoint.h"
#include "core/endpoints/udpgroupendpoint.h"
#include "core/endpoints/udpserverendpoint.h"

#include <cstdlib>

const KindDescriptor &kindDescriptor(EndpointKind kind)
{
    // No default: a kind without a descriptor does not compile.
    switch (kind) {
    case EndpointKind::TcpServer:
        return TcpServerEndpoint::descriptor();
    case EndpointKind::TcpClient:
        return TcpClientEndpoint::descriptor();
    case EndpointKind::UdpServer:
        return UdpServerEndpoint::descriptor();
    case EndpointKind::UdpClient:
        return UdpClientEndpoint::descriptor();
    case EndpointKind::UdpGroup:
        return UdpGroupEndpoint::descriptor();
    case EndpointKind::TcpConnection:
        return TcpConnectionEndpoint::descriptor();
    case EndpointKind::Serial:
        return SerialEndpoint::descriptor();
    case EndpointKind::TlsServer:
        return TlsServerEndpoint::descriptor();
    case EndpointKind::TlsClient:
        return TlsClientEndpoint::descriptor();
    }
    std::abort();  // a value outside the enumeration
}

const KindDescriptor *kindDescriptor(const QString &name)
{
    for (EndpointKind kind : AllKinds) {
        const KindDescriptor &d = kindDescriptor(kind);
        if (d.name() == name)
            return &d;
    }
    return nullptr;
}

const std::vector<EndpointKind> &RootKindList::kinds() const
{
    static const std::vector<EndpointKind> roots = [] {
        std::vector<EndpointKind> list;
        for (EndpointKind kind : AllKinds) {
            if (kindDescriptor(kind).hasRoot())
                list.push_back(kind);
        }
        return list;
    }();
    return roots;
}

QString kindName(EndpointKind kind) { return kindDescriptor(kind).name(); }

std::optional<EndpointKind> kindFromName(const QString &name)
{
    if (const KindDescriptor *d = kindDescriptor(name))
        return d->kind();
    return std::nullopt;
}
