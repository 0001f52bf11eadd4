#include "tcpclientendpoint.h"

namespace TcpClientEndpoint {
TMySocket *Create(Workbench &, const QString &, int, QTreeWidgetItem *) { return nullptr; }
void Open(Workbench &, TMySocket *) {}
void ConnectButton(Workbench &, TMySocket *) {}
void Close(Workbench &, TMySocket *) {}
} // namespace TcpClientEndpoint
