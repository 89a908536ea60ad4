#include "LvGuiTestUtil.h"

#include "framework/FwMail_win.h"

#include "app/LvDocRules.h"
#include "image/LvFileExt.h"

#include "LvVersion.h"

#include <commctrl.h>

#include <cmath>
#include <fstream>

namespace {

TEST_F(GuiTest, StartsWithTheDefaultMenuAndSixStatusPanes) {
    EXPECT_EQ(FwWindowText(FrameHwnd()), "Lumivue");
    EXPECT_EQ(ActiveDoc(), nullptr);
    EXPECT_EQ(GetMenu(FrameHwnd()), Frame()->DefaultMenu());
    EXPECT_TRUE(MenuItem(ID_FILE_OPEN).enabled);
    EXPECT_FALSE(MenuItem(ID_EDIT_UNDO).found); // the editor's menu comes with a document
    // Six panes, each trunc(screen width x share) wide.
    int edges[8] = {};
    ASSERT_EQ(SendMessageW(Frame()->StatusBar(), SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 6);
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    const double share[6] = {0.25, 0.01, 0.4, 0.1, 0.05, 0.1};
    int right = 0;
    for (int i = 0; i < 6; i++) {
        right += int(screen * share[i]);
        EXPECT_EQ(edges[i], right) << i;
    }
    // The progress indicator lies over the third pane.
    RECT pane, bar;
    SendMessageW(Frame()->StatusBar(), SB_GETRECT, 2, reinterpret_cast<LPARAM>(&pane));
    GetWindowRect(Frame()->ProgressWindow(), &bar);
    MapWindowPoints(nullptr, Frame()->StatusBar(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.left, pane.left);
    EXPECT_EQ(bar.right, pane.right);
    EXPECT_EQ(GetDlgCtrlID(Frame()->ProgressWindow()), IDC_PROGRESS_INDICATOR);
}

TEST_F(GuiTest, OpensTheFourMainFormatsWithTitlesStatusAndChildSize) {
    struct Case {
        std::string path;
        const char* sizeText;
    } cases[] = {
        // Wider than the narrowest child window a caption allows.
        {MakePicture(m_dir, "a.bmp", 160, 120, 8, LVFMT_BMP), "160x120x8b   BMP"},
        {MakePicture(m_dir, "b.jpg", 150, 100, 24, LVFMT_JPG), "150x100x24b   JPG"},
        {MakePicture(m_dir, "c.png", 130, 90, 4, LVFMT_PNG), "130x90x4b   PNG"},
        {MakePicture(m_dir, "d.tif", 140, 100, 24, LVFMT_TIF), "140x100x24b   TIF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CLvDoc* doc = Open(c.path);
        ASSERT_NE(doc, nullptr);
        ASSERT_EQ(ActiveDoc(), doc);
        const std::string title = FwFileTitle(c.path);
        EXPECT_EQ(doc->GetTitle(), title);
        EXPECT_EQ(FwWindowText(FrameHwnd()), "Lumivue - " + title);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->m_undo.Level(), 0);
        ASSERT_TRUE(doc->m_image && doc->m_image->IsValid());
        const CLvImage& image = *doc->m_image;
        const std::string expected =
            c.sizeText ? c.sizeText : LvSizeText(image.GetWidth(), image.GetHeight(), image.GetBpp(), 6);
        EXPECT_EQ(Frame()->PaneText(3), expected);
        EXPECT_EQ(Frame()->PaneText(4), "100 %");
        EXPECT_EQ(Frame()->PaneText(5).rfind("Time : ", 0), 0u);
        // The child window is sized to the picture plus 4.
        SIZE client = ChildClientSize(doc);
        EXPECT_EQ(client.cx, image.GetWidth() + 4);
        EXPECT_EQ(client.cy, image.GetHeight() + 4);
        EXPECT_EQ(GetMenu(FrameHwnd()), m_app->m_pDocTemplate->Menu());
    }
    // Opening an open file again activates its document.
    EXPECT_EQ(Open(cases[0].path), Docs()[0]);
    EXPECT_EQ(ActiveDoc(), Docs()[0]);
    EXPECT_EQ(Docs().size(), 4u);
    // A JPEG's camera data is read.
    CLvDoc* photo = Open(DataPath("jpeg/camera-Canon.jpg"));
    ASSERT_NE(photo, nullptr);
    EXPECT_STREQ(photo->m_exif.szMake, "Canon");
    EXPECT_EQ(Frame()->PaneText(3), "8x8x24b   JPG");
}

TEST_F(GuiTest, MultiFrameFilesBecomeOneDocumentPerFrame) {
    struct Case {
        std::string file;
        int frames;
    } cases[] = {{"gif/anim.gif", 3}, {"tiff/three-pages.tif", 3}};
    for (const Case& c : cases) {
        m_app->CloseAllDocuments();
        ASSERT_NE(Open(DataPath(c.file)), nullptr);
        std::vector<CLvDoc*> docs = Docs();
        ASSERT_EQ(int(docs.size()), c.frames);
        const std::string title = FwFileTitle(c.file);
        EXPECT_EQ(docs[0]->GetTitle(), title);
        for (int i = 1; i < c.frames; i++) {
            EXPECT_EQ(docs[size_t(i)]->GetTitle(), LvFrameTitle(title, i));
            EXPECT_TRUE(docs[size_t(i)]->GetPathName().empty());
            ASSERT_TRUE(docs[size_t(i)]->m_image);
            CLvImage expected;
            expected.SetFrame(i);
            ASSERT_TRUE(expected.Load(DataPath(c.file).c_str(), LvLoadFormatFromExt(GetFileExt(c.file))));
            EXPECT_TRUE(SamePicture(*docs[size_t(i)]->m_image, expected));
        }
    }
}

TEST_F(GuiTest, ExtensionsDecideTheReaderAndBadFilesSayWhy) {
    // photo.JPEG is read as JPEG; j2k has no reader and says so; a broken BMP is reported.
    const std::string jpeg = m_dir.Path("photo.JPEG");
    WriteFileBytes(jpeg, ReadFileBytes(DataPath("jpeg/baseline.jpg")));
    const std::string j2k = m_dir.Path("x.j2k");
    WriteFileBytes(j2k, ReadFileBytes(DataPath("jpeg/baseline.jpg")));
    const std::string broken = m_dir.Path("broken.bmp");
    WriteFileBytes(broken, Bytes(100, 0x42));
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    CLvDoc* doc = Open(jpeg);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->m_image->GetFormat(), DWORD(LVFMT_JPG));
    EXPECT_EQ(Open(j2k), nullptr);
    EXPECT_EQ(Open(broken), nullptr);
    EXPECT_TRUE(answers.AllAnswered());
    ASSERT_EQ(answers.Texts().size(), 2u);
    EXPECT_EQ(answers.Texts()[0], j2k + " is not a kind of picture that Lumivue opens.");
    EXPECT_EQ(answers.Texts()[1], "Invalid image path!");
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(Docs().size(), 1u);
}

TEST_F(GuiTest, FileOpenStartsOnAllSupportedFiles) {
    const std::string path = MakePicture(m_dir, "pick me.png", 20, 10, 24, LVFMT_PNG);
    DialogAnswers answers;
    std::string filterShown;
    answers.Expect("Open", [&](HWND dialog) {
        HWND types = GetDlgItem(dialog, 0x470);
        LRESULT sel = SendMessageW(types, CB_GETCURSEL, 0, 0);
        wchar_t text[128] = {};
        SendMessageW(types, CB_GETLBTEXT, WPARAM(sel), reinterpret_cast<LPARAM>(text));
        filterShown = LvWideToUtf8(text);
        DialogAnswers::TypeFileName(path)(dialog);
    });
    Command(ID_FILE_OPEN);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_EQ(filterShown, "All Supported Image files");
    ASSERT_NE(ActiveDoc(), nullptr);
    EXPECT_EQ(ActiveDoc()->GetTitle(), "pick me.png");
    // It joined the recent-file list, which the settings keep.
    ASSERT_GE(m_app->RecentFiles().Size(), 1u);
    EXPECT_TRUE(FwSamePath(m_app->RecentFiles()[0], path));
    EXPECT_TRUE(FwSamePath(m_app->GetProfileText("Recent File List", "File1"), path));
}

TEST_F(GuiTest, SaveAsEveryWritableFormatWithItsOptions) {
    struct Case {
        const char* ext;
        DWORD format;
        const char* dialog; // the options dialog, or null
        int button;         // the option button chosen there
        DWORD option;
    } cases[] = {
        {"bmp", LVFMT_BMP, nullptr, 0, 0},        {"gif", LVFMT_GIF, "Options", IDC_GIF_LZW, 2},
        {"jpg", LVFMT_JPG, "JPEG Options", 0, 0}, {"png", LVFMT_PNG, nullptr, 0, 0},
        {"ico", LVFMT_ICO, nullptr, 0, 0},        {"tif", LVFMT_TIF, "Options", IDC_TIF_PACKBITS, 32773},
        {"tga", LVFMT_TGA, nullptr, 0, 0},        {"pcx", LVFMT_PCX, nullptr, 0, 0},
    };
    const std::string source = MakePicture(m_dir, "source.bmp", 48, 32, 24, LVFMT_BMP);
    CLvDoc* doc = Open(source);
    ASSERT_NE(doc, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        const std::string target = m_dir.Path(std::string("saved.") + c.ext);
        DialogAnswers answers;
        answers.Expect("Save As", DialogAnswers::TypeFileName(target));
        if (c.dialog && c.format == LVFMT_JPG) {
            answers.Expect(c.dialog, [](HWND dialog) {
                SetDlgItemInt(dialog, IDC_XRES, 150, FALSE);
                SetDlgItemInt(dialog, IDC_YRES, 75, FALSE);
                SendMessageW(GetDlgItem(dialog, IDC_QUALITY), TBM_SETPOS, TRUE, 80);
                DialogAnswers::Press(dialog, IDOK);
            });
        } else if (c.dialog) {
            const int button = c.button;
            answers.Expect(c.dialog, [button](HWND dialog) {
                for (int id = IDC_GIF_RLE; id <= IDC_TIF_LZW; id++)
                    if (GetDlgItem(dialog, id)) CheckDlgButton(dialog, id, BST_UNCHECKED);
                CheckDlgButton(dialog, button, BST_CHECKED);
                DialogAnswers::Press(dialog, IDOK);
            });
        }
        doc->SetModifiedFlag(true);
        Command(ID_FILE_SAVE_AS);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty()) << answers.Unexpected()[0];
        EXPECT_TRUE(FwSamePath(doc->GetPathName(), target));
        EXPECT_EQ(doc->GetTitle(), FwFileTitle(target));
        EXPECT_FALSE(doc->IsModified());
        CLvImage back;
        ASSERT_TRUE(back.Load(target.c_str(), c.format)) << back.GetLastErrorText();
        EXPECT_EQ(back.GetWidth(), 48);
        EXPECT_EQ(back.GetHeight(), 32);
        if (c.dialog && c.format != LVFMT_JPG) {
            EXPECT_EQ(doc->m_image->GetCodecOption(), c.option);
        }
        if (c.format == LVFMT_JPG) {
            EXPECT_EQ(doc->m_image->GetJpegQuality(), 80);
            EXPECT_EQ(back.GetXDPI(), 150);
            EXPECT_EQ(back.GetYDPI(), 75);
        }
    }
    // WBMP takes 1-bit pictures: through the 2-colour command first.
    Command(ID_COLOR_2);
    WaitIdle(doc);
    const std::string wbmp = m_dir.Path("saved.wbmp");
    DialogAnswers answers;
    answers.Expect("Save As", DialogAnswers::TypeFileName(wbmp));
    Command(ID_FILE_SAVE_AS);
    CLvImage back;
    EXPECT_TRUE(back.Load(wbmp.c_str(), LVFMT_WBMP));
    EXPECT_EQ(back.GetWidth(), 48);
}

TEST_F(GuiTest, AFailedSaveKeepsTheFileAndTheDocument) {
    // The icon writer refuses pictures of 256 pixels and more: the existing file must stay as it was.
    const std::string source = MakePicture(m_dir, "big.bmp", 300, 20, 24, LVFMT_BMP);
    const std::string target = m_dir.Path("keep.ico");
    const Bytes original = {1, 2, 3, 4, 5};
    WriteFileBytes(target, original);
    CLvDoc* doc = Open(source);
    ASSERT_NE(doc, nullptr);
    Command(ID_EDIT_DUPLICATE);
    CLvDoc* copy = ActiveDoc();
    ASSERT_NE(copy, doc);
    Command(ID_TRANS_MIRROR);
    WaitIdle(copy);
    ASSERT_TRUE(copy->IsModified());
    CLvImage before(*copy->m_image);
    DialogAnswers answers;
    answers.Expect("Save As", DialogAnswers::TypeFileName(target));
    answers.Expect("Save As", DialogAnswers::PressButton(IDYES)); // replace the existing file?
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));  // the writer's complaint
    Command(ID_FILE_SAVE_AS);
    EXPECT_TRUE(answers.AllAnswered());
    ASSERT_FALSE(answers.Texts().empty());
    EXPECT_FALSE(answers.Texts().back().empty());
    EXPECT_EQ(ReadFileBytes(target), original);
    EXPECT_TRUE(copy->IsModified());
    EXPECT_TRUE(copy->GetPathName().empty());
    EXPECT_EQ(copy->m_undo.Level(), 1);
    EXPECT_TRUE(SamePicture(*copy->m_image, before));
}

TEST_F(GuiTest, DuplicateTitlesAndState) {
    CLvDoc* doc = Open(MakePicture(m_dir, "x.png", 20, 10, 24, LVFMT_PNG));
    ASSERT_NE(doc, nullptr);
    Command(ID_EDIT_DUPLICATE);
    CLvDoc* first = ActiveDoc();
    m_app->ActivateDocument(*doc);
    Command(ID_EDIT_DUPLICATE);
    CLvDoc* second = ActiveDoc();
    m_app->ActivateDocument(*first);
    Command(ID_EDIT_DUPLICATE);
    CLvDoc* third = ActiveDoc();
    EXPECT_EQ(first->GetTitle(), "Copy 1 of x.png");
    EXPECT_EQ(second->GetTitle(), "Copy 2 of x.png");
    EXPECT_EQ(third->GetTitle(), "Copy 3 of Copy 1 of x.png");
    for (CLvDoc* d : {first, second, third}) {
        EXPECT_TRUE(d->GetPathName().empty());
        EXPECT_FALSE(d->IsModified());
        EXPECT_EQ(d->m_undo.Level(), 0);
        ASSERT_TRUE(d->m_image);
        EXPECT_NE(d->m_image->pDib, doc->m_image->pDib);
        EXPECT_TRUE(SamePicture(*d->m_image, *doc->m_image));
    }
    // Save As of a duplicate proposes its title and the format's extension.
    EXPECT_EQ(LvProposedSaveName(first->GetPathName(), first->GetTitle(), true, first->m_image->GetFormat()),
              "Copy 1 of x.png.png");
}

TEST_F(GuiTest, CopyPutsTheSelectionBoxOnTheClipboardAndEmptyClearsIt) {
    CLvDoc* doc = Open(MakePicture(m_dir, "c.bmp", 40, 30, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    Command(ID_EDIT_COPY);
    CLvImage whole;
    ASSERT_TRUE(OpenClipboard(FrameHwnd()));
    EXPECT_TRUE(whole.CreateFromHandle(GetClipboardData(CF_DIB)));
    CloseClipboard();
    EXPECT_TRUE(SamePicture(whole, *doc->m_image));
    EXPECT_TRUE(MenuItem(ID_EDIT_EMPTY).enabled);

    // An ellipse gives its bounding rectangle.
    doc->m_image->SelectionCreate();
    doc->m_image->SelectionAddEllipse(5, 4, 25, 20);
    LvOpParams box;
    ASSERT_TRUE(LvCropParamsFromSelection(*doc->m_image, box));
    CLvImage expected;
    ASSERT_TRUE(doc->m_image->Crop(box.p[0], box.p[1], box.p[2], box.p[3], &expected));
    Command(ID_EDIT_COPY);
    CLvImage part;
    ASSERT_TRUE(OpenClipboard(FrameHwnd()));
    EXPECT_TRUE(part.CreateFromHandle(GetClipboardData(CF_DIB)));
    CloseClipboard();
    EXPECT_EQ(part.GetWidth(), box.p[2] - box.p[0]);
    EXPECT_EQ(part.GetHeight(), box.p[3] - box.p[1]);
    EXPECT_TRUE(SamePicture(part, expected));

    Command(ID_EDIT_EMPTY);
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_FALSE(MenuItem(ID_EDIT_EMPTY).enabled);
}

// The mail program of the test: what it was given, and the attachment as it was when it came.
struct MailSeen {
    int calls = 0;
    std::string path, name;
    CLvImage picture;
} g_mail;

bool FakeSendMail(HWND, const std::string& path, const std::string& name, std::string&) {
    g_mail.calls++;
    g_mail.path = path;
    g_mail.name = name;
    g_mail.picture.Load(path.c_str(), LVFMT_UNKNOWN);
    return true;
}

TEST_F(GuiTest, SendPhotoByMailAttachesThePictureUnderItsTitle) {
    EXPECT_FALSE(MenuItem(ID_FILE_SEND_MAIL).found); // no document: not in the menu
    CLvDoc* doc = Open(MakePicture(m_dir, "mail me.png", 30, 20, 24, LVFMT_PNG));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(MenuItem(ID_FILE_SEND_MAIL).enabled);
    g_mail = MailSeen();
    FwSetSendMailForTesting(FakeSendMail);
    Command(ID_FILE_SEND_MAIL);
    FwSetSendMailForTesting(nullptr);
    ASSERT_EQ(g_mail.calls, 1);
    EXPECT_EQ(g_mail.name, "mail me.png");
    EXPECT_EQ(g_mail.path.substr(g_mail.path.size() - g_mail.name.size()), g_mail.name);
    EXPECT_EQ(g_mail.picture.GetFormat(), DWORD(LVFMT_PNG));
    EXPECT_TRUE(SamePicture(g_mail.picture, *doc->m_image));
    EXPECT_FALSE(FileExists(g_mail.path)); // the temporary copy is gone
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(GuiTest, FolderWalkKeysAndStates) {
    MakePicture(m_dir, "a.bmp", 10, 10, 24, LVFMT_BMP);
    MakePicture(m_dir, "b.png", 20, 10, 24, LVFMT_PNG);
    MakePicture(m_dir, "c.gif", 30, 10, 8, LVFMT_GIF);
    MakePicture(m_dir, "d.jpeg", 40, 10, 24, LVFMT_JPG); // not walked to
    WriteFileBytes(m_dir.Path("notes.txt"), Bytes(10, 'x'));
    CLvDoc* doc = Open(m_dir.Path("b.png"));
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->m_folderFiles.size(), 3u);
    const std::vector<std::string>& names = doc->m_folderFiles;
    const int start = doc->m_fileIndex;
    ASSERT_EQ(names[size_t(start)], "b.png");
    // A changed picture is replaced without asking; the modified mark stays; the undo store empties.
    Command(ID_TRANS_MIRROR);
    WaitIdle(doc);
    ASSERT_EQ(doc->m_undo.Level(), 1);
    DialogAnswers answers;
    Command(ID_VIEW_FIRST_PICTURE);
    EXPECT_EQ(doc->m_fileIndex, 0);
    EXPECT_EQ(doc->GetTitle(), names[0]);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->m_undo.Level(), 0);
    EXPECT_FALSE(MenuItem(ID_VIEW_PREV_PICTURE).enabled);
    EXPECT_TRUE(MenuItem(ID_VIEW_NEXT_PICTURE).enabled);
    Command(ID_VIEW_PREV_PICTURE); // disabled: dropped
    EXPECT_EQ(doc->m_fileIndex, 0);
    Command(ID_VIEW_LAST_PICTURE);
    EXPECT_EQ(doc->m_fileIndex, 2);
    EXPECT_EQ(doc->GetTitle(), names[2]);
    EXPECT_FALSE(MenuItem(ID_VIEW_NEXT_PICTURE).enabled);
    EXPECT_TRUE(MenuItem(ID_VIEW_FIRST_PICTURE).enabled);
    Command(ID_VIEW_PREV_PICTURE);
    EXPECT_EQ(doc->m_fileIndex, 1);
    // The accelerators: Page Down is Next Picture.
    MSG msg = {};
    msg.hwnd = ActiveView()->GetHwnd();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_NEXT;
    EXPECT_TRUE(m_app->PreTranslateMessage(msg));
    EXPECT_EQ(doc->m_fileIndex, 2);
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(FwFileTitle(doc->GetPathName()), names[2]);
    EXPECT_TRUE(FwSamePath(doc->m_filePath, m_dir.Path("b.png"))); // the folder is not scanned again

    // A folder with only the current file: First and Last on, Prev and Next off.
    TempDir alone;
    CLvDoc* single = Open(MakePicture(alone, "only.bmp", 5, 5, 24, LVFMT_BMP));
    ASSERT_NE(single, nullptr);
    EXPECT_TRUE(MenuItem(ID_VIEW_FIRST_PICTURE).enabled);
    EXPECT_TRUE(MenuItem(ID_VIEW_LAST_PICTURE).enabled);
    EXPECT_FALSE(MenuItem(ID_VIEW_PREV_PICTURE).enabled);
    EXPECT_FALSE(MenuItem(ID_VIEW_NEXT_PICTURE).enabled);
}

TEST_F(GuiTest, ClosingAsksOnlyOnTheFileMenu) {
    CLvDoc* a = Open(MakePicture(m_dir, "a.bmp", 10, 10, 24, LVFMT_BMP));
    ASSERT_NE(a, nullptr);
    a->SetModifiedFlag(true);
    {
        DialogAnswers answers;
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDCANCEL));
        Command(ID_FILE_CLOSE);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_EQ(answers.Texts()[0], "Save changes to a.bmp?");
        EXPECT_EQ(Docs().size(), 1u); // cancelled: still open
    }
    {
        DialogAnswers answers;
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDNO));
        Command(ID_FILE_CLOSE);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(Docs().empty());
    }
    // The Window menu's Close and Close All discard changes without a question.
    CLvDoc* b = Open(m_dir.Path("a.bmp"));
    ASSERT_NE(b, nullptr);
    b->SetModifiedFlag(true);
    DialogAnswers answers;
    Command(ID_WINDOW_CLOSE);
    EXPECT_TRUE(Docs().empty());
    for (const char* name : {"x.bmp", "y.bmp"})
        Open(MakePicture(m_dir, name, 10, 10, 24, LVFMT_BMP))->SetModifiedFlag(true);
    ASSERT_EQ(Docs().size(), 2u);
    Command(ID_WINDOW_CLOSE_ALL);
    EXPECT_TRUE(Docs().empty());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(GetMenu(FrameHwnd()), Frame()->DefaultMenu());
    EXPECT_EQ(FwWindowText(FrameHwnd()), "Lumivue");
}

TEST_F(GuiTest, NewDocumentHasNoImageAndNoImageCommands) {
    Command(ID_FILE_NEW);
    CLvDoc* doc = ActiveDoc();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->m_image, nullptr);
    EXPECT_EQ(doc->GetTitle(), "Lumivue1");
    for (int id : {ID_TRANS_MIRROR, ID_COLOR_TRUE, ID_EDIT_COPY, ID_FILE_SAVE_AS, ID_EDIT_DUPLICATE, ID_EDIT_UNDO})
        EXPECT_FALSE(MenuItem(id).enabled) << id;
    Command(ID_TRANS_MIRROR); // dropped: nothing happens
    EXPECT_FALSE(doc->IsBusy());
    EXPECT_EQ(doc->m_undo.Level(), 0);
}

TEST_F(GuiTest, AboutBoxShowsTheVersion) {
    DialogAnswers answers;
    std::string version;
    answers.Expect("About Lumivue", [&](HWND dialog) {
        version = FwWindowText(GetDlgItem(dialog, IDC_ABOUT_VERSION));
        DialogAnswers::Press(dialog, IDOK);
    });
    Command(ID_APP_ABOUT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_EQ(version, std::string("Lumivue ") + LV_VERSION_STRING);
    // The program file carries the same version in its version resource.
    const std::wstring program = LvUtf8ToWide(LV_PROGRAM);
    DWORD handle = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(program.c_str(), &handle));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, DWORD(info.size()), info.data()));
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(LvWideToUtf8(text), LV_VERSION_STRING);
}

// The texts of the recent-file entries of the main window's File menu as it shows them when it opens.
std::vector<std::string> RecentMenuTexts(HWND frame) {
    HMENU file = GetSubMenu(GetMenu(frame), 0);
    SendMessageW(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(file); i++) {
        const UINT id = GetMenuItemID(file, i);
        if (id < UINT(ID_FILE_MRU_FILE1) || id >= UINT(ID_FILE_MRU_FILE1 + 16)) continue;
        wchar_t text[MAX_PATH + 8] = {};
        GetMenuStringW(file, UINT(i), text, MAX_PATH + 8, MF_BYPOSITION);
        const bool greyed = (GetMenuState(file, UINT(i), MF_BYPOSITION) & MF_GRAYED) != 0;
        texts.push_back((greyed ? "(greyed) " : "") + LvWideToUtf8(text));
    }
    return texts;
}

TEST_F(GuiTest, RecentFilesReopenAndForgetMissingOnes) {
    // No files yet: the placeholder, greyed.
    while (m_app->RecentFiles().Size())
        m_app->RecentFiles().Remove(0);
    EXPECT_EQ(RecentMenuTexts(FrameHwnd()), std::vector<std::string>{"(greyed) Recent File"});
    const std::string keep = MakePicture(m_dir, "keep.bmp", 8, 8, 24, LVFMT_BMP);
    const std::string gone = MakePicture(m_dir, "gone.bmp", 8, 8, 24, LVFMT_BMP);
    Open(keep);
    // A name relative to the current folder is remembered whole.
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(LvUtf8ToWide(m_dir.Root()).c_str()));
    CFwDocument* relative = m_app->OpenDocumentFile("gone.bmp");
    SetCurrentDirectoryW(previous); // the folder can be removed at the end
    ASSERT_NE(relative, nullptr);
    EXPECT_TRUE(FwSamePath(ActiveDoc()->GetPathName(), gone)) << ActiveDoc()->GetPathName();
    EXPECT_EQ(RecentMenuTexts(FrameHwnd()), (std::vector<std::string>{"&1 " + gone, "&2 " + keep}));
    Command(ID_WINDOW_CLOSE_ALL);
    EXPECT_EQ(RecentMenuTexts(FrameHwnd()), (std::vector<std::string>{"&1 " + gone, "&2 " + keep}));
    ASSERT_TRUE(FwSamePath(m_app->RecentFiles()[0], gone));
    DeleteFileW(LvUtf8ToWide(gone).c_str());
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_FILE_MRU_FILE1 + 1); // keep.bmp
    ASSERT_NE(ActiveDoc(), nullptr);
    EXPECT_EQ(ActiveDoc()->GetTitle(), "keep.bmp");
    ASSERT_TRUE(FwSamePath(m_app->RecentFiles()[0], keep));
    Command(ID_FILE_MRU_FILE1 + 1); // gone.bmp cannot be opened: it leaves the list
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_EQ(Docs().size(), 1u);
    for (size_t i = 0; i < m_app->RecentFiles().Size(); i++)
        EXPECT_FALSE(FwSamePath(m_app->RecentFiles()[i], gone));
}

} // namespace
