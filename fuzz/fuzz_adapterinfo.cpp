// Dotted quads and adapter texts: any address and mask texts give a local
// address, and a broadcast address that is empty or a valid dotted quad.
#include "core/net/adapterinfo.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QByteArray quad = dottedToBytes(text);
    if (!quad.isEmpty() && quad.size() != 4)
        abort();

    // Split the input into adapters (by '|') and address/mask pairs (by ';' and '/').
    AdapterList adapters;
    for (const QString &a : text.split(u'|')) {
        AdapterInfo info;
        for (const QString &pair : a.split(u';')) {
            const int slash = pair.indexOf(u'/');
            info.addresses.append({pair.left(slash), slash < 0 ? QString() : pair.mid(slash + 1)});
        }
        adapters.append(info);
    }
    (void)adapterText(adapters);
    (void)localAdapterAddress(adapters);
    (void)localAddresses(adapters);
    bool warn = false;
    const QString broadcast = broadcastAddress(adapters, &warn);
    if (!broadcast.isEmpty() && dottedToBytes(broadcast).size() != 4)
        abort();
    return 0;
}
