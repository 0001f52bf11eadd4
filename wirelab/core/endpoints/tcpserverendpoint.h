#pragma once
// The "TCP Server" endpoint on QTcpServer, listening on every IPv4 and
// IPv6 address, or on the one address BIND names. Every connection it accepts becomes an endpoint of its own
// (TcpConnectionEndpoint) under it, named "<server name>_<number>".
//
// Setting a connection up (its endpoint, its views, the script's
// OnConnect) takes milliseconds and QTcpServer takes a whole backlog in one
// notification, so connections are taken at once and set up a few
// milliseconds' worth per pass of the event loop, in order, as one batch
// of the registry; closes by the peers are handled the same way.

#include "core/endpoints/endpoint.h"

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>

#include <exception>
#include <memory>

class QTcpSocket;
class TcpConnectionEndpoint;

class KindDescriptor;

class TcpServerEndpoint : public Endpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    // Creates and registers the server and tries to listen on bind (an
    // address; empty: every address): on failure "该端口已被占用,监听未启动!"
    // is shown and the server stays, not listening. A bind that is not an
    // address throws WireError and makes nothing.
    static TcpServerEndpoint *create(EndpointRegistry &registry, int port, const QString &bind = QString());
    ~TcpServerEndpoint() override;

    // "启动监听": listens again; "Socket端口已经被占用!" on failure.
    void start() override;
    // "停止监听": closes every accepted connection, then the listening socket.
    void stop() override;
    // Servers send nothing; a stopped one says it cannot.
    bool send(const QByteArray &block) override;
    // Not while it holds live connections.
    bool mayDelete() const override;
    void closeForDeletion() override;
    // Window close: stops listening without closing the connections.
    void closeListener();

    // Live accepted connections (for tests and the deletion rule).
    int liveConnections() const;
    QTcpServer *listener() const;
    int portInUse() const override;

    // Defined with the implementation: the connections waiting to be set
    // up or closed, one taken connection, one accepted connection as its
    // handlers see it.
    struct Queues;
    struct Taken;
    struct Link;

protected:
    // A server of another kind on its own listener (a TLS server's).
    // bind as the user wrote it, address what it stands for (bindAddress).
    TcpServerEndpoint(EndpointKind kind, EndpointRegistry &registry, int port, const QString &bind,
                      const QHostAddress &address, QTcpServer *listener);
    // Registers a new server and tries to listen, as create() does.
    static TcpServerEndpoint *adoptAndListen(EndpointRegistry &registry, TcpServerEndpoint *server);
    // A connection is registered and about to be told to the script.
    virtual void connectionReady(TcpConnectionEndpoint &) {}
    // Takes every connection the listener holds ready.
    void acceptWaiting();

private:
    TcpServerEndpoint(EndpointRegistry &registry, int port, const QString &bind, const QHostAddress &address);
    bool listen();
    // Whether the last failed listen failed for a port in use.
    bool portWasBusy() const;
    QList<QTcpSocket *> heldConnections() const;
    void scheduleSetUp();
    void setUpWaiting();
    void setUpOne();
    Link acceptOne(const Taken &taken, std::exception_ptr &failure);
    void attach(const Link &connection);

    QPointer<QTcpServer> m_server;
    std::shared_ptr<Queues> m_queues;
    QHostAddress m_bind;
};
