#include "datasubwindow.h"

#include <QCloseEvent>

void DataSubWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    showMinimized();
}
