#pragma once
// Helpers shared by all tests: bounded waits that keep the event loop running.

#include <QString>
#include <QStringList>
#include <functional>

// Processes events until pred() holds or timeoutMs passes; returns pred().
bool WaitFor(const std::function<bool()> &pred, int timeoutMs = 5000);
// Processes events for ms milliseconds (for "nothing happens" checks only).
void SpinFor(int ms);

