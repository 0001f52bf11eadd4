// Monitor frames and replies: frames are always 41 bytes; the reply rules and
// the query-reply scan take any bytes without reading past them (ASan checks).
#include "frames.h"
#include "queryreply.h"
#include "replyrules.h"

#include <QStringList>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    // Exact-size copy: any read past the reply's end is a heap overflow.
    char *exact = static_cast<char *>(malloc(size ? size : 1));
    memcpy(exact, data, size);
    const QByteArray reply = QByteArray::fromRawData(exact, int(size));
    (void)IsConfigReply(reply);
    if (IsQueryReply(reply))
        (void)ReadQueryReply(reply);
    else
        (void)ReadQueryReply(reply);  // the scan must hold even for replies it would not get
    free(exact);

    const QStringList parts = QString::fromUtf8(bytes).split(u'\x1f');
    std::array<QString, 8> texts;
    for (int i = 0; i < 8 && i < parts.size(); ++i)
        texts[size_t(i)] = parts[i];
    const ConfigFields fields = ConfigFields::fromTexts(texts);
    if (BuildConfigFrame(fields).size() != kFrameSize || BuildQueryFrame().size() != kFrameSize)
        abort();
    (void)ConfigReport(fields);
    return 0;
}
