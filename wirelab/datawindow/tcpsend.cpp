#include "tcpsend.h"

#include <QEventLoop>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace TcpSend {

namespace {

bool MustWait(const QPointer<QTcpSocket> &s, qint64 limit)
{
    return s && s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() > limit;
}

} // namespace

bool Send(QTcpSocket *socket, const QByteArray &block, qint64 pendingLimit)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // The socket keeps the whole block (shared, not copied) in its output
    // queue; flush hands the kernel what it takes right away.
    socket->write(block);
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

} // namespace TcpSend
