// One endpoint of a bench project under load from a separate load generator.
// Beside the generator's own figures: the GUI's event-loop latency while it
// runs, memory before, after and at the peak, what the workbench received and
// what the script saw.
#include "looplatency.h"
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"

#include "datawindow/logpane.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/mainwindow.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"

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

Totals Count(Workbench &wb)
{
    Totals t;
    EndpointRegistry &reg = wb.registry();
    t.endpoints = reg.count();
    for (int i = 0; i < reg.count(); ++i) {
        TMySocket *r = reg.at(i);
        if (r->window)
            t.recvBytes += r->window->RecvCount;
        if (r->kind == Kind::TcpServerClient && r->node && r->window)
            ++t.accepted;
    }
    return t;
}

void FlushPanes(Workbench &wb)
{
    EndpointRegistry &reg = wb.registry();
    for (int i = 0; i < reg.count(); ++i) {
        if (TFrmData *w = reg.at(i)->window)
            if (w->Memo2)
                w->Memo2->flush();
    }
}

} // namespace

int RunLoad(const Options &opts, const QStringList &command)
{
    TForm1 *form = nullptr;
    if (!StartForm(form, opts.value(QStringLiteral("project")))) {
        std::printf("error=no-activation\n");
        return 1;
    }
    Workbench &wb = form->workbench();
    const QString endpoint = opts.value(QStringLiteral("endpoint"), QStringLiteral("srv"));
    if (!SpinUntil([&] {
            TMySocket *r = wb.FindEndpointByName(endpoint);
            // A UDP server stays inactive until its first datagram.
            return r && (r->state > 0 || r->kind == Kind::UdpServer);
        }, 10000)) {
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
    const QString out = RunChild(command, opts.value(QStringLiteral("timeout"), QStringLiteral("300")).toInt() * 1000, &ok);
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
    FlushPanes(wb);
    SpinFor(200);
    const Totals t = Count(wb);
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
        Print(QStringLiteral("mem_per_logged_byte"), double(rssAfter - rssBefore) * 1024.0 / double(t.recvBytes), 3);
    Print(QStringLiteral("loadgen_ok"), ok ? QStringLiteral("1") : QStringLiteral("0"));
    std::fflush(stdout);
    // Exit without tearing down thousands of windows: the figures are out.
    std::_Exit(ok ? 0 : 1);
}

} // namespace Bench
