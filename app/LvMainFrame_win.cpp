#include "app/LvMainFrame_win.h"

#include "acquire/LvDesktop_win.h"
#include "acquire/LvWindowListDlg_win.h"
#include "app/LvApp_win.h"
#include "batch/LvBatchDialogs_win.h"
#include "framework/FwApp_win.h"
#include "res/resource.h"

#include "acquire/LvLogFile.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {
const wchar_t kProgressClass[] = L"LumivueProgress";
// Pane widths as parts of the screen's width.
const double kPaneShare[CMainFrame::kPaneCount] = {0.25, 0.01, 0.4, 0.1, 0.05, 0.1};
} // namespace

// ---- help and links ------------------------------------------------------------------------------------------

namespace {

// The HTML help viewer's entry, loaded on first use.
typedef HWND(WINAPI* HtmlHelpFunction)(HWND, LPCWSTR, UINT, DWORD_PTR);
const UINT kHelpDisplayTopic = 0; // HH_DISPLAY_TOPIC

bool OpenWithHelpViewer(HWND owner, const std::string& location) {
    static HtmlHelpFunction htmlHelp = nullptr;
    if (!htmlHelp) {
        if (HMODULE library = LoadLibraryW(L"hhctrl.ocx"))
            htmlHelp =
                reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void (*)()>(GetProcAddress(library, "HtmlHelpW")));
    }
    return htmlHelp && htmlHelp(owner, LvUtf8ToWide(location).c_str(), kHelpDisplayTopic, 0) != nullptr;
}

bool OpenWithShell(HWND owner, const std::string& location) {
    HINSTANCE r = ShellExecuteW(owner, L"open", LvUtf8ToWide(location).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

LvLocationOpener g_helpOpener = OpenWithHelpViewer;
LvLocationOpener g_linkOpener = OpenWithShell;

} // namespace

void LvSetHelpOpener(LvLocationOpener opener) {
    g_helpOpener = opener ? opener : OpenWithHelpViewer;
}

void LvSetLinkOpener(LvLocationOpener opener) {
    g_linkOpener = opener ? opener : OpenWithShell;
}

bool LvOpenLink(HWND owner, const std::string& link) {
    return g_linkOpener(owner, link);
}

std::string LvLoadString(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero length LoadString hands out the resource's own read-only text.
    int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 && text ? LvWideToUtf8(std::wstring(text, size_t(n))) : std::string();
}

std::string LvHelpLocation() {
    return GetAppDir() + "\\" + LvLoadString(IDS_HELP_FILE);
}

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
    OnCreateAcquisition();
    if (!m_toolBar.CreateBar(m_hwnd) || !m_colorBar.CreateBar(m_hwnd)) return false;
    if (CLumivueApp* app = CLumivueApp::Get()) m_stored = LvReadWindowState(app->Settings());
    m_fitModeForNew = m_stored.fitMode;
    m_colorBar.SetForeground(LvQuadOf(COLORREF(m_stored.foreground)));
    m_colorBar.SetBackground(LvQuadOf(COLORREF(m_stored.background)));
    if (!m_stored.toolBar) ShowWindow(m_toolBar.GetHwnd(), SW_HIDE);
    if (!m_stored.colorBar) ShowWindow(m_colorBar.GetHwnd(), SW_HIDE);
    return true;
}

void CMainFrame::ShowAsStored() {
    if (m_stored.placed) {
        WINDOWPLACEMENT wp = {};
        wp.length = sizeof(wp);
        GetWindowPlacement(m_hwnd, &wp);
        wp.rcNormalPosition = {m_stored.left, m_stored.top, m_stored.right, m_stored.bottom};
        wp.showCmd = SW_HIDE;
        SetWindowPlacement(m_hwnd, &wp);
    }
    const int show = m_stored.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    // The first ShowWindow of a process may take the starter's show state instead: ask twice.
    ShowWindow(m_hwnd, show);
    ShowWindow(m_hwnd, show);
    UpdateWindow(m_hwnd);
}

LvWindowState CMainFrame::CurrentState() const {
    LvWindowState state = m_stored;
    // In full screen the window's own placement is the one it had before.
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    if (m_bFullScreen)
        wp = m_savedPlacement;
    else
        GetWindowPlacement(m_hwnd, &wp);
    state.placed = true;
    state.left = wp.rcNormalPosition.left;
    state.top = wp.rcNormalPosition.top;
    state.right = wp.rcNormalPosition.right;
    state.bottom = wp.rcNormalPosition.bottom;
    state.maximized = wp.showCmd == SW_SHOWMAXIMIZED || (wp.flags & WPF_RESTORETOMAXIMIZED);
    state.fitMode = m_fitModeForNew;
    state.toolBar = IsWindowVisible(m_toolBar.GetHwnd()) || (m_bFullScreen && m_stored.toolBar);
    state.colorBar = IsWindowVisible(m_colorBar.GetHwnd()) != FALSE;
    state.foreground = uint32_t(LvColorRef(m_colorBar.Foreground()));
    state.background = uint32_t(LvColorRef(m_colorBar.Background()));
    return state;
}

void CMainFrame::OnIdleUpdate() {
    m_toolBar.UpdateStates();
}

void CMainFrame::ShowBar(HWND bar, bool show) {
    ShowWindow(bar, show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
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
    rc.top += m_toolBar.Height();
    if (m_colorBar.GetHwnd() && IsWindowVisible(m_colorBar.GetHwnd())) rc.top += m_colorBar.Height();
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
    if (m_toolBar.GetHwnd()) SendMessageW(m_toolBar.GetHwnd(), TB_AUTOSIZE, 0, 0);
    if (m_colorBar.GetHwnd()) {
        RECT rc = FwClientRect(m_hwnd);
        MoveWindow(m_colorBar.GetHwnd(), 0, m_toolBar.Height(), rc.right, m_colorBar.Height(), TRUE);
    }
    CFwMDIFrame::RecalcLayout();
    PlaceProgress();
}

void CMainFrame::OnViewFullScreen() {
    if (!m_bFullScreen) {
        m_bFullScreen = true;
        m_stored.toolBar = IsWindowVisible(m_toolBar.GetHwnd()) != FALSE;
        ShowWindow(m_statusBar, SW_HIDE);
        ShowWindow(m_toolBar.GetHwnd(), SW_HIDE);
        ShowWindow(m_colorBar.GetHwnd(), SW_HIDE);
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
        // The colour bar stays hidden until the user shows it again.
        ShowWindow(m_statusBar, SW_SHOW);
        if (m_stored.toolBar) ShowWindow(m_toolBar.GetHwnd(), SW_SHOW);
        SetWindowPlacement(m_hwnd, &m_savedPlacement);
        while (ShowCursor(TRUE) < 0) {}
    }
    RecalcLayout();
}

void CMainFrame::OnHelpContent() {
    const std::string location = LvHelpLocation();
    if (!g_helpOpener(m_hwnd, location) && CFwApp::Get())
        CFwApp::Get()->ShowMessage("Can't open the help " + location + ".");
}

void CMainFrame::OnLink(UINT stringId) {
    const std::string link = LvLoadString(stringId);
    if (!link.empty() && !LvOpenLink(m_hwnd, link) && CFwApp::Get())
        CFwApp::Get()->ShowMessage("Can't open " + link + ".");
}

void CMainFrame::OnWindowList() {
    CWindowListDlg dialog(this);
    dialog.DoModal(m_hwnd);
}

void CMainFrame::OnMinimizeToTray() {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = m_hwnd;
    data.uID = IDR_MAINFRAME;
    data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = m_trayIcon;
    const std::wstring tip = LvUtf8ToWide(LvLoadString(IDS_TRAY_TIP)).substr(0, 63);
    wcsncpy(data.szTip, tip.c_str(), sizeof(data.szTip) / sizeof(data.szTip[0]) - 1);
    // Without a notification area the icon cannot be shown; the window then stays on the task bar, minimised.
    m_trayShown = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (m_trayShown) ShowWindow(m_hwnd, SW_HIDE);
}

void CMainFrame::RemoveTrayIcon() {
    if (!m_trayShown) return;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = m_hwnd;
    data.uID = IDR_MAINFRAME;
    Shell_NotifyIconW(NIM_DELETE, &data);
    m_trayShown = false;
}

void CMainFrame::OnRestore() {
    RemoveTrayIcon();
    ShowWindow(m_hwnd, SW_SHOWMAXIMIZED);
    SetForegroundWindow(m_hwnd);
}

void CMainFrame::OnTrayNotify(LPARAM event) {
    if (event == WM_LBUTTONDBLCLK) {
        OnRestore();
    } else if (event == WM_RBUTTONDOWN) {
        HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
        if (!menu) return;
        POINT pt;
        GetCursorPos(&pt);
        // The popup closes when the user clicks elsewhere only when the window is in the foreground.
        SetForegroundWindow(m_hwnd);
        TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, pt.x, pt.y, 0, m_hwnd, nullptr);
        PostMessageW(m_hwnd, WM_NULL, 0, 0);
        DestroyMenu(menu);
    }
}

void CMainFrame::OnFramePreDestroy() {
    RemoveTrayIcon();
}

bool CMainFrame::OnUpdateCommand(CFwCmdUI& ui) {
    switch (ui.id) {
    case ID_HELP_CONTENT:
    case ID_HELP_HOME_PAGE:
    case ID_HELP_BBS:
    case ID_HELP_SUPPORT:
    case ID_HELP_BUG_REPORT:
    case ID_APP_RESTORE:
        return true;
    case ID_WINDOW_LIST:
        ui.Enable(MdiActiveHwnd() != nullptr);
        return true;
    case ID_VIEW_FULL_SCREEN:
        ui.SetCheck(m_bFullScreen);
        return true;
    case ID_VIEW_TOOL_BAR:
        ui.SetCheck(IsWindowVisible(m_toolBar.GetHwnd()) != FALSE);
        return true;
    case ID_VIEW_COLOR_BAR:
        ui.SetCheck(IsWindowVisible(m_colorBar.GetHwnd()) != FALSE);
        return true;
    case ID_WINDOW_NEXT:
    case ID_WINDOW_CASCADE:
    case ID_WINDOW_TILE_HORZ:
    case ID_WINDOW_ARRANGE:
        ui.Enable(MdiActiveHwnd() != nullptr);
        return true;
    case ID_DESKTOP_FILE_ASSOCIATION:
        return true;
    case ID_BATCH_EFFECT:
    case ID_BATCH_CONVERT_FORMAT:
    case ID_BATCH_CONVERT_COLOR:
        ui.Enable(true);
        return true;
    default:
        return OnUpdateAcquireCommand(ui);
    }
}

bool CMainFrame::OnCommand(int id) {
    switch (id) {
    case ID_HELP_CONTENT:
        OnHelpContent();
        return true;
    case ID_HELP_HOME_PAGE:
        OnLink(IDS_LINK_HOME_PAGE);
        return true;
    case ID_HELP_BBS:
        OnLink(IDS_LINK_BBS);
        return true;
    case ID_HELP_SUPPORT:
        OnLink(IDS_LINK_SUPPORT);
        return true;
    case ID_HELP_BUG_REPORT:
        OnLink(IDS_LINK_BUG_REPORT);
        return true;
    case ID_APP_RESTORE:
        OnRestore();
        return true;
    case ID_WINDOW_LIST:
        OnWindowList();
        return true;
    case ID_VIEW_FULL_SCREEN:
        OnViewFullScreen();
        return true;
    case ID_VIEW_TOOL_BAR:
        m_stored.toolBar = !IsWindowVisible(m_toolBar.GetHwnd());
        ShowBar(m_toolBar.GetHwnd(), m_stored.toolBar);
        return true;
    case ID_VIEW_COLOR_BAR:
        ShowBar(m_colorBar.GetHwnd(), !IsWindowVisible(m_colorBar.GetHwnd()));
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
    case ID_DESKTOP_FILE_ASSOCIATION: {
        CFileAssocDlg dialog(LvProgramFile());
        dialog.DoModal(m_hwnd);
        return true;
    }
    case ID_BATCH_EFFECT:
    case ID_BATCH_CONVERT_FORMAT:
    case ID_BATCH_CONVERT_COLOR:
        LvRunBatchDialog(id, m_hwnd);
        return true;
    default:
        return OnAcquireCommand(id);
    }
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnAcquireMessage(msg, wParam, lParam, result)) return result;
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
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MINIMIZE) {
            // Minimised first: minimising shows a window again, so it is hidden afterwards.
            LRESULT r = CFwMDIFrame::WindowProc(msg, wParam, lParam);
            OnMinimizeToTray();
            return r;
        }
        break;
    case WM_TRAY_NOTIFY:
        OnTrayNotify(lParam);
        return 0;
    case WM_HELP:
        // Help asked for by a window without help of its own (F1 in a dialog or a bar).
        OnHelpContent();
        return TRUE;
    case WM_COMMAND:
        // The tool bar's buttons go along the command chain as menu items do.
        if (m_toolBar.GetHwnd() && reinterpret_cast<HWND>(lParam) == m_toolBar.GetHwnd()) {
            if (CFwApp::Get()) CFwApp::Get()->RouteCommand(LOWORD(wParam));
            m_toolBar.UpdateStates();
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (m_toolBar.OnNotify(reinterpret_cast<NMHDR*>(lParam))) return 0;
        break;
    case WM_CLOSE:
        if (CLumivueApp* app = CLumivueApp::Get()) LvWriteWindowState(app->Settings(), CurrentState());
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
