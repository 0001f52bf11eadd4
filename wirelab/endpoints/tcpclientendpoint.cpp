#include "tcpclientendpoint.h"

#include "common/errors.h"
#include "common/guard.h"
#include "common/uiseam.h"
#include "datawindow/hexcodec.h"
#include "datawindow/tfrmdata.h"
#include "kinds.h"
#include "receivepath.h"
#include "tmysocket.h"
#include "workbench.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTcpSocket>

#include <memory>

namespace TcpClientEndpoint {

namespace {

constexpr qint64 ReadChunkBytes = 256 * 1024;

// The peer of the current connection. Qt forgets the peer address and port
// once the socket is unconnected, but OnDisConnect still has to name them.
struct Peer
{
    QString address;
    int port = 0;
};

QString DottedIPv4(const QHostAddress &address)
{
    return QHostAddress(address.toIPv4Address()).toString();
}

QTcpSocket *SocketOf(TMySocket *record)
{
    return record ? qobject_cast<QTcpSocket *>(record->component.data()) : nullptr;
}

// Kept on the socket itself, since the record may be gone before the
// handlers that run for it have returned.
const char *const HandlersRunning = "wirelabHandlersRunning";
const char *const DisposePending = "wirelabDisposePending";

// Marks a handler of the socket as running. A socket disposed of meanwhile
// (the endpoint deleted inside a nested event loop of the handler) is freed
// only when the outermost handler ends: freed earlier, it would be pulled
// from under the signal that is still being delivered.
class Busy
{
public:
    explicit Busy(QTcpSocket *socket) : m_socket(socket)
    {
        if (m_socket)
            m_socket->setProperty(HandlersRunning, m_socket->property(HandlersRunning).toInt() + 1);
    }
    ~Busy()
    {
        if (!m_socket)
            return;
        const int running = m_socket->property(HandlersRunning).toInt() - 1;
        m_socket->setProperty(HandlersRunning, running);
        if (running == 0 && m_socket->property(DisposePending).toBool())
            m_socket->deleteLater();
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    QPointer<QTcpSocket> m_socket;
};

void OnConnected(Workbench &wb, TMySocket *record, QTcpSocket *socket, Peer &peer)
{
    peer.address = DottedIPv4(socket->peerAddress());
    peer.port = socket->peerPort();
    // Blocks go out as they are handed over: the script's echo is a
    // request/reply conversation that Nagle's algorithm would hold up.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    record->state = 1;
    record->localPort = socket->localPort();
    if (record->window)
        record->window->RefreshStatus();
    wb.SetStateImage(record, ImgConnected);
    wb.ScriptEvent(record, QStringLiteral("OnConnect"), peer.address, peer.port);
}

void OnDisconnected(Workbench &wb, TMySocket *record, const Peer &peer)
{
    record->state = 0;
    if (record->window)
        record->window->RefreshStatus();
    wb.SetStateImage(record, ImgDisconnected);
    // Copies: a nested connect may overwrite the peer while the script runs.
    const QString address = peer.address;
    const int port = peer.port;
    wb.ScriptEvent(record, QStringLiteral("OnDisConnect"), address, port);
}

void OnReadyRead(Workbench &wb, TMySocket *record, QTcpSocket *socket)
{
    QPointer<TMySocket> alive(record);
    QPointer<QTcpSocket> s(socket);
    const QByteArray data = s->readAll();
    if (data.isEmpty())
        return;
    ReceivePath::Receive(wb, record, data, StrToHexCompact(data), 0,
                         ReceivePath::Order::CounterFirst);
    // Bytes that came in while the script and its actions let events through
    // were buffered without a new readyRead (Qt does not emit it
    // recursively); pick them up from the event loop so none is left lying.
    if (alive && s && s->bytesAvailable() > 0) {
        QMetaObject::invokeMethod(
            alive.data(),
            [&wb, alive, s] {
                Guarded([&] {
                    if (alive && s && s->bytesAvailable() > 0)
                        OnReadyRead(wb, alive, s);
                });
            },
            Qt::QueuedConnection);
    }
}

} // namespace

TMySocket *Create(Workbench &wb, const QString &host, int port, QTreeWidgetItem *root)
{
    auto owned = std::make_unique<TMySocket>();
    TMySocket *record = owned.get();
    record->kind = Kind::TcpClient;
    record->created = CreationTimeText();

    auto *socket = new QTcpSocket(&wb);
    // One read takes at most this much: a fast sender would otherwise hand
    // over everything the kernel holds (megabytes) to one handler, and the
    // window would not respond until it was shown and scripted.
    socket->setReadBufferSize(ReadChunkBytes);
    record->component = socket;
    record->remotePort = port;
    record->remoteHost = host;

    // The record is the context of every connection: once it is gone (exit,
    // deletion), a late signal of the socket reaches nothing.
    auto peer = std::make_shared<Peer>();
    QObject::connect(socket, &QTcpSocket::connected, record, guard([&wb, record, socket, peer] {
        Busy busy(socket);
        OnConnected(wb, record, socket, *peer);
    }));
    QObject::connect(socket, &QTcpSocket::disconnected, record, guard([&wb, record, socket, peer] {
        Busy busy(socket);
        OnDisconnected(wb, record, *peer);
    }));
    QObject::connect(socket, &QTcpSocket::readyRead, record, [&wb, record, socket] {
        QPointer<TMySocket> alive(record);
        QPointer<QTcpSocket> s(socket);
        Busy busy(socket);
        // The box of a failed read is shown inside this notification, and Qt
        // signals nothing for bytes that arrive meanwhile: read on until none
        // is left.
        do {
            Guarded([&] { OnReadyRead(wb, alive, s); });
        } while (alive && s && s->bytesAvailable() > 0);
    });
    // Errors (refused, unreachable, unknown host, reset) are silent: the
    // endpoint simply is, or stays, disconnected. Nothing to connect.

    TFrmData *window = wb.CreateDataWindow(record);
    wb.AddNode(root, host + QLatin1Char('[') + QString::number(port) + QLatin1Char(']'), record,
               ImgDisconnected);
    window->RefreshStatus();
    wb.Register(std::move(owned));
    return record;
}

void Open(Workbench &, TMySocket *record)
{
    QTcpSocket *socket = SocketOf(record);
    if (!socket)
        throw WireError(QCoreApplication::translate("TcpClientEndpoint", "连接失败!"));
    // Already connecting or connected: opening again changes nothing.
    if (socket->state() != QAbstractSocket::UnconnectedState)
        return;
    if (record->remoteHost.trimmed().isEmpty() || record->remotePort < 0
        || record->remotePort > 65535)
        throw WireError(QCoreApplication::translate("TcpClientEndpoint", "连接失败!"));
    // IPv4 only, so peer addresses are always plain dotted IPv4; a host name
    // is resolved by Qt off the GUI thread and a failed lookup is just
    // another silent connect failure.
    socket->connectToHost(record->remoteHost, quint16(record->remotePort), QIODevice::ReadWrite,
                          QAbstractSocket::IPv4Protocol);
}

void ConnectButton(Workbench &wb, TMySocket *record)
{
    if (!record)
        return;
    try {
        Open(wb, record);
    } catch (const WireError &) {
        UiSeam::showMessage(wb.mainWindow(), QCoreApplication::translate("TcpClientEndpoint", "连接失败!"));
        return;
    }
    if (QTcpSocket *socket = SocketOf(record))
        record->localPort = socket->localPort();
    if (record->window)
        record->window->RefreshStatus();
}

void Dispose(TMySocket *record)
{
    QTcpSocket *socket = SocketOf(record);
    if (!socket)
        return;
    if (socket->property(HandlersRunning).toInt() > 0)
        socket->setProperty(DisposePending, true);
    else
        socket->deleteLater();
}

void Close(Workbench &, TMySocket *record)
{
    QTcpSocket *socket = SocketOf(record);
    if (!socket)
        return;
    // Hand the kernel what it takes of the pending output now, then close at
    // once: the disconnected notification (and OnDisConnect) comes from
    // inside this call while the record surely still exists.
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->flush();
    socket->abort();
}

} // namespace TcpClientEndpoint
