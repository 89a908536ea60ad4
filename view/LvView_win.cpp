#include "view/LvView_win.h"

#include "app/LvApp_win.h"
#include "app/LvDocRules.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "image/LvScopedWin.h"
#include "res/resource.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace {
// The selection outline's marching ants.
const UINT_PTR kAntTimer = 1;

CMainFrame* Frame() {
    return CLumivueApp::Get() ? CLumivueApp::Get()->Frame() : nullptr;
}
} // namespace

CLvDoc* CLvView::GetDoc() const {
    return dynamic_cast<CLvDoc*>(m_doc);
}

LvViewInput CLvView::Input() const {
    LvViewInput in;
    const CLvDoc* doc = GetDoc();
    const CLvImage* image = doc ? doc->DisplayImage() : nullptr;
    if (image) {
        in.imageW = image->GetWidth();
        in.imageH = image->GetHeight();
    }
    if (doc) {
        in.zoom = doc->m_zoom;
        in.fitMode = doc->m_fitMode;
    }
    RECT rc = FwClientRect(m_hwnd);
    in.clientW = rc.right;
    in.clientH = rc.bottom;
    in.fullScreen = Frame() && Frame()->IsFullScreen();
    in.screenW = GetSystemMetrics(SM_CXSCREEN);
    in.screenH = GetSystemMetrics(SM_CYSCREEN);
    return in;
}

LvPoint CLvView::WindowToImage(int px, int py) const {
    return LvWindowToImage(Input(), m_layout, px, py, m_pos.x, m_pos.y);
}

LvPoint CLvView::ImageToWindow(int x, int y) const {
    return LvImageToWindow(Input(), m_layout, x, y, m_pos.x, m_pos.y);
}

void CLvView::OnInitialUpdate() {
    if (!m_bkBrush) m_bkBrush = CreateSolidBrush(RGB(0, 0, 0));
    SetScrollSizes(0, 0);
    OnUpdate(nullptr, WM_DOC_REFRESH);
}

void CLvView::OnUpdate(CFwViewBase*, long hint) {
    CLvDoc* doc = GetDoc();
    const CLvImage* image = doc ? doc->DisplayImage() : nullptr;
    if (hint == WM_DOC_REFRESH) {
        HWND frame = ParentFrame();
        HWND client = frame ? GetParent(frame) : nullptr;
        if (image && frame && client && IsWindowVisible(frame) && !IsIconic(frame) && !IsZoomed(frame)) {
            RECT fr, cr;
            GetWindowRect(frame, &fr);
            MapWindowPoints(nullptr, client, reinterpret_cast<POINT*>(&fr), 2);
            GetClientRect(client, &cr);
            int w = 0, h = 0;
            LvChildClientSize(LvZoomed(doc->m_zoom, image->GetWidth()), LvZoomed(doc->m_zoom, image->GetHeight()),
                              cr.right - fr.left - 12, cr.bottom - fr.top - 12, w, h);
            RECT want = {0, 0, w, h};
            AdjustWindowRectEx(&want, DWORD(GetWindowLongW(frame, GWL_STYLE)), FALSE,
                               DWORD(GetWindowLongW(frame, GWL_EXSTYLE)));
            SetWindowPos(frame, nullptr, 0, 0, want.right - want.left, want.bottom - want.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (!image || !image->pSelection)
            KillTimer(m_hwnd, kAntTimer);
        else if (doc->m_selPoints.size() > 2)
            SetTimer(m_hwnd, kAntTimer, 333, nullptr);
    } else if (doc) {
        const bool scrolls =
            doc->m_fitMode == kLvFitSize || doc->m_fitMode == kLvFitWidth || doc->m_fitMode == kLvFitHeight;
        if (scrolls && image)
            SetScrollSizes(LvZoomed(doc->m_zoom, image->GetWidth()), LvZoomed(doc->m_zoom, image->GetHeight()));
        else
            SetScrollSizes(0, 0);
    }
    CFwView::OnUpdate(nullptr, hint);
}

void CLvView::OnPaint() {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(m_hwnd, &ps);
    const RECT& rc = ps.rcPaint;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    CLvDoc* doc = GetDoc();
    // While a command starts, before its snapshot exists, the window keeps what it shows.
    const bool nothingToShow = doc && doc->IsBusy() && !doc->DisplayImage();
    if (w > 0 && h > 0 && !nothingToShow) {
        ScopedMemDC mem(hdc);
        ScopedGdiObj<HBITMAP> bitmap(CreateCompatibleBitmap(hdc, w, h));
        if (mem && bitmap) {
            ScopedSelectObject select(mem.Get(), bitmap.Get());
            RECT all = {0, 0, w, h};
            FillRect(mem.Get(), &all, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            SetViewportOrgEx(mem.Get(), -m_pos.x - rc.left, -m_pos.y - rc.top, nullptr);
            OnDraw(mem.Get(), false);
            SetViewportOrgEx(mem.Get(), 0, 0, nullptr);
            BitBlt(hdc, rc.left, rc.top, w, h, mem.Get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(m_hwnd, &ps);
}

void CLvView::OnDraw(HDC hdc, bool printing) {
    CLvDoc* doc = GetDoc();
    if (printing) {
        PrintOn(hdc);
        return;
    }
    if (!m_bkBrush) m_bkBrush = CreateSolidBrush(RGB(0, 0, 0));
    RECT rc = FwClientRect(m_hwnd);
    RECT fill = {m_pos.x, m_pos.y, m_pos.x + std::max<LONG>(rc.right, m_total.cx),
                 m_pos.y + std::max<LONG>(rc.bottom, m_total.cy)};
    SetBrushOrgEx(hdc, m_pos.x % 8, m_pos.y % 8, nullptr);
    FillRect(hdc, &fill, m_bkBrush);
    const CLvImage* image = doc ? doc->DisplayImage() : nullptr;
    if (image) {
        m_layout = LvComputeLayout(Input());
        doc->m_fitFactor = m_layout.fitFactor;
        if (m_layout.scrollW != m_total.cx || m_layout.scrollH != m_total.cy)
            SetScrollSizes(m_layout.scrollW, m_layout.scrollH);
        // Draw does not change the picture; the worker, when one runs, works on another one.
        const_cast<CLvImage*>(image)->Draw(hdc, m_layout.drawX, m_layout.drawY, m_layout.drawW, m_layout.drawH);
    }
    HWND frame = ParentFrame();
    if (doc && frame && Frame() && Frame()->MdiActiveHwnd() == frame) doc->UpdateStatusBar();
}

bool CLvView::PrintOn(HDC printer) {
    CLvDoc* doc = GetDoc();
    const CLvImage* image = doc ? doc->DisplayImage() : nullptr;
    if (!image) return false;
    const int xdpi = image->GetXDPI() > 0 ? image->GetXDPI() : 96;
    const int ydpi = image->GetYDPI() > 0 ? image->GetYDPI() : 96;
    const long long pw = (long long)image->GetWidth() * GetDeviceCaps(printer, LOGPIXELSX) / xdpi;
    const long long ph = (long long)image->GetHeight() * GetDeviceCaps(printer, LOGPIXELSY) / ydpi;
    CLvImage copy(*image, true, true, true);
    RGBQUAD white = {255, 255, 255, 0};
    copy.SetTransColor(white);
    copy.AlphaStrip();
    return copy.Stretch(printer, 100, 100, int(pw - 100), int(ph - 100));
}

void CLvView::OnFilePrint() {
    PRINTDLGW pd = {};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = Frame() ? Frame()->GetHwnd() : m_hwnd;
    pd.Flags = PD_RETURNDC | PD_ALLPAGES | PD_NOSELECTION | PD_NOPAGENUMS;
    if (!PrintDlgW(&pd) || !pd.hDC) return;
    std::wstring output;
    bool go = true;
    if (pd.Flags & PD_PRINTTOFILE) {
        // Printing to a file asks for the file's name.
        std::vector<wchar_t> buffer(MAX_PATH, L'\0');
        OPENFILENAMEW ofn = {};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = pd.hwndOwner;
        ofn.lpstrFilter = L"Printer files (*.prn)\0*.prn\0All files (*.*)\0*.*\0";
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrTitle = L"Print to File";
        ofn.lpstrDefExt = L"prn";
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        go = GetSaveFileNameW(&ofn) != FALSE;
        output = buffer.data();
    }
    if (go) {
        std::wstring title = LvUtf8ToWide(m_doc ? m_doc->GetTitle() : std::string("Lumivue"));
        DOCINFOW di = {};
        di.cbSize = sizeof(di);
        di.lpszDocName = title.c_str();
        di.lpszOutput = output.empty() ? nullptr : output.c_str();
        if (StartDocW(pd.hDC, &di) > 0) {
            bool ok = StartPage(pd.hDC) > 0;
            if (ok) {
                OnDraw(pd.hDC, true);
                ok = EndPage(pd.hDC) > 0;
            }
            if (ok)
                EndDoc(pd.hDC);
            else
                AbortDoc(pd.hDC);
        }
    }
    DeleteDC(pd.hDC);
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
}

void CALLBACK CLvView::AntPixel(int x, int y, LPARAM data) {
    CLvView* view = reinterpret_cast<CLvView*>(data);
    view->m_antCount++;
    if (view->m_antCount > 8) view->m_antCount = 1;
    SetPixelV(view->m_antDc, x, y, view->m_antCount <= 4 ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

void CLvView::OnTimer() {
    m_antPhase = (m_antPhase + 1) % 8;
    DrawOutline();
}

void CLvView::DrawOutline(size_t first) {
    CLvDoc* doc = GetDoc();
    if (!doc || (first == 0 && doc->m_selPoints.size() <= 2)) return;
    // While a free-hand drag goes on, the view keeps one device context for all its pieces.
    ScopedGetDC own(m_dragDc ? nullptr : m_hwnd);
    m_antDc = m_dragDc ? m_dragDc : own.Get();
    if (!m_antDc) return;
    // A part drawn after the rest continues its dashes.
    if (first == 0) m_antCount = m_antPhase;
    const std::vector<LvPoint>& p = doc->m_selPoints;
    for (size_t i = first; i + 1 < p.size(); i++) {
        LvPoint a = ImageToWindow(p[i].x, p[i].y), b = ImageToWindow(p[i + 1].x, p[i + 1].y);
        LineDDA(a.x, a.y, b.x, b.y, AntPixel, reinterpret_cast<LPARAM>(this));
    }
    m_antDc = nullptr;
}

void CLvView::OnChar(WPARAM ch) {
    CLvDoc* doc = GetDoc();
    if (ch == VK_ESCAPE) {
        if (Frame() && Frame()->IsFullScreen()) PostMessageW(Frame()->GetHwnd(), WM_COMMAND, ID_VIEW_FULL_SCREEN, 0);
        return;
    }
    if (!doc) return;
    if (ch == '*')
        doc->SetFitMode(kLvFitSize);
    else if (ch == '/')
        doc->SetFitMode(kLvFitImage);
    else if (ch == '=')
        doc->SetZoom(1.0f);
}

bool CLvView::OnUpdateCommand(CFwCmdUI& ui) {
    if (ui.id == ID_FILE_PRINT) {
        ui.Enable(GetDoc() && GetDoc()->DisplayImage() != nullptr);
        return true;
    }
    if (ui.id == ID_VIEW_SLIDE_SHOW) {
        ui.Enable(GetDoc() && GetDoc()->m_folderFiles.size() >= 2);
        ui.SetCheck(m_slideShow);
        return true;
    }
    if (ui.id == ID_SELECTION_INVERSE) {
        const CLvImage* image = EditableImage();
        ui.Enable(image && image->pSelection);
        return true;
    }
    return false;
}

bool CLvView::OnCommand(int id) {
    if (id == ID_FILE_PRINT) {
        OnFilePrint();
        return true;
    }
    if (id == ID_VIEW_SLIDE_SHOW) {
        OnSlideShow();
        return true;
    }
    if (id == ID_SELECTION_INVERSE) {
        if (CLvImage* image = EditableImage()) image->SelectionInvert();
        InvalidateRect(m_hwnd, nullptr, FALSE);
        return true;
    }
    return false;
}

LRESULT CLvView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SETFOCUS: {
        LRESULT r = CFwScrollView::WindowProc(msg, wParam, lParam);
        if (GetDoc()) GetDoc()->UpdateStatusBar();
        return r;
    }
    case WM_CHAR:
        OnChar(wParam);
        break;
    case WM_SETCURSOR:
        if (OnSetCursor(lParam)) return TRUE;
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp();
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != m_hwnd) EndDrag();
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (OnRButtonDown()) return 0;
        break;
    case WM_CONTEXTMENU:
        OnContextMenu(lParam);
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(wParam, lParam);
        return 0;
    case WM_KEYDOWN:
        if (OnKeyDown(wParam)) return 0;
        break;
    case WM_TIMER:
        if (wParam == kAntTimer) OnTimer();
        if (wParam == kLvSlideTimer) OnSlideTimer();
        return 0;
    case WM_DOC_OUT_OF_MEMORY:
        LvShowOutOfMemory();
        return 0;
    case WM_DOC_PROGRESS:
        if (CMainFrame* frame = Frame()) {
            frame->SetProgress(int(wParam));
            frame->SetProgressText(LvProgressText(int(wParam)));
        }
        return 0;
    case WM_DOC_REFRESH:
        if (CLvDoc* doc = GetDoc()) {
            doc->OnCommandDone();
            doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
            doc->UpdateStatusBar();
        }
        return 0;
    case WM_DESTROY:
        KillTimer(m_hwnd, kAntTimer);
        if (m_slideShow) StopSlideShow();
        if (m_bkBrush) DeleteObject(m_bkBrush);
        m_bkBrush = nullptr;
        break;
    default:
        break;
    }
    return CFwScrollView::WindowProc(msg, wParam, lParam);
}
