#include "leadingnumber.h"

#include <cmath>
#include <limits>

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool IsAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Walks the text, stepping over blanks before every character it looks at.
class BlankSkippingReader
{
public:
    explicit BlankSkippingReader(const QString &text) : m_text(text) {}

    QChar peek()
    {
        while (m_pos < m_text.size() && IsBlank(m_text.at(m_pos)))
            ++m_pos;
        return m_pos < m_text.size() ? m_text.at(m_pos) : QChar();
    }
    void advance() { ++m_pos; }
    qsizetype position() const { return m_pos; }
    void rewind(qsizetype pos) { m_pos = pos; }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

int AppendDigits(BlankSkippingReader &in, QByteArray &out)
{
    int count = 0;
    while (IsAsciiDigit(in.peek())) {
        out.append(char(in.peek().unicode()));
        in.advance();
        ++count;
    }
    return count;
}

}  // namespace

double ReadLeadingNumber(const QString &text)
{
    BlankSkippingReader in(text);
    QByteArray number;
    bool negative = false;

    if (in.peek() == u'+' || in.peek() == u'-') {
        negative = in.peek() == u'-';
        number.append(char(in.peek().unicode()));
        in.advance();
    }
    int mantissaDigits = AppendDigits(in, number);
    if (in.peek() == u'.') {
        number.append('.');
        in.advance();
        mantissaDigits += AppendDigits(in, number);
    }
    if (mantissaDigits == 0)
        return 0.0;

    if (in.peek() == u'e' || in.peek() == u'E') {
        // An exponent counts only when digits follow; otherwise it is not
        // part of the number and reading stops before it.
        const qsizetype mark = in.position();
        QByteArray exponent("e");
        in.advance();
        if (in.peek() == u'+' || in.peek() == u'-') {
            exponent.append(char(in.peek().unicode()));
            in.advance();
        }
        if (AppendDigits(in, exponent) > 0)
            number.append(exponent);
        else
            in.rewind(mark);
    }

    bool ok = false;
    const double value = number.toDouble(&ok);
    if (ok && std::isfinite(value))
        return value;
    // Only an out-of-range exponent can fail here: huge or vanishing.
    const bool huge = !number.contains("e-");
    if (!huge)
        return 0.0;
    const double inf = std::numeric_limits<double>::infinity();
    return negative ? -inf : inf;
}

QString ClampFieldText(const QString &text, int lo, int hi)
{
    if (text.isEmpty())
        return text;
    QString result = text;
    if (ReadLeadingNumber(result) > hi)
        result = QString::number(hi);
    if (ReadLeadingNumber(result) < lo)
        result = QString::number(lo);
    return result;
}
