#include "core/text/hexcodec.h"

#include <algorithm>
#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

inline void WritePair(uchar byte, char16_t *p)
{
    const char16_t *pair = &kPairs.chars[size_t(byte) * 2];
    p[0] = pair[0];
    p[1] = pair[1];
}

#if defined(__SSE2__)
// Past this many bytes in, the text (four times as many bytes) would not
// stay in the cache for whoever reads it next: it is written around the
// cache, which also spares reading its memory in first.
constexpr qsizetype StreamFrom = 128 * 1024;

// The pairs of bytes [i, end) of src, sixteen bytes at a time: a nibble
// becomes '0' + nibble, plus the gap up to 'A' when it is above 9; the
// digits are interleaved high one first and widened to UTF-16. Returns
// where it stopped (fewer than sixteen bytes are left).
template<bool Stream>
qsizetype WritePairs16(const uchar *src, qsizetype i, qsizetype end, char16_t *p)
{
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i gap = _mm_set1_epi8('A' - '0' - 10);
    const __m128i none = _mm_setzero_si128();
    const auto digits = [&](__m128i v) {
        return _mm_add_epi8(_mm_add_epi8(v, zero), _mm_and_si128(_mm_cmpgt_epi8(v, nine), gap));
    };
    const auto store = [](__m128i *d, __m128i v) {
        if constexpr (Stream)
            _mm_stream_si128(d, v);
        else
            _mm_storeu_si128(d, v);
    };
    for (; i + 16 <= end; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + i));
        const __m128i hi = digits(_mm_and_si128(_mm_srli_epi16(b, 4), low));
        const __m128i lo = digits(_mm_and_si128(b, low));
        const __m128i first = _mm_unpacklo_epi8(hi, lo);  // bytes 0..7 as digit pairs
        const __m128i second = _mm_unpackhi_epi8(hi, lo);  // bytes 8..15
        auto *d = reinterpret_cast<__m128i *>(p + 2 * i);
        store(d, _mm_unpacklo_epi8(first, none));
        store(d + 1, _mm_unpackhi_epi8(first, none));
        store(d + 2, _mm_unpacklo_epi8(second, none));
        store(d + 3, _mm_unpackhi_epi8(second, none));
    }
    if constexpr (Stream)
        _mm_sfence();
    return i;
}
#endif

// Writes the two digits of each of the n bytes at src to p (2n code units).
// Every received block goes through here for the script.
void WriteCompactPairs(const uchar *src, qsizetype n, char16_t *p)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    // Streaming stores need 16-byte alignment; each byte writes 4 bytes,
    // so a few pairs written first reach it when p is 4-aligned.
    if (n >= StreamFrom && (reinterpret_cast<quintptr>(p) & 3) == 0) {
        for (; (reinterpret_cast<quintptr>(p + 2 * i) & 15) != 0; ++i)
            WritePair(src[i], p + 2 * i);
        i = WritePairs16<true>(src, i, n, p);
    }
    i = WritePairs16<false>(src, i, n, p);
#endif
    for (; i < n; ++i)
        WritePair(src[i], p + 2 * i);
}

// Writes each of the n bytes at src as its two digits and a blank (3n code
// units) to p; returns the end.
char16_t *WriteSpacedPairs(const uchar *src, qsizetype n, char16_t *p)
{
    for (qsizetype i = 0; i < n; ++i, p += 3) {
        WritePair(src[i], p);
        p[2] = u' ';
    }
    return p;
}

const uchar *BytesOf(const QByteArray &data) { return reinterpret_cast<const uchar *>(data.constData()); }

}  // namespace

QString byteToHex(quint8 value)
{
    return QString(reinterpret_cast<const QChar *>(&kPairs.chars[size_t(value) * 2]), 2);
}

QString strToHexSpaced(const QByteArray &data)
{
    QString out(data.size() * 3, Qt::Uninitialized);
    WriteSpacedPairs(BytesOf(data), data.size(), reinterpret_cast<char16_t *>(out.data()));
    return out;
}

QString strToHexCompact(const QByteArray &data)
{
    QString out(data.size() * 2, Qt::Uninitialized);
    WriteCompactPairs(BytesOf(data), data.size(), reinterpret_cast<char16_t *>(out.data()));
    return out;
}

QString hexDisplayForm(const QByteArray &data)
{
    QString out(data.size() * 3 + 2, Qt::Uninitialized);
    char16_t *p = reinterpret_cast<char16_t *>(out.data());
    *p = u'{';
    p = WriteSpacedPairs(BytesOf(data), data.size(), p + 1);
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
