// Call-text escaping: evaluating the escaped literal in the engine gives back
// exactly the input, whatever it holds, in both quote styles.
#include "core/script/calltext.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <cstdlib>

namespace {
QJSEngine *engine = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    engine = new QJSEngine;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Any UTF-16 sequence, lone surrogates included.
    const QString value(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    for (QChar quote : {QChar(u'"'), QChar(u'\'')}) {
        const QJSValue result = engine->evaluate(CallText::JsString(value, quote));
        if (result.isError() || !result.isString() || result.toString() != value)
            abort();
    }
    return 0;
}
