#include "core/net/datagramsocket.h"

#include "core/errors.h"
#include "core/net/addresstext.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkInterface>
#include <QPointer>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace {

// Dotted IPv4 text as inet_addr reads it (also "127.1", "0x7f.0.0.1").
bool parseDotted(const QString &text, quint32 *hostOrder)
{
    if (text.contains(QChar(0)))
        return false;
    const QByteArray bytes = text.toLatin1();
    in_addr a {};
    if (inet_aton(bytes.constData(), &a) == 0)
        return false;
    *hostOrder = ntohl(a.s_addr);
    return true;
}

// Whether two senders have the same address (ports aside).
bool sameAddress(const sockaddr_storage &a, const sockaddr_storage &b)
{
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET6) {
        const auto &x = reinterpret_cast<const sockaddr_in6 &>(a);
        const auto &y = reinterpret_cast<const sockaddr_in6 &>(b);
        return x.sin6_scope_id == y.sin6_scope_id
            && std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0;
    }
    if (a.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in &>(a).sin_addr.s_addr
            == reinterpret_cast<const sockaddr_in &>(b).sin_addr.s_addr;
    return false;
}

QString senderText(const sockaddr_storage &from)
{
    QHostAddress address(reinterpret_cast<const sockaddr *>(&from));
    if (from.ss_family == AF_INET6) {
        // A link-local sender is only reachable through its interface.
        if (const quint32 index = reinterpret_cast<const sockaddr_in6 &>(from).sin6_scope_id) {
            const QString name = QNetworkInterface::interfaceNameFromIndex(int(index));
            address.setScopeId(name.isEmpty() ? QString::number(index) : name);
        }
    }
    return peerAddressText(address);
}

// Any address of either family: nobody to send to.
bool isNullTarget(const QHostAddress &address)
{
    return address.isNull() || address == QHostAddress(QHostAddress::AnyIPv4)
        || address == QHostAddress(QHostAddress::AnyIPv6);
}

}  // namespace

DatagramSocket::DatagramSocket(QObject *parent) : QObject(parent)
{
    openSocket();  // unbound until LocalPort is set; a send binds it implicitly
}

DatagramSocket::~DatagramSocket() { dropSocket(); }

// The old socket may be the one whose readyRead is being handled right now
// (a receiver can rebind or destroy the component): close it at once, but
// free it only when control is back in the event loop.
void DatagramSocket::dropSocket()
{
    if (!m_socket)
        return;
    QUdpSocket *old = m_socket;
    m_socket = nullptr;
    if (m_inbox) {
        m_inbox->close();  // what it read from this socket is never reported
        m_inbox->deleteLater();
        m_inbox = nullptr;
    }
    disconnect(old, nullptr, this, nullptr);
    old->close();
    old->setParent(nullptr);
    old->deleteLater();
}

void DatagramSocket::openSocket()
{
    dropSocket();
    m_socket = new QUdpSocket(this);
}

// Datagrams are read with recvfrom on the socket's descriptor by an inbox
// with a notifier of its own, rather than through QUdpSocket: its read
// notification is switched off until the next read after a readyRead, so
// reading ahead of its notifications (as the inbox does between handlers)
// could leave it off for good. QUdpSocket still binds and sends.
void DatagramSocket::watchSocket()
{
    if (m_inbox || !m_socket || m_socket->state() != QAbstractSocket::BoundState)
        return;
    const int fd = int(m_socket->socketDescriptor());
    m_inbox = new DatagramInbox(
        fd, [this, fd](Datagram *out, int max) { return readSome(fd, out, max); },
        [this](Datagram &d) {
            if (d.failed) {
                m_last.clear();
                emit dataReceived(-1, QString(), 0);
                return;
            }
            m_last = std::move(d.data);
            emit dataReceived(int(m_last.size()), d.from, d.port);
        },
        this);
}

void DatagramSocket::setLocalPort(int port)
{
    openSocket();
    m_localPort = port;
    // Both families on one socket (Qt makes the any-address dual-stack). No
    // address sharing: a port in use makes the bind fail, which leaves the
    // socket unbound and silent.
    m_socket->bind(m_bindAddress, quint16(port & 0xFFFF), QAbstractSocket::DontShareAddress);
    watchSocket();
}

bool DatagramSocket::isBound() const { return m_socket && m_socket->state() == QAbstractSocket::BoundState; }

int DatagramSocket::boundPort() const { return isBound() ? int(m_socket->localPort()) : m_localPort; }

void DatagramSocket::closeSocket() { dropSocket(); }

int DatagramSocket::readSome(int fd, Datagram *out, int max)
{
    sockaddr_storage from[DatagramReadBatch];
    const int n = receiveDatagrams(fd, out, from, max);
    for (int i = 0; i < n; ++i) {
        if (out[i].failed)
            break;
        // Floods come from one sender: its text is made once.
        if (m_lastFromText.isEmpty() || !sameAddress(from[i], m_lastFrom)) {
            m_lastFrom = from[i];
            m_lastFromText = senderText(from[i]);
        }
        out[i].from = m_lastFromText;
    }
    return n;
}

void DatagramSocket::readStream(QByteArray &data) const { data = m_last; }

bool DatagramSocket::sendStream(const QByteArray &block, QString *why)
{
    QPointer<DatagramSocket> self(this);
    QByteArray data = block;
    if (data.isEmpty()) {
        bool handled = false;
        // A copy: the handler may destroy the component and with it the member.
        auto handler = onStreamInvalid;
        if (handler)
            handler(handled, data);
        if (!self)
            return false;
        if (!handled || data.isEmpty())
            throw WireError(QStringLiteral("Invalid stream"));
    }
    if (data.size() > MaxDatagram)
        throw WireError(
            QStringLiteral("Datagram too large: %1 bytes (at most %2)") .arg(data.size()).arg(MaxDatagram));

    const QHostAddress address = resolveRemoteHost();
    if (!self)
        return false;  // destroyed while the name was looked up: nothing left to send with
    if (isNullTarget(address))
        throw UDPSockError(QStringLiteral("Null Remote Address"));

    if (m_socket) {
        // A socket whose bind failed gets a port of its own now, as an
        // unbound socket does on its first send.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            m_socket->bind(m_bindAddress, 0, QAbstractSocket::DontShareAddress);
        watchSocket();
        // An IPv4 target goes out from the dual-stack socket as its mapped
        // address (Qt converts it).
        if (m_socket->writeDatagram(data, address, quint16(remotePort & 0xFFFF)) < 0) {
            if (why)
                *why = m_socket->errorString();
            return false;
        }
    }
    emit dataSent();
    return true;
}

QHostAddress DatagramSocket::resolveRemoteHost()
{
    const QString name = remoteHost;
    if (name.isEmpty())
        return QHostAddress();
    quint32 dotted = 0;
    if (parseDotted(name, &dotted))
        return QHostAddress(dotted);
    QHostAddress literal;  // an IPv6 address, with its zone ("fe80::1%eth0")
    if (isIPv6Text(name) && literal.setAddress(name))
        return literal;
    QHostAddress address;

    QPointer<DatagramSocket> self(this);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Events keep flowing while the name is looked up; the lookup keeps
        // the name it started with even if remoteHost changes meanwhile.
        QEventLoop loop;
        bool done = false;
        bool found = false;
        const auto onResult = [&](const QHostInfo &info) {
            // The resolver's first address, of either family: a datagram
            // cannot try the next one.
            if (info.error() == QHostInfo::NoError && !info.addresses().isEmpty()) {
                address = info.addresses().constFirst();
                found = true;
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
            return QHostAddress();
        }
        if (found)
            return address;

        if (attempt == 1)
            break;  // the one retry that a handler may ask for has failed too
        bool handled = false;
        auto handler = onInvalidHost;
        if (handler)
            handler(handled);
        if (!self)
            return QHostAddress();
        if (!handled)
            break;
    }
    throw UDPSockError(QStringLiteral("Host Lookup Canceled"));
}
