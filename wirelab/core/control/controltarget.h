#pragma once
// ControlTarget: what the control commands act on, one running project.
// The commands check their words (how many, numbers, hex); the target finds
// the endpoints and panel items by name and acts as the window's own
// buttons do. Each call answers; a call that cannot act changes nothing
// and answers why.

#include "core/control/controlanswer.h"

#include <QByteArray>
#include <QString>

class ControlTarget
{
public:
    virtual ~ControlTarget() = default;

    // Every endpoint in display order: name, kind, state, local and peer
    // address, received and sent bytes.
    virtual ControlAnswer list() = 0;
    // The data window's send of one block.
    virtual ControlAnswer send(const QString &name, const QByteArray &block) = 0;
    virtual ControlAnswer connectEndpoint(const QString &name) = 0;
    virtual ControlAnswer disconnectEndpoint(const QString &name) = 0;
    virtual ControlAnswer listen(const QString &name, bool on) = 0;
    virtual ControlAnswer deleteEndpoint(const QString &name) = 0;
    // A panel's button pressed, an edit box typed into, a panel's items.
    virtual ControlAnswer click(const QString &name, const QString &id) = 0;
    virtual ControlAnswer setText(const QString &name, const QString &id, const QString &text) = 0;
    virtual ControlAnswer panel(const QString &name) = 0;
    // The last lines of an endpoint's log, oldest first.
    virtual ControlAnswer log(const QString &name, int lines) = 0;
    // Ends the run with status code, as SIGTERM does.
    virtual ControlAnswer quit(int code) = 0;
};
