#pragma once
// Script timers: named timers on endpoints, counted down on the main window's
// shared 100 ms tick; a firing calls OnTimerEvent, refreshes the panels and
// runs the action executor.
//
// A panel refresh reads json2str(sockets), whose cost grows with the number
// of declared endpoints (about 2.5 ms for 1,000). With more than
// MaxRefreshesPerTick timers due in one tick, refreshing after every firing
// would take seconds per tick; then the refresh runs after every n-th firing
// (n chosen so that a tick holds at most MaxRefreshesPerTick refreshes) and
// after the tick's last firing. Up to that many due timers, every firing is
// followed by its own refresh.

#include <QString>

class Endpoint;
class ScriptHost;
struct ScriptTimer;

class ScriptTimers
{
public:
    explicit ScriptTimers(ScriptHost &host);

    // One tick over every registered endpoint, in registry order.
    void tick();
    void tickTimers(Endpoint *endpoint);

    static ScriptTimer *findTimer(Endpoint *endpoint, const QString &name);
    static void addTimer(Endpoint *endpoint, const QString &name, int interval);
    static void setTimer(Endpoint *endpoint, const QString &name, int interval);
    static void delTimer(Endpoint *endpoint, const QString &name);

    static constexpr int MaxRefreshesPerTick = 16;

private:
    // Timers that fall due on this tick, counted before any of them fires.
    int countDue() const;
    void fire(Endpoint *endpoint, const QString &timerName);

    ScriptHost &m_host;
    int m_refreshEvery = 1;  // refresh after every n-th firing of this tick
    int m_firings = 0;  // firings so far in this tick
    bool m_refreshOwed = false;  // a firing since the last refresh
};
