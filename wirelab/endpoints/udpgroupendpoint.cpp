#include "udpgroupendpoint.h"

#include "common/guard.h"
#include "common/uiseam.h"
#include "datawindow/tfrmdata.h"
#include "kinds.h"
#include "receivepath.h"
#include "tmysocket.h"
#include "udp/groupsocket.h"
#include "workbench.h"

#include <QCoreApplication>
#include <QPointer>

#include <cerrno>
#include <memory>

namespace UdpGroupEndpoint {

namespace {

// The failure texts of the two creation paths, side by side.
struct FailureTexts
{
    QString startUp;  // socket layer start-up (cannot fail on this platform)
    QString socket;   // %1 is the error number
    QString bind;
    QString join;
};

// Built on each use, in the language of the moment.
FailureTexts TextsFor(Path path)
{
    if (path == Path::Dialog) {
        return {
            QStringLiteral("StartUp Error!"),
            QCoreApplication::translate("UdpGroupEndpoint", "%1  Socket创建失败"),
            QStringLiteral("bind fail"),
            QCoreApplication::translate("UdpGroupEndpoint", "无法进行UDP组播"),
        };
    }
    return {
        QStringLiteral("StartUp Error!"),
        QCoreApplication::translate("UdpGroupEndpoint", "%1Udp group Socket创建失败"),
        QStringLiteral("udp group bind fail"),
        QCoreApplication::translate("UdpGroupEndpoint", "无法进行UDP组播"),
    };
}

const QString SendFail = QStringLiteral("send fail");
const QString NotSendAll = QStringLiteral("Not Send all");

void Show(Workbench &wb, const QString &text)
{
    UiSeam::showMessage(wb.mainWindow(), text);
}

// One datagram for the window's endpoint. It is read even when the window or
// its endpoint is gone, so a readable socket cannot keep firing.
void GroupRead(Workbench &wb, GroupSocket *socket, TFrmData *window)
{
    const QByteArray data = socket->readDatagram();
    TMySocket *record = window ? window->MySocket : nullptr;
    if (!record)
        return;
    // Group datagrams carry no sender for the script.
    ReceivePath::Receive(wb, record, data, QString(), 0, ReceivePath::Order::ScriptFirst);
}

} // namespace

TMySocket *Create(Workbench &wb, const QString &groupAddress, int port, QTreeWidgetItem *root,
                  Path path)
{
    const FailureTexts texts = TextsFor(path);
    auto record = std::make_unique<TMySocket>();
    record->kind = Kind::UdpGroup;
    record->created = CreationTimeText();

    // The window comes first: the socket's notifications are addressed to it.
    QPointer<TFrmData> window(wb.CreateDataWindow(record.get()));

    // No socket layer start-up is needed here, so texts.startUp is never shown.
    auto *socket = new GroupSocket(&wb);
    record->groupSocket = socket;
    QPointer<GroupSocket> alive(socket);

    // Each failure is shown and creation goes on; a socket that could not be
    // made lets the later steps fail and show their messages too.
    if (const int error = socket->create())
        Show(wb, texts.socket.arg(error));

    record->groupPort = port;
    if (alive) {
        if (alive->bindAny(port) != 0)
            Show(wb, texts.bind);
    }

    record->groupAddress = groupAddress;
    if (alive) {
        if (alive->join(groupAddress) != 0)
            Show(wb, texts.join);
    }

    if (alive) {
        alive->enableReadNotification();
        QObject::connect(alive.data(), &GroupSocket::readyRead, alive.data(),
                         [&wb, s = alive.data(), window] {
                             Guarded([&] { GroupRead(wb, s, window); });
                         });
    }

    record->localAddress = record->groupAddress;
    record->localPort = record->groupPort;

    wb.AddNode(root, record->groupAddress + u'[' + QString::number(port) + u']', record.get(),
               ImgGroup);
    if (record->window)
        record->window->RefreshStatus();
    record->state = 1;
    TMySocket *result = record.get();
    wb.Register(std::move(record));
    return result;
}

void Send(Workbench &wb, TMySocket *record, const QByteArray &block)
{
    if (!record)
        return;
    int error = EBADF;
    qint64 sent = -1;
    // The target is the group address and port every time, whoever sent last.
    if (GroupSocket *socket = record->groupSocket)
        sent = socket->sendTo(block, record->groupAddress, record->groupPort, &error);
    if (error != 0 && error != EAGAIN && error != EWOULDBLOCK)
        Show(wb, QString::number(error));
    if (sent < 0)
        Show(wb, SendFail);
    if (sent != block.size())
        Show(wb, NotSendAll);
}

} // namespace UdpGroupEndpoint
