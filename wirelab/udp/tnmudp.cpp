#include "tnmudp.h"

#include "common/errors.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Dotted IPv4 text as inet_addr reads it (also "127.1", "0x7f.0.0.1").
bool parseDotted(const QString &text, quint32 *hostOrder)
{
    if (text.contains(QChar(0)))
        return false;
    const QByteArray bytes = text.toLatin1();
    in_addr a{};
    if (inet_aton(bytes.constData(), &a) == 0)
        return false;
    *hostOrder = ntohl(a.s_addr);
    return true;
}

QString dottedText(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    if (!ok)
        return address.toString();
    return QStringLiteral("%1.%2.%3.%4")
        .arg(v4 >> 24).arg((v4 >> 16) & 0xFF).arg((v4 >> 8) & 0xFF).arg(v4 & 0xFF);
}

} // namespace

TNMUDP::TNMUDP(QObject *parent)
    : QObject(parent)
{
    openSocket();  // unbound until LocalPort is set; a send binds it implicitly
}

TNMUDP::~TNMUDP()
{
    dropSocket();
}

// The old socket may be the one whose readyRead is being handled right now
// (a receiver can rebind or destroy the component): close it at once, but
// free it only when control is back in the event loop.
void TNMUDP::dropSocket()
{
    if (!m_socket)
        return;
    QUdpSocket *old = m_socket;
    m_socket = nullptr;
    clearQueue();  // read from the socket being closed: never reported
    if (m_notifier) {
        m_notifier->setEnabled(false);
        disconnect(m_notifier, nullptr, this, nullptr);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    disconnect(old, nullptr, this, nullptr);
    old->close();
    old->setParent(nullptr);
    old->deleteLater();
}

void TNMUDP::openSocket()
{
    dropSocket();
    m_socket = new QUdpSocket(this);
}

// Datagrams are read with recvfrom on the socket's descriptor, driven by a
// notifier of our own, rather than through QUdpSocket: its read notification
// is switched off until the next read after a readyRead, so reading ahead of
// its notifications (as the queue does between handlers) could leave it off
// for good. QUdpSocket still binds and sends.
void TNMUDP::watchSocket()
{
    if (m_notifier || !m_socket || m_socket->state() != QAbstractSocket::BoundState)
        return;
    m_notifier = new QSocketNotifier(m_socket->socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TNMUDP::readPending);
}

void TNMUDP::setLocalPort(int port)
{
    openSocket();
    m_localPort = port;
    // IPv4 only, so that senders are reported as dotted IPv4. No address
    // sharing: a port in use makes the bind fail, which leaves the socket
    // unbound and silent.
    m_socket->bind(QHostAddress::AnyIPv4, quint16(port & 0xFFFF), QAbstractSocket::DontShareAddress);
    watchSocket();
}

bool TNMUDP::isBound() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

void TNMUDP::CloseSocket()
{
    dropSocket();
}

namespace {
// Memory a queued datagram holds besides its bytes (arrays, sender text).
constexpr qint64 kEntryOverhead = 128;
// Reads per read notification: enough to empty the kernel's buffer in one go,
// bounded so a flood cannot keep the loop in the read.
constexpr int kDrainPerPass = 4096;
// Datagrams reported per pass of the event loop.
constexpr int kReportPerPass = 64;
// Datagrams reported between two reads of the socket.
constexpr int kDrainEvery = 8;
} // namespace

void TNMUDP::readPending()
{
    drain();
    // A pass reports one batch: one is on its way already.
    if (!m_deliveryPosted)
        deliverQueued();
}

void TNMUDP::drain()
{
    if (!m_socket || !m_notifier)
        return;
    const int fd = int(m_socket->socketDescriptor());
    static QByteArray scratch(MaxDatagram + 1, Qt::Uninitialized);
    for (int i = 0; i < kDrainPerPass && m_queuedBytes < MaxQueuedBytes; ++i) {
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n = ::recvfrom(fd, scratch.data(), size_t(scratch.size()), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr *>(&from), &fromSize);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            Datagram d;
            d.failed = true;
            m_queue.push_back(std::move(d));
            break;  // the error would otherwise repeat without end
        }
        Datagram d;
        d.data = QByteArray(scratch.constData(), qsizetype(n));
        // Floods come from one sender: its text is made once.
        const quint32 address = ntohl(from.sin_addr.s_addr);
        if (address != m_lastFromAddress || m_lastFromText.isEmpty()) {
            m_lastFromAddress = address;
            m_lastFromText = dottedText(QHostAddress(address));
        }
        d.from = m_lastFromText;
        d.port = ntohs(from.sin_port);
        m_queuedBytes += n + kEntryOverhead;
        m_queue.push_back(std::move(d));
    }
    // A full queue leaves the rest to the kernel: a notifier that fired on
    // would spin while a handler's box is open.
    if (m_queuedBytes >= MaxQueuedBytes)
        m_notifier->setEnabled(false);
}

void TNMUDP::deliverQueued()
{
    m_deliveryPosted = false;
    // A receiver's nested event loop (a message box) may bring another read
    // notification: the outer pass goes on with the queue, in order.
    if (m_delivering)
        return;
    QPointer<TNMUDP> self(this);
    struct Delivering {
        QPointer<TNMUDP> self;
        ~Delivering() { if (self) self->m_delivering = false; }
    } delivering{self};
    m_delivering = true;
    for (int i = 0; i < kReportPerPass && !m_queue.empty(); ++i) {
        Datagram d = std::move(m_queue.front());
        m_queue.pop_front();
        if (d.failed) {
            m_last.clear();
            emit dataReceived(-1, QString(), 0);
        } else {
            m_queuedBytes -= d.data.size() + kEntryOverhead;
            if (m_notifier && !m_notifier->isEnabled() && m_queuedBytes < MaxQueuedBytes)
                m_notifier->setEnabled(true);
            m_last = std::move(d.data);
            emit dataReceived(int(m_last.size()), d.from, d.port);
        }
        if (!self)
            return;
        // Between slow handlers the kernel's buffer fills fast: keep emptying it.
        if (i % kDrainEvery == kDrainEvery - 1)
            drain();
    }
    if (!m_queue.empty() && !m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &TNMUDP::deliverQueued, Qt::QueuedConnection);
    }
    // What the kernel still holds (a full queue, a bounded drain) keeps the
    // level-triggered notifier firing.
}

void TNMUDP::clearQueue()
{
    m_queue.clear();
    m_queuedBytes = 0;
}

void TNMUDP::ReadStream(QByteArray &data) const
{
    data = m_last;
}

void TNMUDP::SendStream(const QByteArray &block)
{
    QPointer<TNMUDP> self(this);
    QByteArray data = block;
    if (data.isEmpty()) {
        bool handled = false;
        // A copy: the handler may destroy the component and with it the member.
        auto handler = OnStreamInvalid;
        if (handler)
            handler(handled, data);
        if (!self)
            return;
        if (!handled || data.isEmpty())
            throw WireError(QStringLiteral("Invalid stream"));
    }
    if (data.size() > MaxDatagram)
        throw WireError(QStringLiteral("Datagram too large: %1 bytes (at most %2)")
                            .arg(data.size()).arg(MaxDatagram));

    const quint32 address = resolveRemoteHost();
    if (!self)
        return;  // destroyed while the name was looked up: nothing left to send with
    if (address == 0)
        throw UDPSockError(QStringLiteral("Null Remote Address"));

    if (m_socket) {
        // A socket whose bind failed gets a port of its own now, as an
        // unbound socket does on its first send; kept IPv4 so replies that
        // it receives name their sender in dotted form.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            m_socket->bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
        watchSocket();
        m_socket->writeDatagram(data, QHostAddress(address), quint16(RemotePort & 0xFFFF));
    }
    emit dataSent();
}

quint32 TNMUDP::resolveRemoteHost()
{
    const QString name = RemoteHost;
    if (name.isEmpty())
        return 0;
    quint32 address = 0;
    if (parseDotted(name, &address))
        return address;

    QPointer<TNMUDP> self(this);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Events keep flowing while the name is looked up; the lookup keeps
        // the name it started with even if RemoteHost changes meanwhile.
        QEventLoop loop;
        bool done = false;
        bool found = false;
        const auto onResult = [&](const QHostInfo &info) {
            if (info.error() == QHostInfo::NoError) {
                const auto addresses = info.addresses();
                for (const QHostAddress &a : addresses) {
                    bool isV4 = false;
                    const quint32 v4 = a.toIPv4Address(&isV4);
                    if (isV4) {
                        address = v4;
                        found = true;
                        break;
                    }
                }
            }
            done = true;
            loop.quit();
        };
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        const int id = QHostInfo::lookupHost(name, &loop, onResult);
        if (!done)
            loop.exec();
        if (!self) {
            QHostInfo::abortHostLookup(id);
            return 0;
        }
        if (found)
            return address;

        if (attempt == 1)
            break;  // the one retry that a handler may ask for has failed too
        bool handled = false;
        auto handler = OnInvalidHost;
        if (handler)
            handler(handled);
        if (!self)
            return 0;
        if (!handled)
            break;
    }
    throw UDPSockError(QStringLiteral("Host Lookup Canceled"));
}
