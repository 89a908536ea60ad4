#include "framework/FwWnd_win.h"

#include <vector>

std::string FwFullPath(const std::string& path) {
    if (path.empty()) return path;
    const std::wstring wide = LvUtf8ToWide(path);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::vector<wchar_t> buffer(n);
    DWORD written = GetFullPathNameW(wide.c_str(), n, buffer.data(), nullptr);
    if (written == 0 || written >= n) return path;
    return LvWideToUtf8(std::wstring(buffer.data(), written));
}

std::string FwWindowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    if (n <= 0) return std::string();
    std::vector<wchar_t> buffer(size_t(n) + 1);
    GetWindowTextW(hwnd, buffer.data(), n + 1);
    return LvWideToUtf8(buffer.data());
}

void FwSetWindowText(HWND hwnd, const std::string& text) {
    SetWindowTextW(hwnd, LvUtf8ToWide(text).c_str());
}

RECT FwClientRect(HWND hwnd) {
    RECT rc = {0, 0, 0, 0};
    GetClientRect(hwnd, &rc);
    return rc;
}

CFwWnd* CFwWnd::FromHandle(HWND hwnd) {
    return hwnd ? reinterpret_cast<CFwWnd*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

bool CFwWnd::RegisterWndClass(const wchar_t* name, UINT style, HICON icon, HBRUSH background, HCURSOR cursor) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, name, &existing)) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

bool CFwWnd::Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU menuOrId) {
    HWND hwnd = CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, menuOrId,
                                GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

LRESULT CALLBACK CFwWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CFwWnd* wnd = FromHandle(hwnd);
    if (!wnd && msg == WM_NCCREATE) {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        void* param = cs->lpCreateParams;
        if ((cs->dwExStyle & WS_EX_MDICHILD) && param)
            param = reinterpret_cast<void*>(static_cast<const MDICREATESTRUCTW*>(param)->lParam);
        wnd = static_cast<CFwWnd*>(param);
        if (wnd) {
            wnd->m_hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(wnd));
        }
    }
    if (!wnd) {
        if (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD) return DefMDIChildProcW(hwnd, msg, wParam, lParam);
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    LRESULT result = wnd->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        wnd->m_hwnd = nullptr;
        wnd->PostNcDestroy();
    }
    return result;
}

LRESULT CFwWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CFwWnd::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(m_hwnd, msg, wParam, lParam);
}
