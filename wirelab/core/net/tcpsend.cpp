#include "core/net/tcpsend.h"

#include <QEventLoop>
#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace TcpSend {

namespace {

// Hands the kernel what it takes of the block right away when nothing is
// queued before it. QTcpSocket::write would switch its write notifier on and
// flush() off again, and each switch wakes the event loop (two wake-ups and
// an extra pass for every small answer). Returns how many bytes went out;
// anything it cannot send now (a full socket buffer, an error) is left to
// the socket, which queues it or reports the error as usual.
qint64 SendNow(QTcpSocket *socket, const QByteArray &block)
{
#if defined(Q_OS_UNIX) && defined(MSG_NOSIGNAL)
    // An encrypted socket's descriptor carries TLS records: the bytes must
    // go through the socket, which encrypts them.
    if (socket->bytesToWrite() > 0 || block.isEmpty() || qobject_cast<QSslSocket *>(socket))
        return 0;
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return 0;
    qint64 sent = 0;
    while (sent < block.size()) {
        const ssize_t n = ::send(int(fd), block.constData() + sent, size_t(block.size() - sent),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    return sent;
#else
    Q_UNUSED(socket);
    Q_UNUSED(block);
    return 0;
#endif
}

bool MustWait(const QPointer<QTcpSocket> &s, qint64 limit)
{
    return s && s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() > limit;
}

}  // namespace

bool Send(QTcpSocket *socket, const QByteArray &block, qint64 pendingLimit)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    const qint64 sent = SendNow(socket, block);
    if (sent == block.size())
        return true;
    // The socket keeps the rest (shared, not copied, when nothing went out)
    // in its output queue; flush hands the kernel what it takes right away.
    socket->write(sent == 0 ? block : block.mid(sent));
    socket->flush();

    QPointer<QTcpSocket> s(socket);
    if (!MustWait(s, pendingLimit))
        return true;

    QEventLoop loop;
    auto check = [&loop, &s, pendingLimit] {
        if (!MustWait(s, pendingLimit))
            loop.quit();
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, &loop, check);
    QObject::connect(socket, &QTcpSocket::stateChanged, &loop, check);
    QObject::connect(socket, &QObject::destroyed, &loop, &QEventLoop::quit);
    // A slow poll besides the signals, so a missed notification cannot keep
    // the wait going.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(10);
    // A nested handler's own wait may be running when this loop is told to
    // quit; the condition is checked again before waiting on.
    while (MustWait(s, pendingLimit))
        loop.exec();
    return true;
}

}  // namespace TcpSend
