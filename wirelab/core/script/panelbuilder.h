#pragma once
// Where the panels that the script declares go (rows of buttons, edit
// boxes and labels per endpoint): the workbench's Panels. A host without a
// builder accepts panel rows and ignores them.

class Endpoint;
class JsonNode;

class PanelBuilder
{
public:
    virtual ~PanelBuilder() = default;

    // Adds the rows of one "UI" array to the endpoint's panel, in order.
    // Throws WireError when a button or edit name is not an identifier or
    // is already used in the endpoint's window (case ignored). Setting an
    // edit's text tells the script (OnEditChange).
    virtual void buildRows(Endpoint &endpoint, const JsonNode &ui) = 0;

    // Brings button captions and edit texts in step with the declarations
    // (the parsed `sockets`). A changed edit text tells the script; an error
    // of that call is reported by the edit's own guarded handler.
    virtual void refresh(const JsonNode &sockets) = 0;
};
