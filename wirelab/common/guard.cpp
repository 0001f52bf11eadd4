#include "guard.h"
#include "errors.h"
#include "uiseam.h"

#include <QApplication>
#include <exception>

void ReportError(const QString &text)
{
    UiSeam::showMessage(QApplication::activeWindow(), text);
}

void ReportCurrentException()
{
    try {
        throw;
    } catch (const WireError &e) {
        ReportError(e.message());
    } catch (const std::exception &e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}
