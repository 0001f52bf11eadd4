#include "gui/messagebox.h"

#include "messageseam.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

namespace {
QPointer<QWidget> &owner()
{
    static QPointer<QWidget> window;
    return window;
}

void ShowBox(const QString &text, const QString &title)
{
    QWidget *parent = owner() ? owner().data() : QApplication::activeWindow();
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? QApplication::applicationName() : title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}
}  // namespace

void installMessageBox() { MessageSeam::setHandler(&ShowBox); }

void setMessageBoxOwner(QWidget *window) { owner() = window; }
