// wirelab: a TCP/UDP socket workbench that hosts the user's JavaScript.
// It reads ./project.txt (the list of script files) from the current
// directory, in its window or, with --headless, without one.
//
// The command line is read before any application object exists, so that
// --help, --version and a run without a window need no display.
#include "appversion.h"
#include "core/control/controlchannel.h"
#include "core/control/controlserver.h"
#include "core/control/projectcontrol.h"
#include "core/log/logmemory.h"
#include "gui/application.h"
#include "gui/mainwindow.h"
#include "gui/messagebox.h"
#include "headless/headlessrun.h"
#include "uilanguage.h"

#include <QCoreApplication>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>
#include <variant>

namespace {

const char ProgramName[] = "wirelab";

enum ExitStatus {
    ExitNormal = 0,
    ExitUsage = 2
};

// The options the program understands; new ones are added here and read in
// ReadCommandLine.
struct Options
{
    QCommandLineOption help {{QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("Show this help and exit.")};
    QCommandLineOption version {{QStringLiteral("v"), QStringLiteral("version")},
                                 QStringLiteral("Show the version and exit.")};
    QCommandLineOption headless {
        QStringLiteral("headless"),
                       QStringLiteral("Run DIR/project.txt (default: the current directory) without a "
                                               "window; every receive-pane line goes to standard output.")};
    QCommandLineOption log {QStringLiteral("log"), QStringLiteral("With --headless: also append the lines to FILE."), QStringLiteral("FILE")};
    QCommandLineOption logRaw {QStringLiteral("log-raw"),
        QStringLiteral("With --headless: write the bytes each endpoint receives, as they arrive, to "
                       "FILE.<endpoint> (one file per endpoint, emptied first)."),
                       QStringLiteral("FILE")};
    QCommandLineOption json {QStringLiteral("json"),
        QStringLiteral("With --headless: one JSON object per line (t, endpoint, event, text, hex).")};
    QCommandLineOption quiet {QStringLiteral("quiet"), QStringLiteral("With --headless: print only errors.")};
    QCommandLineOption duration {QStringLiteral("duration"),
        QStringLiteral("With --headless: end the run after SECONDS, a number above 0 (status 0)."),
                       QStringLiteral("SECONDS")};
    QCommandLineOption strict {QStringLiteral("strict"),
        QStringLiteral("With --headless: the first script error or warning ends the run, once its batch "
                       "is done, with status 4 (for CI).")};
    QCommandLineOption control {QStringLiteral("control"),
        QStringLiteral("With --headless: read commands from standard input, one per line, and answer "
                       "them on standard output (see Control commands).")};
    QCommandLineOption logMemory {QStringLiteral("log-memory"),
        QStringLiteral("Keep at most MB MiB of logged bytes in memory, summed over every endpoint's log "
                       "(default 256); past it the oldest move to a temporary file and are read back "
                       "from there when shown, found or saved."),
                       QStringLiteral("MB")};
    QCommandLineOption controlSocket {QStringLiteral("control-socket"),
        QStringLiteral("Take commands on a Unix-domain socket at PATH, from any number of clients, with "
                       "or without a window (mode 0600, removed at exit)."),
                       QStringLiteral("PATH")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(headless);
        parser.addOption(log);
        parser.addOption(logRaw);
        parser.addOption(json);
        parser.addOption(quiet);
        parser.addOption(duration);
        parser.addOption(strict);
        parser.addOption(control);
        parser.addOption(logMemory);
        parser.addOption(controlSocket);
        parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("With --headless: the project's directory."), QStringLiteral("[DIR]"));
    }
};

// What the command line asks for when it does not end the program at once.
struct Request
{
    std::optional<HeadlessRun::Options> headless;  // else: the window
    QString controlSocket;  // the window's control socket, if any
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
        "\nWith --headless the project runs with the same script semantics and no display:\n"
        "lines as 'HH:MM:SS.mmm <endpoint>  <line>', ALERT as 'ALERT <socket>: <text>' on\n"
        "standard error, script errors on standard error; the action {TYPE: \"EXIT\", CODE: n}\n"
        "ends the run with status n; SIGINT and SIGTERM end it with status 0.\n"
        "\nControl commands (--control, --control-socket), one per line; NAME is an\n"
        "endpoint's name and ID a panel item's, as the scripts see them; a word with\n"
        "blanks goes in double quotes, with \\\" and \\\\ inside:\n"
        "  list                  every endpoint: name, kind, state, local and peer\n"
        "                        address, bytes received and sent\n"
        "  send NAME TEXT        send TEXT as the data window's send button does\n"
        "  sendhex NAME HEX      send the bytes HEX (hex digits in pairs)\n"
        "  connect NAME, disconnect NAME, listen NAME on|off, delete NAME\n"
        "                        the data window's and the tree's commands\n"
        "  click NAME ID         press a panel button\n"
        "  set NAME ID TEXT      type TEXT into a panel edit box\n"
        "  panel NAME            a panel's items and their texts\n"
        "  log NAME [N]          the endpoint's last N lines (default 20)\n"
        "  quit [CODE]           end the run as SIGTERM does, with status CODE (default 0)\n"
        "  help                  these commands\n"
        "Every answer ends with one line 'ok [value]' or 'error: <why>'; list, panel,\n"
        "log and help print their rows first, each beginning with '| '. With --json an\n"
        "answer is one JSON object: {\"answer\": \"ok\"|\"error\", \"why\", \"value\", \"rows\"}.\n"
        "Answers on standard output are printed with --quiet too. At the end of standard\n"
        "input the run goes on; quit ends it.\n"
        "Bad input (an unknown command, endpoint or panel item, a missing argument, bad\n"
        "hex, a line over 1 MiB) gets an error and changes nothing.\n"
        "\nExit status:\n"
        "  0  normal end (also after --help and --version, --duration, SIGINT, SIGTERM)\n"
        "  n  a script's EXIT action with CODE n (--headless), or the command quit n\n"
        "  2  invalid command line; no display for the window (DISPLAY, WAYLAND_DISPLAY\n"
        "     and QT_QPA_PLATFORM all unset); or project.txt or a listed script cannot be\n"
        "     read or does not load (--headless); the --control-socket PATH exists and is\n"
        "     not a socket (it is left as it is), or cannot be listened on\n"
        "  3  OnInit threw, or the declarations made no endpoint (--headless)\n"
        "  4  with --strict: a script error or warning (an action that cannot be carried\n"
        "     out as written, a handler that throws, ...) (--headless)\n");
    return text;
}

void Print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Handles what ends the program at once; returns the exit status then, or
// what is to run.
std::variant<int, Request> ReadCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("TCP/UDP socket workbench with a JavaScript host."));
    const Options options;
    options.addTo(parser);

    const auto usageError = [](const QString &message) {
        Print(stderr,
              QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n") .arg(
                  QLatin1String(ProgramName), message));
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
    if (parser.isSet(options.logMemory)) {
        bool ok = false;
        const qlonglong mb = parser.value(options.logMemory).toLongLong(&ok);
        if (!ok || mb < 0 || mb > (qlonglong(1) << 40))
            return usageError(QStringLiteral("--log-memory takes a whole number of MiB, 0 or more."));
        // Set before any endpoint exists, for either front end.
        LogMemory::instance().setLimit(mb << 20);
    }
    const QStringList positional = parser.positionalArguments();
    if (!parser.isSet(options.headless)) {
        for (const QCommandLineOption *o : {&options.log, &options.logRaw, &options.json, &options.quiet, &options.duration,
                                            &options.strict, &options.control}) {
            if (parser.isSet(*o))
                return usageError(QStringLiteral("--%1 goes with --headless.").arg(o->names().constLast()));
        }
        if (!positional.isEmpty())
            return usageError(QStringLiteral("Unexpected argument '%1'.").arg(positional.first()));
        Request window;
        window.controlSocket = parser.value(options.controlSocket);
        return window;
    }
    if (positional.size() > 1)
        return usageError(QStringLiteral("Unexpected argument '%1'.").arg(positional.at(1)));
    HeadlessRun::Options run;
    run.dir = positional.value(0);
    run.log.file = parser.value(options.log);
    run.log.rawFile = parser.value(options.logRaw);
    run.log.json = parser.isSet(options.json);
    run.log.quiet = parser.isSet(options.quiet);
    run.strict = parser.isSet(options.strict);
    run.controlStdin = parser.isSet(options.control);
    run.controlSocket = parser.value(options.controlSocket);
    if (parser.isSet(options.duration)) {
        bool ok = false;
        run.durationSeconds = parser.value(options.duration).toDouble(&ok);
        if (!ok || run.durationSeconds <= 0)
            return usageError(QStringLiteral("--duration takes a number of seconds above 0."));
    }
    Request headless;
    headless.headless = run;
    return headless;
}

// Whether the window has somewhere to go. Qt aborts when its platform plugin
// finds no display; a platform named in QT_QPA_PLATFORM (offscreen, xcb,
// wayland...) is Qt's to judge.
bool HasDisplay()
{
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
}

int RunHeadless(int argc, char **argv, const HeadlessRun::Options &options)
{
    // No widget and no platform plugin: the core alone.
    LanguageCountingApplication<QCoreApplication> app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(ProgramName));
    InstallUiTranslation(QString::fromLatin1(ProgramName));
    HeadlessRun run(options);
    return run.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    const std::variant<int, Request> read = ReadCommandLine(argc, argv);
    if (const int *status = std::get_if<int>(&read))
        return *status;
    if (const auto &headless = std::get<Request>(read).headless)
        return RunHeadless(argc, argv, *headless);
    if (!HasDisplay()) {
        Print(stderr,
              QStringLiteral("no display: run %1 --headless, or set DISPLAY\n").arg(
                  QLatin1String(ProgramName)));
        return ExitUsage;
    }

    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QString::fromLatin1(ProgramName));
    InstallUiTranslation(QString::fromLatin1(ProgramName));
    installMessageBox();
    const QString &socketPath = std::get<Request>(read).controlSocket;
    // Claimed before the project loads; a bad path ends the program at once.
    ControlServer controlServer;
    if (!socketPath.isEmpty()) {
        QString why;
        if (!controlServer.listen(socketPath, &why)) {
            Print(stderr, QStringLiteral("%1: %2\n").arg(QLatin1String(ProgramName), why));
            return ExitUsage;
        }
    }
    MainWindow window;
    std::unique_ptr<ProjectControl> control;
    std::unique_ptr<ControlChannel> channel;
    if (!socketPath.isEmpty()) {
        control = std::make_unique<ProjectControl>(window.workbench(), [&channel](int code) {
            channel->close();
            QMetaObject::invokeMethod(
                qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
        });
        channel = std::make_unique<ControlChannel>(*control, ControlChannel::Form::Text);
        controlServer.serve(*channel);
    }
    window.show();
    const int status = app.exec();
    channel.reset();
    return status;
}
