#include "newudpsock.h"

#include "adapterinfo.h"
#include "common/guard.h"
#include "common/intconv.h"
#include "common/uiseam.h"
#include "portprobe.h"

#include <QLineEdit>
#include <QPushButton>

TfrmNewUdpSock::TfrmNewUdpSock(QWidget *parent)
    : CreationDialog(tr("创建UDP Client"), parent)
{
    setObjectName(QStringLiteral("frmNewUdpSock"));
    Edit1 = addBox("Label1", tr("对方IP   "), "Edit1", QStringLiteral("127.0.0.1"));
    Button3 = new QPushButton(tr("广播地址"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setAutoDefault(false);
    addBelow(Button3);
    Edit2 = addBox("Label2", tr("对方端口  "), "Edit2", QStringLiteral("60000"));
    Edit3 = addBox("Label3", tr("本地端口    "), "Edit3", QStringLiteral("10000"));
    connect(Button3, &QPushButton::clicked, this, guard([this] { Button3Click(); }));
}

void TfrmNewUdpSock::OkClick()
{
    Host = Edit1->text();
    RemotePort = StrToInt(Edit2->text());
    LocalPort = StrToInt(Edit3->text());
    if (!PortProbe(LocalPort)) {
        UiSeam::showMessage(this, tr("本地端口已被占用，请重新选择本地端口号"));
        return;
    }
    accept();
}

void TfrmNewUdpSock::FormActivate()
{
    Edit1->setText(LocalAddress());
}

void TfrmNewUdpSock::Button3Click()
{
    bool warn = false;
    const QString broadcast = BroadcastAddress(SystemAdapters(), &warn);
    if (warn)
        UiSeam::showMessage(this, tr("请检查本机网络连接是否正常"));
    Edit1->setText(broadcast);
}
