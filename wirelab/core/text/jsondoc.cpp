#include "core/text/jsondoc.h"

#include "core/text/intconv.h"

#include <QVarLengthArray>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace {

// Scripts hand back plain data; anything nested deeper than this is hostile
// or broken, and refusing it keeps the recursion bounded.
constexpr int kMaxDepth = 512;

// strtod in the C locale: the program's locale may use a decimal comma, and
// unlike Qt's conversions it gives infinity on overflow, which the integer
// getter then saturates.
double CDouble(const char *text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return cLocale ? strtod_l(text, nullptr, cLocale) : std::strtod(text, nullptr);
}

// Lenient: the whole syntax above. Not lenient: standard JSON only, the
// fast path for what JSON.stringify writes; it gives what the lenient
// reader gives on every text it accepts and fails on the rest.
template<bool Lenient>
class Parser
{
public:
    explicit Parser(const QString &text)
        : doc(text), p(reinterpret_cast<const char16_t *>(text.constData())), end(p + text.size())
    {}

    bool parseDocument(JsonNode &out)
    {
        if (!skipBlanks() || !parseValue(out, 0) || !skipBlanks())
            return false;
        return p == end;
    }

private:
    const QString &doc;
    const char16_t *p;
    const char16_t *end;

    static bool isBlank(char16_t c)
    {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')
            return true;
        return Lenient
            && (c == u'\f' || c == u'\v' || c == 0xA0 || c == 0xFEFF || c == 0x2028 || c == 0x2029);
    }

    static bool isIdentStart(char16_t c)
    {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
    }

    static bool isIdentPart(char16_t c) { return isIdentStart(c) || (c >= u'0' && c <= u'9'); }

    static bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

    QStringView viewFrom(const char16_t *start) const { return QStringView(start, p - start); }

    // Skips blanks and comments; false on an unterminated block comment.
    bool skipBlanks()
    {
        while (p < end) {
            if (isBlank(*p)) {
                ++p;
            } else if (Lenient && *p == u'/' && p + 1 < end && p[1] == u'/') {
                p += 2;
                while (p < end && *p != u'\n' && *p != u'\r')
                    ++p;
            } else if (Lenient && *p == u'/' && p + 1 < end && p[1] == u'*') {
                p += 2;
                for (;;) {
                    if (p + 1 >= end)
                        return false;
                    if (p[0] == u'*' && p[1] == u'/') {
                        p += 2;
                        break;
                    }
                    ++p;
                }
            } else {
                break;
            }
        }
        return true;
    }

    bool literal(const char16_t *word)
    {
        const char16_t *q = p;
        for (; *word; ++word, ++q)
            if (q >= end || *q != *word)
                return false;
        if (q < end && isIdentPart(*q))
            return false;
        p = q;
        return true;
    }

    static bool isQuote(char16_t c) { return c == u'"' || (Lenient && c == u'\''); }

    bool parseValue(JsonNode &out, int depth)
    {
        if (p >= end)
            return false;
        const char16_t c = *p;
        if (c == u'{' || c == u'[') {
            if (depth >= kMaxDepth)
                return false;
            return c == u'{' ? parseObject(out, depth + 1) : parseArray(out, depth + 1);
        }
        if (isQuote(c)) {
            out.type = JsonNode::Type::String;
            if (!parseString(out.text, out.chars))
                return false;
            if (out.chars.isNull())
                out.chars = doc;
            return true;
        }
        if (c == u'-' || isDigit(c))
            return parseNumber(out);
        if (literal(u"true")) {
            out.type = JsonNode::Type::Bool;
            out.boolValue = true;
            return true;
        }
        if (literal(u"false")) {
            out.type = JsonNode::Type::Bool;
            out.boolValue = false;
            return true;
        }
        if (literal(u"null")) {
            out.type = JsonNode::Type::Null;
            return true;
        }
        return false;
    }

    bool parseArray(JsonNode &out, int depth)
    {
        out.type = JsonNode::Type::Array;
        ++p;  // '['
        for (;;) {
            if (!skipBlanks() || p >= end)
                return false;
            if (*p == u']') {
                ++p;
                return true;
            }
            out.items.emplace_back();
            if (!parseValue(out.items.back(), depth) || !skipBlanks() || p >= end)
                return false;
            if (*p == u',') {
                ++p;  // a trailing comma before ']' is fine, when lenient
                if (!Lenient && (!skipBlanks() || p >= end || *p == u']'))
                    return false;
            } else if (*p != u']') {
                return false;
            }
        }
    }

    bool parseKey(JsonNode &object, QStringView &key)
    {
        if (isQuote(*p)) {
            QString held;
            if (!parseString(key, held))
                return false;
            if (!held.isNull()) {
                object.keyChars.push_back(std::move(held));  // the characters stay where they are
                key = object.keyChars.back();
            }
            return true;
        }
        if (!Lenient || !isIdentStart(*p))
            return false;
        const char16_t *start = p;
        while (p < end && isIdentPart(*p))
            ++p;
        key = viewFrom(start);
        return true;
    }

    bool parseObject(JsonNode &out, int depth)
    {
        out.type = JsonNode::Type::Object;
        out.chars = doc;  // what the keys view
        ++p;  // '{'
        for (;;) {
            if (!skipBlanks() || p >= end)
                return false;
            if (*p == u'}') {
                ++p;
                return true;
            }
            QStringView key;
            if (!parseKey(out, key) || !skipBlanks() || p >= end || *p != u':')
                return false;
            ++p;
            if (!skipBlanks())
                return false;
            if (out.members.empty())
                out.members.reserve(4);  // an action's TYPE, SOCKET, DATA and one more
            out.members.emplace_back(key, JsonNode());
            if (!parseValue(out.members.back().second, depth) || !skipBlanks() || p >= end)
                return false;
            if (*p == u',') {
                ++p;
                if (!Lenient && (!skipBlanks() || p >= end || *p == u'}'))
                    return false;
            } else if (*p != u'}') {
                return false;
            }
        }
    }

    static int hexValue(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    }

    // A string in double (or, lenient, single) quotes: text views its
    // characters in the parsed text; with escapes they are written into
    // held, which text then views (held stays null without escapes).
    // \uXXXX gives one UTF-16 unit, so surrogate pairs come out as the pair;
    // other escapes as in JavaScript when lenient, as in JSON when not.
    bool parseString(QStringView &text, QString &held)
    {
        const char16_t quote = *p++;
        const char16_t *run = p;  // start of the unescaped run not yet copied
        while (p < end && *p != quote && *p != u'\\')
            ++p;
        if (p >= end)
            return false;
        if (*p == quote) {
            text = viewFrom(run);
            ++p;
            return true;
        }
        QString out;
        auto flush = [&] { out.append(reinterpret_cast<const QChar *>(run), p - run); };
        while (p < end) {
            const char16_t c = *p;
            if (c == quote) {
                flush();
                ++p;
                held = std::move(out);
                text = held;
                return true;
            }
            if (c != u'\\') {
                ++p;
                continue;
            }
            flush();
            if (++p >= end)
                return false;
            const char16_t e = *p++;
            switch (e) {
            case u'b':
                out += u'\b';
                break;
            case u'f':
                out += u'\f';
                break;
            case u'n':
                out += u'\n';
                break;
            case u'r':
                out += u'\r';
                break;
            case u't':
                out += u'\t';
                break;
            case u'v':
                if (!Lenient)
                    return false;
                out += u'\v';
                break;
            case u'0':
                if (!Lenient || (p < end && isDigit(*p)))
                    return false;  // no octal escapes
                out += QChar(0);
                break;
            case u'u': {
                if (end - p < 4)
                    return false;
                int v = 0;
                for (int i = 0; i < 4; ++i) {
                    const int d = hexValue(p[i]);
                    if (d < 0)
                        return false;
                    v = v * 16 + d;
                }
                p += 4;
                out += QChar(char16_t(v));
                break;
            }
            case u'\n':
            case u'\r':
                return false;
            default:
                // \" \\ \/ and, lenient, \' and any other character as itself
                if (!Lenient && e != u'"' && e != u'\\' && e != u'/')
                    return false;
                out += QChar(e);
                break;
            }
            run = p;
        }
        return false;
    }

    // A JSON number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    bool parseNumber(JsonNode &out)
    {
        const char16_t *start = p;
        if (*p == u'-')
            ++p;
        if (p >= end || !isDigit(*p))
            return false;
        if (*p == u'0') {
            ++p;
        } else {
            while (p < end && isDigit(*p))
                ++p;
        }
        if (p < end && *p == u'.') {
            ++p;
            if (p >= end || !isDigit(*p))
                return false;
            while (p < end && isDigit(*p))
                ++p;
        }
        if (p < end && (*p == u'e' || *p == u'E')) {
            ++p;
            if (p < end && (*p == u'+' || *p == u'-'))
                ++p;
            if (p >= end || !isDigit(*p))
                return false;
            while (p < end && isDigit(*p))
                ++p;
        }
        if (p < end && (isIdentPart(*p) || *p == u'.'))
            return false;  // "01", "1x", "1.2.3"
        out.type = JsonNode::Type::Number;
        out.text = viewFrom(start);
        out.chars = doc;
        // Digits, sign, point and exponent only: Latin-1 as they stand.
        QVarLengthArray<char, 64> latin(out.text.size() + 1);
        for (qsizetype i = 0; i < out.text.size(); ++i)
            latin[i] = char(out.text[i].unicode());
        latin[out.text.size()] = 0;
        out.number = CDouble(latin.constData());
        return true;
    }
};

template<bool Lenient>
bool Parse(const QString &text, JsonNode &out)
{
    JsonNode parsed;
    Parser<Lenient> parser(text);
    if (!parser.parseDocument(parsed))
        return false;
    out = std::move(parsed);
    return true;
}

void AppendJsonString(QString &out, QStringView s)
{
    static const char16_t digits[] = u"0123456789abcdef";
    out += u'"';
    for (const QChar qc : s) {
        const char16_t c = qc.unicode();
        switch (c) {
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\b':
            out += QLatin1String("\\b");
            break;
        case u'\f':
            out += QLatin1String("\\f");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c < 0x20) {
                out += QLatin1String("\\u00");
                out += QChar(digits[c >> 4]);
                out += QChar(digits[c & 15]);
            } else {
                out += qc;
            }
        }
    }
    out += u'"';
}

void AppendJson(QString &out, const JsonNode &node)
{
    switch (node.type) {
    case JsonNode::Type::Null:
        out += QLatin1String("null");
        break;
    case JsonNode::Type::Bool:
        out += node.boolValue ? QLatin1String("true") : QLatin1String("false");
        break;
    case JsonNode::Type::Number:
        out += node.text;
        break;
    case JsonNode::Type::String:
        AppendJsonString(out, node.text);
        break;
    case JsonNode::Type::Array:
        out += u'[';
        for (size_t i = 0; i < node.items.size(); ++i) {
            if (i)
                out += u',';
            AppendJson(out, node.items[i]);
        }
        out += u']';
        break;
    case JsonNode::Type::Object:
        out += u'{';
        for (size_t i = 0; i < node.members.size(); ++i) {
            if (i)
                out += u',';
            AppendJsonString(out, node.members[i].first);
            out += u':';
            AppendJson(out, node.members[i].second);
        }
        out += u'}';
        break;
    }
}

int SaturatedRound(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = std::round(v);
    if (r >= double(INT_MAX))
        return INT_MAX;
    if (r <= double(INT_MIN))
        return INT_MIN;
    return int(r);
}

}  // namespace

const JsonNode *JsonNode::member(QStringView key) const
{
    if (type != Type::Object)
        return nullptr;
    for (const auto &m : members)
        if (m.first == key)
            return &m.second;
    return nullptr;
}

QString JsonNode::toJson() const
{
    QString out;
    AppendJson(out, *this);
    return out;
}

bool parsePlainJson(const QString &text, JsonNode &out) { return Parse<false>(text, out); }

bool parseLenientJson(const QString &text, JsonNode &out)
{
    // What JSON.stringify writes takes the fast path; the rest is read again.
    return Parse<false>(text, out) || Parse<true>(text, out);
}

QStringView jsonTextView(const JsonNode &obj, const QString &key, QString &held)
{
    const JsonNode *v = obj.member(key);
    if (!v)
        return QStringView();
    switch (v->type) {
    case JsonNode::Type::Null:
        return QStringView();
    case JsonNode::Type::String:
    case JsonNode::Type::Number:
        return v->text;
    default:
        held = v->toJson();
        return held;
    }
}

QString jsonText(const JsonNode &obj, const QString &key)
{
    const JsonNode *v = obj.member(key);
    if (!v)
        return QString();
    switch (v->type) {
    case JsonNode::Type::Null:
        return QString();
    case JsonNode::Type::String:
    case JsonNode::Type::Number:
        return v->text.toString();
    default:
        return v->toJson();
    }
}

int jsonInt(const JsonNode &obj, const QString &key)
{
    const JsonNode *v = obj.member(key);
    if (!v)
        return 0;
    switch (v->type) {
    case JsonNode::Type::Number:
        return SaturatedRound(v->number);
    case JsonNode::Type::Bool:
        return v->boolValue ? 1 : 0;
    case JsonNode::Type::String: {
        int value = 0;
        return tryStrToInt(v->text.toString(), value) ? value : 0;
    }
    default:
        return 0;
    }
}

const JsonNode *jsonArray(const JsonNode &obj, const QString &key)
{
    const JsonNode *v = obj.member(key);
    return v && v->isArray() ? v : nullptr;
}
