// Parameter lines: any text either reads or raises the conversion error.
#include "core/errors.h"
#include "core/text/paramline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    try {
        const ParamLine p = readParamLine(line);
        (void)p;
    } catch (const ConvertError &) {}
    for (const char *key : {"SOCKETTYPE", "PORT", "HEX", "HOST", "LOCALPORT", "REMOTEPORT"}) {
        bool found = false;
        (void)paramValue(line, QString::fromLatin1(key), &found);
    }
    return 0;
}
