#pragma once

#include "framework/FwDialog_win.h"

class CFwMDIFrame;

// The Windows dialog: every child window of the main window's MDI client with its class icon and title, in
// the platform's order (top of the z-order first), and actions on the selected ones: activate one, save,
// close, minimise, or cascade and tile only the selected windows.
class CWindowListDlg : public CFwDialog {
public:
    explicit CWindowListDlg(CFwMDIFrame* frame);

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FillList();
    void SelectActive();
    void UpdateButtons();
    void Refresh();
    int Count() const;
    bool IsSelected(int item) const;
    HWND ItemWindow(int item) const;
    void OnActivate();
    void OnSave();
    void OnCloseWindows();
    void OnMinimize();
    void Arrange(UINT message, WPARAM how);
    void DrawItem(const DRAWITEMSTRUCT& item);

    CFwMDIFrame* m_frame;
    HWND m_list = nullptr;
};
