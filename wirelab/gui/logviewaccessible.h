#pragma once
// What assistive technology reads of the receive pane: the text of the rows
// on screen (the offsets are ints and clients ask asynchronously, so the
// whole log is never offered and every offset is clamped), the selection
// within them and the caret at the start of the caret's row.

#include <QAccessibleWidget>

class LogView;

class LogViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LogViewAccessible(LogView *view);

    // Installs the factory that gives every LogView this interface (once).
    static void install();

    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    LogView *view() const;
    // The rows on screen: their text joined by newlines, and where each starts.
    struct Screen
    {
        QString text;
        std::vector<int> starts;
        qsizetype firstRow = 0;
    };
    Screen screen() const;
    int clamp(int offset, const Screen &s) const;
    qsizetype rowAtOffset(int offset, const Screen &s) const;
};
