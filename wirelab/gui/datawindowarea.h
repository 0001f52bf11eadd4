#pragma once
// The MDI area's side of the data windows: every new window comes to the
// front maximized, and selecting an endpoint brings its window back.
//
// QMdiArea's bookkeeping is quadratic in the number of subwindows (raising a
// window looks each sibling up in a list, a change of the front window walks
// every widget of every subwindow), so a server with thousands of accepted
// connections would slow to a crawl. Only the most recently used windows are
// kept in the area; older ones, covered by the maximized window in front and
// unseen, are parked out of it, unchanged and still updated by their
// endpoints, and return to the area when they are brought to the front.
// Each parked frame (or window parked before it had a frame) has a hidden
// holder of its own, so it never becomes a window of its own: under one
// shared holder the frames' widgets would form one focus chain, which Qt
// walks whole each time a frame leaves it.

#include <QHash>
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
    // Keeps a new data window parked without a frame, neither shown nor laid
    // out (one of a burst that another window covers at once). Its frame is
    // made when it is first brought to the front.
    void addParked(QWidget *window);
    // Shows frame in front: a parked or minimized frame comes back maximized.
    void bringToFront(QMdiSubWindow *frame);
    // The same for a data window, framed or parked without a frame.
    void bringToFront(QWidget *window);

    bool isParked(const QMdiSubWindow *frame) const;
    // Frames in the area and parked ones.
    int count() const;

private:
    void parkOverflow(QMdiSubWindow *front);
    void unpark(QMdiSubWindow *frame);

    void park(QWidget *frame);
    // A window parked without a frame gets one, parked in its place.
    QMdiSubWindow *frameParked(QWidget *window);
    // Takes frame out of the parked ones; the caller reparents it and then
    // lets its holder go.
    std::unique_ptr<QWidget> release(QWidget *frame);
    void parkedGone(QObject *frame);

    QPointer<QMdiArea> m_area;
    // Parked frames and windows with their holders, owned here: deleted with
    // the area like the others.
    QHash<QObject *, QWidget *> m_parked;
};
