#include "gui/kinddialogs.h"

#include "gui/newclientdialog.h"
#include "gui/newgroupdialog.h"
#include "gui/newserialdialog.h"
#include "gui/newserverdialog.h"
#include "gui/newudpclientdialog.h"
#include "gui/newudpserverdialog.h"

#include <cstdlib>

CreationDialog *makeCreationDialog(EndpointKind kind, QWidget *parent)
{
    // No default: a kind without an answer here does not compile.
    switch (kind) {
    case EndpointKind::TcpServer:
        return new NewServerDialog(parent);
    case EndpointKind::TcpClient:
        return new NewClientDialog(parent);
    case EndpointKind::UdpServer:
        return new NewUdpServerDialog(parent);
    case EndpointKind::UdpClient:
        return new NewUdpClientDialog(parent);
    case EndpointKind::UdpGroup:
        return new NewGroupDialog(parent);
    case EndpointKind::TcpConnection:
        return nullptr;
    case EndpointKind::TlsServer:
        return new NewServerDialog(parent, true);
    case EndpointKind::TlsClient:
        return new NewClientDialog(parent, true);
    case EndpointKind::Serial:
        return new NewSerialDialog(parent);
    }
    std::abort();  // a value outside the enumeration
}
