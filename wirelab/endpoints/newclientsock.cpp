#include "newclientsock.h"

#include "adapterinfo.h"
#include "common/intconv.h"

#include <QLineEdit>

TfrmNewClientSock::TfrmNewClientSock(QWidget *parent)
    : CreationDialog(tr("创建TCP Client"), parent)
{
    setObjectName(QStringLiteral("frmNewClientSock"));
    Edit1 = addBox("Label1", tr("对方IP:    "), "Edit1", QStringLiteral("127.0.0.1"));
    Edit2 = addBox("Label2", tr("对方端口:  "), "Edit2", QStringLiteral("60000"));
}

void TfrmNewClientSock::OkClick()
{
    Host = Edit1->text();
    Port = StrToInt(Edit2->text());
    accept();
}

void TfrmNewClientSock::FormActivate()
{
    Edit1->setText(LocalAddress());
}
