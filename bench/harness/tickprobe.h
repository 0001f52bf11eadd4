#pragma once
// Watches the main window's 100 ms tick: when each tick's handling begins
// (an event filter sees the timer event before the window does) and ends
// (a slot connected after the window's own).

#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <vector>

class QTimer;

class TickProbe : public QObject
{
    Q_OBJECT
public:
    struct Tick
    {
        qint64 beginNs;
        qint64 endNs;
        long long fired;  // script timer firings during the tick
    };
    // firings: reads the script's running count of timer firings.
    TickProbe(QTimer *tick, std::function<long long()> firings, QObject *parent = nullptr);
    void start();
    void stop() { m_running = false; }
    const std::vector<Tick> &ticks() const { return m_ticks; }
    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ended();

    QTimer *m_tick;
    std::function<long long()> m_firings;
    QElapsedTimer m_clock;
    std::vector<Tick> m_ticks;
    qint64 m_beginNs = -1;
    long long m_firedBefore = 0;
    bool m_running = false;
};
