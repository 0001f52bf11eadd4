// An endpoint's log and the receive pane's view over it, shown, with the
// records a 16-byte block makes in hex mode. The log is filled the way a
// busy stream fills it (appends, the view catching up and painting every
// Batch records) up to each size; at each size the CPU time of appending
// and showing more records is taken, painting included. At the end: memory
// per record added past the first size, a find over the whole log through
// the find bar (none and many matches), and the event loop's latency while
// a flood is logged and the view resized.
#include "looplatency.h"
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"

#include "core/log/endpointlog.h"
#include "gui/logfindbar.h"
#include "gui/logview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace Bench {

namespace {

constexpr int Batch = 100;  // records per pass, as a busy stream brings them
constexpr int BlockBytes = 16;

QByteArray BlockFor(long long i)
{
    QByteArray block(BlockBytes, Qt::Uninitialized);
    for (int k = 0; k < BlockBytes; ++k)
        block[k] = char('A' + (i + k) % 26);
    return block;
}

// This process's CPU time in nanoseconds: on a shared machine the wall
// clock also counts the time other programs had the core.
qint64 CpuNs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// One find over the whole log as the user gets it: the find bar's text
// typed, the matches counted over the rows shown and their rows marked. Its
// wall and CPU milliseconds; matches counted. The text is cleared after.
void TimeFind(LogFindBar &bar, const QString &needle, const QString &name)
{
    auto *text = bar.findChild<QLineEdit *>(QStringLiteral("FindText"));
    QElapsedTimer t;
    t.start();
    const qint64 cpu = CpuNs();
    text->setText(needle);
    Print(QStringLiteral("find_cpu_ms_") + name, double(CpuNs() - cpu) / 1e6, 1);
    Print(QStringLiteral("find_ms_") + name, double(t.nsecsElapsed()) / 1e6, 1);
    Print(QStringLiteral("find_matches_") + name, double(bar.matchCount()), 0);
    text->clear();
}

}  // namespace

int RunLogPane(const Options &opts)
{
    const QList<QString> sizes =
        opts.value(QStringLiteral("sizes"), QStringLiteral("1000,100000,1000000")).split(u',');
    const int floodMs = opts.value(QStringLiteral("flood-ms"), QStringLiteral("3000")).toInt();
    EndpointLog log;
    LogView view;
    view.resize(800, 600);
    view.setLog(&log);
    view.show();
    SpinFor(100);

    long long lines = 0;
    auto append = [&](long long n) {
        for (long long i = 0; i < n; ++i) {
            log.append(LineKind::Received, BlockFor(lines++), true);
            if (lines % Batch == 0) {
                view.rowCount();  // takes the new records as the log's announcement would
                QCoreApplication::processEvents();
            }
        }
        view.rowCount();
        QCoreApplication::processEvents();
    };
    double firstCost = 0;
    long long rssBefore = 0;
    long long linesBefore = 0;
    for (const QString &s : sizes) {
        const long long target = s.toLongLong();
        if (target > lines)
            append(target - lines);
        // Timed in CPU time: 2,000 more records at this size.
        const qint64 cpu = CpuNs();
        append(2000);
        const double usPerLine = double(CpuNs() - cpu) / 1e3 / 2000;
        if (firstCost == 0)
            firstCost = usPerLine;
        Print(QStringLiteral("append_us_at_%1").arg(target), usPerLine, 2);
        Print(QStringLiteral("append_ratio_at_%1").arg(target), usPerLine / firstCost, 2);
        // Memory is counted from here: what the first rows drawn load once
        // (fonts and their glyph caches, several MiB) is not a
        // cost per line.
        if (linesBefore == 0) {
            rssBefore = ProcStatus::RssKb();
            linesBefore = lines;
        }
    }
    const long long rssAfter = ProcStatus::RssKb();
    Print(QStringLiteral("lines"), double(lines), 0);
    Print(QStringLiteral("rss_growth_kb"), double(rssAfter - rssBefore), 0);
    // Beyond the bytes themselves: the record, the block's slack, the view's row.
    const double added = double(lines - linesBefore);
    Print(QStringLiteral("mem_per_line_extra"),
                         (double(rssAfter - rssBefore) * 1024.0 - added * BlockBytes) / std::max(1.0, added),
                         1);

    // The bar stays hidden: it counts again on its own only while shown.
    LogFindBar bar(&view);
    TimeFind(bar, QStringLiteral("ZYX"), QStringLiteral("none"));
    TimeFind(bar, QStringLiteral("klm"), QStringLiteral("many"));
    // "Only lines that contain": the rows rebuilt from the records holding the text.
    for (const char *needle : {"ZYX", "klm"}) {
        QElapsedTimer t;
        t.start();
        const qint64 cpu = CpuNs();
        view.setContainsFilter(needle, false);
        const QString name =
            QLatin1String(needle) == QLatin1String("ZYX") ? QStringLiteral("none") : QStringLiteral("many");
        Print(QStringLiteral("filter_cpu_ms_") + name, double(CpuNs() - cpu) / 1e6, 1);
        Print(QStringLiteral("filter_ms_") + name, double(t.nsecsElapsed()) / 1e6, 1);
        Print(QStringLiteral("filter_rows_") + name, double(view.rowCount()), 0);
    }
    view.setContainsFilter(QByteArray(), false);
    view.scrollToEnd();  // the current match was scrolled to; the flood is followed

    // A flood: bursts of records as fast as the event loop takes them,
    // while the view follows the end and is resized now and then.
    LoopLatency latency;
    QTimer flood;
    flood.setInterval(0);
    long long flooded = 0;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        QElapsedTimer burst;
        burst.start();
        while (burst.nsecsElapsed() < 2000000) {
            log.append(LineKind::Received, BlockFor(lines++), true);
            ++flooded;
        }
    });
    QTimer resize;
    resize.setInterval(200);
    bool wide = false;
    QObject::connect(&resize, &QTimer::timeout, [&] {
        wide = !wide;
        view.resize(wide ? 1000 : 800, wide ? 500 : 600);
    });
    latency.start();
    flood.start();
    resize.start();
    SpinFor(floodMs);
    flood.stop();
    resize.stop();
    latency.stop();
    Print(QStringLiteral("flood_lines"), double(flooded), 0);
    Print(QStringLiteral("flood_rows_shown"), double(view.rowCount()), 0);
    Print(QStringLiteral("flood_loop_p99_ms"), latency.percentileMs(0.99));
    Print(QStringLiteral("flood_loop_max_ms"), latency.maxMs());
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace Bench
