#include "core/endpoints/tcpsockethandlers.h"

#include "core/net/tcpsend.h"

TcpSocketHandlers::TcpSocketHandlers(QTcpSocket *socket) : m_socket(socket) {}

void TcpSocketHandlers::leave()
{
    if (--m_busy == 0 && m_disposePending && m_socket) {
        m_disposePending = false;
        m_socket->deleteLater();
    }
}

void TcpSocketHandlers::dispose()
{
    if (!m_socket)
        return;
    if (m_busy > 0)
        m_disposePending = true;
    else
        m_socket->deleteLater();
}

void TcpSocketHandlers::closeNow()
{
    if (!m_socket)
        return;
    // A graceful close would wait for a slow reader, possibly for ever, and
    // a deletion meanwhile would lose the OnDisConnect.
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->flush();
    m_socket->abort();
}

bool TcpSocketHandlers::send(const QByteArray &block)
{
    // The connection can be gone while the endpoint still says active (its
    // disconnect notification not yet handled): nothing is sent then.
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // May handle events while it waits for the peer.
    TcpSend::Send(m_socket, block);
    return true;
}
