#include "LvGuiTestUtil.h"

#include "app/LvSettings.h"
#include "formats/LvOrientation.h"
#include "image/LvWideText_win.h"

namespace {

class PhotoOrientationTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ForgetSetting();
    }
    void TearDown() override {
        GuiTest::TearDown();
        ForgetSetting();
    }
    std::wstring Key() const {
        return LvUtf8ToWide(std::string("Software\\Quillmarsh\\Lumivue\\") + kLvRotateByExif.section);
    }
    void ForgetSetting() const {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, Key().c_str(), LvUtf8ToWide(kLvRotateByExif.name).c_str());
    }
    DWORD StoredSetting() const {
        DWORD value = 0xDEADBEEF, size = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, Key().c_str(), LvUtf8ToWide(kLvRotateByExif.name).c_str(), RRF_RT_REG_DWORD,
                     nullptr, &value, &size);
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
    EXPECT_EQ(StoredSetting(), 0u);
    EXPECT_FALSE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).checked);
    CLvDoc* stored = OpenCopy("jpeg/orient-6.jpg", "stored.jpg");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->m_image->GetWidth(), 48);
    EXPECT_EQ(stored->m_image->GetHeight(), 32);
    EXPECT_EQ(stored->m_exif.nOrientation, 6);

    Command(ID_VIEW_ROTATE_BY_EXIF);
    EXPECT_EQ(StoredSetting(), 1u);
    EXPECT_TRUE(MenuItem(ID_VIEW_ROTATE_BY_EXIF).checked);
}

} // namespace
