#include "gui/dialogseam.h"

#include <QDialog>

#include <utility>

namespace {
DialogSeam::Hook &installedHook()
{
    static DialogSeam::Hook hook;
    return hook;
}
}  // namespace

namespace DialogSeam {

Hook setHook(Hook hook) { return std::exchange(installedHook(), std::move(hook)); }

int exec(QDialog *dialog)
{
    // A copy: the hook may replace itself while it runs.
    if (const Hook hook = installedHook())
        return hook(dialog);
    return dialog->exec();
}

}  // namespace DialogSeam
