#include "core/script/scripttimers.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/endpoints/scripttimer.h"
#include "core/script/scriptengine.h"
#include "core/script/scripthost.h"
#include "core/script/scriptoutput.h"

#include <QList>
#include <QPointer>

namespace {
quint64 g_lastSerial = 0;  // Serial of the newest timer ever added
}  // namespace

ScriptTimers::ScriptTimers(ScriptHost &host) : m_host(host) {}

void ScriptTimers::tick()
{
    // The endpoints registered when the tick starts, held weakly: a firing's
    // actions or a nested event may delete any of them before its turn.
    EndpointRegistry &registry = m_host.registry();
    QList<QPointer<Endpoint>> endpoints;
    endpoints.reserve(registry.count());
    for (int i = 0; i < registry.count(); ++i)
        endpoints.append(registry.at(i));
    // A tick inside a firing (a box's own event loop) keeps its own count and
    // leaves the outer one's as it was.
    struct TickScope
    {
        ScriptTimers &t;
        int every = t.m_refreshEvery, firings = t.m_firings;
        ~TickScope()
        {
            t.m_refreshEvery = every;
            t.m_firings = firings;
        }
    } scope {*this};
    const int due = countDue();
    m_refreshEvery = due > MaxRefreshesPerTick ? (due + MaxRefreshesPerTick - 1) / MaxRefreshesPerTick : 1;
    m_firings = 0;
    for (const QPointer<Endpoint> &endpoint : endpoints) {
        if (endpoint)
            tickTimers(endpoint);
    }
    // An error above ends the tick before this, as it ends it before the
    // refresh of the firing that raised it; the refresh still owed then comes
    // with the next one.
    if (m_refreshOwed) {
        m_refreshOwed = false;
        m_host.refreshPanels();
    }
}

int ScriptTimers::countDue() const
{
    const EndpointRegistry &registry = m_host.registry();
    int due = 0;
    for (int i = 0; i < registry.count(); ++i) {
        for (const std::unique_ptr<ScriptTimer> &timer : registry.at(i)->timers())
            due += timer->counter >= timer->interval;
    }
    return due;
}

void ScriptTimers::fire(Endpoint *endpoint, const QString &timerName)
{
    // The same as evaluating CallText::OnTimerEvent(...), as a direct call.
    const QString name = endpoint->name();
    ScriptOutput::concerning(name, endpoint->log(), [&] {
        m_host.engine().callGlobal(QStringLiteral("OnTimerEvent"), {name, timerName});
    });
    ++m_firings;
    if (m_firings % m_refreshEvery == 0) {
        m_refreshOwed = false;
        m_host.refreshPanels();
    } else {
        m_refreshOwed = true;
    }
    m_host.runActions([&] { return QStringLiteral("timer \"%1\" of %2").arg(timerName, name); }, name);
}

void ScriptTimers::tickTimers(Endpoint *endpoint)
{
    if (!endpoint)
        return;
    QPointer<Endpoint> record(endpoint);
    // Timers added while this walk runs start counting on the next tick,
    // also when a deletion has moved them into the positions walked.
    const size_t count = record->timers().size();
    const quint64 newest = g_lastSerial;
    for (size_t i = 0; i < count; ++i) {
        // The actions after a firing may delete timers (even this one) or the
        // endpoint itself: look again at every step. A timer that moves into
        // a deleted one's place waits for the next tick.
        if (!record || i >= record->timers().size())
            return;
        ScriptTimer &timer = *record->timers()[i];
        if (timer.serial > newest)
            continue;
        if (timer.counter < timer.interval) {
            ++timer.counter;
            continue;
        }
        timer.counter = 0;
        const QString timerName = timer.name;  // the timer may be gone after the call
        fire(record, timerName);
    }
}

ScriptTimer *ScriptTimers::findTimer(Endpoint *endpoint, const QString &name)
{
    if (!endpoint)
        return nullptr;
    for (const std::unique_ptr<ScriptTimer> &timer : endpoint->timers()) {
        if (timer->name == name)
            return timer.get();
    }
    return nullptr;
}

void ScriptTimers::addTimer(Endpoint *endpoint, const QString &name, int interval)
{
    if (!endpoint || findTimer(endpoint, name))
        return;
    auto timer = std::make_unique<ScriptTimer>();
    timer->name = name;
    timer->interval = interval;
    timer->counter = 0;
    timer->serial = ++g_lastSerial;
    endpoint->timers().push_back(std::move(timer));
}

void ScriptTimers::setTimer(Endpoint *endpoint, const QString &name, int interval)
{
    if (ScriptTimer *timer = findTimer(endpoint, name))
        timer->interval = interval;
}

void ScriptTimers::delTimer(Endpoint *endpoint, const QString &name)
{
    if (!endpoint)
        return;
    std::vector<std::unique_ptr<ScriptTimer>> &timers = endpoint->timers();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if ((*it)->name == name) {
            timers.erase(it);
            return;
        }
    }
}
