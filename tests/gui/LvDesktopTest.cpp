#include "LvGuiTestUtil.h"

#include "acquire/LvDesktop.h"
#include "acquire/LvDesktop_win.h"
#include "acquire/LvLogFile.h"
#include "image/LvFileExt.h"

#include <algorithm>

namespace {

std::string ReadUserText(const wchar_t* key, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return "(none)";
    return LvWideToUtf8(value);
}

std::string DesktopWallpaper() {
    wchar_t path[MAX_PATH + 1] = {};
    SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0);
    return LvWideToUtf8(path);
}

class DesktopTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.jpg");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.png");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.gif");
        LvSharedSlideIndex() = 0;
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.jpg");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.png");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\.gif");
        GuiTest::TearDown();
    }
    // A folder of its own with pictures of different widths, so that each can be told from the others.
    std::vector<std::string> MakeFolder(const std::string& folder, int count) {
        CreateDirectoryW(LvUtf8ToWide(m_dir.Path(folder)).c_str(), nullptr);
        std::vector<std::string> paths;
        for (int i = 0; i < count; i++)
            paths.push_back(MakePicture(m_dir, folder + "\\" + char('a' + i) + ".bmp", 40 + 10 * i, 30, 24, LVFMT_BMP));
        return paths;
    }
    // Opens the association dialog, clicks the boxes, then the button; a question that follows is answered.
    void RunAssociation(const std::vector<int>& boxes, int button, int answer, std::vector<std::string>* texts) {
        DialogAnswers answers;
        HWND dialog = nullptr;
        answers.Expect("File Associations", [&](HWND d) {
            dialog = d;
            for (int box : boxes)
                SendMessageW(GetDlgItem(d, box), BM_CLICK, 0, 0);
            DialogAnswers::Press(d, button);
        });
        answers.Expect(kLvAssocCaption, [&](HWND box) {
            DialogAnswers::Press(box, answer);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        Command(ID_DESKTOP_FILE_ASSOCIATION);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty());
        if (texts) *texts = answers.Texts();
    }
};

TEST_F(DesktopTest, WallpaperStylesFileRestoreAndDelete) {
    CLvDoc* doc = Open(MakePicture(m_dir, "w.bmp", 64, 48, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    const std::string path = LvWallpaperPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(path.size() - 19), "\\OblinWallpaper.bmp");
    struct Case {
        int command;
        const char *style, *tile;
    } cases[] = {{ID_WALLPAPER_TILED, "0", "1"}, {ID_WALLPAPER_STRETCHED, "2", "0"}, {ID_WALLPAPER_CENTERED, "0", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_TRUE(MenuItem(c.command).enabled);
        Command(c.command);
        EXPECT_EQ(ReadUserText(L"Control Panel\\desktop", L"WallpaperStyle"), c.style);
        EXPECT_EQ(ReadUserText(L"Control Panel\\desktop", L"TileWallpaper"), c.tile);
        EXPECT_EQ(DesktopWallpaper(), path);
        // The file holds the picture as it is now: each call writes it again.
        CLvImage written;
        written.Load(path.c_str(), LVFMT_BMP);
        ASSERT_TRUE(written.IsValid());
        EXPECT_TRUE(SamePicture(written, *doc->m_image));
        Command(ID_TRANS_MIRROR);
        WaitIdle(doc);
    }
    Command(ID_WALLPAPER_DELETE);
    EXPECT_EQ(DesktopWallpaper(), "");
    Command(ID_WALLPAPER_RESTORE);
    EXPECT_TRUE(FileExists(path)); // restoring leaves the file alone

    // A write that fails shows the writer's text and changes no setting: a folder holds the file's name.
    DeleteFileW(LvUtf8ToWide(path).c_str());
    ASSERT_TRUE(CreateDirectoryW(LvUtf8ToWide(path).c_str(), nullptr));
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_WALLPAPER_TILED);
    RemoveDirectoryW(LvUtf8ToWide(path).c_str());
    EXPECT_TRUE(answers.AllAnswered());
    ASSERT_EQ(answers.Texts().size(), 1u);
    EXPECT_FALSE(answers.Texts()[0].empty());
    EXPECT_EQ(ReadUserText(L"Control Panel\\desktop", L"TileWallpaper"), "0");
    EXPECT_EQ(DesktopWallpaper(), "");
}

TEST_F(DesktopTest, AssociatesAndClearsOnlyItsOwnExtensions) {
    const std::string program = LvProgramFile();
    RunAssociation({IDC_ASSOC_JPG}, IDC_ASSOC_ASSOCIATE, IDYES, nullptr);
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.jpg\\Shell\\Open\\Command", nullptr), program + " %1");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.jpg\\Shell\\View with The Lumivue\\Command", nullptr),
              program + " %1");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.jpg\\DefaultIcon", nullptr), program + ",19");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.png\\DefaultIcon", nullptr), "(none)");

    // Answering No changes nothing.
    RunAssociation({IDC_ASSOC_PNG}, IDC_ASSOC_ASSOCIATE, IDNO, nullptr);
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.png\\DefaultIcon", nullptr), "(none)");

    // Another program's association is not ours to clear; ours goes.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\.png\\Shell\\Open\\Command", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t other[] = L"C:\\Other\\viewer.exe %1";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof(other));
    RegCloseKey(key);
    std::vector<std::string> texts;
    RunAssociation({IDC_ASSOC_JPG, IDC_ASSOC_PNG}, IDC_ASSOC_CLEAR, IDYES, &texts);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "This will clear the association from the registry\n(File extentions will NOT open when "
                            "clicked)\t\n\nDo you wish to continue ?\t");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.jpg\\Shell\\Open\\Command", nullptr), "(none)");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.png\\Shell\\Open\\Command", nullptr), "C:\\Other\\viewer.exe %1");
}

TEST_F(DesktopTest, AssociationDialogChooseAllAndNothingChosen) {
    DialogAnswers answers;
    HWND dialog = nullptr;
    bool allAfterChooseAll = true, chooseAllAfterOneOff = true, chooseAllAfterAllOn = false;
    answers.Expect("File Associations", [&](HWND d) {
        dialog = d;
        SendMessageW(GetDlgItem(d, IDC_ASSOC_CHOOSE_ALL), BM_CLICK, 0, 0);
        for (int i = 0; i < kLvAssociationCount; i++)
            allAfterChooseAll = allAfterChooseAll && IsDlgButtonChecked(d, kLvAssociations[i].controlId) == BST_CHECKED;
        SendMessageW(GetDlgItem(d, IDC_ASSOC_GIF), BM_CLICK, 0, 0);
        chooseAllAfterOneOff = IsDlgButtonChecked(d, IDC_ASSOC_CHOOSE_ALL) == BST_CHECKED;
        SendMessageW(GetDlgItem(d, IDC_ASSOC_GIF), BM_CLICK, 0, 0);
        chooseAllAfterAllOn = IsDlgButtonChecked(d, IDC_ASSOC_CHOOSE_ALL) == BST_CHECKED;
        // All off again, then Associate with nothing chosen.
        SendMessageW(GetDlgItem(d, IDC_ASSOC_CHOOSE_ALL), BM_CLICK, 0, 0);
        DialogAnswers::Press(d, IDC_ASSOC_ASSOCIATE);
    });
    answers.Expect(kLvAssocCaption, [&](HWND box) {
        DialogAnswers::Press(box, IDOK);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_DESKTOP_FILE_ASSOCIATION);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(allAfterChooseAll);
    EXPECT_FALSE(chooseAllAfterOneOff);
    EXPECT_TRUE(chooseAllAfterAllOn);
    ASSERT_EQ(answers.Texts().size(), 2u);
    EXPECT_EQ(answers.Texts()[1], "No extentions were chosen - Nothing to associate\t");
    EXPECT_EQ(ReadUserText(L"Software\\Classes\\.gif\\DefaultIcon", nullptr), "(none)");
}

// ---- slide show ---------------------------------------------------------------------------------------------

class SlideShowTest : public DesktopTest {
protected:
    // Starts the show through its dialog with the shortest delay.
    void Start(int orderButton, bool repeat) {
        DialogAnswers answers;
        answers.Expect("Slide Show", [&](HWND d) {
            SetDlgItemInt(d, IDC_SLIDE_DELAY, UINT(kLvSlideMinDelay), FALSE);
            CheckRadioButton(d, IDC_SLIDE_CORRECT, IDC_SLIDE_RANDOM, orderButton);
            CheckDlgButton(d, IDC_SLIDE_REPEAT, repeat ? BST_CHECKED : BST_UNCHECKED);
            DialogAnswers::Press(d, IDOK);
        });
        Command(ID_VIEW_SLIDE_SHOW);
        EXPECT_TRUE(answers.AllAnswered());
    }
    // The files shown until cond holds, one entry per change of picture.
    std::vector<std::string> Watch(CLvDoc* doc, const std::function<bool()>& cond) {
        std::vector<std::string> shown;
        std::string last = doc->GetPathName();
        EXPECT_TRUE(PumpUntil([&] {
            if (doc->GetPathName() != last) {
                last = doc->GetPathName();
                shown.push_back(FwFileTitle(last));
            }
            return cond();
        }));
        return shown;
    }
};

TEST_F(SlideShowTest, ReverseOrderWithoutRepetitionShowsEachOnceAndLeavesFullScreen) {
    std::vector<std::string> paths = MakeFolder("show", 3);
    CLvDoc* doc = Open(paths[0]);
    ASSERT_NE(doc, nullptr);
    CLvView* view = ActiveView();
    EXPECT_TRUE(MenuItem(ID_VIEW_SLIDE_SHOW).enabled);
    EXPECT_FALSE(MenuItem(ID_VIEW_SLIDE_SHOW).checked);
    Start(IDC_SLIDE_REVERSE, false);
    ASSERT_TRUE(view->m_slideShow);
    EXPECT_TRUE(MenuItem(ID_VIEW_SLIDE_SHOW).checked);
    EXPECT_TRUE(Frame()->IsFullScreen());
    std::vector<std::string> shown = Watch(doc, [&] { return !view->m_slideShow && !Frame()->IsFullScreen(); });
    std::vector<std::string> expected;
    for (auto name = doc->m_folderFiles.rbegin(); name != doc->m_folderFiles.rend(); ++name)
        expected.push_back(FwFileTitle(*name));
    // The first slide may be the picture already shown: it then does not count as a change.
    if (FwFileTitle(paths[0]) == expected[0]) expected.erase(expected.begin());
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(LvSharedSlideIndex(), 0);
    EXPECT_GE(ShowCursor(TRUE), 0) << "the cursor is shown again";
    ShowCursor(FALSE);
}

TEST_F(SlideShowTest, ASecondShowGoesOnFromTheSharedIndexAndEscKeepsTheTimer) {
    std::vector<std::string> paths = MakeFolder("again", 3);
    CLvDoc* doc = Open(paths[0]);
    ASSERT_NE(doc, nullptr);
    CLvView* view = ActiveView();
    Start(IDC_SLIDE_CORRECT, true);
    ASSERT_TRUE(Frame()->IsFullScreen());
    // Esc leaves full screen; the show goes on.
    SendMessageW(view->GetHwnd(), WM_CHAR, VK_ESCAPE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !Frame()->IsFullScreen(); }));
    EXPECT_TRUE(view->m_slideShow);
    Watch(doc, [&] { return LvSharedSlideIndex() == 2; });
    Command(ID_VIEW_SLIDE_SHOW); // stop
    EXPECT_FALSE(view->m_slideShow);
    EXPECT_EQ(LvSharedSlideIndex(), 2);
    // The next show starts at the third file of its list, then wraps and ends.
    Start(IDC_SLIDE_CORRECT, false);
    const std::vector<std::string> shown = Watch(doc, [&] { return !view->m_slideShow; });
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0], FwFileTitle(doc->m_folderFiles[2]));
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(SlideShowTest, AFileThatFailsIsPassedOver) {
    std::vector<std::string> paths = MakeFolder("broken", 3);
    WriteFileBytes(m_dir.Path("broken\\b.bmp"), Bytes{'B', 'M', 1, 2, 3});
    CLvDoc* doc = Open(paths[0]);
    ASSERT_NE(doc, nullptr);
    CLvView* view = ActiveView();
    DialogAnswers quiet; // no message box may come up during the show
    Start(IDC_SLIDE_CORRECT, false);
    const std::vector<std::string> shown = Watch(doc, [&] { return !view->m_slideShow; });
    EXPECT_TRUE(quiet.Unexpected().empty());
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "b.bmp"), 0);
    // The picture left is the last one shown, whole.
    ASSERT_TRUE(doc->m_image && doc->m_image->IsValid());
    const std::string last = FwFileTitle(doc->GetPathName());
    EXPECT_EQ(doc->m_image->GetWidth(), 40 + 10 * (last[0] - 'a'));
}

TEST_F(SlideShowTest, DisabledWithFewerThanTwoFiles) {
    std::vector<std::string> paths = MakeFolder("single", 1);
    ASSERT_NE(Open(paths[0]), nullptr);
    EXPECT_FALSE(MenuItem(ID_VIEW_SLIDE_SHOW).enabled);
}

// ---- window list ----------------------------------------------------------------------------------------------

class WindowListTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        for (int i = 0; i < 3; i++) {
            CLvDoc* doc = Open(MakePicture(m_dir, std::string(1, char('p' + i)) + ".bmp", 60, 40, 24, LVFMT_BMP));
            ASSERT_NE(doc, nullptr);
            m_docs.push_back(doc);
        }
    }
    static HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_WINDOWS_LIST); }
    static HWND ChildOf(CLvDoc* doc) { return dynamic_cast<CLvView*>(doc->FirstView())->ParentFrame(); }
    // Selects exactly the items of these child windows, as clicks do.
    static void Select(HWND dialog, const std::vector<HWND>& windows) {
        HWND list = List(dialog);
        const int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; i++) {
            HWND wnd = reinterpret_cast<HWND>(SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0));
            const bool on = std::find(windows.begin(), windows.end(), wnd) != windows.end();
            SendMessageW(list, LB_SETSEL, on ? TRUE : FALSE, LPARAM(i));
        }
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_WINDOWS_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    }
    static std::string Buttons(HWND dialog) {
        std::string s;
        for (int id : {IDC_WINDOWS_ACTIVATE, IDC_WINDOWS_SAVE, IDC_WINDOWS_CLOSE, IDC_WINDOWS_MINIMIZE,
                       IDC_WINDOWS_CASCADE, IDC_WINDOWS_TILE_HORZ, IDC_WINDOWS_TILE_VERT})
            s += IsWindowEnabled(GetDlgItem(dialog, id)) ? '1' : '0';
        return s;
    }
    std::vector<CLvDoc*> m_docs;
};

TEST_F(WindowListTest, ListsTheChildrenAndEnablesButtonsBySelection) {
    std::vector<std::string> titles;
    std::string withOne, withTwo, withNone;
    HWND selectedFirst = nullptr;
    bool thirdMinimised = false, twoShown = false;
    DialogAnswers answers;
    answers.Expect("Windows", [&](HWND d) {
        HWND list = List(d);
        const int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; i++) {
            wchar_t text[300] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            titles.push_back(LvWideToUtf8(text));
        }
        int item = -1;
        if (SendMessageW(list, LB_GETSELITEMS, 1, reinterpret_cast<LPARAM>(&item)) == 1)
            selectedFirst = reinterpret_cast<HWND>(SendMessageW(list, LB_GETITEMDATA, WPARAM(item), 0));
        withOne = Buttons(d);
        Select(d, {ChildOf(m_docs[0]), ChildOf(m_docs[1])});
        withTwo = Buttons(d);
        SendMessageW(GetDlgItem(d, IDC_WINDOWS_TILE_VERT), BM_CLICK, 0, 0);
        thirdMinimised = IsIconic(ChildOf(m_docs[2])) != FALSE;
        twoShown = !IsIconic(ChildOf(m_docs[0])) && !IsIconic(ChildOf(m_docs[1]));
        Select(d, {});
        withNone = Buttons(d);
        DialogAnswers::Press(d, IDOK);
    });
    Command(ID_WINDOW_LIST);
    EXPECT_TRUE(answers.AllAnswered());
    // Top of the z-order first: the last opened.
    EXPECT_EQ(titles, (std::vector<std::string>{"r.bmp", "q.bmp", "p.bmp"}));
    EXPECT_EQ(selectedFirst, ChildOf(m_docs[2])); // the active window
    EXPECT_EQ(withOne, "1111000");
    EXPECT_EQ(withTwo, "0111111");
    EXPECT_EQ(withNone, "0000000");
    EXPECT_TRUE(thirdMinimised);
    EXPECT_TRUE(twoShown);
    // The two tiled windows share the client area side by side.
    RECT a, b;
    GetWindowRect(ChildOf(m_docs[0]), &a);
    GetWindowRect(ChildOf(m_docs[1]), &b);
    EXPECT_TRUE(a.right <= b.left || b.right <= a.left);
}

TEST_F(WindowListTest, DoubleClickRestoresAndActivatesAMinimisedWindow) {
    HWND first = ChildOf(m_docs[0]);
    ShowWindow(first, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(first));
    DialogAnswers answers;
    answers.Expect("Windows", [&](HWND d) {
        Select(d, {first});
        PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDC_WINDOWS_LIST, LBN_DBLCLK), reinterpret_cast<LPARAM>(List(d)));
    });
    Command(ID_WINDOW_LIST);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_FALSE(IsIconic(first));
    EXPECT_EQ(Frame()->MdiActiveHwnd(), first);
}

TEST_F(WindowListTest, CloseStopsAtTheFirstCancelledSaveQuestion) {
    for (CLvDoc* doc : {m_docs[0], m_docs[1]}) {
        SendMessageW(Frame()->MdiClient(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(ChildOf(doc)), 0);
        Command(ID_TRANS_MIRROR);
        WaitIdle(doc);
        ASSERT_TRUE(doc->IsModified());
    }
    DialogAnswers answers;
    HWND dialog = nullptr;
    answers.Expect("Windows", [&](HWND d) {
        dialog = d;
        Select(d, {ChildOf(m_docs[0]), ChildOf(m_docs[1])});
        DialogAnswers::Press(d, IDC_WINDOWS_CLOSE);
    });
    answers.Expect("Lumivue", [&](HWND box) {
        DialogAnswers::Press(box, IDCANCEL);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_WINDOW_LIST);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(Docs().size(), 3u);
    EXPECT_TRUE(m_docs[0]->IsModified());
    EXPECT_TRUE(m_docs[1]->IsModified());
}

TEST_F(WindowListTest, CloseAndSaveWithoutChanges) {
    const std::string path = m_docs[1]->GetPathName();
    const Bytes before = ReadFileBytes(path);
    DialogAnswers answers;
    answers.Expect("Windows", [&](HWND d) {
        Select(d, {ChildOf(m_docs[1])});
        SendMessageW(GetDlgItem(d, IDC_WINDOWS_SAVE), BM_CLICK, 0, 0); // asks nothing
        Select(d, {ChildOf(m_docs[0]), ChildOf(m_docs[1])});
        SendMessageW(GetDlgItem(d, IDC_WINDOWS_CLOSE), BM_CLICK, 0, 0);
        DialogAnswers::Press(d, IDOK);
    });
    Command(ID_WINDOW_LIST);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(ReadFileBytes(path), before);
    ASSERT_EQ(Docs().size(), 1u);
    EXPECT_EQ(Docs()[0], m_docs[2]);
}

} // namespace
