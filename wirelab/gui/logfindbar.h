#pragma once
// LogFindBar: the bar under the receive pane that finds text or hex bytes
// in the log (in the records' bytes, not in their formatted text) and
// filters the rows the pane shows.
//
// Matches are counted over the rows shown; each row with a match is marked
// and the current one is scrolled to. Enter goes to the next match,
// Shift+Enter to the previous one (F3 and Shift+F3 from the whole window).
// What a find keeps does not grow with its matches: their count, the
// records holding them (a bit per record) and the current one, from which
// the next and the previous are looked for when asked.

#include <QByteArray>
#include <QTimer>
#include <QWidget>

#include "core/log/logsearch.h"
#include "core/log/rowmap.h"

class LogView;
class QCheckBox;
class QLabel;
class QLineEdit;

class LogFindBar : public QWidget
{
    Q_OBJECT
public:
    LogFindBar(LogView *view, QWidget *parent = nullptr);

    // Shows the bar with the find text selected for typing.
    void activate();
    void findNext();
    void findPrevious();

    qsizetype matchCount() const { return m_total; }
    // The current match's place among them (from 0), or -1.
    qsizetype currentMatch() const { return m_index; }
    // The bytes looked for: the text as UTF-8, or the hex digits as bytes.
    QByteArray needle() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void applyFilter();
    void showCurrent();
    // The first match in a record of m_records at or after `from`, and the
    // last one starting before `before` (-1: anywhere); record -1 if none.
    LogMatch firstIn(qsizetype record, qint64 from) const;
    LogMatch lastIn(qsizetype record, qint64 before) const;

    LogView *m_view;
    QLineEdit *m_text;  // FindText
    QCheckBox *m_hex;  // FindHex
    QCheckBox *m_case;  // FindCase
    QLabel *m_count;  // FindCount
    QCheckBox *m_received;  // ShowReceived
    QCheckBox *m_sent;  // ShowSent
    QCheckBox *m_notices;  // ShowNotices
    QCheckBox *m_script;  // ShowScript
    QCheckBox *m_extra;  // ShowExtra
    QCheckBox *m_onlyMatching;  // OnlyMatching
    RowMap m_records;  // the rows shown that hold a match
    qsizetype m_total = 0;  // matches in them
    LogMatch m_current;  // record -1: none
    qsizetype m_index = -1;  // of m_current among the matches
    QTimer m_research;  // new rows: the count is brought up to date once a burst
    bool m_stale = false;  // rows changed since the count
};
