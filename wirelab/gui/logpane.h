#pragma once
// The receive pane: an editable plain-text log whose appends are batched on a
// short timer, so a fast stream of lines never freezes the window and the
// cost of one append does not grow with the log. text() includes lines that
// are still waiting to be shown.
//
// A long line is stored as several paragraphs of at most MaxBlockChars (the
// later ones marked as continuations), so that showing the end of the log
// never lays out a paragraph of megabytes; text() and lastLine() join them
// back, so the log reads as the lines that were appended.
//
// One batch shows at most MaxFlushChars; the rest follows in the next pass of
// the event loop, so a flood of data never holds the window for long (a long
// line may be shown in several passes).

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

class LogPane : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int MaxBlockChars = 2048;
    static constexpr int MaxFlushChars = 256 * 1024;

    explicit LogPane(QWidget *parent = nullptr);

    void appendLine(const QString &line);
    void flush();  // shows every pending line now
    QString text();  // the whole log, pending lines included
    QString lastLine();  // the last line, pending lines included
    int pendingCount() const { return m_pending.size(); }

private:
    void showBatch(qsizetype budget);

    QStringList m_pending;
    bool m_headContinues = false;  // m_pending's first line goes on the last paragraph
    QTimer m_flushTimer;
    bool m_splitAny = false;  // some line was stored in pieces
};
