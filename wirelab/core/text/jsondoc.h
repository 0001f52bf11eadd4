#pragma once
// A lenient JSON reader for what scripts hand back through json2str().
//
// Accepts standard JSON always, and also // and /* */ comments, single-quoted
// strings, unquoted keys (identifiers) and trailing commas in arrays and
// objects. Exactly one value must stand in the text (blanks and comments
// around it are fine). Numbers keep the text they were written with, so that
// reading one as text gives its JSON text as written.

#include <QString>
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
    QString text;  // String: the characters; Number: the text as written
    double number = 0;  // Number: its value
    std::vector<JsonNode> items;  // Array
    std::vector<std::pair<QString, JsonNode>> members;  // Object, in order

    bool isArray() const { return type == Type::Array; }
    bool isObject() const { return type == Type::Object; }

    // Member by key (first match, exact), or nullptr. Only for objects.
    const JsonNode *member(const QString &key) const;

    // Compact JSON text of this value (numbers as written).
    QString toJson() const;
};

// Parses text; returns false (and leaves out untouched) when it does not hold
// exactly one lenient JSON value. Nesting deeper than a fixed limit fails.
bool parseLenientJson(const QString &text, JsonNode &out);

// The typed getters used on declarations and actions (obj must be an object;
// for anything else they act as for a missing key):
// text: a string gives its characters, a number its text as written, a bool
// "true"/"false", an object or array its JSON text, missing or null "".
QString jsonText(const JsonNode &obj, const QString &key);
// integer: a number rounded (saturated to 32 bits), a bool 1/0, a string that
// holds an integer its value, anything else (missing included) 0.
int jsonInt(const JsonNode &obj, const QString &key);
// array: the member if it is an array, else nullptr.
const JsonNode *jsonArray(const JsonNode &obj, const QString &key);
