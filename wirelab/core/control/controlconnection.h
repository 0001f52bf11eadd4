#pragma once
// ControlConnection: one source of control commands (standard input, a
// client of the control socket) and where its answers go. It cuts what it
// reads into lines and queues them; the channel takes them in turn. While
// MaxQueued lines wait it reads no more, so a client that floods is held
// back by its own socket instead of filling memory.

#include "core/control/commandreader.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>

class QSocketNotifier;

class ControlConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype MaxQueued = 1024;

    // One queued thing: a command line, or an error to answer in its place.
    struct Item
    {
        QByteArray line;
        QString error;
    };

    bool hasItem() const { return !m_items.empty(); }
    Item takeItem();
    // Whether an answer may be written now; false while too much waits to
    // go out to a client that does not read.
    virtual bool mayAnswer() const { return true; }
    // The answer to the item taken last (nothing for a line that asked
    // nothing).
    void answer(const QByteArray &bytes);
    // The input ended and every line was taken.
    bool drained() const { return m_ended && m_items.empty(); }

Q_SIGNALS:
    // Lines wait, or answers may be written again.
    void ready();
    // drained() became true.
    void finished();

protected:
    using QObject::QObject;

    bool full() const { return qsizetype(m_items.size()) >= MaxQueued; }
    bool ended() const { return m_ended; }
    // What was read, in order.
    void received(const QByteArray &bytes);
    // What one readFrom() found.
    enum class Read {
        Some,  // bytes, queued
        Nothing,  // nothing yet (interrupted, or nothing waiting)
        End,  // the end of the input
        Failure,  // an error: the input is over
    };
    // One read of the descriptor fd (its notifier said it is readable) into
    // the queue. The notifier is turned off while the queue is full, and
    // when the input is over (End or Failure; inputEnded() is the caller's).
    Read readFrom(int fd, QSocketNotifier *notifier);
    // The input ended; a line cut off at its end is dropped, and answered
    // with an error when cutOffError is not empty.
    void inputEnded(const QString &cutOffError = {});
    // Reads on: there is room in the queue again.
    virtual void readMore() = 0;
    virtual void write(const QByteArray &bytes) = 0;

private:
    CommandReader m_reader;
    std::deque<Item> m_items;
    bool m_ended = false;
};
