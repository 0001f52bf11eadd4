#include "core/net/datagramsocket.h"

#include "core/errors.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QUdpSocket>

#include <arpa/inet.h>

namespace {

// Dotted IPv4 text as inet_addr reads it (also "127.1", "0x7f.0.0.1").
bool parseDotted(const QString &text, quint32 *hostOrder)
{
    if (text.contains(QChar(0)))
        return false;
    const QByteArray bytes = text.toLatin1();
    in_addr a {};
    if (inet_aton(bytes.constData(), &a) == 0)
        return false;
    *hostOrder = ntohl(a.s_addr);
    return true;
}

QString dottedText(const QHostAddress &address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    if (!ok)
        return address.toString();
    return QStringLiteral("%1.%2.%3.%4") .arg(v4 >> 24).arg((v4 >> 16) & 0xFF).arg((v4 >> 8) & 0xFF).arg(v4 & 0xFF);
}

}  // namespace

DatagramSocket::DatagramSocket(QObject *parent) : QObject(parent)
{
    openSocket();  // unbound until LocalPort is set; a send binds it implicitly
}

DatagramSocket::~DatagramSocket() { dropSocket(); }

// The old socket may be the one whose readyRead is being handled right now
// (a receiver can rebind or destroy the component): close it at once, but
// free it only when control is back in the event loop.
void DatagramSocket::dropSocket()
{
    if (!m_socket)
        return;
    QUdpSocket *old = m_socket;
    m_socket = nullptr;
    if (m_inbox) {
        m_inbox->close();  // what it read from this socket is never reported
        m_inbox->deleteLater();
        m_inbox = nullptr;
    }
    disconnect(old, nullptr, this, nullptr);
    old->close();
    old->setParent(nullptr);
    old->deleteLater();
}

void DatagramSocket::openSocket()
{
    dropSocket();
    m_socket = new QUdpSocket(this);
}

// Datagrams are read with recvfrom on the socket's descriptor by an inbox
// with a notifier of its own, rather than through QUdpSocket: its read
// notification is switched off until the next read after a readyRead, so
// reading ahead of its notifications (as the inbox does between handlers)
// could leave it off for good. QUdpSocket still binds and sends.
void DatagramSocket::watchSocket()
{
    if (m_inbox || !m_socket || m_socket->state() != QAbstractSocket::BoundState)
        return;
    const int fd = int(m_socket->socketDescriptor());
    m_inbox = new DatagramInbox(
        fd, [this, fd](Datagram &d) { return readOne(fd, d); },
        [this](Datagram &d) {
            if (d.failed) {
                m_last.clear();
                emit dataReceived(-1, QString(), 0);
                return;
            }
            m_last = std::move(d.data);
            emit dataReceived(int(m_last.size()), d.from, d.port);
        },
        this);
}

void DatagramSocket::setLocalPort(int port)
{
    openSocket();
    m_localPort = port;
    // IPv4 only, so that senders are reported as dotted IPv4. No address
    // sharing: a port in use makes the bind fail, which leaves the socket
    // unbound and silent.
    m_socket->bind(QHostAddress::AnyIPv4, quint16(port & 0xFFFF), QAbstractSocket::DontShareAddress);
    watchSocket();
}

bool DatagramSocket::isBound() const { return m_socket && m_socket->state() == QAbstractSocket::BoundState; }

int DatagramSocket::boundPort() const { return isBound() ? int(m_socket->localPort()) : m_localPort; }

void DatagramSocket::closeSocket() { dropSocket(); }

bool DatagramSocket::readOne(int fd, Datagram &d)
{
    quint32 address = 0;
    if (!receiveDatagram(fd, d, &address))
        return false;
    if (d.failed)
        return true;
    // Floods come from one sender: its text is made once.
    if (address != m_lastFromAddress || m_lastFromText.isEmpty()) {
        m_lastFromAddress = address;
        m_lastFromText = dottedText(QHostAddress(address));
    }
    d.from = m_lastFromText;
    return true;
}

void DatagramSocket::readStream(QByteArray &data) const { data = m_last; }

bool DatagramSocket::sendStream(const QByteArray &block, QString *why)
{
    QPointer<DatagramSocket> self(this);
    QByteArray data = block;
    if (data.isEmpty()) {
        bool handled = false;
        // A copy: the handler may destroy the component and with it the member.
        auto handler = onStreamInvalid;
        if (handler)
            handler(handled, data);
        if (!self)
            return false;
        if (!handled || data.isEmpty())
            throw WireError(QStringLiteral("Invalid stream"));
    }
    if (data.size() > MaxDatagram)
        throw WireError(
            QStringLiteral("Datagram too large: %1 bytes (at most %2)") .arg(data.size()).arg(MaxDatagram));

    const quint32 address = resolveRemoteHost();
    if (!self)
        return false;  // destroyed while the name was looked up: nothing left to send with
    if (address == 0)
        throw UDPSockError(QStringLiteral("Null Remote Address"));

    if (m_socket) {
        // A socket whose bind failed gets a port of its own now, as an
        // unbound socket does on its first send; kept IPv4 so replies that
        // it receives name their sender in dotted form.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            m_socket->bind(QHostAddress::AnyIPv4, 0, QAbstractSocket::DontShareAddress);
        watchSocket();
        if (m_socket->writeDatagram(data, QHostAddress(address), quint16(remotePort & 0xFFFF)) < 0) {
            if (why)
                *why = m_socket->errorString();
            return false;
        }
    }
    emit dataSent();
    return true;
}

quint32 DatagramSocket::resolveRemoteHost()
{
    const QString name = remoteHost;
    if (name.isEmpty())
        return 0;
    quint32 address = 0;
    if (parseDotted(name, &address))
        return address;

    QPointer<DatagramSocket> self(this);
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Events keep flowing while the name is looked up; the lookup keeps
        // the name it started with even if remoteHost changes meanwhile.
        QEventLoop loop;
        bool done = false;
        bool found = false;
        const auto onResult = [&](const QHostInfo &info) {
            if (info.error() == QHostInfo::NoError) {
                const auto addresses = info.addresses();
                for (const QHostAddress &a : addresses) {
                    bool isV4 = false;
                    const quint32 v4 = a.toIPv4Address(&isV4);
                    if (isV4) {
                        address = v4;
                        found = true;
                        break;
                    }
                }
            }
            done = true;
            loop.quit();
        };
        connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
        const int id = QHostInfo::lookupHost(name, &loop, onResult);
        if (!done)
            loop.exec();
        if (!self) {
            QHostInfo::abortHostLookup(id);
            return 0;
        }
        if (found)
            return address;

        if (attempt == 1)
            break;  // the one retry that a handler may ask for has failed too
        bool handled = false;
        auto handler = onInvalidHost;
        if (handler)
            handler(handled);
        if (!self)
            return 0;
        if (!handled)
            break;
    }
    throw UDPSockError(QStringLiteral("Host Lookup Canceled"));
}
