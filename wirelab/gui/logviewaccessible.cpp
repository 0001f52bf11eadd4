#include "gui/logviewaccessible.h"

#include "gui/logview.h"

#include <QScrollBar>

#include <algorithm>

namespace {
QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("LogView") && object && object->isWidgetType())
        return new LogViewAccessible(static_cast<LogView *>(object));
    return nullptr;
}
}  // namespace

LogViewAccessible::LogViewAccessible(LogView *view) : QAccessibleWidget(view, QAccessible::EditableText) {}

void LogViewAccessible::install()
{
    static bool installed = false;
    if (!std::exchange(installed, true))
        QAccessible::installFactory(Factory);
}

LogView *LogViewAccessible::view() const { return static_cast<LogView *>(widget()); }

void *LogViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString LogViewAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return screen().text;
    return QAccessibleWidget::text(t);
}

QAccessible::State LogViewAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

LogViewAccessible::Screen LogViewAccessible::screen() const
{
    Screen s;
    LogView *v = view();
    const qsizetype rows = v->rowCount();
    s.firstRow = std::min(v->topRow(), rows);
    const qsizetype end = std::min(rows, s.firstRow + v->visibleRowCount());
    for (qsizetype row = s.firstRow; row < end; ++row) {
        if (row > s.firstRow)
            s.text += u'\n';
        s.starts.push_back(int(s.text.size()));
        s.text += v->rowText(row);
    }
    return s;
}

int LogViewAccessible::clamp(int offset, const Screen &s) const
{
    return std::clamp(offset, 0, int(s.text.size()));
}

qsizetype LogViewAccessible::rowAtOffset(int offset, const Screen &s) const
{
    const auto it = std::upper_bound(s.starts.begin(), s.starts.end(), offset);
    return s.firstRow + std::max<qsizetype>(0, qsizetype(it - s.starts.begin()) - 1);
}

void LogViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0)
        return;
    const Screen s = screen();
    int first = -1;
    for (size_t i = 0; i < s.starts.size(); ++i) {
        if (!view()->isRowSelected(s.firstRow + qsizetype(i)))
            continue;
        if (first < 0)
            first = s.starts[i];
        *endOffset = i + 1 < s.starts.size() ? s.starts[i + 1] - 1 : int(s.text.size());
    }
    *startOffset = std::max(0, first);
    if (first < 0)
        *endOffset = 0;
}

int LogViewAccessible::selectionCount() const
{
    int start = 0;
    int end = 0;
    selection(0, &start, &end);
    return end > start ? 1 : 0;
}

void LogViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LogViewAccessible::removeSelection(int) { view()->clearSelection(); }

void LogViewAccessible::setSelection(int, int startOffset, int endOffset)
{
    const Screen s = screen();
    if (s.starts.empty())
        return;
    view()->selectRows(rowAtOffset(clamp(startOffset, s), s), rowAtOffset(clamp(endOffset, s), s));
}

int LogViewAccessible::cursorPosition() const
{
    const Screen s = screen();
    const qsizetype row = view()->caretRow();
    if (row < s.firstRow || row >= s.firstRow + qsizetype(s.starts.size()))
        return 0;
    return s.starts[size_t(row - s.firstRow)];
}

void LogViewAccessible::setCursorPosition(int position)
{
    const Screen s = screen();
    if (s.starts.empty())
        return;
    const qsizetype row = rowAtOffset(clamp(position, s), s);
    view()->selectRows(row, row);
}

QString LogViewAccessible::text(int startOffset, int endOffset) const
{
    const Screen s = screen();
    const int from = clamp(startOffset, s);
    const int to = std::max(from, clamp(endOffset, s));
    return s.text.mid(from, to - from);
}

int LogViewAccessible::characterCount() const { return int(screen().text.size()); }

QRect LogViewAccessible::characterRect(int offset) const
{
    const Screen s = screen();
    if (s.starts.empty())
        return QRect();
    const qsizetype row = rowAtOffset(clamp(offset, s), s);
    const QRect r = view()->rowRect(row);
    return QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size());
}

int LogViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const Screen s = screen();
    const qsizetype row = view()->rowAtPoint(view()->viewport()->mapFromGlobal(point));
    if (row < s.firstRow || row >= s.firstRow + qsizetype(s.starts.size()))
        return -1;
    return s.starts[size_t(row - s.firstRow)];
}

void LogViewAccessible::scrollToSubstring(int startIndex, int)
{
    const Screen s = screen();
    if (!s.starts.empty())
        view()->showRecord(view()->recordOfRow(rowAtOffset(clamp(startIndex, s), s)));
}

QString LogViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    const Screen s = screen();
    *startOffset = 0;
    *endOffset = int(s.text.size());
    Q_UNUSED(offset);
    return QString();
}
