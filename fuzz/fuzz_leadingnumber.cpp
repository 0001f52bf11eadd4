// The number read from the start of a field, and the clamp applied to it.
#include "leadingnumber.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const double v = ReadLeadingNumber(text);
    (void)v;
    const QString clamped = ClampFieldText(text, 0, 255);
    if (clamped != text) {
        bool ok = false;
        const int n = clamped.toInt(&ok);
        if (!ok || n < 0 || n > 255)
            abort();
    }
    return 0;
}
