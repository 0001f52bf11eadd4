#include "udpendpoints.h"

namespace UdpEndpoints {
TMySocket *CreateClient(Workbench &, const QString &, int, int, QTreeWidgetItem *) { return nullptr; }
TMySocket *CreateServer(Workbench &, int, QTreeWidgetItem *) { return nullptr; }
void Send(TMySocket *, const QByteArray &) {}
} // namespace UdpEndpoints
