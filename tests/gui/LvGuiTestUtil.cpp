#include "LvGuiTestUtil.h"

#include "image/LvScopedWin.h"

#include <chrono>

namespace {
int g_instance = 0;
DialogAnswers* g_answers = nullptr;
} // namespace

void GuiTest::SetUp() {
    // Every test starts from the main window's defaults: a test that closes the window the way a user does
    // stores its bars and place for the next start.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quillmarsh\\Lumivue\\Main Window");
    StartProgram();
}

void GuiTest::StartProgram() {
    m_app = new CLumivueApp();
    // A name of its own, so that no test sees another test's instance.
    m_app->SetInstanceName("LumivueGuiTest" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++g_instance));
    ASSERT_TRUE(m_app->InitInstance());
    ASSERT_NE(Frame(), nullptr);
}

void GuiTest::TearDown() {
    if (!m_app) return;
    if (Frame() && Frame()->GetHwnd()) {
        m_app->CloseAllDocuments();
        DestroyWindow(Frame()->GetHwnd());
    }
    // The frame's end posts WM_QUIT: take it out of the queue with everything before it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    m_app->ExitInstance();
    delete m_app;
    m_app = nullptr;
}

CLvDoc* GuiTest::ActiveDoc() const {
    return dynamic_cast<CLvDoc*>(Frame()->ActiveDocument());
}

CLvView* GuiTest::ActiveView() const {
    return dynamic_cast<CLvView*>(Frame()->ActiveView());
}

std::vector<CLvDoc*> GuiTest::Docs() const {
    std::vector<CLvDoc*> docs;
    for (CFwDocument* d : m_app->AllDocuments())
        docs.push_back(dynamic_cast<CLvDoc*>(d));
    return docs;
}

CLvDoc* GuiTest::DocTitled(const std::string& title) const {
    for (CLvDoc* doc : Docs())
        if (doc->GetTitle() == title) return doc;
    return nullptr;
}

CLvDoc* GuiTest::Open(const std::string& path) {
    CLvDoc* doc = dynamic_cast<CLvDoc*>(m_app->OpenDocumentFile(path));
    m_app->PumpWaitingMessages();
    return doc;
}

void GuiTest::Command(int id) {
    SendMessageW(FrameHwnd(), WM_COMMAND, WPARAM(id), 0);
}

namespace {
bool FindItem(HMENU menu, int id, HMENU& popup, int& position) {
    int n = GetMenuItemCount(menu);
    for (int i = 0; i < n; i++) {
        HMENU sub = GetSubMenu(menu, i);
        if (sub) {
            if (FindItem(sub, id, popup, position)) return true;
        } else if (int(GetMenuItemID(menu, i)) == id) {
            popup = menu;
            position = i;
            return true;
        }
    }
    return false;
}
} // namespace

GuiTest::ItemState GuiTest::MenuItem(int id) {
    ItemState s = {false, false, false};
    HMENU popup = nullptr;
    int position = 0;
    if (!FindItem(GetMenu(FrameHwnd()), id, popup, position)) return s;
    SendMessageW(FrameHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    UINT state = GetMenuState(popup, UINT(position), MF_BYPOSITION);
    s.found = true;
    s.enabled = !(state & (MF_GRAYED | MF_DISABLED));
    s.checked = (state & MF_CHECKED) != 0;
    return s;
}

bool GuiTest::PumpUntil(const std::function<bool()>& cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(int(msg.wParam));
                return cond();
            }
            if (!m_app->PreTranslateMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    return true;
}

void GuiTest::WaitIdle(CLvDoc* doc) {
    ASSERT_TRUE(PumpUntil([doc] { return !doc->IsBusy() && !doc->m_progressThread.load(); }));
    m_app->PumpWaitingMessages();
}

SIZE GuiTest::ChildClientSize(CLvDoc* doc) const {
    SIZE s = {0, 0};
    CLvView* view = dynamic_cast<CLvView*>(doc->FirstView());
    if (!view) return s;
    RECT rc = FwClientRect(view->ParentFrame());
    s.cx = rc.right;
    s.cy = rc.bottom;
    return s;
}

// ---- dialog answers ----

DialogAnswers::DialogAnswers() {
    g_answers = this;
    m_timer = SetTimer(nullptr, 0, 30, OnTimer);
}

DialogAnswers::~DialogAnswers() {
    KillTimer(nullptr, m_timer);
    g_answers = nullptr;
}

void DialogAnswers::Expect(const std::string& caption, Action action) {
    m_answers.push_back({caption, std::move(action)});
}

void CALLBACK DialogAnswers::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_answers) g_answers->Poll();
}

namespace {
BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM param) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
} // namespace

void DialogAnswers::Poll() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND dialog : dialogs) {
        if (std::find(m_handled.begin(), m_handled.end(), dialog) != m_handled.end()) continue;
        // Only the dialog that has the input: an owner waiting for its own modal dialog is disabled.
        if (!IsWindowEnabled(dialog)) continue;
        m_handled.push_back(dialog);
        const std::string caption = FwWindowText(dialog);
        m_texts.push_back(DialogText(dialog));
        if (m_next < m_answers.size() && caption == m_answers[m_next].caption) {
            Action action = m_answers[m_next++].action;
            action(dialog);
        } else {
            m_unexpected.push_back(caption + ": " + DialogText(dialog));
            fprintf(stderr, "unexpected dialog: %s\n", m_unexpected.back().c_str());
            Press(dialog, IDCANCEL);
        }
        return;
    }
}

void DialogAnswers::Press(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    // A real button is clicked as the mouse clicks it; without one the command goes to the dialog.
    if (button && IsWindowEnabled(button))
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

std::string DialogAnswers::DialogText(HWND dialog) {
    // A message box keeps its text in the static control 0xFFFF.
    HWND text = GetDlgItem(dialog, 0xFFFF);
    return text ? FwWindowText(text) : std::string();
}

DialogAnswers::Action DialogAnswers::TypeFileName(const std::string& path) {
    return [path](HWND dialog) {
        // The explorer-style dialog's name box is the combo box 0x47C; older ones have the edit 0x480.
        HWND box = GetDlgItem(dialog, 0x47C);
        if (!box) box = GetDlgItem(dialog, 0x480);
        FwSetWindowText(box, path);
        Press(dialog, IDOK);
    };
}

DialogAnswers::Action DialogAnswers::PressButton(int id) {
    return [id](HWND dialog) { Press(dialog, id); };
}

std::string MakePicture(const TempDir& dir, const std::string& name, int width, int height, int bpp, DWORD format) {
    CLvImage image(width, height, bpp);
    FillPattern(image, unsigned(width * 7 + height + bpp));
    const std::string path = dir.Path(name);
    if (!image.Encode(path.c_str(), format)) return std::string();
    return path;
}

// The screen's pixels of a window's client area, row by row from the top.
std::vector<RGBQUAD> ScreenPixels(HWND hwnd, int& width, int& height) {
    RECT rc = FwClientRect(hwnd);
    width = rc.right;
    height = rc.bottom;
    std::vector<RGBQUAD> pixels;
    if (width <= 0 || height <= 0) return pixels;
    ScopedGetDC screen(nullptr);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdiObj<HBITMAP> dib(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ScopedMemDC mem(screen.Get());
    if (!dib || !bits || !mem) return pixels;
    {
        ScopedSelectObject select(mem.Get(), dib.Get());
        BitBlt(mem.Get(), 0, 0, width, height, screen.Get(), origin.x, origin.y, SRCCOPY);
        GdiFlush();
    }
    const RGBQUAD* p = static_cast<const RGBQUAD*>(bits);
    pixels.assign(p, p + size_t(width) * size_t(height));
    return pixels;
}
