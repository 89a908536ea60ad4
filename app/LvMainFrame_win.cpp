#include "app/LvMainFrame_win.h"

#include "app/LvApp_win.h"
#include "batch/LvBatchDialogs_win.h"
#include "framework/FwApp_win.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {
const wchar_t kProgressClass[] = L"LumivueProgress";
// Pane widths as parts of the screen's width.
const double kPaneShare[CMainFrame::kPaneCount] = {0.25, 0.01, 0.4, 0.1, 0.05, 0.1};
} // namespace

// ---- progress indicator -------------------------------------------------------------------------------------

bool CProgressIndicator::CreateIndicator(HWND parent, int id) {
    if (!RegisterWndClass(kProgressClass, CS_HREDRAW | CS_VREDRAW, nullptr, nullptr)) return false;
    return Create(0, kProgressClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

LRESULT CProgressIndicator::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case PBM_SETPOS: {
        int previous = m_pos;
        m_pos = int(wParam) < m_min ? m_min : int(wParam) > m_max ? m_max : int(wParam);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return previous;
    }
    case PBM_GETPOS:
        return m_pos;
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        const LRESULT previous = MAKELRESULT(m_min, m_max);
        m_min = msg == PBM_SETRANGE ? LOWORD(lParam) : int(wParam);
        m_max = msg == PBM_SETRANGE ? HIWORD(lParam) : int(lParam);
        if (m_max < m_min) m_max = m_min;
        m_pos = m_pos < m_min ? m_min : m_pos > m_max ? m_max : m_pos;
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return previous;
    }
    case PBM_GETRANGE:
        return wParam ? m_min : m_max;
    case PBM_SETSTEP:
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefaultProc(msg, wParam, lParam);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return r;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(m_hwnd, &ps);
        RECT rc = FwClientRect(m_hwnd);
        RECT done = rc;
        const int span = m_max > m_min ? m_max - m_min : 1;
        done.right = rc.left + LONG((long long)(rc.right - rc.left) * (m_pos - m_min) / span);
        RECT rest = rc;
        rest.left = done.right;
        FillRect(hdc, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
        FillRect(hdc, &rest, GetSysColorBrush(COLOR_BTNFACE));
        std::wstring text = LvUtf8ToWide(FwWindowText(m_hwnd));
        SetBkMode(hdc, TRANSPARENT);
        HGDIOBJ old = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
        DrawTextW(hdc, text.c_str(), int(text.size()), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(hdc, old);
        EndPaint(m_hwnd, &ps);
        return 0;
    }
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

// ---- main frame ---------------------------------------------------------------------------------------------

bool CMainFrame::CreateMainFrame(DWORD style) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    if (!CreateFrame(L"Lumivue", style, menu, icon)) {
        if (menu && !GetHwnd()) DestroyMenu(menu);
        return false;
    }
    return true;
}

bool CMainFrame::OnCreateBars() {
    m_statusBar =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE801)), GetModuleHandleW(nullptr), nullptr);
    if (!m_statusBar) return false;
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    int edges[kPaneCount];
    int right = 0;
    for (int i = 0; i < kPaneCount; i++) {
        right += int(screen * kPaneShare[i]);
        edges[i] = right;
    }
    SendMessageW(m_statusBar, SB_SETPARTS, kPaneCount, reinterpret_cast<LPARAM>(edges));
    for (int i = 1; i < kPaneCount; i++)
        SetPaneText(i, " ");
    if (!m_progress.CreateIndicator(m_statusBar, IDC_PROGRESS_INDICATOR)) return false;
    SetProgress(0);
    m_bFullScreen = false;
    return true;
}

void CMainFrame::SetPaneText(int index, const std::string& text) {
    if (m_statusBar)
        SendMessageW(m_statusBar, SB_SETTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(LvUtf8ToWide(text).c_str()));
}

std::string CMainFrame::PaneText(int index) const {
    if (!m_statusBar) return std::string();
    LRESULT n = SendMessageW(m_statusBar, SB_GETTEXTLENGTHW, WPARAM(index), 0);
    std::wstring text(size_t(LOWORD(n)) + 1, L'\0');
    SendMessageW(m_statusBar, SB_GETTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(&text[0]));
    return LvWideToUtf8(text.c_str());
}

void CMainFrame::SetProgress(int position) {
    if (m_progress.GetHwnd()) SendMessageW(m_progress.GetHwnd(), PBM_SETPOS, WPARAM(position), 0);
}

void CMainFrame::SetProgressText(const std::string& text) {
    if (m_progress.GetHwnd()) FwSetWindowText(m_progress.GetHwnd(), text);
}

void CMainFrame::PlaceProgress() {
    if (!m_statusBar || !m_progress.GetHwnd()) return;
    RECT pane;
    if (SendMessageW(m_statusBar, SB_GETRECT, 2, reinterpret_cast<LPARAM>(&pane)))
        MoveWindow(m_progress.GetHwnd(), pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top, TRUE);
}

RECT CMainFrame::ClientAreaForMdi() {
    RECT rc = FwClientRect(m_hwnd);
    if (m_statusBar && (GetWindowLongW(m_statusBar, GWL_STYLE) & WS_VISIBLE)) {
        RECT sb;
        GetWindowRect(m_statusBar, &sb);
        rc.bottom -= sb.bottom - sb.top;
        if (rc.bottom < rc.top) rc.bottom = rc.top;
    }
    return rc;
}

void CMainFrame::RecalcLayout() {
    if (m_statusBar) SendMessageW(m_statusBar, WM_SIZE, 0, 0);
    CFwMDIFrame::RecalcLayout();
    PlaceProgress();
}

void CMainFrame::OnViewFullScreen() {
    if (!m_bFullScreen) {
        m_bFullScreen = true;
        ShowWindow(m_statusBar, SW_HIDE);
        m_savedPlacement.length = sizeof(m_savedPlacement);
        GetWindowPlacement(m_hwnd, &m_savedPlacement);
        RECT rc;
        GetWindowRect(GetDesktopWindow(), &rc);
        rc.left -= 1;
        rc.top -= 1;
        rc.right += 2;
        rc.bottom += 2;
        AdjustWindowRectEx(&rc, DWORD(GetWindowLongW(m_hwnd, GWL_STYLE)), TRUE,
                           DWORD(GetWindowLongW(m_hwnd, GWL_EXSTYLE)));
        m_fullScreenRect = rc;
        if (HWND active = MdiActiveHwnd())
            SendMessageW(m_mdiClient, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(active), 0);
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        wp.showCmd = SW_SHOWNORMAL;
        wp.rcNormalPosition = m_fullScreenRect;
        SetWindowPlacement(m_hwnd, &wp);
    } else {
        m_bFullScreen = false;
        ShowWindow(m_statusBar, SW_SHOW);
        SetWindowPlacement(m_hwnd, &m_savedPlacement);
        while (ShowCursor(TRUE) < 0) {}
    }
    RecalcLayout();
}

bool CMainFrame::OnUpdateCommand(CFwCmdUI& ui) {
    switch (ui.id) {
    case ID_VIEW_FULL_SCREEN:
        ui.SetCheck(m_bFullScreen);
        return true;
    case ID_WINDOW_NEXT:
    case ID_WINDOW_CASCADE:
    case ID_WINDOW_TILE_HORZ:
    case ID_WINDOW_ARRANGE:
        ui.Enable(MdiActiveHwnd() != nullptr);
        return true;
    case ID_BATCH_EFFECT:
    case ID_BATCH_CONVERT_FORMAT:
    case ID_BATCH_CONVERT_COLOR:
        ui.Enable(true);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_VIEW_FULL_SCREEN:
        OnViewFullScreen();
        return true;
    case ID_WINDOW_NEXT:
        SendMessageW(m_mdiClient, WM_MDINEXT, 0, 0);
        return true;
    case ID_WINDOW_CASCADE:
        SendMessageW(m_mdiClient, WM_MDICASCADE, 0, 0);
        return true;
    case ID_WINDOW_TILE_HORZ:
        SendMessageW(m_mdiClient, WM_MDITILE, MDITILE_HORIZONTAL, 0);
        return true;
    case ID_WINDOW_ARRANGE:
        SendMessageW(m_mdiClient, WM_MDIICONARRANGE, 0, 0);
        return true;
    case ID_BATCH_EFFECT:
    case ID_BATCH_CONVERT_FORMAT:
    case ID_BATCH_CONVERT_COLOR:
        LvRunBatchDialog(id, m_hwnd);
        return true;
    default:
        return false;
    }
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SHARE_DOCUMENT:
        if (CLumivueApp::Get()) CLumivueApp::Get()->OnShareDocument();
        return 0;
    case WM_GETMINMAXINFO:
        if (m_bFullScreen) {
            MINMAXINFO* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
            const LONG w = m_fullScreenRect.right - m_fullScreenRect.left;
            const LONG h = m_fullScreenRect.bottom - m_fullScreenRect.top;
            mmi->ptMaxSize.x = mmi->ptMaxTrackSize.x = w;
            mmi->ptMaxSize.y = mmi->ptMaxTrackSize.y = h;
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE && m_bFullScreen) {
            PostMessageW(m_hwnd, WM_COMMAND, ID_VIEW_FULL_SCREEN, 0);
            return 0;
        }
        break;
    default:
        break;
    }
    return CFwMDIFrame::WindowProc(msg, wParam, lParam);
}
