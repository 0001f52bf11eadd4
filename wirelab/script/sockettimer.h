#pragma once
// A script timer of one endpoint: fires after Interval+1 ticks of the shared
// 100 ms tick, counted in ticks handled.

#include <QString>

struct TSocketTimer
{
    QString Name;
    int Interval = 0;
    int Counter = 0;
};
