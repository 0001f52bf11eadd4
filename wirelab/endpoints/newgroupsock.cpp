#include "newgroupsock.h"

#include "common/intconv.h"

#include <QLineEdit>

TfrmNewGroupSock::TfrmNewGroupSock(QWidget *parent)
    : CreationDialog(tr("创建UDP组播"), parent)
{
    setObjectName(QStringLiteral("frmNewGroupSock"));
    Edit1 = addBox("Label1", tr("组播地址:  "), "Edit1", QStringLiteral("224.1.1.1"));
    Edit2 = addBox("Label2", tr("组播端口: "), "Edit2", QStringLiteral("65000"));
}

void TfrmNewGroupSock::OkClick()
{
    GroupAddress = Edit1->text();
    Port = StrToInt(Edit2->text());
    accept();
}
