// monitor-sim: a simulated grounding-resistance monitor on a pseudo-terminal.
// Prints the device path on the first line of standard output, then answers
// like the monitor. Lines on standard input change its behaviour at run
// time: normal, silent, garbage, short [N], close, store-wrong, status, quit.
// After close, any other behaviour opens the line again and prints its device
// path once more.

#include "appversion.h"
#include "monitorsim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

// The name it is installed under; the build tree's monitor-sim is the same
// program.
const char ProgramName[] = "monitorcfg-sim";

enum ExitStatus {
    ExitNormal = 0,
    ExitNoLine = 1,
    ExitUsage = 2
};

// A reply length: a whole number of bytes, 0 or more.
std::optional<int> ReadLength(const QString &text)
{
    bool ok = false;
    const int bytes = text.toInt(&ok);
    if (!ok || bytes < 0)
        return std::nullopt;
    return bytes;
}

void PrintDevicePath(const MonitorSim &sim)
{
    std::printf("%s\n", qPrintable(sim.devicePath()));
    std::fflush(stdout);
}

// A line on standard error, headed by the name the program runs under.
QTextStream &Say()
{
    static QTextStream err(stderr);
    return err << QCoreApplication::applicationName() << ": ";
}

void HandleControlLine(MonitorSim &sim, const QString &line)
{
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    if (words[0] == QLatin1String("quit")) {
        QCoreApplication::quit();
        return;
    }
    if (words[0] == QLatin1String("status")) {
        Say() << "stored " << sim.settings().queryReply().trimmed() << Qt::endl;
        return;
    }
    MonitorSim::Behaviour behaviour;
    if (!MonitorSim::ParseBehaviour(words[0], &behaviour)) {
        Say() << "commands: normal, silent, garbage, short [N], close, store-wrong, status, quit" << Qt::endl;
        return;
    }
    if (words.size() > 1) {
        const std::optional<int> length = ReadLength(words[1]);
        if (behaviour != MonitorSim::Behaviour::Short || !length) {
            Say() << "only short takes a number: a whole number of bytes, 0 or more" << Qt::endl;
            return;
        }
        sim.setShortLength(*length);
    }
    sim.setBehaviour(behaviour);
    Say() << "now " << words[0] << Qt::endl;
    // A hung-up line is opened again on a fresh pseudo-terminal; its path is
    // usually the old one, but only once the tool has closed its port.
    if (behaviour != MonitorSim::Behaviour::Close && !sim.isOpen()) {
        if (!sim.start()) {
            Say() << sim.errorText() << Qt::endl;
            return;
        }
        PrintDevicePath(sim);
        Say() << "line open on " << sim.devicePath() << Qt::endl;
    }
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(ProgramName));
    QCoreApplication::setApplicationVersion(QStringLiteral(APP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated grounding-resistance monitor on a pseudo-terminal, for trying and testing\n"
        "monitorcfg without hardware. Prints the device path on the first line of standard\n"
        "output, then answers like the monitor until it is ended or reads \"quit\"."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                                    QStringLiteral("Answer bytes that fit no reply."));
    const QCommandLineOption shortOpt(QStringLiteral("short"),
        QStringLiteral("Answer only the first <n> bytes of each reply (n: 0 or more)."), QStringLiteral("n"));
    const QCommandLineOption closeOpt(QStringLiteral("close"),
                                                     QStringLiteral("Hang up on the first command."));
    const QCommandLineOption storeWrong(QStringLiteral("store-wrong"), QStringLiteral("Acknowledge configure commands but store another report port."));
    parser.addOptions({silent, garbage, shortOpt, closeOpt, storeWrong});

    const auto usageError = [](const QString &message) {
        Say() << message << Qt::endl
              << "Try '" << ProgramName << " --help' for more information." << Qt::endl;
        return int(ExitUsage);
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt heads the usage with the path the program was started by.
        QString text = parser.helpText();
        const QString startedAs = QCoreApplication::arguments().constFirst();
        const qsizetype at = text.indexOf(startedAs);
        if (at >= 0)
            text.replace(at, startedAs.size(), QLatin1String(ProgramName));
        text += QStringLiteral(
            "\nLines on standard input change how it answers: normal, silent, garbage, short N,\n"
            "close, store-wrong (as the options); status prints what it stores; quit ends it.\n"
            "After close, any of the others opens the line again and prints its device path\n"
            "once more (usually the same one, once the program that had it open has closed it).\n"
            "\nExit status:\n"
            "  0  ended by quit (also after --help and --version)\n"
            "  1  no pseudo-terminal could be opened\n"
            "  2  invalid command line\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return ExitNormal;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", ProgramName, APP_VERSION);
        return ExitNormal;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    std::optional<int> shortLength;
    if (parser.isSet(shortOpt)) {
        shortLength = ReadLength(parser.value(shortOpt));
        if (!shortLength)
            return usageError(QStringLiteral("--short takes a whole number of bytes, 0 or more, not '%1'.") .arg(parser.value(shortOpt)));
    }

    MonitorSim sim;
    if (parser.isSet(silent))
        sim.setBehaviour(MonitorSim::Behaviour::Silent);
    if (parser.isSet(garbage))
        sim.setBehaviour(MonitorSim::Behaviour::Garbage);
    if (parser.isSet(shortOpt)) {
        sim.setBehaviour(MonitorSim::Behaviour::Short);
        sim.setShortLength(*shortLength);
    }
    if (parser.isSet(closeOpt))
        sim.setBehaviour(MonitorSim::Behaviour::Close);
    if (parser.isSet(storeWrong))
        sim.setBehaviour(MonitorSim::Behaviour::StoreWrong);

    if (!sim.start()) {
        Say() << sim.errorText() << Qt::endl;
        return ExitNoLine;
    }
    PrintDevicePath(sim);

    QObject::connect(
        &sim, &MonitorSim::commandHandled, [](const QByteArray &command, const QByteArray &answer) {
            Say() << "got \"" << QString::fromLatin1(command) << "\", answered "
                  << (answer.isEmpty() ? QStringLiteral("nothing")
                                       : QStringLiteral("\"%1\"").arg(QString::fromLatin1(answer.trimmed())))
                      << Qt::endl;
        });
    QObject::connect(&sim, &MonitorSim::lineClosed, [] { Say() << "line closed" << Qt::endl; });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray typed;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);  // no more control input; keep serving
            return;
        }
        typed.append(buffer, n);
        qsizetype end;
        while ((end = typed.indexOf('\n')) >= 0) {
            HandleControlLine(sim, QString::fromLocal8Bit(typed.left(end)));
            typed.remove(0, end + 1);
        }
    });
    return app.exec();
}
