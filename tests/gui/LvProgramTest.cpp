#include "LvGuiTestUtil.h"

#include <algorithm>
#include <chrono>

// Lumivue.exe itself, started as a user starts it: a picture on the command line, then a second start that
// hands its file to the first instance.

namespace {

struct Program {
    PROCESS_INFORMATION pi = {};
    // Starts the program with its arguments, in the given current folder (or this process's).
    bool Start(const std::wstring& arguments, const std::wstring& folder = std::wstring()) {
        std::wstring line = L"\"" + LvUtf8ToWide(LV_PROGRAM) + L"\" " + arguments;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        return CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                              folder.empty() ? nullptr : folder.c_str(), &si, &pi) != FALSE;
    }
    ~Program() {
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 3);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

// Waits for a condition, checking it every few milliseconds, at most a minute.
bool WaitFor(const std::function<bool()>& cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    return true;
}

struct Search {
    DWORD pid;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == s->pid && GetPropW(hwnd, L"Lumivue.exe")) s->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM param) {
    Search* s = reinterpret_cast<Search*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) == s->className) s->found.push_back(hwnd);
    return TRUE;
}

HWND MainWindowOf(DWORD pid) {
    Search s = {pid, nullptr, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&s));
    return s.found.empty() ? nullptr : s.found[0];
}

std::vector<HWND> ChildrenOfClass(HWND parent, const wchar_t* className) {
    Search s = {0, className, {}};
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// Whether the screenshot shows the picture at (left, top), its own size, with black everywhere else.
bool ShowsPictureOnBlack(const std::vector<RGBQUAD>& px, int width, int height, const CLvImage& image, int left,
                         int top) {
    if (px.size() != size_t(width) * size_t(height)) return false;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            RGBQUAD want = {0, 0, 0, 0};
            const int ix = x - left, iy = y - top;
            if (ix >= 0 && iy >= 0 && ix < image.GetWidth() && iy < image.GetHeight())
                want = image.GetPixelColor(ix, image.GetHeight() - 1 - iy);
            const RGBQUAD got = px[size_t(y) * size_t(width) + size_t(x)];
            if (got.rgbRed != want.rgbRed || got.rgbGreen != want.rgbGreen || got.rgbBlue != want.rgbBlue) return false;
        }
    }
    return true;
}

std::vector<std::string> ChildTitles(HWND mainWindow) {
    std::vector<std::string> titles;
    for (HWND child : ChildrenOfClass(mainWindow, L"LumivueChild"))
        titles.push_back(FwWindowText(child));
    return titles;
}

TEST(Program, OpensItsCommandLineAndTakesFilesFromASecondStart) {
    TempDir dir;
    CreateDirectoryW(LvUtf8ToWide(dir.Path("with space")).c_str(), nullptr);
    const std::string first = MakePicture(dir, "with space\\first picture.bmp", 210, 140, 24, LVFMT_BMP);
    const std::string second = MakePicture(dir, "second.png", 160, 90, 24, LVFMT_PNG);
    ASSERT_FALSE(first.empty());
    CLvImage picture;
    ASSERT_TRUE(picture.Load(first.c_str(), LVFMT_BMP));

    // The path with spaces, unquoted: taken whole.
    Program one;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(one.Start(LvUtf8ToWide(first)));
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindowOf(one.pi.dwProcessId)) != nullptr; }));
    ASSERT_TRUE(WaitFor([&] { return FwWindowText(main) == "Lumivue - first picture.bmp"; }));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("start_seconds", std::to_string(seconds));
    printf("started and opened the picture in %.2f s\n", seconds);

    // The view is the picture's size plus 4, the picture 2 pixels in from each side, black around it.
    HWND view = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        std::vector<HWND> views = ChildrenOfClass(main, L"LumivueView");
        view = views.empty() ? nullptr : views[0];
        return view != nullptr;
    }));
    int w = 0, h = 0;
    bool drawn = WaitFor([&] {
        std::vector<RGBQUAD> px = ScreenPixels(view, w, h);
        return w == 214 && h == 144 && ShowsPictureOnBlack(px, w, h, picture, 2, 2);
    });
    EXPECT_TRUE(drawn) << "view " << w << " x " << h;

    // A second start with a file hands it over and ends without a window of its own. Its name is relative to
    // the second start's own folder.
    Program two;
    ASSERT_TRUE(two.Start(L"\"second.png\"", LvUtf8ToWide(dir.Root())));
    ASSERT_EQ(WaitForSingleObject(two.pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(MainWindowOf(two.pi.dwProcessId), nullptr);
    EXPECT_TRUE(WaitFor([&] {
        std::vector<std::string> titles = ChildTitles(main);
        return titles.size() == 2 && (titles[0] == "second.png" || titles[1] == "second.png");
    }));
    EXPECT_EQ(FwWindowText(main), "Lumivue - second.png");

    // A second start without a file only ends.
    Program three;
    ASSERT_TRUE(three.Start(L""));
    ASSERT_EQ(WaitForSingleObject(three.pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(ChildTitles(main).size(), 2u);
    // The second starts left the recent files as they were: the two pictures, newest first.
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quillmarsh\\Lumivue\\Recent File List", L"File1",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_TRUE(FwSamePath(LvWideToUtf8(value), second)) << LvWideToUtf8(value);

    // The user closes the program.
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(one.pi.hProcess, 60000), WAIT_OBJECT_0);
}

// A message box of a process: a dialog window owned by its main window.
HWND MessageBoxOf(HWND mainWindow) {
    HWND box = nullptr;
    for (HWND w = GetTopWindow(nullptr); w && !box; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (std::wstring(cls) == L"#32770" && GetWindow(w, GW_OWNER) == mainWindow && IsWindowVisible(w)) box = w;
    }
    return box;
}

TEST(Program, ASecondStartHandsItsFileOverWhileTheFirstShowsAnError) {
    TempDir dir;
    const std::string damaged = dir.Path("damaged.bmp");
    WriteFileBytes(damaged, Bytes{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9});
    const std::string good = MakePicture(dir, "good.png", 40, 30, 24, LVFMT_PNG);
    Program one;
    ASSERT_TRUE(one.Start(L"\"" + LvUtf8ToWide(damaged) + L"\""));
    HWND main = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (main = MainWindowOf(one.pi.dwProcessId)) != nullptr; }));
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = MessageBoxOf(main)) != nullptr; })) << "no message for the damaged file";

    // The first instance still shows its message: the second start hands its file over all the same.
    Program two;
    ASSERT_TRUE(two.Start(L"\"" + LvUtf8ToWide(good) + L"\""));
    ASSERT_EQ(WaitForSingleObject(two.pi.hProcess, 60000), WAIT_OBJECT_0);
    EXPECT_EQ(MainWindowOf(two.pi.dwProcessId), nullptr);
    EXPECT_TRUE(WaitFor([&] {
        std::vector<std::string> titles = ChildTitles(main);
        return std::find(titles.begin(), titles.end(), "good.png") != titles.end();
    }));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    // The damaged file's window is gone, the handed-over one stays.
    EXPECT_TRUE(WaitFor([&] { return ChildTitles(main) == std::vector<std::string>{"good.png"}; }));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(one.pi.hProcess, 60000), WAIT_OBJECT_0);
}

} // namespace
