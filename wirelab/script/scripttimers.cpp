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
    for (const QPointer<TMySocket> &endpoint : endpoints) {
        if (endpoint)
            TickTimers(endpoint);
    }
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
        // The same as evaluating CallText::OnTimerEvent(...), as a direct call.
        m_wb.script().CallGlobal(QStringLiteral("OnTimerEvent"), {record->name(), timerName});
        m_wb.workspace().RefreshPanels();
        m_wb.RunActions();
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
