#pragma once
// The user-interface language. Both programs are written in Chinese and
// carry an English translation; it is used when the first language the user
// asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as Qt reads them) is
// English, and every other language keeps the Chinese texts.

#include <QEvent>
#include <QString>

bool UiLanguageIsEnglish();

// Loads <program>_en.qm (from the installed translations next to the
// program, or from the build tree) into the application when the UI
// language is English. Call after the QCoreApplication exists. Returns
// whether a translation was installed.
bool InstallUiTranslation(const QString &program);

// How many times the application's translators have changed. A text kept
// once translated (a log line's prefix) is looked up again when this moves.
unsigned UiLanguageGeneration();
void NoteUiLanguageChange();

// An application that counts the changes of its translators. Installing or
// removing a translator tells the application object alone
// (QEvent::LanguageChange); hearing it in the application's own event()
// costs nothing for other events, where an event filter on the application
// would be called for every event of every object. The programs' and the
// tests' applications are all one.
template<class Application>
class LanguageCountingApplication : public Application
{
public:
    using Application::Application;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            NoteUiLanguageChange();
        return Application::event(event);
    }
};
