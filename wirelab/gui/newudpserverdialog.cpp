#include "gui/newudpserverdialog.h"

#include "core/endpoints/udpserverendpoint.h"
#include "core/net/addresstext.h"
#include "core/net/portprobe.h"
#include "core/text/intconv.h"
#include "messageseam.h"

#include <QLineEdit>

#include <cerrno>

NewUdpServerDialog::NewUdpServerDialog(QWidget *parent) : CreationDialog(tr("创建UDP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewUDPServer"));
    m_localPortBox = addBox("Label1", tr("本地端口    "), "Edit1", QStringLiteral("60000"));
    m_bindBox = addBox("LabelBind", tr("绑定地址:"), "EditBind", QString());
    m_bindBox->setPlaceholderText(tr("全部地址"));
    addLocalAddresses();
}

void NewUdpServerDialog::confirm()
{
    m_localPort = checkedPort(tr("本地端口    ").remove(u':').trimmed(), strToInt(m_localPortBox->text()));
    const QHostAddress address = bindAddress(m_bindBox->text());  // refused here, the dialog stays open
    const int error = portProbeError(m_localPort, address);
    if (error == EADDRNOTAVAIL) {
        MessageSeam::show(notLocalBindText(m_bindBox->text()));
        return;
    }
    if (error != 0) {
        MessageSeam::show(tr("本地端口已被占用，请重新选择本地端口号"));
        return;
    }
    m_bind = m_bindBox->text().trimmed();
    accept();
}

Endpoint *NewUdpServerDialog::createEndpoint(EndpointRegistry &registry) const
{
    return UdpServerEndpoint::create(registry, m_localPort, m_bind);
}
