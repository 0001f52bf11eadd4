#include "workspace.h"

#include "calltext.h"
#include "common/errors.h"
#include "common/guard.h"
#include "common/scriptoutput.h"
#include "datawindow/tfrmdata.h"
#include "endpoints/createfromline.h"
#include "endpoints/endpointnode.h"
#include "endpoints/kinds.h"
#include "endpoints/tmysocket.h"
#include "endpoints/workbench.h"
#include "jsondoc.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int RowHeight = 40;

// The parameter line of one declaration, or "" when the kind is none of the
// five that can be declared. Values go in as written.
QString ParamLineOf(const JsonNode &element)
{
    const QString kind = JsonText(element, QStringLiteral("SOCKETTYPE"));
    auto v = [&](const char *key) { return JsonText(element, QLatin1String(key)); };
    if (kind == Kind::TcpServer)
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HEX=%3").arg(kind, v("PORT"), v("HEX"));
    if (kind == Kind::TcpClient)
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HOST=%3,HEX=%4")
            .arg(kind, v("PORT"), v("HOST"), v("HEX"));
    if (kind == Kind::UdpClient)
        return QStringLiteral("SOCKETTYPE=%1,REMOTEPORT=%2,LOCALPORT=%3,HOST=%4,HEX=%5")
            .arg(kind, v("REMOTEPORT"), v("LOCALPORT"), v("HOST"), v("HEX"));
    // A UDP server declares its local port as PORT, a group its address as GROUPADDR.
    if (kind == Kind::UdpServer)
        return QStringLiteral("SOCKETTYPE=%1,LOCALPORT=%2,HOST=%3,HEX=%4")
            .arg(kind, v("PORT"), v("HOST"), v("HEX"));
    if (kind == Kind::UdpGroup)
        return QStringLiteral("SOCKETTYPE=%1,PORT=%2,HOST=%3,HEX=%4")
            .arg(kind, v("PORT"), v("GROUPADDR"), v("HEX"));
    return QString();
}

bool IsIdentifier(const QString &name)
{
    static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return ident.match(name).hasMatch();
}

// Depth first, parents before their children: the order of findChildren,
// without building the list of every object of the window.
QObject *FindNamedBelow(const QObject *parent, const QString &name)
{
    for (QObject *o : parent->children()) {
        if (o->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return o;
        if (QObject *found = FindNamedBelow(o, name))
            return found;
    }
    return nullptr;
}

// The first object of the window (designed controls included) whose name
// equals name without regard to case.
QObject *FindNamed(TFrmData *window, const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return FindNamedBelow(window, name);
}

// A button or edit name must be empty or an identifier that no other object
// of the window uses, case ignored.
void CheckWidgetName(TFrmData *window, const QString &name)
{
    if (name.isEmpty())
        return;
    if (!IsIdentifier(name))
        throw WireError(QStringLiteral("'%1' is not a valid component name").arg(name));
    if (FindNamed(window, name))
        throw WireError(QStringLiteral("A component named %1 already exists").arg(name));
}

// json2str(sockets) parsed; a failed call or a text that does not parse raises.
// The panels are refreshed after every timer firing and click, and the text
// rarely changes in between: the last parse is kept and reused while the
// text stays the same. Shared, so a refresh still walking a document keeps
// it when a nested one replaces the cache.
std::shared_ptr<const JsonNode> ReadSockets(Workbench &wb)
{
    static QString lastText;
    static std::shared_ptr<const JsonNode> lastDoc;
    const QString text = wb.script().JsonOfGlobal(QStringLiteral("sockets"));
    if (lastDoc && text == lastText)
        return lastDoc;
    auto doc = std::make_shared<JsonNode>();
    if (!ParseLenientJson(text, *doc))
        throw ScriptError(QStringLiteral("json2str(sockets) did not give valid JSON: %1")
                              .arg(text.left(200)));
    lastText = text;
    lastDoc = doc;
    return lastDoc;
}

// The endpoints by name as FindEndpointByName finds them (the first in tree
// order wins), taken in one walk of the tree.
class EndpointsByName
{
public:
    explicit EndpointsByName(Workbench &wb) : m_wb(wb) {}

    TMySocket *find(const QString &name)
    {
        if (!m_built)
            build();
        const auto it = m_byName.constFind(name);
        return it == m_byName.constEnd() ? nullptr : it->data();
    }
    // After anything that may have let events run (a script call): endpoints
    // may have gone or been renamed.
    void invalidate() { m_built = false; }

private:
    void build()
    {
        m_byName.clear();
        m_built = true;
        QTreeWidget *tree = m_wb.tree();
        if (!tree)
            return;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            QTreeWidgetItem *item = *it;
            if (!item->parent())
                continue;
            TMySocket *r = RecordOf(item);
            if (!r || !r->window)
                continue;
            const QString name = r->window->name();
            if (!m_byName.contains(name))
                m_byName.insert(name, r);
        }
    }

    Workbench &m_wb;
    QHash<QString, QPointer<TMySocket>> m_byName;
    bool m_built = false;
};

const std::vector<JsonNode> &ItemsOf(const JsonNode *array)
{
    static const std::vector<JsonNode> none;
    return array && array->isArray() ? array->items : none;
}

void ButtonClick(Workbench &wb, TMySocket *endpoint, const QString &buttonId)
{
    wb.EvalScript(CallText::OnButtonClick(endpoint->name(), buttonId));
    wb.workspace().RefreshPanels();
    wb.RunActions();
}

void EditChange(Workbench &wb, TMySocket *endpoint, const QString &editId, const QString &text)
{
    // Actions queued here wait for the next executor run, whatever starts it.
    wb.EvalScript(CallText::OnEditChange(endpoint->name(), editId, text));
}

} // namespace

Workspace::Workspace(Workbench &wb) : m_wb(wb) {}

void Workspace::BuildWorkspace()
{
    if (m_built)
        return;
    m_built = true;  // also a failed build is not repeated

    QPointer<QTreeWidget> tree(m_wb.tree());
    QPointer<QWidget> mainWindow(m_wb.mainWindow());
    if (tree)
        tree->hide();

    JsonNode doc;
    bool parsed = false;
    ScriptOutput &out = ScriptOutput::instance();
    try {
        const QString text = m_wb.EvalScript(CallText::OnInit());
        parsed = !text.isEmpty() && ParseLenientJson(text, doc);
        if (!text.isEmpty() && !parsed)
            out.error(QStringLiteral("json2str(sockets) did not give JSON: %1; no endpoints built")
                          .arg(text.left(200)),
                      ScriptOutput::Kind::StartupError);
    } catch (const ScriptError &e) {
        // No OnInit, no script, a script error: there is no workspace.
        out.scriptError(e, QStringLiteral("OnInit threw: "), ScriptOutput::Kind::StartupError);
    } catch (...) {
    }
    if (!parsed) {
        // The user can still create endpoints by hand.
        if (tree)
            tree->show();
        return;
    }

    if (mainWindow)
        mainWindow->setEnabled(false);

    // What OnInit queued runs once, after the build, when every declared
    // endpoint exists: an event handled between the declarations runs only
    // what its own call queues.
    const QJSValue initActions = m_wb.script().TakeGlobalArray(QStringLiteral("actions"));

    bool created = false;
    int index = 0;
    try {
        for (const JsonNode &element : ItemsOf(&doc)) {
            // Events of endpoints made so far, and timer ticks, run in between.
            QCoreApplication::processEvents();
            ++index;
            const QString line = ParamLineOf(element);
            if (line.isEmpty())
                continue;  // an unknown kind names nothing: no earlier endpoint is renamed
            QPointer<TMySocket> current(CreateFromLine(m_wb, line));
            if (!current)
                continue;
            created = true;
            if (current->window)
                current->window->setName(JsonText(element, QStringLiteral("ID")));
            BuildPanelRows(current, JsonArray(element, QStringLiteral("UI")));
        }
    } catch (const WireError &e) {
        // A bad declaration ends the build; what was made so far stays.
        out.error(QStringLiteral("sockets[%1]: %2; the build stopped there").arg(index - 1).arg(e.message()),
                  ScriptOutput::Kind::StartupError);
    } catch (...) {
    }

    m_wb.script().RestoreGlobalArray(QStringLiteral("actions"), initActions);
    if (created) {
        try {
            m_wb.RunActions();
        } catch (...) {
        }
    }

    if (mainWindow)
        mainWindow->setEnabled(true);
    if (tree)
        tree->show();
}

void Workspace::BuildPanelRows(TMySocket *endpoint, const JsonNode *ui)
{
    if (!endpoint || !endpoint->window)
        return;
    const QPointer<TMySocket> record(endpoint);
    const QPointer<TFrmData> window(endpoint->window);

    for (const JsonNode &row : ItemsOf(ui)) {
        // Setting an edit text calls the script, whose error box lets events
        // through: the endpoint may be gone afterwards.
        if (!record || !window)
            return;
        auto *frame = new QGroupBox(window->panelHost());
        frame->setFixedHeight(RowHeight);
        auto *rowLayout = new QHBoxLayout(frame);
        rowLayout->setContentsMargins(2, 2, 2, 2);
        rowLayout->setSpacing(2);
        rowLayout->addStretch();
        window->panelRowsLayout()->addWidget(frame);
        const QPointer<QGroupBox> rowFrame(frame);
        auto place = [&](QWidget *w) { rowLayout->insertWidget(rowLayout->count() - 1, w); };

        for (const JsonNode &item : ItemsOf(&row)) {
            if (!record || !window || !rowFrame)
                return;
            const QString type = JsonText(item, QStringLiteral("TYPE"));
            const QString id = JsonText(item, QStringLiteral("ID"));
            const QString text = JsonText(item, QStringLiteral("TEXT"));
            if (type == QLatin1String("Button")) {
                CheckWidgetName(window, id);
                auto *button = new QPushButton(text, frame);
                button->setObjectName(id);
                place(button);
                QObject::connect(button, &QPushButton::clicked, button, guard([wb = &m_wb, record, button] {
                    if (record)
                        ButtonClick(*wb, record, button->objectName());
                }));
            } else if (type == QLatin1String("Edit")) {
                CheckWidgetName(window, id);
                auto *edit = new QLineEdit(frame);
                edit->setObjectName(id);
                place(edit);
                QObject::connect(edit, &QLineEdit::textChanged, edit,
                                 guard([wb = &m_wb, record, edit](const QString &newText) {
                                     if (record)
                                         EditChange(*wb, record, edit->objectName(), newText);
                                 }));
                // A change like any other: the script hears the initial text.
                edit->setText(text);
            } else if (type == QLatin1String("Label")) {
                auto *label = new QLabel(text, frame);
                label->setAlignment(Qt::AlignCenter);
                label->setFrameShape(QFrame::NoFrame);
                label->setFixedWidth(qMax(0, JsonInt(item, QStringLiteral("WIDTH"))));
                label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
                place(label);
            }
        }
    }
}

void Workspace::AcceptHook(TMySocket *endpoint)
{
    if (!endpoint)
        return;
    const QPointer<TMySocket> record(endpoint);
    const std::shared_ptr<const JsonNode> doc = ReadSockets(m_wb);
    for (const JsonNode &element : ItemsOf(doc.get())) {
        if (!record)
            return;
        if (JsonText(element, QStringLiteral("ID")) == record->name())
            BuildPanelRows(record, JsonArray(element, QStringLiteral("UI")));
    }
    RefreshPanels();
}

void Workspace::RefreshPanels()
{
    const std::shared_ptr<const JsonNode> doc = ReadSockets(m_wb);
    EndpointsByName endpoints(m_wb);
    for (const JsonNode &element : ItemsOf(doc.get())) {
        const QString name = JsonText(element, QStringLiteral("ID"));
        const JsonNode *ui = JsonArray(element, QStringLiteral("UI"));
        for (const JsonNode &row : ItemsOf(ui)) {
            for (const JsonNode &item : ItemsOf(&row)) {
                // Looked up per item: an edit change before it may have
                // removed or renamed the endpoint (see invalidate below).
                TMySocket *record = endpoints.find(name);
                if (!record || !record->window)
                    continue;
                QObject *target = FindNamed(record->window, JsonText(item, QStringLiteral("ID")));
                if (!target)
                    continue;
                const QString type = JsonText(item, QStringLiteral("TYPE"));
                const QString text = JsonText(item, QStringLiteral("TEXT"));
                if (type == QLatin1String("Edit")) {
                    auto *edit = qobject_cast<QLineEdit *>(target);
                    if (edit && edit->text() != text) {
                        // The change is told to the script, whose error box
                        // lets events through.
                        edit->setText(text);
                        endpoints.invalidate();
                    }
                } else if (type == QLatin1String("Button")) {
                    auto *button = qobject_cast<QPushButton *>(target);
                    if (button && button->text() != text)
                        button->setText(text);
                }
            }
        }
    }
}
