#pragma once
// SocketConnection: a client of the control socket, on its connected
// descriptor. Its answers go back on its own connection.
//
// A client may close its sending side and still read: `echo list | socat -
// UNIX-CONNECT:PATH` gets its answer. The complete lines a client sent are
// carried out even when it has gone; a line it left unfinished is dropped.
// The descriptor is closed once every line is answered and the answers
// have gone out (or the client is gone).

#include "core/control/controlconnection.h"

class QSocketNotifier;

class SocketConnection : public ControlConnection
{
    Q_OBJECT
public:
    // Answers wait while this much is not yet taken by the client.
    static constexpr qsizetype MaxUnsent = qsizetype(1) << 20;

    // Takes the connected descriptor (closed by the connection).
    explicit SocketConnection(int fd, QObject *parent = nullptr);
    ~SocketConnection() override;

    bool mayAnswer() const override { return m_out.size() < MaxUnsent; }
    // Waits up to ms for the answers to go out (the run ends).
    void flushAnswers(int ms);

Q_SIGNALS:
    void connectionClosed();

protected:
    void readMore() override;
    void write(const QByteArray &bytes) override;

private:
    void readable();
    void writeOut();
    void closeIfDone();
    void lost();

    int m_fd;
    QSocketNotifier *m_reader;
    QSocketNotifier *m_writer;
    QByteArray m_out;
    bool m_peerGone = false;
};
