#include "tcpserverendpoint.h"

namespace TcpServerEndpoint {
TMySocket *Create(Workbench &, int, QTreeWidgetItem *) { return nullptr; }
void StartListening(Workbench &, TMySocket *) {}
void StopListening(Workbench &, TMySocket *) {}
int LiveConnections(TMySocket *) { return 0; }
void CloseConnection(Workbench &, TMySocket *) {}
} // namespace TcpServerEndpoint
