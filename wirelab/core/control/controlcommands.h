#pragma once
// The control commands, one entry per command in one table: its name, the
// words it takes, and what it does with a ControlTarget. A command line's
// words are checked against its entry before anything is done, so bad
// input answers "error: ..." and changes nothing.

#include "core/control/controlanswer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class ControlTarget;

struct ControlCommand
{
    const char *name;
    const char *arguments;  // as help shows them: "NAME TEXT"
    int required;  // words after the name that must be there
    int optional;  // and that may follow them
    ControlAnswer (*run)(ControlTarget &target, const QStringList &arguments);
};

const QList<ControlCommand> &controlCommands();

// Carries out one command line; nullopt for a blank line (no answer).
std::optional<ControlAnswer> runControlLine(ControlTarget &target, const QString &line);
