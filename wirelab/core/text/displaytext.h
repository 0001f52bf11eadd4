#pragma once
// Received and sent bytes as they are shown in a pane: decoded with the
// locale's 8-bit encoding (UTF-8 on Linux), invalid sequences as U+FFFD,
// every control character except tab as its visible control picture (␀, ␍,
// ␊ ...) and the Unicode line and paragraph separators as ␤, so that no
// byte can cut a line short or hide what follows. The bytes themselves are
// never altered elsewhere.

#include <QByteArray>
#include <QString>

QString bytesForDisplay(const QByteArray &bytes);
// The same text in UTF-8, appended to out (bytesForDisplay(bytes).toUtf8()):
// bytes that are valid UTF-8 are copied as they are, except the characters
// replaced above, without the detour through UTF-16 (the headless output
// writes every received byte this way).
void appendDisplayUtf8(QByteArray &out, const QByteArray &bytes);

// The time of day as log lines start with it ("HH:mm:ss"). Formatting the
// local time costs microseconds per line; the text is made once per second.
// GUI thread only.
QString logClockText();
// The same for a given time (milliseconds since the epoch).
QString logClockText(qint64 msecsSinceEpoch);
