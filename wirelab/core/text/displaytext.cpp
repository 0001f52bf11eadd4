#include "core/text/displaytext.h"

#include <QDateTime>

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

#if !defined(__SSE2__)
// Whether any of the 8 bytes in v is below 0x20 or at or above 0x7F (a
// carry may report a clean word as not clean, never the other way round).
bool AnyNotPrintable(quint64 v)
{
    constexpr quint64 Ones = 0x0101010101010101ULL;
    constexpr quint64 Highs = 0x8080808080808080ULL;
    const quint64 below = (v - 0x20 * Ones) & ~v & Highs;
    const quint64 delOrHigh = (v | (v + Ones)) & Highs;
    return (below | delOrHigh) != 0;
}
#endif

// Writes the display form of an ASCII control byte (below 0x20, or DEL) at
// d: a tab stays itself, any other becomes its picture, U+2400 + c (U+2421
// for DEL). Returns the end.
inline uchar *ControlPicture(uchar c, uchar *d)
{
    if (c == '\t') {
        *d++ = c;
        return d;
    }
    d[0] = 0xE2;
    d[1] = 0x90;
    d[2] = c == 0x7F ? 0xA1 : uchar(0x80 + c);
    return d + 3;
}

// A step of Step bytes at s, all ASCII, whose controls mask marks, already
// stored at d as they are: each control becomes its picture in place, the
// bytes after it stored again a whole step at a time (the caller has room
// for a step past any picture). Returns the end of the step's display form.
template<int Step>
inline uchar *PicturesInPlace(const uchar *s, unsigned mask, uchar *d)
{
    int from = 0;
    for (unsigned m = mask; m; m &= m - 1) {
        const int k = __builtin_ctz(m);
        d = ControlPicture(s[k], d + (k - from));
        from = k + 1;
        std::memcpy(d, s + from, Step);
    }
    return d + (Step - from);
}

// Writes the display form of the character at s[i] (not printable ASCII:
// a control, or the first byte of a UTF-8 sequence) at d and moves i past
// it; returns the end, or null when it is not valid UTF-8 (decoded, that is
// a replacement character whose exact form the general path decides).
inline uchar *OtherCharacter(const uchar *s, qsizetype n, qsizetype &i, uchar *d)
{
    const uchar c = s[i];
    if (c < 0x80) {
        ++i;
        return ControlPicture(c, d);
    }
    int len = 0;
    char32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        cp = c & 0x07;
    } else {
        return nullptr;
    }
    if (i + len > n)
        return nullptr;
    for (int k = 1; k < len; ++k) {
        const uchar t = s[i + k];
        if ((t & 0xC0) != 0x80)
            return nullptr;
        cp = (cp << 6) | (t & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))
        || (cp >= 0xD800 && cp <= 0xDFFF))
        return nullptr;
    if (cp == 0x2028 || cp == 0x2029) {  // as ␤
        *d++ = 0xE2;
        *d++ = 0x90;
        *d++ = 0xA4;
    } else if (cp == 0xFDD0 || cp == 0xFDD1) {  // as U+FFFD
        *d++ = 0xEF;
        *d++ = 0xBF;
        *d++ = 0xBD;
    } else {
        std::memcpy(d, s + i, size_t(len));
        d += len;
    }
    i += len;
    return d;
}

// Writes the display form of bytes as UTF-8 at d; returns the end, or null
// at the first byte that is not valid UTF-8. The caller gives 3 n bytes at d.
uchar *DisplayUtf8(const uchar *s, qsizetype n, uchar *d, qsizetype i = 0)
{
    while (i < n) {
#if defined(__SSE2__)
        // Sixteen bytes at a time, up to the first that is not printable
        // ASCII (as signed bytes, controls and bytes from 0x80 on are all
        // below 0x20). The whole sixteen are stored: d stays at most 3 i
        // past the start and the caller gave 3 n, so they fit.
        if (i + 16 <= n) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
            const __m128i other =
                _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
            const unsigned mask = unsigned(_mm_movemask_epi8(other));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(d), v);
            if (mask == 0) {
                d += 16;
                i += 16;
                continue;
            }
            // ASCII controls among ASCII (a text stream's line breaks): each
            // becomes its picture in place, the bytes after it copied sixteen
            // at a time. Reads stay below i + 32 and writes below 3 i + 64,
            // inside the 3 n the caller gave.
            if (_mm_movemask_epi8(v) == 0 && i + 32 <= n) {
                d = PicturesInPlace<16>(s + i, mask, d);
                i += 16;
                continue;
            }
            const int clean = __builtin_ctz(mask);
            d += clean;
            i += clean;
        }
#else
        if (i + 8 <= n) {
            quint64 v;
            std::memcpy(&v, s + i, 8);
            if (!AnyNotPrintable(v)) {
                std::memcpy(d, &v, 8);
                d += 8;
                i += 8;
                continue;
            }
        }
#endif
        const uchar c = s[i];
        if (c >= 0x20 && c < 0x7F) {
            *d++ = c;
            ++i;
            continue;
        }
        d = OtherCharacter(s, n, i, d);
        if (!d)
            return nullptr;
    }
    return d;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same with 32 bytes at a time where the processor has AVX2: a bulk
// text stream's log lines are made at about twice the speed. The rest
// (the last bytes, and from a character outside ASCII on for as long as
// the text is not plain ASCII again) goes the way above.
__attribute__((target("avx2"))) uchar *DisplayUtf8Avx2(const uchar *s, qsizetype n, uchar *d)
{
    qsizetype i = 0;
    // Reads stay below i + 64 and writes below 3 i + 96 + 32, inside the
    // 3 n the caller gave (n >= i + 64).
    while (i + 64 <= n) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s + i));
        const __m256i other = _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v),
                                              _mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F)));
        const unsigned mask = unsigned(_mm256_movemask_epi8(other));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d), v);
        if (mask == 0) {
            d += 32;
            i += 32;
            continue;
        }
        if (_mm256_movemask_epi8(v) == 0) {
            d = PicturesInPlace<32>(s + i, mask, d);
            i += 32;
            continue;
        }
        const int clean = __builtin_ctz(mask);
        d += clean;
        i += clean;
        d = OtherCharacter(s, n, i, d);
        if (!d)
            return nullptr;
    }
    return DisplayUtf8(s, n, d, i);
}
#endif

}  // namespace

QString bytesForDisplay(const QByteArray &bytes)
{
    QString s = QString::fromLocal8Bit(bytes);
    QChar *p = s.data();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < 0x20 && c != u'\t')
            p[i] = QChar(char16_t(0x2400 + c));
        else if (c == 0x7F)
            p[i] = QChar(char16_t(0x2421));
        else if (c == 0x2028 || c == 0x2029)  // a text document breaks lines there
            p[i] = QChar(char16_t(0x2424));
        else if (c == 0xFDD0 || c == 0xFDD1)  // noncharacters a text document takes as frame marks
            p[i] = QChar(QChar::ReplacementCharacter);
    }
    return s;
}

void appendDisplayUtf8(QByteArray &out, const QByteArray &bytes)
{
    const qsizetype start = out.size();
    // A control byte grows to three; nothing else grows.
    out.resize(start + 3 * bytes.size());
    uchar *d = reinterpret_cast<uchar *>(out.data()) + start;
    // The decoder takes a byte order mark at the start as no character.
    const qsizetype skip = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const uchar *s = reinterpret_cast<const uchar *>(bytes.constData()) + skip;
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    uchar *end = avx2 ? DisplayUtf8Avx2(s, bytes.size() - skip, d) : DisplayUtf8(s, bytes.size() - skip, d);
#else
    uchar *end = DisplayUtf8(s, bytes.size() - skip, d);
#endif
    if (end) {
        out.resize(start + (end - d));
        return;
    }
    out.resize(start);
    out += bytesForDisplay(bytes).toUtf8();
}

QString logClockText() { return logClockText(QDateTime::currentMSecsSinceEpoch()); }

QString logClockText(qint64 msecsSinceEpoch)
{
    static qint64 cachedSecond = -1;
    static QString cached;
    const qint64 second = msecsSinceEpoch / 1000;
    if (second != cachedSecond) {
        cached = QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("HH:mm:ss"));
        cachedSecond = second;
    }
    return cached;
}
