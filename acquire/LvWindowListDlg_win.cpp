#include "acquire/LvWindowListDlg_win.h"

#include "framework/FwDocument.h"
#include "framework/FwFrame_win.h"
#include "res/resource.h"

namespace {

// The list's redrawing is switched off while it changes.
class NoRedraw {
public:
    explicit NoRedraw(HWND wnd) : m_wnd(wnd) { SendMessageW(m_wnd, WM_SETREDRAW, FALSE, 0); }
    ~NoRedraw() {
        SendMessageW(m_wnd, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_wnd, nullptr, TRUE);
    }
    NoRedraw(const NoRedraw&) = delete;
    NoRedraw& operator=(const NoRedraw&) = delete;

private:
    HWND m_wnd;
};

HICON SmallClassIcon(HWND wnd) {
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrW(wnd, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(wnd, GCLP_HICON));
    return icon;
}

} // namespace

CWindowListDlg::CWindowListDlg(CFwMDIFrame* frame) : CFwDialog(IDD_WINDOW_LIST), m_frame(frame) {}

bool CWindowListDlg::OnInitDialog() {
    m_list = Item(IDC_WINDOWS_LIST);
    // Items as high as a small icon and a little air (the list is measured before the dialog knows itself).
    SendMessageW(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(GetSystemMetrics(SM_CYSMICON) + 2, 0));
    FillList();
    SelectActive();
    UpdateButtons();
    return true;
}

int CWindowListDlg::Count() const {
    LRESULT n = SendMessageW(m_list, LB_GETCOUNT, 0, 0);
    return n == LB_ERR ? 0 : int(n);
}

bool CWindowListDlg::IsSelected(int item) const {
    return SendMessageW(m_list, LB_GETSEL, WPARAM(item), 0) > 0;
}

HWND CWindowListDlg::ItemWindow(int item) const {
    return reinterpret_cast<HWND>(SendMessageW(m_list, LB_GETITEMDATA, WPARAM(item), 0));
}

void CWindowListDlg::FillList() {
    NoRedraw quiet(m_list);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    HWND client = m_frame ? m_frame->MdiClient() : nullptr;
    for (HWND child = client ? GetWindow(client, GW_CHILD) : nullptr; child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t title[257] = {};
        GetWindowTextW(child, title, 257);
        LRESULT item = SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(title));
        if (item >= 0) SendMessageW(m_list, LB_SETITEMDATA, WPARAM(item), reinterpret_cast<LPARAM>(child));
    }
}

void CWindowListDlg::SelectActive() {
    const int count = Count();
    if (count == 0) return;
    NoRedraw quiet(m_list);
    SendMessageW(m_list, LB_SELITEMRANGEEX, WPARAM(count - 1), 0);
    HWND active = m_frame ? m_frame->MdiActiveHwnd() : nullptr;
    for (int i = 0; i < count; i++)
        if (ItemWindow(i) == active) {
            SendMessageW(m_list, LB_SETSEL, TRUE, LPARAM(i));
            break;
        }
}

void CWindowListDlg::UpdateButtons() {
    LRESULT selected = SendMessageW(m_list, LB_GETSELCOUNT, 0, 0);
    const int n = selected == LB_ERR ? 0 : int(selected);
    EnableWindow(Item(IDC_WINDOWS_CLOSE), n >= 1);
    EnableWindow(Item(IDC_WINDOWS_SAVE), n >= 1);
    EnableWindow(Item(IDC_WINDOWS_MINIMIZE), n >= 1);
    EnableWindow(Item(IDC_WINDOWS_CASCADE), n >= 2);
    EnableWindow(Item(IDC_WINDOWS_TILE_HORZ), n >= 2);
    EnableWindow(Item(IDC_WINDOWS_TILE_VERT), n >= 2);
    EnableWindow(Item(IDC_WINDOWS_ACTIVATE), n == 1);
}

void CWindowListDlg::Refresh() {
    FillList();
    SelectActive();
    UpdateButtons();
}

bool CWindowListDlg::OnCommand(int id, int code) {
    if (id == IDC_WINDOWS_LIST) {
        if (code == LBN_SELCHANGE) UpdateButtons();
        if (code == LBN_DBLCLK) OnActivate();
        return true;
    }
    if (code != BN_CLICKED) return CFwDialog::OnCommand(id, code);
    switch (id) {
    case IDC_WINDOWS_ACTIVATE:
        OnActivate();
        return true;
    case IDC_WINDOWS_SAVE:
        OnSave();
        return true;
    case IDC_WINDOWS_CLOSE:
        OnCloseWindows();
        return true;
    case IDC_WINDOWS_MINIMIZE:
        OnMinimize();
        return true;
    case IDC_WINDOWS_CASCADE:
        Arrange(WM_MDICASCADE, 0);
        return true;
    case IDC_WINDOWS_TILE_HORZ:
        Arrange(WM_MDITILE, MDITILE_HORIZONTAL);
        return true;
    case IDC_WINDOWS_TILE_VERT:
        Arrange(WM_MDITILE, MDITILE_VERTICAL);
        return true;
    default:
        return CFwDialog::OnCommand(id, code);
    }
}

void CWindowListDlg::OnActivate() {
    if (SendMessageW(m_list, LB_GETSELCOUNT, 0, 0) != 1) return;
    int item = 0;
    if (SendMessageW(m_list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&item)) != 1) return;
    HWND wnd = ItemWindow(item);
    if (!IsWindow(wnd)) return;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(wnd, &placement) && placement.showCmd == SW_SHOWMINIMIZED)
        SendMessageW(m_frame->MdiClient(), WM_MDIRESTORE, reinterpret_cast<WPARAM>(wnd), 0);
    SendMessageW(m_frame->MdiClient(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(wnd), 0);
    EndDialog(IDOK);
}

void CWindowListDlg::OnSave() {
    const int count = Count();
    for (int i = 0; i < count; i++) {
        if (!IsSelected(i)) continue;
        CFwMDIChild* child = dynamic_cast<CFwMDIChild*>(CFwWnd::FromHandle(ItemWindow(i)));
        // A modified document asks whether to save its changes; an unmodified one is left alone.
        if (child && child->Document()) child->Document()->SaveModified();
    }
    Refresh();
}

void CWindowListDlg::OnCloseWindows() {
    const int count = Count();
    if (count == 0) return;
    HWND client = m_frame->MdiClient();
    {
        NoRedraw quiet(m_list);
        for (int i = count - 1; i >= 0; i--) {
            if (!IsSelected(i)) continue;
            HWND wnd = ItemWindow(i);
            SendMessageW(wnd, WM_CLOSE, 0, 0);
            // A document that refused to close (its save question was cancelled) ends the run.
            if (IsWindow(wnd) && GetParent(wnd) == client) break;
        }
    }
    Refresh();
}

void CWindowListDlg::OnMinimize() {
    {
        NoRedraw quiet(m_list);
        for (int i = Count() - 1; i >= 0; i--)
            if (IsSelected(i)) ShowWindow(ItemWindow(i), SW_MINIMIZE);
    }
    Refresh();
}

void CWindowListDlg::Arrange(UINT message, WPARAM how) {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    HWND client = m_frame->MdiClient();
    LockWindowUpdate(client);
    for (int i = Count() - 1; i >= 0; i--)
        ShowWindow(ItemWindow(i), IsSelected(i) ? SW_RESTORE : SW_MINIMIZE);
    SendMessageW(client, message, how, 0);
    LockWindowUpdate(nullptr);
    SetCursor(previous);
}

void CWindowListDlg::DrawItem(const DRAWITEMSTRUCT& item) {
    if (int(item.itemID) < 0 || int(item.itemID) >= Count()) return;
    const RECT& rc = item.rcItem;
    const int h = rc.bottom - rc.top;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    if (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) {
        FillRect(item.hDC, &rc, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        LRESULT length = SendMessageW(m_list, LB_GETTEXTLEN, item.itemID, 0);
        std::wstring text(length > 0 ? size_t(length) + 1 : 1, L'\0');
        if (length > 0) SendMessageW(m_list, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(&text[0]));
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT textRect = rc;
        textRect.left += h + 4;
        DrawTextW(item.hDC, text.c_str(), -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        HWND wnd = reinterpret_cast<HWND>(item.itemData);
        if (HICON icon = IsWindow(wnd) ? SmallClassIcon(wnd) : nullptr)
            DrawIconEx(item.hDC, rc.left + 2, rc.top, icon, h, h, 0, nullptr, DI_NORMAL);
    }
    if (item.itemAction & ODA_FOCUS) DrawFocusRect(item.hDC, &rc);
}

INT_PTR CWindowListDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlID != IDC_WINDOWS_LIST) break;
        DrawItem(*draw);
        SetWindowLongPtrW(m_hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    default:
        break;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}
