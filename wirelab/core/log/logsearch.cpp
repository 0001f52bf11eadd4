#include "core/log/logsearch.h"

#include "core/log/endpointlog.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A needle ready for scanning. A byte b matches needle byte k when
// (b | fold[k]) == value[k]: fold is 0x20 for a letter when case is
// ignored (its value then the lower case; only the two cases of that letter
// give it), else 0.
class Needle
{
public:
    Needle(QByteArrayView needle, bool caseSensitive) : m_size(needle.size())
    {
        m_value.resize(size_t(m_size));
        m_fold.resize(size_t(m_size));
        for (qsizetype k = 0; k < m_size; ++k) {
            const char c = needle[k];
            const bool fold = !caseSensitive && IsLetter(c);
            m_fold[size_t(k)] = fold ? 0x20 : 0;
            m_value[size_t(k)] = char(fold ? (c | 0x20) : c);
        }
    }

    qsizetype size() const { return m_size; }

    // Calls hit(i) for every i in [from, to) where the needle starts in h
    // (h holds at least to + size() - 1 bytes); stops early when hit
    // returns false. The first and last bytes of the needle are compared
    // 16 places at a time; the bytes between only where both agree.
    template<typename Hit>
    bool scan(const char *h, qsizetype from, qsizetype to, Hit &&hit) const
    {
        const qsizetype last = m_size - 1;
        qsizetype i = from;
#ifdef __SSE2__
        const __m128i firstValue = _mm_set1_epi8(m_value.front());
        const __m128i firstFold = _mm_set1_epi8(m_fold.front());
        const __m128i lastValue = _mm_set1_epi8(m_value.back());
        const __m128i lastFold = _mm_set1_epi8(m_fold.back());
        for (; i + 16 <= to; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + i + last));
            const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), firstValue),
                                               _mm_cmpeq_epi8(_mm_or_si128(b, lastFold), lastValue));
            for (unsigned mask = unsigned(_mm_movemask_epi8(both)); mask; mask &= mask - 1) {
                const qsizetype at = i + __builtin_ctz(mask);
                if (matchesAt(h + at) && !hit(at))
                    return false;
            }
        }
#endif
        for (; i < to; ++i) {
            if (matchesAt(h + i) && !hit(i))
                return false;
        }
        return true;
    }

private:
    bool matchesAt(const char *p) const
    {
        for (qsizetype k = 0; k < m_size; ++k) {
            if (char(p[k] | m_fold[size_t(k)]) != m_value[size_t(k)])
                return false;
        }
        return true;
    }

    qsizetype m_size;
    std::vector<char> m_value;
    std::vector<char> m_fold;
};

}  // namespace

qsizetype findBytes(QByteArrayView hay, QByteArrayView needle, bool caseSensitive, qsizetype from)
{
    from = std::max<qsizetype>(0, from);
    if (needle.isEmpty())
        return from <= hay.size() ? from : -1;
    if (caseSensitive)
        return hay.indexOf(needle, from);
    if (hay.size() - from < needle.size())
        return -1;
    qsizetype found = -1;
    Needle(needle, false).scan(hay.data(), from, hay.size() - needle.size() + 1, [&](qsizetype at) {
        found = at;
        return false;
    });
    return found;
}

void findInLog(const EndpointLog &log, const QByteArray &needle, bool caseSensitive,
               const LogMatchFound &found, LogMatch from, qsizetype last)
{
    const qsizetype count = log.count();
    if (needle.isEmpty() || from.record < 0 || from.record >= count)
        return;
    if (last < 0 || last >= count)
        last = count - 1;
    if (last < from.record)
        return;
    const Needle pattern(needle, caseSensitive);
    const qint64 m = needle.size();
    // Matches start in [begin, end): no match runs past the end of `last`'s
    // bytes, and the bytes after them (a count text) are nobody's.
    const EndpointLog::Entry lastEntry = log.record(last);
    const qint64 begin = log.record(from.record).offset + std::max<qint64>(0, from.at);
    const qint64 end = lastEntry.offset + lastEntry.size;

    // Hits come in stream order, so their records are found by walking on
    // from the last one (a binary search when the next hit is further on).
    qsizetype record = -1;
    qint64 recordStart = 0;
    qint64 recordEnd = 0;  // where its bytes end
    qint64 nextStart = 0;  // where the record after it starts
    auto startOf = [&](qsizetype i) { return i < count ? log.record(i).offset : log.streamSize(); };
    auto onHit = [&](qint64 hit) {
        if (record < 0 || hit >= nextStart) {
            qsizetype next = record + 1;
            qint64 after = startOf(next + 1);
            for (int steps = 0; steps < 4 && after <= hit; ++steps)
                after = startOf(++next + 1);
            if (record < 0 || after <= hit) {
                next = log.recordAt(hit);
                after = startOf(next + 1);
            }
            const EndpointLog::Entry e = log.record(next);
            record = next;
            recordStart = e.offset;
            recordEnd = e.offset + e.size;
            nextStart = after;
        }
        return hit + m > recordEnd || found(LogMatch {record, hit - recordStart});
    };

    // Every start of a match belongs to the block it starts in: a match
    // within the block is found in the block itself, scanned in place; one
    // that starts in its last m - 1 bytes and runs on into the next block
    // in a copy of those bytes and the next block's first ones.
    const qint64 lastStart = end - m + 1;  // past the last place a match can start
    for (qint64 start = begin - begin % EndpointLog::BlockSize; start < lastStart;
         start += EndpointLog::BlockSize) {
        const QByteArray block = log.blockInPlace(qsizetype(start / EndpointLog::BlockSize));
        const qint64 size = std::min<qint64>(block.size(), end - start);
        const qint64 first = std::max<qint64>(0, begin - start);
        const qint64 inside = std::max<qint64>(first, size - m + 1);
        if (!pattern.scan(block.constData(), first, inside, [&](qsizetype at) { return onHit(start + at); }))
            return;
        const qint64 seamFrom = start + inside;
        const qint64 seamTo = std::min(start + size, lastStart);
        if (seamTo <= seamFrom)
            continue;
        const QByteArray seam = log.read(seamFrom, seamTo - seamFrom + m - 1);
        if (!pattern.scan(seam.constData(), 0, seamTo - seamFrom,
                          [&](qsizetype at) { return onHit(seamFrom + at); }))
            return;
    }
}

RowMap recordsHolding(const EndpointLog &log, const QByteArray &needle, bool caseSensitive, qsizetype last)
{
    RowMap holding;
    findInLog(
        log, needle, caseSensitive,
        [&holding](const LogMatch &m) {
            if (holding.back() != m.record)
                holding.push_back(m.record);
            return true;
        },
        {0, 0}, last);
    return holding;
}
