#pragma once
// Drives the monitorcfg window as a user would, for the end-to-end tests.

#include "form1.h"

#include <QString>
#include <array>

class QLineEdit;

QLineEdit *Field(Form1 &form, int n);
void SetFields(Form1 &form, const std::array<QString, 8> &texts);
std::array<QString, 8> FieldTexts(Form1 &form);
void Click(Form1 &form, const char *button);
// Text9 as shown, line ends turned back into the reports' CR LF.
QString ResultText(Form1 &form);
void ClearResult(Form1 &form);
// Waits until Text9 shows text; returns the milliseconds waited, -1 on timeout.
qint64 MsUntilResult(Form1 &form, const QString &text, int timeoutMs = 5000);
