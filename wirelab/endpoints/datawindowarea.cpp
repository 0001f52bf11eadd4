#include "datawindowarea.h"

#include <QMdiArea>
#include <QMdiSubWindow>

DataWindowArea::DataWindowArea(QMdiArea *area)
    : QObject(area), m_area(area), m_parking(std::make_unique<QWidget>())
{
    m_parking->setObjectName(QStringLiteral("ParkedDataWindows"));
}

// Parked frames go with the holder, as the others go with the area.
DataWindowArea::~DataWindowArea() = default;

void DataWindowArea::add(QMdiSubWindow *frame)
{
    if (!m_area)
        return;
    // A fixed cascade instead of the area's placement, which searches all
    // restored windows for the least overlap.
    const int step = int(m_area->subWindowList().size() % 10) * 24;
    frame->move(step, step);
    m_area->addSubWindow(frame);
    frame->showMaximized();
    parkOverflow(frame);
}

void DataWindowArea::bringToFront(QMdiSubWindow *frame)
{
    if (!frame || !m_area)
        return;
    if (isParked(frame)) {
        unpark(frame);
        frame->showMaximized();
    } else if (frame->isMinimized()) {
        frame->showMaximized();
    }
    m_area->setActiveSubWindow(frame);
    parkOverflow(frame);
}

bool DataWindowArea::isParked(const QMdiSubWindow *frame) const
{
    return frame && frame->parentWidget() == m_parking.get();
}

int DataWindowArea::count() const
{
    int parked = 0;
    for (QObject *child : m_parking->children())
        parked += qobject_cast<QMdiSubWindow *>(child) != nullptr;
    return parked + (m_area ? int(m_area->subWindowList().size()) : 0);
}

void DataWindowArea::parkOverflow(QMdiSubWindow *front)
{
    // Only a maximized window in front hides the others. (The area has no
    // active window while the program is inactive: the caller names it.)
    if (!front->isMaximized())
        return;
    const auto windows = m_area->subWindowList(QMdiArea::ActivationHistoryOrder);
    qsizetype excess = windows.size() - kKeptInArea;
    for (QMdiSubWindow *w : windows) {   // least recently activated first
        if (excess <= 0)
            break;
        if (w == front)
            continue;
        m_area->removeSubWindow(w);
        w->setParent(m_parking.get(), w->windowFlags());
        w->hide();
        --excess;
    }
}

void DataWindowArea::unpark(QMdiSubWindow *frame)
{
    m_area->addSubWindow(frame);
}
