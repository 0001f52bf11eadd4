#include "core/endpoints/udpendpoint.h"

#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/net/datagramsocket.h"
#include "guard.h"

#include <memory>

UdpEndpoint::UdpEndpoint(EndpointKind kind, EndpointRegistry &registry, int localPort,
                         const QHostAddress &bind)
    : Endpoint(kind, registry)
{
    // Freed at exit with the registry, or on deletion; binding errors leave
    // here with nothing behind.
    std::unique_ptr<DatagramSocket> socket(new DatagramSocket(&registry));
    socket->setBindAddress(bind);
    socket->setLocalPort(localPort);
    m_socket = socket.release();
    setLocalPort(m_socket->localPort());

    const QPointer<UdpEndpoint> self(this);
    connect(m_socket, &DatagramSocket::dataReceived, m_socket,
            [self](int byteCount, const QString &fromIP, int port) {
                Guarded([&] {
                    if (byteCount < 0 || !self || !self->m_socket)
                        return;  // a failed read, or nobody to tell
                    // Exactly byteCount bytes of the datagram being reported.
                    QByteArray data;
                    self->m_socket->readStream(data);
                    data.truncate(byteCount);
                    self->datagram(data, fromIP, port);
                });
            });
}

UdpEndpoint::~UdpEndpoint() { closeForDeletion(); }

bool UdpEndpoint::send(const QByteArray &block)
{
    if (!isActive()) {
        appendLine(tr("发送失败，连接已断开"), LineKind::SendFailed);
        return false;
    }
    if (!m_socket)
        return false;
    // A block that cannot be sent as a datagram throws (the caller tells
    // it); the log keeps it with this endpoint either way.
    const QPointer<UdpEndpoint> self(this);
    QString why;
    try {
        if (m_socket->sendStream(block, &why))
            return true;
    } catch (const WireError &e) {
        if (self)
            logNotice(tr("发送失败：%1").arg(e.message()));
        throw;
    }
    if (self)
        logNotice(tr("发送失败：%1").arg(why));
    return false;
}

void UdpEndpoint::closeForDeletion()
{
    if (m_socket) {
        m_socket->closeSocket();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

int UdpEndpoint::portInUse() const { return m_socket ? m_socket->boundPort() : localPort(); }
