#include "gui/rowtextpainter.h"

#include <QPainter>
#include <QTextLayout>

namespace {
// Wide runs kept; past this many (a log of varied East Asian text) they start again.
constexpr int MaxWideRuns = 256;
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

void RowTextPainter::setFont(const QFont &font)
{
    m_font = font;
    m_wide.clear();
    m_glyph.fill(0);
    m_advance.fill(0);
    m_raw = QRawFont::fromFont(font);
    if (!m_raw.isValid())
        return;
    // Printable characters that stand alone: below the table's end no
    // character joins another or runs right to left; a blank other than
    // the space and a format character may be drawn differently.
    QString chars(1, u' ');
    for (int c = 0x21; c < TableSize; ++c) {
        const QChar ch(c);
        if (ch.isPrint() && !ch.isSpace() && ch.category() != QChar::Other_Format)
            chars.append(ch);
    }
    const QList<quint32> glyphs = m_raw.glyphIndexesForString(chars);
    const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(glyphs);
    // Glyph 0 is the font's "missing" glyph: those characters stay out.
    for (qsizetype i = 0; i < chars.size() && i < glyphs.size() && i < advances.size(); ++i) {
        m_glyph[chars[i].unicode()] = glyphs[i];
        m_advance[chars[i].unicode()] = advances[i].x();
    }
}

bool RowTextPainter::drawable(QStringView text) const
{
    if (!m_raw.isValid())
        return false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < TableSize ? m_glyph[c] == 0 : columns(c) != 2)
            return false;
    }
    return true;
}

const RowTextPainter::WideRun &RowTextPainter::wideRun(QStringView text)
{
    const QString key = text.toString();
    auto it = m_wide.find(key);
    if (it != m_wide.end())
        return *it;
    if (m_wide.size() >= MaxWideRuns)
        m_wide.clear();
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
    return *m_wide.insert(key, std::move(run));
}

bool RowTextPainter::draw(QPainter &painter, QPointF &at, QStringView text)
{
    if (!drawable(text))
        return false;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        if (text[i].unicode() < TableSize) {
            m_indexes.clear();
            m_positions.clear();
            qreal x = 0;
            for (; i < n && text[i].unicode() < TableSize; ++i) {
                const char16_t c = text[i].unicode();
                m_indexes.push_back(m_glyph[c]);
                m_positions.emplace_back(x, 0);
                x += m_advance[c];
            }
            m_run.setRawFont(m_raw);
            m_run.setRawData(m_indexes.data(), m_positions.data(), int(m_indexes.size()));
            painter.drawGlyphRun(at, m_run);
            at.rx() += x;
        } else {
            while (i < n && text[i].unicode() >= TableSize)
                ++i;
            const WideRun &run = wideRun(text.mid(start, i - start));
            for (const QGlyphRun &g : run.runs)
                painter.drawGlyphRun(at, g);
            at.rx() += run.advance;
        }
    }
    return true;
}
