// wirelab: a TCP/UDP socket workbench that hosts the user's JavaScript.
// It reads ./project.txt (the list of script files) from the current directory.
//
// The command line is read before any application object exists, so that
// --help and --version answer without a display.
#include "appversion.h"
#include "common/application.h"
#include "endpoints/mainwindow.h"
#include "uilanguage.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

const char ProgramName[] = "wirelab";

enum ExitStatus { ExitNormal = 0, ExitUsage = 2 };

// The options the program understands; new ones are added here and read in
// ReadCommandLine.
struct Options
{
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and exit.")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOption(help);
        parser.addOption(version);
    }
};

QString HelpText(const QCommandLineParser &parser)
{
    // Without an application object Qt cannot name the executable itself.
    QString text = parser.helpText();
    text.replace(QLatin1String("<executable_name>"), QLatin1String(ProgramName));
    text += QStringLiteral(
        "\nWithout options the workbench window opens; the scripts are those listed in\n"
        "project.txt in the current directory. The window is in Chinese, or in English\n"
        "when the UI language is English (LANGUAGE=en or LANG=en_US.UTF-8).\n"
        "\nExit status:\n"
        "  0  normal end (also after --help and --version)\n"
        "  2  invalid command line\n");
    return text;
}

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Handles what ends the program before the window opens; returns the exit
// status then, nothing when the window is to open.
std::optional<int> ReadCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("TCP/UDP socket workbench with a JavaScript host."));
    const Options options;
    options.addTo(parser);

    const auto usageError = [](const QString &message) {
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                          .arg(QLatin1String(ProgramName), message));
        return int(ExitUsage);
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(options.help)) {
        Print(stdout, HelpText(parser));
        return int(ExitNormal);
    }
    if (parser.isSet(options.version)) {
        Print(stdout, QStringLiteral("%1 %2\n").arg(QLatin1String(ProgramName), QLatin1String(APP_VERSION)));
        return int(ExitNormal);
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    if (const std::optional<int> status = ReadCommandLine(argc, argv))
        return *status;

    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QString::fromLatin1(ProgramName));
    InstallUiTranslation(QString::fromLatin1(ProgramName));
    TForm1 form;
    form.show();
    return app.exec();
}
