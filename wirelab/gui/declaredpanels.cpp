#include "gui/declaredpanels.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/registry.h"
#include "core/errors.h"
#include "core/script/scripthost.h"
#include "core/text/jsondoc.h"
#include "guard.h"
#include "gui/datawindow.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr int RowHeight = 40;

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
QObject *FindNamed(const DataWindow *window, const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return FindNamedBelow(window, name);
}

// A button or edit name must be empty or an identifier that no other object
// of the window uses, case ignored.
void CheckWidgetName(const DataWindow *window, const QString &name)
{
    if (name.isEmpty())
        return;
    if (!IsIdentifier(name))
        throw WireError(QStringLiteral("'%1' is not a valid component name").arg(name));
    if (FindNamed(window, name))
        throw WireError(QStringLiteral("A component named %1 already exists").arg(name));
}

}  // namespace

DeclaredPanels::DeclaredPanels(ScriptHost &scriptHost, EndpointRegistry &registry, WindowOf windowOf)
    : m_scriptHost(scriptHost), m_registry(registry), m_windowOf(std::move(windowOf))
{}

void DeclaredPanels::buildRows(Endpoint &endpoint, const JsonNode &ui)
{
    const QPointer<Endpoint> owner(&endpoint);
    const QPointer<DataWindow> window(m_windowOf(&endpoint));
    if (!window)
        return;
    ScriptHost *host = &m_scriptHost;

    for (const JsonNode &row : ItemsOf(&ui)) {
        // Setting an edit text calls the script, whose error box lets events
        // through: the endpoint may be gone afterwards.
        if (!owner || !window)
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
            if (!owner || !window || !rowFrame)
                return;
            const QString type = jsonText(item, QStringLiteral("TYPE"));
            const QString id = jsonText(item, QStringLiteral("ID"));
            const QString text = jsonText(item, QStringLiteral("TEXT"));
            if (type == QLatin1String("Button")) {
                CheckWidgetName(window, id);
                auto *button = new QPushButton(text, frame);
                button->setObjectName(id);
                place(button);
                QObject::connect(button, &QPushButton::clicked, button, guard([host, owner, button] {
                                     if (owner)
                                         host->buttonClicked(*owner, button->objectName());
                                 }));
            } else if (type == QLatin1String("Edit")) {
                CheckWidgetName(window, id);
                auto *edit = new QLineEdit(frame);
                edit->setObjectName(id);
                place(edit);
                QObject::connect(edit, &QLineEdit::textChanged, edit,
                                 guard([host, owner, edit](const QString &newText) {
                                     if (owner)
                                         host->editChanged(*owner, edit->objectName(), newText);
                                 }));
                // A change like any other: the script hears the initial text.
                edit->setText(text);
            } else if (type == QLatin1String("Label")) {
                auto *label = new QLabel(text, frame);
                label->setAlignment(Qt::AlignCenter);
                label->setFrameShape(QFrame::NoFrame);
                label->setFixedWidth(qMax(0, jsonInt(item, QStringLiteral("WIDTH"))));
                label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
                place(label);
            }
        }
    }
}

void DeclaredPanels::refresh(const JsonNode &sockets)
{
    for (const JsonNode &element : ItemsOf(&sockets)) {
        const QString name = jsonText(element, QStringLiteral("ID"));
        const JsonNode *ui = jsonArray(element, QStringLiteral("UI"));
        for (const JsonNode &row : ItemsOf(ui)) {
            for (const JsonNode &item : ItemsOf(&row)) {
                // Looked up per item: an edit change before it may have
                // removed or renamed the endpoint.
                Endpoint *endpoint = m_registry.findByName(name);
                DataWindow *window = endpoint ? m_windowOf(endpoint) : nullptr;
                if (!window)
                    continue;
                QObject *target = FindNamed(window, jsonText(item, QStringLiteral("ID")));
                if (!target)
                    continue;
                const QString type = jsonText(item, QStringLiteral("TYPE"));
                const QString text = jsonText(item, QStringLiteral("TEXT"));
                if (type == QLatin1String("Edit")) {
                    auto *edit = qobject_cast<QLineEdit *>(target);
                    // The change is told to the script, whose error box
                    // lets events through.
                    if (edit && edit->text() != text)
                        edit->setText(text);
                } else if (type == QLatin1String("Button")) {
                    auto *button = qobject_cast<QPushButton *>(target);
                    if (button && button->text() != text)
                        button->setText(text);
                }
            }
        }
    }
}
