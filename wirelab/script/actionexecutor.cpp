#include "actionexecutor.h"

#include "common/errors.h"
#include "common/scriptoutput.h"
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
    JsonNode doc;
    try {
        // json2str(actions); as a direct call (no text to parse).
        const QString json = m_wb.script().JsonOfGlobal(QStringLiteral("actions"));
        if (json.isEmpty())
            return;  // nothing to run, and the list is left as it is
        // The batch is taken out of the script before its first action runs.
        // An action can let other events run (a close that reports at once,
        // a send that waits for the kernel, a box, a name lookup), and their
        // own runs must neither carry this batch out again nor find it gone:
        // they carry out what was queued after it, and what is queued after
        // this batch waits in the list for the next run.
        m_wb.script().ClearGlobalArray(QStringLiteral("actions"));
        if (!ParseLenientJson(json, doc))
            throw WireError(QStringLiteral("json2str(actions) did not give JSON: %1").arg(json.left(200)));
        if (!doc.isArray())
            throw WireError(QStringLiteral("json2str(actions) did not give an array: %1").arg(json.left(200)));
    } catch (...) {
        ReportDropped(0);
        m_wb.script().ClearGlobalArray(QStringLiteral("actions"));
        return;
    }
    for (size_t i = 0; i < doc.items.size(); ++i) {
        try {
            RunAction(doc.items[i]);
        } catch (...) {
            // The rest of the batch is dropped; the program goes on.
            ReportDropped(int(i) + 1);
            return;
        }
    }
}

void ActionExecutor::ReportDropped(int action)
{
    QString text;
    try {
        throw;
    } catch (const WireError &e) {
        text = e.message();
    } catch (const std::exception &e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    if (action == 0)
        ScriptOutput::instance().error(QStringLiteral("actions: %1; nothing carried out").arg(text));
    else
        ScriptOutput::instance().error(
            QStringLiteral("actions: action %1: %2; the rest of the batch was dropped").arg(action).arg(text));
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
        // The batch is already out of the list: runs while the box is open
        // carry out only what is queued meanwhile.
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
