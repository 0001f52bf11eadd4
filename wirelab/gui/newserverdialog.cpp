#include "gui/newserverdialog.h"

#include "core/endpoints/tcpserverendpoint.h"
#include "core/net/addresstext.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"

#include <QLineEdit>

NewServerDialog::NewServerDialog(QWidget *parent) : CreationDialog(tr("创建TCP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewServerSock"));
    m_portBox = addBox("Label1", tr("监听端口:  "), "Edit1", QStringLiteral("60000"));
    m_bindBox = addBox("LabelBind", tr("绑定地址:"), "EditBind", QString());
    m_bindBox->setPlaceholderText(tr("全部地址"));
}

void NewServerDialog::confirm()
{
    m_port = checkedPort(tr("监听端口:  ").remove(u':').trimmed(), strToInt(m_portBox->text()));
    bindAddress(m_bindBox->text());  // refused here, the dialog stays open
    m_bind = m_bindBox->text().trimmed();
    accept();
}

Endpoint *NewServerDialog::createEndpoint(EndpointRegistry &registry) const
{
    return TcpServerEndpoint::create(registry, m_port, m_bind);
}
