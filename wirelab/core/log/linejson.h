#pragma once
// The JSON form of a log line, one for the headless --json output and for a
// saved log's JSON lines, so that the two cannot drift apart.

#include "core/log/linetext.h"

#include <QByteArray>
#include <QString>

// "recv", "send", "display", "notice" (a failed send too), "warning".
QString lineEventName(LineKind kind);
// The local time with its UTC offset ("2026-12-08T20:15:01.250+01:00").
QString isoTimeWithOffset(qint64 msecsSinceEpoch);
// {"t", "endpoint", "event", "text"} and, for data, "hex" of its bytes: one
// compact object, without a line break.
QByteArray lineJson(qint64 timeMs, const QString &endpoint, LineKind kind, const QString &text,
                    const QByteArray &bytes);
