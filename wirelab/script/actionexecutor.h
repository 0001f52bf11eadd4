#pragma once
// Carries out the actions that the script leaves in its global `actions`
// array: read json2str(actions), empty the list, then carry out each action
// in order. Every action is carried out once: a run nested inside one of
// them (events let through by a close, a send, a box, a lookup) finds only
// what was queued after the batch was taken.

#include <QString>

class JsonNode;
class Workbench;

class ActionExecutor
{
public:
    explicit ActionExecutor(Workbench &wb);

    // One batch. An error inside the batch ends it and is reported on
    // standard error; emptying the list raises like any other call.
    void RunActions();

    // Carries out one parsed action (an object); throws on failure.
    void RunAction(const JsonNode &action);

private:
    // Reports the exception being handled. action: the 1-based number of
    // the action that failed, 0 for the list itself.
    static void ReportDropped(int action);

    Workbench &m_wb;
};
