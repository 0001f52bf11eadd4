#include "core/net/portprobe.h"

#include "core/errors.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <cerrno>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

int probeIPv4(quint32 hostOrder, uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return errno;
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(hostOrder);
    addr.sin_port = htons(port);
    const int error = ::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// 0: usable, else the error (EAFNOSUPPORT: the system has no IPv6).
int probeIPv6(const QHostAddress &address, bool dualStack, uint16_t port)
{
    const int fd = ::socket(AF_INET6, SOCK_DGRAM, 0);
    if (fd < 0)
        return errno;
    const int v6Only = dualStack ? 0 : 1;
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6Only, sizeof v6Only);
    sockaddr_in6 addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin6_family = AF_INET6;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    std::memcpy(&addr.sin6_addr, &bytes, sizeof addr.sin6_addr);
    addr.sin6_scope_id =
        uint32_t(address.scopeId().isEmpty() ? 0 : ::if_nametoindex(address.scopeId().toLocal8Bit()));
    if (addr.sin6_scope_id == 0)
        addr.sin6_scope_id = address.scopeId().toUInt();
    addr.sin6_port = htons(port);
    const int error = ::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace

bool portProbe(int port, const QHostAddress &address) { return portProbeError(port, address) == 0; }

int portProbeError(int port, const QHostAddress &address)
{
    const auto p = uint16_t(unsigned(port) & 0xFFFFu);
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
        return probeIPv4(address.toIPv4Address(), p);
    const bool any =
        address == QHostAddress(QHostAddress::Any) || address == QHostAddress(QHostAddress::AnyIPv6);
    const int v6 = probeIPv6(any ? QHostAddress(QHostAddress::AnyIPv6) : address,
                             address == QHostAddress(QHostAddress::Any), p);
    if (v6 == EAFNOSUPPORT && any)
        return probeIPv4(INADDR_ANY, p);
    return v6;
}

int checkedPort(const QString &name, int value)
{
    if (value < 0 || value > 65535)
        throw RangeError(
            QCoreApplication::translate("Ports", "%1 %2 不是 0–65535 之间的端口号").arg(name).arg(value));
    return value;
}
