#include "endpointcommands.h"

#include "workbench.h"

EndpointCommands::EndpointCommands(Workbench &wb, QWidget *) : m_wb(wb) {}
EndpointCommands::~EndpointCommands() = default;
void EndpointCommands::Create() {}
void EndpointCommands::Delete() { m_wb.DeleteSelected(); }
