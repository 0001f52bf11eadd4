#include "core/net/groupsocket.h"

#include "core/net/datagraminbox.h"

#include <QPointer>

#include <arpa/inet.h>
#include <cerrno>
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

}  // namespace

GroupSocket::GroupSocket(QObject *parent) : QObject(parent) {}

GroupSocket::~GroupSocket() { close(); }

int GroupSocket::create()
{
    close();
    m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    return m_fd < 0 ? errno : 0;
}

int GroupSocket::bindAny(int port)
{
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
    sockaddr_in local {};
    socklen_t size = sizeof local;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&local), &size) < 0)
        return 0;
    return ntohs(local.sin_port);
}

int GroupSocket::join(const QString &groupAddress)
{
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
        [fd](Datagram &d) {
            sockaddr_storage from;  // group datagrams name no sender
            return receiveDatagram(fd, d, &from);
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
