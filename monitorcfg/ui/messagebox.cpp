#include "messagebox.h"

#include "messageseam.h"

#include <QApplication>
#include <QMessageBox>

void InstallMessageBox()
{
    MessageSeam::setHandler([](const QString &text, const QString &title) {
        QMessageBox box(QMessageBox::Critical, title.isEmpty() ? QApplication::applicationName() : title,
                        text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    });
}
