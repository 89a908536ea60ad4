#include "LvGuiTestUtil.h"

#include "app/LvSettings.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvOrientation.h"
#include "image/LvWideText_win.h"

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

} // namespace
