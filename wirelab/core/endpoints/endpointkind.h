#pragma once
// The endpoint kinds, their names as users and scripts write them, and the
// state an endpoint is in. What a kind is and does is its descriptor
// (kinddescriptor.h); this file only lists the kinds.

#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

enum class EndpointKind {
    TcpServer,
    TcpClient,
    UdpServer,
    UdpClient,
    UdpGroup,
    TcpConnection,  // a connection accepted by a TCP (or TLS) server
    TlsServer,
    TlsClient,
    Serial,
};

// Every kind, in the order of the tree's roots (a kind without a root of
// its own is skipped there). A new kind is added here, to the enumeration
// above and to kindDescriptor() in endpointkind.cpp.
inline constexpr std::array AllKinds = {
    EndpointKind::TcpServer, EndpointKind::TcpClient, EndpointKind::UdpServer, EndpointKind::UdpClient,
    EndpointKind::UdpGroup,  EndpointKind::Serial, EndpointKind::TlsServer, EndpointKind::TlsClient,
    EndpointKind::TcpConnection,
};

// The kinds that have a root of their own in the tree, in display order
// (as their descriptors say).
struct RootKindList
{
    const std::vector<EndpointKind> &kinds() const;
    std::size_t size() const { return kinds().size(); }
    EndpointKind at(std::size_t i) const { return kinds().at(i); }
    auto begin() const { return kinds().begin(); }
    auto end() const { return kinds().end(); }
};
inline constexpr RootKindList RootKinds {};

// "TCP Server", "TCP Client", "UDP Server", "UDP Client", "UDP Group",
// "Serial", "TLS Server", "TLS Client", "TCP ServerClient".
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
