#pragma once

#include "acquire/LvTwain_win.h"
#include "app/LvColorBar_win.h"
#include "app/LvToolBar_win.h"
#include "app/LvWindowSettings.h"
#include "framework/FwFrame_win.h"
#include "image/LvWinTypes.h"

#include <memory>
#include <string>

class CLvImage;

// A progress bar that also shows a line of text, laid over a status-bar pane or in a dialog. Its range is 0 to
// 100 unless PBM_SETRANGE32 says otherwise.
class CProgressIndicator : public CFwWnd {
public:
    bool CreateIndicator(HWND parent, int id);
    int Position() const { return m_pos; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    int m_pos = 0;
    int m_min = 0, m_max = 100;
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
    // The colour chosen in the colour bar: what Region Fill, Add Edge, Feather and Pattern paint with.
    RGBQUAD Foreground() const { return m_colorBar.Foreground(); }
    CColorBar& ColorBar() { return m_colorBar; }
    CLvToolBar& ToolBar() { return m_toolBar; }
    // The fit mode chosen last, in which new pictures start.
    int FitModeForNew() const { return m_fitModeForNew; }
    void SetFitModeForNew(int mode) { m_fitModeForNew = mode; }
    // Shows the window as it was left last time (maximised the first time).
    void ShowAsStored();
    // What the window remembers of itself, read back from it.
    LvWindowState CurrentState() const;
    void OnIdleUpdate() override;
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

    // ---- acquisition: capture (acquire/LvCapture_win.cpp), clipboard (acquire/LvClipboard_win.cpp),
    // scanners (acquire/LvTwain_win.cpp) ----
    bool OnUpdateAcquireCommand(CFwCmdUI& ui);
    bool OnAcquireCommand(int id);
    // The hot key, clipboard updates, closing and destruction; true (with the result) when handled whole.
    bool OnAcquireMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The "Capture" folder and the scanner link, when the window is made.
    void OnCreateAcquisition();
    // Copies the window's pixels on the screen to a destination (LvCaptureDest); 1 when there were pixels.
    int CaptureWindow(HWND window, int destination);
    void OnCaptureScreen();
    void OnHotKeyCapture();
    void OnHotKey();
    void OnFromClipboard();
    void OnAutoMonitorClipboard();
    void OnClipboardChanged();
    // A new untitled document holding image (which it takes; null leaves it empty), titled by the prefix and
    // the application's image counter.
    bool NewAcquiredDocument(std::unique_ptr<CLvImage> image, const char* titlePrefix);
    CFrameTwain& Twain() { return m_twain; }

    int m_hotKeyArmed = 0;
    WORD m_hotKeyModifiers = 2; // the hot key control's flags: 1 Shift, 2 Ctrl, 4 Alt
    WORD m_hotKeyVk = 0x31;
    int m_captureDest = 2;
    int m_captureArea = 0;
    int m_clipMonitor = 0;

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

    void ShowBar(HWND bar, bool show);

    HWND m_statusBar = nullptr;
    CProgressIndicator m_progress;
    CFrameTwain m_twain{*this};
    CLvToolBar m_toolBar;
    CColorBar m_colorBar;
    LvWindowState m_stored;
    int m_fitModeForNew = 1;
};

// The child frame of a document's view.
class CChildFrame : public CFwMDIChild {};
