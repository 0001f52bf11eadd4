#include "gui/logview.h"

#include "core/log/logsearch.h"
#include "core/text/displaytext.h"
#include "guard.h"
#include "gui/logviewaccessible.h"
#include "gui/rowtextpainter.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {
// The width wrapping counts a character in: a fraction of a pixel counts
// whole, so that a wrapped line of a font with fractional advances still
// fits the pane.
int charWidth(const QFont &font)
{
    return std::max(1, int(std::ceil(QFontMetricsF(font).horizontalAdvance(QLatin1Char('M')))));
}

// Rows laid out are kept for the next paint; past this many, or this many
// characters (a bulk stream's rows are blocks of 256 KiB), the cache
// starts again.
constexpr int MaxLayouts = 512;
constexpr qsizetype MaxLayoutChars = qsizetype(4) << 20;
constexpr int Margin = 3;
// New rows are taken (and the pane drawn) at most this often. Drawing the
// rows on screen costs about a millisecond; under a flood the log tells its
// bursts every few milliseconds, and drawing each of them took a sixth of
// the GUI thread from the events it answers.
constexpr int CatchUpMs = 40;
// While more than a screenful comes between two takes, no row is on screen
// long enough to be read: the pane shows the flood less often, and a
// scripted answer waits behind a redraw less often.
constexpr int FloodCatchUpMs = 100;

unsigned ShowBit(LineGroup group) { return 1u << unsigned(group); }
static_assert(LogView::ShowExtra > LogView::ShowScript && LogView::ShowExtra > LogView::ShowNotices);

// The colour of each tone of line (LineTone's order).
QColor ToneColor(LineTone tone)
{
    static const QColor Colors[] = {
        QColor(0, 60, 160),  // Received
        QColor(0, 120, 50),  // Sent
        QColor(170, 40, 20),  // Alert
        QColor(30, 30, 30),  // Plain
    };
    static_assert(std::size(Colors) == size_t(LineTone::Plain) + 1);
    return Colors[size_t(tone)];
}
}  // namespace

LogView::LogView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);  // its width never changes the wrapping
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    // Hinted to whole pixels, as a terminal's text is: every character
    // then takes the same whole cell, which wrapping counts in and the
    // text painter copies from its tiles.
    mono.setHintingPreference(QFont::PreferFullHinting);
    setFont(mono);
    // paintEvent fills every pixel of the viewport itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    m_charWidth = charWidth(font());
    m_lineHeight = std::max(1, fontMetrics().lineSpacing());
    setTextLineBox();

    LogViewAccessible::install();

    m_newRowsMark = new QToolButton(viewport());
    m_newRowsMark->setObjectName(QStringLiteral("NewLines"));
    m_newRowsMark->setAutoRaise(false);
    m_newRowsMark->setCursor(Qt::PointingHandCursor);
    m_newRowsMark->hide();
    connect(m_newRowsMark, &QToolButton::clicked, this, guard([this] { scrollToEnd(); }));
    m_catchUpTimer.setSingleShot(true);
    connect(&m_catchUpTimer, &QTimer::timeout, this, guard([this] { catchUp(); }));
}

LogView::~LogView() = default;

void LogView::setLog(EndpointLog *log)
{
    if (m_log)
        disconnect(m_log, nullptr, this, nullptr);
    m_log = log;
    if (m_log) {
        connect(m_log, &EndpointLog::appended, this, guard([this] { catchUpSoon(); }));
        connect(m_log, &EndpointLog::cleared, this, guard([this] { onCleared(); }));
        connect(m_log, &QObject::destroyed, this, guard([this] { onCleared(); }));
    }
    rebuildRows();
}

bool LogView::passes(qsizetype record, const RowMap *holding) const
{
    const EndpointLog::Entry e = m_log->record(record);
    // An extra record shows when extra records do and its kind does.
    if (!(m_show & ShowBit(lineKindInfo(e.kind).group)) || (e.extra && !(m_show & ShowExtra)))
        return false;
    if (m_needle.isEmpty())
        return true;
    if (holding)
        return holding->contains(record);
    return findBytes(m_log->bytes(record), m_needle, m_needleCaseSensitive) >= 0;
}

void LogView::catchUpSoon()
{
    if (m_catchUpTimer.isActive())
        return;
    const int interval = m_flooded ? FloodCatchUpMs : CatchUpMs;
    const qint64 since = m_lastCatchUp.isValid() ? m_lastCatchUp.elapsed() : interval;
    if (since >= interval)
        catchUp();
    else
        m_catchUpTimer.start(int(interval - since));
}

void LogView::catchUp()
{
    m_catchUpTimer.stop();
    m_lastCatchUp.start();
    if (!m_log)
        return;
    const qsizetype count = m_log->count();
    if (m_seen >= count)
        return;
    const bool wasAtEnd = m_follow && isAtEnd();
    const qsizetype before = m_rows.size();
    for (; m_seen < count; ++m_seen) {
        if (passes(m_seen))
            m_rows.push_back(m_seen);
    }
    const qsizetype added = m_rows.size() - before;
    m_flooded = added > visibleLines();
    if (added == 0)
        return;
    computeEnd();
    if (wasAtEnd) {
        setTop(m_endTop, m_endTopLine);
    } else {
        m_newRows += added;
        updateScrollBar();
    }
    updateNewRowsMark();
    viewport()->update();
    tellAccessibility();
    Q_EMIT rowsChanged();
}

void LogView::tellAccessibility()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::VisibleDataChanged);
    QAccessible::updateAccessibility(&event);
}

void LogView::rebuildRows()
{
    const qsizetype keep = m_rows.empty() || m_follow ? -1 : m_rows.at(m_top);
    m_rows.clear();
    m_seen = 0;
    m_newRows = 0;
    if (m_log) {
        const qsizetype count = m_log->count();
        // The records holding the filter's text are found in one pass over
        // the log's bytes, not by copying and searching each record's.
        const RowMap holding = m_needle.isEmpty()
            ? RowMap()
            : recordsHolding(*m_log, m_needle, m_needleCaseSensitive, count - 1);
        for (; m_seen < count; ++m_seen) {
            if (passes(m_seen, &holding))
                m_rows.push_back(m_seen);
        }
    }
    computeEnd();
    if (keep < 0) {
        setTop(m_endTop, m_endTopLine);
    } else {
        const qsizetype row = rowOfRecord(keep);
        setTop(row < 0 ? 0 : row, 0);
    }
    m_follow = isAtEnd();
    updateNewRowsMark();
    viewport()->update();
    Q_EMIT rowsChanged();
}

void LogView::onCleared()
{
    m_rows.clear();
    m_seen = 0;
    m_layouts.clear();
    m_layoutChars = 0;
    m_anchor = m_caret = -1;
    m_matches.clear();
    m_currentMatch = -1;
    m_newRows = 0;
    m_follow = true;
    computeEnd();
    setTop(0, 0);
    updateNewRowsMark();
    viewport()->update();
    Q_EMIT rowsChanged();
    Q_EMIT selectionChanged();
}

void LogView::setShown(unsigned show)
{
    if (show == m_show)
        return;
    m_show = show;
    rebuildRows();
}

void LogView::setContainsFilter(const QByteArray &needle, bool caseSensitive)
{
    if (needle == m_needle && caseSensitive == m_needleCaseSensitive)
        return;
    m_needle = needle;
    m_needleCaseSensitive = caseSensitive;
    rebuildRows();
}

void LogView::setMatches(const RowMap &records, qsizetype current, const QString &highlight,
                         Qt::CaseSensitivity cs)
{
    m_matches = records;
    m_currentMatch = current;
    m_highlight = highlight;
    m_highlightCase = cs;
    viewport()->update();
}

QString LogView::text()
{
    catchUp();
    QString all;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (i > 0)
            all += u'\n';
        all += m_log->text(m_rows[i]);
    }
    return all;
}

QString LogView::lastLine()
{
    catchUp();
    return m_rows.empty() ? QString() : m_log->text(m_rows.back());
}

qsizetype LogView::rowCount()
{
    catchUp();
    return m_rows.size();
}

RowMap LogView::shownRows()
{
    catchUp();
    return m_rows;
}

QString LogView::rowText(qsizetype row) { return m_log->text(m_rows.at(row)); }

int LogView::columns() const { return std::max(8, (viewport()->width() - 2 * Margin) / m_charWidth); }

int LogView::visibleLines() const { return std::max(1, viewport()->height() / m_lineHeight); }

void LogView::forgetLayouts()
{
    m_layouts.clear();
    m_layoutChars = 0;
    m_layoutColumns = columns();
}

const LogView::Layout &LogView::layout(qsizetype row)
{
    const qsizetype record = m_rows.at(row);
    if (m_layoutColumns != columns())
        forgetLayouts();
    auto it = m_layouts.find(record);
    if (it != m_layouts.end())
        return *it;
    if (m_layouts.size() >= MaxLayouts || m_layoutChars >= MaxLayoutChars) {
        m_layouts.clear();
        m_layoutChars = 0;
    }
    Layout l;
    l.text = m_log->text(record);
    // A data line starts with its time and a blank; the other kinds are their text.
    const EndpointLog::Entry e = m_log->record(record);
    l.prefix = carriesBytes(e.kind) ? int(logClockText(e.timeMs).size()) + 1 : 0;
    m_layoutChars += l.text.size();
    // Pieces of at most MaxPieceChars, each wrapped to the columns.
    const int cols = m_layoutColumns;
    const qsizetype n = l.text.size();
    l.starts.push_back(0);
    int used = 0;
    qsizetype pieceStart = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const int w = RowTextPainter::columns(l.text.at(i).unicode());
        if (i - pieceStart >= MaxPieceChars || (used > 0 && used + w > cols)) {
            l.starts.push_back(int(i));
            used = 0;
            if (i - pieceStart >= MaxPieceChars)
                pieceStart = i;
        }
        used += w;
    }
    return *m_layouts.insert(record, std::move(l));
}

void LogView::computeEnd()
{
    const int screen = visibleLines();
    int lines = 0;
    qsizetype row = m_rows.size();
    while (row > 0 && lines < screen) {
        --row;
        lines += lineCount(row);
    }
    m_endTop = row;
    m_endTopLine = std::max(0, lines - screen);
}

bool LogView::isAtEnd() const { return m_top > m_endTop || (m_top == m_endTop && m_topLine >= m_endTopLine); }

void LogView::setTop(qsizetype row, int line)
{
    if (row > m_endTop || (row == m_endTop && line > m_endTopLine)) {
        row = m_endTop;
        line = m_endTopLine;
    }
    m_top = std::max<qsizetype>(0, row);
    m_topLine = std::max(0, line);
    m_follow = isAtEnd();
    if (m_follow && m_newRows) {
        m_newRows = 0;
        updateNewRowsMark();
    }
    updateScrollBar();
    viewport()->update();
}

void LogView::updateScrollBar()
{
    m_settingBar = true;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, int(std::min<qsizetype>(m_endTop, INT_MAX)));
    bar->setPageStep(std::max(1, visibleLines()));
    bar->setSingleStep(1);
    bar->setValue(int(std::min<qsizetype>(m_top, INT_MAX)));
    m_settingBar = false;
}

void LogView::scrollContentsBy(int, int)
{
    if (m_settingBar)
        return;
    const qsizetype value = verticalScrollBar()->value();
    setTop(value, value == m_endTop ? m_endTopLine : 0);
}

void LogView::scrollLines(int lines)
{
    qsizetype row = m_top;
    int line = m_topLine;
    if (m_rows.empty())
        return;
    while (lines > 0) {
        if (line + 1 < lineCount(row)) {
            ++line;
        } else if (row + 1 < m_rows.size()) {
            ++row;
            line = 0;
        } else {
            break;
        }
        --lines;
        if (row > m_endTop || (row == m_endTop && line >= m_endTopLine))
            break;
    }
    while (lines < 0) {
        if (line > 0) {
            --line;
        } else if (row > 0) {
            --row;
            line = lineCount(row) - 1;
        } else {
            break;
        }
        ++lines;
    }
    setTop(row, line);
}

void LogView::scrollToEnd()
{
    catchUp();
    computeEnd();
    setTop(m_endTop, m_endTopLine);
}

qsizetype LogView::visibleRowCount() const
{
    // Rows from the top until the screen is full (a row is at least a line).
    qsizetype count = 0;
    int lines = -m_topLine;
    auto *self = const_cast<LogView *>(this);
    for (qsizetype row = m_top; row < m_rows.size() && lines < visibleLines(); ++row) {
        lines += self->lineCount(row);
        ++count;
    }
    return count;
}

qsizetype LogView::rowAt(int y)
{
    if (m_rows.empty())
        return -1;
    int line = y / m_lineHeight + m_topLine;
    qsizetype row = m_top;
    if (y < 0)
        return std::max<qsizetype>(0, row - 1);
    while (row < m_rows.size()) {
        const int n = lineCount(row);
        if (line < n)
            return row;
        line -= n;
        ++row;
    }
    return m_rows.size() - 1;
}

qsizetype LogView::rowOfRecord(qsizetype record) const
{
    const qsizetype row = m_rows.lowerBound(record);
    return row == m_rows.size() ? -1 : row;
}

bool LogView::isShown(qsizetype record) const { return m_rows.contains(record); }

qsizetype LogView::caretRow() const { return m_caret < 0 ? -1 : rowOfRecord(m_caret); }

void LogView::ensureRowVisible(qsizetype row)
{
    if (row < 0)
        return;
    if (row < m_top || (row == m_top && m_topLine > 0)) {
        setTop(row, 0);
        return;
    }
    // Below the screen: put the row's last line at the bottom.
    int lines = lineCount(row) - m_topLine;
    for (qsizetype r = m_top; r < row && lines <= visibleLines(); ++r)
        lines += lineCount(r);
    if (lines <= visibleLines())
        return;
    int need = 0;
    qsizetype top = row + 1;
    while (top > 0 && need < visibleLines())
        need += lineCount(--top);
    setTop(top, std::max(0, need - visibleLines()));
}

void LogView::showRecord(qsizetype record)
{
    catchUp();
    if (isShown(record))
        ensureRowVisible(rowOfRecord(record));
}

void LogView::setCaret(qsizetype row, bool extend)
{
    if (m_rows.empty() || row < 0)
        return;
    row = std::min<qsizetype>(row, m_rows.size() - 1);
    m_caret = m_rows[row];
    if (!extend || m_anchor < 0)
        m_anchor = m_caret;
    ensureRowVisible(row);
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextCursorEvent event(this, 0);
        QAccessible::updateAccessibility(&event);
    }
    Q_EMIT selectionChanged();
}

bool LogView::isRowSelected(qsizetype row) const
{
    if (m_anchor < 0 || row < 0 || row >= m_rows.size())
        return false;
    const qsizetype record = m_rows[row];
    return record >= std::min(m_anchor, m_caret) && record <= std::max(m_anchor, m_caret);
}

void LogView::selectRows(qsizetype from, qsizetype to)
{
    if (from < 0 || to < 0 || m_rows.empty())
        return;
    const qsizetype last = m_rows.size() - 1;
    m_anchor = m_rows[std::min(from, last)];
    setCaret(to, true);
}

void LogView::clearSelection()
{
    m_anchor = m_caret = -1;
    viewport()->update();
    Q_EMIT selectionChanged();
}

QRect LogView::rowRect(qsizetype row)
{
    if (row < m_top || row >= m_rows.size())
        return QRect();
    int lines = -m_topLine;
    for (qsizetype r = m_top; r < row; ++r) {
        lines += lineCount(r);
        if (lines > visibleLines())
            return QRect();
    }
    const QRect r(0, lines * m_lineHeight, viewport()->width(), lineCount(row) * m_lineHeight);
    return r.intersected(viewport()->rect());
}

void LogView::selectAll()
{
    catchUp();
    if (m_rows.empty())
        return;
    m_anchor = m_rows.front();
    m_caret = m_rows.back();
    viewport()->update();
    Q_EMIT selectionChanged();
}

QString LogView::selectedText()
{
    if (m_anchor < 0 || !m_log)
        return {};
    const qsizetype from = std::min(m_anchor, m_caret);
    const qsizetype to = std::max(m_anchor, m_caret);
    QString text;
    bool first = true;
    for (qsizetype row = m_rows.lowerBound(from); row < m_rows.size() && m_rows[row] <= to; ++row) {
        if (!first)
            text += u'\n';
        first = false;
        text += m_log->text(m_rows[row]);
    }
    return text;
}

void LogView::copy()
{
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void LogView::clearLog()
{
    if (m_log)
        m_log->clear();  // the log's cleared() empties the view
}

void LogView::updateNewRowsMark()
{
    if (m_newRows <= 0 || m_follow) {
        m_newRowsMark->hide();
        return;
    }
    m_newRowsMark->setText(tr("%1 条新行").arg(m_newRows));
    m_newRowsMark->adjustSize();
    m_newRowsMark->move(viewport()->width() - m_newRowsMark->width() - 6,
                        viewport()->height() - m_newRowsMark->height() - 6);
    m_newRowsMark->show();
}

void LogView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const QRect exposed = event->rect();
    p.fillRect(exposed, palette().color(QPalette::Base));
    if (!m_log || m_rows.empty())
        return;
    const int width = viewport()->width();
    const qsizetype selFrom = m_anchor < 0 ? -1 : std::min(m_anchor, m_caret);
    const qsizetype selTo = m_anchor < 0 ? -2 : std::max(m_anchor, m_caret);
    const QColor timeColor(120, 120, 120);
    const QColor matchBack(255, 236, 140);
    const QColor currentBack(255, 180, 60);
    const QFontMetrics fm = fontMetrics();
    int y = -m_topLine * m_lineHeight;
    for (qsizetype row = m_top; row < m_rows.size() && y <= exposed.bottom(); ++row) {
        const qsizetype record = m_rows[row];
        const Layout &l = layout(row);
        const int height = int(l.starts.size()) * m_lineHeight;
        if (y + height <= exposed.top()) {
            y += height;  // above what is to be drawn
            continue;
        }
        const bool selected = record >= selFrom && record <= selTo;
        const bool matched = m_matches.contains(record);
        if (selected)
            p.fillRect(0, y, width, height, palette().color(QPalette::Highlight));
        else if (record == m_currentMatch)
            p.fillRect(0, y, width, height, currentBack.lighter(130));
        const QColor color = selected ? palette().color(QPalette::HighlightedText)
                                      : ToneColor(lineKindInfo(m_log->record(record).kind).tone);
        // The solid colour under the row's text, unless found text is marked in it.
        QColor under = selected        ? palette().color(QPalette::Highlight)
            : record == m_currentMatch ? currentBack.lighter(130)
                                       : palette().color(QPalette::Base);
        if (matched && !selected && !m_highlight.isEmpty())
            under = QColor();
        // Only the lines of the row that are to be drawn are.
        for (size_t k = 0; k < l.starts.size(); ++k) {
            const int ly = y + int(k) * m_lineHeight;
            if (ly + m_lineHeight <= exposed.top())
                continue;
            if (ly > exposed.bottom())
                break;
            const int from = l.starts[k];
            const int to = k + 1 < l.starts.size() ? l.starts[k + 1] : int(l.text.size());
            const QStringView line = QStringView(l.text).mid(from, to - from);
            if (matched && !selected && !m_highlight.isEmpty()) {
                // The find text where it shows in this line.
                for (qsizetype at = line.indexOf(m_highlight, 0, m_highlightCase); at >= 0;
                     at = line.indexOf(m_highlight, at + 1, m_highlightCase)) {
                    const int x0 = Margin + fm.horizontalAdvance(line.left(at).toString());
                    const int w = fm.horizontalAdvance(line.mid(at, m_highlight.size()).toString());
                    p.fillRect(x0, ly, w, m_lineHeight, record == m_currentMatch ? currentBack : matchBack);
                }
            }
            const int base = ly + fm.ascent() + (m_lineHeight - fm.height()) / 2;
            QPointF at(Margin, base);
            if (from < l.prefix) {
                const QStringView time = QStringView(l.text).mid(from, std::min(to, l.prefix) - from);
                p.setPen(selected ? color : timeColor);
                if (!m_textPainter->draw(p, at, time, under)) {
                    p.drawText(at, time.toString());
                    at.rx() += fm.horizontalAdvance(time.toString());
                }
            }
            if (to > l.prefix) {
                const int start = std::max(from, l.prefix);
                const QStringView body = QStringView(l.text).mid(start, to - start);
                p.setPen(color);
                if (!m_textPainter->draw(p, at, body, under))
                    p.drawText(at, body.toString());
            }
        }
        if (record == m_caret && hasFocus()) {
            p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(0, y, width - 1, height - 1);
        }
        y += height;
    }
}

void LogView::setTextLineBox()
{
    // As paintEvent places a line's baseline in its box.
    const QFontMetrics fm = fontMetrics();
    m_textPainter =
        RowTextPainter::shared(font(), fm.ascent() + (m_lineHeight - fm.height()) / 2, m_lineHeight);
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    const bool follow = m_follow;
    computeEnd();
    if (follow)
        setTop(m_endTop, m_endTopLine);
    else
        setTop(m_top, m_topLine);
    updateNewRowsMark();
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_charWidth = charWidth(font());
        m_lineHeight = std::max(1, fontMetrics().lineSpacing());
        setTextLineBox();
        forgetLayouts();
        computeEnd();
        setTop(m_top, m_topLine);
    }
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    Guarded([&] {
        catchUp();
        if (event == QKeySequence::Copy) {
            copy();
            return;
        }
        if (event == QKeySequence::SelectAll) {
            selectAll();
            return;
        }
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        const qsizetype rows = m_rows.size();
        const qsizetype caret = caretRow() < 0 ? m_top : caretRow();
        switch (event->key()) {
        case Qt::Key_Up:
            setCaret(std::max<qsizetype>(0, caret - 1), extend);
            return;
        case Qt::Key_Down:
            setCaret(caret + 1, extend);
            return;
        case Qt::Key_PageUp:
            setCaret(std::max<qsizetype>(0, caret - std::max<qsizetype>(1, visibleRowCount() - 1)), extend);
            return;
        case Qt::Key_PageDown:
            setCaret(caret + std::max<qsizetype>(1, visibleRowCount() - 1), extend);
            return;
        case Qt::Key_Home:
            setCaret(0, extend);
            return;
        case Qt::Key_End:
            setCaret(rows - 1, extend);
            if (!extend)
                scrollToEnd();
            return;
        default:
            break;
        }
        QAbstractScrollArea::keyPressEvent(event);
    });
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    Guarded([&] {
        if (event->button() != Qt::LeftButton && hasSelection())
            return;  // a right click keeps the selection for the menu
        const qsizetype row = rowAt(int(event->position().y()));
        setCaret(row, event->modifiers() & Qt::ShiftModifier);
    });
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    Guarded([&] {
        if (!(event->buttons() & Qt::LeftButton))
            return;
        const int y = int(event->position().y());
        if (y < 0)
            scrollLines(-1);
        else if (y >= viewport()->height())
            scrollLines(1);
        setCaret(rowAt(y), true);
    });
}

void LogView::wheelEvent(QWheelEvent *event)
{
    Guarded([&] {
        const int steps = event->angleDelta().y() / 40;  // three lines a notch
        if (steps != 0)
            scrollLines(-steps);
        event->accept();
    });
}

void LogView::contextMenuEvent(QContextMenuEvent *event)
{
    Guarded([&] {
        QMenu menu(this);
        QAction *copyAction = menu.addAction(tr("复制"), this, [this] { Guarded([this] { copy(); }); });
        copyAction->setShortcut(QKeySequence::Copy);
        copyAction->setEnabled(hasSelection());
        menu.addAction(tr("全选"), this, [this] { Guarded([this] { selectAll(); }); })
            ->setShortcut(QKeySequence::SelectAll);
        menu.addAction(tr("清空"), this, [this] { Guarded([this] { clearLog(); }); });
        if (!m_extraActions.isEmpty()) {
            menu.addSeparator();
            menu.addActions(m_extraActions);
        }
        menu.exec(event->globalPos());
    });
}
