#include "core/script/plainjsonreader.h"

#include <QJSValueIterator>

#include <cmath>

namespace {
// As deep as the JSON reader goes: deeper, JSON.stringify's text would not
// parse (and a cycle, which JSON.stringify refuses, ends here too).
constexpr int MaxDepth = 500;
// A longer array is left to JSON.stringify: its length may be far more than
// the elements it holds (one set at index 1e9), and each costs a node here.
constexpr quint32 MaxItems = 1 << 16;

bool Skipped(const QJSValue &v) { return v.isUndefined() || v.isCallable(); }
}  // namespace

PlainJsonReader::PlainJsonReader(QJSEngine &engine)
    : m_objectPrototype(engine.newObject().prototype()), m_arrayPrototype(engine.newArray().prototype())
{}

bool PlainJsonReader::read(const QJSValue &value, JsonNode &out) const
{
    out = JsonNode();
    return readValue(value, out, 0);
}

bool PlainJsonReader::readValue(const QJSValue &v, JsonNode &out, int depth) const
{
    if (v.isString()) {
        out.type = JsonNode::Type::String;
        out.chars = v.toString();
        out.text = out.chars;
        return true;
    }
    if (v.isNumber()) {
        const double d = v.toNumber();
        if (!std::isfinite(d))
            return true;  // null
        out.type = JsonNode::Type::Number;
        out.chars = v.toString();  // JavaScript's shortest form, as JSON.stringify writes it
        out.text = out.chars;
        out.number = d == 0 ? 0.0 : d;  // -0 is written 0
        return true;
    }
    if (v.isBool()) {
        out.type = JsonNode::Type::Bool;
        out.boolValue = v.toBool();
        return true;
    }
    if (v.isNull())
        return true;
    if (!v.isObject() || v.isCallable() || depth >= MaxDepth || v.isDate() || v.isRegExp() || v.isError()
        || v.isQObject() || v.isVariant() || v.isQMetaObject())
        return false;
    const bool array = v.isArray();
    if (!v.prototype().strictlyEquals(array ? m_arrayPrototype : m_objectPrototype))
        return false;
    if (array) {
        out.type = JsonNode::Type::Array;
        const quint32 n = v.property(QStringLiteral("length")).toUInt();
        if (n > MaxItems)
            return false;
        out.items.resize(n);
        for (quint32 i = 0; i < n; ++i) {
            const QJSValue item = v.property(i);
            if (!Skipped(item) && !readValue(item, out.items[i], depth + 1))
                return false;
        }
        return true;
    }
    out.type = JsonNode::Type::Object;
    // An action's few keys without growing the lists on the way.
    out.keyChars.reserve(8);
    out.members.reserve(8);
    QJSValueIterator it(v);
    while (it.hasNext()) {
        it.next();
        QString key = it.name();
        if (key == QLatin1StringView("toJSON"))
            return false;
        const QJSValue member = it.value();
        if (Skipped(member))
            continue;
        out.keyChars.push_back(std::move(key));
        out.members.emplace_back(QStringView(), JsonNode());
        if (!readValue(member, out.members.back().second, depth + 1))
            return false;
    }
    // The keys' views, now that their strings stay where they are.
    for (size_t i = 0; i < out.members.size(); ++i)
        out.members[i].first = out.keyChars[i];
    return true;
}
