#include "core/endpoints/endpointfactory.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/net/portprobe.h"
#include "core/text/paramline.h"

#include <QPointer>

Endpoint *CreateFromLine(EndpointRegistry &registry, const QString &line)
{
    // Every number is read before anything exists, so a bad value leaves no
    // half-made endpoint behind.
    const ParamLine p = readParamLine(line);
    const KindDescriptor *kind = kindDescriptor(p.socketType);
    if (!kind)
        return nullptr;
    // A port out of range is refused, not wrapped (PORT reads inside the
    // other two keys, so they are named first).
    checkedPort(QStringLiteral("REMOTEPORT"), p.remotePort);
    checkedPort(QStringLiteral("LOCALPORT"), p.localPort);
    checkedPort(QStringLiteral("PORT"), p.port);

    QPointer<Endpoint> created = kind->fromLine(registry, p);

    // A creation can show a message box and so let events through; only an
    // endpoint that is still registered is handed back.
    if (!created || !registry.contains(created))
        return nullptr;
    created->setHexMode(p.hex == 1);
    return created;
}
