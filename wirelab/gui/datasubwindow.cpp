#include "gui/datasubwindow.h"

#include <QCloseEvent>
#include <QMdiArea>

void DataSubWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    // Minimizing activates the window, and an area whose active window is
    // maximized maximizes the next one it activates: without this the close
    // box would leave the window maximized, as if nothing had happened.
    QMdiArea *area = mdiArea();
    const bool keep = area && area->testOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    if (area)
        area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, true);
    showMinimized();
    if (area)
        area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation, keep);
}
