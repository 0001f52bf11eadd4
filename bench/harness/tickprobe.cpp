#include "tickprobe.h"

#include <QEvent>
#include <QTimer>

TickProbe::TickProbe(QTimer *tick, std::function<long long()> firings, QObject *parent)
    : QObject(parent), m_tick(tick), m_firings(std::move(firings))
{
    m_tick->installEventFilter(this);
    connect(m_tick, &QTimer::timeout, this, &TickProbe::ended);
}

void TickProbe::start()
{
    m_ticks.clear();
    m_clock.start();
    m_beginNs = -1;
    m_running = true;
}

bool TickProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tick && event->type() == QEvent::Timer && m_running) {
        m_beginNs = m_clock.nsecsElapsed();
        m_firedBefore = m_firings();
    }
    return false;
}

void TickProbe::ended()
{
    if (!m_running || m_beginNs < 0)
        return;
    const long long fired = m_firings() - m_firedBefore;
    m_ticks.push_back({m_beginNs, m_clock.nsecsElapsed(), fired});
    m_beginNs = -1;
}
