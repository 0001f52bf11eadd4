#include "seamrecorder.h"

#include "common/uiseam.h"

MessageRecorder::MessageRecorder()
{
    UiSeam::setMessageHook([this](QWidget *, const QString &text, const QString &title) {
        texts << text;
        titles << title;
        if (onMessage)
            onMessage(text);
    });
}

MessageRecorder::~MessageRecorder() { UiSeam::setMessageHook({}); }

DialogDriver::DialogDriver(std::function<int(QDialog *)> handler)
{
    UiSeam::setDialogHook(std::move(handler));
}

DialogDriver::~DialogDriver() { UiSeam::setDialogHook({}); }
