#include "core/text/hexcodec.h"

#include <algorithm>
#include <array>

namespace {

constexpr char16_t kDigits[] = u"0123456789ABCDEF";

// Both digits of every byte value, so that the bulk conversions write two
// code units per byte straight into a preallocated buffer.
struct HexPairs
{
    std::array<char16_t, 512> chars {};
    constexpr HexPairs()
    {
        for (int v = 0; v < 256; ++v) {
            chars[size_t(2 * v)] = kDigits[v >> 4];
            chars[size_t(2 * v + 1)] = kDigits[v & 15];
        }
    }
};

constexpr HexPairs kPairs;

// Value of one typed character: hex digits in either case; a blank and any
// other character count as 0, so that stray separators never fail a send.
inline quint32 DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return quint32(c - u'0');
    if (c >= u'A' && c <= u'F')
        return quint32(c - u'A' + 10);
    if (c >= u'a' && c <= u'f')
        return quint32(c - u'a' + 10);
    return 0;
}

// Writes the pairs of data, each followed by `separator` when it is non-zero.
QString PairsOf(const QByteArray &data, char16_t separator)
{
    const qsizetype n = data.size();
    const qsizetype width = separator ? 3 : 2;
    QString out(n * width, Qt::Uninitialized);
    char16_t *p = reinterpret_cast<char16_t *>(out.data());
    const uchar *src = reinterpret_cast<const uchar *>(data.constData());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t *pair = &kPairs.chars[size_t(src[i]) * 2];
        *p++ = pair[0];
        *p++ = pair[1];
        if (separator)
            *p++ = separator;
    }
    return out;
}

}  // namespace

QString byteToHex(quint8 value)
{
    return QString(reinterpret_cast<const QChar *>(&kPairs.chars[size_t(value) * 2]), 2);
}

QString strToHexSpaced(const QByteArray &data) { return PairsOf(data, u' '); }

QString strToHexCompact(const QByteArray &data) { return PairsOf(data, 0); }

QString hexDisplayForm(const QByteArray &data)
{
    const qsizetype n = data.size();
    QString out(n * 3 + 2, Qt::Uninitialized);
    char16_t *p = reinterpret_cast<char16_t *>(out.data());
    const uchar *src = reinterpret_cast<const uchar *>(data.constData());
    *p++ = u'{';
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t *pair = &kPairs.chars[size_t(src[i]) * 2];
        *p++ = pair[0];
        *p++ = pair[1];
        *p++ = u' ';
    }
    *p = u'}';
    return out;
}

quint32 HexToInt(const QString &text)
{
    quint32 result = 0;
    for (const QChar c : text)
        result = result * 16 + DigitValue(c.unicode());
    return result;
}

QByteArray hexTextToStr(QStringView text)
{
    const qsizetype n = text.size() / 2;
    QByteArray out(n, Qt::Uninitialized);
    const char16_t *src = text.utf16();
    char *dst = out.data();
    for (qsizetype i = 0; i < n; ++i)
        dst[i] = char((DigitValue(src[2 * i]) << 4) | DigitValue(src[2 * i + 1]));
    return out;
}

bool isHexPairs(QStringView text)
{
    if (text.size() % 2 != 0)
        return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'F') || (u >= u'a' && u <= u'f');
    });
}
