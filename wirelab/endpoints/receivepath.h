#pragma once
// The one receive sequence shared by every receiving kind: log line, counter,
// counter text, "OnRead" script event and the action executor.

#include <QByteArray>
#include <QString>

class TMySocket;
class Workbench;

namespace ReceivePath {

enum class Order {
    CounterFirst,  // counter text, then OnRead + actions (TCP kinds, UDP client)
    ScriptFirst,   // OnRead + actions, then counter text (UDP server, group)
};

// The receive-pane line: long time + " 收到数据：" + (hex form) + bytes.
QString ReceivedLine(const QByteArray &data, bool hexMode);

void Receive(Workbench &wb, TMySocket *record, const QByteArray &data, const QString &a, int b,
             Order order);

} // namespace ReceivePath
