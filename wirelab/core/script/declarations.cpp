#include "core/script/declarations.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/errors.h"
#include "core/log/endpointlog.h"
#include "core/script/calltext.h"
#include "core/script/panelbuilder.h"
#include "core/script/scriptengine.h"
#include "core/script/scripthost.h"
#include "core/script/scriptoutput.h"
#include "core/text/jsondoc.h"

#include <QCoreApplication>
#include <QHash>
#include <QJSValue>
#include <QPointer>

namespace {

const std::vector<JsonNode> &ItemsOf(const JsonNode *array)
{
    static const std::vector<JsonNode> none;
    return array && array->isArray() ? array->items : none;
}

}  // namespace

Declarations::Declarations(ScriptHost &host) : m_host(host) {}

std::shared_ptr<const JsonNode> Declarations::readSockets()
{
    const QString text = m_host.engine().jsonOfGlobal(QStringLiteral("sockets"));
    if (m_lastDoc && text == m_lastText)
        return m_lastDoc;
    auto doc = std::make_shared<JsonNode>();
    if (!parseLenientJson(text, *doc))
        throw ScriptError(
            QStringLiteral("json2str(sockets) did not give valid JSON: %1").arg(text.left(200)));
    // Shared, so a refresh still walking a document keeps it when a nested
    // one replaces it here.
    m_lastText = text;
    m_lastDoc = doc;
    return m_lastDoc;
}

void Declarations::buildRows(Endpoint &endpoint, const JsonNode *ui)
{
    if (PanelBuilder *panels = m_host.panelBuilder()) {
        if (ui && ui->isArray())
            panels->buildRows(endpoint, *ui);
    }
}

void Declarations::build()
{
    if (m_built)
        return;
    m_built = true;  // also a failed build is not repeated

    ScriptEngine &engine = m_host.engine();
    ScriptOutput &out = ScriptOutput::instance();
    JsonNode doc;
    bool parsed = false;
    try {
        const QString text = engine.evalScript(CallText::OnInit());
        parsed = !text.isEmpty() && parseLenientJson(text, doc);
        if (!text.isEmpty() && !parsed)
            out.error(QStringLiteral("json2str(sockets) did not give JSON: %1; no endpoints built").arg(text.left(200)),
                ScriptOutput::Kind::StartupError);
    } catch (const ScriptError &e) {
        // No OnInit, no script, a script error: there is no workspace. A
        // function the call needs and no script defines is named as such
        // ("OnInit threw: ReferenceError: json2str ..." blames OnInit).
        QString missing;
        for (const QString &function : {QStringLiteral("OnInit"), QStringLiteral("json2str")}) {
            try {
                if (engine.evalScript(QStringLiteral("typeof %1;").arg(function))
                                      != QLatin1String("function"))
                    missing = function;
            } catch (...) {}
            if (!missing.isEmpty())
                break;
        }
        if (missing.isEmpty())
            out.scriptError(e, QStringLiteral("OnInit threw: "), ScriptOutput::Kind::StartupError);
        else
            out.error(QStringLiteral("no script defines the function %1; no endpoints built").arg(missing),
                                     ScriptOutput::Kind::StartupError);
    } catch (...) {}
    m_outcome = Outcome::Failed;
    if (!parsed)
        return;  // the user can still create endpoints by hand

    // What OnInit queued runs once, after the build, when every declared
    // endpoint exists: an event handled between the declarations runs only
    // what its own call queues.
    const QJSValue initActions = engine.takeGlobalArray(QStringLiteral("actions"));

    bool created = false;
    int index = 0;
    QHash<QString, int> declaredIds;  // the ID of each endpoint made, and its declaration
    try {
        for (const JsonNode &element : ItemsOf(&doc)) {
            // Events of endpoints made so far, and timer ticks, run in between.
            QCoreApplication::processEvents();
            ++index;
            const KindDescriptor *kind = kindDescriptor(jsonText(element, QStringLiteral("SOCKETTYPE")));
            if (!kind)
                continue;  // an unknown kind names nothing: no earlier endpoint is renamed
            const QString id = jsonText(element, QStringLiteral("ID"));
            m_declaringId = id;
            QPointer<Endpoint> current(kind->declare(m_host.registry(), element));
            m_declaringId.clear();
            if (!current)
                continue;
            created = true;
            // A name lookup finds the first of two declared endpoints that
            // share an ID; the second cannot be addressed by it.
            if (!id.isEmpty() && declaredIds.contains(id)) {
                const ScriptWarning warning {QStringLiteral("sockets[%1]").arg(index - 1), id, 0,
                    QStringLiteral("ID \"%1\" is already the ID of sockets[%2]; the name finds that one")
                                       .arg(id)
                                       .arg(declaredIds.value(id))};
                // Also in the log of the endpoint the name does not reach,
                // where its user looks for why.
                if (out.warning(warning))
                    current->log().appendText(LineKind::Warning, warning.line(), true);
            } else if (!id.isEmpty()) {
                declaredIds.insert(id, index - 1);
            }
            current->setName(id);
            buildRows(*current, jsonArray(element, QStringLiteral("UI")));
        }
    } catch (const WireError &e) {
        // A bad declaration ends the build; what was made so far stays.
        out.error(QStringLiteral("sockets[%1]: %2; the build stopped there").arg(index - 1).arg(e.message()),
                                 ScriptOutput::Kind::StartupError);
    } catch (...) {}
    m_declaringId.clear();

    engine.restoreGlobalArray(QStringLiteral("actions"), initActions);
    m_outcome = created ? Outcome::Created : Outcome::NothingCreated;
    if (created) {
        try {
            m_host.runActions([] { return QStringLiteral("OnInit"); });
        } catch (...) {}
    }
}

void Declarations::connectionAccepted(Endpoint &connection)
{
    if (!m_host.panelBuilder())
        return;  // without panels nothing is read
    const QPointer<Endpoint> e(&connection);
    const std::shared_ptr<const JsonNode> doc = readSockets();
    for (const JsonNode &element : ItemsOf(doc.get())) {
        if (!e)
            return;
        if (jsonText(element, QStringLiteral("ID")) == e->name())
            buildRows(*e, jsonArray(element, QStringLiteral("UI")));
    }
    refresh();
}

void Declarations::refresh()
{
    PanelBuilder *panels = m_host.panelBuilder();
    if (!panels)
        return;
    const std::shared_ptr<const JsonNode> doc = readSockets();
    panels->refresh(*doc);
}
