#include "core/text/jsondoc.h"

#include "core/text/intconv.h"

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

class Parser
{
public:
    explicit Parser(const QString &text)
        : p(reinterpret_cast<const char16_t *>(text.constData())), end(p + text.size())
    {}

    bool parseDocument(JsonNode &out)
    {
        if (!skipBlanks() || !parseValue(out, 0) || !skipBlanks())
            return false;
        return p == end;
    }

private:
    const char16_t *p;
    const char16_t *end;

    static bool isBlank(char16_t c)
    {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' || c == 0xA0
            || c == 0xFEFF || c == 0x2028 || c == 0x2029;
    }

    static bool isIdentStart(char16_t c)
    {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
    }

    static bool isIdentPart(char16_t c) { return isIdentStart(c) || (c >= u'0' && c <= u'9'); }

    static bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

    // Skips blanks and comments; false on an unterminated block comment.
    bool skipBlanks()
    {
        while (p < end) {
            if (isBlank(*p)) {
                ++p;
            } else if (*p == u'/' && p + 1 < end && p[1] == u'/') {
                p += 2;
                while (p < end && *p != u'\n' && *p != u'\r')
                    ++p;
            } else if (*p == u'/' && p + 1 < end && p[1] == u'*') {
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
        if (c == u'"' || c == u'\'') {
            out.type = JsonNode::Type::String;
            return parseString(out.text);
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
            if (*p == u',')
                ++p;  // a trailing comma before ']' is fine
            else if (*p != u']')
                return false;
        }
    }

    bool parseKey(QString &key)
    {
        if (*p == u'"' || *p == u'\'')
            return parseString(key);
        if (!isIdentStart(*p))
            return false;
        const char16_t *start = p;
        while (p < end && isIdentPart(*p))
            ++p;
        key = QString(reinterpret_cast<const QChar *>(start), p - start);
        return true;
    }

    bool parseObject(JsonNode &out, int depth)
    {
        out.type = JsonNode::Type::Object;
        ++p;  // '{'
        for (;;) {
            if (!skipBlanks() || p >= end)
                return false;
            if (*p == u'}') {
                ++p;
                return true;
            }
            QString key;
            if (!parseKey(key) || !skipBlanks() || p >= end || *p != u':')
                return false;
            ++p;
            if (!skipBlanks())
                return false;
            out.members.emplace_back(key, JsonNode());
            if (!parseValue(out.members.back().second, depth) || !skipBlanks() || p >= end)
                return false;
            if (*p == u',')
                ++p;
            else if (*p != u'}')
                return false;
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

    // A string in double or single quotes. \uXXXX gives one UTF-16 unit, so
    // surrogate pairs come out as the pair; other escapes as in JavaScript.
    bool parseString(QString &out)
    {
        const char16_t quote = *p++;
        out.clear();
        const char16_t *run = p;  // start of the unescaped run not yet copied
        auto flush = [&] { out.append(reinterpret_cast<const QChar *>(run), p - run); };
        while (p < end) {
            const char16_t c = *p;
            if (c == quote) {
                flush();
                ++p;
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
                out += u'\v';
                break;
            case u'0':
                if (p < end && isDigit(*p))
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
                out += QChar(e);  // \" \' \\ \/ and any other character as itself
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
        out.text = QString(reinterpret_cast<const QChar *>(start), p - start);
        const QByteArray latin = out.text.toLatin1();
        out.number = CDouble(latin.constData());
        return true;
    }
};

void AppendJsonString(QString &out, const QString &s)
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

const JsonNode *JsonNode::member(const QString &key) const
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

bool parseLenientJson(const QString &text, JsonNode &out)
{
    JsonNode parsed;
    Parser parser(text);
    if (!parser.parseDocument(parsed))
        return false;
    out = std::move(parsed);
    return true;
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
        return v->text;
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
        return tryStrToInt(v->text, value) ? value : 0;
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
