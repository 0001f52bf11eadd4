#pragma once
// A raw IPv4 datagram socket for a multicast group, driven through the BSD
// socket calls on the GUI thread. No socket option is set besides the group
// membership. Received datagrams go through a DatagramInbox: read as they
// arrive, one readyRead() each, a batch per pass of the event loop.

#include <QByteArray>
#include <QObject>
#include <QString>

class DatagramInbox;

class GroupSocket : public QObject
{
    Q_OBJECT
public:
    explicit GroupSocket(QObject *parent = nullptr);
    ~GroupSocket() override;  // closes the socket

    // Each returns 0 on success or the system's error code (errno).
    int create();  // socket(AF_INET, SOCK_DGRAM, 0)
    int bindAny(int port);  // bind to 0.0.0.0:(port & 0xFFFF)
    int boundPort() const;  // getsockname's port; 0 when not bound
    int join(const QString &groupAddress);  // IP_ADD_MEMBERSHIP, interface any
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
    DatagramInbox *m_inbox = nullptr;
    QByteArray m_current;  // the datagram being reported
    bool m_hasCurrent = false;
};
