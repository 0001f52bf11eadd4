#pragma once
// The receive pane: an editable plain-text log whose appends are batched on a
// short timer, so a fast stream of lines never freezes the window and the
// cost of one append does not grow with the log. text() includes lines that
// are still waiting to be shown.

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

class LogPane : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LogPane(QWidget *parent = nullptr);

    void appendLine(const QString &line);
    void flush();           // shows every pending line now
    QString text();         // the whole log, pending lines included
    QString lastLine();     // the last line, pending lines included
    int pendingCount() const { return m_pending.size(); }

private:
    QStringList m_pending;
    QTimer m_flushTimer;
};
