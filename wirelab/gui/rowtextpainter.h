#pragma once
// RowTextPainter: draws the receive pane's lines without laying out each
// of them again. A redraw of a full pane drew every visible line with
// QPainter::drawText, which shapes its text anew each time; shaping cost a
// third of the redraw. Here characters the pane's font has are drawn from
// a table of glyphs and advances made once per font, and runs of wide
// (East Asian) characters, few and repeated ("收到数据："), and control
// pictures the font lacks, from laid-out runs kept by their text. Lines with anything else (combining marks,
// right-to-left text, controls, characters outside the font) are left to
// the caller, which draws them as before.
//
// Blending a glyph into the pane costs about as much as the rest of a
// line's drawing together. When the caller knows the solid background
// under a line, characters whose advance is the font's whole-pixel cell
// are copied instead from tiles: each glyph drawn once per pair of text
// and background colours into a cell the height of a line, then copied
// row by row. The pixels are the ones blending gives on that background.

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QImage>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;

class RowTextPainter
{
public:
    // Columns a character takes in a monospace font: East Asian wide ones two.
    static int columns(char16_t c);
    // The painter of a font and line box that every pane drawing them
    // shares while any holds it: its tiles and runs are made once.
    static std::shared_ptr<RowTextPainter> shared(const QFont &font, int ascent, int height);

    void setFont(const QFont &font);
    // The box of a line around its baseline: `ascent` pixels above it,
    // `height` in all. Tiles are made only once it is known.
    void setLineBox(int ascent, int height);
    // Draws text in the painter's pen from `at` (its x on the baseline),
    // moving at.x() past it. False, drawing nothing, when the text has a
    // character that needs a full layout. `background`, when valid, is the
    // solid colour already under the whole line box.
    bool draw(QPainter &painter, QPointF &at, QStringView text, const QColor &background = QColor());

private:
    struct WideRun
    {
        QList<QGlyphRun> runs;  // positions from the run's start on the baseline
        qreal advance = 0;
        bool drawn = false;  // once before
        // The run drawn on a background, by pair of colours: made once a
        // run is drawn again (the pane's prefixes are, on every line).
        std::vector<std::pair<quint64, QImage>> tiles;
    };
    // Characters with a glyph of their own are drawn from the table when
    // they are below U+0300 or one of the control pictures (U+2400 to
    // U+243F) that show a line's control bytes.
    static constexpr int TableSize = 0x340;
    static int slot(char16_t c)
    {
        return c < 0x300 ? int(c) : c >= 0x2400 && c < 0x2440 ? 0x300 + (c - 0x2400) : -1;
    }

    // Cells of one pair of colours, made as their characters are first drawn.
    struct Tiles
    {
        QRgb text = 0;
        QRgb background = 0;
        QImage cells;  // TableSize cells side by side
        std::vector<bool> made;
    };

    static bool isControlPicture(char16_t c) { return c >= 0x2400 && c < 0x2440; }
    bool inTable(char16_t c) const
    {
        const int s = slot(c);
        return s >= 0 && m_glyph[size_t(s)] != 0;
    }
    bool drawable(QStringView text) const;
    WideRun &wideRun(QStringView text);
    WideRun makeWideRun(const QString &key) const;
    void forgetWideRuns();
    const QImage &wideTile(WideRun &run, QRgb text, QRgb background);
    bool canTile(const QPainter &painter, QPointF at) const;
    Tiles &tiles(QRgb text, QRgb background);
    void copyTiles(QPainter &painter, QPointF at, QStringView run, Tiles &tiles);

    QFont m_font;
    QRawFont m_raw;
    std::array<quint32, TableSize> m_glyph {};  // 0: not in the table
    std::array<qreal, TableSize> m_advance {};
    std::unordered_map<QString, WideRun> m_wide;  // its values stay where they are
    std::array<std::pair<QString, WideRun *>, 4> m_recent {};  // the runs last looked up
    size_t m_nextRecent = 0;
    std::vector<quint32> m_indexes;  // of the run being drawn
    std::vector<QPointF> m_positions;
    QGlyphRun m_run;
    int m_cell = 0;  // the whole-pixel advance of the font's cells, 0: none
    int m_ascent = 0;
    int m_height = 0;
    std::vector<Tiles> m_tiles;
    QImage m_strip;  // a run's tiles copied together, drawn at once
    std::vector<qsizetype> m_offsets;  // of the run's cells, in bytes
};
