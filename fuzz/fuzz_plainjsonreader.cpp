// Plain data read from the engine: for every value the engine's JSON.parse
// makes of a text, the reader gives what the JSON reader makes of
// JSON.stringify's text of it, or refuses (nesting past its limit).
#include "core/script/plainjsonreader.h"
#include "core/text/jsondoc.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <cstdlib>

namespace {
QJSEngine *engine = nullptr;
PlainJsonReader *reader = nullptr;
QJSValue parse;
QJSValue stringify;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    engine = new QJSEngine;
    reader = new PlainJsonReader(*engine);
    // As a list: the actions are one.
    parse = engine->evaluate(
        QStringLiteral("(function (t) { try { return [JSON.parse(t)]; } catch (e) { return null; } })"));
    stringify = engine->evaluate(QStringLiteral("(function (v) { return JSON.stringify(v); })"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QJSValue value = parse.call({text});
    if (!value.isArray())
        return 0;
    JsonNode read;
    if (!reader->read(value, read))
        return 0;
    JsonNode parsed;
    if (!parsePlainJson(stringify.call({value}).toString(), parsed) || read.toJson() != parsed.toJson())
        abort();
    return 0;
}
