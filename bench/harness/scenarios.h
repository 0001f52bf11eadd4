#pragma once
// The harness's scenarios. Each prints key=value lines and returns the exit
// code. opts holds the --key value pairs; command is what follows "--".

#include <QMap>
#include <QString>
#include <QStringList>

namespace Bench {
using Options = QMap<QString, QString>;

// Project with one endpoint under load from a child load generator.
int RunLoad(const Options &opts, const QStringList &command);
// Project with many endpoints carrying script timers; on-time share of ticks.
int RunTimers(const Options &opts);
// The receive pane alone: append cost per line at growing sizes, memory.
int RunLogPane(const Options &opts);
// Start-up to the first activation and idle memory.
int RunStartup(const Options &opts);
}  // namespace Bench
