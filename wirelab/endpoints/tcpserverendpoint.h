#pragma once
// The "TCP Server" endpoint on QTcpServer (listening on the IPv4 any-address)
// and its accepted connections, each an endpoint of kind "TCP ServerClient"
// with its own node under the server's node and its own data window.

#include <QString>

class QTreeWidgetItem;
class TMySocket;
class Workbench;

namespace TcpServerEndpoint {

// Creates the server under root and tries to listen ("该端口已被占用,监听未启动!"
// on failure; the endpoint stays, not listening).
TMySocket *Create(Workbench &wb, int port, QTreeWidgetItem *root);
// "启动监听": listen again; "Socket端口已经被占用!" on failure.
void StartListening(Workbench &wb, TMySocket *server);
// "停止监听": closes every accepted connection, then the listening socket.
void StopListening(Workbench &wb, TMySocket *server);
// Number of live accepted connections the server still holds.
int LiveConnections(TMySocket *server);
// Closes one accepted connection (its disconnected handling follows).
void CloseConnection(Workbench &wb, TMySocket *connection);

} // namespace TcpServerEndpoint
