#include "LvGuiTestUtil.h"
#include "app/LvEffectConfig.h"
#include "app/LvParamDialog_win.h"
#include "app/LvParamDialogs.h"
#include "effects/LvRandom.h"
#include "framework/FwWnd_win.h"
#include "image/LvScopedWin.h"

#include <commctrl.h>

#include <cstring>
#include <map>

namespace {

const wchar_t* const kConfigKey = L"Software\\Quillmarsh\\Lumivue\\Effect Config";

// The parameter dialogs through their windows: sliders moved as the scroll bar moves them, fields typed,
// buttons pressed; values read back from the registry and pictures compared with the operation run directly.
class ParamDialogTest : public GuiTest {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kConfigKey);
        GuiTest::SetUp();
    }
    void TearDown() override {
        GuiTest::TearDown();
        RegDeleteTreeW(HKEY_CURRENT_USER, kConfigKey);
    }

    // A stored number, or fallback when there is none.
    static int32_t Stored(const std::string& effect, const std::string& name, int32_t fallback = -99999) {
        DWORD value = 0, size = sizeof(value);
        const std::wstring key = std::wstring(kConfigKey) + L"\\" + LvUtf8ToWide(effect);
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), LvUtf8ToWide(name).c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                         &size) != ERROR_SUCCESS)
            return fallback;
        return int32_t(value);
    }

    // Runs a dialog command with the dialog answered by action; false when the dialog never came.
    bool RunDialog(CLvDoc* doc, int command, const std::string& caption, DialogAnswers::Action action) {
        DialogAnswers answers;
        answers.Expect(caption, action);
        Command(command);
        WaitIdle(doc);
        EXPECT_TRUE(answers.Unexpected().empty()) << answers.Unexpected()[0];
        return answers.AllAnswered();
    }
};

int ScrollPos(HWND dialog, int id) {
    return GetScrollPos(GetDlgItem(dialog, id), SB_CTL);
}

void MoveSlider(HWND dialog, int id, int value) {
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, WORD(short(value))),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// What a window paints, through WM_PRINT into a bitmap of its own: independent of what covers it on the screen.
std::vector<RGBQUAD> Painted(HWND hwnd, int& width, int& height) {
    RECT area = FwClientRect(hwnd);
    width = area.right;
    height = area.bottom;
    std::vector<RGBQUAD> pixels(size_t(width) * size_t(height));
    ScopedGetDC screen(nullptr);
    ScopedMemDC memory(screen.Get());
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScopedGdiObj<HBITMAP> bitmap(CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    ScopedSelectObject select(memory.Get(), bitmap.Get());
    SendMessageW(hwnd, WM_PRINT, WPARAM(memory.Get()), PRF_CLIENT);
    GdiFlush();
    memcpy(pixels.data(), bits, pixels.size() * sizeof(RGBQUAD));
    return pixels;
}

std::string ItemText(HWND dialog, int id) {
    return FwWindowText(GetDlgItem(dialog, id));
}

// The caption a dialog shows.
std::string Caption(const LvParamDialog& dialog) {
    if (dialog.caption) return dialog.caption;
    static const std::map<int, std::string> captions = {
        {IDD_EMBOSS, "Emboss"},
        {IDD_LIGHT, "Light and Contrast"},
        {IDD_HSL, "Hue and Saturation"},
        {IDD_RGB, "Red Green Blue"},
        {IDD_GAMMA, "Gamma Correction"},
        {IDD_COLORIZE, "Colorize"},
        {IDD_DITHER, "Dither"},
        {IDD_STRIPE, "Stripe"},
        {IDD_LINEAR, "Liner Trans Parameter"},
        {IDD_LOCAL_THRESHOLD, "Local Threshold Method"},
        {IDD_RESIZE, "Resize"},
        {IDD_PICTURE_FUSE, "Picture Fuse"},
        {IDD_RED_EYE, "Remove Red-eyes"},
    };
    return captions.at(dialog.templateId);
}

// The picture the command gives: its operation run directly with the arguments the values give.
CLvImage Expected(const CLvImage& original, const LvParamDialog& dialog, const CLvEffectConfig& config,
                  const LvOpContext& context, int toolMode) {
    CLvImage expected(original);
    LvArgValue args[4];
    EXPECT_TRUE(LvDialogArgs(dialog, config, toolMode, args));
    const LvOperation* op = LvFindOperation(dialog.operation);
    LvOpParams params;
    std::string error;
    EXPECT_TRUE(LvEncodeOperation(*op, args, &expected, params, error)) << error;
    LvRunOperation(*op, expected, params, context);
    return expected;
}

TEST_F(ParamDialogTest, FirstUseShowsTheDefaultsOkKeepsTheValuesCancelChangesNothing) {
    CLvDoc* doc = Open(MakePicture(m_dir, "photo.bmp", 64, 48, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    const CLvImage original(*doc->m_image);
    // First use: the table's defaults; the slider moves to 150 and -20, as the command line's light 50 -20.
    ASSERT_TRUE(RunDialog(doc, ID_ADJUST_LIGHT, "Light and Contrast", [](HWND dialog) {
        EXPECT_EQ(ScrollPos(dialog, IDC_SLIDER1), 100);
        EXPECT_EQ(ScrollPos(dialog, IDC_SLIDER2), 0);
        EXPECT_EQ(ItemText(dialog, IDC_READOUT1), "100%");
        MoveSlider(dialog, IDC_SLIDER1, 150);
        MoveSlider(dialog, IDC_SLIDER2, -20);
        EXPECT_EQ(ItemText(dialog, IDC_READOUT2), "-20%");
        DialogAnswers::Press(dialog, IDOK);
    }));
    EXPECT_EQ(Stored("Adjust Light", "Light"), 150);
    EXPECT_EQ(Stored("Adjust Light", "Contrast"), -20);
    CLvImage byWords(original);
    LvOpParams params;
    std::string error;
    ASSERT_TRUE(LvParseOperation(*LvFindOperation("light"), {"50", "-20"}, &byWords, params, error)) << error;
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("light"), byWords, params, LvOpContext()));
    EXPECT_TRUE(SamePicture(*doc->m_image, byWords));
    EXPECT_TRUE(doc->IsModified());

    // The next use shows them; Cancel changes neither the values nor the picture.
    const CLvImage lit(*doc->m_image);
    ASSERT_TRUE(RunDialog(doc, ID_ADJUST_LIGHT, "Light and Contrast", [](HWND dialog) {
        EXPECT_EQ(ScrollPos(dialog, IDC_SLIDER1), 150);
        EXPECT_EQ(ScrollPos(dialog, IDC_SLIDER2), -20);
        MoveSlider(dialog, IDC_SLIDER1, 10);
        DialogAnswers::Press(dialog, IDCANCEL);
    }));
    EXPECT_EQ(Stored("Adjust Light", "Light"), 150);
    EXPECT_TRUE(SamePicture(*doc->m_image, lit));
    // Undo brings the picture before the command back.
    Command(ID_EDIT_UNDO);
    EXPECT_TRUE(SamePicture(*doc->m_image, original));

    // Erase Edge proposes -10 on every side; a stored value of the wrong type reads as the default.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kConfigKey) + L"\\Rotate").c_str(), 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"Angle", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"90"), 6);
    RegCloseKey(key);
    ASSERT_TRUE(RunDialog(doc, ID_TRANS_ERASE_EDGE, "Erase Edge", [](HWND dialog) {
        for (int id : {IDC_EDIT1, IDC_EDIT2, IDC_EDIT3, IDC_EDIT4})
            EXPECT_EQ(ItemText(dialog, id), "-10");
        DialogAnswers::Press(dialog, IDCANCEL);
    }));
    ASSERT_TRUE(RunDialog(doc, ID_TRANS_ROTATE, "Rotate", [](HWND dialog) {
        EXPECT_EQ(ScrollPos(dialog, IDC_SLIDER1), 0);
        EXPECT_EQ(ItemText(dialog, IDC_LABEL1), "Angle");
        EXPECT_EQ(ItemText(dialog, IDC_MAX1), "360");
        DialogAnswers::Press(dialog, IDCANCEL);
    }));
}

// The editor's menu bar: the image commands' menus stand in front of Color.
TEST_F(ParamDialogTest, TheMenuBarInItsOrder) {
    ASSERT_NE(Open(MakePicture(m_dir, "menus.bmp", 16, 16, 24, LVFMT_BMP)), nullptr);
    HMENU bar = GetMenu(FrameHwnd());
    std::string titles;
    for (int i = 0; i < GetMenuItemCount(bar); i++) {
        wchar_t text[64] = {};
        GetMenuStringW(bar, UINT(i), text, 64, MF_BYPOSITION);
        titles += (titles.empty() ? "" : " ") + LvWideToUtf8(text);
    }
    // An MDI child's system menu may stand first when the child is maximised.
    EXPECT_NE(
        titles.find(
            "&File &Edit &View &Trans &Adjust F&ilter Effe&ct &Photo C&olor &Tools &Acquire &Batch &Window &Help"),
        std::string::npos)
        << titles;
}

// Every dialog command, on every colour depth: OK with the first value one step up from its default gives the
// operation's own result with those values, and undo restores the picture.
TEST_F(ParamDialogTest, EveryDialogCommandRunsItsOperationOnEveryDepth) {
    for (int bpp : {1, 4, 8, 24}) {
        CLvDoc* doc = Open(MakePicture(m_dir, "depth" + std::to_string(bpp) + ".bmp", 40, 30, bpp, LVFMT_BMP));
        ASSERT_NE(doc, nullptr);
        // Feather works on a selection; Remove Red-eyes on an elliptic one under the ellipse tool.
        ASSERT_TRUE(doc->m_image->SelectionCreate());
        ASSERT_TRUE(doc->m_image->SelectionAddEllipse(8, 24, 32, 6));
        doc->m_toolMode = kLvToolEllipseSelection;
        for (const LvParamDialog& dialog : LvParamDialogs()) {
            SCOPED_TRACE(std::string(dialog.operation) + " on " + std::to_string(bpp) + " bits");
            const LvOperation* op = LvFindOperation(dialog.operation);
            ASSERT_NE(op, nullptr);
            if (!MenuItem(dialog.command).enabled) {
                ADD_FAILURE() << "disabled";
                continue;
            }
            const CLvImage original(*doc->m_image);
            CLvEffectConfig config(dialog.effect);
            config.Read(m_app->Settings());
            if (dialog.command == ID_PHOTO_FEATHER) config.SetRange("Radius", 1, LvFeatherLimit(original));
            // The first slider one step up, the others as they are; the picture dialogs take their second entry.
            const LvDialogControl* slider = nullptr;
            for (const LvDialogControl& c : dialog.controls)
                if (c.kind == kLvControlSlider && !slider) slider = &c;
            if (slider) config.SetNumber(slider->value, config.Number(slider->value) + 1);
            if (dialog.kind == kLvDialogPictures) config.SetNumber("Picture", 1);
            if (dialog.command == ID_TRANS_RESIZE) {
                config.SetNumber("Type", 1);
                config.SetNumber("Percentage", 50);
            }
            CLvImage picture;
            if (dialog.kind == kLvDialogPictures) {
                const auto& pictures = dialog.command == ID_PHOTO_PATTERN ? LvPatternPictures() : LvFramePictures();
                ASSERT_TRUE(LvLoadResourcePicture(pictures[1].resource, picture));
            }
            LvOpContext context = doc->CommandContext();
            context.auxImage = &picture;
            // Noise, Jitter and Windy draw random numbers: the command draws the same ones.
            const uint32_t seed = LvRandomState();
            const CLvImage expected = Expected(original, dialog, config, context, doc->m_toolMode);
            LvRandomSeed(seed);
            const int sliderId = slider ? slider->id : 0;
            const int32_t sliderValue = slider ? config.Number(slider->value) : 0;
            const int command = dialog.command;
            ASSERT_TRUE(RunDialog(doc, dialog.command, Caption(dialog), [&](HWND box) {
                if (sliderId) MoveSlider(box, sliderId, sliderValue);
                if (dialog.kind == kLvDialogPictures) {
                    SendMessageW(GetDlgItem(box, IDC_LIST), LB_SETCURSEL, 1, 0);
                    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDC_LIST)));
                }
                if (command == ID_TRANS_RESIZE) {
                    CheckDlgButton(box, IDC_RADIO1, BST_CHECKED);
                    CheckDlgButton(box, IDC_RADIO2, BST_UNCHECKED);
                    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDC_RADIO1, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDC_RADIO1)));
                    SetDlgItemTextW(box, IDC_EDIT1, L"50");
                }
                DialogAnswers::Press(box, IDOK);
            }));
            std::string where;
            EXPECT_TRUE(SamePicture(*doc->m_image, expected, &where)) << where;
            Command(ID_EDIT_UNDO);
            EXPECT_TRUE(SamePicture(*doc->m_image, original));
            // Undo keeps the selection of the picture as it was.
            if (!doc->m_image->pSelection) {
                ASSERT_TRUE(doc->m_image->SelectionCreate());
                ASSERT_TRUE(doc->m_image->SelectionAddEllipse(8, 24, 32, 6));
            }
        }
        Command(ID_WINDOW_CLOSE);
    }
}

// Resize in pixels with "Maintain Ratio": a new width gives the height of the picture's proportions.
TEST_F(ParamDialogTest, ResizeKeepsTheRatioAndRemembersTheSizes) {
    CLvDoc* doc = Open(MakePicture(m_dir, "wide.bmp", 80, 40, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(RunDialog(doc, ID_TRANS_RESIZE, "Resize", [](HWND dialog) {
        // First use: pixel mode with the stored sizes, 0.
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO2), BST_CHECKED);
        EXPECT_EQ(ItemText(dialog, IDC_EDIT2), "0");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EDIT1)));
        SendMessageW(GetDlgItem(dialog, IDC_LIST), CB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LIST, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_LIST)));
        SetDlgItemTextW(dialog, IDC_EDIT2, L"30");
        EXPECT_EQ(ItemText(dialog, IDC_EDIT3), "15");
        DialogAnswers::Press(dialog, IDOK);
    }));
    EXPECT_EQ(doc->m_image->GetWidth(), 30);
    EXPECT_EQ(doc->m_image->GetHeight(), 15);
    EXPECT_EQ(Stored("Resize", "Width"), 30);
    EXPECT_EQ(Stored("Resize", "Height"), 15);
    EXPECT_EQ(Stored("Resize", "Type"), 0);
    EXPECT_EQ(Stored("Resize", "InterpolationType"), 1);
    // A field outside its range keeps the dialog open with a message.
    HWND edge = nullptr;
    bool openAfterMessage = false;
    DialogAnswers answers;
    answers.Expect("Add Edge", [&](HWND dialog) {
        edge = dialog;
        SetDlgItemTextW(dialog, IDC_EDIT1, L"500");
        DialogAnswers::Press(dialog, IDOK);
    });
    answers.Expect("Lumivue", [&](HWND message) {
        openAfterMessage = IsWindow(edge) != FALSE;
        DialogAnswers::Press(message, IDOK);
        PostMessageW(edge, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    Command(ID_TRANS_ADD_EDGE);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(openAfterMessage);
    EXPECT_NE(answers.Texts()[1].find("between 0 and 100"), std::string::npos) << answers.Texts()[1];
    EXPECT_EQ(doc->m_image->GetWidth(), 30);
}

// The preview shows the result while the compare button is up and the picture as it is while it is held.
TEST_F(ParamDialogTest, HoldToCompareShowsThePictureAsItIs) {
    CLvDoc* doc = Open(MakePicture(m_dir, "grey.bmp", 200, 150, 24, LVFMT_BMP));
    ASSERT_NE(doc, nullptr);
    const CLvImage original(*doc->m_image);
    ASSERT_TRUE(RunDialog(doc, ID_ADJUST_LIGHT, "Light and Contrast", [](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        MoveSlider(dialog, IDC_SLIDER1, 200);
        int w = 0, h = 0;
        const std::vector<RGBQUAD> lit = Painted(preview, w, h);
        ASSERT_GT(w, 0);
        SendMessageW(GetDlgItem(dialog, IDC_COMPARE), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        const std::vector<RGBQUAD> plain = Painted(preview, w, h);
        SendMessageW(GetDlgItem(dialog, IDC_COMPARE), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        const std::vector<RGBQUAD> again = Painted(preview, w, h);
        // Brighter everywhere the picture shows, and the same after the button comes up.
        const RGBQUAD a = lit[size_t(h / 2) * w + w / 2], b = plain[size_t(h / 2) * w + w / 2];
        EXPECT_GT(a.rgbRed + a.rgbGreen + a.rgbBlue, b.rgbRed + b.rgbGreen + b.rgbBlue);
        EXPECT_TRUE(SameColor(again[size_t(h / 2) * w + w / 2], a));
        DialogAnswers::Press(dialog, IDCANCEL);
    }));
    EXPECT_TRUE(SamePicture(*doc->m_image, original));
}

} // namespace
