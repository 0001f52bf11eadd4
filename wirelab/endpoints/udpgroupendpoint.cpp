#include "udpgroupendpoint.h"

namespace UdpGroupEndpoint {
TMySocket *Create(Workbench &, const QString &, int, QTreeWidgetItem *, Path) { return nullptr; }
void Send(Workbench &, TMySocket *, const QByteArray &) {}
} // namespace UdpGroupEndpoint
