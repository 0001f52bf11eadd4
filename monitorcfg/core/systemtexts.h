#pragma once
// Texts that come from Qt and the system rather than from this program, in
// the user-interface language: the option parser's messages and the reasons
// the system gives for a port that cannot be opened.

#include <QString>

// Loads Qt's own Chinese translations (the option parser, the serial port)
// when the UI language is not English, from Qt's translations directory.
// Call after the QCoreApplication exists. Returns whether they were found;
// without them those texts stay in English.
bool InstallQtTranslations();

// A system error text (as the C library words it in an English or C
// locale, the way Qt passes it on) in the UI language; a text it does not
// know, or one the system already gave in another language, is returned as
// it is.
QString SystemErrorText(const QString &text);
