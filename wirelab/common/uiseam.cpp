#include "uiseam.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace {
UiSeam::MessageHook &messageHook()
{
    static UiSeam::MessageHook hook;
    return hook;
}
UiSeam::DialogHook &dialogHook()
{
    static UiSeam::DialogHook hook;
    return hook;
}
} // namespace

namespace UiSeam {

void setMessageHook(MessageHook hook) { messageHook() = std::move(hook); }
void setDialogHook(DialogHook hook) { dialogHook() = std::move(hook); }

void showMessage(QWidget *parent, const QString &text, const QString &title)
{
    if (messageHook()) {
        messageHook()(parent, text, title);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon,
                    title.isEmpty() ? QApplication::applicationName() : title,
                    text, QMessageBox::Ok, parent);
    box.exec();
}

int execDialog(QDialog *dialog)
{
    if (dialogHook())
        return dialogHook()(dialog);
    return dialog->exec();
}

} // namespace UiSeam
