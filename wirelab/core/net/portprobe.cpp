#include "core/net/portprobe.h"

#include "core/errors.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

bool portProbe(int port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(uint16_t(unsigned(port) & 0xFFFFu));
    const bool usable = ::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return usable;
}

int checkedPort(const QString &name, int value)
{
    if (value < 0 || value > 65535)
        throw RangeError(
            QCoreApplication::translate("Ports", "%1 %2 不是 0–65535 之间的端口号").arg(name).arg(value));
    return value;
}
