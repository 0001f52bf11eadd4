#pragma once
// Reading the number that a field's text starts with, and the range check
// applied when a field is left. Both are pure: the form only feeds texts in.

#include <QString>

// Blanks are skipped wherever they stand; an optional sign, digits, one
// decimal point and an exponent are read up to the first character that
// cannot continue the number. Text that does not begin with a number is 0.
// Overflow gives an infinity of the right sign.
double ReadLeadingNumber(const QString &text);

// The text a field holds after it loses the focus: empty stays empty; a
// value above hi becomes hi, then a value below lo becomes lo (both in
// decimal); anything in range is kept exactly as typed.
QString ClampFieldText(const QString &text, int lo, int hi);
