#include "guard.h"

#include "messageseam.h"

#include <QCoreApplication>

#include <exception>

void ReportCurrentException()
{
    QString text;
    try {
        throw;
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QCoreApplication::translate("ErrorReport", "未知错误");
    }
    // Reporting itself must never throw back into the event loop.
    try {
        ShowMessage(text);
    } catch (...) {
    }
}
