// Lenient JSON: any text parses or fails cleanly; the typed getters answer for
// every member; a parsed value written back as JSON parses to the same text;
// the fast path gives what the lenient rules give on every text it reads.
#include "core/text/jsondoc.h"

#include <cstdlib>

namespace {
void Walk(const JsonNode &node, int depth)
{
    if (depth > 600)
        abort();  // the reader must have refused this nesting
    if (node.isObject()) {
        for (const auto &m : node.members) {
            const QString key = m.first.toString();
            (void)jsonText(node, key);
            (void)jsonInt(node, key);
            (void)jsonArray(node, key);
            Walk(m.second, depth + 1);
        }
        (void)jsonText(node, QStringLiteral("missing"));
    } else if (node.isArray()) {
        for (const JsonNode &item : node.items)
            Walk(item, depth + 1);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    JsonNode doc, fast;
    const bool plain = parsePlainJson(text, fast);
    if (!parseLenientJson(text, doc)) {
        if (plain)
            abort();
        return 0;
    }
    if (plain && fast.toJson() != doc.toJson())
        abort();
    Walk(doc, 0);
    const QString json = doc.toJson();
    JsonNode again;
    if (!parseLenientJson(json, again) || again.toJson() != json)
        abort();
    return 0;
}
