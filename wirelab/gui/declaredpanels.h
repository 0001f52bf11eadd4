#pragma once
// DeclaredPanels: the rows of buttons, edit boxes and labels that the
// script declares for an endpoint, built at the top of its data window.
// Clicks and edits go to the script host; refresh() brings captions and
// texts in step with the script's declarations.

#include "core/script/panelbuilder.h"

#include <functional>

class DataWindow;
class EndpointRegistry;
class ScriptHost;

class DeclaredPanels : public PanelBuilder
{
public:
    // The data window of an endpoint, or nullptr.
    using WindowOf = std::function<DataWindow *(const Endpoint *)>;

    DeclaredPanels(ScriptHost &scriptHost, EndpointRegistry &registry, WindowOf windowOf);

    void buildRows(Endpoint &endpoint, const JsonNode &ui) override;
    void refresh(const JsonNode &sockets) override;

private:
    ScriptHost &m_scriptHost;
    EndpointRegistry &m_registry;
    WindowOf m_windowOf;
};
