// Many endpoints, each with a script timer that fires on every 100 ms tick.
// A tick is on time when it fires every timer and its handling ends within
// 100 ms of when it was due; due times are the first measured tick's begin
// plus whole multiples of 100 ms. The share is taken over the 100 ms slotCount
// of the measured period, so a tick that Qt skipped while the thread was busy
// counts as missed.
#include "procstatus.h"
#include "scenarios.h"
#include "support.h"
#include "tickprobe.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "gui/mainwindow.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace Bench {

int RunTimers(const Options &opts)
{
    const int expect = opts.value(QStringLiteral("expect"), QStringLiteral("1000")).toInt();
    const int seconds = opts.value(QStringLiteral("duration"), QStringLiteral("10")).toInt();
    MainWindow *form = nullptr;
    if (!StartForm(form, opts.value(QStringLiteral("project")))) {
        std::printf("error=no-activation\n");
        return 1;
    }
    EndpointRegistry &reg = form->registry();
    int timed = 0;
    for (int i = 0; i < reg.count(); ++i)
        timed += reg.at(i)->timers().empty() ? 0 : 1;
    Print(QStringLiteral("timed_endpoints"), double(timed), 0);
    if (timed < expect) {
        std::printf("error=too-few-timed-endpoints\n");
        return 1;
    }
    SpinFor(500);
    TickProbe probe(form->findChild<QTimer *>(QStringLiteral("Timer1")), [form] {
        return ScriptNumber(*form, QStringLiteral("benchFires"));
    });
    probe.start();
    SpinFor(seconds * 1000 + 150);
    probe.stop();

    const auto &ticks = probe.ticks();
    const qint64 slotNs = 100'000'000;
    const int slotCount = seconds * 10;
    std::set<long long> onTime;
    std::vector<double> handleMs;
    long long complete = 0;
    if (!ticks.empty()) {
        const qint64 due0 = ticks.front().beginNs;
        for (const auto &t : ticks) {
            handleMs.push_back(double(t.endNs - t.beginNs) / 1e6);
            if (t.fired >= expect)
                ++complete;
            // The slot whose due time is the latest one not after the begin
            // (half a slot of slack for the coarse timer's wobble).
            const long long slot = (t.beginNs - due0 + slotNs / 2) / slotNs;
            const qint64 due = due0 + slot * slotNs;
            if (slot < slotCount && t.fired >= expect && t.endNs - due <= slotNs)
                onTime.insert(slot);
        }
    }
    std::sort(handleMs.begin(), handleMs.end());
    const auto pct = [&](double p) {
        return handleMs.empty()
            ? 0.0
            : handleMs[std::min(handleMs.size() - 1, size_t(p * double(handleMs.size() - 1) + 0.5))];
    };
    Print(QStringLiteral("ticks_expected"), double(slotCount), 0);
    Print(QStringLiteral("ticks_seen"), double(ticks.size()), 0);
    Print(QStringLiteral("ticks_complete"), double(complete), 0);
    Print(QStringLiteral("ticks_on_time"), double(onTime.size()), 0);
    Print(QStringLiteral("on_time_share"), double(onTime.size()) / slotCount, 3);
    Print(QStringLiteral("tick_p50_ms"), pct(0.5));
    Print(QStringLiteral("tick_p99_ms"), pct(0.99));
    Print(QStringLiteral("rss_kb"), double(ProcStatus::RssKb()), 0);
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace Bench
