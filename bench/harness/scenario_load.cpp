// One endpoint of a bench project under load from a separate load generator.
// Beside the generator's own figures: the GUI's event-loop latency while it
// runs, memory before, after and at the peak, what the workbench received and
// what the script saw.
#include "looplatency.h"
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/endpointkind.h"
#include "core/endpoints/registry.h"
#include "gui/datawindow.h"
#include "gui/endpointtree.h"
#include "gui/logpane.h"
#include "gui/mainwindow.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace Bench {

namespace {

struct Totals
{
    long long recvBytes = 0;
    int endpoints = 0;
    int accepted = 0;  // accepted connections with their node and data window
};

Totals Count(MainWindow &form)
{
    Totals t;
    EndpointRegistry &reg = form.registry();
    t.endpoints = reg.count();
    for (int i = 0; i < reg.count(); ++i) {
        Endpoint *e = reg.at(i);
        const bool hasWindow = form.dataWindow(e) != nullptr;
        if (hasWindow)
            t.recvBytes += e->receivedBytes();
        if (e->kind() == EndpointKind::TcpConnection && form.tree().nodeOf(e) && hasWindow)
            ++t.accepted;
    }
    return t;
}

void FlushPanes(MainWindow &form)
{
    EndpointRegistry &reg = form.registry();
    for (int i = 0; i < reg.count(); ++i) {
        if (DataWindow *w = form.dataWindow(reg.at(i)))
            // No pane yet: the window was never shown and holds no lines.
            if (auto *pane = w->findChild<LogPane *>(QStringLiteral("Memo2")))
                pane->flush();
    }
}

}  // namespace

int RunLoad(const Options &opts, const QStringList &command)
{
    MainWindow *form = nullptr;
    if (!StartForm(form, opts.value(QStringLiteral("project")))) {
        std::printf("error=no-activation\n");
        return 1;
    }
    const QString endpoint = opts.value(QStringLiteral("endpoint"), QStringLiteral("srv"));
    if (!SpinUntil(
            [&] {
                Endpoint *r = form->registry().findByName(endpoint);
                // A UDP server stays inactive until its first datagram.
                return r && (r->isActive() || r->kind() == EndpointKind::UdpServer);
            },
            10000)) {
        std::printf("error=endpoint-not-ready\n");
        return 1;
    }
    SpinFor(300);
    const long long rssBefore = ProcStatus::RssKb();
    ProcStatus::ResetPeak();

    LoopLatency latency;
    latency.start();
    bool ok = false;
    QElapsedTimer clock;
    clock.start();
    const QString out =
        RunChild(command, opts.value(QStringLiteral("timeout"), QStringLiteral("300")).toInt() * 1000, &ok);
    std::fputs(qPrintable(out), stdout);

    // Datagrams may still be queued: wait until the script's count stands still.
    long long reads = ScriptNumber(*form, QStringLiteral("benchReads"));
    qint64 lastReadMs = clock.elapsed();
    for (int i = 0; i < 600; ++i) {
        SpinFor(100);
        const long long now = ScriptNumber(*form, QStringLiteral("benchReads"));
        if (now == reads)
            break;
        reads = now;
        lastReadMs = clock.elapsed();
    }
    latency.stop();
    FlushPanes(*form);
    SpinFor(200);
    const Totals t = Count(*form);
    const long long rssAfter = ProcStatus::RssKb();

    Print(QStringLiteral("loop_p99_ms"), latency.percentileMs(0.99));
    Print(QStringLiteral("loop_max_ms"), latency.maxMs());
    Print(QStringLiteral("loop_samples"), double(latency.samples()), 0);
    Print(QStringLiteral("rss_before_kb"), double(rssBefore), 0);
    Print(QStringLiteral("rss_after_kb"), double(rssAfter), 0);
    Print(QStringLiteral("rss_peak_kb"), double(ProcStatus::PeakRssKb()), 0);
    Print(QStringLiteral("recv_bytes"), double(t.recvBytes), 0);
    Print(QStringLiteral("endpoints"), double(t.endpoints), 0);
    Print(QStringLiteral("accepted_complete"), double(t.accepted), 0);
    Print(QStringLiteral("script_reads"), double(reads), 0);
    Print(QStringLiteral("handled_per_s"), double(reads) * 1000.0 / double(qMax<qint64>(1, lastReadMs)), 0);
    Print(QStringLiteral("script_connects"), double(ScriptNumber(*form, QStringLiteral("benchConnects"))), 0);
    if (t.recvBytes > 0)
        Print(QStringLiteral("mem_per_logged_byte"),
                             double(rssAfter - rssBefore) * 1024.0 / double(t.recvBytes), 3);
    Print(QStringLiteral("loadgen_ok"), ok ? QStringLiteral("1") : QStringLiteral("0"));
    std::fflush(stdout);
    // Exit without tearing down thousands of windows: the figures are out.
    std::_Exit(ok ? 0 : 1);
}

}  // namespace Bench
