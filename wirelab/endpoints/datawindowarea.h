#pragma once
// The MDI area's side of the data windows: every new window comes to the
// front maximized, and selecting an endpoint brings its window back.
//
// QMdiArea's bookkeeping is quadratic in the number of subwindows (raising a
// window looks each sibling up in a list, a change of the front window walks
// every widget of every subwindow), so a server with thousands of accepted
// connections would slow to a crawl. Only the most recently used windows are
// kept in the area; older ones, covered by the maximized window in front and
// unseen, are parked in a hidden holder, unchanged and still updated by their
// endpoints, and return to the area when they are brought to the front.

#include <QObject>
#include <QPointer>
#include <memory>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

class DataWindowArea : public QObject
{
    Q_OBJECT
public:
    // At most this many windows stay in the area while one is maximized.
    static constexpr int kKeptInArea = 16;

    explicit DataWindowArea(QMdiArea *area);
    ~DataWindowArea() override;

    // Adds a new frame in front, maximized.
    void add(QMdiSubWindow *frame);
    // Shows frame in front: a parked or minimized frame comes back maximized.
    void bringToFront(QMdiSubWindow *frame);

    bool isParked(const QMdiSubWindow *frame) const;
    // Frames in the area and parked ones.
    int count() const;

private:
    void parkOverflow(QMdiSubWindow *front);
    void unpark(QMdiSubWindow *frame);

    QPointer<QMdiArea> m_area;
    std::unique_ptr<QWidget> m_parking;
};
