#pragma once
// Received and sent bytes as they are shown in a pane: decoded with the
// locale's 8-bit encoding (UTF-8 on Linux), invalid sequences as U+FFFD, and
// every control character except tab as its visible control picture (␀, ␍,
// ␊ ...), so a zero byte or a line break can neither cut a line short nor
// hide what follows. The bytes themselves are never altered elsewhere.

#include <QByteArray>
#include <QString>

QString BytesForDisplay(const QByteArray &bytes);
