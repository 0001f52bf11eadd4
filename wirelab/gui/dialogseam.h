#pragma once
// The one way a modal dialog is shown. Unset, the dialog runs its own event
// loop and waits for the user; tests install a hook that fills in and closes
// the dialog instead, so nothing blocks.

#include <functional>

class QDialog;

namespace DialogSeam {

using Hook = std::function<int(QDialog *dialog)>;

// Replaces the hook; returns the previous one.
Hook setHook(Hook hook);

// Shows the dialog modally; returns QDialog::Accepted or QDialog::Rejected.
int exec(QDialog *dialog);

}  // namespace DialogSeam
