// Hex codec: typed hex text of any content never breaks the decoder, and the
// compact and spaced forms always read back to the same bytes.
#include "core/text/hexcodec.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString text = QString::fromUtf8(bytes);
    const QByteArray decoded = hexTextToStr(text);
    if (decoded.size() != text.size() / 2)
        abort();
    (void)HexToInt(text.left(2));

    const QString compact = strToHexCompact(bytes);
    if (compact.size() != 2 * bytes.size() || hexTextToStr(compact) != bytes)
        abort();
    const QString spaced = strToHexSpaced(bytes);
    if (spaced.size() != 3 * bytes.size())
        abort();
    const QString display = hexDisplayForm(bytes);
    if (display.size() != spaced.size() + 2 || !display.startsWith(u'{') || !display.endsWith(u'}'))
        abort();
    return 0;
}
