#include "udpendpoints.h"

#include "adapterinfo.h"
#include "common/guard.h"
#include "datawindow/tfrmdata.h"
#include "kinds.h"
#include "receivepath.h"
#include "tmysocket.h"
#include "udp/tnmudp.h"
#include "workbench.h"

#include <QPointer>
#include <memory>

namespace UdpEndpoints {

namespace {

// A new component bound to localPort, parented to the workbench so that it is
// freed at exit. Binding errors propagate with nothing left behind.
TNMUDP *NewBoundComponent(Workbench &wb, int localPort)
{
    std::unique_ptr<TNMUDP> udp(new TNMUDP(&wb));
    udp->setLocalPort(localPort);
    return udp.release();
}

// Exactly byteCount bytes of the datagram being reported.
QByteArray TakeDatagram(TNMUDP *udp, int byteCount)
{
    QByteArray data;
    if (udp)
        udp->ReadStream(data);
    data.truncate(byteCount);
    return data;
}

void ClientReceive(Workbench &wb, TMySocket *record, int byteCount, const QString &fromIP,
                   int port)
{
    if (byteCount < 0 || !record)
        return;  // a failed read: nothing to take
    const QByteArray data = TakeDatagram(record->udpClient, byteCount);
    // The destination stays what was given at creation.
    ReceivePath::Receive(wb, record, data, fromIP, port, ReceivePath::Order::CounterFirst);
}

void ServerReceive(Workbench &wb, TMySocket *record, int byteCount, const QString &fromIP,
                   int port)
{
    if (byteCount < 0 || !record)
        return;
    QPointer<TMySocket> r(record);
    const QByteArray data = TakeDatagram(r->udpServer, byteCount);
    // The sender becomes the peer before the script hears of the datagram, so
    // a SEND from its OnRead answers this datagram's sender (taken after the
    // script, the first answer would be refused and every later one would go
    // to the previous sender).
    if (r->udpServer) {
        r->udpServer->RemoteHost = fromIP;
        r->udpServer->RemotePort = port;
    }
    r->remoteHost = fromIP;
    r->remotePort = port;
    r->state = 1;
    if (r->window)
        r->window->RefreshStatus();
    ReceivePath::Receive(wb, r, data, fromIP, port, ReceivePath::Order::ScriptFirst);
}

using Handler = void (*)(Workbench &, TMySocket *, int, const QString &, int);

void ConnectReceive(Workbench &wb, TNMUDP *udp, TMySocket *record, Handler handler)
{
    QPointer<TMySocket> r(record);
    QObject::connect(udp, &TNMUDP::dataReceived, udp,
                     [&wb, r, handler](int byteCount, const QString &fromIP, int port) {
                         Guarded([&] { handler(wb, r, byteCount, fromIP, port); });
                     });
}

QString Caption(const QString &host, int port)
{
    return host + u'[' + QString::number(port) + u']';
}

} // namespace

TMySocket *CreateClient(Workbench &wb, const QString &host, int remotePort, int localPort,
                        QTreeWidgetItem *root)
{
    auto record = std::make_unique<TMySocket>();
    record->kind = Kind::UdpClient;
    record->created = CreationTimeText();

    TNMUDP *udp = NewBoundComponent(wb, localPort);
    record->udpClient = udp;
    udp->RemotePort = remotePort;
    udp->RemoteHost = host;
    ConnectReceive(wb, udp, record.get(), &ClientReceive);
    record->component = udp;

    record->localPort = udp->LocalPort();
    record->remotePort = remotePort;
    record->remoteHost = host;

    wb.CreateDataWindow(record.get());
    record->state = 1;
    wb.AddNode(root, Caption(host, remotePort), record.get(), ImgUdp);
    if (record->window)
        record->window->RefreshStatus();
    TMySocket *result = record.get();
    wb.Register(std::move(record));
    return result;
}

TMySocket *CreateServer(Workbench &wb, int localPort, QTreeWidgetItem *root)
{
    auto record = std::make_unique<TMySocket>();
    record->kind = Kind::UdpServer;
    record->created = CreationTimeText();

    TNMUDP *udp = NewBoundComponent(wb, localPort);
    record->udpServer = udp;
    udp->RemoteHost.clear();
    ConnectReceive(wb, udp, record.get(), &ServerReceive);
    record->component = udp;

    record->localPort = udp->LocalPort();
    record->remotePort = 0;
    record->remoteHost.clear();

    wb.CreateDataWindow(record.get());
    record->state = 0;  // nobody to answer yet
    wb.AddNode(root, Caption(LocalAddress(), record->localPort), record.get(), ImgUdp);
    if (record->window)
        record->window->RefreshStatus();
    TMySocket *result = record.get();
    wb.Register(std::move(record));
    return result;
}

void Send(TMySocket *record, const QByteArray &block)
{
    if (!record)
        return;
    TNMUDP *udp = nullptr;
    if (record->kind == Kind::UdpClient)
        udp = record->udpClient;
    else if (record->kind == Kind::UdpServer)
        udp = record->udpServer;
    if (udp)
        udp->SendStream(block);
}

} // namespace UdpEndpoints
