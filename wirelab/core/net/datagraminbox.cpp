#include "core/net/datagraminbox.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

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
// While datagrams keep coming, the socket is read again before an event of
// the GUI thread once this long has passed since the last read: a flood of
// small datagrams fills the kernel's buffer in about 10 ms.
constexpr qint64 kReadBetweenEventsNs = 500'000;
// Receive buffer asked of the kernel. The default holds a few hundred small
// datagrams, which a fast sender fills in a millisecond while the GUI thread
// lays out and paints. Without CAP_NET_ADMIN the system caps the size at
// net.core.rmem_max (4 MiB here, 208 KiB by default); the kernel accounts
// about 830 bytes for a datagram of 64 (so 4 MiB, doubled by the kernel,
// hold about 10,000 of them) and takes the memory only while they wait.
constexpr int kReceiveBufferBytes = 4 << 20;
constexpr int kForcedReceiveBufferBytes = 16 << 20;
// The largest UDP payload over IPv4; a buffer one byte larger shows a longer
// (impossible) datagram as cut instead of passing it as whole.
constexpr int kMaxPayload = 65507;
constexpr int kSlotBytes = kMaxPayload + 1;

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

int receiveDatagrams(int fd, Datagram *out, sockaddr_storage *from, int max)
{
    // GUI thread only. The buffers' pages are touched only as far as datagrams
    // reach into them.
    static QByteArray scratch(qsizetype(kSlotBytes) * DatagramReadBatch, Qt::Uninitialized);
    max = std::clamp(max, 0, DatagramReadBatch);
    mmsghdr messages[DatagramReadBatch];
    iovec buffers[DatagramReadBatch];
    for (int i = 0; i < max; ++i) {
        from[i] = sockaddr_storage {};
        buffers[i] = {scratch.data() + qsizetype(i) * kSlotBytes, size_t(kSlotBytes)};
        messages[i] = mmsghdr {};
        messages[i].msg_hdr.msg_name = &from[i];
        messages[i].msg_hdr.msg_namelen = sizeof from[i];
        messages[i].msg_hdr.msg_iov = &buffers[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int n;
    do
        n = ::recvmmsg(fd, messages, unsigned(max), MSG_DONTWAIT, nullptr);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return 0;
    if (n < 0) {
        if (max == 0)
            return 0;
        out[0].failed = true;
        return 1;
    }
    for (int i = 0; i < n; ++i) {
        Datagram &d = out[i];
        const unsigned length = messages[i].msg_len;
        if (length > unsigned(kMaxPayload)) {
            d.failed = true;
            return i + 1;
        }
        d.data = QByteArray(static_cast<const char *>(buffers[i].iov_base), qsizetype(length));
        const sockaddr_storage &f = from[i];
        d.port = f.ss_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6 &>(f).sin6_port)
                                         : ntohs(reinterpret_cast<const sockaddr_in &>(f).sin_port);
    }
    return n;
}

bool receiveDatagram(int fd, Datagram &d, sockaddr_storage *from)
{
    return receiveDatagrams(fd, &d, from, 1) == 1;
}

void widenReceiveBuffer(int fd)
{
    int current = 0;
    socklen_t length = sizeof current;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &current, &length) == 0 && current >= 2 * kReceiveBufferBytes)
        return;
    // A failure leaves the buffer as it was: the socket works the same.
    int forced = kForcedReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &forced, sizeof forced) == 0)
        return;
    int wanted = kReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
}

DatagramInbox::DatagramInbox(qintptr fd, ReadSome read, Deliver deliver, QObject *parent)
    : QObject(parent), m_read(std::move(read)), m_deliver(std::move(deliver))
{
    widenReceiveBuffer(int(fd));
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DatagramInbox::readable);
}

DatagramInbox::~DatagramInbox() { setFlowing(false); }

// The notifier may be the one whose activation is running: it is switched
// off now and freed later.
void DatagramInbox::close()
{
    m_queue.clear();
    m_queuedBytes = 0;
    setFlowing(false);
    if (m_notifier) {
        m_notifier->setEnabled(false);
        disconnect(m_notifier, nullptr, this, nullptr);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
}

// While datagrams keep coming, the inbox watches every event of the GUI
// thread's objects (an application filter) to read the socket between them.
void DatagramInbox::setFlowing(bool flowing)
{
    if (flowing == m_flowing)
        return;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    m_flowing = flowing;
    if (flowing)
        app->installEventFilter(this);
    else
        app->removeEventFilter(this);
}

bool DatagramInbox::eventFilter(QObject *watched, QEvent *event)
{
    if (steadyNs() - m_lastReadNs >= kReadBetweenEventsNs)
        drain();
    return QObject::eventFilter(watched, event);
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
    Datagram batch[DatagramReadBatch];
    int read = 0;
    bool failed = false;
    while (!failed && read < kDrainPerPass && m_queuedBytes < MaxQueuedBytes) {
        const int n = m_read(batch, std::min(DatagramReadBatch, kDrainPerPass - read));
        for (int i = 0; i < n; ++i) {
            m_queuedBytes += batch[i].data.size() + kEntryOverhead;
            failed = batch[i].failed;  // the error would otherwise repeat without end
            m_queue.push_back(std::move(batch[i]));
            batch[i] = Datagram {};
        }
        read += n;
        if (n < DatagramReadBatch)
            break;  // the kernel's buffer is empty (or the batch was cut)
    }
    m_lastReadNs = steadyNs();
    setFlowing(read > 0);
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
