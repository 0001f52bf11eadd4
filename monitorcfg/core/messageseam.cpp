#include "messageseam.h"

#include <QDebug>

namespace {
MessageHandler &Handler()
{
    static MessageHandler handler;
    return handler;
}
} // namespace

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void ShowMessage(const QString &text)
{
    if (Handler())
        Handler()(text);
    else
        qWarning().noquote() << text;
}
