#include "LvGuiTestUtil.h"

#include "app/LvPhotoInfo.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

namespace {

const RGBQUAD kWhite = {255, 255, 255, 0};

class PhotoInfoTest : public GuiTest {
protected:
    std::wstring ThumbnailKey() const { return LvUtf8ToWide(m_app->RegistryKey() + "\\Effect Config\\Thumbnail"); }
    bool ThumbnailKeyExists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ThumbnailKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    DWORD StoredNumber(const wchar_t* name) const {
        DWORD value = 0xDEADBEEF, size = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, ThumbnailKey().c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size);
        return value;
    }
    std::string StoredText(const wchar_t* name) const {
        wchar_t value[256] = {};
        DWORD size = sizeof(value);
        if (RegGetValueW(HKEY_CURRENT_USER, ThumbnailKey().c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) !=
            ERROR_SUCCESS)
            return "(none)";
        return LvWideToUtf8(value);
    }
};

// What the user does with a dialog's horizontal scroll bar: a drag to a position, or an arrow key.
void DragTo(HWND dialog, int id, int position) {
    HWND bar = GetDlgItem(dialog, id);
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(bar));
}
void PressKey(HWND control, WPARAM key) {
    SetFocus(control);
    SendMessageW(control, WM_KEYDOWN, key, 0);
    SendMessageW(control, WM_KEYUP, key, 0);
}

std::string ItemText(HWND dialog, int id) {
    return FwWindowText(GetDlgItem(dialog, id));
}

// The pixels that differ between two pictures of one size, which must all have the colour given: how many,
// and their bounding box (rows from the top).
struct Changes {
    int count = 0;
    RECT box = {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};
Changes ChangedPixels(const CLvImage& before, const CLvImage& after, RGBQUAD color) {
    Changes changes;
    const int h = after.GetHeight();
    for (int row = 0; row < h; row++)
        for (int x = 0; x < after.GetWidth(); x++) {
            const RGBQUAD b = before.GetPixelColor(x, h - 1 - row), a = after.GetPixelColor(x, h - 1 - row);
            if (SameColor(a, b)) continue;
            changes.count++;
            EXPECT_TRUE(SameColor(a, color)) << x << "," << row << ": " << ColorText(a);
            changes.box.left = std::min<LONG>(changes.box.left, x);
            changes.box.top = std::min<LONG>(changes.box.top, row);
            changes.box.right = std::max<LONG>(changes.box.right, x + 1);
            changes.box.bottom = std::max<LONG>(changes.box.bottom, row + 1);
        }
    return changes;
}

TEST_F(PhotoInfoTest, ExifInformationReportsTheCameraData) {
    const struct {
        std::string file;
        const char* expected; // whole report, or null: checked line by line below
    } cases[] = {
        {DataPath("jpeg/camera-Pentax.jpg"), nullptr},
        // A picture without camera data: the record is empty, not left over from anywhere.
        {MakePicture(m_dir, "plain.bmp", 20, 10, 24, LVFMT_BMP),
         "Width x Height   : 0 x 0\nColor/bw     : Black and white\nFlash used   : No\nEncoding      : Unknown\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        CLvDoc* doc = Open(c.file);
        ASSERT_NE(doc, nullptr);
        EXPECT_TRUE(MenuItem(ID_TOOLS_EXIF_INFORMATION).enabled);
        DialogAnswers answers;
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
        Command(ID_TOOLS_EXIF_INFORMATION);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty());
        ASSERT_EQ(answers.Texts().size(), 1u);
        const std::string& shown = answers.Texts()[0];
        EXPECT_EQ(shown, LvExifReport(doc->m_exif));
        if (c.expected) {
            EXPECT_EQ(shown, c.expected);
        } else {
            for (const char* line : {"Camera make  : PENTAX Corporation \n", "Date/Time    : 2008:03:02 12:01:23\n",
                                     "Orientation  : Rotated 90 degrees counter-clockwise\n",
                                     "Exposure time: 0.010 s  (1/100)\n", "Encoding      : Baseline\n"})
                EXPECT_NE(shown.find(line), std::string::npos) << line;
        }
    }
}

TEST_F(PhotoInfoTest, ThumbnailFromTheDialogAndItsStoredSettings) {
    RegDeleteKeyW(HKEY_CURRENT_USER, ThumbnailKey().c_str());
    CLvDoc* doc = Open(MakePicture(m_dir, "t.bmp", 400, 300, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    const CLvImage before(*doc->m_image);
    EXPECT_TRUE(MenuItem(ID_TOOLS_THUMBNAIL).enabled);

    // First use shows the defaults; Cancel after changing everything writes and changes nothing.
    struct Shown {
        std::string text, readout;
        int position = 0;
        bool exif = false;
    } first, again;
    auto look = [](HWND dialog, Shown& s) {
        s.text = ItemText(dialog, IDC_THUMB_TEXT);
        s.position = GetScrollPos(GetDlgItem(dialog, IDC_THUMB_SIZE), SB_CTL);
        s.readout = ItemText(dialog, IDC_THUMB_SIZE_TEXT);
        s.exif = IsDlgButtonChecked(dialog, IDC_THUMB_EXIF) == BST_CHECKED;
    };
    {
        DialogAnswers answers;
        answers.Expect("Thumbnail information", [&](HWND dialog) {
            look(dialog, first);
            FwSetWindowText(GetDlgItem(dialog, IDC_THUMB_TEXT), "Changed");
            DragTo(dialog, IDC_THUMB_SIZE, 10);
            DialogAnswers::Press(dialog, IDC_THUMB_EXIF);
            DialogAnswers::Press(dialog, IDCANCEL);
        });
        Command(ID_TOOLS_THUMBNAIL);
        EXPECT_TRUE(answers.AllAnswered());
    }
    EXPECT_EQ(first.text, "Photo by Vesk in 2000.01.01");
    EXPECT_EQ(first.position, 50);
    EXPECT_EQ(first.readout, "50%");
    EXPECT_FALSE(first.exif);
    EXPECT_FALSE(ThumbnailKeyExists());
    EXPECT_TRUE(SamePicture(*doc->m_image, before));
    EXPECT_EQ(doc->m_undo.Level(), 0);
    EXPECT_FALSE(doc->IsModified());

    // OK: the size read-out follows the slider; 50 % of 400 x 300 is 200 x 150.
    std::string readoutAt49, readoutAt50;
    {
        DialogAnswers answers;
        answers.Expect("Thumbnail information", [&](HWND dialog) {
            FwSetWindowText(GetDlgItem(dialog, IDC_THUMB_TEXT), "Holiday");
            DragTo(dialog, IDC_THUMB_SIZE, 49);
            readoutAt49 = ItemText(dialog, IDC_THUMB_SIZE_TEXT);
            PressKey(GetDlgItem(dialog, IDC_THUMB_SIZE), VK_RIGHT);
            readoutAt50 = ItemText(dialog, IDC_THUMB_SIZE_TEXT);
            DialogAnswers::Press(dialog, IDC_THUMB_EXIF);
            DialogAnswers::Press(dialog, IDOK);
        });
        Command(ID_TOOLS_THUMBNAIL);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty());
    }
    EXPECT_EQ(readoutAt49, "49%");
    EXPECT_EQ(readoutAt50, "50%");
    EXPECT_EQ(StoredText(L"Mark"), "Holiday");
    EXPECT_EQ(StoredNumber(L"Percentage"), 50u);
    EXPECT_EQ(StoredNumber(L"Exif"), 1u);
    EXPECT_EQ(doc->m_undo.Level(), 1);
    EXPECT_TRUE(doc->IsModified());

    // The framed picture is 200 + 2 + 20 = 222 by 150 + 2 + 50 = 202; the shadow adds 8 on every side.
    const CLvImage& thumb = *doc->m_image;
    ASSERT_EQ(thumb.GetWidth(), 222 + 16);
    ASSERT_EQ(thumb.GetHeight(), 202 + 16);
    EXPECT_EQ(Frame()->PaneText(3).rfind("238x218x24b", 0), 0u) << Frame()->PaneText(3);
    auto at = [&](int x, int row) { return thumb.GetPixelColor(x, thumb.GetHeight() - 1 - row); };
    EXPECT_TRUE(SameColor(at(8, 8), Quad(0, 0, 0)));
    EXPECT_TRUE(SameColor(at(229, 8), Quad(0, 0, 0)));
    EXPECT_TRUE(SameColor(at(18, 18), kWhite));
    EXPECT_TRUE(SameColor(at(219, 169), kWhite));
    EXPECT_TRUE(SameColor(at(7, 8), kWhite));
    // The caption "Holiday" (this picture has no camera data) in white in the bottom frame, right-aligned 5
    // pixels from the frame's edge, its box's lower edge its own height above the frame's bottom.
    const int fontHeight = LvThumbnailFontHeight(202);
    const SIZE box = CLvImage::MeasureString(nullptr, "Holiday", "MS Sans Serif", fontHeight, FW_BOLD);
    ASSERT_GT(box.cx, 0);
    const int left = 8 + 222 - box.cx - 5, bottom = 8 + 202 - box.cy;
    int captionPixels = 0, firstColumn = INT_MAX;
    for (int row = 170; row < 210; row++)
        for (int x = 8; x < 230; x++) {
            if (!SameColor(at(x, row), kWhite)) continue;
            captionPixels++;
            firstColumn = std::min(firstColumn, x);
            EXPECT_TRUE(x >= left && x < left + box.cx + 1 && row > bottom - box.cy && row <= bottom)
                << x << "," << row;
        }
    EXPECT_GT(captionPixels, 0);
    EXPECT_LE(firstColumn, left + 1);

    // The next use shows what was confirmed.
    {
        DialogAnswers answers;
        answers.Expect("Thumbnail information", [&](HWND dialog) {
            look(dialog, again);
            DialogAnswers::Press(dialog, IDCANCEL);
        });
        Command(ID_TOOLS_THUMBNAIL);
    }
    EXPECT_EQ(again.text, "Holiday");
    EXPECT_EQ(again.position, 50);
    EXPECT_EQ(again.readout, "50%");
    EXPECT_TRUE(again.exif);

    Command(ID_EDIT_UNDO);
    EXPECT_TRUE(SamePicture(*doc->m_image, before));
}

TEST_F(PhotoInfoTest, TimeStampDrawsTheChosenDateAtTheLowerRightAndUndoes) {
    CLvDoc* doc = Open(MakePicture(m_dir, "s.bmp", 300, 120, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->m_stampColor, RGB(255, 0, 0));
    EXPECT_TRUE(MenuItem(ID_TOOLS_TIME_STAMP).enabled);
    wcscpy(doc->m_stampFont.lfFaceName, L"Tahoma");
    doc->m_stampFont.lfHeight = -20;
    doc->m_stampFont.lfWeight = FW_BOLD;
    const CLvImage before(*doc->m_image);
    DialogAnswers answers;
    answers.Expect("Time Stamp", [](HWND dialog) {
        SYSTEMTIME t = {};
        t.wYear = 2021;
        t.wMonth = 3;
        t.wDay = 4;
        t.wHour = 5;
        t.wMinute = 6;
        t.wSecond = 7;
        SendMessageW(GetDlgItem(dialog, IDC_STAMP_DATE), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
        SendMessageW(GetDlgItem(dialog, IDC_STAMP_TIME), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
        DialogAnswers::Press(dialog, IDC_STAMP_FONT);
    });
    // The font dialog opens on the stamp's font; its OK, then the time stamp's.
    answers.Expect("Font", [](HWND dialog) {
        DialogAnswers::Press(dialog, IDOK);
        DialogAnswers::Press(GetWindow(dialog, GW_OWNER), IDOK);
    });
    Command(ID_TOOLS_TIME_STAMP);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(answers.Unexpected().empty());
    EXPECT_EQ(doc->m_stampText, "2021.03.04 05:06:07");
    EXPECT_EQ(LvWideToUtf8(doc->m_stampFont.lfFaceName), "Tahoma");
    EXPECT_EQ(doc->m_stampColor, RGB(255, 0, 0));
    EXPECT_EQ(doc->m_undo.Level(), 1);
    EXPECT_TRUE(doc->IsModified());

    const LOGFONTW& f = doc->m_stampFont;
    const SIZE box = CLvImage::MeasureString(nullptr, doc->m_stampText.c_str(), "Tahoma", f.lfHeight, f.lfWeight,
                                             f.lfItalic != 0, f.lfUnderline != 0);
    ASSERT_GT(box.cx, 0);
    // x = width - text width - 30; the box's lower edge at row height - text height from the top. The first
    // glyph starts within a pixel or two of the box's left edge.
    const int left = 300 - box.cx - 30, bottom = 120 - box.cy;
    const Changes changes = ChangedPixels(before, *doc->m_image, Quad(255, 0, 0));
    EXPECT_GT(changes.count, 30);
    EXPECT_GE(changes.box.left, left);
    EXPECT_LE(changes.box.left, left + 2);
    EXPECT_LE(changes.box.right, left + box.cx + 1);
    EXPECT_GT(changes.box.top, bottom - box.cy);
    EXPECT_LE(changes.box.bottom, bottom + 1);

    Command(ID_EDIT_UNDO);
    EXPECT_TRUE(SamePicture(*doc->m_image, before));
}

TEST_F(PhotoInfoTest, TextWatermarkRoundTripThroughTheFile) {
    const std::string path = MakePicture(m_dir, "w.bmp", 64, 64, 24, LVFMT_BMP);
    CLvDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(MenuItem(ID_TOOLS_WATERMARK_EMBED).enabled);
    EXPECT_TRUE(MenuItem(ID_TOOLS_WATERMARK_DETECT).enabled);
    const std::string text = "Quillmarsh 2024 \xc2\xa9 h\xc3\xa9llo";
    // Each step: the command, what is typed into the watermark dialog (null: no dialog), the messages shown.
    auto run = [&](int id, const char* typed, bool cancel = false) {
        DialogAnswers answers;
        if (typed) {
            const std::string t = typed;
            answers.Expect("Please input the watermark", [t, cancel](HWND dialog) {
                FwSetWindowText(GetDlgItem(dialog, IDC_WM_TEXT), t);
                DialogAnswers::Press(dialog, cancel ? IDCANCEL : IDOK);
            });
        }
        if (!cancel) answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
        Command(id);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty());
        return answers.Texts().empty() ? std::string("(none)") : answers.Texts().back();
    };
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_DETECT, nullptr), "Without Watermark in this file");
    run(ID_TOOLS_WATERMARK_EMBED, "never embedded", true);
    EXPECT_EQ(doc->m_undo.Level(), 0);
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_EMBED, text.c_str()), "Watermark Embeded Successfully!");
    EXPECT_EQ(doc->m_undo.Level(), 1);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_DETECT, nullptr), text);
    // 64 x 64 pixels hold fewer than 512 bytes.
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_EMBED, std::string(511, 'x').c_str()), "The watermark is too long...");
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_DETECT, nullptr), text);

    // Saved as BMP and opened again, the watermark is still found.
    const std::string copy = m_dir.Path("copy.bmp");
    ASSERT_TRUE(doc->m_image->Encode(copy.c_str(), LVFMT_BMP));
    ASSERT_NE(Open(copy), nullptr);
    EXPECT_EQ(run(ID_TOOLS_WATERMARK_DETECT, nullptr), text);
}

TEST_F(PhotoInfoTest, FileWatermarkIsWrittenBackUnderItsPlainName) {
    Bytes contents;
    for (int i = 0; i < 1500; i++)
        contents.push_back(uint8_t(i * 7 % 251));
    const std::string source = m_dir.Path("notes.dat");
    WriteFileBytes(source, contents);
    CreateDirectoryW(LvUtf8ToWide(m_dir.Path("out")).c_str(), nullptr);
    const std::string target = m_dir.Path("out\\notes-copy.dat");
    CLvDoc* doc = Open(MakePicture(m_dir, "f.bmp", 128, 128, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    {
        DialogAnswers answers;
        answers.Expect("Please input the watermark", [&](HWND dialog) {
            DialogAnswers::Press(dialog, IDC_WM_FILE);
            FwSetWindowText(GetDlgItem(dialog, IDC_WM_PATH), source);
            DialogAnswers::Press(dialog, IDOK);
        });
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
        Command(ID_TOOLS_WATERMARK_EMBED);
        EXPECT_TRUE(answers.AllAnswered());
        ASSERT_FALSE(answers.Texts().empty());
        EXPECT_EQ(answers.Texts().back(), "Watermark Embeded Successfully!");
    }
    // The detected file is offered under its stored name with its type's one filter, and written back.
    const struct {
        const char* storedName; // null: the file embedded above
        const char* offered;
        const char* filter;
        bool save;
    } cases[] = {
        {nullptr, "notes.dat", "dat files(*.dat)", true},
        {"..\\..\\evil\\aux.txt", "_aux.txt", "txt files(*.txt)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offered);
        if (c.storedName) {
            const std::string name = c.storedName, bytes = std::string(1, char(name.size())) + name + "!";
            const std::vector<uint8_t> payload(bytes.begin(), bytes.end());
            ASSERT_TRUE(doc->m_image->EmbedWatermark(payload.data(), int(payload.size())));
        }
        std::string offered, filter;
        DialogAnswers answers;
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
        answers.Expect("Save As", [&](HWND dialog) {
            // The explorer dialog's name box and file type list.
            offered = FwWindowText(GetDlgItem(dialog, 0x47C));
            filter = FwWindowText(GetDlgItem(dialog, 0x470));
            if (c.save)
                DialogAnswers::TypeFileName(target)(dialog);
            else
                DialogAnswers::Press(dialog, IDCANCEL);
        });
        Command(ID_TOOLS_WATERMARK_DETECT);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty());
        ASSERT_FALSE(answers.Texts().empty());
        EXPECT_EQ(answers.Texts()[0], "The watermark contains a file, please select a target to save.");
        EXPECT_EQ(offered, c.offered);
        EXPECT_EQ(filter, c.filter);
    }
    EXPECT_EQ(ReadFileBytes(target), contents);
    EXPECT_FALSE(FileExists(target + ".lvtmp"));
    EXPECT_FALSE(FileExists(m_dir.Path("out\\_aux.txt")));
}

TEST_F(PhotoInfoTest, CommandRulesFollowThePicture) {
    const struct {
        std::string file; // empty: a new document without a picture
        bool exif, thumbnail, stamp, watermark;
    } cases[] = {
        {MakePicture(m_dir, "r.bmp", 30, 20, 8, LVFMT_BMP), true, true, true, true},
        {MakePicture(m_dir, "r.png", 30, 20, 24, LVFMT_PNG), true, true, true, false},
        {DataPath("jpeg/camera-Nikon.jpg"), true, true, true, false},
        {"", true, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.file.empty())
            Command(ID_FILE_NEW);
        else
            ASSERT_NE(Open(c.file), nullptr);
        EXPECT_EQ(MenuItem(ID_TOOLS_EXIF_INFORMATION).enabled, c.exif);
        EXPECT_EQ(MenuItem(ID_TOOLS_THUMBNAIL).enabled, c.thumbnail);
        EXPECT_EQ(MenuItem(ID_TOOLS_TIME_STAMP).enabled, c.stamp);
        EXPECT_EQ(MenuItem(ID_TOOLS_WATERMARK_EMBED).enabled, c.watermark);
        EXPECT_EQ(MenuItem(ID_TOOLS_WATERMARK_DETECT).enabled, c.watermark);
        if (!c.watermark) {
            // A refused command opens nothing.
            DialogAnswers answers;
            Command(ID_TOOLS_WATERMARK_EMBED);
            Command(ID_TOOLS_WATERMARK_DETECT);
            if (c.file.empty()) Command(ID_TOOLS_THUMBNAIL);
            EXPECT_TRUE(answers.Texts().empty());
        }
    }
}

} // namespace
