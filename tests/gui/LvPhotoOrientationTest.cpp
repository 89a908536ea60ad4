#include "LvGuiTestUtil.h"

#include "app/LvSettings.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvJpegTurn.h"
#include "formats/LvOrientation.h"
#include "image/LvWideText_win.h"

#include <algorithm>
#include <cstdlib>

namespace {

class PhotoOrientationTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ForgetSettings();
    }
    void TearDown() override {
        GuiTest::TearDown();
        ForgetSettings();
    }
    static std::wstring Key(const LvSwitchSetting& s) {
        return LvUtf8ToWide(std::string("Software\\Quillmarsh\\Lumivue\\") + s.section);
    }
    static void ForgetSettings() {
        for (const LvSwitchSetting* s : {&kLvRotateByExif, &kLvKeepCameraData})
            RegDeleteKeyValueW(HKEY_CURRENT_USER, Key(*s).c_str(), LvUtf8ToWide(s->name).c_str());
    }
    static DWORD Stored(const LvSwitchSetting& s) {
        DWORD value = 0xDEADBEEF, size = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, Key(s).c_str(), LvUtf8ToWide(s.name).c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                     &size);
        return value;
    }
    // A copy of a camera photo under a name of its own, so that each opening makes a new document.
    CLvDoc* OpenCopy(const char* fixture, const char* name) {
        const std::string path = m_dir.Path(name);
        WriteFileBytes(path, ReadFileBytes(DataPath(fixture)));
        return Open(path);
    }
    // Runs a menu command on the document and waits for it.
    void Run(CLvDoc* doc, int command) {
        Command(command);
        WaitIdle(doc);
    }
    // Saves through the menu: the file dialog and the JPEG options are answered.
    void SaveAs(const std::string& target) {
        DialogAnswers answers;
        answers.Expect("Save As", DialogAnswers::TypeFileName(target));
        answers.Expect("JPEG Options", DialogAnswers::PressButton(IDOK));
        Command(ID_FILE_SAVE_AS);
        EXPECT_TRUE(answers.AllAnswered());
        EXPECT_TRUE(answers.Unexpected().empty()) << answers.Unexpected()[0];
    }
    // The fixture's file turned without loss, with camera data fit for the turn.
    static Bytes Lossless(const char* fixture, LvTurn turn, int width, int height) {
        LvPixelHistory history;
        history.AddTurn(turn);
        const std::string path = DataPath(fixture);
        const LvCameraData camera = LvAdjustCameraData(LvReadCameraDataOfFile(path.c_str()), history, width, height);
        Bytes bytes;
        std::string error;
        EXPECT_EQ(LvTurnJpeg(ReadFileBytes(path), turn, camera, bytes, error), kLvJpegTurned) << error;
        return bytes;
    }
    // The largest difference of a colour channel; 256 when the sizes differ.
    static int MaxDifference(const CLvImage& a, const CLvImage& b) {
        if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return 256;
        int most = 0;
        for (int y = 0; y < a.GetHeight(); y++)
            for (int x = 0; x < a.GetWidth(); x++) {
                const RGBQUAD p = a.GetPixelColor(x, y), q = b.GetPixelColor(x, y);
                most = std::max({most, std::abs(p.rgbRed - q.rgbRed), std::abs(p.rgbGreen - q.rgbGreen),
                                 std::abs(p.rgbBlue - q.rgbBlue)});
            }
        return most;
    }
    static int StoredOrientation(const std::string& path) {
        CLvCodecJPG back;
        CLvFileStream stream(path.c_str(), "rb");
        return back.ReadExif(&stream) ? back.m_exifinfo.nOrientation : -1;
    }
};

// orient-6.jpg stores a 48 x 32 picture whose camera data say it stands a quarter turn clockwise.
TEST_F(PhotoOrientationTest, PhotosStandUpUntilTheSettingIsSwitchedOff) {
    EXPECT_TRUE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).found);
    EXPECT_TRUE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).checked); // on by default

    CLvDoc* turned = OpenCopy("jpeg/orient-6.jpg", "turned.jpg");
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(turned->m_image->GetWidth(), 32);
    EXPECT_EQ(turned->m_image->GetHeight(), 48);
    EXPECT_EQ(turned->m_exif.nOrientation, 6); // the report shows the stored tag
    CLvImage expected;
    ASSERT_TRUE(expected.Load(DataPath("jpeg/orient-6.jpg").c_str(), LVFMT_JPG));
    ASSERT_TRUE(expected.RotateRight());
    std::string where;
    EXPECT_TRUE(SamePicture(*turned->m_image, expected, &where)) << where;
    EXPECT_FALSE(turned->IsModified());

    Command(ID_VIEW_ROTATE_BY_EXIF);
    EXPECT_EQ(Stored(kLvRotateByExif), 0u);
    EXPECT_FALSE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).checked);
    CLvDoc* stored = OpenCopy("jpeg/orient-6.jpg", "stored.jpg");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->m_image->GetWidth(), 48);
    EXPECT_EQ(stored->m_image->GetHeight(), 32);
    EXPECT_EQ(stored->m_exif.nOrientation, 6);

    Command(ID_VIEW_ROTATE_BY_EXIF);
    EXPECT_EQ(Stored(kLvRotateByExif), 1u);
    EXPECT_TRUE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).checked);
}

// camera-photo.jpg: make, model, GPS, orientation 6, a thumbnail and a colour profile. Opened upright and
// saved, it keeps them with orientation 1 and without the thumbnail; with the setting off it keeps none.
TEST_F(PhotoOrientationTest, SavedPhotosKeepTheirCameraDataUntilTheSettingIsSwitchedOff) {
    EXPECT_TRUE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).found);
    CLvDoc* doc = OpenCopy("jpeg/camera-photo.jpg", "photo.jpg");
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(MenuItem(ID_FILE_KEEP_CAMERA_DATA).checked);
    const LvCameraData original = LvReadCameraDataOfFile(DataPath("jpeg/camera-photo.jpg").c_str());
    const std::string kept = m_dir.Path("kept.jpg");
    ASSERT_TRUE(doc->OnSaveDocument(kept));
    CLvCodecJPG back;
    {
        CLvFileStream stream(kept.c_str(), "rb");
        ASSERT_TRUE(back.ReadExif(&stream));
    }
    EXPECT_STREQ(back.m_exifinfo.szMake, "Quillcam");
    EXPECT_EQ(back.m_exifinfo.nOrientation, 1);
    EXPECT_EQ(back.m_exifinfo.nThumbnailSize, 0);
    EXPECT_EQ(LvReadCameraDataOfFile(kept.c_str()).icc, original.icc);
    CLvImage saved;
    ASSERT_TRUE(saved.Load(kept.c_str(), LVFMT_JPG));
    EXPECT_EQ(saved.GetWidth(), 32);
    EXPECT_EQ(saved.GetHeight(), 48);

    Command(ID_FILE_KEEP_CAMERA_DATA);
    EXPECT_EQ(Stored(kLvKeepCameraData), 0u);
    EXPECT_FALSE(MenuItem(ID_FILE_KEEP_CAMERA_DATA).checked);
    const std::string stripped = m_dir.Path("stripped.jpg");
    ASSERT_TRUE(doc->OnSaveDocument(stripped));
    EXPECT_TRUE(LvReadCameraDataOfFile(stripped.c_str()).Empty());
}

// A JPEG turned and saved is turned in its file, not re-encoded; one that is not whole blocks is re-encoded
// and the status bar says so.
TEST_F(PhotoOrientationTest, TurnedJpegsAreSavedWithoutLoss) {
    CLvDoc* doc = OpenCopy("jpeg/baseline.jpg", "photo.jpg");
    ASSERT_NE(doc, nullptr);
    Run(doc, ID_TRANS_ROTATE_RIGHT);
    const std::string turned = m_dir.Path("turned.jpg");
    SaveAs(turned);
    EXPECT_EQ(ReadFileBytes(turned), Lossless("jpeg/baseline.jpg", kLvTurnRight, 32, 48));
    EXPECT_EQ(Frame()->PaneText(0).find("re-encoded"), std::string::npos) << Frame()->PaneText(0);
    // The file's turn and the picture's agree but for the decoder's rounding (see the engine's tests).
    CLvImage back;
    ASSERT_TRUE(back.Load(turned.c_str(), LVFMT_JPG));
    EXPECT_LE(MaxDifference(back, *doc->m_image), 3);

    CLvDoc* odd = OpenCopy("jpeg/odd-size.jpg", "odd.jpg");
    ASSERT_NE(odd, nullptr);
    Run(odd, ID_TRANS_ROTATE_RIGHT);
    const std::string reencoded = m_dir.Path("odd-turned.jpg");
    SaveAs(reencoded);
    EXPECT_NE(Frame()->PaneText(0).find("re-encoded"), std::string::npos) << Frame()->PaneText(0);
    ASSERT_TRUE(back.Load(reencoded.c_str(), LVFMT_JPG));
    EXPECT_EQ(back.GetWidth(), 30);
    EXPECT_EQ(back.GetHeight(), 45);
}

// With the photo shown as stored, what is saved follows undo and redo: the net turn, and whether anything
// else happened.
TEST_F(PhotoOrientationTest, WhatIsSavedFollowsUndo) {
    Command(ID_VIEW_ROTATE_BY_EXIF); // off: camera-photo.jpg opens as stored, 48 x 32, tag 6
    CLvDoc* doc = OpenCopy("jpeg/camera-photo.jpg", "photo.jpg");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->m_image->GetWidth(), 48);
    const std::string saved = m_dir.Path("saved.jpg");
    const Bytes turnedOnce = Lossless("jpeg/camera-photo.jpg", kLvTurnRight, 32, 48);

    // Turned and turned back: the pixels are as stored, so the tag still says how they stand.
    Run(doc, ID_TRANS_ROTATE_RIGHT);
    Run(doc, ID_EDIT_UNDO);
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_EQ(StoredOrientation(saved), 6);

    // Two turns, one undone: one net turn, saved without loss.
    Run(doc, ID_TRANS_ROTATE_RIGHT);
    Run(doc, ID_TRANS_ROTATE_RIGHT);
    Run(doc, ID_EDIT_UNDO);
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_EQ(ReadFileBytes(saved), turnedOnce);
    EXPECT_EQ(StoredOrientation(saved), 1);

    // Another change: re-encoded; undone, the turn alone is left again; redone, re-encoded again.
    Run(doc, ID_ADJUST_NEGATIVE);
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_NE(ReadFileBytes(saved), turnedOnce);
    Run(doc, ID_EDIT_UNDO);
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_EQ(ReadFileBytes(saved), turnedOnce);
    Run(doc, ID_EDIT_REDO);
    ASSERT_TRUE(doc->OnSaveDocument(saved));
    EXPECT_NE(ReadFileBytes(saved), turnedOnce);
    EXPECT_EQ(StoredOrientation(saved), 1);
}

} // namespace
