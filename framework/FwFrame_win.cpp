#include "framework/FwFrame_win.h"

#include "framework/FwApp_win.h"
#include "framework/FwView_win.h"
#include "res/resource.h"

#include <shellapi.h>

const wchar_t kFwFrameClass[] = L"LumivueFrame";
const wchar_t kFwChildClass[] = L"LumivueChild";

// ---- main frame -----------------------------------------------------------------------------------------------

bool CFwMDIFrame::CreateFrame(const wchar_t* title, DWORD style, HMENU defaultMenu, HICON icon) {
    if (!RegisterWndClass(kFwFrameClass, 0, icon, nullptr)) return false;
    m_defaultMenu = defaultMenu;
    m_appTitle = LvWideToUtf8(title);
    return Create(WS_EX_ACCEPTFILES, kFwFrameClass, title, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr, defaultMenu);
}

HWND CFwMDIFrame::MdiActiveHwnd() const {
    if (!m_mdiClient) return nullptr;
    return reinterpret_cast<HWND>(SendMessageW(m_mdiClient, WM_MDIGETACTIVE, 0, 0));
}

CFwView* CFwMDIFrame::ActiveView() const {
    CFwMDIChild* child = dynamic_cast<CFwMDIChild*>(CFwWnd::FromHandle(MdiActiveHwnd()));
    return child ? child->View() : nullptr;
}

CFwDocument* CFwMDIFrame::ActiveDocument() const {
    CFwMDIChild* child = dynamic_cast<CFwMDIChild*>(CFwWnd::FromHandle(MdiActiveHwnd()));
    return child ? child->Document() : nullptr;
}

HMENU CFwMDIFrame::WindowPopupOf(HMENU menu) {
    // The Window menu is the one before Help: the second from the end.
    int count = menu ? GetMenuItemCount(menu) : 0;
    return count >= 2 ? GetSubMenu(menu, count - 2) : nullptr;
}

void CFwMDIFrame::OnChildActivated(HWND child) {
    HMENU wanted = child && m_sharedMenu ? m_sharedMenu : m_defaultMenu;
    if (GetMenu(m_hwnd) != wanted) {
        SendMessageW(m_mdiClient, WM_MDISETMENU, reinterpret_cast<WPARAM>(wanted),
                     reinterpret_cast<LPARAM>(WindowPopupOf(wanted)));
        DrawMenuBar(m_hwnd);
    }
    OnUpdateFrameTitle();
}

void CFwMDIFrame::OnUpdateFrameTitle() {
    if (!m_hwnd) return;
    CFwDocument* doc = ActiveDocument();
    std::string title = m_appTitle;
    if (doc && !doc->GetTitle().empty()) title += " - " + doc->GetTitle();
    if (FwWindowText(m_hwnd) != title) FwSetWindowText(m_hwnd, title);
}

namespace {

// The recent files stand where the menu has its first entry: "&1 path", "&2 path", … or, with no files, the
// menu's own text greyed.
void UpdateRecentFileItems(HMENU popup, const CFwRecentFileList& recent) {
    int at = -1;
    for (int i = GetMenuItemCount(popup) - 1; i >= 0; i--) {
        const UINT id = GetMenuItemID(popup, i);
        if (FwIsRecentFileCommand(int(id))) {
            if (recent.Size() == 0 && id == ID_FILE_MRU_FILE1) return; // the placeholder stays
            at = i;
            DeleteMenu(popup, UINT(i), MF_BYPOSITION);
        }
    }
    if (at < 0) return;
    if (recent.Size() == 0) {
        InsertMenuW(popup, UINT(at), MF_BYPOSITION | MF_STRING, ID_FILE_MRU_FILE1, L"Recent File");
        return;
    }
    for (size_t i = 0; i < recent.Size(); i++)
        InsertMenuW(popup, UINT(at) + UINT(i), MF_BYPOSITION | MF_STRING, UINT_PTR(ID_FILE_MRU_FILE1) + i,
                    LvUtf8ToWide(recent.MenuText(i)).c_str());
}

} // namespace

void CFwMDIFrame::UpdateMenuPopup(HMENU popup) {
    CFwApp* app = CFwApp::Get();
    if (!app) return;
    UpdateRecentFileItems(popup, app->RecentFiles());
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; i++) {
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoW(popup, UINT(i), TRUE, &mii) || mii.hSubMenu || (mii.fType & MFT_SEPARATOR)) continue;
        // The MDI child list the Window menu gains belongs to the client window.
        if (mii.wID >= UINT(kFwIdFirstMdiChild) || mii.wID == 0) continue;
        CFwCmdUI ui;
        ui.id = int(mii.wID);
        app->QueryCommand(ui);
        EnableMenuItem(popup, UINT(i), MF_BYPOSITION | (ui.enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, UINT(i), MF_BYPOSITION | (ui.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

RECT CFwMDIFrame::ClientAreaForMdi() {
    return FwClientRect(m_hwnd);
}

void CFwMDIFrame::RecalcLayout() {
    if (!m_mdiClient) return;
    RECT rc = ClientAreaForMdi();
    MoveWindow(m_mdiClient, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
}

LRESULT CFwMDIFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: {
        CLIENTCREATESTRUCT ccs = {};
        ccs.hWindowMenu = WindowPopupOf(m_defaultMenu);
        ccs.idFirstChild = kFwIdFirstMdiChild;
        m_mdiClient = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                      WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE, 0, 0, 0, 0,
                                      m_hwnd, nullptr, GetModuleHandleW(nullptr), &ccs);
        if (!m_mdiClient || !OnCreateBars()) return -1;
        RecalcLayout();
        return 0;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) RecalcLayout();
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        // Menus and accelerators (no control window) go along the command chain; the child list of the Window
        // menu and controls' notifications are the default handling's.
        if (lParam == 0 && id < kFwIdFirstMdiChild) {
            if (CFwApp::Get()) CFwApp::Get()->RouteCommand(id);
            return 0;
        }
        break;
    }
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam)) UpdateMenuPopup(reinterpret_cast<HMENU>(wParam));
        break;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; i++) {
            UINT n = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(size_t(n) + 1, L'\0');
            DragQueryFileW(drop, i, &name[0], n + 1);
            name.resize(n);
            if (CFwApp::Get()) CFwApp::Get()->OpenDocumentFile(LvWideToUtf8(name));
        }
        DragFinish(drop);
        return 0;
    }
    case WM_CLOSE:
        if (CFwApp::Get()) {
            if (!CFwApp::Get()->SaveAllModified()) return 0;
            CFwApp::Get()->CloseAllDocuments();
        }
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY: {
        OnFramePreDestroy();
        // The menus belong to the frame and the template; neither is destroyed with the window.
        SetMenu(m_hwnd, nullptr);
        if (m_defaultMenu) DestroyMenu(m_defaultMenu);
        m_defaultMenu = nullptr;
        if (CFwApp::Get() && CFwApp::Get()->MainFrame() == this) PostQuitMessage(0);
        return 0;
    }
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CFwMDIFrame::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcW(m_hwnd, m_mdiClient, msg, wParam, lParam);
}

// ---- MDI child ------------------------------------------------------------------------------------------------

bool CFwMDIChild::CreateChild(CFwMDIFrame* frame, CFwDocument* doc, CFwView* view, const std::string& title) {
    if (!RegisterWndClass(kFwChildClass, CS_HREDRAW | CS_VREDRAW, nullptr, nullptr)) return false;
    m_frame = frame;
    m_doc = doc;
    std::wstring wideTitle = LvUtf8ToWide(title);
    MDICREATESTRUCTW mcs = {};
    mcs.szClass = kFwChildClass;
    mcs.szTitle = wideTitle.c_str();
    mcs.hOwner = GetModuleHandleW(nullptr);
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    // Hidden until the document is loaded; a maximised active child makes the new one maximised too.
    BOOL maximized = FALSE;
    SendMessageW(frame->MdiClient(), WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximized));
    mcs.style = WS_CHILD | WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | (maximized ? WS_MAXIMIZE : 0);
    mcs.lParam = reinterpret_cast<LPARAM>(this);
    HWND child =
        reinterpret_cast<HWND>(SendMessageW(frame->MdiClient(), WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    if (!child) return false;
    if (!view->CreateView(child, doc)) {
        SendMessageW(frame->MdiClient(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0);
        return false;
    }
    m_view = view;
    m_autoDelete = true;
    RECT rc = FwClientRect(child);
    MoveWindow(view->GetHwnd(), 0, 0, rc.right, rc.bottom, FALSE);
    return true;
}

void CFwMDIChild::OnClose() {
    CFwDocument* doc = m_doc;
    if (!doc) {
        DestroyWindow(m_hwnd);
        return;
    }
    if (!doc->SaveModified()) return;
    doc->OnCloseDocument();
}

LRESULT CFwMDIChild::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        if (m_view && m_view->GetHwnd()) MoveWindow(m_view->GetHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        break; // the default handling keeps the MDI bookkeeping
    case WM_SETFOCUS:
        if (m_view && m_view->GetHwnd()) SetFocus(m_view->GetHwnd());
        return 0;
    case WM_MDIACTIVATE:
        if (m_frame) {
            if (reinterpret_cast<HWND>(lParam) == m_hwnd)
                m_frame->OnChildActivated(m_hwnd);
            else if (!lParam)
                m_frame->OnChildActivated(nullptr);
        }
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_NCDESTROY: {
        LRESULT r = DefaultProc(msg, wParam, lParam);
        // The last child gone: the frame shows its own menu again.
        if (m_frame && m_frame->GetHwnd() && !m_frame->MdiActiveHwnd()) m_frame->OnChildActivated(nullptr);
        return r;
    }
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CFwMDIChild::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcW(m_hwnd, msg, wParam, lParam);
}
