#pragma once
// What the handlers of one TCP socket (a client's, or an accepted
// connection's) share: the socket, and how many of its handlers are on the
// stack. A socket disposed of while a handler of it runs (its endpoint
// deleted inside a nested event loop of the handler) is freed only when
// the outermost handler ends: freed earlier, it would be pulled from under
// the signal that is still being delivered.

#include <QByteArray>
#include <QPointer>
#include <QTcpSocket>

class TcpSocketHandlers
{
public:
    // The most one read takes: a fast sender must not hand one handler
    // megabytes at once.
    static constexpr qint64 ReadChunkBytes = 256 * 1024;

    explicit TcpSocketHandlers(QTcpSocket *socket);

    QTcpSocket *socket() const { return m_socket; }

    // Marks a handler of the socket as running for its scope.
    class Busy
    {
    public:
        explicit Busy(TcpSocketHandlers &h) : m_h(h) { ++m_h.m_busy; }
        ~Busy() { m_h.leave(); }
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        TcpSocketHandlers &m_h;
    };

    // Frees the socket once no handler of it runs.
    void dispose();
    bool disposing() const { return m_disposePending; }
    // Hands the kernel what it takes of the pending output, then closes at
    // once: the disconnected notification comes from inside this call.
    void closeNow();
    // Sends one block (TcpSend): false when the socket is not connected.
    bool send(const QByteArray &block);

    // What readAll() gives, without copying it when the socket holds it in
    // one piece (one read from the kernel, as a bulk stream's reads are):
    // that piece is handed over as it is.
    static QByteArray takeAvailable(QTcpSocket &socket) { return socket.read(socket.bytesAvailable()); }

private:
    void leave();

    QPointer<QTcpSocket> m_socket;
    int m_busy = 0;
    bool m_disposePending = false;
};
