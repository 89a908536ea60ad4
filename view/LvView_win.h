#pragma once

#include "framework/FwView_win.h"
#include "view/LvViewGeometry.h"

class CLvDoc;
class CLvImage;

// The slide show's timer, and the slide index the whole program shares (0 at start).
const UINT_PTR kLvSlideTimer = 2;
int& LvSharedSlideIndex();

// The image view: the picture centred on black at the document's fit mode and zoom, drawn through an
// off-screen bitmap; the child window sized to the picture after each change; the animated selection
// outline; printing; the worker's progress and refresh messages.
class CLvView : public CFwScrollView {
public:
    CLvDoc* GetDoc() const;
    void OnUpdate(CFwViewBase* sender, long hint) override;
    void OnDraw(HDC hdc, bool printing) override;
    void OnInitialUpdate() override;
    LvPoint WindowToImage(int px, int py) const;
    LvPoint ImageToWindow(int x, int y) const;
    const LvLayout& Layout() const { return m_layout; }
    // Prints the picture on a printer's device context (a started document).
    bool PrintOn(HDC printer);
    void OnFilePrint();

    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;

    // Removes the picture's selection and its outline; true when there was one.
    bool RemoveSelection();

    int m_antCount = 0;
    int m_antPhase = 0;
    // The slide show (LvSlideShow_win.cpp): running, repeating, and its steps.
    bool m_slideShow = false;
    bool m_slideRepeat = false;
    void OnSlideShow();
    void StopSlideShow();
    void OnSlideTimer();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;

private:
    LvViewInput Input() const;
    void OnTimer();
    void OnChar(WPARAM ch);
    static void CALLBACK AntPixel(int x, int y, LPARAM data);
    // Draws the selection outline on the window, from its point first on.
    void DrawOutline(size_t first = 0);

    // ---- mouse tools (LvViewMouse_win.cpp) ----
    enum Drag { kDragNone, kDragMove, kDragFreehand, kDragBand };
    // The picture the tools may change: none without one or while a command changes it.
    CLvImage* EditableImage() const;
    bool OnSetCursor(LPARAM lParam);
    void OnMouseMove(int px, int py, WPARAM keys);
    void OnLButtonDown(int px, int py);
    void OnLButtonUp();
    bool OnRButtonDown();
    void OnContextMenu(LPARAM lParam);
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    bool OnKeyDown(WPARAM key);
    void ZoomAbout(int command, POINT client);
    void DrawBand();
    void FinishBand();
    void FinishFreehand();
    void EndDrag();

    LvLayout m_layout;
    HBRUSH m_bkBrush = nullptr;
    HDC m_antDc = nullptr;
    HDC m_dragDc = nullptr; // held from a free-hand drag's press to its end
    Drag m_drag = kDragNone;
    POINT m_dragScroll = {0, 0}; // the scroll position at the press
    POINT m_dragPoint = {0, 0};  // the pointer at the press
    POINT m_bandEnd = {0, 0};
    bool m_bandShown = false;
};
