#include "core/script/actionexecutor.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/script/scriptengine.h"
#include "core/script/scriptoutput.h"
#include "core/script/scripttimers.h"
#include "core/text/hexcodec.h"
#include "core/text/intconv.h"
#include "core/text/jsondoc.h"
#include "messageseam.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace {

// At most this much of a text or of bytes in a warning.
constexpr qsizetype ShownChars = 64;

QString Shown(const QString &text)
{
    return text.size() <= ShownChars ? text : text.left(ShownChars) + QStringLiteral("...");
}

// The exit status an EXIT's CODE asks for, if it is an integer from 0 to
// 255 (a number, or a string holding one).
std::optional<int> ExitCodeOf(const JsonNode &action)
{
    const JsonNode *code = action.member(QStringLiteral("CODE"));
    if (!code)
        return std::nullopt;
    double value = -1;
    if (code->type == JsonNode::Type::Number) {
        value = code->number;
    } else if (code->type == JsonNode::Type::String) {
        int n = 0;
        if (!tryStrToInt(code->text.toString(), n))
            return std::nullopt;
        value = n;
    }
    if (value < 0 || value > 255 || std::floor(value) != value)
        return std::nullopt;
    return int(value);
}

// The message of the exception being handled; a script error's file and
// line go to place as well.
QString ErrorText(ScriptOutput::Place &place)
{
    try {
        throw;
    } catch (const ScriptError &e) {
        place.file = e.file();
        place.line = e.line();
        return e.message();
    } catch (const WireError &e) {
        return e.message();
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

// The endpoint of that name; an empty name (a batch of no endpoint, an
// action without a SOCKET) names none.
Endpoint *Named(const EndpointRegistry &registry, const QString &name)
{
    return name.isEmpty() ? nullptr : registry.findByName(name);
}

// Writes the error and, when it concerns an endpoint, records it in that
// endpoint's log as well (as often as it is written), so that its window
// and its saved log tell it as an error.
void ReportError(const QString &line, const ScriptOutput::Place &place, Endpoint *concerned)
{
    ScriptOutput::instance().error(line, ScriptOutput::Kind::Error, place,
                                   concerned ? &concerned->log() : nullptr);
}

}  // namespace

ActionExecutor::ActionExecutor(ScriptEngine &engine, EndpointRegistry &registry)
    : m_engine(engine), m_registry(registry)
{}

void ActionExecutor::runActions(const EventName &event, const QString &endpoint)
{
    // json2str(actions), then actions=[], in one entry into the engine.
    ScriptEngine::EventActions taken;
    try {
        taken = m_engine.takeActions();
    } catch (...) {
        dropBatch({event, endpoint});
        return;
    }
    if (taken.read)
        carryOutRead(taken.error, taken.doc, taken.json, {event, endpoint});
    else
        runActionsByText({event, endpoint});
}

void ActionExecutor::runActionsByText(const Batch &batch)
{
    QString json;
    try {
        // json2str(actions); as a direct call (no text to parse).
        json = m_engine.jsonOfGlobal(QStringLiteral("actions"));
        if (json.isEmpty())
            return;  // nothing to run, and the list is left as it is
        m_engine.clearGlobalArray(QStringLiteral("actions"));
    } catch (...) {
        dropBatch(batch);
        return;
    }
    carryOutBatch(json, batch);
}

void ActionExecutor::runEvent(const QString &function, const QStringList &args, const EventName &event,
                              const QString &endpoint)
{
    ScriptEngine::EventActions taken = m_engine.callEvent(function, args);
    if (taken.read)
        carryOutRead(taken.error, taken.doc, taken.json, {event, endpoint});
    else
        runActionsByText({event, endpoint});
}

void ActionExecutor::carryOutRead(const std::exception_ptr &error, const JsonNode &doc, const QString &json,
                                  const Batch &batch)
{
    // The batch is out of the script before its first action runs. An
    // action can let other events run (a close that reports at once, a send
    // that waits for the kernel, a box, a name lookup), and their own runs
    // must neither carry this batch out again nor find it gone: they carry
    // out what was queued after it, and what is queued after this batch
    // waits in the list for the next run. A list read as data is emptied
    // after its actions (the answer first), and before anything else enters
    // the engine, so no run sees it.
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            dropBatch(batch);
        }
        return;
    }
    if (doc.isArray()) {
        carryOutBatch(doc, batch);
        m_engine.emptyReadActions();
    } else if (!json.isEmpty()) {
        carryOutBatch(json, batch);
    }
}

void ActionExecutor::dropBatch(const Batch &batch)
{
    reportDropped(batch, 0);
    m_engine.clearGlobalArray(QStringLiteral("actions"));
}

void ActionExecutor::carryOutBatch(const QString &json, const Batch &batch)
{
    JsonNode doc;
    try {
        if (!parseLenientJson(json, doc))
            throw WireError(QStringLiteral("json2str(actions) did not give JSON: %1").arg(json.left(200)));
        if (!doc.isArray())
            throw WireError(
                QStringLiteral("json2str(actions) did not give an array: %1").arg(json.left(200)));
    } catch (...) {
        dropBatch(batch);
        return;
    }
    carryOutBatch(doc, batch);
}

void ActionExecutor::carryOutBatch(const JsonNode &doc, const Batch &batch)
{
    // A nested batch keeps its own EXIT.
    const std::optional<int> outerExit = std::exchange(m_exitCode, std::nullopt);
    for (size_t i = 0; i < doc.items.size(); ++i) {
        try {
            carryOut(doc.items[i], batch, int(i) + 1);
        } catch (...) {
            // The rest of the batch is dropped; the program goes on.
            reportDropped(batch, int(i) + 1, &doc.items[i]);
            break;
        }
    }
    const std::optional<int> exitCode = std::exchange(m_exitCode, outerExit);
    if (exitCode && m_onExit)
        m_onExit(*exitCode);
}

void ActionExecutor::warn(const Batch &batch, int index, const QString &text, Endpoint *target) const
{
    const ScriptWarning warning {batch.event ? batch.event() : QString(), batch.endpoint, index, text};
    // Logged as often as it is written: a warning that repeats (a timer's
    // batch ten times a second) is a record about once a second.
    if (!ScriptOutput::instance().warning(warning))
        return;
    if (!target)
        target = Named(m_registry, batch.endpoint);
    if (target)
        target->log().appendText(LineKind::Warning, warning.line(), true);
}

void ActionExecutor::reportDropped(const Batch &batch, int action, const JsonNode *failed) const
{
    ScriptOutput::Place place;
    const QString text = ErrorText(place);
    place.event = batch.source();
    place.action = action;
    if (action == 0) {
        place.endpoint = batch.endpoint;
        ReportError(QStringLiteral("%1: %2; nothing carried out").arg(place.event, text), place,
                                   Named(m_registry, batch.endpoint));
        return;
    }
    const QString socket =
        failed && failed->isObject() ? jsonText(*failed, QStringLiteral("SOCKET")) : QString();
    Endpoint *concerned = Named(m_registry, socket);
    if (!concerned)
        concerned = Named(m_registry, batch.endpoint);
    if (concerned)
        place.endpoint = concerned->name();
    ReportError(QStringLiteral("%1: action %2: %3; the rest of the batch was dropped").arg(place.event).arg(action).arg(text), place,
        concerned);
}

void ActionExecutor::runAction(const JsonNode &action)
{
    const EventName none;
    carryOut(action, Batch {none, QString()}, 0);
}

void ActionExecutor::carryOut(const JsonNode &action, const Batch &batch, int index)
{
    if (!action.isObject())
        throw WireError(QStringLiteral("an element is not an object"));

    QString typeHeld;
    const QStringView typeView = jsonTextView(action, QStringLiteral("TYPE"), typeHeld);
    if (typeView == QLatin1String("EXIT")) {
        // Names no endpoint; ends a run without a window once the batch is
        // done. Exit statuses are 0 to 255: anything else would be cut to
        // its low byte (300 ends as 44), and a missing or mistyped CODE
        // would end a failing test with 0.
        if (!m_onExit)
            return;
        m_exitCode = ExitCodeOf(action);
        if (!m_exitCode) {
            const JsonNode *code = action.member(QStringLiteral("CODE"));
            const QString what =
                code ? QStringLiteral("CODE %1 is not an integer from 0 to 255").arg(Shown(code->toJson()))
                     : QStringLiteral("EXIT without a CODE");
            ScriptOutput::Place place;
            place.endpoint = batch.endpoint;
            place.event = batch.source();
            place.action = index;
            ReportError(QStringLiteral("%1: action %2: %3; the run ends with status 1").arg(place.event).arg(index).arg(what), place,
                Named(m_registry, batch.endpoint));
            m_exitCode = 1;
        }
        return;
    }

    static const QStringList Types {
        QStringLiteral("DISPLAY"),  QStringLiteral("ADDTIMER"),  QStringLiteral("DELTIMER"),
                                                                                QStringLiteral("SETTIMER"), QStringLiteral("ALERT"),     QStringLiteral("SEND"),
                                                                                                                                                        QStringLiteral("CONNECT"),  QStringLiteral("DISCONNECT")};
    // The known type's own text: no copy of the action's.
    const auto known = std::find(Types.cbegin(), Types.cend(), typeView);
    if (known == Types.cend()) {
        const QString type = typeView.toString();
        warn(batch, index,
             type.isEmpty() ? QStringLiteral("no TYPE; ignored")
                            : QStringLiteral("unknown TYPE \"%1\"; ignored").arg(Shown(type)));
        return;
    }
    const QString &type = *known;

    QString socketHeld;
    const QStringView socketView = jsonTextView(action, QStringLiteral("SOCKET"), socketHeld);
    // Looked up without a copy: the name lives as long as the action.
    Endpoint *e = m_registry.findByName(QString::fromRawData(socketView.data(), socketView.size()));
    const auto socketName = [&] { return socketView.toString(); };
    if (!e) {
        warn(batch, index,
             QStringLiteral("%1: SOCKET \"%2\" names no endpoint; ignored").arg(type, Shown(socketName())));
        return;
    }

    // A timer action without a name acts on the timer named "", and a
    // negative interval fires on every tick: both as always, with a word.
    const bool timerAction = type.endsWith(QLatin1String("TIMER"));
    const QString timerName = timerAction ? jsonText(action, QStringLiteral("TIMERNAME")) : QString();
    const int interval = timerAction ? jsonInt(action, QStringLiteral("INTERVAL")) : 0;
    if (timerAction && timerName.isEmpty())
        warn(batch, index, QStringLiteral("%1 without a TIMERNAME").arg(type), e);
    if (timerAction && type != QLatin1String("DELTIMER") && interval < 0)
        warn(batch, index,
             QStringLiteral("%1 \"%2\": INTERVAL %3 is negative; the timer fires on every tick")
                                .arg(type, Shown(timerName))
                                .arg(interval),
                            e);

    if (type == QLatin1String("DISPLAY")) {
        e->appendLine(jsonText(action, QStringLiteral("DATA")));
    } else if (type == QLatin1String("ADDTIMER")) {
        ScriptTimers::addTimer(e, timerName, interval);
    } else if (type == QLatin1String("DELTIMER")) {
        ScriptTimers::delTimer(e, timerName);
    } else if (type == QLatin1String("SETTIMER")) {
        ScriptTimers::setTimer(e, timerName, interval);
    } else if (type == QLatin1String("ALERT")) {
        // The batch is already out of the list: runs while the box is open
        // carry out only what is queued meanwhile.
        MessageSeam::show(jsonText(action, QStringLiteral("TEXT")), socketName());
    } else if (type == QLatin1String("SEND")) {
        // DATA is read two characters a byte whatever they are (scripts may
        // rely on it); what it sends then is told.
        QString dataHeld;
        const QStringView data = jsonTextView(action, QStringLiteral("DATA"), dataHeld);
        const QByteArray block = hexTextToStr(data);
        if (!isHexPairs(data)) {
            const QString sent = block.isEmpty()
                ? QStringLiteral("nothing was sent")
                : QStringLiteral("sent as %1 (%2 %3)") .arg(
                    strToHexSpaced(block.left(ShownChars / 2)).trimmed()
                    + (block.size() > ShownChars / 2 ? QStringLiteral(" ...") : QString()))
                        .arg(block.size())
                        .arg(block.size() == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"));
            warn(batch, index,
                 QStringLiteral("SEND DATA \"%1\" is not pairs of hex digits; %2").arg(Shown(data.toString()), sent), e);
        }
        // What went out is logged once, as a record the receive pane leaves
        // out (the headless output and the saved forms show it). The send
        // may let events run: the endpoint may be gone after.
        const QPointer<Endpoint> alive(e);
        if (!block.isEmpty() && e->send(block) && alive)
            alive->log().append(LineKind::Sent, block, alive->hexMode(), true);
    } else if (type == QLatin1String("CONNECT")) {
        e->open();  // only a TCP client opens anything
    } else if (type == QLatin1String("DISCONNECT")) {
        // A connected TCP client or accepted connection; nothing else.
        if (e->isActive())
            e->closeConnection();
    }
}
