#include "LvGuiTestUtil.h"

#include "acquire/LvAcquire.h"
#include "acquire/LvLogFile.h"
#include "image/LvScopedWin.h"

#include <commctrl.h>

#include <cstring>

namespace {

// A pop-up window without a frame whose column x is painted in ColumnColor(x).
RGBQUAD ColumnColor(int x) {
    return RGBQUAD{BYTE(200 - x), BYTE(x * 2), BYTE(x % 7 * 30), 0};
}

LRESULT CALLBACK StripesProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT rc = FwClientRect(hwnd);
        for (int x = 0; x < rc.right; x++) {
            const RGBQUAD c = ColumnColor(x);
            HBRUSH brush = CreateSolidBrush(RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
            RECT column = {x, 0, x + 1, rc.bottom};
            FillRect(hdc, &column, brush);
            DeleteObject(brush);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class StripesWindow {
public:
    StripesWindow(int x, int y, int width, int height, const wchar_t* title = L"Lumivue test stripes") {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = StripesProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumivueTestStripes";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, title, WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        UpdateWindow(m_hwnd);
    }
    ~StripesWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

// The clipboard's CF_DIB as an image; invalid when there is none.
CLvImage ClipboardImage(HWND owner) {
    CLvImage image;
    if (OpenClipboard(owner)) {
        if (HANDLE block = GetClipboardData(CF_DIB)) image.CreateFromHandle(static_cast<HGLOBAL>(block));
        CloseClipboard();
    }
    return image;
}

// Puts a picture and/or a text on the clipboard (either may be absent).
void SetClipboard(HWND owner, const CLvImage* image, const char* text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    if (image) {
        HGLOBAL block = image->CopyToHandle();
        ASSERT_NE(block, nullptr);
        EXPECT_NE(SetClipboardData(CF_DIB, block), nullptr);
    }
    if (text) {
        const size_t n = strlen(text) + 1;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, n);
        memcpy(GlobalLock(block), text, n);
        GlobalUnlock(block);
        EXPECT_NE(SetClipboardData(CF_TEXT, block), nullptr);
    }
    CloseClipboard();
}

CLvImage TestPicture(int width, int height) {
    CLvImage image(width, height, 24);
    FillPattern(image, unsigned(width * 31 + height));
    return image;
}

bool SamePixels(const CLvImage& a, const CLvImage& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++)
            if (!SameColor(a.GetPixelColor(x, y), b.GetPixelColor(x, y))) return false;
    return true;
}

class AcquireTest : public GuiTest {
protected:
    std::string Numbered(const char* prefix, int n) const { return prefix + std::to_string(n); }
    // Handles what is waiting, including the clipboard notifications that a change just caused.
    void Settle() {
        for (int i = 0; i < 5; i++) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            m_app->PumpWaitingMessages();
        }
    }
};

// ---- capture ----

TEST_F(AcquireTest, CaptureOfAWindowPartlyOffTheLeftTakesItsVisiblePart) {
    StripesWindow stripes(-40, 100, 120, 60);
    m_app->PumpWaitingMessages();
    const int n = m_app->m_imageCounter;
    ASSERT_EQ(Frame()->CaptureWindow(stripes.Get(), kLvCaptureToEditor), 1);
    CLvDoc* doc = DocTitled(Numbered("Captured Image ", n));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(m_app->m_imageCounter, n + 1);
    ASSERT_TRUE(doc->m_image && doc->m_image->IsValid());
    const CLvImage& image = *doc->m_image;
    ASSERT_EQ(image.GetWidth(), 80);
    ASSERT_EQ(image.GetHeight(), 60);
    // The first captured column is the window's column 40.
    for (int x : {0, 1, 39, 79})
        for (int row : {0, 30, 59})
            EXPECT_TRUE(SameColor(image.GetPixelColor(x, 59 - row), ColumnColor(x + 40)))
                << x << "," << row << ": " << ColorText(image.GetPixelColor(x, 59 - row));
    // The window is not left on top of the others.
    EXPECT_FALSE(GetWindowLongW(stripes.Get(), GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(AcquireTest, CaptureOfNothingTakesNothing) {
    StripesWindow stripes(-200, 100, 120, 60);
    const size_t docs = Docs().size();
    EXPECT_EQ(Frame()->CaptureWindow(stripes.Get(), kLvCaptureToEditor), 0);
    EXPECT_EQ(Frame()->CaptureWindow(nullptr, kLvCaptureToEditor), 0);
    HWND gone = CreateWindowExW(0, L"STATIC", L"x", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(Frame()->CaptureWindow(gone, kLvCaptureToEditor), 0);
    EXPECT_EQ(Docs().size(), docs);
}

TEST_F(AcquireTest, CaptureToTheClipboardAndToADatedFile) {
    StripesWindow stripes(300, 200, 64, 48);
    m_app->PumpWaitingMessages();
    ASSERT_EQ(Frame()->CaptureWindow(stripes.Get(), kLvCaptureToClipboard), 1);
    CLvImage copied = ClipboardImage(FrameHwnd());
    ASSERT_TRUE(copied.IsValid());
    EXPECT_EQ(copied.GetWidth(), 64);
    EXPECT_EQ(copied.GetHeight(), 48);
    EXPECT_TRUE(SameColor(copied.GetPixelColor(10, 47), ColumnColor(10)));

    const LvLogTime before = LvLocalTime();
    ASSERT_EQ(Frame()->CaptureWindow(stripes.Get(), kLvCaptureToFile), 1);
    const LvLogTime after = LvLocalTime();
    std::string found;
    for (const LvLogTime& t : {before, after}) {
        const std::string path = GetAppDir() + "\\Capture\\" + LvCaptureFolderName(t.year, t.month, t.day) + "\\" +
                                 LvCaptureFileName(t.year, t.month, t.day, t.hour, t.minute, t.second);
        if (GetFileAttributesW(LvUtf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES) found = path;
    }
    ASSERT_FALSE(found.empty());
    CLvImage saved;
    EXPECT_TRUE(saved.Load(found.c_str(), LVFMT_UNKNOWN));
    EXPECT_EQ(saved.GetFormat(), DWORD(LVFMT_JPG));
    EXPECT_EQ(saved.GetWidth(), 64);
    EXPECT_EQ(saved.GetHeight(), 48);
    // A second capture in the same second replaces the file whole; nothing else is left in the folder.
    ASSERT_EQ(Frame()->CaptureWindow(stripes.Get(), kLvCaptureToFile), 1);
    const std::string folder = found.substr(0, found.rfind('\\'));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(LvUtf8ToWide(folder + "\\*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        const std::string name = LvWideToUtf8(data.cFileName);
        if (name == "." || name == "..") continue;
        EXPECT_EQ(name.size() >= 4 ? name.substr(name.size() - 4) : name, ".jpg") << name;
        DeleteFileW(LvUtf8ToWide(folder + "\\" + name).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
    RemoveDirectoryW(LvUtf8ToWide(folder).c_str());
}

TEST_F(AcquireTest, CaptureDialogListsDesktopAndTitledWindowsThenCaptures) {
    StripesWindow stripes(200, 150, 50, 40, L"Lumivue capture target");
    m_app->PumpWaitingMessages();
    const int n = m_app->m_imageCounter;
    int rows = 0;
    std::string first;
    bool listed = false;
    DialogAnswers answers;
    answers.Expect("Capture Screen", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_CAPTURE_WINDOWS);
        rows = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < rows; i++) {
            wchar_t text[300] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            if (i == 0) first = LvWideToUtf8(text);
            if (LvWideToUtf8(text) == "Lumivue capture target") {
                listed = true;
                EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0)), stripes.Get());
                SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
            }
        }
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DEST_EDITOR), BST_CHECKED);
        DialogAnswers::Press(dialog, IDOK);
    });
    Command(ID_CAPTURE_SCREEN);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_EQ(first, "Desktop");
    EXPECT_TRUE(listed);
    EXPECT_LE(rows, 254);
    CLvDoc* doc = DocTitled(Numbered("Captured Image ", n));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(doc->m_image);
    EXPECT_EQ(doc->m_image->GetWidth(), 50);
    EXPECT_EQ(doc->m_image->GetHeight(), 40);
}

TEST_F(AcquireTest, HotKeyCapturesTheProgramInFrontIntoTheEditor) {
    EXPECT_FALSE(MenuItem(ID_CAPTURE_HOT_KEY).checked);
    DialogAnswers answers;
    answers.Expect("Hot Key Capture", [](HWND dialog) {
        // Ctrl+1 whole screen into the editor until changed.
        const LRESULT key = SendMessageW(GetDlgItem(dialog, IDC_HOT_KEY), HKM_GETHOTKEY, 0, 0);
        EXPECT_EQ(LOBYTE(key), 0x31);
        EXPECT_EQ(HIBYTE(key), HOTKEYF_CONTROL);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_AREA_ENTIRE), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_DEST_EDITOR), BST_CHECKED);
        SendMessageW(GetDlgItem(dialog, IDC_HOT_KEY), HKM_SETHOTKEY, MAKEWORD('7', HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
        CheckRadioButton(dialog, IDC_AREA_ENTIRE, IDC_AREA_CURRENT, IDC_AREA_CURRENT);
        DialogAnswers::Press(dialog, IDOK);
    });
    Command(ID_CAPTURE_HOT_KEY);
    ASSERT_TRUE(answers.AllAnswered());
    EXPECT_EQ(Frame()->m_hotKeyVk, '7');
    EXPECT_EQ(Frame()->m_hotKeyModifiers, HOTKEYF_CONTROL | HOTKEYF_ALT);
    EXPECT_EQ(Frame()->m_captureArea, int(kLvCaptureCurrentWindow));
    ASSERT_EQ(Frame()->m_hotKeyArmed, 1);
    EXPECT_TRUE(MenuItem(ID_CAPTURE_HOT_KEY).checked);

    ShowWindow(FrameHwnd(), SW_RESTORE);
    SetWindowPos(FrameHwnd(), HWND_TOP, 20, 30, 400, 300, SWP_SHOWWINDOW);
    SetForegroundWindow(FrameHwnd());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == FrameHwnd(); }));
    const int n = m_app->m_imageCounter;
    PostMessageW(FrameHwnd(), WM_HOTKEY, LV_HOT_KEY_ID, MAKELPARAM(MOD_CONTROL | MOD_ALT, '7'));
    ASSERT_TRUE(PumpUntil([&] { return DocTitled(Numbered("Captured Image ", n)) != nullptr; }));
    CLvDoc* doc = DocTitled(Numbered("Captured Image ", n));
    ASSERT_TRUE(doc->m_image);
    RECT frame;
    GetWindowRect(FrameHwnd(), &frame);
    EXPECT_EQ(doc->m_image->GetWidth(), frame.right - frame.left);
    EXPECT_EQ(doc->m_image->GetHeight(), frame.bottom - frame.top);

    // The keys themselves, typed: the system hands the combination to the program as its hot key.
    const int m = m_app->m_imageCounter;
    INPUT keys[6] = {};
    const WORD sequence[6] = {VK_CONTROL, VK_MENU, '7', '7', VK_MENU, VK_CONTROL};
    for (int i = 0; i < 6; i++) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i];
        keys[i].ki.dwFlags = i < 3 ? 0 : KEYEVENTF_KEYUP;
    }
    ASSERT_EQ(SendInput(6, keys, sizeof(INPUT)), 6u);
    ASSERT_TRUE(PumpUntil([&] { return DocTitled(Numbered("Captured Image ", m)) != nullptr; }));

    // Chosen again, the command disarms the key without a dialog.
    Command(ID_CAPTURE_HOT_KEY);
    EXPECT_EQ(Frame()->m_hotKeyArmed, 0);
    EXPECT_FALSE(MenuItem(ID_CAPTURE_HOT_KEY).checked);
    EXPECT_TRUE(answers.Unexpected().empty());
}

// ---- clipboard ----

TEST_F(AcquireTest, FromClipboardIsOfferedOnlyForABitmapAndMakesNumberedDocuments) {
    const CLvImage picture = TestPicture(23, 17);
    SetClipboard(FrameHwnd(), nullptr, "just text");
    EXPECT_FALSE(MenuItem(ID_EDIT_PASTE).enabled);
    SetClipboard(FrameHwnd(), &picture, nullptr);
    EXPECT_TRUE(MenuItem(ID_EDIT_PASTE).enabled);
    const int n = m_app->m_imageCounter;
    Command(ID_EDIT_PASTE);
    Command(ID_EDIT_PASTE);
    for (int i : {n, n + 1}) {
        CLvDoc* doc = DocTitled(Numbered("Clipboard Image ", i));
        ASSERT_NE(doc, nullptr) << i;
        ASSERT_TRUE(doc->m_image);
        EXPECT_TRUE(SamePixels(*doc->m_image, picture));
    }
    // With a document active the command still reaches the main window.
    EXPECT_NE(ActiveDoc(), nullptr);
    EXPECT_TRUE(MenuItem(ID_EDIT_PASTE).enabled);
}

TEST_F(AcquireTest, ADamagedClipboardBitmapIsReportedAndOpensNothing) {
    // A header that promises far more pixels than the block holds.
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = 30000;
    header.biHeight = 30000;
    header.biPlanes = 1;
    header.biBitCount = 24;
    ASSERT_TRUE(OpenClipboard(FrameHwnd()));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(header) + 16);
    memcpy(GlobalLock(block), &header, sizeof(header));
    GlobalUnlock(block);
    EXPECT_NE(SetClipboardData(CF_DIB, block), nullptr);
    CloseClipboard();
    const size_t before = Docs().size();
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_EDIT_PASTE);
    EXPECT_TRUE(answers.AllAnswered());
    ASSERT_EQ(answers.Texts().size(), 1u);
    EXPECT_EQ(answers.Texts()[0], "Unsupported or damaged clipboard bitmap");
    EXPECT_EQ(Docs().size(), before);
}

TEST_F(AcquireTest, MonitorOpensCopiedBitmapsAndDownloadsCopiedHttpAddresses) {
    const CLvImage picture = TestPicture(19, 11), other = TestPicture(8, 5);
    // Switched on with a bitmap already there: opened at once.
    SetClipboard(FrameHwnd(), &picture, nullptr);
    EXPECT_FALSE(MenuItem(ID_CLIPBOARD_AUTO_MONITOR).checked);
    int n = m_app->m_imageCounter;
    Command(ID_CLIPBOARD_AUTO_MONITOR);
    EXPECT_TRUE(MenuItem(ID_CLIPBOARD_AUTO_MONITOR).checked);
    ASSERT_NE(DocTitled(Numbered("Clipboard Image ", n)), nullptr);
    Settle();

    const struct {
        bool bitmap;
        const char* text;
        const char* download; // the address the download dialog shows, or null
    } cases[] = {
        {true, nullptr, nullptr},
        {false, "plain words", nullptr},
        {true, "http://127.0.0.1:9/both.png", nullptr}, // a bitmap wins over text
        {false, "HTTP://127.0.0.1:9/UPPER.PNG\r\nsecond line", "HTTP://127.0.0.1:9/UPPER.PNG"},
        {false, "http://127.0.0.1:9/lower.png", "http://127.0.0.1:9/lower.png"},
        {false, "https://127.0.0.1:9/secure.png", nullptr},
        {false, "ftp://127.0.0.1/file.png", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(bitmap)");
        n = m_app->m_imageCounter;
        const size_t docs = Docs().size();
        std::string shown;
        DialogAnswers answers;
        if (c.download)
            answers.Expect("Download from URL", [&](HWND dialog) {
                shown = FwWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_URL));
                DialogAnswers::Press(dialog, IDCANCEL);
            });
        SetClipboard(FrameHwnd(), c.bitmap ? &other : nullptr, c.text);
        if (c.bitmap) {
            ASSERT_TRUE(PumpUntil([&] { return DocTitled(Numbered("Clipboard Image ", n)) != nullptr; }));
            EXPECT_TRUE(SamePixels(*DocTitled(Numbered("Clipboard Image ", n))->m_image, other));
        } else if (c.download) {
            ASSERT_TRUE(PumpUntil([&] { return answers.AllAnswered(); }));
            EXPECT_EQ(shown, c.download);
        }
        Settle();
        EXPECT_EQ(Docs().size(), docs + (c.bitmap ? 1 : 0));
        EXPECT_TRUE(answers.Unexpected().empty());
    }

    // Switched off: copies are left alone.
    Command(ID_CLIPBOARD_AUTO_MONITOR);
    EXPECT_FALSE(MenuItem(ID_CLIPBOARD_AUTO_MONITOR).checked);
    const size_t docs = Docs().size();
    SetClipboard(FrameHwnd(), &other, nullptr);
    Settle();
    EXPECT_EQ(Docs().size(), docs);
}

} // namespace
