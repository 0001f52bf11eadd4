#include "looplatency.h"

#include <algorithm>

namespace {
constexpr int PeriodMs = 10;
}

LoopLatency::LoopLatency(QObject *parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(PeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &LoopLatency::fired);
}

void LoopLatency::start()
{
    m_delaysMs.clear();
    m_clock.start();
    m_lastNs = 0;
    m_timer.start();
}

void LoopLatency::stop() { m_timer.stop(); }

void LoopLatency::fired()
{
    const qint64 now = m_clock.nsecsElapsed();
    // A late firing's delay is the time since the previous one beyond the
    // period (Qt does not queue the firings that a blocked loop missed).
    m_delaysMs.push_back(std::max(0.0, double(now - m_lastNs) / 1e6 - PeriodMs));
    m_lastNs = now;
}

double LoopLatency::percentileMs(double p) const
{
    if (m_delaysMs.empty())
        return 0;
    std::vector<double> v = m_delaysMs;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

double LoopLatency::maxMs() const
{
    return m_delaysMs.empty() ? 0 : *std::max_element(m_delaysMs.begin(), m_delaysMs.end());
}
