#pragma once
// Datagrams read from a socket ahead of their handling.
//
// Handling a datagram (a script call, a log line) costs far more than reading
// it, and the kernel keeps only a few hundred small datagrams per socket:
// read one at a time between handlers, a burst is dropped while the handlers
// work. The inbox reads the socket whenever it is readable, also between
// handlers, into a queue of up to MaxQueuedBytes, and hands the queue out a
// batch per pass of the event loop: a burst is handled late rather than lost,
// and the window stays responsive meanwhile.

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>

#include <sys/socket.h>

class QSocketNotifier;

struct Datagram
{
    QByteArray data;
    QString from;  // the sender's address text (where the reader tells it)
    quint16 port = 0;
    bool failed = false;  // a read that failed
};

// One recvfrom on fd without waiting (no socket flag is changed): false when
// nothing is waiting; otherwise true with d's bytes, or d.failed for a read
// that failed or a datagram longer than the largest IPv4 UDP payload
// (65,507 bytes). The sender goes to *from (either family) and d.port;
// d.from is left to the caller.
bool receiveDatagram(int fd, Datagram &d, sockaddr_storage *from);

// Asks for a receive buffer of a few MiB on fd (never a smaller one than it
// has; the system caps the size), so a burst waits in the kernel while the
// GUI thread is busy instead of being dropped.
void widenReceiveBuffer(int fd);

class DatagramInbox : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxQueuedBytes = 64 << 20;

    // Reads one datagram without waiting: true with d filled (d.failed for a
    // read that failed), false when nothing is waiting.
    using ReadOne = std::function<bool(Datagram &d)>;
    // Hands one datagram to its handler, which may close or destroy the
    // inbox's owner.
    using Deliver = std::function<void(Datagram &d)>;

    // Watches the descriptor fd for reading, with a widened receive buffer.
    DatagramInbox(qintptr fd, ReadOne read, Deliver deliver, QObject *parent);

    // Stops watching and drops what is queued (the socket is being closed);
    // safe inside a delivery.
    void close();
    int queuedCount() const { return int(m_queue.size()); }

private:
    void readable();
    void drain();
    void deliverQueued();

    QPointer<QSocketNotifier> m_notifier;
    ReadOne m_read;
    Deliver m_deliver;
    std::deque<Datagram> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
};
