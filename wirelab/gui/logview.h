#pragma once
// LogView: the receive pane, a read-only view over an endpoint's log that
// draws only the rows on screen, whatever the log's length.
//
// A row is a record of the log that passes the filter; its text is made by
// the log when the row is drawn or read. Long rows wrap to the width, first
// cut into pieces of at most MaxPieceChars so a line of megabytes is never
// laid out whole. The scroll position is a row and a line within it, not
// pixels, so the scroll bar counts rows. While the user is at the end the
// view follows new rows; scrolled up it stays, and a mark counts the new
// rows (clicking it goes to the end).
//
// Selection is whole rows (anchor and caret are records); copy gives the
// selected rows' texts, one per line. text() and lastLine() read the rows
// as the pane shows them, including rows the log has not announced yet.

#include "core/log/endpointlog.h"
#include "core/log/rowmap.h"
#include "gui/rowtextpainter.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

class QToolButton;
class QMenu;

class LogView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr int MaxPieceChars = 2048;

    // Which records are shown: bit n for the kinds of LineGroup n, and
    // whether the extra records are.
    enum Show : unsigned {
        ShowReceived = 1u << unsigned(LineGroup::Received),
        ShowSent = 1u << unsigned(LineGroup::Sent),
        ShowNotices = 1u << unsigned(LineGroup::Notices),
        ShowScript = 1u << unsigned(LineGroup::Script),
        ShowExtra = 16,  // records that are not lines of the receive pane
        ShowDefault = ShowReceived | ShowSent | ShowNotices | ShowScript,
    };

    explicit LogView(QWidget *parent = nullptr);
    ~LogView() override;

    void setLog(EndpointLog *log);
    EndpointLog *log() const { return m_log; }

    // The rows shown, as text, one per line; and the last of them.
    QString text();
    QString lastLine();
    qsizetype rowCount();
    QString rowText(qsizetype row);
    qsizetype recordOfRow(qsizetype row) const { return m_rows.at(row); }
    // The rows shown now (a copy, a bit per record of the log).
    RowMap shownRows();
    // Whether the record is a row (passes the filter).
    bool isShown(qsizetype record) const;

    // Filter: the kinds shown and, when set, only records whose bytes
    // contain `needle` (ASCII letters matched in either case unless
    // caseSensitive). Filtering hides rows, never changes the log.
    unsigned shown() const { return m_show; }
    void setShown(unsigned show);
    void setContainsFilter(const QByteArray &needle, bool caseSensitive);

    // Records whose rows are marked as matches of a find, and the current one;
    // `highlight` is marked where it shows in their text, in `cs`.
    void setMatches(const RowMap &records, qsizetype current, const QString &highlight,
                    Qt::CaseSensitivity cs = Qt::CaseInsensitive);
    // Scrolls so that the record's row is on screen (when it is shown).
    void showRecord(qsizetype record);

    bool isAtEnd() const;
    void scrollToEnd();
    qsizetype newRowCount() const { return m_newRows; }
    // The first row on screen.
    qsizetype topRow() const { return m_top; }
    // The rows at least partly on screen: [first, first + count).
    qsizetype visibleRowCount() const;

    // Selection (rows between anchor and caret, by record).
    QString selectedText();
    bool hasSelection() const { return m_anchor >= 0; }
    qsizetype caretRow() const;
    bool isRowSelected(qsizetype row) const;
    // Selects rows [from, to] (either order), the caret on `to`.
    void selectRows(qsizetype from, qsizetype to);
    void clearSelection();
    void selectAll();
    // Where a row is drawn in the viewport (clipped to it), and the row at a point.
    QRect rowRect(qsizetype row);
    qsizetype rowAtPoint(const QPoint &point) { return rowAt(point.y()); }
    void copy();
    // Empties the log (the user's "清空"); the endpoint and its counters stay.
    void clearLog();

    // Adds actions to the context menu after copy, select all and clear.
    void addMenuAction(QAction *action) { m_extraActions.append(action); }

Q_SIGNALS:
    void selectionChanged();
    void rowsChanged();  // rows were added, filtered or cleared

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Layout
    {
        QString text;
        int prefix = 0;  // the time before the body, drawn apart
        std::vector<int> starts;  // where each visual line starts
    };

    // `holding`, when given, holds the records that contain the filter's
    // text, found beforehand in one pass over the log.
    bool passes(qsizetype record, const RowMap *holding = nullptr) const;
    // Takes the records the log has that the view has not seen yet.
    void catchUp();
    // The same, now or (right after the last time) a little later.
    void catchUpSoon();
    void rebuildRows();
    void onCleared();
    const Layout &layout(qsizetype row);
    int lineCount(qsizetype row) { return int(layout(row).starts.size()); }
    int visibleLines() const;
    int columns() const;
    void computeEnd();
    void updateScrollBar();
    void scrollLines(int lines);
    void setTop(qsizetype row, int line);
    qsizetype rowAt(int y);
    qsizetype rowOfRecord(qsizetype record) const;
    void setCaret(qsizetype row, bool extend);
    void ensureRowVisible(qsizetype row);
    void updateNewRowsMark();
    void forgetLayouts();
    void setTextLineBox();
    void tellAccessibility();

    QPointer<EndpointLog> m_log;
    RowMap m_rows;  // records shown, in order
    qsizetype m_seen = 0;  // records of the log looked at
    unsigned m_show = ShowDefault;
    QByteArray m_needle;
    bool m_needleCaseSensitive = false;

    qsizetype m_top = 0;  // first row on screen
    int m_topLine = 0;  // its first visual line on screen
    qsizetype m_endTop = 0;  // where the top is when the end is shown
    int m_endTopLine = 0;
    bool m_follow = true;
    qsizetype m_newRows = 0;
    bool m_settingBar = false;

    qsizetype m_anchor = -1;  // records
    qsizetype m_caret = -1;

    RowMap m_matches;  // records holding a match
    qsizetype m_currentMatch = -1;
    QString m_highlight;
    Qt::CaseSensitivity m_highlightCase = Qt::CaseInsensitive;

    QHash<qsizetype, Layout> m_layouts;  // by record, rows drawn lately
    qsizetype m_layoutChars = 0;  // their characters
    int m_layoutColumns = 0;
    int m_charWidth = 8;
    int m_lineHeight = 16;
    std::shared_ptr<RowTextPainter> m_textPainter;

    QTimer m_catchUpTimer;
    QElapsedTimer m_lastCatchUp;
    bool m_flooded = false;  // the last take brought more than a screenful

    QToolButton *m_newRowsMark;
    QList<QAction *> m_extraActions;
};
