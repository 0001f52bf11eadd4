#pragma once
// Event-loop latency probe: a precise 10 ms timer that records, for every
// firing, how much later than due it came. While the GUI thread is busy the
// firings are late by as much as it was blocked.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <vector>

class LoopLatency : public QObject
{
    Q_OBJECT
public:
    explicit LoopLatency(QObject *parent = nullptr);
    void start();
    void stop();
    double percentileMs(double p) const;
    double maxMs() const;
    size_t samples() const { return m_delaysMs.size(); }

private:
    void fired();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    std::vector<double> m_delaysMs;
};
