#pragma once

#include "framework/FwWnd_win.h"

// A modal dialog from a dialog template: the object's pointer lives in DWLP_USER from WM_INITDIALOG on.
class CFwDialog {
public:
    explicit CFwDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CFwDialog() = default;
    CFwDialog(const CFwDialog&) = delete;
    CFwDialog& operator=(const CFwDialog&) = delete;
    // IDOK, IDCANCEL or -1 when the dialog could not be made.
    INT_PTR DoModal(HWND parent);
    HWND GetHwnd() const { return m_hwnd; }

protected:
    virtual bool OnInitDialog() { return true; }
    // Control notifications and buttons; true when handled.
    virtual bool OnCommand(int id, int code);
    // OK: OnOK may refuse (return false) and keep the dialog open.
    virtual bool OnOK() { return true; }
    virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void EndDialog(INT_PTR result) { ::EndDialog(m_hwnd, result); }
    HWND Item(int id) const { return GetDlgItem(m_hwnd, id); }
    int GetInt(int id, bool* ok = nullptr) const;
    void SetInt(int id, int value);
    void SetText(int id, const std::string& text);
    bool IsChecked(int id) const { return IsDlgButtonChecked(m_hwnd, id) == BST_CHECKED; }
    void SetCheck(int id, bool on) { CheckDlgButton(m_hwnd, id, on ? BST_CHECKED : BST_UNCHECKED); }

    UINT m_templateId;
    HWND m_hwnd = nullptr;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
};
