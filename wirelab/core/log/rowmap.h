#pragma once
// RowMap: which records of a log a view shows as rows, in order. One bit
// per record of the log, plus a count of rows per group of GroupRecords
// records: about 0.13 bytes per record instead of 8 per row, so a view over
// millions of lines costs little beside the log (whose records move to the
// spill file), and a save of the rows shown keeps a copy as cheaply. Rows
// are taken in record order, as the log grows. A find keeps the records
// holding its matches in one too.

#include <QtGlobal>

#include <vector>

class RowMap
{
public:
    qsizetype size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    void clear();
    // Adds the record as the last row; records come in increasing order.
    void push_back(qsizetype record);
    // The record shown as `row` (0 <= row < size()).
    qsizetype at(qsizetype row) const;
    qsizetype operator[](qsizetype row) const { return at(row); }
    qsizetype front() const { return at(0); }
    qsizetype back() const { return m_back; }
    // Whether the record is a row: one bit, not a count.
    bool contains(qsizetype record) const
    {
        return record >= 0 && record <= m_back
            && (m_bits[size_t(record / WordRecords)] >> (record % WordRecords) & 1) != 0;
    }
    // The first row whose record is `record` or later; size() if none.
    qsizetype lowerBound(qsizetype record) const;
    // The first record at or after `record` that is a row; -1 if none. For
    // walking the rows in order without counting them.
    qsizetype nextRecord(qsizetype record) const;

private:
    static constexpr qsizetype WordRecords = 64;
    static constexpr qsizetype GroupWords = 64;
    static constexpr qsizetype GroupRecords = WordRecords * GroupWords;

    std::vector<quint64> m_bits;  // bit r: record r is a row
    std::vector<qsizetype> m_before;  // rows of the groups before each group
    qsizetype m_size = 0;
    qsizetype m_back = -1;
};
