#pragma once
// A lenient JSON reader for what scripts hand back through json2str().
//
// Accepts standard JSON always, and also // and /* */ comments, single-quoted
// strings, unquoted keys (identifiers) and trailing commas in arrays and
// objects. Exactly one value must stand in the text (blanks and comments
// around it are fine). Numbers keep the text they were written with, so that
// reading one as text gives its JSON text as written.
//
// Strings, numbers and keys are views into the parsed text (a string with
// escapes into characters of its own): nothing is copied. Every node holds
// what its views point into, so a node stays valid on its own, copied or
// moved, after the text and the rest of the document are gone.

#include <QString>
#include <QStringView>
#include <memory>
#include <utility>
#include <vector>

class JsonNode
{
public:
    enum class Type {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };

    Type type = Type::Null;
    bool boolValue = false;
    QStringView text;  // String: the characters; Number: the text as written
    double number = 0;  // Number: its value
    std::vector<JsonNode> items;  // Array
    std::vector<std::pair<QStringView, JsonNode>> members;  // Object, in order

    bool isArray() const { return type == Type::Array; }
    bool isObject() const { return type == Type::Object; }

    // Member by key (first match, exact), or nullptr. Only for objects.
    const JsonNode *member(QStringView key) const;

    // Compact JSON text of this value (numbers as written).
    QString toJson() const;

    // What text and the keys of members view: the parsed text, or the
    // characters of a string with escapes (the reader fills them in).
    QString chars;
    std::vector<QString> keyChars;  // keys with escapes
};

// Parses text; returns false (and leaves out untouched) when it does not hold
// exactly one lenient JSON value. Nesting deeper than a fixed limit fails.
bool parseLenientJson(const QString &text, JsonNode &out);
// The fast path alone: standard JSON (what JSON.stringify writes), failing on
// comments, single quotes, unquoted keys, trailing commas and the escapes
// and blanks only JavaScript knows. Where it succeeds it gives what
// parseLenientJson gives; parseLenientJson tries it first.
bool parsePlainJson(const QString &text, JsonNode &out);

// The typed getters used on declarations and actions (obj must be an object;
// for anything else they act as for a missing key):
// text: a string gives its characters, a number its text as written, a bool
// "true"/"false", an object or array its JSON text, missing or null "".
QString jsonText(const JsonNode &obj, const QString &key);
// The same text, as a view into the node for a string or a number (no copy)
// and into held for the rest; valid while obj and held are.
QStringView jsonTextView(const JsonNode &obj, const QString &key, QString &held);
// integer: a number rounded (saturated to 32 bits), a bool 1/0, a string that
// holds an integer its value, anything else (missing included) 0.
int jsonInt(const JsonNode &obj, const QString &key);
// array: the member if it is an array, else nullptr.
const JsonNode *jsonArray(const JsonNode &obj, const QString &key);
