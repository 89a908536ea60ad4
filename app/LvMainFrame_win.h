#pragma once

#include "framework/FwFrame_win.h"
#include "image/LvWinTypes.h"

#include <string>

// A progress bar that also shows a line of text, laid over a status-bar pane.
class CProgressIndicator : public CFwWnd {
public:
    bool CreateIndicator(HWND parent, int id);
    int Position() const { return m_pos; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int m_pos = 0;
};

// How the main window hands a location to the HTML help viewer and a link to the shell. Tests put their own
// in to see what the program asked for; null puts the real one back. True when it was opened.
typedef bool (*LvLocationOpener)(HWND owner, const std::string& location);
void LvSetHelpOpener(LvLocationOpener opener);
void LvSetLinkOpener(LvLocationOpener opener);
// Opens a web or mail link through the link opener; true when it was opened.
bool LvOpenLink(HWND owner, const std::string& link);
// Where the help opens: the help file beside the program at its start page.
std::string LvHelpLocation();
// A text of the program's string table.
std::string LvLoadString(UINT id);

// The program's MDI main window: the status bar with six panes and the progress indicator over the third,
// full screen, and the hand-off from a second instance.
class CMainFrame : public CFwMDIFrame {
public:
    static const int kPaneCount = 6;
    bool CreateMainFrame(DWORD style);
    void SetPaneText(int index, const std::string& text);
    std::string PaneText(int index) const;
    // The indicator's position and text (progress-bar message 0x0402 and the window text).
    void SetProgress(int position);
    void SetProgressText(const std::string& text);
    HWND StatusBar() const { return m_statusBar; }
    HWND ProgressWindow() const { return m_progress.GetHwnd(); }
    // The colour chosen in the colour bar (black until the colour bar exists).
    RGBQUAD Foreground() const { return m_foreground; }
    bool IsFullScreen() const { return m_bFullScreen; }
    void OnViewFullScreen();

    // Help, the Help menu's links, the window list.
    void OnHelpContent();
    void OnLink(UINT stringId);
    void OnWindowList();
    // The notification-area icon that stands for the minimised window.
    void OnMinimizeToTray();
    void OnRestore();
    void OnTrayNotify(LPARAM event);
    bool TrayIconShown() const { return m_trayShown; }

    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;

    HICON m_trayIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128));
    bool m_bFullScreen = false;
    RECT m_fullScreenRect = {0, 0, 0, 0};
    WINDOWPLACEMENT m_savedPlacement = {};

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCreateBars() override;
    RECT ClientAreaForMdi() override;
    void RecalcLayout() override;
    void OnFramePreDestroy() override;

private:
    void PlaceProgress();
    void RemoveTrayIcon();
    bool m_trayShown = false;

    HWND m_statusBar = nullptr;
    CProgressIndicator m_progress;
    RGBQUAD m_foreground = {0, 0, 0, 0};
};

// The child frame of a document's view.
class CChildFrame : public CFwMDIChild {};
