#pragma once
// Hexadecimal forms of byte strings: the spaced display form shown in the
// panes, the compact form handed to the script, and typed hex text to bytes.

#include <QByteArray>
#include <QString>
#include <QStringView>

QString byteToHex(quint8 value);  // 10 -> "0A"
QString strToHexSpaced(const QByteArray &data);  // "31 32 33 " (blank after every pair)
QString strToHexCompact(const QByteArray &data);  // "313233"
// Display form "{31 32 33 }"; "{}" for no bytes.
QString hexDisplayForm(const QByteArray &data);
// Digits in either case; a blank counts as 0, and so does any other
// character that is not a hex digit. No length limit (wraps like the
// unsigned arithmetic it is); callers pass one or two characters.
quint32 HexToInt(const QString &text);
// Two characters per byte, nothing skipped; an odd last character is ignored.
QByteArray hexTextToStr(QStringView text);
inline QByteArray hexTextToStr(const QString &text) { return hexTextToStr(QStringView(text)); }
// Whether text is whole pairs of hex digits (either case) and nothing else,
// so that hexTextToStr reads it as written. "" is.
bool isHexPairs(QStringView text);
inline bool isHexPairs(const QString &text) { return isHexPairs(QStringView(text)); }
