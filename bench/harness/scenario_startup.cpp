// Start-up: from the moment the process was started (BENCH_T0_NS, the
// launcher's CLOCK_REALTIME in nanoseconds) to the end of the first
// activation, and the resident memory once the workbench has idled.
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"

#include "gui/mainwindow.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace Bench {

namespace {
qint64 RealtimeNs()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}
}  // namespace

int RunStartup(const Options &opts)
{
    const qint64 t0 = qEnvironmentVariable("BENCH_T0_NS").toLongLong();
    MainWindow *form = nullptr;
    qint64 inProcessNs = 0;
    if (!StartForm(form, opts.value(QStringLiteral("project")), &inProcessNs)) {
        std::printf("error=no-activation\n");
        return 1;
    }
    const qint64 activated = RealtimeNs();
    if (t0 > 0)
        Print(QStringLiteral("startup_ms"), double(activated - t0) / 1e6);
    Print(QStringLiteral("form_to_activation_ms"), double(inProcessNs) / 1e6);
    SpinFor(opts.value(QStringLiteral("idle"), QStringLiteral("2000")).toInt());
    Print(QStringLiteral("idle_rss_kb"), double(ProcStatus::RssKb()), 0);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace Bench
