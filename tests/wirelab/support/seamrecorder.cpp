#include "seamrecorder.h"

#include "messageseam.h"

MessageRecorder::MessageRecorder()
{
    MessageSeam::setHandler([this](const QString &text, const QString &title) {
        texts << text;
        titles << title;
        if (onMessage)
            onMessage(text);
    });
}

MessageRecorder::~MessageRecorder() { MessageSeam::setHandler({}); }
