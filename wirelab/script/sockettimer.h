#pragma once
// A script timer of one endpoint: fires after Interval+1 ticks of the shared
// 100 ms tick, counted in ticks handled.

#include <QString>

struct TSocketTimer
{
    QString Name;
    int Interval = 0;
    int Counter = 0;
    // Order of creation, so that a tick's walk can tell the timers added
    // while it runs (they start counting on the next tick).
    quint64 Serial = 0;
};
