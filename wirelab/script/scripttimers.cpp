#include "scripttimers.h"

ScriptTimers::ScriptTimers(Workbench &wb) : m_wb(wb) {}
void ScriptTimers::Timer1Timer() {}
void ScriptTimers::TickTimers(TMySocket *) {}
TSocketTimer *ScriptTimers::FindTimer(TMySocket *, const QString &) { return nullptr; }
void ScriptTimers::AddTimer(TMySocket *, const QString &, int) {}
void ScriptTimers::SetTimer(TMySocket *, const QString &, int) {}
void ScriptTimers::DelTimer(TMySocket *, const QString &) {}
