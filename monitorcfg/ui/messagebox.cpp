#include "messagebox.h"

#include "messageseam.h"

#include <QApplication>
#include <QMessageBox>

void InstallMessageBox()
{
    SetMessageHandler([](const QString &text) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    });
}
