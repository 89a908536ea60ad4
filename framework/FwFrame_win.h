#pragma once

#include "framework/FwCommand.h"
#include "framework/FwWnd_win.h"

class CFwDocument;
class CFwView;

// The MDI main window: the MDI client area, the menus (a default one and the document template's, swapped as
// child windows come and go), command routing for menus and accelerators, and menu states when a menu opens.
class CFwMDIFrame : public CFwWnd, public CFwCmdTarget {
public:
    bool CreateFrame(const wchar_t* title, DWORD style, HMENU defaultMenu, HICON icon);
    HWND MdiClient() const { return m_mdiClient; }
    HWND MdiActiveHwnd() const;
    // The active child's view window's object, or null.
    CFwView* ActiveView() const;
    CFwDocument* ActiveDocument() const;
    HMENU DefaultMenu() const { return m_defaultMenu; }
    // The template's menu shown while child windows exist, and its Window popup for the child list.
    void SetSharedMenu(HMENU menu) { m_sharedMenu = menu; }
    HMENU SharedMenu() const { return m_sharedMenu; }
    void OnChildActivated(HWND child);
    // Sets the title: the program name, and " - " with the active document's title when there is one.
    virtual void OnUpdateFrameTitle();
    // Menu items of a popup get their enabled and checked state from the command chain.
    void UpdateMenuPopup(HMENU popup);
    // Lays out the bars and the MDI client area.
    virtual void RecalcLayout();
    void SetAppTitle(const std::string& title) { m_appTitle = title; }
    // When the message queue runs empty: bars show the commands' current states.
    virtual void OnIdleUpdate() {}

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Called from WM_CREATE after the MDI client exists: the frame's own bars.
    virtual bool OnCreateBars() { return true; }
    // The area left for the MDI client after the bars.
    virtual RECT ClientAreaForMdi();
    virtual void OnFramePreDestroy() {}
    static HMENU WindowPopupOf(HMENU menu);

    HWND m_mdiClient = nullptr;
    HMENU m_defaultMenu = nullptr;
    HMENU m_sharedMenu = nullptr;
    std::string m_appTitle;
};

// An MDI child window holding one view of one document.
class CFwMDIChild : public CFwWnd, public CFwCmdTarget {
public:
    // Creates the child (hidden) and its view; on success the child and the view belong to their windows,
    // on failure nothing is left and the caller still owns both objects.
    bool CreateChild(CFwMDIFrame* frame, CFwDocument* doc, CFwView* view, const std::string& title);
    CFwView* View() const { return m_view; }
    CFwDocument* Document() const { return m_doc; }
    // The framework's close: the save prompt for the last frame of a modified document.
    void OnClose();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override {
        if (m_autoDelete) delete this;
    }

    bool m_autoDelete = false; // set once the window exists with its view: the window then owns the object
    CFwMDIFrame* m_frame = nullptr;
    CFwDocument* m_doc = nullptr;
    CFwView* m_view = nullptr;
};

extern const wchar_t kFwFrameClass[];
extern const wchar_t kFwChildClass[];
