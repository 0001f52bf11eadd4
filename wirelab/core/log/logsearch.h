#pragma once
// Finding bytes in an endpoint's log: the stream is scanned block by block
// (a match may span two blocks), and each hit is kept when it lies within
// one record's bytes (a record's payload, or its text as UTF-8).

#include <QByteArray>

#include <vector>

class EndpointLog;

struct LogMatch
{
    qsizetype record = -1;
    qint64 at = 0;  // offset of the match within the record's bytes
};

// Every match of `needle` in the log, in order. Without caseSensitive the
// ASCII letters match in either case (bytes are not decoded).
std::vector<LogMatch> findInLog(const EndpointLog &log, const QByteArray &needle, bool caseSensitive);
