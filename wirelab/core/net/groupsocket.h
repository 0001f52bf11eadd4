#pragma once
// A raw datagram socket for a multicast group, driven through the BSD
// socket calls on the GUI thread. An IPv4 group: no socket option is set
// besides the membership (interface any). An IPv6 group ("ff15::1", with the
// interface as its zone, "ff02::1:3%eth0"): the socket takes IPv6 only, joins
// on that interface (0: the system's choice), sends through it and loops its
// own datagrams back. Received datagrams go through a DatagramInbox: read as they
// arrive, one readyRead() each, a batch per pass of the event loop.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <sys/socket.h>

class DatagramInbox;

class GroupSocket : public QObject
{
    Q_OBJECT
public:
    explicit GroupSocket(QObject *parent = nullptr);
    ~GroupSocket() override;  // closes the socket

    // Each returns 0 on success or the system's error code (errno).
    int create(int family = AF_INET);  // socket(family, SOCK_DGRAM, 0)
    int bindAny(int port);  // bind to 0.0.0.0:(port & 0xFFFF) or [::]:port
    int boundPort() const;  // getsockname's port; 0 when not bound
    // IP_ADD_MEMBERSHIP (interface any), or IPV6_JOIN_GROUP on the zone's
    // interface for an IPv6 group of an IPv6 socket.
    int join(const QString &groupAddress);
    void enableReadNotification();  // readyRead() from now on

    // The datagram being reported (inside readyRead), or else the next one
    // read from the socket: whole, up to 65,507 bytes; empty on failure.
    QByteArray readDatagram();

    // One sendto() of the block to groupAddress:port. Returns the count sent
    // or -1; error receives errno after the call (0 when it succeeded).
    qint64 sendTo(const QByteArray &block, const QString &groupAddress, int port, int *error);

    void close();
    bool isValid() const { return m_fd >= 0; }
    int handle() const { return m_fd; }

Q_SIGNALS:
    void readyRead();

private:
    int m_fd = -1;
    int m_family = AF_INET;
    unsigned m_interface = 0;  // an IPv6 group's interface index
    DatagramInbox *m_inbox = nullptr;
    QByteArray m_current;  // the datagram being reported
    bool m_hasCurrent = false;
};
