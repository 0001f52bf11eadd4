#pragma once
// "创建UDP组播": group address and port. The address is not checked here; a
// non-multicast address is reported when the endpoint is created.
// Objects: Label1 "组播地址:  ", Edit1 (default "224.1.1.1"),
// Label2 "组播端口: ", Edit2 (default "65000"), Button1 "确定", Button2 "取消".

#include "creationdialog.h"

#include <QString>

class TfrmNewGroupSock : public CreationDialog
{
    Q_OBJECT
public:
    explicit TfrmNewGroupSock(QWidget *parent = nullptr);

    QLineEdit *Edit1;  // group address
    QLineEdit *Edit2;  // group port

    // Valid after OK; the address exactly as typed.
    QString GroupAddress;
    int Port = 0;

protected:
    void OkClick() override;
};
