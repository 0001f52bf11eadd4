#include "core/workbench/panels.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/script/scripthost.h"
#include "core/text/jsondoc.h"
#include "guard.h"

#include <QPointer>
#include <QRegularExpression>

#include <vector>

namespace {

const std::vector<JsonNode> &ItemsOf(const JsonNode *array)
{
    static const std::vector<JsonNode> none;
    return array && array->isArray() ? array->items : none;
}

bool IsIdentifier(const QString &name)
{
    static const QRegularExpression ident(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return ident.match(name).hasMatch();
}

}  // namespace

Panels::Panels(ScriptHost &host, EndpointRegistry &registry, QObject *parent)
    : QObject(parent), m_host(host), m_registry(registry)
{
    connect(&registry, &EndpointRegistry::removing, this, [this](Endpoint *e) { m_panels.remove(e); });
}

Panels::~Panels() = default;

const QStringList &Panels::reservedNames()
{
    // Every named object of a data window, the ones Qt names inside its
    // controls included: the window refuses a second object of any name.
    static const QStringList names =
        {
            QStringLiteral("GroupBox1"),
                QStringLiteral("Label1"),
                    QStringLiteral("Button_5"),
                        QStringLiteral("Button_6"),
                            QStringLiteral("Label3"),
                                QStringLiteral("Label4"),
                                    QStringLiteral("Label6"), QStringLiteral("TlsSession"),
                                        QStringLiteral("Panel2"),
                                            QStringLiteral("Panel4"),
                                                QStringLiteral("GroupBox3"),
                                                    QStringLiteral("Memo2"),
                                                        QStringLiteral("GroupBox2"),
                                                            QStringLiteral("Memo3"),
                                                                QStringLiteral("Panel6"),
                                                                    QStringLiteral("Button_11"),
                                                                        QStringLiteral("Label7"),
                                                                            QStringLiteral("ComboBox2"),
                                                                                QStringLiteral("Label8"),
                                                                                    QStringLiteral("Edit_time"),
                                                                                        QStringLiteral("suiButton1"),
                                                                                            QStringLiteral("suiButton2"),
                                                                                                QStringLiteral("StatusBar2"),
                                                                                                    QStringLiteral("StatusBar2Panel0"),
                                                                                                        QStringLiteral("GroupBox8"),
                                                                                                            QStringLiteral("CheckBox2"),
                                                                                                                QStringLiteral("Button_2"),
                                                                                                                    QStringLiteral("Timer1"),
                                                                                                                        // The receive pane's find bar, its save progress and actions.
                                                                                                                        QStringLiteral("NewLines"),
                                                                                                                            QStringLiteral("FindBar"),
                                                                                                                                QStringLiteral("FindText"),
                                                                                                                                    QStringLiteral("FindHex"),
                                                                                                                                        QStringLiteral("FindCase"),
                                                                                                                                            QStringLiteral("FindPrevious"),
                                                                                                                                                           QStringLiteral("FindNext"),
                                                                                                                                                                          QStringLiteral("FindCount"),
                                                                                                                                                                                         QStringLiteral("FindClose"),
                                                                                                                                                                                                        QStringLiteral("ShowReceived"),
                                                                                                                                                                                                                       QStringLiteral("ShowSent"),
                                                                                                                                                                                                                                      QStringLiteral("ShowNotices"),
                                                                                                                                                                                                                                          QStringLiteral("ShowScript"),
                                                                                                                                                                                                                                                         QStringLiteral("ShowExtra"),
                                                                                                                                                                                                                                                             QStringLiteral("OnlyMatching"),
                                                                                                                                                                                                                                                                            QStringLiteral("SaveProgress"),
                                                                                                                                                                                                                                                                                           QStringLiteral("SaveLog"),
                                                                                                                                                                                                                                                                                                          QStringLiteral("LogToFile"),
                                                                                                                                                                                                                                                                                                              // Inside the receive and send panes.
                                                                                                                                                                                                                                                                                                              QStringLiteral("qt_scrollarea_viewport"),
                                                                                                                                                                                                                                                                                                                  QStringLiteral("qt_scrollarea_hcontainer"),
                                                                                                                                                                                                                                                                                                                                 QStringLiteral("qt_scrollarea_vcontainer"),
                                                                                                                                                                                                                                                                                                                  };
    return names;
}

int Panels::rowCount(const Endpoint *endpoint) const { return m_panels.value(endpoint).rows; }

QList<Panels::Item> Panels::items(const Endpoint *endpoint) const { return m_panels.value(endpoint).items; }

int Panels::indexOf(const Endpoint *endpoint, const QString &id) const
{
    if (id.isEmpty())
        return -1;  // an unnamed item is never found by name
    const auto it = m_panels.constFind(endpoint);
    if (it == m_panels.constEnd())
        return -1;
    for (int i = 0; i < it->items.size(); ++i) {
        const Item &item = it->items.at(i);
        if (item.type != Item::Type::Label && item.id.compare(id, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

Panels::Item *Panels::itemAt(const Endpoint *endpoint, int index)
{
    const auto it = m_panels.find(endpoint);
    if (it == m_panels.end() || index < 0 || index >= it->items.size())
        return nullptr;
    return &it->items[index];
}

bool Panels::click(Endpoint &endpoint, const QString &id)
{
    const int index = indexOf(&endpoint, id);
    const Item *item = itemAt(&endpoint, index);
    if (!item || item->type != Item::Type::Button)
        return false;
    clickAt(endpoint, index);
    return true;
}

bool Panels::setText(Endpoint &endpoint, const QString &id, const QString &text)
{
    const int index = indexOf(&endpoint, id);
    const Item *item = itemAt(&endpoint, index);
    if (!item || item->type != Item::Type::Edit)
        return false;
    setTextAt(endpoint, index, text);
    return true;
}

void Panels::clickAt(Endpoint &endpoint, int index)
{
    const Item *item = itemAt(&endpoint, index);
    if (item && item->type == Item::Type::Button)
        m_host.buttonClicked(endpoint, item->id);
}

void Panels::setTextAt(Endpoint &endpoint, int index, const QString &text)
{
    changeEditText(endpoint, index, text, false);
}

void Panels::changeEditText(Endpoint &endpoint, int index, const QString &text, bool reportErrors)
{
    Item *item = itemAt(&endpoint, index);
    if (!item || item->type != Item::Type::Edit || item->text == text)
        return;
    item->text = text;
    const QString id = item->id;
    Q_EMIT textChanged(&endpoint, index, text);
    // A view may have let events through: the endpoint may be gone.
    if (!m_panels.contains(&endpoint))
        return;
    if (reportErrors)
        Guarded([&] { m_host.editChanged(endpoint, id, text); });
    else
        m_host.editChanged(endpoint, id, text);
}

void Panels::checkName(const Endpoint *endpoint, const QString &name) const
{
    if (name.isEmpty())
        return;
    if (!IsIdentifier(name))
        throw WireError(QStringLiteral("'%1' is not a valid component name").arg(name));
    if (reservedNames().contains(name, Qt::CaseInsensitive) || indexOf(endpoint, name) >= 0)
        throw WireError(QStringLiteral("A component named %1 already exists").arg(name));
}

void Panels::buildRows(Endpoint &endpoint, const JsonNode &ui)
{
    const QPointer<Endpoint> owner(&endpoint);
    for (const JsonNode &row : ItemsOf(&ui)) {
        // Setting an edit text calls the script, whose error box lets events
        // through: the endpoint may be gone afterwards.
        if (!owner)
            return;
        const int rowIndex = m_panels[owner].rows++;
        Q_EMIT rowAdded(owner, rowIndex);
        for (const JsonNode &node : ItemsOf(&row)) {
            if (!owner || !m_panels.contains(owner))
                return;
            Item item;
            item.row = rowIndex;
            const QString type = jsonText(node, QStringLiteral("TYPE"));
            const QString text = jsonText(node, QStringLiteral("TEXT"));
            if (type == QLatin1String("Button")) {
                item.type = Item::Type::Button;
                item.id = jsonText(node, QStringLiteral("ID"));
                item.text = text;
            } else if (type == QLatin1String("Edit")) {
                item.type = Item::Type::Edit;
                item.id = jsonText(node, QStringLiteral("ID"));
            } else if (type == QLatin1String("Label")) {
                item.text = text;
                item.width = qMax(0, jsonInt(node, QStringLiteral("WIDTH")));
            } else {
                continue;
            }
            checkName(owner, item.id);
            QList<Item> &items = m_panels[owner].items;
            items.append(item);
            const int index = int(items.size()) - 1;
            Q_EMIT itemAdded(owner, index);
            // A change like any other: the script hears the initial text.
            if (owner && item.type == Item::Type::Edit)
                changeEditText(*owner, index, text, true);
        }
    }
}

void Panels::refresh(const JsonNode &sockets)
{
    for (const JsonNode &element : ItemsOf(&sockets)) {
        const QString name = jsonText(element, QStringLiteral("ID"));
        const JsonNode *ui = jsonArray(element, QStringLiteral("UI"));
        for (const JsonNode &row : ItemsOf(ui)) {
            for (const JsonNode &node : ItemsOf(&row)) {
                // Looked up per item: an edit change before it may have
                // removed or renamed the endpoint.
                Endpoint *endpoint = m_registry.findByName(name);
                if (!endpoint)
                    continue;
                const QString id = jsonText(node, QStringLiteral("ID"));
                const QString type = jsonText(node, QStringLiteral("TYPE"));
                const QString text = jsonText(node, QStringLiteral("TEXT"));
                const int index = indexOf(endpoint, id);
                Item *item = itemAt(endpoint, index);
                if (!item) {
                    if (reservedNames().contains(id, Qt::CaseInsensitive))
                        Q_EMIT ownControlText(endpoint, type, id, text);
                    continue;
                }
                if (type == QLatin1String("Edit") && item->type == Item::Type::Edit) {
                    changeEditText(*endpoint, index, text, true);
                } else if (type == QLatin1String("Button") && item->type == Item::Type::Button
                           && item->text != text) {
                    item->text = text;
                    Q_EMIT textChanged(endpoint, index, text);
                }
            }
        }
    }
}
