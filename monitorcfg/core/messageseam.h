#pragma once
// The one way this program shows a message box. The program installs a real
// box at start-up; tests install a recorder so nothing blocks.

#include <QString>
#include <functional>

using MessageHandler = std::function<void(const QString &text)>;

// Replaces the handler; returns the previous one.
MessageHandler SetMessageHandler(MessageHandler handler);

// Shows text through the installed handler (only logged if none is set).
void ShowMessage(const QString &text);
