#pragma once
// A script mistake that the program goes on from (an action it cannot carry
// out as written, a declaration that repeats a name): where it was found
// and what is wrong, kept as fields so that a log can keep them as they are;
// ScriptOutput writes it as one line.

#include <QString>

struct ScriptWarning
{
    QString event;  // the event whose handling found it: "OnRead of echo_1", "timer t of echo", "OnInit"
    QString endpoint;  // the endpoint that event concerns; empty when none
    int action = 0;  // the action's 1-based place in its batch; 0 when it is about no action
    QString text;  // what is wrong, and what was done instead
    int repeats = 0;  // > 0: the same warning came this many more times in the last second

    // "warning: <event>: action <n>: <text>", the parts that are set.
    QString line() const;
};
