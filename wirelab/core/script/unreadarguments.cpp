#include "core/script/unreadarguments.h"

#include <optional>
#include <vector>

namespace {

struct Token
{
    enum Kind {
        Name,
        Number,
        String,
        Regex,
        Punct
    };
    Kind kind;
    QString text;  // a name, or a punctuator ("++" and "--" as two characters)

    bool is(Kind k, QLatin1StringView t) const { return kind == k && text == t; }
    bool punct(char c) const { return kind == Punct && text.size() == 1 && text.front() == QLatin1Char(c); }
};

bool IsNameStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'$';
}
bool IsNamePart(char16_t c) { return IsNameStart(c) || (c >= u'0' && c <= u'9'); }
bool IsLineBreak(char16_t c) { return c == u'\n' || c == u'\r'; }
bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == 0xA0 || c == 0xFEFF || IsLineBreak(c);
}

// Whether a `/` after the tokens so far starts a regular expression;
// nullopt where that depends on more than the tokens just before it.
std::optional<bool> RegexAfter(const std::vector<Token> &so)
{
    if (so.empty())
        return true;
    const Token *prev = &so.back();
    // A word after a point is a property's name, whatever word it is.
    if (prev->kind == Token::Name && so.size() >= 2 && so[so.size() - 2].punct('.'))
        return false;
    switch (prev->kind) {
    case Token::Number:
    case Token::String:
    case Token::Regex:
        return false;
    case Token::Name: {
        // Reserved words that an expression follows; any other name divides,
        // except the few that are names or keywords by context.
        static const QSet<QString> before {
            QStringLiteral("return"), QStringLiteral("typeof"), QStringLiteral("instanceof"),
                                                                               QStringLiteral("in"),     QStringLiteral("new"),    QStringLiteral("delete"),
                                                                                                                                                  QStringLiteral("void"),   QStringLiteral("throw"),  QStringLiteral("case"),
                                                                                                                                                                                                                     QStringLiteral("do"),     QStringLiteral("else")};
        static const QSet<QString> unsure {QStringLiteral("of"),
            QStringLiteral("yield"), QStringLiteral("await"), QStringLiteral("let"), QStringLiteral("async")};
        if (before.contains(prev->text))
            return true;
        if (unsure.contains(prev->text))
            return std::nullopt;
        return false;
    }
    case Token::Punct:
        if (prev->punct(']'))
            return false;
        // The end of a group or a block, and ++/--, go either way.
        if (prev->punct(')') || prev->punct('}') || prev->text.size() == 2)
            return std::nullopt;
        return true;
    }
    return std::nullopt;
}

// The tokens of a script text (comments and blanks dropped); nullopt where
// it cannot tell them for sure.
std::optional<std::vector<Token>> Tokens(const QString &s)
{
    std::vector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    const auto at = [&](qsizetype k) { return k < n ? s.at(k).unicode() : char16_t(0); };
    while (i < n) {
        const char16_t c = s.at(i).unicode();
        if (IsBlank(c)) {
            ++i;
        } else if (c == u'/' && at(i + 1) == u'/') {
            while (i < n && !IsLineBreak(at(i)))
                ++i;
        } else if (c == u'/' && at(i + 1) == u'*') {
            const qsizetype end = s.indexOf(QLatin1StringView("*/"), i + 2);
            if (end < 0)
                return std::nullopt;
            i = end + 2;
        } else if (c == u'\'' || c == u'"') {
            qsizetype k = i + 1;
            for (; k < n && at(k) != c; ++k) {
                if (IsLineBreak(at(k)))
                    return std::nullopt;
                if (at(k) == u'\\')
                    k += (at(k + 1) == u'\r' && at(k + 2) == u'\n') ? 2 : 1;
            }
            if (k >= n)
                return std::nullopt;
            out.push_back({Token::String, s.mid(i + 1, k - i - 1)});
            i = k + 1;
        } else if (IsNameStart(c)) {
            qsizetype k = i;
            while (k < n && IsNamePart(at(k)))
                ++k;
            if (at(k) == u'\\')  // an escape within a name
                return std::nullopt;
            out.push_back({Token::Name, s.mid(i, k - i)});
            i = k;
        } else if ((c >= u'0' && c <= u'9') || (c == u'.' && at(i + 1) >= u'0' && at(i + 1) <= u'9')) {
            // Digits, letters (hex, exponents, n), one point, an exponent's sign.
            qsizetype k = i;
            bool point = false;
            while (k < n) {
                const char16_t d = at(k);
                if (IsNamePart(d) || (d == u'.' && !point)) {
                    point = point || d == u'.';
                    ++k;
                } else if ((d == u'+' || d == u'-') && (at(k - 1) == u'e' || at(k - 1) == u'E')
                           && !(at(i) == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X'))) {
                    ++k;
                } else {
                    break;
                }
            }
            out.push_back({Token::Number, QString()});
            i = k;
        } else if (c == u'/') {
            const std::optional<bool> regex = RegexAfter(out);
            if (!regex)
                return std::nullopt;
            if (!*regex) {
                out.push_back({Token::Punct, QStringLiteral("/")});
                ++i;
                continue;
            }
            qsizetype k = i + 1;
            bool inClass = false;
            for (; k < n && (inClass || at(k) != u'/'); ++k) {
                if (IsLineBreak(at(k)))
                    return std::nullopt;
                if (at(k) == u'\\')
                    ++k;
                else if (at(k) == u'[')
                    inClass = true;
                else if (at(k) == u']')
                    inClass = false;
            }
            if (k >= n)
                return std::nullopt;
            ++k;
            while (k < n && IsNamePart(at(k)))  // flags
                ++k;
            out.push_back({Token::Regex, s.mid(i, k - i)});
            i = k;
        } else if (c == u'`' || c >= 0x80 || c == u'\\'
                   || QStringView(s).mid(i, 4) == QLatin1StringView("<!--")
                   || QStringView(s).mid(i, 3) == QLatin1StringView("-->")) {
            // Templates, names outside ASCII, escapes, and what may be the
            // comments of HTML that scripts also take.
            return std::nullopt;
        } else if ((c == u'+' || c == u'-') && at(i + 1) == c) {
            out.push_back({Token::Punct, s.mid(i, 2)});
            i += 2;
        } else {
            out.push_back({Token::Punct, QString(QChar(c))});
            ++i;
        }
    }
    return out;
}

// Reads top-level statements that run no code.
class TopLevel
{
public:
    explicit TopLevel(const std::vector<Token> &t) : m_t(t) {}

    struct Declared
    {
        QString name;
        QStringList parameters;
        QSet<QString> names;
        bool returnsStringify = false;  // its body is `return JSON.stringify(<its one parameter>);`
    };

    // The functions declared; nullopt unless every statement is plain.
    std::optional<std::vector<Declared>> read()
    {
        std::vector<Declared> functions;
        while (m_pos < m_t.size()) {
            const Token &t = m_t[m_pos];
            if (t.punct(';')) {
                ++m_pos;
            } else if (t.is(Token::Name, QLatin1StringView("function"))) {
                ++m_pos;
                Declared d;
                if (!function(d))
                    return std::nullopt;
                functions.push_back(std::move(d));
            } else if (t.is(Token::Name, QLatin1StringView("var"))
                       || t.is(Token::Name, QLatin1StringView("let"))
                       || t.is(Token::Name, QLatin1StringView("const"))) {
                ++m_pos;
                if (!variables())
                    return std::nullopt;
            } else if (t.kind == Token::String && m_pos + 1 < m_t.size() && m_t[m_pos + 1].punct(';')) {
                m_pos += 2;  // a directive ("use strict";)
            } else {
                return std::nullopt;
            }
        }
        return functions;
    }

private:
    const Token *peek() const { return m_pos < m_t.size() ? &m_t[m_pos] : nullptr; }
    bool take(char c)
    {
        if (!peek() || !peek()->punct(c))
            return false;
        ++m_pos;
        return true;
    }
    bool name(QString *out)
    {
        if (!peek() || peek()->kind != Token::Name)
            return false;
        *out = m_t[m_pos++].text;
        return true;
    }

    // NAME ( NAME, ... ) { ... }
    bool function(Declared &d)
    {
        if (!name(&d.name) || !take('('))
            return false;
        if (!take(')')) {
            do {
                QString parameter;
                if (!name(&parameter))
                    return false;
                d.parameters.append(parameter);
            } while (take(','));
            if (!take(')'))
                return false;
        }
        if (!take('{'))
            return false;
        const size_t body = m_pos;
        for (int depth = 1; depth > 0; ++m_pos) {
            const Token *t = peek();
            if (!t)
                return false;
            if (t->punct('{'))
                ++depth;
            else if (t->punct('}'))
                --depth;
            else if (t->kind == Token::Name)
                d.names.insert(t->text);
        }
        d.returnsStringify =
            d.parameters.size() == 1 && ReturnsStringify(m_t, body, m_pos - 1, d.parameters[0]);
        return true;
    }

    // Tokens [from, to) are `return JSON.stringify(parameter)` and an optional `;`.
    static bool ReturnsStringify(const std::vector<Token> &t, size_t from, size_t to,
                                 const QString &parameter)
    {
        if (to > from && t[to - 1].punct(';'))
            --to;
        return to - from == 7 && t[from].is(Token::Name, QLatin1StringView("return"))
            && t[from + 1].is(Token::Name, QLatin1StringView("JSON")) && t[from + 2].punct('.')
            && t[from + 3].is(Token::Name, QLatin1StringView("stringify")) && t[from + 4].punct('(')
            && t[from + 5].kind == Token::Name && t[from + 5].text == parameter && t[from + 6].punct(')');
    }

    // NAME [= literal], ... [;]
    bool variables()
    {
        do {
            QString ignored;
            if (!name(&ignored))
                return false;
            if (take('=') && !literal(0))
                return false;
        } while (take(','));
        take(';');
        return true;
    }

    bool literal(int depth)
    {
        const Token *t = peek();
        if (!t || depth > 32)
            return false;
        ++m_pos;
        if (t->kind == Token::Number || t->kind == Token::String)
            return true;
        if (t->kind == Token::Name)
            return t->text == QLatin1StringView("true") || t->text == QLatin1StringView("false")
                || t->text == QLatin1StringView("null");
        if (t->punct('-') || t->punct('+'))
            return peek() && m_t[m_pos++].kind == Token::Number;
        if (t->punct('[')) {
            while (!take(']')) {
                if (!literal(depth + 1) || (!take(',') && !(peek() && peek()->punct(']'))))
                    return false;
            }
            return true;
        }
        if (t->punct('{')) {
            while (!take('}')) {
                const Token *key = peek();
                if (!key || key->kind == Token::Punct || key->kind == Token::Regex)
                    return false;
                ++m_pos;
                if (!take(':') || !literal(depth + 1) || (!take(',') && !(peek() && peek()->punct('}'))))
                    return false;
            }
            return true;
        }
        return false;
    }

    const std::vector<Token> &m_t;
    size_t m_pos = 0;
};

// Whether the tokens can reach what makes a value that JSON.stringify reads
// otherwise than as plain data (an accessor, a property it does not list,
// toJSON, a proxy, an object whose prototype was set, the engine's own
// prototypes and namespaces), or JSON itself other than as `JSON.`: a name
// of those tools, `prototype`, `JSON`, `Math`, `console` or `Atomics` other
// than for a member, `Object` other than for a few of its functions that
// make plain data, an accessor in a literal, or in a
// string or a regular expression (which a computed member could use) a
// name of what reaches them, or an escape that could spell one.
bool ReachesReflection(const std::vector<Token> &t)
{
    // Reached by name, also as a member (x.constructor, x.__proto__).
    static const QSet<QString> tools {
        QStringLiteral("defineProperty"),
        QStringLiteral("defineProperties"),
        QStringLiteral("__defineGetter__"),
        QStringLiteral("__defineSetter__"),
        QStringLiteral("__proto__"),
        QStringLiteral("setPrototypeOf"),
        QStringLiteral("toJSON"),
        QStringLiteral("Proxy"),
        QStringLiteral("Reflect"),
        QStringLiteral("eval"),
        QStringLiteral("Function"),
        QStringLiteral("arguments"),
        QStringLiteral("constructor"),
        QStringLiteral("globalThis"),
        QStringLiteral("prototype"),
    };
    // Words that reach them only where they are no member's name.
    static const QSet<QString> keywords {
        QStringLiteral("this"), QStringLiteral("class"), QStringLiteral("with"), QStringLiteral("import")};
    // Objects of the engine's own whose prototype is Object's but whose
    // properties JSON.stringify does not list: their members only.
    static const QSet<QString> onlyMembers {
        QStringLiteral("JSON"), QStringLiteral("Math"), QStringLiteral("console"), QStringLiteral("Atomics")};
    static const QSet<QString> objectFunctions {
        QStringLiteral("keys"),   QStringLiteral("values"), QStringLiteral("entries"),
        QStringLiteral("assign"), QStringLiteral("freeze"), QStringLiteral("fromEntries"),
    };
    static const QStringList inStrings {
        QStringLiteral("constructor"),
        QStringLiteral("__proto__"),
        QStringLiteral("__define"),
        QStringLiteral("__lookup"),
        QStringLiteral("defineProperty"),
        QStringLiteral("defineProperties"),
        QStringLiteral("setPrototypeOf"),
        QStringLiteral("toJSON"),
        QStringLiteral("Proxy"),
        QStringLiteral("Reflect"),
        QStringLiteral("globalThis"),
    };
    for (size_t i = 0; i < t.size(); ++i) {
        const Token &k = t[i];
        const Token *next = i + 1 < t.size() ? &t[i + 1] : nullptr;
        // A name after a point is a property's name.
        if (k.kind == Token::Name && !(i > 0 && t[i - 1].punct('.'))) {
            if (tools.contains(k.text) || keywords.contains(k.text))
                return true;
            if (onlyMembers.contains(k.text) && !(next && next->punct('.')))
                return true;
            if (k.text == QLatin1StringView("Object")
                && !(next && next->punct('.') && i + 2 < t.size() && objectFunctions.contains(t[i + 2].text)))
                return true;
            // get NAME(, set 'key'(, get [k](: an accessor in a literal
            if ((k.text == QLatin1StringView("get") || k.text == QLatin1StringView("set")) && next
                && (next->kind != Token::Punct || next->punct('[')))
                return true;
        } else if (k.kind == Token::Name && tools.contains(k.text)) {
            return true;
        } else if (k.kind == Token::String || k.kind == Token::Regex) {
            for (const QString &name : inStrings) {
                if (k.text.contains(name))
                    return true;
            }
            for (qsizetype j = k.text.indexOf(u'\\'); j >= 0; j = k.text.indexOf(u'\\', j + 2)) {
                const QChar e = j + 1 < k.text.size() ? k.text.at(j + 1) : QChar();
                if (e.isLetterOrNumber() && !QStringView(u"nrtbfv").contains(e))
                    return true;
            }
        }
    }
    return false;
}

}  // namespace

UnreadArguments::UnreadArguments(const QStringList &sources)
{
    QHash<QString, int> uses;  // every name in the texts, how often
    std::vector<TopLevel::Declared> declared;
    bool reflection = false;
    for (const QString &source : sources) {
        const std::optional<std::vector<Token>> tokens = Tokens(source);
        if (!tokens)
            return;
        reflection = reflection || ReachesReflection(*tokens);
        std::optional<std::vector<TopLevel::Declared>> functions = TopLevel(*tokens).read();
        if (!functions)
            return;
        for (const Token &t : *tokens) {
            if (t.kind == Token::Name)
                ++uses[t.text];
        }
        for (TopLevel::Declared &d : *functions)
            declared.push_back(std::move(d));
    }
    for (TopLevel::Declared &d : declared) {
        if (uses.value(d.name) == 1) {
            m_functions.insert(d.name, {d.parameters, d.names});
            if (d.name == QLatin1StringView("json2str"))
                m_json2strIsStringify = d.returnsStringify && !reflection;
        }
    }
}

bool UnreadArguments::unread(const QString &function, int index) const
{
    const auto it = m_functions.constFind(function);
    if (it == m_functions.cend() || index < 0)
        return false;
    if (it->names.contains(QStringLiteral("arguments")) || it->names.contains(QStringLiteral("eval")))
        return false;
    return index >= it->parameters.size() || !it->names.contains(it->parameters.at(index));
}
