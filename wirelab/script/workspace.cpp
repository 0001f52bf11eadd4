#include "workspace.h"

Workspace::Workspace(Workbench &wb) : m_wb(wb) {}
void Workspace::BuildWorkspace() { m_built = true; }
void Workspace::BuildPanelRows(TMySocket *, const JsonNode *) {}
void Workspace::AcceptHook(TMySocket *) {}
void Workspace::RefreshPanels() {}
