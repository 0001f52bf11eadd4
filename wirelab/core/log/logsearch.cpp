#include "core/log/logsearch.h"

#include "core/log/endpointlog.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// The first index in [from, to) whose byte is a or b, or to.
qsizetype FindEither(const char *h, qsizetype from, qsizetype to, char a, char b)
{
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; i + 16 <= to; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)));
        if (mask)
            return i + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; i < to; ++i) {
        if (h[i] == a || h[i] == b)
            return i;
    }
    return to;
}

// The first index >= from where needle starts in hay, or -1.
qsizetype Find(const QByteArray &hay, qsizetype from, const QByteArray &needle, bool caseSensitive)
{
    if (caseSensitive)
        return hay.indexOf(needle, from);
    const qsizetype m = needle.size();
    const char *h = hay.constData();
    const char first = needle.at(0);
    const char other = (first >= 'a' && first <= 'z') ? char(first - 'a' + 'A') : first;
    const qsizetype last = hay.size() - m + 1;  // past the last place a match can start
    for (qsizetype i = FindEither(h, from, last, first, other); i < last;
         i = FindEither(h, i + 1, last, first, other)) {
        qsizetype k = 1;
        while (k < m && Fold(h[i + k]) == needle.at(k))
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}
}  // namespace

std::vector<LogMatch> findInLog(const EndpointLog &log, const QByteArray &needle, bool caseSensitive)
{
    std::vector<LogMatch> matches;
    if (needle.isEmpty())
        return matches;
    const QByteArray folded = caseSensitive ? needle : needle.toLower();
    const qint64 end = log.streamSize();
    const qint64 m = needle.size();
    // Each window holds a block plus the m - 1 bytes before it: a match
    // across the boundary does not fit in the earlier window, so it is seen
    // once, in the later one.
    // Hits come in order: the record of the last one, and where the next
    // record starts, answer most of them without a search.
    qsizetype record = -1;
    EndpointLog::Entry e;
    qint64 nextStart = -1;  // where record + 1 starts; -1: not known
    for (qint64 start = 0; start < end; start += EndpointLog::BlockSize) {
        const qint64 from = std::max<qint64>(0, start - (m - 1));
        const QByteArray window = log.read(from, start + EndpointLog::BlockSize - from);
        for (qsizetype at = Find(window, 0, folded, caseSensitive); at >= 0;
             at = Find(window, at + 1, folded, caseSensitive)) {
            const qint64 hit = from + at;
            if (record < 0 || hit >= nextStart) {
                // A few records on, or else a search.
                qsizetype next = record + 1;
                const qsizetype near = std::min(log.count(), record + 5);
                while (record >= 0 && next + 1 < near && log.record(next + 1).offset <= hit)
                    ++next;
                if (record < 0 || (next + 1 < log.count() && log.record(next + 1).offset <= hit))
                    next = log.recordAt(hit);
                record = next;
                if (record < 0)
                    continue;
                e = log.record(record);
                nextStart = record + 1 < log.count() ? log.record(record + 1).offset : end;
            }
            if (hit + m <= e.offset + e.size)
                matches.push_back({record, hit - e.offset});
        }
    }
    return matches;
}
