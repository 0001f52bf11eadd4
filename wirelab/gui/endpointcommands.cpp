#include "gui/endpointcommands.h"

#include "core/endpoints/endpoint.h"
#include "core/endpoints/kinddescriptor.h"
#include "core/endpoints/registry.h"
#include "core/workbench/workbench.h"
#include "gui/creationdialog.h"
#include "gui/endpointtree.h"
#include "gui/kinddialogs.h"

#include <QPointer>
#include <QTreeWidget>

EndpointCommands::EndpointCommands(EndpointRegistry &registry, EndpointTree &tree, QWidget *dialogParent)
    : QObject(dialogParent), m_registry(registry), m_tree(tree)
{
    for (EndpointKind kind : RootKinds) {
        if (CreationDialog *dialog = makeCreationDialog(kind, dialogParent))
            m_dialogs.emplace(kind, dialog);
    }
}

EndpointCommands::~EndpointCommands()
{
    for (auto &[kind, dialog] : m_dialogs)
        delete dialog;
}

CreationDialog *EndpointCommands::dialogOf(EndpointKind kind) const
{
    const auto it = m_dialogs.find(kind);
    return it == m_dialogs.end() ? nullptr : it->second;
}

void EndpointCommands::create()
{
    QPointer<QTreeWidget> view(m_tree.view());
    if (!view || !view->currentItem())
        return;
    if (QTreeWidgetItem *parent = view->currentItem()->parent())
        view->setCurrentItem(parent);

    // Each comparison looks at the node selected at that moment: a creation
    // selects its new node, so no later kind matches.
    for (EndpointKind kind : RootKinds) {
        if (!view || EndpointTree::rootKindOf(view->currentItem()) != kind)
            continue;
        if (CreationDialog *dialog = dialogOf(kind); dialog && dialog->run() == QDialog::Accepted)
            dialog->createEndpoint(m_registry);
    }

    if (m_registry.count() > 0)
        Q_EMIT welcomeWanted(false);
}

void EndpointCommands::deleteSelected()
{
    Endpoint *selected = m_tree.selectedEndpoint();
    if (!selected)
        return;
    Workbench::deleteEndpoint(*selected);
    if (m_registry.count() == 0)
        Q_EMIT welcomeWanted(true);
}

void EndpointCommands::stop(QWidget *sender)
{
    const QPointer<QWidget> button(sender);
    Endpoint *e = m_tree.selectedEndpoint();
    if (!e)
        return;
    if (!Workbench::disconnectEndpoint(*e))
        Workbench::listen(*e, false);
    if (button)
        button->setEnabled(false);
}
