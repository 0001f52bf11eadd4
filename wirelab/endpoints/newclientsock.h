#pragma once
// "创建TCP Client": peer host and port. The host box is refilled with the
// machine's local address every time the dialog is shown.
// Objects: Label1 "对方IP:    ", Edit1 (default "127.0.0.1"),
// Label2 "对方端口:  ", Edit2 (default "60000"), Button1 "确定", Button2 "取消".

#include "creationdialog.h"

#include <QString>

class TfrmNewClientSock : public CreationDialog
{
    Q_OBJECT
public:
    explicit TfrmNewClientSock(QWidget *parent = nullptr);

    QLineEdit *Edit1;  // peer host
    QLineEdit *Edit2;  // peer port

    // Valid after OK; the host exactly as typed.
    QString Host;
    int Port = 0;

protected:
    void OkClick() override;
    void FormActivate() override;
};
