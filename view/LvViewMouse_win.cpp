#include "view/LvView_win.h"

#include "app/LvApp_win.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "app/LvToolBar_win.h"
#include "image/LvScopedWin.h"
#include "res/resource.h"
#include "view/LvMouseTools.h"

#include <windowsx.h>

#include <algorithm>

namespace {

const UINT_PTR kAntTimer = 1;
const UINT kAntPeriod = 333;
const int kWheelStep = 48; // pixels per notch of the wheel

CMainFrame* Frame() {
    return CLumivueApp::Get() ? CLumivueApp::Get()->Frame() : nullptr;
}

HCURSOR ToolCursor(int id) {
    return LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

// Sets the cursor unless it is shown already (the pointer moves many times a second).
void ShowCursorShape(HCURSOR cursor) {
    if (GetCursor() != cursor) SetCursor(cursor);
}

int CursorOfTool(int tool) {
    switch (tool) {
    case kLvToolMove:
        return IDR_CURSOR_MOVE;
    case kLvToolSelect:
    case kLvToolRectSelection:
    case kLvToolEllipseSelection:
        return IDR_CURSOR_SELECT;
    case kLvToolZoom:
        return IDR_CURSOR_ZOOM;
    case kLvToolPickColor:
        return IDR_CURSOR_PICK;
    default:
        return 0;
    }
}

// The commands of the view's context menu, in order.
const int kContextCommands[] = {ID_EDIT_UNDO,         ID_EDIT_REDO,          ID_EDIT_COPY,    ID_EDIT_PASTE,
                                ID_ADJUST_GRAY_SCALE, ID_TRANS_MIRROR,       ID_TRANS_FLIP,   ID_ADJUST_NEGATIVE,
                                ID_TRANS_ROTATE_LEFT, ID_TRANS_ROTATE_RIGHT, ID_TRANS_ROTATE, ID_TRANS_CROP};
const wchar_t kContextMenuTitle[] = L"CLvImage";

} // namespace

CLvImage* CLvView::EditableImage() const {
    CLvDoc* doc = GetDoc();
    if (!doc || doc->IsBusy() || !doc->m_image || !doc->m_image->IsValid()) return nullptr;
    return doc->m_image.get();
}

bool CLvView::RemoveSelection() {
    CLvDoc* doc = GetDoc();
    CLvImage* image = EditableImage();
    if (!doc || !image || !image->pSelection) return false;
    KillTimer(m_hwnd, kAntTimer);
    doc->m_selPoints.clear();
    m_antPhase = 0;
    image->SelectionDelete();
    InvalidateRect(m_hwnd, nullptr, FALSE);
    return true;
}

bool CLvView::OnSetCursor(LPARAM lParam) {
    CLvDoc* doc = GetDoc();
    if (LOWORD(lParam) != HTCLIENT || !doc) return false;
    const int id = CursorOfTool(doc->m_toolMode);
    if (!id) return false;
    SetCursor(ToolCursor(id));
    return true;
}

void CLvView::OnMouseMove(int px, int py, WPARAM keys) {
    CLvDoc* doc = GetDoc();
    const CLvImage* image = doc ? doc->DisplayImage() : nullptr;
    // While a command runs the picture is being changed: no read-out, no tools.
    if (!image || doc->IsBusy()) return;
    if (m_drag == kDragBand) {
        DrawBand();
        m_bandEnd = {px, py};
        DrawBand();
    }
    const LvPoint p = WindowToImage(px, py);
    if (!LvInsideImage(p.x, p.y, image->GetWidth(), image->GetHeight())) return;
    const RGBQUAD color = image->GetPixelColor(p.x, image->GetHeight() - 1 - p.y);
    if (CMainFrame* frame = Frame()) frame->ColorBar().ShowReadout(LvMakeReadout(color, p.x, p.y), color);
    if (!(keys & MK_LBUTTON)) return;
    if (m_drag == kDragMove) {
        ShowCursorShape(ToolCursor(IDR_CURSOR_MOVE_DRAG));
        const RECT rc = FwClientRect(m_hwnd);
        POINT pos;
        pos.x = LvDragScroll(m_dragScroll.x, m_dragPoint.x, px, m_total.cx, rc.right);
        pos.y = LvDragScroll(m_dragScroll.y, m_dragPoint.y, py, m_total.cy, rc.bottom);
        ScrollToPosition(pos);
    } else if (m_drag == kDragFreehand) {
        ShowCursorShape(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS)));
        LvAddFreehandPoint(doc->m_selPoints, p);
        // Only the new piece: the whole outline on every move would cost the square of its length.
        if (doc->m_selPoints.size() >= 2) DrawOutline(doc->m_selPoints.size() - 2);
    }
}

void CLvView::OnLButtonDown(int px, int py) {
    CLvDoc* doc = GetDoc();
    if (!doc) return;
    SetFocus(m_hwnd);
    CLvImage* image = EditableImage();
    switch (doc->m_toolMode) {
    case kLvToolMove:
        if (doc->DisplayImage()) {
            m_dragScroll = m_pos;
            m_dragPoint = {px, py};
            m_drag = kDragMove;
            SetCapture(m_hwnd);
        }
        break;
    case kLvToolSelect:
        if (image) {
            RemoveSelection();
            doc->m_selPoints.clear();
            m_drag = kDragFreehand;
            SetCapture(m_hwnd);
            m_dragDc = GetDC(m_hwnd);
        }
        break;
    case kLvToolZoom:
        ZoomAbout(ID_VIEW_ZOOM_IN, {px, py});
        break;
    case kLvToolRectSelection:
    case kLvToolEllipseSelection:
        // A click on a selected picture only removes the selection; the next one starts a rubber band.
        if (image && !RemoveSelection()) {
            m_dragPoint = {px, py};
            m_bandEnd = m_dragPoint;
            m_drag = kDragBand;
            SetCapture(m_hwnd);
            DrawBand();
        }
        break;
    case kLvToolPickColor:
        if (image) {
            const LvPoint p = WindowToImage(px, py);
            if (LvInsideImage(p.x, p.y, image->GetWidth(), image->GetHeight()) && Frame())
                Frame()->ColorBar().SetForeground(image->GetPixelColor(p.x, image->GetHeight() - 1 - p.y));
        }
        break;
    default:
        break;
    }
    m_antPhase = 0;
}

void CLvView::OnLButtonUp() {
    const Drag drag = m_drag;
    if (drag == kDragBand) FinishBand();
    if (drag == kDragFreehand) FinishFreehand();
    m_drag = kDragNone;
    if (GetCapture() == m_hwnd) ReleaseCapture();
}

void CLvView::EndDrag() {
    if (m_drag == kDragBand) DrawBand(); // takes the band off the window
    if (m_drag == kDragFreehand) FinishFreehand();
    m_drag = kDragNone;
}

void CLvView::DrawBand() {
    // Drawn by inverting, so that a second drawing takes it away.
    ScopedGetDC dc(m_hwnd);
    if (!dc) return;
    RECT rc = {std::min(m_dragPoint.x, m_bandEnd.x), std::min(m_dragPoint.y, m_bandEnd.y),
               std::max(m_dragPoint.x, m_bandEnd.x), std::max(m_dragPoint.y, m_bandEnd.y)};
    CLvDoc* doc = GetDoc();
    if (doc && doc->m_toolMode == kLvToolEllipseSelection) {
        const int rop = SetROP2(dc.Get(), R2_NOT);
        ScopedSelectObject brush(dc.Get(), GetStockObject(NULL_BRUSH));
        Ellipse(dc.Get(), rc.left, rc.top, rc.right + 1, rc.bottom + 1);
        SetROP2(dc.Get(), rop);
    }
    DrawFocusRect(dc.Get(), &rc);
    m_bandShown = !m_bandShown;
}

void CLvView::FinishBand() {
    if (m_bandShown) DrawBand();
    m_bandShown = false;
    CLvDoc* doc = GetDoc();
    CLvImage* image = EditableImage();
    if (!doc || !image) return;
    LvBox box = LvBandBox(WindowToImage(m_dragPoint.x, m_dragPoint.y), WindowToImage(m_bandEnd.x, m_bandEnd.y));
    const int w = image->GetWidth(), h = image->GetHeight();
    const bool ellipse = doc->m_toolMode == kLvToolEllipseSelection;
    if (!ellipse) {
        // A rectangle reaching past the picture selects up to its edge, and its outline stays on it.
        box.left = std::max(box.left, 0);
        box.top = std::max(box.top, 0);
        box.right = std::min(box.right, w);
        box.bottom = std::min(box.bottom, h);
    }
    if (box.Empty()) return; // a click without a drag, or a band beside the picture
    if (!image->SelectionCreate()) return;
    bool ok;
    if (ellipse) {
        ok = image->SelectionAddEllipse(box.left, h - box.top, box.right, h - box.bottom);
        doc->m_selPoints = LvEllipseOutline(box.left, box.top, box.right, box.bottom);
    } else {
        ok = image->SelectionAddRect(box.left, h - box.top, box.right, h - box.bottom);
        doc->m_selPoints = LvRectOutline(box.left, box.top, box.right - 1, box.bottom - 1);
    }
    if (!ok) {
        image->SelectionDelete();
        doc->m_selPoints.clear();
    } else {
        SetTimer(m_hwnd, kAntTimer, kAntPeriod, nullptr);
    }
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

void CLvView::FinishFreehand() {
    CLvDoc* doc = GetDoc();
    CLvImage* image = EditableImage();
    m_drag = kDragNone;
    if (m_dragDc) ReleaseDC(m_hwnd, m_dragDc);
    m_dragDc = nullptr;
    if (!doc || !image) return;
    const std::vector<LvPoint> polygon = LvFreehandPolygon(doc->m_selPoints, image->GetHeight());
    if (polygon.empty()) {
        image->SelectionDelete();
        doc->m_selPoints.clear();
    } else {
        doc->m_selPoints.push_back(doc->m_selPoints.front());
        std::vector<POINT> points(polygon.size());
        for (size_t i = 0; i < polygon.size(); i++)
            points[i] = {polygon[i].x, polygon[i].y};
        if (image->SelectionCreate() && image->SelectionAddPolygon(points.data(), int(points.size()))) {
            SetTimer(m_hwnd, kAntTimer, kAntPeriod, nullptr);
        } else {
            image->SelectionDelete();
            doc->m_selPoints.clear();
        }
    }
    InvalidateRect(m_hwnd, nullptr, FALSE);
}

bool CLvView::OnRButtonDown() {
    CLvDoc* doc = GetDoc();
    if (!doc || doc->m_toolMode != kLvToolZoom) return false;
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(m_hwnd, &p);
    ZoomAbout(ID_VIEW_ZOOM_OUT, p);
    return true;
}

void CLvView::OnContextMenu(LPARAM lParam) {
    CLvDoc* doc = GetDoc();
    CMainFrame* frame = Frame();
    if (!doc || !frame || doc->m_toolMode == kLvToolZoom) return;
    POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) { // from the keyboard: at the view's corner
        at = {0, 0};
        ClientToScreen(m_hwnd, &at);
    }
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    if (!bar || !popup) {
        if (bar) DestroyMenu(bar);
        if (popup) DestroyMenu(popup);
        return;
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), kContextMenuTitle);
    for (int id : kContextCommands)
        AppendMenuW(popup, MF_STRING, UINT_PTR(id), LvUtf8ToWide(LvCommandText(id)).c_str());
    // The main window hears the menu's opening (for the items' states) and receives the chosen command.
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, frame->GetHwnd(), nullptr);
    DestroyMenu(bar);
}

void CLvView::ZoomAbout(int command, POINT client) {
    CLvDoc* doc = GetDoc();
    if (!doc || !doc->DisplayImage()) return;
    CFwCmdUI ui;
    ui.id = command;
    if (!doc->OnUpdateCommand(ui) || !ui.enabled) return;
    const LvLayout before = LvComputeLayout(Input());
    const float oldScale = LvDrawScale(doc->m_fitMode, doc->m_zoom, before.fitFactor);
    const POINT oldPos = m_pos;
    doc->OnCommand(command);
    // The child window may have been resized to the new size: lay out again before scrolling.
    const LvLayout after = LvComputeLayout(Input());
    const float newScale = LvDrawScale(doc->m_fitMode, doc->m_zoom, after.fitFactor);
    SetScrollSizes(after.scrollW, after.scrollH);
    POINT pos;
    pos.x = LvScrollKeepingPoint(oldPos.x, client.x, before.drawX, oldScale, after.drawX, newScale);
    pos.y = LvScrollKeepingPoint(oldPos.y, client.y, before.drawY, oldScale, after.drawY, newScale);
    ScrollToPosition(pos);
}

void CLvView::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    if (notches == 0) return;
    if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
        POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hwnd, &p);
        for (int i = 0; i < std::abs(notches); i++)
            ZoomAbout(notches > 0 ? ID_VIEW_ZOOM_IN : ID_VIEW_ZOOM_OUT, p);
        return;
    }
    POINT pos = m_pos;
    if (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT)
        pos.x -= notches * kWheelStep;
    else
        pos.y -= notches * kWheelStep;
    ScrollToPosition(pos);
}

bool CLvView::OnKeyDown(WPARAM key) {
    // The arrow keys scroll a line, as the scroll bars' arrows do.
    static const struct {
        WPARAM key;
        int bar, code;
    } kArrows[] = {{VK_LEFT, SB_HORZ, SB_LINEUP},
                   {VK_RIGHT, SB_HORZ, SB_LINEDOWN},
                   {VK_UP, SB_VERT, SB_LINEUP},
                   {VK_DOWN, SB_VERT, SB_LINEDOWN}};
    for (const auto& arrow : kArrows) {
        if (arrow.key != key) continue;
        OnScroll(arrow.bar, arrow.code);
        return true;
    }
    return false;
}
