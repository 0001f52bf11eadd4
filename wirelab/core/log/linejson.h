#pragma once
// The JSON form of a log line, one for the headless --json output and for a
// saved log's JSON lines, so that the two cannot drift apart.

#include "core/log/linetext.h"

#include <QByteArray>
#include <QString>

// "recv", "send", "display", "notice" (a failed send too), "warning", "error".
QString lineEventName(LineKind kind);
// The local time with its UTC offset ("2026-12-08T20:15:01.250+01:00").
QString isoTimeWithOffset(qint64 msecsSinceEpoch);
// {"t", "endpoint", "event", "text"} and, for data, "hex" of its bytes: one
// compact object, without a line break. An error's text is without its
// line's "error: ", as the headless run's own error objects have it.
QByteArray lineJson(qint64 timeMs, const QString &endpoint, LineKind kind, const QString &text,
                    const QByteArray &bytes);
