#pragma once
// SIGINT and SIGTERM as a Qt signal: the handler only writes a byte to a
// socket pair, and the event loop reads it, so the run ends from the loop
// (endpoints closed, logs flushed) rather than from inside a signal handler.

#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

Q_SIGNALS:
    void stopRequested(int signalNumber);

private:
    void readable();

    QSocketNotifier *m_notifier = nullptr;
};
