#include "core/script/actionexecutor.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/script/scriptengine.h"
#include "core/script/scriptoutput.h"
#include "core/script/scripttimers.h"
#include "core/text/hexcodec.h"
#include "core/text/jsondoc.h"
#include "messageseam.h"

ActionExecutor::ActionExecutor(ScriptEngine &engine, EndpointRegistry &registry)
    : m_engine(engine), m_registry(registry)
{}

void ActionExecutor::runActions()
{
    JsonNode doc;
    try {
        // json2str(actions); as a direct call (no text to parse).
        const QString json = m_engine.jsonOfGlobal(QStringLiteral("actions"));
        if (json.isEmpty())
            return;  // nothing to run, and the list is left as it is
        // The batch is taken out of the script before its first action runs.
        // An action can let other events run (a close that reports at once,
        // a send that waits for the kernel, a box, a name lookup), and their
        // own runs must neither carry this batch out again nor find it gone:
        // they carry out what was queued after it, and what is queued after
        // this batch waits in the list for the next run.
        m_engine.clearGlobalArray(QStringLiteral("actions"));
        if (!parseLenientJson(json, doc))
            throw WireError(QStringLiteral("json2str(actions) did not give JSON: %1").arg(json.left(200)));
        if (!doc.isArray())
            throw WireError(
                QStringLiteral("json2str(actions) did not give an array: %1").arg(json.left(200)));
    } catch (...) {
        reportDropped(0);
        m_engine.clearGlobalArray(QStringLiteral("actions"));
        return;
    }
    // A nested batch keeps its own EXIT.
    const std::optional<int> outerExit = std::exchange(m_exitCode, std::nullopt);
    for (size_t i = 0; i < doc.items.size(); ++i) {
        try {
            runAction(doc.items[i]);
        } catch (...) {
            // The rest of the batch is dropped; the program goes on.
            reportDropped(int(i) + 1);
            break;
        }
    }
    const std::optional<int> exitCode = std::exchange(m_exitCode, outerExit);
    if (exitCode && m_onExit)
        m_onExit(*exitCode);
}

void ActionExecutor::reportDropped(int action)
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
        ScriptOutput::instance().error(QStringLiteral("actions: action %1: %2; the rest of the batch was dropped").arg(action).arg(text));
}

void ActionExecutor::runAction(const JsonNode &action)
{
    if (!action.isObject())
        throw WireError(QStringLiteral("actions: an element is not an object"));

    const QString type = jsonText(action, QStringLiteral("TYPE"));
    if (type == QLatin1String("EXIT")) {
        // Names no endpoint; ends a run without a window once the batch is done.
        if (m_onExit)
            m_exitCode = jsonInt(action, QStringLiteral("CODE"));
        return;
    }

    const QString socketName = jsonText(action, QStringLiteral("SOCKET"));
    Endpoint *e = m_registry.findByName(socketName);
    if (!e)
        return;

    if (type == QLatin1String("DISPLAY")) {
        e->appendLine(jsonText(action, QStringLiteral("DATA")));
    } else if (type == QLatin1String("ADDTIMER")) {
        ScriptTimers::addTimer(
            e, jsonText(action, QStringLiteral("TIMERNAME")), jsonInt(action, QStringLiteral("INTERVAL")));
    } else if (type == QLatin1String("DELTIMER")) {
        ScriptTimers::delTimer(e, jsonText(action, QStringLiteral("TIMERNAME")));
    } else if (type == QLatin1String("SETTIMER")) {
        ScriptTimers::setTimer(
            e, jsonText(action, QStringLiteral("TIMERNAME")), jsonInt(action, QStringLiteral("INTERVAL")));
    } else if (type == QLatin1String("ALERT")) {
        // The batch is already out of the list: runs while the box is open
        // carry out only what is queued meanwhile.
        MessageSeam::show(jsonText(action, QStringLiteral("TEXT")), socketName);
    } else if (type == QLatin1String("SEND")) {
        const QByteArray block = hexTextToStr(jsonText(action, QStringLiteral("DATA")));
        if (!block.isEmpty())
            e->send(block);
    } else if (type == QLatin1String("CONNECT")) {
        e->open();  // only a TCP client opens anything
    } else if (type == QLatin1String("DISCONNECT")) {
        // A connected TCP client or accepted connection; nothing else.
        if (e->isActive())
            e->closeConnection();
    }
}
