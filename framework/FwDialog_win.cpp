#include "framework/FwDialog_win.h"

INT_PTR CFwDialog::DoModal(HWND parent) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent, StaticDialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CFwDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CFwDialog* dialog = reinterpret_cast<CFwDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        dialog = reinterpret_cast<CFwDialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        dialog->m_hwnd = hwnd;
    }
    if (!dialog) return FALSE;
    INT_PTR result = dialog->DialogProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) dialog->m_hwnd = nullptr;
    return result;
}

INT_PTR CFwDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

bool CFwDialog::OnCommand(int id, int) {
    if (id == IDOK) {
        if (OnOK()) EndDialog(IDOK);
        return true;
    }
    if (id == IDCANCEL) {
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

int CFwDialog::GetInt(int id, bool* ok) const {
    BOOL translated = FALSE;
    int value = int(GetDlgItemInt(m_hwnd, id, &translated, TRUE));
    if (ok) *ok = translated != FALSE;
    return value;
}

void CFwDialog::SetInt(int id, int value) {
    SetDlgItemInt(m_hwnd, id, UINT(value), TRUE);
}

void CFwDialog::SetText(int id, const std::string& text) {
    SetDlgItemTextW(m_hwnd, id, LvUtf8ToWide(text).c_str());
}
