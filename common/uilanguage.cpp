#include "uilanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <atomic>

namespace {

std::atomic<unsigned> LanguageGeneration {0};

}  // namespace

unsigned UiLanguageGeneration() { return LanguageGeneration.load(std::memory_order_relaxed); }

void NoteUiLanguageChange() { LanguageGeneration.fetch_add(1, std::memory_order_relaxed); }

bool UiLanguageIsEnglish()
{
    const QStringList languages = QLocale::system().uiLanguages();
    return !languages.isEmpty() && languages.first().startsWith(QLatin1String("en"));
}

bool InstallUiTranslation(const QString &program)
{
    if (!UiLanguageIsEnglish() || !QCoreApplication::instance())
        return false;
    const QString file = program + QStringLiteral("_en");
    // Installed: <prefix>/bin/<program> and <prefix>/<translations dir>.
    const QStringList dirs {
        QDir(QCoreApplication::applicationDirPath()
             + QStringLiteral("/.."))
                 .filePath(QStringLiteral(APP_INSTALL_TRANSLATIONS_DIR)),
                           QStringLiteral(APP_BUILD_TRANSLATIONS_DIR),
                 };
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &dir : dirs) {
        if (translator->load(file, dir)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}
