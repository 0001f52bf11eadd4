#pragma once
// Small helpers of the benchmark harness: bounded waits that keep the event
// loop running, a child process run without blocking the GUI thread, the
// workbench's counters, and key=value output.

#include <QString>
#include <QStringList>
#include <functional>

class MainWindow;

namespace Bench {

// Processes events until pred() holds or timeoutMs passes; returns pred().
bool SpinUntil(const std::function<bool()> &pred, int timeoutMs);
// Processes events for ms milliseconds.
void SpinFor(int ms);

// Runs program with args while the event loop keeps running; returns its
// standard output (empty and ok=false on timeout or failure to start).
QString RunChild(const QStringList &command, int timeoutMs, bool *ok);

// A global number of the bench script (0 if missing).
long long ScriptNumber(MainWindow &form, const QString &global);

// Builds the form on projectFile (chdir to its folder), shows it, waits for
// the first activation and enters the workbench. Returns false on timeout.
bool StartForm(MainWindow *&form, const QString &projectFile, qint64 *activationNs = nullptr);

void Print(const QString &key, double value, int decimals = 1);
void Print(const QString &key, const QString &value);

}  // namespace Bench
