#pragma once
// Finding bytes in an endpoint's log: the stream is scanned block by block
// (a match may span two blocks), and each hit is kept when it lies within
// one record's bytes (a record's payload, or its text as UTF-8).
//
// Without caseSensitive the ASCII letters match in either case; other bytes
// match only themselves (bytes are not decoded).

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

class EndpointLog;

struct LogMatch
{
    qsizetype record = -1;
    qint64 at = 0;  // offset of the match within the record's bytes
};

// Every match of `needle` in the log, in order.
std::vector<LogMatch> findInLog(const EndpointLog &log, const QByteArray &needle, bool caseSensitive);

// Where `needle` first occurs in `hay` at or after `from`, or -1 (an empty
// needle is found at `from`).
qsizetype findBytes(QByteArrayView hay, QByteArrayView needle, bool caseSensitive, qsizetype from = 0);
