#include "framework/FwView_win.h"

#include "image/LvScopedWin.h"

#include <algorithm>

const wchar_t kFwViewClass[] = L"LumivueView";

bool CFwView::CreateView(HWND parent, CFwDocument* doc) {
    if (!RegisterWndClass(kFwViewClass, CS_DBLCLKS, nullptr, nullptr)) return false;
    m_doc = doc;
    RECT rc = FwClientRect(parent);
    if (!Create(0, kFwViewClass, L"", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 0, 0, rc.right, rc.bottom,
                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE900))))
        return false;
    doc->AddView(this);
    m_autoDelete = true;
    return true;
}

void CFwView::OnUpdate(CFwViewBase*, long) {
    if (m_hwnd) InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CFwView::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hwnd, &ps);
    OnDraw(hdc, false);
    EndPaint(m_hwnd, &ps);
}

LRESULT CFwView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEACTIVATE: {
        // A click in an inactive child's view activates that child.
        HWND frame = ParentFrame();
        HWND client = frame ? GetParent(frame) : nullptr;
        if (client && reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)) != frame)
            SendMessageW(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frame), 0);
        break;
    }
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

void CFwView::PostNcDestroy() {
    CFwDocument* doc = m_doc;
    m_doc = nullptr;
    bool autoDelete = m_autoDelete;
    // Removing the last view may close and delete the document.
    if (doc && autoDelete) doc->RemoveView(this);
    if (autoDelete) delete this;
}

// ---- scroll view ----------------------------------------------------------------------------------------------

void CFwScrollView::SetScrollSizes(int width, int height) {
    m_total.cx = std::max(0, width);
    m_total.cy = std::max(0, height);
    UpdateBars();
}

void CFwScrollView::ScrollToPosition(POINT pos) {
    RECT rc = FwClientRect(m_hwnd);
    LONG maxX = std::max<LONG>(0, m_total.cx - rc.right);
    LONG maxY = std::max<LONG>(0, m_total.cy - rc.bottom);
    pos.x = std::min(std::max<LONG>(0, pos.x), maxX);
    pos.y = std::min(std::max<LONG>(0, pos.y), maxY);
    if (pos.x == m_pos.x && pos.y == m_pos.y) return;
    m_pos = pos;
    SetScrollPos(m_hwnd, SB_HORZ, m_pos.x, TRUE);
    SetScrollPos(m_hwnd, SB_VERT, m_pos.y, TRUE);
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CFwScrollView::UpdateBars() {
    if (!m_hwnd) return;
    // Showing one bar narrows the client area and may call for the other: settle in two passes.
    for (int pass = 0; pass < 2; pass++) {
        RECT rc = FwClientRect(m_hwnd);
        SCROLLINFO si = {};
        si.cbSize = sizeof(si);
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = m_total.cx > rc.right ? m_total.cx - 1 : 0;
        si.nPage = m_total.cx > rc.right ? UINT(rc.right) : 0;
        m_pos.x = std::min<LONG>(m_pos.x, std::max<LONG>(0, m_total.cx - rc.right));
        si.nPos = m_pos.x;
        SetScrollInfo(m_hwnd, SB_HORZ, &si, TRUE);
        si.nMax = m_total.cy > rc.bottom ? m_total.cy - 1 : 0;
        si.nPage = m_total.cy > rc.bottom ? UINT(rc.bottom) : 0;
        m_pos.y = std::min<LONG>(m_pos.y, std::max<LONG>(0, m_total.cy - rc.bottom));
        si.nPos = m_pos.y;
        SetScrollInfo(m_hwnd, SB_VERT, &si, TRUE);
    }
}

void CFwScrollView::OnScroll(int bar, int code) {
    RECT rc = FwClientRect(m_hwnd);
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    GetScrollInfo(m_hwnd, bar, &si);
    const int page = bar == SB_HORZ ? rc.right : rc.bottom;
    const int line = 16;
    LONG pos = bar == SB_HORZ ? m_pos.x : m_pos.y;
    switch (code) {
    case SB_LINEUP:
        pos -= line;
        break;
    case SB_LINEDOWN:
        pos += line;
        break;
    case SB_PAGEUP:
        pos -= page;
        break;
    case SB_PAGEDOWN:
        pos += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        pos = si.nTrackPos;
        break;
    case SB_TOP:
        pos = 0;
        break;
    case SB_BOTTOM:
        pos = bar == SB_HORZ ? m_total.cx : m_total.cy;
        break;
    default:
        return;
    }
    POINT p = m_pos;
    (bar == SB_HORZ ? p.x : p.y) = pos;
    ScrollToPosition(p);
}

void CFwScrollView::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hwnd, &ps);
    SetViewportOrgEx(hdc, -m_pos.x, -m_pos.y, nullptr);
    OnDraw(hdc, false);
    EndPaint(m_hwnd, &ps);
}

LRESULT CFwScrollView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_HSCROLL:
        OnScroll(SB_HORZ, LOWORD(wParam));
        return 0;
    case WM_VSCROLL:
        OnScroll(SB_VERT, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        POINT p = m_pos;
        p.y -= GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 48;
        ScrollToPosition(p);
        return 0;
    }
    case WM_SIZE:
        UpdateBars();
        break;
    default:
        break;
    }
    return CFwView::WindowProc(msg, wParam, lParam);
}
