#include "gui/datawindowarea.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "gui/datasubwindow.h"

#include <utility>

DataWindowArea::DataWindowArea(QMdiArea *area) : QObject(area), m_area(area) {}

// Parked frames go with their holders, as the others go with the area.
DataWindowArea::~DataWindowArea()
{
    const QHash<QObject *, QWidget *> parked = std::exchange(m_parked, {});
    for (auto it = parked.cbegin(); it != parked.cend(); ++it) {
        disconnect(it.key(), nullptr, this, nullptr);
        delete it.value();
    }
}

void DataWindowArea::park(QWidget *frame)
{
    if (frame->isVisible())
        frame->hide();
    auto *holder = new QWidget;
    holder->setObjectName(QStringLiteral("ParkedDataWindow"));
    // A frame keeps its subwindow flags; a window without a frame, a window
    // of its own until now, becomes a plain child.
    frame->setParent(
        holder, qobject_cast<QMdiSubWindow *>(frame) ? frame->windowFlags() : Qt::WindowFlags(Qt::Widget));
    m_parked.insert(frame, holder);
    connect(frame, &QObject::destroyed, this, &DataWindowArea::parkedGone);
}

std::unique_ptr<QWidget> DataWindowArea::release(QWidget *frame)
{
    disconnect(frame, &QObject::destroyed, this, &DataWindowArea::parkedGone);
    return std::unique_ptr<QWidget>(m_parked.take(frame));
}

void DataWindowArea::parkedGone(QObject *frame)
{
    // Destroyed while parked (its endpoint was deleted): the holder goes too.
    if (QWidget *holder = m_parked.take(frame))
        holder->deleteLater();
}

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

void DataWindowArea::addParked(QWidget *window) { park(window); }

void DataWindowArea::bringToFront(QWidget *window)
{
    if (!window || !m_area)
        return;
    auto *frame = qobject_cast<QMdiSubWindow *>(window->parentWidget());
    if (!frame && m_parked.contains(window))
        frame = frameParked(window);
    bringToFront(frame);
}

QMdiSubWindow *DataWindowArea::frameParked(QWidget *window)
{
    disconnect(window, &QObject::destroyed, this, &DataWindowArea::parkedGone);
    QWidget *holder = m_parked.take(window);
    auto *frame = new DataSubWindow(holder);
    frame->setAttribute(Qt::WA_DeleteOnClose, false);
    frame->setWidget(window);
    window->show();  // shown with its frame
    m_parked.insert(frame, holder);
    connect(frame, &QObject::destroyed, this, &DataWindowArea::parkedGone);
    return frame;
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
    return frame && m_parked.contains(const_cast<QMdiSubWindow *>(frame));
}

int DataWindowArea::count() const
{
    return int(m_parked.size()) + (m_area ? int(m_area->subWindowList().size()) : 0);
}

void DataWindowArea::parkOverflow(QMdiSubWindow *front)
{
    // Only a maximized window in front hides the others. (The area has no
    // active window while the program is inactive: the caller names it.)
    if (!front->isMaximized())
        return;
    const auto windows = m_area->subWindowList(QMdiArea::ActivationHistoryOrder);
    qsizetype excess = windows.size() - kKeptInArea;
    for (QMdiSubWindow *w : windows) {  // least recently activated first
        if (excess <= 0)
            break;
        if (w == front)
            continue;
        m_area->removeSubWindow(w);
        park(w);
        --excess;
    }
}

void DataWindowArea::unpark(QMdiSubWindow *frame)
{
    const std::unique_ptr<QWidget> holder = release(frame);
    m_area->addSubWindow(frame);
}
