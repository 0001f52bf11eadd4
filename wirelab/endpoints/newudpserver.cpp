#include "newudpserver.h"

#include "common/intconv.h"
#include "common/uiseam.h"
#include "portprobe.h"

#include <QLineEdit>

TfrmNewUDPServer::TfrmNewUDPServer(QWidget *parent)
    : CreationDialog(tr("创建UDP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewUDPServer"));
    Edit1 = addBox("Label1", tr("本地端口    "), "Edit1", QStringLiteral("60000"));
}

void TfrmNewUDPServer::OkClick()
{
    LocalPort = StrToInt(Edit1->text());
    if (!PortProbe(LocalPort)) {
        UiSeam::showMessage(this, tr("本地端口已被占用，请重新选择本地端口号"));
        return;
    }
    accept();
}
