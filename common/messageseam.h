#pragma once
// The one way both programs show a message box. The window installs a real,
// modal box at start-up; a run without a window writes the message to
// standard error instead; tests install a recorder, so nothing blocks.

#include <QString>
#include <functional>

namespace MessageSeam {

// title may be empty (the program's name is used then).
using Handler = std::function<void(const QString &text, const QString &title)>;

// Replaces the handler; returns the previous one.
Handler setHandler(Handler handler);

// Shows text through the installed handler and returns when it is closed.
// Without a handler: "<program>: [<title>: ]<text>" on standard error.
void show(const QString &text, const QString &title = QString());

}  // namespace MessageSeam
