#pragma once

#include "framework/FwFrame_win.h"
#include "image/LvWinTypes.h"

#include <string>

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

    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;

    bool m_bFullScreen = false;
    RECT m_fullScreenRect = {0, 0, 0, 0};
    WINDOWPLACEMENT m_savedPlacement = {};

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCreateBars() override;
    RECT ClientAreaForMdi() override;
    void RecalcLayout() override;

private:
    void PlaceProgress();

    HWND m_statusBar = nullptr;
    CProgressIndicator m_progress;
    RGBQUAD m_foreground = {0, 0, 0, 0};
};

// The child frame of a document's view.
class CChildFrame : public CFwMDIChild {};
