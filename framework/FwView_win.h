#pragma once

#include "framework/FwDocument.h"
#include "framework/FwWnd_win.h"

// A view window of a document: painted by OnDraw, told of changes by OnUpdate.
class CFwView : public CFwWnd, public CFwViewBase {
public:
    bool CreateView(HWND parent, CFwDocument* doc);
    CFwDocument* GetDocument() const { return m_doc; }
    // After the document is loaded: a first OnUpdate with hint 0.
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
    void OnUpdate(CFwViewBase* sender, long hint) override;
    // Paints onto hdc; printing is true for a printer's device context.
    virtual void OnDraw(HDC hdc, bool printing) = 0;
    // The frame window that holds the view.
    HWND ParentFrame() const { return m_hwnd ? GetParent(m_hwnd) : nullptr; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual void OnPaint();
    void PostNcDestroy() override;

    CFwDocument* m_doc = nullptr;
    bool m_autoDelete = false; // set once the window exists: the window then owns the object
};

// A view that scrolls over a drawing of a given size, in pixels. OnDraw paints in scrolled coordinates:
// the device context's origin is moved by the scroll position.
class CFwScrollView : public CFwView {
public:
    void SetScrollSizes(int width, int height);
    SIZE GetTotalSize() const { return m_total; }
    POINT GetScrollPosition() const { return m_pos; }
    void ScrollToPosition(POINT pos);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    void UpdateBars();
    void OnScroll(int bar, int code);

    SIZE m_total = {0, 0};
    POINT m_pos = {0, 0};
};

extern const wchar_t kFwViewClass[];
