#include "actionexecutor.h"

#include "common/errors.h"
#include "common/uiseam.h"
#include "datawindow/hexcodec.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/kinds.h"
#include "endpoints/tcpclientendpoint.h"
#include "endpoints/tcpserverendpoint.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "jsondoc.h"
#include "scripttimers.h"


ActionExecutor::ActionExecutor(Workbench &wb) : m_wb(wb) {}

void ActionExecutor::RunActions()
{
    try {
        // json2str(actions); and actions=[]; as direct calls (no text to parse).
        const QString json = m_wb.script().JsonOfGlobal(QStringLiteral("actions"));
        if (json.isEmpty())
            return;  // nothing to run, and the list is left as it is
        // The batch keeps its own parsed copy: nested runs (inside a box or a
        // send that waits) read and clear the script's list independently.
        JsonNode doc;
        if (!ParseLenientJson(json, doc))
            throw WireError(QStringLiteral("actions: not JSON"));
        if (!doc.isArray())
            throw WireError(QStringLiteral("actions: not an array"));
        for (const JsonNode &action : doc.items)
            RunAction(action);
    } catch (...) {
        // The script-facing path is silent: the rest of the batch is dropped.
    }
    m_wb.script().ClearGlobalArray(QStringLiteral("actions"));
}

void ActionExecutor::RunAction(const JsonNode &action)
{
    if (!action.isObject())
        throw WireError(QStringLiteral("actions: an element is not an object"));

    const QString socketName = JsonText(action, QStringLiteral("SOCKET"));
    TMySocket *r = m_wb.FindEndpointByName(socketName);
    if (!r)
        return;

    const QString type = JsonText(action, QStringLiteral("TYPE"));
    if (type == QLatin1String("DISPLAY")) {
        if (r->window)
            r->window->AppendLine(JsonText(action, QStringLiteral("DATA")));
    } else if (type == QLatin1String("ADDTIMER")) {
        ScriptTimers::AddTimer(r, JsonText(action, QStringLiteral("TIMERNAME")),
                               JsonInt(action, QStringLiteral("INTERVAL")));
    } else if (type == QLatin1String("DELTIMER")) {
        ScriptTimers::DelTimer(r, JsonText(action, QStringLiteral("TIMERNAME")));
    } else if (type == QLatin1String("SETTIMER")) {
        ScriptTimers::SetTimer(r, JsonText(action, QStringLiteral("TIMERNAME")),
                               JsonInt(action, QStringLiteral("INTERVAL")));
    } else if (type == QLatin1String("ALERT")) {
        // Runs that happen while the box is open must not repeat this batch.
        m_wb.script().ClearGlobalArray(QStringLiteral("actions"));
        UiSeam::showMessage(m_wb.mainWindow(), JsonText(action, QStringLiteral("TEXT")),
                            socketName);
    } else if (type == QLatin1String("SEND")) {
        const QByteArray block = HexTextToStr(JsonText(action, QStringLiteral("DATA")));
        if (!block.isEmpty() && r->window)
            r->window->SendData(block);
    } else if (type == QLatin1String("CONNECT")) {
        if (r->kind == Kind::TcpClient)
            TcpClientEndpoint::Open(m_wb, r);
    } else if (type == QLatin1String("DISCONNECT")) {
        if (r->kind == Kind::TcpServerClient && r->state > 0)
            TcpServerEndpoint::CloseConnection(m_wb, r);
        else if (r->kind == Kind::TcpClient && r->state > 0)
            TcpClientEndpoint::Close(m_wb, r);
    }
}
