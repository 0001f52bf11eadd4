#include "core/net/datagraminbox.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {
// Memory a queued datagram holds besides its bytes (arrays, sender text).
constexpr qint64 kEntryOverhead = 128;
// Reads per notification: enough to empty the kernel's buffer in one go,
// bounded so a flood cannot keep the loop in the read.
constexpr int kDrainPerPass = 4096;
// Datagrams handed out per pass of the event loop.
constexpr int kDeliverPerPass = 64;
// Datagrams handed out between two reads of the socket.
constexpr int kDrainEvery = 8;
// Receive buffer asked of the kernel (which caps it at its own maximum): the
// default holds a few hundred small datagrams, which a fast sender fills in
// a millisecond while the GUI thread lays out and paints; this holds a burst
// of several thousand until the inbox reads it.
constexpr int kReceiveBufferBytes = 4 << 20;
// The largest UDP payload over IPv4; a buffer one byte larger shows a longer
// (impossible) datagram as cut instead of passing it as whole.
constexpr int kMaxPayload = 65507;
}  // namespace

bool receiveDatagram(int fd, Datagram &d, sockaddr_storage *from)
{
    static QByteArray scratch(kMaxPayload + 1, Qt::Uninitialized);  // GUI thread only
    for (;;) {
        *from = sockaddr_storage {};
        socklen_t fromLength = sizeof *from;
        const ssize_t n = ::recvfrom(fd, scratch.data(), size_t(scratch.size()), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr *>(from), &fromLength);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return false;
        if (n < 0 || n > kMaxPayload) {
            d.failed = true;
            return true;
        }
        d.data = QByteArray(scratch.constData(), qsizetype(n));
        d.port = from->ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6 *>(from)->sin6_port)
                                             : ntohs(reinterpret_cast<const sockaddr_in *>(from)->sin_port);
        return true;
    }
}

void widenReceiveBuffer(int fd)
{
    int current = 0;
    socklen_t length = sizeof current;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &current, &length) == 0 && current >= kReceiveBufferBytes)
        return;
    int wanted = kReceiveBufferBytes;
    // A failure leaves the buffer as it was: the socket works the same.
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
}

DatagramInbox::DatagramInbox(qintptr fd, ReadOne read, Deliver deliver, QObject *parent)
    : QObject(parent), m_read(std::move(read)), m_deliver(std::move(deliver))
{
    widenReceiveBuffer(int(fd));
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DatagramInbox::readable);
}

// The notifier may be the one whose activation is running: it is switched
// off now and freed later.
void DatagramInbox::close()
{
    m_queue.clear();
    m_queuedBytes = 0;
    if (m_notifier) {
        m_notifier->setEnabled(false);
        disconnect(m_notifier, nullptr, this, nullptr);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
}

void DatagramInbox::readable()
{
    drain();
    // A pass hands out one batch: one is on its way already.
    if (!m_deliveryPosted)
        deliverQueued();
}

void DatagramInbox::drain()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < kDrainPerPass && m_queuedBytes < MaxQueuedBytes; ++i) {
        Datagram d;
        if (!m_read(d))
            break;
        m_queuedBytes += d.data.size() + kEntryOverhead;
        const bool failed = d.failed;
        m_queue.push_back(std::move(d));
        if (failed)
            break;  // the error would otherwise repeat without end
    }
    // A full queue leaves the rest to the kernel: a notifier that fired on
    // would spin while a handler's box is open.
    if (m_queuedBytes >= MaxQueuedBytes)
        m_notifier->setEnabled(false);
}

void DatagramInbox::deliverQueued()
{
    m_deliveryPosted = false;
    // A handler's nested event loop (a message box) may bring another
    // notification: the outer pass goes on with the queue, in order.
    if (m_delivering)
        return;
    QPointer<DatagramInbox> self(this);
    struct Delivering
    {
        QPointer<DatagramInbox> self;
        ~Delivering()
        {
            if (self)
                self->m_delivering = false;
        }
    } delivering {self};
    m_delivering = true;
    for (int i = 0; i < kDeliverPerPass && !m_queue.empty(); ++i) {
        Datagram d = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedBytes -= d.data.size() + kEntryOverhead;
        if (m_notifier && !m_notifier->isEnabled() && m_queuedBytes < MaxQueuedBytes)
            m_notifier->setEnabled(true);
        // A copy: the handler may destroy this inbox, and with it m_deliver.
        const Deliver deliver = m_deliver;
        deliver(d);
        if (!self)
            return;
        // Between slow handlers the kernel's buffer fills fast: keep emptying it.
        if (i % kDrainEvery == kDrainEvery - 1)
            drain();
    }
    if (!m_queue.empty() && !m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &DatagramInbox::deliverQueued, Qt::QueuedConnection);
    }
    // What the kernel still holds (a full queue, a bounded drain) keeps the
    // level-triggered notifier firing.
}
