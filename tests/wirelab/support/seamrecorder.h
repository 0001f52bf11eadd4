#pragma once
// Replaces the message seam while alive, so tests record "连接失败!" instead
// of blocking on a modal box.

#include <QString>
#include <QStringList>
#include <functional>

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    QStringList texts;
    QStringList titles;
    std::function<void(const QString &text)> onMessage;  // runs inside the "box"
};
