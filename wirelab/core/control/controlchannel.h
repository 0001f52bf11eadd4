#pragma once
// ControlChannel: carries out the commands of every control connection
// and answers each on its own connection, in the order it sent them.
//
// Commands are handled from the event loop in bounded batches (at most
// BatchSize commands or BatchMs per pass, the connections taking turns), so
// a flood of commands cannot starve the endpoints' sockets or the other
// clients. A command that lets events run (a send that waits, a box) is
// never entered twice: the next batch waits for it.

#include "core/control/controlanswer.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class ControlConnection;
class ControlTarget;

class ControlChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr int BatchSize = 64;
    static constexpr int BatchMs = 10;

    enum class Form {
        Text,  // rows "| ...", then "ok ..." or "error: ..."
        Json,  // one object per answer
    };

    ControlChannel(ControlTarget &target, Form form, QObject *parent = nullptr);
    ~ControlChannel() override;

    // Takes commands from the connection from now on (it is not owned).
    void add(ControlConnection *connection);
    // No command is carried out from now on (the run ends).
    void close();
    bool isClosed() const { return m_closed; }

private:
    void schedule();
    void pass();
    // Carries out one item of the connection and answers it.
    void handleOne(ControlConnection *connection);

    ControlTarget &m_target;
    Form m_form;
    QList<QPointer<ControlConnection>> m_connections;
    qsizetype m_next = 0;  // whose turn it is
    QTimer m_pass;
    bool m_running = false;
    bool m_closed = false;
};
