#include "receivepath.h"

namespace ReceivePath {
QString ReceivedLine(const QByteArray &, bool) { return {}; }
void Receive(Workbench &, TMySocket *, const QByteArray &, const QString &, int, Order) {}
} // namespace ReceivePath
