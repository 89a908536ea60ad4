#pragma once

#include <vector>

// Command routing. A command (a menu, accelerator or toolbar identifier) goes to a chain of targets, the
// active view first and the application last. Before any command runs, the chain is asked for its state:
// the first target that knows the command decides whether it is enabled and checked, and a command that
// no target knows, or that is disabled, is dropped.

// The state of one command, filled in by the target that knows it.
struct CFwCmdUI {
    int id = 0;
    bool enabled = true;
    bool checked = false;
    void Enable(bool on = true) { enabled = on; }
    void SetCheck(bool on = true) { checked = on; }
};

class CFwCmdTarget {
public:
    virtual ~CFwCmdTarget() = default;
    // True when this target knows the command; it then sets the command's state (enabled by default).
    virtual bool OnUpdateCommand(CFwCmdUI& ui) {
        (void)ui;
        return false;
    }
    // Runs the command; true when this target handled it. Called only after OnUpdateCommand enabled it.
    virtual bool OnCommand(int id) {
        (void)id;
        return false;
    }
};

// The state of a command along the chain (null entries are skipped); false when no target knows it.
bool FwQueryCommand(const std::vector<CFwCmdTarget*>& chain, CFwCmdUI& ui);
// Runs a command along the chain when it is known and enabled; false when it was dropped.
bool FwRouteCommand(const std::vector<CFwCmdTarget*>& chain, int id);
