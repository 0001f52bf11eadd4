#pragma once
// Memory figures of this process from /proc/self/status, in KiB, and its CPU time.

#include <QByteArray>

namespace ProcStatus {
// VmRSS (resident now) or VmHWM (peak resident) and so on; -1 if missing.
long long FieldKb(const QByteArray &field);
inline long long RssKb() { return FieldKb("VmRSS"); }
inline long long PeakRssKb() { return FieldKb("VmHWM"); }
// CPU seconds (user and system, all threads) this process has used.
double CpuSeconds();
// Clears the peak (VmHWM) so a scenario's own peak can be read.
void ResetPeak();
}  // namespace ProcStatus
