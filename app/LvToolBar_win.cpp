#include "app/LvToolBar_win.h"

#include "app/LvMainFrame_win.h"

#include "framework/FwApp_win.h"
#include "framework/FwFrame_win.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

// The buttons in order; image is the position in the strip res/chrome/toolbar.bmp, -1 a separator.
struct Button {
    int command;
    int image;
};
const Button kButtons[] = {
    {ID_FILE_OPEN, 0},
    {ID_FILE_SAVE, 1},
    {ID_FILE_PRINT, 2},
    {0, -1},
    {ID_EDIT_UNDO, 3},
    {ID_EDIT_REDO, 4},
    {0, -1},
    {ID_EDIT_COPY, 5},
    {ID_EDIT_PASTE, 6},
    {0, -1},
    {ID_VIEW_ZOOM_IN, 7},
    {ID_VIEW_ZOOM_OUT, 8},
    {ID_VIEW_FIT_IMAGE, 9},
    {ID_VIEW_FIT_SIZE, 10},
    {ID_VIEW_FIT_WIDTH, 11},
    {ID_VIEW_FIT_HEIGHT, 12},
    {ID_VIEW_FIT_SCREEN, 13},
    {ID_VIEW_FULL_SCREEN, 14},
    {0, -1},
    {ID_MOUSE_MOVE, 15},
    {ID_MOUSE_SELECT, 16},
    {ID_MOUSE_ZOOM, 17},
    {ID_MOUSE_RECT_SELECTION, 18},
    {ID_MOUSE_ELLIPSE_SELECTION, 19},
    {ID_MOUSE_PICK_COLOR, 20},
};
const int kImageCount = 21;
const COLORREF kTransparent = RGB(255, 0, 255);

// Texts of commands that the menus name otherwise: Paste is "From Clipboard" in the Acquire menu.
const std::pair<int, int> kTipStrings[] = {{ID_EDIT_PASTE, IDS_TIP_PASTE}};

std::string MenuText(HMENU menu, int command) {
    const int n = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < n; i++) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            std::string text = MenuText(sub, command);
            if (!text.empty()) return text;
        } else if (int(GetMenuItemID(menu, i)) == command) {
            wchar_t buffer[256] = {};
            GetMenuStringW(menu, UINT(i), buffer, 255, MF_BYPOSITION);
            return LvWideToUtf8(buffer);
        }
    }
    return std::string();
}

} // namespace

std::string LvMenuCommandText(HMENU menu, int command) {
    std::string raw = MenuText(menu, command), text;
    for (size_t i = 0; i < raw.size() && raw[i] != '\t'; i++) {
        if (raw[i] == '&' && i + 1 < raw.size() && raw[i + 1] != '&') continue;
        text += raw[i];
    }
    return text;
}

bool CLvToolBar::CreateBar(HWND parent) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    m_hwnd = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOL_BAR)), instance, nullptr);
    if (!m_hwnd) return false;
    SendMessageW(m_hwnd, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    HIMAGELIST images = ImageList_LoadImageW(instance, MAKEINTRESOURCEW(IDR_TOOLBAR), 16, kImageCount, kTransparent,
                                             IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images) SendMessageW(m_hwnd, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    for (const Button& b : kButtons) {
        TBBUTTON tb = {};
        tb.iBitmap = b.image < 0 ? 6 : b.image; // a separator's width
        tb.idCommand = b.command;
        tb.fsState = TBSTATE_ENABLED;
        tb.fsStyle = b.image < 0 ? BTNS_SEP : BTNS_BUTTON;
        SendMessageW(m_hwnd, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
    }
    SendMessageW(m_hwnd, TB_AUTOSIZE, 0, 0);
    return true;
}

int CLvToolBar::Height() const {
    if (!m_hwnd || !IsWindowVisible(m_hwnd)) return 0;
    RECT rc;
    GetWindowRect(m_hwnd, &rc);
    return rc.bottom - rc.top;
}

void CLvToolBar::UpdateStates() {
    CFwApp* app = CFwApp::Get();
    if (!m_hwnd || !app) return;
    for (const Button& b : kButtons) {
        if (b.image < 0) continue;
        CFwCmdUI ui;
        ui.id = b.command;
        const bool known = app->QueryCommand(ui);
        const bool enabled = known && ui.enabled, checked = known && ui.checked;
        const LRESULT state = SendMessageW(m_hwnd, TB_GETSTATE, WPARAM(b.command), 0);
        if (state == -1) continue;
        if (((state & TBSTATE_ENABLED) != 0) != enabled)
            SendMessageW(m_hwnd, TB_ENABLEBUTTON, WPARAM(b.command), MAKELPARAM(enabled, 0));
        if (((state & TBSTATE_CHECKED) != 0) != checked)
            SendMessageW(m_hwnd, TB_CHECKBUTTON, WPARAM(b.command), MAKELPARAM(checked, 0));
    }
}

bool CLvToolBar::IsEnabled(int command) const {
    return m_hwnd && SendMessageW(m_hwnd, TB_ISBUTTONENABLED, WPARAM(command), 0) != 0;
}

bool CLvToolBar::IsChecked(int command) const {
    return m_hwnd && SendMessageW(m_hwnd, TB_ISBUTTONCHECKED, WPARAM(command), 0) != 0;
}

std::string LvCommandText(int command) {
    for (const auto& tip : kTipStrings) {
        if (tip.first != command) continue;
        const std::string text = LvLoadString(UINT(tip.second));
        if (!text.empty()) return text;
    }
    CFwApp* app = CFwApp::Get();
    CFwMDIFrame* frame = app ? app->MainFrame() : nullptr;
    std::string text;
    if (frame) {
        text = LvMenuCommandText(frame->SharedMenu(), command);
        if (text.empty()) text = LvMenuCommandText(GetMenu(frame->GetHwnd()), command);
    }
    return text;
}

bool CLvToolBar::OnNotify(NMHDR* header) {
    if (!header || header->code != TTN_GETDISPINFOW) return false;
    NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    m_tip = LvUtf8ToWide(LvCommandText(int(header->idFrom)));
    info->lpszText = const_cast<wchar_t*>(m_tip.c_str());
    info->hinst = nullptr;
    return true;
}
