#pragma once

#include "image/LvWideText_win.h"

#include <windows.h>

#include <string>

// The one window base: the object's pointer lives in GWLP_USERDATA from WM_NCCREATE on (for MDI children
// it comes through the MDICREATESTRUCT), messages go to WindowProc, unhandled ones to DefaultProc, and the
// object hears of the window's end in PostNcDestroy (where objects owned by their window delete themselves).
class CFwWnd {
public:
    CFwWnd() = default;
    virtual ~CFwWnd() = default;
    CFwWnd(const CFwWnd&) = delete;
    CFwWnd& operator=(const CFwWnd&) = delete;

    HWND GetHwnd() const { return m_hwnd; }
    static CFwWnd* FromHandle(HWND hwnd);
    // Registers a window class whose procedure dispatches to CFwWnd objects (once per name).
    static bool RegisterWndClass(const wchar_t* name, UINT style, HICON icon, HBRUSH background,
                                 HCURSOR cursor = nullptr);
    bool Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU menuOrId);
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy() {}
    // Binds the object to a window made elsewhere (an MDI child created through WM_MDICREATE).
    void Attach(HWND hwnd) { m_hwnd = hwnd; }

    HWND m_hwnd = nullptr;
};

// UTF-8 inside, UTF-16 at the Win32 boundary (LvUtf8ToWide, LvWideToUtf8).
// The absolute form of a path, resolved against the current folder; the path itself when that fails.
std::string FwFullPath(const std::string& path);
std::string FwWindowText(HWND hwnd);
void FwSetWindowText(HWND hwnd, const std::string& text);
RECT FwClientRect(HWND hwnd);
