#pragma once
// Datagrams read from a socket ahead of their handling.
//
// Handling a datagram (a script call, a log line) costs far more than reading
// it, and the kernel keeps only a few hundred small datagrams per socket:
// read one at a time between handlers, a burst is dropped while the handlers
// work. The inbox reads the socket whenever it is readable, also between
// handlers, into a queue of up to MaxQueuedBytes, and hands the queue out a
// batch per pass of the event loop: a burst is handled late rather than lost,
// and the window stays responsive meanwhile. While datagrams keep coming it
// also reads between any two events of the GUI thread (a view's paint, a
// layout, a timer), so no other work there holds the kernel's buffer for long.

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

// Datagrams read from a socket in one system call at most.
constexpr int DatagramReadBatch = 32;

// Reads up to max (at most DatagramReadBatch) datagrams from fd in one
// system call without waiting (no socket flag is changed) into out[0..n) and
// returns n: 0 when nothing is waiting. A read that failed, or a datagram
// longer than the largest IPv4 UDP payload (65,507 bytes), is the last one
// of the batch, with failed set. Each sender goes to from[i] (either family)
// and out[i].port; out[i].from is left to the caller.
int receiveDatagrams(int fd, Datagram *out, sockaddr_storage *from, int max);
// One datagram: receiveDatagrams(fd, &d, from, 1) == 1.
bool receiveDatagram(int fd, Datagram &d, sockaddr_storage *from);

// Asks for a receive buffer of several MiB on fd (never a smaller one than
// it has), beyond the system's cap where the process may (CAP_NET_ADMIN), so
// a burst waits in the kernel while the GUI thread is busy instead of being
// dropped. The kernel takes the memory only for datagrams waiting in it.
void widenReceiveBuffer(int fd);

class DatagramInbox : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxQueuedBytes = 64 << 20;

    // Reads up to max datagrams without waiting into out[0..n) and returns n
    // (0 when nothing is waiting); a read that failed ends the batch, with
    // failed set (receiveDatagrams).
    using ReadSome = std::function<int(Datagram *out, int max)>;
    // Hands one datagram to its handler, which may close or destroy the
    // inbox's owner.
    using Deliver = std::function<void(Datagram &d)>;

    // Watches the descriptor fd for reading, with a widened receive buffer.
    DatagramInbox(qintptr fd, ReadSome read, Deliver deliver, QObject *parent);
    ~DatagramInbox() override;

    // Stops watching and drops what is queued (the socket is being closed);
    // safe inside a delivery.
    void close();
    int queuedCount() const { return int(m_queue.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFlowing(bool flowing);
    void readable();
    void drain();
    void deliverQueued();

    QPointer<QSocketNotifier> m_notifier;
    ReadSome m_read;
    Deliver m_deliver;
    std::deque<Datagram> m_queue;
    qint64 m_queuedBytes = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
    bool m_flowing = false;  // the last read found datagrams: read between events
    qint64 m_lastReadNs = 0;  // steady clock
};
