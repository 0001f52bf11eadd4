#pragma once
// LogFindBar: the bar under the receive pane that finds text or hex bytes
// in the log (in the records' bytes, not in their formatted text) and
// filters the rows the pane shows.
//
// Matches are counted over the rows shown; each row with a match is marked
// and the current one is scrolled to. Enter goes to the next match,
// Shift+Enter to the previous one (F3 and Shift+F3 from the whole window).

#include <QByteArray>
#include <QTimer>
#include <QWidget>

#include <vector>

#include "core/log/logsearch.h"

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

    qsizetype matchCount() const { return qsizetype(m_matches.size()); }
    qsizetype currentMatch() const { return m_current; }
    // The bytes looked for: the text as UTF-8, or the hex digits as bytes.
    QByteArray needle() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void applyFilter();
    void showCurrent();

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
    std::vector<LogMatch> m_matches;  // in the rows shown
    qsizetype m_current = -1;
    QTimer m_research;  // new rows: the count is brought up to date once a burst
};
