#include "ptypair.h"

#include "testsupport.h"

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return;
    const char *name = ::ptsname(m_master);
    if (!name)
        return;
    m_path = QString::fromLocal8Bit(name);
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw {};
    if (m_slave >= 0 && ::tcgetattr(m_slave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
    }
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::write(const QByteArray &data, int timeoutMs)
{
    qsizetype done = 0;
    bool failed = m_master < 0;
    WaitFor(
        [&] {
            while (!failed && done < data.size()) {
                const ssize_t n = ::write(m_master, data.constData() + done, size_t(data.size() - done));
                if (n > 0)
                    done += n;
                else if (n < 0 && errno == EINTR)
                    continue;
                else if (n < 0 && errno == EAGAIN)
                    return false;  // full: the other side reads first
                else
                    failed = true;
            }
            return true;
        },
        timeoutMs);
    return !failed && done == data.size();
}

QByteArray PtyPair::read(qsizetype n, int timeoutMs)
{
    QByteArray got;
    WaitFor(
        [&] {
            char buffer[4096];
            ssize_t r;
            while (m_master >= 0 && got.size() < n && (r = ::read(m_master, buffer, sizeof buffer)) > 0)
                got.append(buffer, r);
            return got.size() >= n;
        },
        timeoutMs);
    return got;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
