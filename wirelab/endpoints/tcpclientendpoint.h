#pragma once
// The "TCP Client" endpoint on QTcpSocket: created disconnected, connected by
// "连接" or the CONNECT action, closed by "断开" (through the stop command)
// or the DISCONNECT action. Every connect and disconnect is told to the script.

#include <QByteArray>
#include <QString>

class QTreeWidgetItem;
class TMySocket;
class Workbench;

namespace TcpClientEndpoint {

// Creates the endpoint under root (node image 2, status refreshed, registered).
TMySocket *Create(Workbench &wb, const QString &host, int port, QTreeWidgetItem *root);
// Starts a non-blocking connect; throws WireError when it cannot start.
void Open(Workbench &wb, TMySocket *record);
// "连接": Open, showing "连接失败!" when it cannot start; then the local port
// is read and the status refreshed.
void ConnectButton(Workbench &wb, TMySocket *record);
// Closes the connection (the disconnected notification follows when it was open).
void Close(Workbench &wb, TMySocket *record);
// Frees the socket (on deletion) once none of its handlers is running.
void Dispose(TMySocket *record);

} // namespace TcpClientEndpoint
