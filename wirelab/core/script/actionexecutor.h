#pragma once
// Carries out the actions that the script leaves in its global `actions`
// array: read json2str(actions), empty the list, then carry out each action
// in order. Every action is carried out once: a run nested inside one of
// them (events let through by a close, a send, a box, a lookup) finds only
// what was queued after the batch was taken.

#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <optional>

class Endpoint;
class EndpointRegistry;
class JsonNode;
class ScriptEngine;

class ActionExecutor
{
public:
    ActionExecutor(ScriptEngine &engine, EndpointRegistry &registry);

    // One batch. An error inside the batch ends it and is reported on
    // standard error; emptying the list raises like any other call. An
    // action that cannot be carried out as written (an unknown TYPE, a
    // SOCKET that names no endpoint, a SEND whose DATA is not pairs of hex
    // digits, a timer without a name or with a negative interval) is
    // handled as always and warned about (ScriptOutput), naming event (the
    // event whose handling runs the batch: "OnRead of echo_1") and the
    // action's place; endpoint is the endpoint that event concerns.
    // The event is named only when a report needs it (never on the common
    // path of a batch that goes well). A warning, and the error of an
    // action that failed, is also logged as an extra record with the
    // endpoint it concerns: the action's SOCKET, else the event's endpoint.
    using EventName = std::function<QString()>;
    void runActions(const EventName &event = {}, const QString &endpoint = QString());

    // The event function called with args, then the batch it queued, as
    // the call followed by runActions() does but in one entry into the
    // engine (ScriptEngine::callEvent). The event's error leaves here and
    // runs no batch.
    void runEvent(const QString &function, const QStringList &args, const EventName &event,
                  const QString &endpoint);

    // Carries out one parsed action (an object); throws on failure.
    void runAction(const JsonNode &action);

    // An EXIT action ({TYPE: "EXIT", CODE: n}) calls this with n once its
    // batch is done; a CODE that is no integer from 0 to 255 (missing
    // included) is reported and gives 1. Unset (the window), EXIT is
    // ignored.
    void setExitHandler(std::function<void(int code)> handler) { m_onExit = std::move(handler); }

private:
    // Where the actions being carried out come from, for the reports.
    struct Batch
    {
        const EventName &event;
        QString endpoint;
        // The event's name, or "actions" for a run no event started.
        QString source() const { return event ? event() : QStringLiteral("actions"); }
    };

    // actions is no property of the global object (declared with let or
    // const): json2str(actions) and actions=[] as two evaluations.
    void runActionsByText(const Batch &batch);
    // What an entry into the engine read of the actions (ScriptEngine::
    // EventActions): json2str's error, the list read as data, or the text.
    void carryOutRead(const std::exception_ptr &error, const JsonNode &doc, const QString &json,
                      const Batch &batch);
    // Parses json, the batch taken out of the script, and carries it out.
    void carryOutBatch(const QString &json, const Batch &batch);
    void carryOutBatch(const JsonNode &doc, const Batch &batch);
    // Reports the exception being handled as the loss of the whole batch
    // and empties the list.
    void dropBatch(const Batch &batch);
    void carryOut(const JsonNode &action, const Batch &batch, int index);
    // target: the endpoint the action names, once it is known.
    void warn(const Batch &batch, int index, const QString &text, Endpoint *target = nullptr) const;
    // Reports the exception being handled. action: the 1-based number of
    // the action that failed (failed: the action), 0 for the list itself.
    void reportDropped(const Batch &batch, int action, const JsonNode *failed = nullptr) const;

    ScriptEngine &m_engine;
    EndpointRegistry &m_registry;
    std::function<void(int)> m_onExit;
    std::optional<int> m_exitCode;  // an EXIT of the batch being carried out
};
