#include "guard.h"

#include "messageseam.h"

#include <QCoreApplication>

namespace {
ErrorObserver &observer()
{
    static ErrorObserver o;
    return o;
}
}  // namespace

void SetErrorObserver(ErrorObserver o) { observer() = std::move(o); }

QString ErrorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QCoreApplication::translate("ErrorReport", "未知错误");
    }
}

void ReportCurrentException()
{
    // Reporting itself must never throw back into the event loop.
    try {
        const std::exception_ptr error = std::current_exception();
        if (observer())
            observer()(error);
        MessageSeam::show(ErrorText(error));
    } catch (...) {}
}
