#include "scripttimers.h"

#include "calltext.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "sockettimer.h"
#include "workspace.h"

#include <QList>
#include <QPointer>

namespace {
quint64 g_lastSerial = 0;  // Serial of the newest timer ever added
} // namespace

ScriptTimers::ScriptTimers(Workbench &wb) : m_wb(wb) {}

void ScriptTimers::Timer1Timer()
{
    // The endpoints registered when the tick starts, held weakly: a firing's
    // actions or a nested event may delete any of them before its turn.
    EndpointRegistry &registry = m_wb.registry();
    QList<QPointer<TMySocket>> endpoints;
    endpoints.reserve(registry.count());
    for (int i = 0; i < registry.count(); ++i)
        endpoints.append(registry.at(i));
    // A tick inside a firing (a box's own event loop) keeps its own count and
    // leaves the outer one's as it was.
    struct TickScope {
        ScriptTimers &t;
        int every = t.m_refreshEvery, firings = t.m_firings;
        ~TickScope() { t.m_refreshEvery = every; t.m_firings = firings; }
    } scope{*this};
    const int due = CountDue();
    m_refreshEvery = due > MaxRefreshesPerTick ? (due + MaxRefreshesPerTick - 1) / MaxRefreshesPerTick : 1;
    m_firings = 0;
    for (const QPointer<TMySocket> &endpoint : endpoints) {
        if (endpoint)
            TickTimers(endpoint);
    }
    // An error above ends the tick before this, as it ends it before the
    // refresh of the firing that raised it; the refresh still owed then comes
    // with the next one.
    if (m_refreshOwed) {
        m_refreshOwed = false;
        m_wb.workspace().RefreshPanels();
    }
}

int ScriptTimers::CountDue() const
{
    const EndpointRegistry &registry = m_wb.registry();
    int due = 0;
    for (int i = 0; i < registry.count(); ++i) {
        for (const std::unique_ptr<TSocketTimer> &timer : registry.at(i)->timers)
            due += timer->Counter >= timer->Interval;
    }
    return due;
}

void ScriptTimers::Fire(TMySocket *endpoint, const QString &timerName)
{
    // The same as evaluating CallText::OnTimerEvent(...), as a direct call.
    m_wb.script().CallGlobal(QStringLiteral("OnTimerEvent"), {endpoint->name(), timerName});
    ++m_firings;
    if (m_firings % m_refreshEvery == 0) {
        m_refreshOwed = false;
        m_wb.workspace().RefreshPanels();
    } else {
        m_refreshOwed = true;
    }
    m_wb.RunActions();
}

void ScriptTimers::TickTimers(TMySocket *endpoint)
{
    if (!endpoint)
        return;
    QPointer<TMySocket> record(endpoint);
    // Timers added while this walk runs start counting on the next tick,
    // also when a deletion has moved them into the positions walked.
    const size_t count = record->timers.size();
    const quint64 newest = g_lastSerial;
    for (size_t i = 0; i < count; ++i) {
        // The actions after a firing may delete timers (even this one) or the
        // endpoint itself: look again at every step. A timer that moves into
        // a deleted one's place waits for the next tick.
        if (!record || i >= record->timers.size())
            return;
        TSocketTimer &timer = *record->timers[i];
        if (timer.Serial > newest)
            continue;
        if (timer.Counter < timer.Interval) {
            ++timer.Counter;
            continue;
        }
        timer.Counter = 0;
        const QString timerName = timer.Name;  // the timer may be gone after the call
        Fire(record, timerName);
    }
}

TSocketTimer *ScriptTimers::FindTimer(TMySocket *endpoint, const QString &name)
{
    if (!endpoint)
        return nullptr;
    for (const std::unique_ptr<TSocketTimer> &timer : endpoint->timers) {
        if (timer->Name == name)
            return timer.get();
    }
    return nullptr;
}

void ScriptTimers::AddTimer(TMySocket *endpoint, const QString &name, int interval)
{
    if (!endpoint || FindTimer(endpoint, name))
        return;
    auto timer = std::make_unique<TSocketTimer>();
    timer->Name = name;
    timer->Interval = interval;
    timer->Counter = 0;
    timer->Serial = ++g_lastSerial;
    endpoint->timers.push_back(std::move(timer));
}

void ScriptTimers::SetTimer(TMySocket *endpoint, const QString &name, int interval)
{
    if (TSocketTimer *timer = FindTimer(endpoint, name))
        timer->Interval = interval;
}

void ScriptTimers::DelTimer(TMySocket *endpoint, const QString &name)
{
    if (!endpoint)
        return;
    std::vector<std::unique_ptr<TSocketTimer>> &timers = endpoint->timers;
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if ((*it)->Name == name) {
            timers.erase(it);
            return;
        }
    }
}
