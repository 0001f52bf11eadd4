#pragma once
// A connection accepted by a TCP server ("TCP ServerClient"): its peer
// address and port, the number that ends its name, and the socket.

#include "core/endpoints/endpoint.h"

#include <QPointer>

#include <memory>

class QTcpSocket;
class TcpServerEndpoint;
class TcpSocketHandlers;

class KindDescriptor;

class TcpConnectionEndpoint : public Endpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    ~TcpConnectionEndpoint() override;

    // The number that ends the connection's name (never reused in a run).
    int number() const { return m_number; }
    TcpServerEndpoint *server() const;
    QTcpSocket *socket() const;

    // The stop command and the DISCONNECT action: hands the kernel what it
    // takes of the pending output, then closes at once (OnDisConnect comes
    // from inside this call).
    void stop() override;
    void closeConnection() override;
    bool send(const QByteArray &block) override;
    void closeForDeletion() override;

    // What the server's handlers of this connection call.
    // Reports every byte waiting on the socket (a read handler).
    void readAvailable();
    // The peer closed or the connection was closed: the last bytes, then
    // state 0 and OnDisConnect; the socket is freed once its handlers end.
    void peerGone();
    // The addresses shown once the connection is set up.
    void takeAddresses();
    const std::shared_ptr<TcpSocketHandlers> &handlers() const { return m_handlers; }

private:
    friend class TcpServerEndpoint;
    TcpConnectionEndpoint(EndpointRegistry &registry, TcpServerEndpoint *server, QTcpSocket *socket,
                          const QString &peerAddress, int peerPort, int localPort);
    void close();

    QPointer<TcpServerEndpoint> m_server;
    std::shared_ptr<TcpSocketHandlers> m_handlers;
    int m_number;
    // Copied when the connection was taken: the socket forgets them once
    // the peer has closed.
    QString m_peerAddress;
    int m_peerPort;
    int m_acceptedLocalPort;
};
