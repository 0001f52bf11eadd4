#include "core/net/groupsocket.h"

#include "core/net/datagraminbox.h"

#include <QHostAddress>
#include <QPointer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

// Dotted IPv4 text as inet_addr reads it; false for anything else.
bool parseGroup(const QString &text, in_addr *address)
{
    if (text.contains(QChar(0)))
        return false;
    return inet_aton(text.toLatin1().constData(), address) != 0;
}

// An IPv6 multicast address with its zone: the address bytes and the
// interface index (0 without a zone); false for anything else.
bool parseGroup6(const QString &text, in6_addr *address, unsigned *interfaceIndex)
{
    QHostAddress group;
    if (!group.setAddress(text) || group.protocol() != QAbstractSocket::IPv6Protocol || !group.isMulticast())
        return false;
    const Q_IPV6ADDR bytes = group.toIPv6Address();
    std::memcpy(address, &bytes, sizeof *address);
    *interfaceIndex = 0;
    const QString zone = group.scopeId();
    if (!zone.isEmpty()) {
        bool numeric = false;
        *interfaceIndex = zone.toUInt(&numeric);
        if (!numeric)
            *interfaceIndex = ::if_nametoindex(zone.toLocal8Bit().constData());
        if (*interfaceIndex == 0)
            return false;  // no such interface
    }
    return true;
}

}  // namespace

GroupSocket::GroupSocket(QObject *parent) : QObject(parent) {}

GroupSocket::~GroupSocket() { close(); }

int GroupSocket::create(int family)
{
    close();
    m_family = family;
    m_interface = 0;
    m_fd = ::socket(family, SOCK_DGRAM, 0);
    if (m_fd >= 0 && family == AF_INET6) {
        // The group's own family only: an IPv4 datagram to the port is not
        // the group's.
        const int v6Only = 1;
        ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only);
    }
    return m_fd < 0 ? errno : 0;
}

int GroupSocket::bindAny(int port)
{
    if (m_family == AF_INET6) {
        sockaddr_in6 local {};
        local.sin6_family = AF_INET6;
        local.sin6_port = htons(quint16(port & 0xFFFF));
        local.sin6_addr = in6addr_any;
        return ::bind(m_fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) < 0 ? errno : 0;
    }
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_port = htons(quint16(port & 0xFFFF));
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(m_fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) < 0)
        return errno;
    return 0;
}

int GroupSocket::boundPort() const
{
    sockaddr_storage local {};
    socklen_t size = sizeof local;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &size) < 0)
        return 0;
    if (local.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(local).sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in &>(local).sin_port);
}

int GroupSocket::join(const QString &groupAddress)
{
    if (m_family == AF_INET6) {
        ipv6_mreq membership {};
        unsigned index = 0;
        if (!parseGroup6(groupAddress, &membership.ipv6mr_multiaddr, &index))
            return EINVAL;
        membership.ipv6mr_interface = index;
        if (::setsockopt(m_fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &membership, sizeof membership) < 0)
            return errno;
        m_interface = index;
        // What is sent goes out on the joined interface, and this socket
        // hears its own datagrams as every other member does.
        const int loop = 1;
        if (index != 0 && ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) < 0)
            return errno;
        if (::setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &loop, sizeof loop) < 0)
            return errno;
        return 0;
    }
    ip_mreq membership {};
    if (!parseGroup(groupAddress, &membership.imr_multiaddr))
        return EINVAL;
    membership.imr_interface.s_addr = htonl(INADDR_ANY);
    if (::setsockopt(m_fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) < 0)
        return errno;
    return 0;
}

void GroupSocket::enableReadNotification()
{
    if (m_fd < 0 || m_inbox)
        return;
    const int fd = m_fd;
    m_inbox = new DatagramInbox(
        fd,
        [fd](Datagram *out, int max) {
            sockaddr_storage from[DatagramReadBatch];  // group datagrams name no sender
            return receiveDatagrams(fd, out, from, max);
        },
        [this](Datagram &d) {
            QPointer<GroupSocket> self(this);
            m_current = d.failed ? QByteArray() : std::move(d.data);
            m_hasCurrent = true;
            emit readyRead();
            if (self) {
                m_hasCurrent = false;
                m_current.clear();
            }
        },
        this);
}

QByteArray GroupSocket::readDatagram()
{
    if (m_hasCurrent) {
        m_hasCurrent = false;
        return std::exchange(m_current, QByteArray());
    }
    if (m_fd < 0)
        return QByteArray();
    Datagram d;
    sockaddr_storage from;
    if (!receiveDatagram(m_fd, d, &from) || d.failed)
        return QByteArray();
    return d.data;
}

qint64 GroupSocket::sendTo(const QByteArray &block, const QString &groupAddress, int port, int *error)
{
    if (m_family == AF_INET6) {
        sockaddr_in6 target {};
        target.sin6_family = AF_INET6;
        target.sin6_port = htons(quint16(port & 0xFFFF));
        unsigned index = 0;
        if (!parseGroup6(groupAddress, &target.sin6_addr, &index)) {
            if (error)
                *error = EINVAL;
            return -1;
        }
        target.sin6_scope_id = index != 0 ? index : m_interface;
        const ssize_t n = ::sendto(m_fd, block.constData(), size_t(block.size()), MSG_DONTWAIT,
                                   reinterpret_cast<const sockaddr *>(&target), sizeof target);
        if (error)
            *error = n < 0 ? errno : 0;
        return n;
    }
    sockaddr_in target {};
    target.sin_family = AF_INET;
    target.sin_port = htons(quint16(port & 0xFFFF));
    if (!parseGroup(groupAddress, &target.sin_addr)) {
        if (error)
            *error = EINVAL;
        return -1;
    }
    const ssize_t n = ::sendto(m_fd, block.constData(), size_t(block.size()), MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr *>(&target), sizeof target);
    if (error)
        *error = n < 0 ? errno : 0;
    return n;
}

// The inbox's notifier goes before the descriptor it watches. The inbox is
// freed later because close() may run from inside its own delivery (a
// receiver that deletes the endpoint).
void GroupSocket::close()
{
    if (m_inbox) {
        m_inbox->close();
        m_inbox->setParent(nullptr);
        m_inbox->deleteLater();
        m_inbox = nullptr;
    }
    m_hasCurrent = false;
    m_current.clear();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
