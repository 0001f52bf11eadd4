#pragma once
// A script timer of one endpoint: fires after interval+1 ticks of the shared
// 100 ms tick, counted in ticks handled.

#include <QString>

struct ScriptTimer
{
    QString name;
    int interval = 0;
    int counter = 0;
    // Order of creation, so that a tick's walk can tell the timers added
    // while it runs (they start counting on the next tick).
    quint64 serial = 0;
};
