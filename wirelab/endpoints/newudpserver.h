#pragma once
// "创建UDP Server": the local port. OK keeps the dialog open while the port
// cannot be bound.
// Objects: Label1 "本地端口    ", Edit1 (default "60000"), Button1 "确定",
// Button2 "取消".

#include "creationdialog.h"

class TfrmNewUDPServer : public CreationDialog
{
    Q_OBJECT
public:
    explicit TfrmNewUDPServer(QWidget *parent = nullptr);

    QLineEdit *Edit1;  // local port

    int LocalPort = 0;  // valid after OK

protected:
    void OkClick() override;
};
