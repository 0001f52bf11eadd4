#pragma once
// The one seam through which every message box and every modal dialog goes.
// Unset, the real box or dialog is shown and waits for the user; tests install
// hooks that record the text or fill and close the dialog instead.

#include <QString>
#include <functional>

class QWidget;
class QDialog;

namespace UiSeam {

// title may be empty (the application's name is used then).
using MessageHook = std::function<void(QWidget *parent, const QString &text, const QString &title)>;
using DialogHook = std::function<int(QDialog *dialog)>;

void setMessageHook(MessageHook hook);
void setDialogHook(DialogHook hook);

// A modal box with one OK button and no icon; returns when it is closed.
void showMessage(QWidget *parent, const QString &text, const QString &title = QString());

// Shows the dialog modally; returns QDialog::Accepted or QDialog::Rejected.
int execDialog(QDialog *dialog);

} // namespace UiSeam
