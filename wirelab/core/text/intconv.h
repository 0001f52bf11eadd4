#pragma once
// Integer conversion of user and script texts.
//
// Accepted: optional blanks before and after, an optional sign, then decimal
// digits whose value fits a signed 32-bit integer. Anything else fails with
// the text "'<text>' is not a valid integer value".

#include <QString>

bool tryStrToInt(const QString &text, int &value);
int strToInt(const QString &text);  // throws ConvertError
QString notAnIntegerText(const QString &text);
