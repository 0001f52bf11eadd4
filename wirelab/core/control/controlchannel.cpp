#include "core/control/controlchannel.h"

#include "core/control/controlcommands.h"
#include "core/control/controlconnection.h"
#include "guard.h"

#include <QElapsedTimer>

ControlChannel::ControlChannel(ControlTarget &target, Form form, QObject *parent)
    : QObject(parent), m_target(target), m_form(form)
{
    m_pass.setSingleShot(true);
    m_pass.setInterval(0);
    connect(&m_pass, &QTimer::timeout, this, guard([this] { pass(); }));
}

ControlChannel::~ControlChannel() = default;

void ControlChannel::add(ControlConnection *connection)
{
    m_connections.append(connection);
    connect(connection, &ControlConnection::ready, this, &ControlChannel::schedule);
    schedule();
}

void ControlChannel::close()
{
    m_closed = true;
    m_pass.stop();
}

void ControlChannel::schedule()
{
    if (!m_closed && !m_running && !m_pass.isActive())
        m_pass.start();
}

void ControlChannel::pass()
{
    if (m_running || m_closed)
        return;
    m_running = true;
    QElapsedTimer clock;
    clock.start();
    int handled = 0;
    int idle = 0;  // connections in a row that had nothing to do
    while (!m_closed && handled < BatchSize && !clock.hasExpired(BatchMs)) {
        m_connections.removeAll(nullptr);
        if (m_connections.isEmpty() || idle >= m_connections.size())
            break;
        m_next %= m_connections.size();
        ControlConnection *connection = m_connections.at(m_next++);
        if (!connection->hasItem() || !connection->mayAnswer()) {
            ++idle;
            continue;
        }
        idle = 0;
        handleOne(connection);
        ++handled;
    }
    m_running = false;
    m_connections.removeAll(nullptr);
    for (const QPointer<ControlConnection> &c : std::as_const(m_connections)) {
        if (c->hasItem() && c->mayAnswer()) {
            schedule();
            break;
        }
    }
}

void ControlChannel::handleOne(ControlConnection *connection)
{
    QPointer<ControlConnection> alive(connection);
    const ControlConnection::Item item = connection->takeItem();
    ControlAnswer answer;
    if (!item.error.isEmpty()) {
        answer = ControlAnswer::failure(item.error);
    } else {
        // What the command raises (a script error in DeleteSocket or
        // OnButtonClick) is reported as the window reports its own
        // buttons' errors, and answered.
        try {
            const std::optional<ControlAnswer> a = runControlLine(m_target, QString::fromUtf8(item.line));
            if (!a) {
                if (alive)
                    alive->answer({});
                return;
            }
            answer = *a;
        } catch (...) {
            const QString why = ErrorText(std::current_exception());
            ReportCurrentException();
            answer = ControlAnswer::failure(why);
        }
    }
    // The command may have let events run: the client may be gone.
    if (alive)
        alive->answer(m_form == Form::Json ? answer.json() : answer.text());
}
