#include "LvGuiTestUtil.h"

#include "batch/LvBatchDialogs_win.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

// Whether a child window of the dialog shows exactly this text.
bool HasChildText(HWND dialog, const std::string& text) {
    struct Search {
        std::string text;
        bool found = false;
    } search{text};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) {
            Search* s = reinterpret_cast<Search*>(param);
            if (FwWindowText(child) == s->text) s->found = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class BatchDialogTest : public GuiTest {
protected:
    static CBatchDlg* Dialog(HWND dialog) { return reinterpret_cast<CBatchDlg*>(GetWindowLongPtrW(dialog, DWLP_USER)); }
    // A click as the button sends it; returns when the dialog has handled it (nested dialogs included).
    static void Click(HWND dialog, int id, int code = BN_CLICKED) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
    static std::string Text(HWND dialog, int id) { return FwWindowText(GetDlgItem(dialog, id)); }
    static int BarPosition(HWND dialog, int id) { return int(SendMessageW(GetDlgItem(dialog, id), PBM_GETPOS, 0, 0)); }
    static std::vector<std::string> ListRows(HWND dialog, int id) {
        std::vector<std::string> rows;
        HWND list = GetDlgItem(dialog, id);
        const int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; i++) {
            wchar_t text[128] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            rows.push_back(LvWideToUtf8(text));
        }
        return rows;
    }
    static void Choose(HWND dialog, int list, int row) {
        SendMessageW(GetDlgItem(dialog, list), LB_SETCURSEL, WPARAM(row), 0);
    }
    // Do it, then handles messages until the run has ended and the dialog took its outcome.
    void RunToEnd(HWND dialog) {
        Click(dialog, IDOK);
        CBatchDlg* batch = Dialog(dialog);
        ASSERT_TRUE(PumpUntil([&] { return !batch->IsRunning() && IsWindowEnabled(GetDlgItem(dialog, IDOK)); }));
    }
    // The run's log lines without their time stamps.
    static std::vector<std::string> LogLines(HWND dialog) { return LogRecords(Dialog(dialog)->m_log.Path()); }
    std::string Folder(const std::string& name) {
        const std::string path = m_dir.Path(name);
        CreateDirectoryW(LvUtf8ToWide(path).c_str(), nullptr);
        return path;
    }
};

TEST_F(BatchDialogTest, EffectListsFilterBrowseAndAnEmptyFolder) {
    const std::string folder = Folder("pictures");
    DialogAnswers answers;
    answers.Expect("Batch", [&](HWND dialog) {
        EXPECT_EQ(ListRows(dialog, IDC_BATCH_AVAILABLE).size(), 50u);
        EXPECT_EQ(ListRows(dialog, IDC_BATCH_AVAILABLE)[23], "Rotate to Any Angle");
        EXPECT_EQ(Text(dialog, IDC_BATCH_REMARK), kLvBatchRemark);
        EXPECT_EQ(Text(dialog, IDC_BATCH_SCOPE), "All Images in this folder");
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, IDC_BATCH_SCOPE), CB_GETCOUNT, 0, 0), 2);

        // "=>" twice leaves one row; the chain keeps the order of choosing.
        Choose(dialog, IDC_BATCH_AVAILABLE, 5);
        Click(dialog, IDC_BATCH_ADD);
        Click(dialog, IDC_BATCH_ADD);
        Choose(dialog, IDC_BATCH_AVAILABLE, 2);
        Click(dialog, IDC_BATCH_ADD);
        Choose(dialog, IDC_BATCH_AVAILABLE, 49);
        Click(dialog, IDC_BATCH_ADD);
        EXPECT_EQ(ListRows(dialog, IDC_BATCH_CHOSEN), (std::vector<std::string>{"Mirror", "Rotate Left", "Thumbnail"}));
        // "<=" and a double-click remove the selected row; without a selection nothing goes.
        Choose(dialog, IDC_BATCH_CHOSEN, 0);
        Click(dialog, IDC_BATCH_REMOVE);
        Choose(dialog, IDC_BATCH_CHOSEN, 1);
        Click(dialog, IDC_BATCH_CHOSEN, LBN_DBLCLK);
        Choose(dialog, IDC_BATCH_CHOSEN, -1);
        Click(dialog, IDC_BATCH_REMOVE);
        EXPECT_EQ(ListRows(dialog, IDC_BATCH_CHOSEN), std::vector<std::string>{"Rotate Left"});

        // The filter: OK takes the boxes, Cancel keeps the flags.
        Click(dialog, IDC_BATCH_FILTER);
        Click(dialog, IDC_BATCH_FILTER);
        const int expected[kLvBatchTypeCount] = {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0};
        for (int i = 0; i < kLvBatchTypeCount; i++)
            EXPECT_EQ(Dialog(dialog)->m_typeFilter[i], expected[i]) << i;

        // Browse starts at the folder of the box; OK takes the folder chosen, Cancel changes nothing.
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(m_dir.Root()).c_str());
        Click(dialog, IDC_BATCH_BROWSE);
        EXPECT_EQ(Text(dialog, IDC_BATCH_FOLDER), folder);
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, L"unchanged");
        Click(dialog, IDC_BATCH_BROWSE);
        EXPECT_EQ(Text(dialog, IDC_BATCH_FOLDER), "unchanged");

        // Do it without a folder does nothing.
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, L"");
        Click(dialog, IDOK);
        EXPECT_EQ(Dialog(dialog)->m_worker, nullptr);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        DialogAnswers::Press(dialog, IDCANCEL);
    });
    answers.Expect("Image Extention Filter", [](HWND filter) {
        EXPECT_EQ(IsDlgButtonChecked(filter, IDC_FILTER_FIRST + 1), BST_CHECKED);
        CheckDlgButton(filter, IDC_FILTER_FIRST + 1, BST_UNCHECKED); // .GIF
        CheckDlgButton(filter, IDC_FILTER_LAST, BST_UNCHECKED);      // .WMF | .EMF
        DialogAnswers::Press(filter, IDOK);
    });
    answers.Expect("Image Extention Filter", [](HWND filter) {
        EXPECT_EQ(IsDlgButtonChecked(filter, IDC_FILTER_FIRST + 1), BST_UNCHECKED);
        CheckDlgButton(filter, IDC_FILTER_FIRST, BST_UNCHECKED);
        DialogAnswers::Press(filter, IDCANCEL);
    });
    answers.Expect("Browse for Folder", [&](HWND browser) {
        EXPECT_TRUE(HasChildText(browser, "\nPlease Select Folder:"));
        // The chooser shows the folder it starts at, then the one chosen, in its status line.
        ASSERT_TRUE(PumpUntil([&] { return HasChildText(browser, m_dir.Root()); }));
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(LvUtf8ToWide(folder).c_str()));
        ASSERT_TRUE(PumpUntil([&] { return HasChildText(browser, folder); }));
        DialogAnswers::Press(browser, IDOK);
    });
    answers.Expect("Browse for Folder", DialogAnswers::PressButton(IDCANCEL));
    Command(ID_BATCH_EFFECT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
}

TEST_F(BatchDialogTest, EffectRunsToEachOutcome) {
    const std::string empty = Folder("empty"), folder = Folder("photos");
    const std::string a = MakePicture(m_dir, "photos\\a.bmp", 5, 3, 24, LVFMT_BMP);
    const std::string b = MakePicture(m_dir, "photos\\b.png", 4, 4, 8, LVFMT_PNG);
    CLvImage expected(a.c_str(), LVFMT_BMP);
    ASSERT_TRUE(expected.RotateLeft() && expected.Negative());
    DialogAnswers answers;
    answers.Expect("Batch", [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(folder).c_str());
        // No effect: the folder is still scanned.
        RunToEnd(dialog);
        EXPECT_EQ(Text(dialog, IDC_BATCH_EFFECT_BAR), "No effect selected!");
        EXPECT_EQ(Text(dialog, IDC_BATCH_FILE_BAR), "");
        EXPECT_EQ(Dialog(dialog)->m_files.size(), 2u);

        Choose(dialog, IDC_BATCH_AVAILABLE, 2);
        Click(dialog, IDC_BATCH_ADD);
        Choose(dialog, IDC_BATCH_AVAILABLE, 1);
        Click(dialog, IDC_BATCH_ADD);
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(empty).c_str());
        RunToEnd(dialog);
        EXPECT_EQ(Text(dialog, IDC_BATCH_EFFECT_BAR), "No file matched in the folder!");

        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(folder).c_str());
        RunToEnd(dialog);
        EXPECT_EQ(Text(dialog, IDC_BATCH_EFFECT_BAR), "Batch building Done succefully!");
        EXPECT_EQ(BarPosition(dialog, IDC_BATCH_EFFECT_BAR), 0);
        EXPECT_EQ(LogLines(dialog),
                  (std::vector<std::string>{"There's 2 files to be batch builded of 2 effects, please wait...\n",
                                            "Batch building Done succefully!"}));
        EXPECT_TRUE(SamePicture(CLvImage(a.c_str(), LVFMT_BMP), expected));

        // A damaged file: logged, the others done, the message box, then the bar.
        WriteFileBytes(m_dir.Path("photos\\c.bmp"), Bytes{'B', 'M', 1});
        RunToEnd(dialog);
        EXPECT_EQ(Text(dialog, IDC_BATCH_EFFECT_BAR),
                  "There's error in the batch building procedure, please check the log file for detail.");
        const std::vector<std::string> lines = LogLines(dialog);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[1].rfind(m_dir.Path("photos\\c.bmp") + " : ", 0), 0u) << lines[1];

        // A stop before the first file.
        Click(dialog, IDOK);
        Dialog(dialog)->m_stop = 1;
        ASSERT_TRUE(
            PumpUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) && !Dialog(dialog)->IsRunning(); }));
        EXPECT_EQ(Text(dialog, IDC_BATCH_EFFECT_BAR), "User canceled the batch building");
        EXPECT_EQ(CLvImage(b.c_str(), LVFMT_PNG).GetWidth(), 4) << "two turns only";
        DialogAnswers::Press(dialog, IDCANCEL);
    });
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_BATCH_EFFECT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
    ASSERT_EQ(answers.Texts().size(), 2u);
    EXPECT_EQ(answers.Texts()[1],
              "There's error in the batch building procedure, please check the log file for detail.");
}

TEST_F(BatchDialogTest, ClosingDuringARunWaitsForTheWorker) {
    Folder("many");
    std::vector<std::string> paths;
    for (int i = 0; i < 12; i++)
        paths.push_back(MakePicture(m_dir, "many\\p" + std::to_string(i) + ".bmp", 300, 200, 24, LVFMT_BMP));
    DialogAnswers answers;
    answers.Expect("Batch", [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(m_dir.Path("many")).c_str());
        for (int id : {20, 19, 1}) {
            Choose(dialog, IDC_BATCH_AVAILABLE, id);
            Click(dialog, IDC_BATCH_ADD);
        }
        Click(dialog, IDOK);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    });
    Command(ID_BATCH_EFFECT);
    EXPECT_TRUE(answers.AllAnswered());
    // Every file is either as it was or wholly done; nothing half-written is left.
    int untouched = 0;
    for (const std::string& path : paths) {
        CLvImage now(path.c_str(), LVFMT_BMP);
        EXPECT_EQ(now.GetWidth(), 300);
        EXPECT_FALSE(FileExists(path + ".lvtmp"));
        CLvImage original(300, 200, 24);
        FillPattern(original, 300 * 7 + 200 + 24);
        untouched += SamePicture(now, original) ? 1 : 0;
    }
    EXPECT_GT(untouched, 0) << "the run stopped";
}

TEST_F(BatchDialogTest, FormatAndColourDialogs) {
    const std::string folder = Folder("convert");
    const std::string jpg = MakePicture(m_dir, "convert\\a.jpg", 8, 6, 24, LVFMT_JPG);
    const std::string png = MakePicture(m_dir, "convert\\one.png", 8, 6, 1, LVFMT_PNG);
    DialogAnswers answers;
    answers.Expect("Batch Convert Format", [&](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_BATCH_FORMAT_FIRST), BST_CHECKED);
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(folder).c_str());
        CheckRadioButton(dialog, IDC_BATCH_FORMAT_FIRST, IDC_BATCH_FORMAT_LAST, IDC_BATCH_FORMAT_GIF);
        Click(dialog, IDC_BATCH_FORMAT_GIF);
        EXPECT_EQ(static_cast<CBatchConvertFormatDlg*>(Dialog(dialog))->m_gifOption, 2u);
        RunToEnd(dialog);
        EXPECT_EQ(Text(dialog, IDC_BATCH_FILE_BAR), "Batch building Done succefully!");
        EXPECT_EQ(LogLines(dialog)[0], "There's 2 files to be converted to GIF");

        // WMF: every file fails with the writer's text.
        CheckRadioButton(dialog, IDC_BATCH_FORMAT_FIRST, IDC_BATCH_FORMAT_LAST, IDC_BATCH_FORMAT_FIRST + 4);
        SendMessageW(GetDlgItem(dialog, IDC_BATCH_SCOPE), CB_SETCURSEL, 0, 0);
        RunToEnd(dialog);
        for (const std::string& line : LogLines(dialog)) {
            if (line.find(" : ") == std::string::npos) continue;
            EXPECT_NE(line.find("Save WMF not supported"), std::string::npos) << line;
        }
        DialogAnswers::Press(dialog, IDCANCEL);
    });
    answers.Expect("Options", [](HWND options) {
        CheckRadioButton(options, IDC_GIF_RLE, IDC_GIF_LZW, IDC_GIF_LZW);
        DialogAnswers::Press(options, IDOK);
    });
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
    Command(ID_BATCH_CONVERT_FORMAT);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(CLvImage(m_dir.Path("convert\\a.GIF").c_str(), LVFMT_GIF).GetWidth(), 8);
    EXPECT_FALSE(FileExists(m_dir.Path("convert\\a.WMF")));

    DialogAnswers colour;
    colour.Expect("Batch Convert Color Bpp", [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_BATCH_FOLDER, LvUtf8ToWide(folder).c_str());
        CheckRadioButton(dialog, IDC_BATCH_DEPTH_FIRST, IDC_BATCH_DEPTH_LAST, IDC_BATCH_DEPTH_LAST);
        RunToEnd(dialog);
        EXPECT_EQ(LogLines(dialog)[0], "There's 4 files to be batch change color to 24 Bpp\n");
        DialogAnswers::Press(dialog, IDCANCEL);
    });
    Command(ID_BATCH_CONVERT_COLOR);
    EXPECT_TRUE(colour.AllAnswered());
    EXPECT_EQ(CLvImage(png.c_str(), LVFMT_PNG).GetBpp(), 24);
}

} // namespace
