#include "guard.h"
#include "errors.h"
#include "scriptoutput.h"
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
    } catch (const ScriptError &e) {
        // A failed script call is told on standard error too, with its place.
        ScriptOutput::instance().scriptError(e);
        ReportError(e.message());
    } catch (const WireError &e) {
        ReportError(e.message());
    } catch (const std::exception &e) {
        ReportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}
