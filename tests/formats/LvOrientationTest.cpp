#include "formats/LvOrientation.h"
#include "LvPictureFiles.h"
#include "formats/LvCodecJPG.h"

#include <gtest/gtest.h>

namespace {

// Where the pixel shown at (x, row) of a picture standing as the tag says is stored, in a stored picture of
// width w and height h: the tag's own definitions, written out one by one.
void StoredPosition(int orientation, int x, int row, int w, int h, int* sx, int* sy) {
    switch (orientation) {
    case 2:
        *sx = w - 1 - x, *sy = row;
        break;
    case 3:
        *sx = w - 1 - x, *sy = h - 1 - row;
        break;
    case 4:
        *sx = x, *sy = h - 1 - row;
        break;
    case 5:
        *sx = row, *sy = x;
        break;
    case 6:
        *sx = row, *sy = h - 1 - x;
        break;
    case 7:
        *sx = w - 1 - row, *sy = h - 1 - x;
        break;
    case 8:
        *sx = w - 1 - row, *sy = x;
        break;
    default:
        *sx = x, *sy = row;
        break;
    }
}

Picture Oriented(const Picture& stored, int orientation) {
    Picture shown;
    const bool quarter = orientation >= 5;
    shown.width = quarter ? stored.height : stored.width;
    shown.height = quarter ? stored.width : stored.height;
    for (int row = 0; row < shown.height; row++)
        for (int x = 0; x < shown.width; x++) {
            int sx, sy;
            StoredPosition(orientation, x, row, stored.width, stored.height, &sx, &sy);
            shown.pixels.push_back(stored.At(sx, sy));
        }
    return shown;
}

// The same photo with each orientation tag (set by the EXIF tool): read as stored, the tag kept as stored,
// and turned it stands as the tag says.
TEST(Orientation, CameraPhotosStandAsTheirTagSays) {
    const Picture stored = ReadNetpbm(DataPath("jpeg/baseline.pnm"));
    for (int orientation = 1; orientation <= 8; orientation++) {
        SCOPED_TRACE(orientation);
        const std::string path = DataPath("jpeg/orient-" + std::to_string(orientation) + ".jpg");
        CLvFileStream stream(path.c_str(), "rb");
        CLvCodecJPG jpeg;
        ASSERT_TRUE(jpeg.Decode(&stream)) << jpeg.GetLastErrorText();
        EXPECT_EQ(jpeg.m_exifinfo.nOrientation, orientation);
        EXPECT_EQ(ComparePictures(PictureOf(jpeg), stored, 0, false), "");
        jpeg.SetXDPI(300);
        jpeg.SetYDPI(100);
        ASSERT_TRUE(LvApplyOrientation(jpeg, LvExifOrientation(jpeg.m_exifinfo)));
        EXPECT_EQ(ComparePictures(PictureOf(jpeg), Oriented(stored, orientation), 0, false), "");
        EXPECT_EQ(jpeg.GetXDPI(), orientation >= 5 ? 100 : 300);
        EXPECT_EQ(jpeg.m_exifinfo.nOrientation, orientation);
    }
}

TEST(Orientation, OnlyCameraDataWithATurnTurn) {
    ExifInfo exif = {};
    exif.nOrientation = 6;
    EXPECT_EQ(LvExifOrientation(exif), 1); // no EXIF block was read
    exif.bHasExif = true;
    EXPECT_EQ(LvExifOrientation(exif), 6);
    for (int odd : {0, 1, 9, -3}) {
        exif.nOrientation = odd;
        EXPECT_EQ(LvExifOrientation(exif), 1) << odd;
    }
}

} // namespace
