#include "actionexecutor.h"

ActionExecutor::ActionExecutor(Workbench &wb) : m_wb(wb) {}
void ActionExecutor::RunActions() {}
void ActionExecutor::RunAction(const JsonNode &) {}
