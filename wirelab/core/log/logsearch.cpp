#include "core/log/logsearch.h"

#include "core/log/endpointlog.h"

#include <algorithm>
#include <cstring>

namespace {
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// The first index >= from where needle starts in hay, or -1.
qsizetype Find(const QByteArray &hay, qsizetype from, const QByteArray &needle, bool caseSensitive)
{
    if (caseSensitive)
        return hay.indexOf(needle, from);
    const qsizetype m = needle.size();
    const char *h = hay.constData();
    const char first = needle.at(0);
    const char other = (first >= 'a' && first <= 'z') ? char(first - 'a' + 'A') : first;
    for (qsizetype i = from; i + m <= hay.size(); ++i) {
        if (h[i] != first && h[i] != other)
            continue;
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
    for (qint64 start = 0; start < end; start += EndpointLog::BlockSize) {
        const qint64 from = std::max<qint64>(0, start - (m - 1));
        const QByteArray window = log.read(from, start + EndpointLog::BlockSize - from);
        for (qsizetype at = Find(window, 0, folded, caseSensitive); at >= 0;
             at = Find(window, at + 1, folded, caseSensitive)) {
            const qint64 hit = from + at;
            const qsizetype record = log.recordAt(hit);
            if (record < 0)
                continue;
            const EndpointLog::Entry e = log.record(record);
            if (hit + m <= e.offset + e.size)
                matches.push_back({record, hit - e.offset});
        }
    }
    return matches;
}
