#pragma once
// RowTextPainter: draws the receive pane's lines without laying out each
// of them again. A redraw of a full pane drew every visible line with
// QPainter::drawText, which shapes its text anew each time; shaping cost a
// third of the redraw. Here characters the pane's font has are drawn from
// a table of glyphs and advances made once per font, and runs of wide
// (East Asian) characters, few and repeated ("收到数据："), from laid-out
// runs kept by their text. Lines with anything else (combining marks,
// right-to-left text, controls, characters outside the font) are left to
// the caller, which draws them as before.

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

class QPainter;

class RowTextPainter
{
public:
    // Columns a character takes in a monospace font: East Asian wide ones two.
    static int columns(char16_t c);

    void setFont(const QFont &font);
    // Draws text in the painter's pen from `at` (its x on the baseline),
    // moving at.x() past it. False, drawing nothing, when the text has a
    // character that needs a full layout.
    bool draw(QPainter &painter, QPointF &at, QStringView text);

private:
    struct WideRun
    {
        QList<QGlyphRun> runs;  // positions from the run's start on the baseline
        qreal advance = 0;
    };
    // Characters below this with a glyph of their own are drawn from the table.
    static constexpr int TableSize = 0x300;

    bool drawable(QStringView text) const;
    const WideRun &wideRun(QStringView text);

    QFont m_font;
    QRawFont m_raw;
    std::array<quint32, TableSize> m_glyph {};  // 0: not in the table
    std::array<qreal, TableSize> m_advance {};
    QHash<QString, WideRun> m_wide;
    std::vector<quint32> m_indexes;  // of the run being drawn
    std::vector<QPointF> m_positions;
    QGlyphRun m_run;
};
