#pragma once
// The "UDP Group" endpoint: a raw datagram socket joined to an IPv4
// multicast group; it sends to the group address and port.

#include "core/endpoints/endpoint.h"

#include "core/net/groupsocket.h"

#include <QPointer>

class KindDescriptor;

class UdpGroupEndpoint : public Endpoint
{
    Q_OBJECT
public:
    // What the program asks about the kind (kinddescriptor.h).
    static const KindDescriptor &descriptor();
    enum class Path {
        Dialog,
        ParamLine
    };  // which failure texts are shown

    // Always creates and registers the endpoint; each failure (socket,
    // bind, join) is shown as a message and creation goes on.
    static UdpGroupEndpoint *create(EndpointRegistry &registry, const QString &groupAddress, int port,
                                    Path path);
    ~UdpGroupEndpoint() override;

    GroupSocket *socket() const { return m_socket; }
    QString groupAddress() const { return localAddress(); }
    int groupPort() const { return localPort(); }

    // One datagram to the group address and port, with the failure boxes.
    bool send(const QByteArray &block) override;
    void closeForDeletion() override;
    // The port the socket is bound to (the system's choice for port 0).
    int portInUse() const override;

private:
    UdpGroupEndpoint(EndpointRegistry &registry, const QString &groupAddress, int port);
    void setUp(Path path);

    QPointer<GroupSocket> m_socket;
};
