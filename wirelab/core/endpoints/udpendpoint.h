#pragma once
// What the "UDP Client" and "UDP Server" endpoints share: the datagram
// socket they receive and send through.

#include "core/endpoints/endpoint.h"

#include "core/net/datagramsocket.h"

#include <QHostAddress>
#include <QPointer>

class UdpEndpoint : public Endpoint
{
    Q_OBJECT
public:
    ~UdpEndpoint() override;

    DatagramSocket *socket() const { return m_socket; }

    // One datagram to the socket's destination (its errors are thrown).
    bool send(const QByteArray &block) override;
    void closeForDeletion() override;
    int portInUse() const override;

protected:
    // The socket is bound to localPort on bind (the any-address of both
    // families by default; the port must have passed portProbe); an error
    // while binding leaves here with nothing made.
    UdpEndpoint(EndpointKind kind, EndpointRegistry &registry, int localPort,
                const QHostAddress &bind = QHostAddress(QHostAddress::Any));
    // One datagram of byteCount bytes from fromIP:port (a negative count: a
    // failed read, ignored).
    virtual void datagram(const QByteArray &data, const QString &fromIP, int port) = 0;

private:
    QPointer<DatagramSocket> m_socket;
};
