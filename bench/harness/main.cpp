// wirelab-bench: drives the workbench (offscreen) through one benchmark
// scenario and prints its figures as key=value lines.
//   wirelab-bench load    --project P [--endpoint srv] [--timeout S] -- <load generator command>
//   wirelab-bench timers  --project P [--expect 1000] [--duration 10]
//   wirelab-bench logpane [--sizes 1000,100000,1000000]
//   wirelab-bench startup --project P [--idle 2000]
#include "gui/application.h"
#include "scenarios.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    GuardedApplication app(argc, argv);
    GuardedApplication::setApplicationName(QStringLiteral("wirelab"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: wirelab-bench load|timers|logpane|startup [--key value]... [-- command]\n");
        return 2;
    }
    Bench::Options opts;
    QStringList command;
    for (int i = 2; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--")) {
            command = args.mid(i + 1);
            break;
        }
        if (args[i].startsWith(QLatin1String("--")) && i + 1 < args.size()) {
            opts.insert(args[i].mid(2), args[i + 1]);
            ++i;
        }
    }
    // Whatever happens, the harness ends by itself.
    const int limitS = opts.value(QStringLiteral("limit"), QStringLiteral("600")).toInt();
    QTimer::singleShot(limitS * 1000, &app, [] {
        std::printf("error=harness-limit\n");
        std::fflush(stdout);
        std::_Exit(3);
    });

    const QString scenario = args[1];
    int rc = 2;
    QTimer::singleShot(0, &app, [&] {
        if (scenario == QLatin1String("load"))
            rc = Bench::RunLoad(opts, command);
        else if (scenario == QLatin1String("timers"))
            rc = Bench::RunTimers(opts);
        else if (scenario == QLatin1String("logpane"))
            rc = Bench::RunLogPane(opts);
        else if (scenario == QLatin1String("startup"))
            rc = Bench::RunStartup(opts);
        std::fflush(stdout);
        std::_Exit(rc);
    });
    return app.exec();
}
