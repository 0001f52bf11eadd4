#pragma once
// The endpoint commands of the toolbar: "创建" by the selected kind root
// through that kind's creation dialog, "删除" of the selected endpoint, and
// the stop command (the hidden "停止" button and a data window's "断开").

#include "core/endpoints/endpointkind.h"

#include <QObject>

#include <map>

class CreationDialog;
class EndpointRegistry;
class EndpointTree;
class QWidget;

class EndpointCommands : public QObject
{
    Q_OBJECT
public:
    // Creates the dialog of every kind with a root (hidden), children of
    // dialogParent.
    EndpointCommands(EndpointRegistry &registry, EndpointTree &tree, QWidget *dialogParent);
    ~EndpointCommands() override;

    void create();
    void deleteSelected();
    // Acts on the selected endpoint as its kind says; then disables sender
    // (if still there).
    void stop(QWidget *sender);

    // The creation dialog of a kind, or nullptr.
    CreationDialog *dialogOf(EndpointKind kind) const;

Q_SIGNALS:
    // After a creation or deletion: whether the welcome panel is wanted
    // (there is no endpoint left) or not (there are endpoints).
    void welcomeWanted(bool visible);

private:
    EndpointRegistry &m_registry;
    EndpointTree &m_tree;
    std::map<EndpointKind, CreationDialog *> m_dialogs;
};
