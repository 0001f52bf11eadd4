#pragma once
// Sending one block on a TCP connection (a client's socket or an accepted
// connection): every byte is queued, in order, and never dropped; while the
// peer reads slowly the caller waits, letting events through, until the
// socket's pending output is back under a limit, so memory stays bounded.

#include <QByteArray>
#include <QtGlobal>

class QTcpSocket;

namespace TcpSend {

// Pending output above which Send waits for the peer to catch up.
constexpr qint64 PendingLimit = qint64(1) << 20;

// Returns false when the socket is missing or not connected (nothing queued).
// Otherwise queues the whole block and returns true once the pending output
// is at most PendingLimit or the connection is gone. Events are processed
// while it waits: the socket (and anything else) may be gone afterwards.
bool Send(QTcpSocket *socket, const QByteArray &block, qint64 pendingLimit = PendingLimit);

}  // namespace TcpSend
