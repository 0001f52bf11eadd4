#include "gui/rowtextpainter.h"

#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <cmath>
#include <cstring>
#include <utility>

namespace {
// Wide runs kept; past this many (a log of varied East Asian text) they start again.
constexpr int MaxWideRuns = 256;
// Pairs of colours with tiles kept (the pane uses about five).
constexpr size_t MaxTileSets = 8;
constexpr QImage::Format TileFormat = QImage::Format_ARGB32_Premultiplied;

bool Whole(qreal v) { return v == std::floor(v); }

// Pixels past the last cell that a copy of it reads or writes.
int Slack(int cell) { return cell <= 8 ? 8 - cell : cell <= 16 ? 16 - cell : 0; }
}  // namespace

int RowTextPainter::columns(char16_t c)
{
    if (c < 0x1100)
        return 1;
    if ((c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
        || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6))
        return 2;
    return 1;
}

std::shared_ptr<RowTextPainter> RowTextPainter::shared(const QFont &font, int ascent, int height)
{
    static QHash<QString, std::weak_ptr<RowTextPainter>> painters;
    const QString key = font.key() + u'/' + QString::number(ascent) + u'/' + QString::number(height);
    std::shared_ptr<RowTextPainter> painter = painters.value(key).lock();
    if (!painter) {
        // Those no pane holds any more go with the first new one.
        painters.removeIf([](const auto &entry) { return entry.value().expired(); });
        painter = std::make_shared<RowTextPainter>();
        painter->setFont(font);
        painter->setLineBox(ascent, height);
        painters.insert(key, painter);
    }
    return painter;
}

void RowTextPainter::setFont(const QFont &font)
{
    m_font = font;
    forgetWideRuns();
    m_tiles.clear();
    m_cell = 0;
    m_glyph.fill(0);
    m_advance.fill(0);
    m_raw = QRawFont::fromFont(font);
    if (!m_raw.isValid())
        return;
    // Printable characters that stand alone: below the table's end no
    // character joins another or runs right to left; a blank other than
    // the space and a format character may be drawn differently.
    QString chars(1, u' ');
    for (int c = 0x21; c < 0x2440; c = c == 0x2FF ? 0x2400 : c + 1) {
        const QChar ch(c);
        if (ch.isPrint() && !ch.isSpace() && ch.category() != QChar::Other_Format)
            chars.append(ch);
    }
    const QList<quint32> glyphs = m_raw.glyphIndexesForString(chars);
    const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
    // Glyph 0 is the font's "missing" glyph: those characters stay out.
    for (qsizetype i = 0; i < chars.size() && i < glyphs.size() && i < advances.size(); ++i) {
        m_glyph[size_t(slot(chars[i].unicode()))] = glyphs[i];
        m_advance[size_t(slot(chars[i].unicode()))] = advances[i].x();
    }
    const qreal cell = m_advance[u'M'];
    if (m_glyph[u'M'] != 0 && cell >= 1 && Whole(cell))
        m_cell = int(cell);
}

void RowTextPainter::setLineBox(int ascent, int height)
{
    if (ascent == m_ascent && height == m_height)
        return;
    m_tiles.clear();
    m_ascent = ascent;
    m_height = height;
}

bool RowTextPainter::drawable(QStringView text) const
{
    if (!m_raw.isValid())
        return false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!inTable(c) && !isControlPicture(c) && columns(c) != 2)
            return false;
    }
    return true;
}

RowTextPainter::WideRun &RowTextPainter::wideRun(QStringView text)
{
    // The pane's lines repeat a few runs (their prefixes) over and over:
    // those are found without making a key.
    for (const auto &[key, run] : m_recent) {
        if (run && key == text)
            return *run;
    }
    const QString key = text.toString();
    auto it = m_wide.find(key);
    if (it == m_wide.end()) {
        if (m_wide.size() >= MaxWideRuns)
            forgetWideRuns();
        it = m_wide.emplace(key, makeWideRun(key)).first;
    }
    m_recent[m_nextRecent] = {key, &it->second};
    m_nextRecent = (m_nextRecent + 1) % m_recent.size();
    return it->second;
}

void RowTextPainter::forgetWideRuns()
{
    m_wide.clear();
    m_recent.fill({});
}

RowTextPainter::WideRun RowTextPainter::makeWideRun(const QString &key) const
{
    WideRun run;
    QTextLayout layout(key, m_font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (line.isValid()) {
        run.advance = line.horizontalAdvance();
        const qreal baseline = line.y() + line.ascent();
        run.runs = layout.glyphRuns();
        for (QGlyphRun &g : run.runs) {
            QList<QPointF> positions = g.positions();
            for (QPointF &p : positions)
                p.ry() -= baseline;
            g.setPositions(positions);
        }
    }
    return run;
}

bool RowTextPainter::canTile(const QPainter &painter, QPointF at) const
{
    if (m_cell == 0 || m_height <= 0 || m_ascent < 0 || m_ascent > m_height)
        return false;
    // Pixels copied land on pixels: no scaling, no fractions.
    const QPaintDevice *device = painter.device();
    const QTransform t = painter.deviceTransform();
    return device && device->devicePixelRatioF() == 1.0 && t.type() <= QTransform::TxTranslate
        && Whole(t.dx()) && Whole(t.dy()) && Whole(at.x()) && Whole(at.y()) && painter.opacity() == 1.0
        && painter.compositionMode() == QPainter::CompositionMode_SourceOver;
}

RowTextPainter::Tiles &RowTextPainter::tiles(QRgb text, QRgb background)
{
    for (Tiles &t : m_tiles) {
        if (t.text == text && t.background == background)
            return t;
    }
    if (m_tiles.size() >= MaxTileSets)
        m_tiles.clear();
    Tiles t;
    t.text = text;
    t.background = background;
    t.cells = QImage(TableSize * m_cell + Slack(m_cell), m_height, TileFormat);
    t.made.assign(TableSize, false);
    m_tiles.push_back(std::move(t));
    return m_tiles.back();
}

void RowTextPainter::copyTiles(QPainter &painter, QPointF at, QStringView run, Tiles &tiles)
{
    // Cells not made yet are drawn as the glyph itself would be.
    QPainter cellPainter;
    for (const QChar ch : run) {
        const int c = slot(ch.unicode());
        if (tiles.made[size_t(c)])
            continue;
        if (!cellPainter.isActive()) {
            cellPainter.begin(&tiles.cells);
            cellPainter.setPen(QColor::fromRgba(tiles.text));
        }
        const QRect cell(c * m_cell, 0, m_cell, m_height);
        cellPainter.setClipRect(cell);
        cellPainter.fillRect(cell, QColor::fromRgba(tiles.background));
        const QPointF origin(0, 0);
        m_run.setRawFont(m_raw);
        m_run.setRawData(&m_glyph[size_t(c)], &origin, 1);
        cellPainter.drawGlyphRun(QPointF(cell.x(), m_ascent), m_run);
        tiles.made[size_t(c)] = true;
    }
    if (cellPainter.isActive())
        cellPainter.end();

    // Copied a line of pixels at a time, each cell as a block of a fixed
    // size that covers it (the next cell overwrites the rest), so that the
    // copies compile to a few moves.
    const int width = int(run.size()) * m_cell;
    const int slack = Slack(m_cell);
    if (m_strip.width() < width + slack || m_strip.height() != m_height)
        m_strip = QImage(std::max(width, 64 * m_cell) + slack, m_height, TileFormat);
    const qsizetype cellBytes = qsizetype(m_cell) * qsizetype(sizeof(QRgb));
    m_offsets.clear();
    for (const QChar ch : run)
        m_offsets.push_back(qsizetype(slot(ch.unicode())) * cellBytes);
    const uchar *cells = std::as_const(tiles.cells).bits();
    const qsizetype cellsLine = tiles.cells.bytesPerLine();
    uchar *strip = m_strip.bits();
    const qsizetype stripLine = m_strip.bytesPerLine();
    for (int y = 0; y < m_height; ++y) {
        uchar *to = strip + y * stripLine;
        const uchar *from = cells + y * cellsLine;
        if (m_cell <= 8) {
            for (const qsizetype offset : m_offsets) {
                std::memcpy(to, from + offset, 8 * sizeof(QRgb));
                to += cellBytes;
            }
        } else if (m_cell <= 16) {
            for (const qsizetype offset : m_offsets) {
                std::memcpy(to, from + offset, 16 * sizeof(QRgb));
                to += cellBytes;
            }
        } else {
            for (const qsizetype offset : m_offsets) {
                std::memcpy(to, from + offset, size_t(cellBytes));
                to += cellBytes;
            }
        }
    }
    painter.drawImage(QPoint(int(at.x()), int(at.y()) - m_ascent), m_strip, QRect(0, 0, width, m_height));
}

const QImage &RowTextPainter::wideTile(WideRun &run, QRgb text, QRgb background)
{
    const quint64 key = quint64(text) << 32 | background;
    for (const auto &tile : run.tiles) {
        if (tile.first == key)
            return tile.second;
    }
    if (run.tiles.size() >= MaxTileSets)
        run.tiles.clear();
    QImage image(int(run.advance), m_height, TileFormat);
    image.fill(QColor::fromRgba(background));
    QPainter p(&image);
    p.setPen(QColor::fromRgba(text));
    for (const QGlyphRun &g : run.runs)
        p.drawGlyphRun(QPointF(0, m_ascent), g);
    p.end();
    run.tiles.emplace_back(key, std::move(image));
    return run.tiles.back().second;
}

bool RowTextPainter::draw(QPainter &painter, QPointF &at, QStringView text, const QColor &background)
{
    if (!drawable(text))
        return false;
    Tiles *cells = nullptr;
    if (background.isValid() && background.alpha() == 255 && canTile(painter, at))
        cells = &tiles(painter.pen().color().rgba(), background.rgba());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        if (inTable(text[i].unicode())) {
            const auto cellWide = [this](QChar ch) {
                const int s = slot(ch.unicode());
                return s >= 0 && m_glyph[size_t(s)] != 0 && m_advance[size_t(s)] == m_cell;
            };
            while (i < n && cellWide(text[i]))
                ++i;
            if (cells && (i == n || !inTable(text[i].unicode()))) {
                copyTiles(painter, at, text.mid(start, i - start), *cells);
                at.rx() += qreal(i - start) * m_cell;
                continue;
            }
            i = start;
            m_indexes.clear();
            m_positions.clear();
            qreal x = 0;
            for (; i < n && inTable(text[i].unicode()); ++i) {
                const size_t s = size_t(slot(text[i].unicode()));
                m_indexes.push_back(m_glyph[s]);
                m_positions.emplace_back(x, 0);
                x += m_advance[s];
            }
            m_run.setRawFont(m_raw);
            m_run.setRawData(m_indexes.data(), m_positions.data(), int(m_indexes.size()));
            painter.drawGlyphRun(at, m_run);
            at.rx() += x;
        } else {
            // A control picture the font lacks comes from another font: one
            // at a time, since a line's bytes combine them every which way.
            if (isControlPicture(text[i].unicode()))
                ++i;
            else
                while (i < n && !inTable(text[i].unicode()) && !isControlPicture(text[i].unicode()))
                    ++i;
            WideRun &run = wideRun(text.mid(start, i - start));
            if (cells && std::exchange(run.drawn, true) && run.advance >= 1 && Whole(run.advance)) {
                painter.drawImage(QPoint(int(at.x()), int(at.y()) - m_ascent),
                                  wideTile(run, cells->text, cells->background));
            } else {
                for (const QGlyphRun &g : run.runs)
                    painter.drawGlyphRun(at, g);
            }
            at.rx() += run.advance;
        }
    }
    return true;
}
