#include "core/log/rowmap.h"

#include <algorithm>

void RowMap::clear()
{
    m_bits.clear();
    m_before.clear();
    m_size = 0;
    m_back = -1;
}

void RowMap::push_back(qsizetype record)
{
    Q_ASSERT(record > m_back);
    const size_t group = size_t(record / GroupRecords);
    // Groups passed over hold no row.
    while (m_before.size() <= group)
        m_before.push_back(m_size);
    const size_t word = size_t(record / WordRecords);
    if (m_bits.size() <= word)
        m_bits.resize(word + 1, 0);
    m_bits[word] |= quint64(1) << (record % WordRecords);
    ++m_size;
    m_back = record;
}

qsizetype RowMap::at(qsizetype row) const
{
    Q_ASSERT(row >= 0 && row < m_size);
    // The last group with at most `row` rows before it holds the row.
    const size_t group =
        size_t(std::upper_bound(m_before.begin(), m_before.end(), row) - m_before.begin()) - 1;
    qsizetype left = row - m_before[group];
    for (size_t word = group * GroupWords;; ++word) {
        quint64 bits = m_bits[word];
        const int ones = __builtin_popcountll(bits);
        if (left < ones) {
            for (; left > 0; --left)
                bits &= bits - 1;  // drops the lowest row of the word
            return qsizetype(word) * WordRecords + __builtin_ctzll(bits);
        }
        left -= ones;
    }
}

qsizetype RowMap::lowerBound(qsizetype record) const
{
    if (record > m_back)
        return m_size;
    if (record <= 0)
        return 0;
    const size_t group = size_t(record / GroupRecords);
    const size_t word = size_t(record / WordRecords);
    qsizetype rows = m_before[group];
    for (size_t w = group * GroupWords; w < word; ++w)
        rows += __builtin_popcountll(m_bits[w]);
    const quint64 below = (quint64(1) << (record % WordRecords)) - 1;
    return rows + __builtin_popcountll(m_bits[word] & below);
}

qsizetype RowMap::nextRecord(qsizetype record) const
{
    if (m_size == 0 || record > m_back)
        return -1;
    record = std::max<qsizetype>(record, 0);
    size_t word = size_t(record / WordRecords);
    quint64 bits = m_bits[word] & (~quint64(0) << (record % WordRecords));
    while (bits == 0)
        bits = m_bits[++word];  // ends at the word of m_back at the latest
    return qsizetype(word) * WordRecords + __builtin_ctzll(bits);
}
