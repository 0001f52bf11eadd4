#pragma once
// "UDP Client" and "UDP Server" endpoints on the datagram component TNMUDP.

#include <QByteArray>
#include <QString>

class QTreeWidgetItem;
class TMySocket;
class Workbench;

namespace UdpEndpoints {

// The local port must have passed PortProbe (the dialogs and parameter lines
// check it first). An error raised while binding propagates; nothing is
// registered then.
TMySocket *CreateClient(Workbench &wb, const QString &host, int remotePort, int localPort,
                        QTreeWidgetItem *root);
TMySocket *CreateServer(Workbench &wb, int localPort, QTreeWidgetItem *root);
// One datagram to the component's RemoteHost:RemotePort (throws its errors).
void Send(TMySocket *record, const QByteArray &block);

} // namespace UdpEndpoints
