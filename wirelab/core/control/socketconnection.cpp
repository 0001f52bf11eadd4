#include "core/control/socketconnection.h"

#include "guard.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SocketConnection::SocketConnection(int fd, QObject *parent)
    : ControlConnection(parent),
      m_fd(fd),
      m_reader(new QSocketNotifier(fd, QSocketNotifier::Read, this)),
      m_writer(new QSocketNotifier(fd, QSocketNotifier::Write, this))
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_writer->setEnabled(false);
    connect(m_reader, &QSocketNotifier::activated, this, guard([this] { readable(); }));
    connect(m_writer, &QSocketNotifier::activated, this, guard([this] { writeOut(); }));
    connect(this, &ControlConnection::finished, this, &SocketConnection::closeIfDone);
}

SocketConnection::~SocketConnection()
{
    // The notifiers go before their descriptor.
    delete m_reader;
    delete m_writer;
    if (m_fd >= 0)
        ::close(m_fd);
}

void SocketConnection::write(const QByteArray &bytes)
{
    if (m_fd < 0 || m_peerGone)
        return;
    m_out += bytes;
    writeOut();
}

void SocketConnection::flushAnswers(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (m_fd >= 0 && !m_peerGone && !m_out.isEmpty() && !deadline.hasExpired()) {
        pollfd p {m_fd, POLLOUT, 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            break;
        writeOut();
    }
}

void SocketConnection::readMore()
{
    if (m_fd >= 0 && !ended())
        m_reader->setEnabled(true);
}

void SocketConnection::readable()
{
    const Read read = readFrom(m_fd, m_reader);
    if (read == Read::Some || read == Read::Nothing)
        return;
    if (read == Read::Failure)
        m_peerGone = true;
    // The client sends no more; what it sent whole is still answered.
    inputEnded();
    closeIfDone();
}

void SocketConnection::writeOut()
{
    while (m_fd >= 0 && !m_peerGone && !m_out.isEmpty()) {
        const ssize_t n = ::send(m_fd, m_out.constData(), size_t(m_out.size()), MSG_NOSIGNAL);
        if (n > 0) {
            m_out.remove(0, qsizetype(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        lost();
        return;
    }
    const bool waiting = m_fd >= 0 && !m_peerGone && !m_out.isEmpty();
    m_writer->setEnabled(waiting);
    if (!waiting) {
        if (mayAnswer())
            Q_EMIT ready();
        closeIfDone();
    }
}

void SocketConnection::lost()
{
    m_peerGone = true;
    m_out.clear();
    m_writer->setEnabled(false);
    closeIfDone();
}

void SocketConnection::closeIfDone()
{
    if (m_fd < 0 || !drained() || (!m_out.isEmpty() && !m_peerGone))
        return;
    m_reader->setEnabled(false);
    m_writer->setEnabled(false);
    ::close(m_fd);
    m_fd = -1;
    Q_EMIT connectionClosed();
}
