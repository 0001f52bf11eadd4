// Which script arguments are unread: any text is read or refused, and a
// function it knows is one that the text declares.
#include "core/script/unreadarguments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    // A NUL splits the input into two files.
    const UnreadArguments facts(text.split(QChar(0)));
    for (const QString &function : facts.functions()) {
        if (!text.contains(function))
            __builtin_trap();
        for (int index = -1; index < 4; ++index)
            (void)facts.unread(function, index);
    }
    // Proved only of a json2str the text declares, which calls JSON.stringify.
    if (facts.json2strIsStringify()
        && (!facts.functions().contains(QStringLiteral("json2str"))
                                        || !text.contains(QStringLiteral("stringify"))))
        __builtin_trap();
    return 0;
}
