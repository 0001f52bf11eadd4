#include "gui/newserverdialog.h"

#include "core/endpoints/tcpserverendpoint.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QLineEdit>

NewServerDialog::NewServerDialog(QWidget *parent) : CreationDialog(tr("创建TCP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewServerSock"));
    m_portBox = addBox("Label1", tr("监听端口:  "), "Edit1", QStringLiteral("60000"));
}

void NewServerDialog::confirm()
{
    m_port = checkedPort(tr("监听端口:  ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    accept();
}

Endpoint *NewServerDialog::createEndpoint(EndpointRegistry &registry) const
{
    return TcpServerEndpoint::create(registry, m_port);
}
