#pragma once

#include "LvTestUtil.h"
#include "app/LvApp_win.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "res/resource.h"
#include "view/LvView_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// The program's windows in the test process: the application and its main frame are made as the program
// makes them; commands are sent as the menu sends them; modal dialogs are answered through their windows.
class GuiTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The application and its main window, made as the program makes them (SetUp does it once).
    void StartProgram();

    CMainFrame* Frame() const { return m_app->Frame(); }
    HWND FrameHwnd() const { return Frame()->GetHwnd(); }
    CLvDoc* ActiveDoc() const;
    CLvView* ActiveView() const;
    std::vector<CLvDoc*> Docs() const;
    // The open document of that title, or null.
    CLvDoc* DocTitled(const std::string& title) const;
    CLvDoc* Open(const std::string& path);
    // Sends WM_COMMAND as a menu item does.
    void Command(int id);
    // The state of a command's item in the frame's current menu, as the menu shows it when it opens.
    struct ItemState {
        bool found, enabled, checked;
    };
    ItemState MenuItem(int id);
    // Handles messages until the document's command and its progress watcher are over.
    void WaitIdle(CLvDoc* doc);
    // Handles messages until cond holds (at most a minute); false when it never did.
    bool PumpUntil(const std::function<bool()>& cond);
    // The child window's client size.
    SIZE ChildClientSize(CLvDoc* doc) const;

    CLumivueApp* m_app = nullptr;
    TempDir m_dir;
};

// Answers the modal dialogs that a command opens, in order: each answer waits for a dialog of the thread
// whose caption matches and acts on it (set controls, press a button). Dialogs nobody expects are
// cancelled and recorded.
class DialogAnswers {
public:
    typedef std::function<void(HWND)> Action;
    DialogAnswers();
    ~DialogAnswers();
    void Expect(const std::string& caption, Action action);
    bool AllAnswered() const { return m_next >= m_answers.size(); }
    const std::vector<std::string>& Unexpected() const { return m_unexpected; }
    // Texts of the message boxes answered.
    const std::vector<std::string>& Texts() const { return m_texts; }

    // Common actions.
    static void Press(HWND dialog, int id);
    static std::string DialogText(HWND dialog);
    // A file dialog: types the name and presses OK.
    static Action TypeFileName(const std::string& path);
    static Action PressButton(int id);

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Poll();
    struct Answer {
        std::string caption;
        Action action;
    };
    std::vector<Answer> m_answers;
    size_t m_next = 0;
    std::vector<std::string> m_unexpected;
    std::vector<std::string> m_texts;
    std::vector<HWND> m_handled;
    UINT_PTR m_timer = 0;
};

// A picture file made for a test: a pattern of the given size and depth in the given format.
std::string MakePicture(const TempDir& dir, const std::string& name, int width, int height, int bpp, DWORD format);

// The screen's pixels of a window's client area (of any process), row by row from the top; empty when the
// window has no area.
std::vector<RGBQUAD> ScreenPixels(HWND hwnd, int& width, int& height);
