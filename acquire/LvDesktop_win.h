#pragma once

#include "framework/FwDialog_win.h"

#include <string>

class CLvImage;

// The wallpaper picture's path: the program's folder of the user's local application data (made when
// missing) and the wallpaper file name; empty when there is no such folder.
std::string LvWallpaperPath();
// Writes the picture as the desktop wallpaper in a style (LvWallpaperStyle): the BMP file first, then the
// desktop values and the platform's broadcast. A failed write changes no setting; error is the writer's text.
bool LvSetWallpaper(CLvImage& image, int style, std::string& error);
// The wallpaper the desktop settings name, and no wallpaper at all.
void LvRestoreWallpaper();
void LvDeleteWallpaper();

// The file association dialog: twelve extensions, " Choose all", Associate and Clear. The keys go to the
// current user's classes; Clear removes only keys whose open command names this program.
class CFileAssocDlg : public CFwDialog {
public:
    explicit CFileAssocDlg(const std::string& programPath);

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;

private:
    void OnChooseAll();
    void OnExtensionBox();
    void OnAssociate();
    void OnClear();
    bool AnyChecked() const;
    int Say(const std::string& text, UINT flags) const;
    std::string m_program;
};

// The caption of the association dialog's messages.
extern const char kLvAssocCaption[];
