// The receive pane alone, shown, with the lines a 16-byte block makes in hex
// mode. The pane is filled the way the program fills it (appends, then the
// batch shown at once) up to each size; at each size the cost of appending
// and showing more lines is timed, painting included.
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"

#include "core/endpoints/endpoint.h"
#include "gui/logpane.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace Bench {

namespace {

constexpr int Batch = 100;  // lines per shown batch, as a busy 30 ms flush sees them

QString LineFor(long long i)
{
    QByteArray block(16, Qt::Uninitialized);
    for (int k = 0; k < 16; ++k)
        block[k] = char('A' + (i + k) % 26);
    return receivedLine(block, true);
}

}  // namespace

int RunLogPane(const Options &opts)
{
    const QList<QString> sizes =
        opts.value(QStringLiteral("sizes"), QStringLiteral("1000,100000,1000000")).split(u',');
    const long long rssBefore = ProcStatus::RssKb();
    LogPane pane;
    pane.resize(800, 600);
    pane.show();
    SpinFor(100);

    long long lines = 0;
    long long textBytes = 0;
    auto append = [&](long long n) {
        for (long long i = 0; i < n; ++i) {
            const QString line = LineFor(lines++);
            textBytes += line.toUtf8().size() + 1;
            pane.appendLine(line);
            if (lines % Batch == 0) {
                pane.flush();
                QCoreApplication::processEvents();
            }
        }
        pane.flush();
        QCoreApplication::processEvents();
    };
    double firstCost = 0;
    for (const QString &s : sizes) {
        const long long target = s.toLongLong();
        if (target > lines)
            append(target - lines);
        // Timed: 2,000 more lines at this size.
        QElapsedTimer t;
        t.start();
        append(2000);
        const double usPerLine = double(t.nsecsElapsed()) / 1e3 / 2000;
        if (firstCost == 0)
            firstCost = usPerLine;
        Print(QStringLiteral("append_us_at_%1").arg(target), usPerLine, 2);
        Print(QStringLiteral("append_ratio_at_%1").arg(target), usPerLine / firstCost, 2);
    }
    const long long rssAfter = ProcStatus::RssKb();
    Print(QStringLiteral("lines"), double(lines), 0);
    Print(QStringLiteral("text_bytes"), double(textBytes), 0);
    Print(QStringLiteral("rss_growth_kb"), double(rssAfter - rssBefore), 0);
    Print(QStringLiteral("mem_per_text_byte"), double(rssAfter - rssBefore) * 1024.0 / double(textBytes), 2);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace Bench
