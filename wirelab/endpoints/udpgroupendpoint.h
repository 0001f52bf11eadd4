#pragma once
// The "UDP Group" endpoint: a raw datagram socket joined to an IPv4 multicast
// group, reporting readability to its data window.

#include <QByteArray>
#include <QString>

class QTreeWidgetItem;
class TMySocket;
class Workbench;

namespace UdpGroupEndpoint {

enum class Path { Dialog, ParamLine };  // which failure texts are shown

// Always creates and registers the endpoint; failures are shown as messages.
TMySocket *Create(Workbench &wb, const QString &groupAddress, int port, QTreeWidgetItem *root,
                  Path path);
// Sends one datagram to the group address and port, with the failure boxes.
void Send(Workbench &wb, TMySocket *record, const QByteArray &block);

} // namespace UdpGroupEndpoint
