#include "framework/FwCommand.h"

bool FwQueryCommand(const std::vector<CFwCmdTarget*>& chain, CFwCmdUI& ui) {
    for (CFwCmdTarget* target : chain) {
        if (!target) continue;
        ui.enabled = true;
        ui.checked = false;
        if (target->OnUpdateCommand(ui)) return true;
    }
    ui.enabled = false;
    ui.checked = false;
    return false;
}

bool FwRouteCommand(const std::vector<CFwCmdTarget*>& chain, int id) {
    CFwCmdUI ui;
    ui.id = id;
    if (!FwQueryCommand(chain, ui) || !ui.enabled) return false;
    // The target that answered the query normally runs it; a later one may when the first only reports state.
    for (CFwCmdTarget* target : chain)
        if (target && target->OnCommand(id)) return true;
    return false;
}
