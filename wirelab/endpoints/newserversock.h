#pragma once
// "创建TCP Server": the listening port.
// Objects: Label1 "监听端口:  ", Edit1 (default "60000"), Button1 "确定",
// Button2 "取消".

#include "creationdialog.h"

class TfrmNewServerSock : public CreationDialog
{
    Q_OBJECT
public:
    explicit TfrmNewServerSock(QWidget *parent = nullptr);

    QLineEdit *Edit1;  // listening port

    int Port = 0;  // valid after OK

protected:
    void OkClick() override;
};
