#include "app/LvDoc_win.h"

#include "acquire/LvDesktop.h"
#include "acquire/LvDesktop_win.h"
#include "app/LvDocRules.h"
#include "framework/FwApp_win.h"
#include "res/resource.h"

#include <algorithm>

namespace {

struct WallpaperCommand {
    int id;
    int style; // -1 restore, -2 delete
};
const WallpaperCommand kWallpaperCommands[] = {{ID_WALLPAPER_CENTERED, kLvWallpaperCentered},
                                               {ID_WALLPAPER_TILED, kLvWallpaperTiled},
                                               {ID_WALLPAPER_STRETCHED, kLvWallpaperStretched},
                                               {ID_WALLPAPER_RESTORE, -1},
                                               {ID_WALLPAPER_DELETE, -2}};

const WallpaperCommand* FindWallpaperCommand(int id) {
    for (const WallpaperCommand& c : kWallpaperCommands)
        if (c.id == id) return &c;
    return nullptr;
}

} // namespace

bool CLvDoc::OnUpdateDesktopCommand(CFwCmdUI& ui) {
    if (!FindWallpaperCommand(ui.id)) return false;
    ui.Enable(CanRunCommands());
    return true;
}

bool CLvDoc::OnDesktopCommand(int id) {
    const WallpaperCommand* command = FindWallpaperCommand(id);
    if (!command) return false;
    if (!CanRunCommands()) return true;
    if (command->style == -1)
        LvRestoreWallpaper();
    else if (command->style == -2)
        LvDeleteWallpaper();
    else
        OnSetWallpaper(command->style);
    return true;
}

void CLvDoc::OnSetWallpaper(int style) {
    StopWatch(0);
    std::string error;
    const bool ok = LvSetWallpaper(*m_image, style, error);
    StopWatch(1);
    UpdateStatusBar();
    if (!ok && CFwApp::Get()) CFwApp::Get()->ShowMessage(error);
}

bool CLvDoc::ShowSlide(const std::string& name) {
    // The slide list is a copy of the folder list, so every slide is one of its files.
    auto found = std::find(m_folderFiles.begin(), m_folderFiles.end(), name);
    if (found == m_folderFiles.end()) return false;
    m_showingSlides = true;
    const bool ok = WalkTo(int(found - m_folderFiles.begin()));
    m_showingSlides = false;
    return ok;
}
