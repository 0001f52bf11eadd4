#pragma once
// Helpers shared by all tests: bounded waits that keep the event loop running.

#include <QString>
#include <QStringList>
#include <functional>

// Processes events until pred() holds or timeoutMs passes; returns pred().
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 5000);
// Processes events for ms milliseconds (for "nothing happens" checks only).
void SpinFor(int ms);

class QByteArray;
class QTcpSocket;
// Reads from peer until n bytes arrived (or the timeout); what arrived.
QByteArray ReadExactly(QTcpSocket *peer, qsizetype n, int timeoutMs = 5000);
