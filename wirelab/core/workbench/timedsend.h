#pragma once
// TimedSend: the timed send of a data window ("定时发送"). On every tick of
// its timer (the QTimer "Timer1") it asks its source what to send and sends
// it through Workbench::send, the repetitions back to back.

#include "core/workbench/workbench.h"

#include <QObject>
#include <QPointer>

#include <functional>

class Endpoint;
class QTimer;

class TimedSend : public QObject
{
    Q_OBJECT
public:
    // What to send on a tick, read anew each time (a send pane's text).
    using Source = std::function<SendRequest()>;

    TimedSend(Endpoint &endpoint, Source source, QObject *parent = nullptr);

    // Ticks every interval milliseconds from now. Throws ConvertError for
    // an interval that is no integer, the timer left as it was; 0 or less
    // stops it: a timer that never fires rather than one that fires
    // continuously.
    void start(const QString &intervalText);
    void stop();
    bool isActive() const;

private:
    void send();

    QPointer<Endpoint> m_endpoint;
    Source m_source;
    QTimer *m_timer;  // Timer1
};
