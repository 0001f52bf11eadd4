#pragma once
// DatagramSocket: a non-visual datagram component on the GUI thread. It owns one
// dual-stack datagram socket (IPv6, taking IPv4 as mapped addresses); setting
// LocalPort (re)binds it to every address, or the one set as bind address, and
// that port (a port in use leaves it unbound, silently); every datagram that
// arrives is reported once through dataReceived(byteCount, fromIP, port),
// inside which readStream() hands out its bytes; sendStream() sends a block
// as one datagram to remoteHost:remotePort (either family), looking host
// names up without blocking the event loop. Senders are told as scripts see
// them (peerAddressText(): an IPv4 sender dotted).
//
// Datagrams are received whole up to the largest UDP payload (65,507 bytes).
// A block larger than one datagram can carry is refused with an error.
//
// Datagrams go through a DatagramInbox: read as they arrive, reported a
// batch per pass of the event loop.

#include "core/net/datagraminbox.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QUdpSocket;

class DatagramSocket : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxDatagram = 65507;

    explicit DatagramSocket(QObject *parent = nullptr);
    ~DatagramSocket() override;

    int localPort() const { return m_localPort; }
    void setLocalPort(int port);  // closes any socket, opens and binds a new one
    // The one address later binds use (default: every address of both
    // families); takes effect with the next setLocalPort().
    void setBindAddress(const QHostAddress &address) { m_bindAddress = address; }
    bool isBound() const;
    // The port the socket is bound to (the one the system chose for 0);
    // localPort() when it is not bound.
    int boundPort() const;

    QString remoteHost;
    int remotePort = 0;

    // Copies the datagram being reported into data (replacing its content).
    // Meant for use inside dataReceived.
    void readStream(QByteArray &data) const;

    // Sends block as one datagram. Throws WireError "Invalid stream" for an
    // empty block (unless onStreamInvalid sets handled and the block is then
    // not empty), UDPSockError "Null Remote Address" for an empty or 0.0.0.0
    // destination, UDPSockError "Host Lookup Canceled" when the name does not
    // resolve (onInvalidHost may ask for one retry), and WireError for a block
    // over MaxDatagram bytes. A send the system refuses (no route, its
    // buffer full) throws nothing: false, and why when asked.
    bool sendStream(const QByteArray &block, QString *why = nullptr);

    // Closes the socket; nothing is received afterwards.
    void closeSocket();

    // Datagrams read from the socket and not reported yet.
    int queuedCount() const { return m_inbox ? m_inbox->queuedCount() : 0; }

    std::function<void(bool &handled)> onInvalidHost;
    std::function<void(bool &handled, QByteArray &block)> onStreamInvalid;

Q_SIGNALS:
    // One per datagram; byteCount -1 for a failed read (receivers ignore it).
    void dataReceived(int byteCount, const QString &fromIP, int port);
    void dataSent();

private:
    void watchSocket();
    int readSome(int fd, Datagram *out, int max);  // DatagramInbox::ReadSome
    QHostAddress resolveRemoteHost();  // null for an empty host; throws
    void openSocket();
    void dropSocket();

    QUdpSocket *m_socket = nullptr;
    QPointer<DatagramInbox> m_inbox;
    int m_localPort = 0;
    QByteArray m_last;
    QHostAddress m_bindAddress {QHostAddress::Any};
    sockaddr_storage m_lastFrom {};  // sender of the last datagram read
    QString m_lastFromText;
};
