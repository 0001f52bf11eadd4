#pragma once
// Script timers: named timers on endpoints, counted down on the main window's
// shared 100 ms tick; a firing calls OnTimerEvent, refreshes the panels and
// runs the action executor.

#include <QString>

class TMySocket;
struct TSocketTimer;
class Workbench;

class ScriptTimers
{
public:
    explicit ScriptTimers(Workbench &wb);

    // One tick over every registered endpoint, in registry order.
    void Timer1Timer();
    void TickTimers(TMySocket *endpoint);

    static TSocketTimer *FindTimer(TMySocket *endpoint, const QString &name);
    static void AddTimer(TMySocket *endpoint, const QString &name, int interval);
    static void SetTimer(TMySocket *endpoint, const QString &name, int interval);
    static void DelTimer(TMySocket *endpoint, const QString &name);

private:
    Workbench &m_wb;
};
