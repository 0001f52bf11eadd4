#pragma once
// The kinds of line an endpoint's log holds, and what each one is: one entry
// per kind in LineKinds, which the texts, the JSON form, the headless output
// and the receive pane's filter and colours ask, so that a kind is added or
// changed in one place.

#include <QtGlobal>

#include <cstddef>
#include <iterator>

enum class LineKind : quint8 {
    Received,  // data received (the record holds its bytes)
    Sent,  // data sent (the bytes; from the data window also its repeat count text)
    Displayed,  // a DISPLAY action's text
    Notice,  // something the endpoint says about its connection
    SendFailed,  // a send refused ("发送失败，连接已断开")
    Warning,  // a warning about the endpoint's script ("warning: ...")
    Error,  // an error about it: a batch cut short, a handler that threw ("error: ...")
};

// The receive pane's filter groups: a kind is shown when its group is.
enum class LineGroup : quint8 {
    Received,
    Sent,
    Notices,  // connection notices, failed sends, script warnings and errors
    Script,  // DISPLAY texts
};

// How a line is drawn; the view gives each a colour.
enum class LineTone : quint8 {
    Received,
    Sent,
    Alert,  // notices, warnings, errors
    Plain,
};

struct LineKindInfo
{
    LineKind kind;
    const char *eventName;  // "event" of the JSON form
    LineGroup group;
    LineTone tone;
    // The record holds payload bytes (rather than a text); its line is the
    // time, the prefix and the bytes.
    bool carriesBytes;
    // A warning or error about the endpoint's script, which the script's
    // output tells itself as well (standard error in a run without a window).
    bool scriptDiagnostic;
    // A data line's prefix after its time (translated in this context).
    const char *prefixContext;
    const char *prefix;
};

inline constexpr LineKindInfo LineKinds[] = {
    {LineKind::Received, "recv", LineGroup::Received, LineTone::Received, true, false, "ReceivePath",
     QT_TRANSLATE_NOOP("ReceivePath", "收到数据：")},
    {LineKind::Sent, "send", LineGroup::Sent, LineTone::Sent, true, false, "SendPath",
     QT_TRANSLATE_NOOP("SendPath", "发送数据：")},
    {LineKind::Displayed, "display", LineGroup::Script, LineTone::Plain, false, false, nullptr, nullptr},
    {LineKind::Notice, "notice", LineGroup::Notices, LineTone::Alert, false, false, nullptr, nullptr},
    {LineKind::SendFailed, "notice", LineGroup::Notices, LineTone::Alert, false, false, nullptr, nullptr},
    {LineKind::Warning, "warning", LineGroup::Notices, LineTone::Alert, false, true, nullptr, nullptr},
    {LineKind::Error, "error", LineGroup::Notices, LineTone::Alert, false, true, nullptr, nullptr},
};

inline constexpr std::size_t LineKindCount = std::size(LineKinds);

constexpr bool lineKindsInOrder()
{
    for (std::size_t i = 0; i < LineKindCount; ++i) {
        if (std::size_t(LineKinds[i].kind) != i)
            return false;
    }
    return true;
}
static_assert(lineKindsInOrder() && LineKindCount == std::size_t(LineKind::Error) + 1,
              "LineKinds has one entry per LineKind (Error the last), in its order");

constexpr const LineKindInfo &lineKindInfo(LineKind kind) { return LineKinds[std::size_t(kind)]; }

// Whether a record of this kind holds payload bytes (rather than a text).
constexpr bool carriesBytes(LineKind kind) { return lineKindInfo(kind).carriesBytes; }
