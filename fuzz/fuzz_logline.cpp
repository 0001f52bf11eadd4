// A log line's forms: a record of any kind, with any bytes, hex mode, count
// text and time, reads as a line, a body (also as UTF-8 made straight from
// the bytes) and a JSON line without a fault; the JSON parses and carries
// the bytes; a find over the record's bytes
// reports only real matches and misses none.
//
// Input: kind, flags (bit 0 hex mode, bit 1 repeat count, bit 2 extra, bit 3
// case-sensitive find), the count text's length, the needle's start and
// length, eight bytes of time, then the count text and the payload.
#include "core/log/endpointlog.h"
#include "core/log/linejson.h"
#include "core/log/linekind.h"
#include "core/log/logsavejob.h"
#include "core/log/logsearch.h"
#include "core/text/hexcodec.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t HeaderSize = 13;
constexpr int KindCount = int(LineKindCount);

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameBytes(const QByteArray &a, const QByteArray &b, bool caseSensitive)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (caseSensitive ? a[i] != b[i] : Fold(a[i]) != Fold(b[i]))
            return false;
    }
    return true;
}

void CheckJson(const QByteArray &line, LineKind kind, const QByteArray &bytes)
{
    if (line.contains('\n'))
        abort();
    QJsonParseError error {};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        abort();
    const QJsonObject o = doc.object();
    if (o.value(QStringLiteral("event")).toString() != lineEventName(kind))
        abort();
    if (carriesBytes(kind) && hexTextToStr(o.value(QStringLiteral("hex")).toString()) != bytes)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);  // the log's batch timer needs one
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < HeaderSize)
        return 0;
    const LineKind kind = LineKind(data[0] % KindCount);
    const bool hexMode = data[1] & 1;
    const bool withCount = data[1] & 2;
    const bool extra = data[1] & 4;
    const bool caseSensitive = data[1] & 8;
    qint64 time = 0;
    std::memcpy(&time, data + 5, sizeof time);
    // About 280 years either side of 1970: the times a clock gives.
    time %= qint64(1) << 43;
    const char *rest = reinterpret_cast<const char *>(data + HeaderSize);
    const size_t restSize = size - HeaderSize;
    const size_t countSize = std::min<size_t>(data[2], restSize);
    const QByteArray countText(rest, qsizetype(countSize));
    const QByteArray bytes(rest + countSize, qsizetype(restSize - countSize));

    LineParts parts;
    parts.timeMs = time;
    parts.kind = kind;
    parts.hexMode = hexMode;
    parts.withCount = withCount && kind == LineKind::Sent;
    parts.bytes = bytes;
    parts.countText = parts.withCount ? countText : QByteArray();
    const QString text = lineText(parts);
    const QString body = lineBody(parts);
    if (carriesBytes(kind) ? !text.endsWith(body) || text.size() <= body.size() : text != body)
        abort();
    CheckJson(lineJson(time, QString::fromUtf8(countText), kind, body, bytes), kind, bytes);
    // The UTF-8 body made straight from the bytes is the body's.
    QByteArray utf8;
    appendLineBodyUtf8(utf8, parts);
    if (utf8 != body.toUtf8())
        abort();

    // The same record through the log: its bytes kept as they came.
    EndpointLog log;
    if (parts.withCount)
        log.appendSent(bytes, hexMode, QString::fromUtf8(countText));
    else if (carriesBytes(kind))
        log.append(kind, bytes, hexMode, extra);
    else
        log.appendText(kind, QString::fromUtf8(bytes), extra);
    const QByteArray kept = log.bytes(0);
    if (carriesBytes(kind) && kept != bytes)
        abort();
    const EndpointLog::Entry entry = log.record(0);
    if (entry.kind != kind || entry.extra != (extra && !parts.withCount))
        abort();
    if (carriesBytes(kind) ? log.body(0) != body : log.body(0) != QString::fromUtf8(kept))
        abort();
    CheckJson(LogSaveJob::jsonLine(log, 0, QStringLiteral("e")), kind, kept);

    // Find: a slice of the record's own bytes is found where it is, and
    // every match reported is one.
    if (kept.isEmpty())
        return 0;
    const qsizetype from = qsizetype(data[3]) % kept.size();
    const qsizetype length = std::max<qsizetype>(1, std::min<qsizetype>(data[4] % 16, kept.size() - from));
    const QByteArray needle = kept.mid(from, length);
    bool foundAtFrom = false;
    findInLog(log, needle, caseSensitive, [&](const LogMatch &m) {
        if (m.record != 0 || m.at < 0 || m.at + length > kept.size())
            abort();
        if (!SameBytes(kept.mid(m.at, length), needle, caseSensitive))
            abort();
        foundAtFrom = foundAtFrom || m.at == from;
        return true;
    });
    if (!foundAtFrom)
        abort();
    return 0;
}
