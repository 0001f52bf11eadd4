#include "core/workbench/timedsend.h"

#include "core/endpoints/endpoint.h"
#include "core/text/intconv.h"
#include "guard.h"

#include <QTimer>

TimedSend::TimedSend(Endpoint &endpoint, Source source, QObject *parent)
    : QObject(parent), m_endpoint(&endpoint), m_source(std::move(source)), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(500);
    connect(m_timer, &QTimer::timeout, this, guard([this] { send(); }));
}

void TimedSend::start(const QString &intervalText)
{
    const int interval = strToInt(intervalText);
    if (interval <= 0) {
        m_timer->stop();
        return;
    }
    m_timer->start(interval);
}

void TimedSend::stop() { m_timer->stop(); }

bool TimedSend::isActive() const { return m_timer->isActive(); }

void TimedSend::send()
{
    if (!m_endpoint)
        return;
    SendRequest request = m_source();
    request.timed = true;
    Workbench::send(*m_endpoint, request);
}
