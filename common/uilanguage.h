#pragma once
// The user-interface language. Both programs are written in Chinese and
// carry an English translation; it is used when the first language the user
// asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as Qt reads them) is
// English, and every other language keeps the Chinese texts.

#include <QString>

bool UiLanguageIsEnglish();

// Loads <program>_en.qm (from the installed translations next to the
// program, or from the build tree) into the application when the UI
// language is English. Call after the QCoreApplication exists. Returns
// whether a translation was installed.
bool InstallUiTranslation(const QString &program);
