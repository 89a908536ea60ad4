#include "app/LvColorBar_win.h"

#include "image/LvScopedWin.h"
#include "res/resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>

namespace {
const wchar_t kColorBarClass[] = L"LumivueColorBar";

// The read-out fields with their labels, left to right.
struct Field {
    int id;
    const wchar_t* label;
};
const Field kFields[] = {{IDC_READ_R, L"R"}, {IDC_READ_G, L"G"}, {IDC_READ_B, L"B"},
                         {IDC_READ_I, L"I"}, {IDC_READ_X, L"X"}, {IDC_READ_Y, L"Y"}};

// The colours the dialog offers besides the basic ones, shared by both swatches for the session.
COLORREF g_customColors[16] = {};

// Pixels at 96 dots per inch, scaled to the screen's.
int Scaled(HWND hwnd, int pixels) {
    ScopedGetDC dc(hwnd);
    return dc ? MulDiv(pixels, GetDeviceCaps(dc.Get(), LOGPIXELSY), 96) : pixels;
}
} // namespace

COLORREF LvColorRef(RGBQUAD color) {
    return RGB(color.rgbRed, color.rgbGreen, color.rgbBlue);
}

RGBQUAD LvQuadOf(COLORREF color) {
    RGBQUAD q = {GetBValue(color), GetGValue(color), GetRValue(color), 0};
    return q;
}

bool CColorBar::CreateBar(HWND parent) {
    if (!RegisterWndClass(kColorBarClass, CS_HREDRAW | CS_VREDRAW, nullptr, GetSysColorBrush(COLOR_BTNFACE)))
        return false;
    if (!Create(0, kColorBarClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, parent,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_COLOR_BAR))))
        return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id) {
        HWND h = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (h) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return h;
    };
    for (const Field& f : kFields) {
        child(L"STATIC", f.label, SS_RIGHT | SS_CENTERIMAGE, 0, -1);
        child(L"STATIC", L"", SS_CENTER | SS_CENTERIMAGE, WS_EX_STATICEDGE, f.id);
    }
    child(L"STATIC", L"", SS_OWNERDRAW, WS_EX_STATICEDGE, IDC_READ_SWATCH);
    HWND fore = child(L"BUTTON", L"", BS_OWNERDRAW | WS_TABSTOP, 0, IDC_FOREGROUND);
    HWND back = child(L"BUTTON", L"", BS_OWNERDRAW | WS_TABSTOP, 0, IDC_BACKGROUND);
    m_tips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr, instance, nullptr);
    const std::pair<HWND, int> tips[] = {{fore, IDS_TIP_FOREGROUND}, {back, IDS_TIP_BACKGROUND}};
    for (const auto& tip : tips) {
        TOOLINFOW ti = {};
        ti.cbSize = sizeof(ti);
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = m_hwnd;
        ti.uId = reinterpret_cast<UINT_PTR>(tip.first);
        ti.hinst = instance;
        ti.lpszText = MAKEINTRESOURCEW(tip.second);
        if (m_tips && tip.first) SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    m_height = Scaled(m_hwnd, 26);
    return true;
}

void CColorBar::Layout() {
    const int pad = Scaled(m_hwnd, 4), h = m_height - 2 * pad;
    const int label = Scaled(m_hwnd, 14), field = Scaled(m_hwnd, 38);
    int x = pad;
    for (const Field& f : kFields) {
        HWND value = GetDlgItem(m_hwnd, f.id);
        HWND caption = GetWindow(value, GW_HWNDPREV);
        MoveWindow(caption, x, pad, label, h, FALSE);
        x += label + pad / 2;
        MoveWindow(value, x, pad, field, h, FALSE);
        x += field + pad;
    }
    MoveWindow(GetDlgItem(m_hwnd, IDC_READ_SWATCH), x, pad, h * 2, h, FALSE);
    x += h * 2 + 4 * pad;
    MoveWindow(GetDlgItem(m_hwnd, IDC_FOREGROUND), x, pad, h * 2, h, FALSE);
    x += h * 2 + pad;
    MoveWindow(GetDlgItem(m_hwnd, IDC_BACKGROUND), x, pad, h * 2, h, FALSE);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CColorBar::ShowReadout(const LvReadout& r, RGBQUAD color) {
    const std::pair<int, const std::string*> texts[] = {{IDC_READ_R, &r.r}, {IDC_READ_G, &r.g}, {IDC_READ_B, &r.b},
                                                        {IDC_READ_I, &r.i}, {IDC_READ_X, &r.x}, {IDC_READ_Y, &r.y}};
    for (const auto& t : texts) {
        HWND field = GetDlgItem(m_hwnd, t.first);
        if (field && FwWindowText(field) != *t.second) FwSetWindowText(field, *t.second);
    }
    color.rgbReserved = 0;
    if (memcmp(&color, &m_swatch, sizeof(color)) == 0) return;
    m_swatch = color;
    InvalidateRect(GetDlgItem(m_hwnd, IDC_READ_SWATCH), nullptr, FALSE);
}

std::string CColorBar::FieldText(int id) const {
    HWND field = m_hwnd ? GetDlgItem(m_hwnd, id) : nullptr;
    return field ? FwWindowText(field) : std::string();
}

void CColorBar::SetForeground(RGBQUAD color) {
    m_foreground = color;
    m_foreground.rgbReserved = 0;
    if (m_hwnd) InvalidateRect(GetDlgItem(m_hwnd, IDC_FOREGROUND), nullptr, FALSE);
}

void CColorBar::SetBackground(RGBQUAD color) {
    m_background = color;
    m_background.rgbReserved = 0;
    if (m_hwnd) InvalidateRect(GetDlgItem(m_hwnd, IDC_BACKGROUND), nullptr, FALSE);
}

bool CColorBar::AskColor(bool foreground) {
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    cc.rgbResult = LvColorRef(foreground ? m_foreground : m_background);
    cc.lpCustColors = g_customColors;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorW(&cc)) return false;
    if (foreground)
        SetForeground(LvQuadOf(cc.rgbResult));
    else
        SetBackground(LvQuadOf(cc.rgbResult));
    return true;
}

void CColorBar::DrawSwatch(const DRAWITEMSTRUCT& item) {
    RGBQUAD color = item.CtlID == IDC_FOREGROUND   ? m_foreground
                    : item.CtlID == IDC_BACKGROUND ? m_background
                                                   : m_swatch;
    RECT rc = item.rcItem;
    if (item.CtlType == ODT_BUTTON) {
        DrawEdge(item.hDC, &rc, (item.itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
        InflateRect(&rc, -1, -1);
        FrameRect(item.hDC, &rc, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&rc, -1, -1);
    }
    HBRUSH brush = CreateSolidBrush(LvColorRef(color));
    FillRect(item.hDC, &rc, brush);
    DeleteObject(brush);
    if (item.CtlType == ODT_BUTTON && (item.itemState & ODS_FOCUS)) {
        InflateRect(&rc, -2, -2);
        DrawFocusRect(item.hDC, &rc);
    }
}

LRESULT CColorBar::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DRAWITEM:
        DrawSwatch(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDC_FOREGROUND || LOWORD(wParam) == IDC_BACKGROUND)) {
            AskColor(LOWORD(wParam) == IDC_FOREGROUND);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (m_tips) DestroyWindow(m_tips);
        m_tips = nullptr;
        break;
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}
