#include "guard.h"

#include "messageseam.h"

#include <exception>

void ReportCurrentException()
{
    QString text;
    try {
        throw;
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    // Reporting itself must never throw back into the event loop.
    try {
        ShowMessage(text);
    } catch (...) {
    }
}
