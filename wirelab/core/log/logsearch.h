#pragma once
// Finding bytes in an endpoint's log: the stream is scanned block by block
// (a match may span two blocks), and each hit is kept when it lies within
// one record's bytes (a record's payload, or its text as UTF-8). Matches are
// handed to the caller one by one, never gathered: a log of millions of
// lines may hold millions of them.
//
// Without caseSensitive the ASCII letters match in either case; other bytes
// match only themselves (bytes are not decoded).

#include "core/log/rowmap.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

class EndpointLog;

struct LogMatch
{
    qsizetype record = -1;
    qint64 at = 0;  // offset of the match within the record's bytes

    friend bool operator==(const LogMatch &a, const LogMatch &b)
    {
        return a.record == b.record && a.at == b.at;
    }
    friend bool operator!=(const LogMatch &a, const LogMatch &b) { return !(a == b); }
    friend bool operator<(const LogMatch &a, const LogMatch &b)
    {
        return a.record < b.record || (a.record == b.record && a.at < b.at);
    }
};

// Returns false to stop the find.
using LogMatchFound = std::function<bool(const LogMatch &match)>;

// Calls found for each match of `needle` in the log, in order: those
// starting at or after `from` (a record and an offset in its bytes), up to
// and including record `last` (-1: to the end of the log).
void findInLog(const EndpointLog &log, const QByteArray &needle, bool caseSensitive,
               const LogMatchFound &found, LogMatch from = {0, 0}, qsizetype last = -1);

// The records, up to and including `last` (-1: every one), whose bytes
// hold `needle`, found in one pass over the log.
RowMap recordsHolding(const EndpointLog &log, const QByteArray &needle, bool caseSensitive,
                      qsizetype last = -1);

// Where `needle` first occurs in `hay` at or after `from`, or -1 (an empty
// needle is found at `from`).
qsizetype findBytes(QByteArrayView hay, QByteArrayView needle, bool caseSensitive, qsizetype from = 0);
