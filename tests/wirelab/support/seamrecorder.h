#pragma once
// Replaces the message-box and dialog seam while alive, so tests record
// "连接失败!" instead of blocking on a modal box.

#include <QString>
#include <QStringList>
#include <functional>

class QDialog;

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    QStringList texts;
    QStringList titles;
    std::function<void(const QString &text)> onMessage;  // runs inside the "box"
};

// handler decides each modal dialog's result (it may fill boxes and accept()).
class DialogDriver
{
public:
    explicit DialogDriver(std::function<int(QDialog *)> handler);
    ~DialogDriver();
};
