#pragma once
// PlainJsonReader: what parseLenientJson(JSON.stringify(value)) gives for a
// value of plain data, read from the engine without making the text and
// parsing it again (the engine's JSON.stringify grows its text a character
// at a time: for the hex text of a large block that is most of an event).
//
// Plain data: arrays and objects whose prototypes are the engine's own Array
// and Object prototypes, holding strings, numbers, booleans, null, and
// functions and undefined (which JSON.stringify leaves out, or writes as
// null in an array). Anything else (a date, a boxed value, an object made by
// a constructor, a symbol, nesting deeper than the reader takes) makes
// read() give up before its result is used: the caller then calls
// JSON.stringify after all.
//
// The reader lists an object's own properties as the engine keeps them,
// non-enumerable ones included, and reads them through their getters: that
// is JSON.stringify's reading only where every property is an enumerable
// value, which the caller has proved of the scripts (UnreadArguments).

#include "core/text/jsondoc.h"

#include <QJSEngine>
#include <QJSValue>

class PlainJsonReader
{
public:
    // Takes the engine's prototypes as they are now: before any script runs.
    explicit PlainJsonReader(QJSEngine &engine);

    // The value as a node; false (and out in no particular state) when it is
    // not plain data.
    bool read(const QJSValue &value, JsonNode &out) const;

private:
    bool readValue(const QJSValue &value, JsonNode &out, int depth) const;

    QJSValue m_objectPrototype;
    QJSValue m_arrayPrototype;
};
