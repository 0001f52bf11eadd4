#pragma once
// The "TCP Client" endpoint on QTcpSocket: created disconnected, connected
// by "连接" or the CONNECT action, closed by "断开" (the stop command) or the
// DISCONNECT action. Every connect and disconnect is told to the script.

#include "core/endpoints/endpoint.h"

#include <QAbstractSocket>

#include <memory>

class QTcpSocket;
class TcpSocketHandlers;

class KindDescriptor;

class TcpClientEndpoint : public Endpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the client, disconnected.
    static TcpClientEndpoint *create(EndpointRegistry &registry, const QString &host, int port);
    ~TcpClientEndpoint() override;

    QTcpSocket *socket() const;

    // "连接": open(), showing "连接失败!" when it cannot start; then the local
    // port is read and the status refreshed.
    void start() override;
    // "断开": closes the connection and sets the state to 0.
    void stop() override;
    // Starts a non-blocking connect (IPv4 or IPv6); throws WireError "连接失败!" when
    // it cannot start. Already connecting or connected: nothing changes.
    void open() override;
    // Hands the kernel what it takes of the pending output, then closes at
    // once (OnDisConnect comes from inside this call).
    void closeConnection() override;
    bool send(const QByteArray &block) override;
    void closeForDeletion() override;

protected:
    // A client of another kind on its own socket (a TLS client's).
    TcpClientEndpoint(EndpointKind kind, EndpointRegistry &registry, const QString &host, int port,
                      QTcpSocket *socket);
    // Starts the connect of an unconnected socket to the remote host.
    virtual void beginConnect();
    // The socket connected: a plain client is connected now.
    virtual void onSocketConnected() { onConnected(); }
    // An error of the socket other than the peer closing a connection that
    // was set up: a notice with the reason, and OnSocketError.
    virtual void onSocketError(QAbstractSocket::SocketError error);
    // The connection is set up: state, addresses, OnConnect.
    void onConnected();
    // Whether OnConnect was sent for the current connection.
    bool announced() const { return m_announced; }

private:
    TcpClientEndpoint(EndpointRegistry &registry, const QString &host, int port);
    void onDisconnected();
    void onReadyRead();

    std::shared_ptr<TcpSocketHandlers> m_handlers;
    // The peer of the current connection: Qt forgets it once the socket is
    // unconnected, and OnDisConnect still names it.
    QString m_peerAddress;
    int m_peerPort = 0;
    // Only a connection the script heard of is told to have ended.
    bool m_announced = false;
};
