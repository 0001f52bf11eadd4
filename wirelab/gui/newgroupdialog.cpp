#include "gui/newgroupdialog.h"

#include "core/endpoints/udpgroupendpoint.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QLineEdit>

NewGroupDialog::NewGroupDialog(QWidget *parent) : CreationDialog(tr("创建UDP组播"), parent)
{
    setObjectName(QStringLiteral("frmNewGroupSock"));
    m_addressBox = addBox("Label1", tr("组播地址:  "), "Edit1", QStringLiteral("224.1.1.1"));
    m_portBox = addBox("Label2", tr("组播端口: "), "Edit2", QStringLiteral("65000"));
}

void NewGroupDialog::confirm()
{
    m_groupAddress = m_addressBox->text();
    m_port = checkedPort(tr("组播端口: ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    accept();
}

Endpoint *NewGroupDialog::createEndpoint(EndpointRegistry &registry) const
{
    return UdpGroupEndpoint::create(registry, m_groupAddress, m_port, UdpGroupEndpoint::Path::Dialog);
}
