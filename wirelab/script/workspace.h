#pragma once
// The workspace that the script declares in `sockets`: endpoints created at
// the first activation, their button/edit/label panels, panel refresh, and
// the calls made by clicks and edits.

#include <QString>

class JsonNode;
class TMySocket;
class Workbench;

class Workspace
{
public:
    explicit Workspace(Workbench &wb);

    // Once, at the first activation of the main window. Never throws.
    void BuildWorkspace();
    bool built() const { return m_built; }

    // Adds the rows of one "UI" array to the endpoint's data window. Throws
    // when a name is not an identifier or is already used in the window.
    void BuildPanelRows(TMySocket *endpoint, const JsonNode *ui);
    // For a new accepted connection: its declared panel, then RefreshPanels.
    void AcceptHook(TMySocket *endpoint);
    // Brings edit texts and button captions in step with `sockets`.
    void RefreshPanels();

private:
    Workbench &m_wb;
    bool m_built = false;
};
