#include "newserversock.h"

#include "common/intconv.h"

#include <QLineEdit>

TfrmNewServerSock::TfrmNewServerSock(QWidget *parent)
    : CreationDialog(tr("创建TCP Server"), parent)
{
    setObjectName(QStringLiteral("frmNewServerSock"));
    Edit1 = addBox("Label1", tr("监听端口:  "), "Edit1", QStringLiteral("60000"));
}

void TfrmNewServerSock::OkClick()
{
    Port = StrToInt(Edit1->text());
    accept();
}
