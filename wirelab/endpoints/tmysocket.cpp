#include "tmysocket.h"

#include "datawindow/tfrmdata.h"
#include "endpointnode.h"
#include "script/sockettimer.h"

#include <QDateTime>
#include <QLocale>

TMySocket::TMySocket() = default;

TMySocket::~TMySocket()
{
    if (node)
        node->detach();
    if (window && window->MySocket == this)
        window->MySocket = nullptr;
}

QString TMySocket::name() const
{
    return window ? window->name() : QString();
}

QString CreationTimeText()
{
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + u' '
        + locale.toString(now.time(), QLocale::LongFormat);
}
