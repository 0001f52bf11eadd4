#pragma once
// The six endpoint kinds, their names as users and scripts write them, and
// the state an endpoint is in.

#include <QString>

#include <array>
#include <optional>

enum class EndpointKind {
    TcpServer,
    TcpClient,
    UdpServer,
    UdpClient,
    UdpGroup,
    TcpConnection,  // a connection accepted by a TCP server
};

// The kinds that have a root of their own in the tree, in display order.
inline constexpr std::array<EndpointKind, 5> RootKinds = {
    EndpointKind::TcpServer, EndpointKind::TcpClient, EndpointKind::UdpServer,
    EndpointKind::UdpClient, EndpointKind::UdpGroup,
};

// "TCP Server", "TCP Client", "UDP Server", "UDP Client", "UDP Group",
// "TCP ServerClient".
QString kindName(EndpointKind kind);
// The kind a name stands for, compared exactly and case-sensitively.
std::optional<EndpointKind> kindFromName(const QString &name);

// Active: listening, connected, or able to send.
enum class EndpointState {
    Inactive = 0,
    Active = 1
};

// The images a tree node shows for its endpoint, numbered as users know them.
enum class StateImage {
    None = 0,
    Connected = 1,
    Disconnected = 2,
    Listening = 3,
    NotListening = 4,
    Udp = 5,
    Group = 6,
    KindRoot = 7,
};
