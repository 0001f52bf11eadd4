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
#include "gui/mainwindow.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace Bench {

namespace {

struct Totals
{
    long long recvBytes = 0;
    long long logBytes = 0;  // bytes kept in the logs of those endpoints
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
        if (hasWindow) {
            t.recvBytes += e->receivedBytes();
            t.logBytes += e->log().streamSize();
        }
        if (e->kind() == EndpointKind::TcpConnection && form.tree().nodeOf(e) && hasWindow)
            ++t.accepted;
    }
    return t;
}

// This process's CPU time, sampled from the end of the load on, so that
// work put off (a view drawing later) is counted. Idle means no more than
// NoiseS of CPU time (the probes' own) in QuietMs; busy ends with the last
// poll interval it worked more than BusyShare of.
class CpuTrace
{
public:
    explicit CpuTrace(const QElapsedTimer &clock) : m_clock(clock)
    {
        sample();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
        m_timer.start(PollMs);
    }
    // Runs the event loop until idle (at most two minutes); returns the
    // CPU seconds at the end and sets busyMs to the end of the last busy
    // interval.
    double untilIdle(qint64 *busyMs)
    {
        SpinUntil([this] { return idle() || m_clock.elapsed() - m_samples.front().first > 120000; }, 130000);
        m_timer.stop();
        const double final = m_samples.back().second;
        if (qEnvironmentVariableIsSet("BENCH_TRACE"))
            for (const auto &[ms, cpu] : m_samples)
                std::fprintf(stderr, "%lld %.4f\n", ms, cpu);
        // Busy until the last poll interval the process spent mostly working.
        *busyMs = m_samples.front().first;
        for (size_t i = 1; i < m_samples.size(); ++i) {
            const double spent = m_samples[i].second - m_samples[i - 1].second;
            if (spent * 1000.0 > BusyShare * double(m_samples[i].first - m_samples[i - 1].first))
                *busyMs = m_samples[i].first;
        }
        return final;
    }

private:
    static constexpr int PollMs = 20;
    static constexpr int QuietMs = 300;
    static constexpr double NoiseS = 0.015;  // 5% of QuietMs
    static constexpr double BusyShare = 0.25;
    void sample() { m_samples.emplace_back(m_clock.elapsed(), ProcStatus::CpuSeconds()); }
    bool idle() const
    {
        const auto &last = m_samples.back();
        for (auto it = m_samples.rbegin(); it != m_samples.rend(); ++it) {
            if (last.first - it->first >= QuietMs)
                return last.second - it->second <= NoiseS;
        }
        return false;
    }

    const QElapsedTimer &m_clock;
    QTimer m_timer;
    std::vector<std::pair<qint64, double>> m_samples;  // (ms on the clock, CPU seconds)
};

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
    const double cpuStart = ProcStatus::CpuSeconds();
    const QString out =
        RunChild(command, opts.value(QStringLiteral("timeout"), QStringLiteral("300")).toInt() * 1000, &ok);
    std::fputs(qPrintable(out), stdout);
    CpuTrace trace(clock);

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
    qint64 busyMs = 0;
    const double cpu = trace.untilIdle(&busyMs) - cpuStart;
    const Totals t = Count(*form);
    const long long rssAfter = ProcStatus::RssKb();

    Print(QStringLiteral("loop_p99_ms"), latency.percentileMs(0.99));
    Print(QStringLiteral("loop_max_ms"), latency.maxMs());
    Print(QStringLiteral("loop_samples"), double(latency.samples()), 0);
    Print(QStringLiteral("rss_before_kb"), double(rssBefore), 0);
    Print(QStringLiteral("rss_after_kb"), double(rssAfter), 0);
    Print(QStringLiteral("rss_peak_kb"), double(ProcStatus::PeakRssKb()), 0);
    Print(QStringLiteral("recv_bytes"), double(t.recvBytes), 0);
    Print(QStringLiteral("log_bytes"), double(t.logBytes), 0);
    Print(QStringLiteral("server_cpu_s"), cpu, 3);
    Print(QStringLiteral("server_busy_s"), double(busyMs) / 1000.0, 3);
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
