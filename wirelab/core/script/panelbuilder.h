#pragma once
// The window's side of the panels that the script declares (rows of
// buttons, edit boxes and labels at the top of a data window). A run
// without windows has none: panel rows are accepted and ignored there.

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
