#pragma once
// Carries out the actions that the script leaves in its global `actions`
// array: read json2str(actions), carry out each action in order, then
// "actions=[];".

#include <QString>

class JsonNode;
class Workbench;

class ActionExecutor
{
public:
    explicit ActionExecutor(Workbench &wb);

    // One batch. Errors inside the batch are swallowed and end it; the final
    // "actions=[];" raises like any other call.
    void RunActions();

    // Carries out one parsed action (an object); throws on failure.
    void RunAction(const JsonNode &action);

private:
    Workbench &m_wb;
};
