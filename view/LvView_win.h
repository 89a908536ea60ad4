#pragma once

#include "framework/FwView_win.h"
#include "view/LvViewGeometry.h"

class CLvDoc;

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

    LvLayout m_layout;
    HBRUSH m_bkBrush = nullptr;
    HDC m_antDc = nullptr;
};
