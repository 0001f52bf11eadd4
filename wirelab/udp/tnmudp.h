#pragma once
// TNMUDP: a non-visual datagram component on the GUI thread. It owns one IPv4
// datagram socket; setting LocalPort (re)binds it to any address and that
// port (a port in use leaves it unbound, silently); every datagram that
// arrives is reported once through dataReceived(byteCount, fromIP, port),
// inside which ReadStream() hands out its bytes; SendStream() sends a block
// as one datagram to RemoteHost:RemotePort, looking host names up without
// blocking the event loop.
//
// Datagrams are received whole up to the largest UDP payload (65,507 bytes).
// A block larger than one datagram can carry is refused with an error.
//
// Under a flood, reading a datagram is far cheaper than handling it (a script
// call and a log line), and the kernel drops what does not fit its small
// receive buffer. So the socket is drained into a queue as datagrams arrive
// (up to MaxQueuedBytes) and the queue is reported a batch per pass of the
// event loop: a burst is handled late rather than lost, and the window stays
// responsive meanwhile.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <deque>
#include <functional>

class QUdpSocket;

class TNMUDP : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxDatagram = 65507;
    static constexpr qint64 MaxQueuedBytes = 64 << 20;

    explicit TNMUDP(QObject *parent = nullptr);
    ~TNMUDP() override;

    int LocalPort() const { return m_localPort; }
    void setLocalPort(int port);  // closes any socket, opens and binds a new one
    bool isBound() const;

    QString RemoteHost;
    int RemotePort = 0;

    // Copies the datagram being reported into data (replacing its content).
    // Meant for use inside dataReceived.
    void ReadStream(QByteArray &data) const;

    // Sends block as one datagram. Throws WireError "Invalid stream" for an
    // empty block (unless OnStreamInvalid sets handled and the block is then
    // not empty), UDPSockError "Null Remote Address" for an empty or 0.0.0.0
    // destination, UDPSockError "Host Lookup Canceled" when the name does not
    // resolve (OnInvalidHost may ask for one retry), and WireError for a block
    // over MaxDatagram bytes. A failing send itself is not reported.
    void SendStream(const QByteArray &block);

    // Closes the socket; nothing is received afterwards.
    void CloseSocket();

    // Datagrams read from the socket and not reported yet.
    int queuedCount() const { return int(m_queue.size()); }

    std::function<void(bool &handled)> OnInvalidHost;
    std::function<void(bool &handled, QByteArray &block)> OnStreamInvalid;

Q_SIGNALS:
    // One per datagram; byteCount -1 for a failed read (receivers ignore it).
    void dataReceived(int byteCount, const QString &fromIP, int port);
    void dataSent();

private:
    struct Datagram
    {
        QByteArray data;
        QString from;
        quint16 port = 0;
        bool failed = false;  // a read that failed
    };

    void watchSocket();
    void readPending();
    void drain();
    void deliverQueued();
    void clearQueue();
    quint32 resolveRemoteHost();  // IPv4 address in host order; throws
    void openSocket();
    void dropSocket();

    QUdpSocket *m_socket = nullptr;
    class QSocketNotifier *m_notifier = nullptr;
    int m_localPort = 0;
    QByteArray m_last;
    std::deque<Datagram> m_queue;
    quint32 m_lastFromAddress = 0;
    QString m_lastFromText;
    qint64 m_queuedBytes = 0;
    bool m_deliveryPosted = false;
    bool m_delivering = false;
};
