#pragma once
// What one line of an endpoint's log tells, and its text as the receive
// pane shows it. A log keeps records (time, kind, hex mode, bytes); these
// functions make a line's text from a record when someone reads it.

#include "core/log/linekind.h"

#include <QByteArray>
#include <QString>

// The parts of a record its text is made from.
struct LineParts
{
    qint64 timeMs = 0;  // milliseconds since the epoch
    LineKind kind = LineKind::Displayed;
    bool hexMode = false;  // the endpoint's hex mode when it was logged
    // Sent by the data window: its line ends with the repeat count text
    // ("[10次]"). A script's SEND has no count.
    bool withCount = false;
    QByteArray bytes;  // the payload, or the text as UTF-8
    QByteArray countText;  // UTF-8
};

// The line as the receive pane shows it: "HH:mm:ss 收到数据：{31 32 }12"
// for received data, "HH:mm:ss 发送数据：{31 32 }12[1次]" for sent data
// (the hex form in hex mode only), the text itself for the other kinds.
QString lineText(const LineParts &parts);
// The same without the time and the blank after it (a data line), or the
// whole text (the other kinds).
QString lineBody(const LineParts &parts);
// lineBody() in UTF-8, appended to out; made straight from the bytes for a
// data line (the headless output writes every received block so).
void appendLineBodyUtf8(QByteArray &out, const LineParts &parts);
