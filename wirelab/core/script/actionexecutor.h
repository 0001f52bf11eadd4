#pragma once
// Carries out the actions that the script leaves in its global `actions`
// array: read json2str(actions), empty the list, then carry out each action
// in order. Every action is carried out once: a run nested inside one of
// them (events let through by a close, a send, a box, a lookup) finds only
// what was queued after the batch was taken.

#include <QString>

#include <functional>
#include <optional>

class EndpointRegistry;
class JsonNode;
class ScriptEngine;

class ActionExecutor
{
public:
    ActionExecutor(ScriptEngine &engine, EndpointRegistry &registry);

    // One batch. An error inside the batch ends it and is reported on
    // standard error; emptying the list raises like any other call.
    void runActions();

    // Carries out one parsed action (an object); throws on failure.
    void runAction(const JsonNode &action);

    // An EXIT action ({TYPE: "EXIT", CODE: n}) calls this with n once its
    // batch is done. Unset (the window), EXIT is ignored like any type the
    // executor does not know.
    void setExitHandler(std::function<void(int code)> handler) { m_onExit = std::move(handler); }

private:
    // Reports the exception being handled. action: the 1-based number of
    // the action that failed, 0 for the list itself.
    static void reportDropped(int action);

    ScriptEngine &m_engine;
    EndpointRegistry &m_registry;
    std::function<void(int)> m_onExit;
    std::optional<int> m_exitCode;  // an EXIT of the batch being carried out
};
