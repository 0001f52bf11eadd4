// monitorcfg: configures a grounding-resistance online monitor over a serial
// port. Without options it opens its window; MONITORCFG_PORT, when set, names
// a port or device path to list first and open (used by the simulator demo).
// With options (--help lists them) it runs once from the command line, with
// no window and no display needed.

#include "commandline.h"
#include "form1.h"
#include "messagebox.h"
#include "monitorcommand.h"
#include "systemtexts.h"
#include "uilanguage.h"

#include <QApplication>
#include <QTextStream>

namespace {

int RunCommandLine(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("monitorcfg"));
    InstallUiTranslation(QStringLiteral("monitorcfg"));
    InstallQtTranslations();
    CommandLine command;
    if (!command.parse(QCoreApplication::arguments())) {
        QTextStream(stderr) << command.errorText() << Qt::endl;
        return CommandLine::BadUsage;
    }
    MonitorCommand run;
    return run.run(command);
}

int RunWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("monitorcfg"));
    InstallUiTranslation(QStringLiteral("monitorcfg"));
    InstallMessageBox();
    Form1 form(qEnvironmentVariable("MONITORCFG_PORT"));
    form.show();
    return app.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    // Decided before any application object exists: a command-line run must
    // not need a display or a platform plugin.
    if (CommandLine::IsRequested(argc, argv))
        return RunCommandLine(argc, argv);
    return RunWindow(argc, argv);
}
