// monitor-sim: a simulated grounding-resistance monitor on a pseudo-terminal.
// Prints the device path on the first line of standard output, then answers
// like the monitor. Lines on standard input change its behaviour at run
// time: normal, silent, garbage, short [N], close, store-wrong, status, quit.

#include "appversion.h"
#include "monitorsim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

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
    if (words.size() > 1)
        sim.setShortLength(words[1].toInt());
    sim.setBehaviour(behaviour);
    Say() << "now " << words[0] << Qt::endl;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Installed as monitorcfg-sim, built as monitor-sim: go by the name used.
    QCoreApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    QCoreApplication::setApplicationVersion(QStringLiteral(APP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated grounding-resistance monitor on a pseudo-terminal, for trying and testing\n"
                       "monitorcfg without hardware. Prints the device path on the first line of standard\n"
                       "output, then answers like the monitor until it is ended or reads \"quit\".\n"
                       "Lines on standard input change how it answers: normal, silent, garbage, short [N],\n"
                       "close, store-wrong; status prints what it stores.\n"
                       "Exit status: 0 ended; 1 no pseudo-terminal could be opened, or bad usage."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                                    QStringLiteral("Answer bytes that fit no reply."));
    const QCommandLineOption shortOpt(QStringLiteral("short"), QStringLiteral("Answer only the first <n> bytes of each reply."), QStringLiteral("n"));
    const QCommandLineOption closeOpt(QStringLiteral("close"),
                                                     QStringLiteral("Hang up on the first command."));
    const QCommandLineOption storeWrong(QStringLiteral("store-wrong"), QStringLiteral("Acknowledge configure commands but store another report port."));
    parser.addOptions({silent, garbage, shortOpt, closeOpt, storeWrong});
    parser.process(app);

    MonitorSim sim;
    if (parser.isSet(silent))
        sim.setBehaviour(MonitorSim::Behaviour::Silent);
    if (parser.isSet(garbage))
        sim.setBehaviour(MonitorSim::Behaviour::Garbage);
    if (parser.isSet(shortOpt)) {
        sim.setBehaviour(MonitorSim::Behaviour::Short);
        sim.setShortLength(parser.value(shortOpt).toInt());
    }
    if (parser.isSet(closeOpt))
        sim.setBehaviour(MonitorSim::Behaviour::Close);
    if (parser.isSet(storeWrong))
        sim.setBehaviour(MonitorSim::Behaviour::StoreWrong);

    if (!sim.start()) {
        Say() << "" << sim.errorText() << Qt::endl;
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.devicePath()));
    std::fflush(stdout);

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
