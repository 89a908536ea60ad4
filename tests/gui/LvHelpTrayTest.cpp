#include "LvGuiTestUtil.h"

#include "acquire/LvLogFile.h"

#include <commctrl.h>
#include <shlobj.h>

// The main window's help, its Help menu links and its notification-area icon.

namespace {

std::vector<std::string> g_opened;
bool g_opens = true;

bool RecordLocation(HWND, const std::string& location) {
    g_opened.push_back(location);
    return g_opens;
}

class MainFrameTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        g_opened.clear();
        g_opens = true;
        LvSetHelpOpener(RecordLocation);
        LvSetLinkOpener(RecordLocation);
    }
    void TearDown() override {
        LvSetHelpOpener(nullptr);
        LvSetLinkOpener(nullptr);
        GuiTest::TearDown();
    }
    // A key pressed in a window, through the message loop's accelerators as the user types it.
    bool Key(HWND hwnd, WPARAM key) {
        MSG msg = {};
        msg.hwnd = hwnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        const bool translated = m_app->PreTranslateMessage(msg);
        m_app->PumpWaitingMessages();
        return translated;
    }
};

TEST_F(MainFrameTest, ContentAndF1OpenTheHelpFileAtItsStartPage) {
    const std::string expected = GetAppDir() + "\\Lumivue.chm::/default.htm";
    EXPECT_EQ(LvHelpLocation(), expected);
    EXPECT_TRUE(MenuItem(ID_HELP_CONTENT).enabled);
    Command(ID_HELP_CONTENT);
    ASSERT_EQ(g_opened, std::vector<std::string>{expected});

    // F1 with no picture, and in a picture's view.
    EXPECT_TRUE(Key(FrameHwnd(), VK_F1));
    CLvDoc* doc = Open(MakePicture(m_dir, "p.bmp", 8, 8, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(Key(ActiveView()->GetHwnd(), VK_F1));
    EXPECT_EQ(g_opened, std::vector<std::string>(3, expected));

    // A help viewer that cannot open the file: the user is told where the help was looked for.
    g_opens = false;
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_HELP_CONTENT);
    ASSERT_EQ(answers.Texts().size(), 1u);
    EXPECT_NE(answers.Texts()[0].find(expected), std::string::npos) << answers.Texts()[0];
}

TEST_F(MainFrameTest, HelpMenuLinksOpenTheProjectsAddresses) {
    const struct {
        int command;
        const char* address;
    } links[] = {
        {ID_HELP_HOME_PAGE, "https://quillmarsh.example/lumivue/"},
        {ID_HELP_BBS, "https://quillmarsh.example/bbs/entry.php"},
        {ID_HELP_SUPPORT, "mailto:support@quillmarsh.example"},
        {ID_HELP_BUG_REPORT, "mailto:bugs@quillmarsh.example"},
    };
    for (const auto& link : links) {
        g_opened.clear();
        EXPECT_TRUE(MenuItem(link.command).found) << link.address;
        Command(link.command);
        EXPECT_EQ(g_opened, std::vector<std::string>{link.address});
    }
}

// The address of a link control's first link.
std::string LinkAddress(HWND control) {
    LITEM item = {};
    item.mask = LIF_ITEMINDEX | LIF_URL;
    item.iLink = 0;
    if (!SendMessageW(control, LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item))) return std::string();
    return LvWideToUtf8(item.szUrl);
}

TEST_F(MainFrameTest, AboutBoxLinksAreTheHelpMenusAddresses) {
    DialogAnswers answers;
    std::vector<std::string> shown;
    answers.Expect("About Lumivue", [&](HWND dialog) {
        for (int id : {IDC_HOMEPAGE, IDC_SUPPORT_MAIL})
            shown.push_back(LinkAddress(GetDlgItem(dialog, id)));
        // A click on the home page link, as the control reports it.
        NMLINK click = {};
        click.hdr.hwndFrom = GetDlgItem(dialog, IDC_HOMEPAGE);
        click.hdr.idFrom = IDC_HOMEPAGE;
        click.hdr.code = NM_CLICK;
        wcscpy(click.item.szUrl, LvUtf8ToWide(shown[0]).c_str());
        SendMessageW(dialog, WM_NOTIFY, IDC_HOMEPAGE, reinterpret_cast<LPARAM>(&click));
        DialogAnswers::Press(dialog, IDOK);
    });
    Command(ID_APP_ABOUT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_EQ(shown,
              (std::vector<std::string>{"https://quillmarsh.example/lumivue/", "mailto:support@quillmarsh.example"}));
    EXPECT_EQ(g_opened, std::vector<std::string>{"https://quillmarsh.example/lumivue/"});
}

// The popup menu of the icon, item by item ("-" a separator, "> " a submenu's item).
std::vector<std::string> MenuTexts(HMENU menu, const std::string& prefix = std::string()) {
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
        if (HMENU sub = GetSubMenu(menu, i)) {
            texts.push_back(prefix + LvWideToUtf8(text));
            for (const std::string& t : MenuTexts(sub, prefix + "> "))
                texts.push_back(t);
        } else {
            texts.push_back(prefix + (GetMenuItemID(menu, i) == 0 ? std::string("-") : LvWideToUtf8(text)));
        }
    }
    return texts;
}

// Chooses an item of the popup menu that the next call opens by typing keys into it once it shows.
UINT_PTR TypeIntoNextPopup(std::vector<WPARAM> keys) {
    static std::vector<WPARAM> s_keys;
    s_keys = std::move(keys);
    return SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || s_keys.empty() || !IsWindowVisible(popup)) return;
        for (WPARAM key : s_keys)
            PostMessageW(popup, WM_KEYDOWN, key, 0);
        s_keys.clear();
    });
}

TEST_F(MainFrameTest, MinimisingShowsTheIconWhoseMenuAndDoubleClickRestore) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    ASSERT_NE(menu, nullptr);
    const std::vector<std::string> expected = {"&Capture Screen",
                                               "&Hot Key Capture",
                                               "-",
                                               "&From Clipboard",
                                               "&Auto Monitor Clipboard",
                                               "-",
                                               "&Download From URL",
                                               "&Twain Compatible",
                                               "> &Select Source",
                                               "> A&cquire",
                                               "-",
                                               "&Batch Effect",
                                               "Batch &Convert Format",
                                               "Batch C&onvert Color",
                                               "-",
                                               "Restore",
                                               "E&xit"};
    EXPECT_EQ(MenuTexts(GetSubMenu(menu, 0)), expected);
    DestroyMenu(menu);

    // Minimise: the window goes, the icon comes.
    SendMessageW(FrameHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    m_app->PumpWaitingMessages();
    ASSERT_TRUE(Frame()->TrayIconShown()) << "no notification area";
    EXPECT_FALSE(IsWindowVisible(FrameHwnd()));
    // A double click on the icon brings the window back maximised, without the icon.
    SendMessageW(FrameHwnd(), WM_TRAY_NOTIFY, IDR_MAINFRAME, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(FrameHwnd()));
    EXPECT_TRUE(IsZoomed(FrameHwnd()));
    EXPECT_FALSE(Frame()->TrayIconShown());

    // Again, and Restore chosen from the icon's menu with the keyboard: Up from the bottom is Exit, again
    // Restore.
    SendMessageW(FrameHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(Frame()->TrayIconShown());
    UINT_PTR timer = TypeIntoNextPopup({VK_UP, VK_UP, VK_RETURN});
    SendMessageW(FrameHwnd(), WM_TRAY_NOTIFY, IDR_MAINFRAME, WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(FrameHwnd()) != FALSE; }));
    EXPECT_TRUE(IsZoomed(FrameHwnd()));
    EXPECT_FALSE(Frame()->TrayIconShown());
}

TEST_F(MainFrameTest, ExitFromTheIconsMenuClosesTheProgram) {
    ASSERT_NE(Open(MakePicture(m_dir, "p.bmp", 8, 8, 24, LVFMT_BMP)), nullptr);
    SendMessageW(FrameHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(Frame()->TrayIconShown());
    HWND frame = FrameHwnd();
    // Up from the bottom is Exit.
    UINT_PTR timer = TypeIntoNextPopup({VK_UP, VK_RETURN});
    SendMessageW(frame, WM_TRAY_NOTIFY, IDR_MAINFRAME, WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
    // The window closes with its documents and ends the message loop.
    const DWORD deadline = GetTickCount() + 60000;
    MSG msg = {};
    while (IsWindow(frame) && GetTickCount() < deadline) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            continue;
        }
        if (msg.message == WM_QUIT) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_TRUE(Docs().empty());
    EXPECT_FALSE(Frame()->TrayIconShown());
}

TEST_F(MainFrameTest, WindowsCommandNeedsAWindow) {
    EXPECT_FALSE(MenuItem(ID_WINDOW_LIST).enabled);
    ASSERT_NE(Open(MakePicture(m_dir, "a.bmp", 8, 8, 24, LVFMT_BMP)), nullptr);
    ASSERT_NE(Open(MakePicture(m_dir, "b.bmp", 8, 8, 24, LVFMT_BMP)), nullptr);
    EXPECT_TRUE(MenuItem(ID_WINDOW_LIST).enabled);
    // It opens the window list; activating the other window's item brings it forward.
    CLvDoc* before = ActiveDoc();
    DialogAnswers answers;
    answers.Expect("Windows", [](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_WINDOWS_LIST);
        SendMessageW(list, LB_SETSEL, FALSE, -1);
        SendMessageW(list, LB_SETSEL, TRUE, 1);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_WINDOWS_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        DialogAnswers::Press(dialog, IDC_WINDOWS_ACTIVATE);
    });
    Command(ID_WINDOW_LIST);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_NE(ActiveDoc(), before);
}

// The drop data Explorer sends: a DROPFILES block with the wide names one after another, ending with an
// empty one.
HGLOBAL DropData(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths)
        names += LvUtf8ToWide(path) + L'\0';
    names += L'\0';
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    if (!block) return nullptr;
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

TEST_F(MainFrameTest, DroppedFilesOpenEachInAWindowAndFailuresAreReported) {
    const std::string first = MakePicture(m_dir, "first.bmp", 12, 10, 24, LVFMT_BMP);
    const std::string second = MakePicture(m_dir, "second.png", 9, 7, 8, LVFMT_PNG);
    const std::string damaged = m_dir.Path("damaged.png");
    WriteFileBytes(damaged, Bytes{0x89, 'P', 'N', 'G', 1, 2, 3});
    const std::string folder = m_dir.Path("folder");
    ASSERT_TRUE(CreateDirectoryW(LvUtf8ToWide(folder).c_str(), nullptr));
    const std::string text = m_dir.Path("notes.txt");
    WriteFileBytes(text, Bytes{'h', 'i'});

    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    HGLOBAL drop = DropData({first, folder, damaged, second, text});
    ASSERT_NE(drop, nullptr);
    // Posted as Explorer posts it; the window frees the block.
    ASSERT_TRUE(PostMessageW(FrameHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0));
    ASSERT_TRUE(PumpUntil([&] { return answers.AllAnswered(); }));
    m_app->PumpWaitingMessages();

    std::vector<std::string> titles;
    for (CLvDoc* doc : Docs())
        titles.push_back(doc->GetTitle());
    EXPECT_EQ(titles, (std::vector<std::string>{"first.bmp", "second.png"}));
    ASSERT_EQ(answers.Texts().size(), 3u);
    EXPECT_EQ(answers.Texts()[0], folder + " is a folder, not a picture.");
    EXPECT_EQ(answers.Texts()[1], "Invalid image path!");
    EXPECT_EQ(answers.Texts()[2], text + " is not a kind of picture that Lumivue opens.");
    EXPECT_TRUE(answers.Unexpected().empty());
    CLvDoc* shown = ActiveDoc();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->m_image->GetWidth(), 9);
}

} // namespace
