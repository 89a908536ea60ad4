#include "LvTestUtil.h"

#include <gtest/gtest.h>

namespace {

// Multi-image files: a read of a frame the file does not have fails, leaves the caller's picture alone and
// still tells the caller how many frames there are.
TEST(CodecDispatch, AFrameBeyondTheFileFailsAndReportsTheCount) {
    const struct {
        const char* file;
        DWORD format;
    } files[] = {{"gif/anim.gif", LVFMT_GIF}, {"ico/mix.ico", LVFMT_ICO}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        Bytes bytes = ReadFileBytes(DataPath(f.file));
        CLvImage image(4, 4, 24);
        FillPattern(image, 1);
        CLvImage before(image);
        image.SetFrame(5);
        EXPECT_FALSE(DecodeBytes(image, bytes, f.format));
        EXPECT_EQ(image.GetFrameCount(), 3);
        EXPECT_TRUE(SamePicture(image, before));
        image.SetFrame(2);
        EXPECT_TRUE(DecodeBytes(image, bytes, f.format)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetFrameCount(), 3);
        EXPECT_EQ(image.GetFrame(), 2);
        EXPECT_EQ(image.GetFormat(), f.format);
    }
}

// Detection tries the readers in a fixed order (BMP, JPEG, ICO, GIF, PNG, TIFF, TGA, PCX, WBMP, WMF): each
// format's files must be taken by its own reader, not by an earlier, more lenient one.
TEST(CodecDispatch, DetectionFindsEveryFormatByContent) {
    const struct {
        DWORD format;
        int bpp;
        int width;
    } cases[] = {
        {LVFMT_GIF, 8, 9},  {LVFMT_GIF, 24, 20}, {LVFMT_ICO, 4, 16},  {LVFMT_ICO, 24, 7},  {LVFMT_TGA, 8, 6},
        {LVFMT_TGA, 24, 5}, {LVFMT_PCX, 1, 9},   {LVFMT_PCX, 24, 3},  {LVFMT_WBMP, 1, 1},  {LVFMT_WBMP, 1, 2},
        {LVFMT_WBMP, 1, 3}, {LVFMT_WBMP, 1, 9},  {LVFMT_WBMP, 1, 10}, {LVFMT_WBMP, 1, 11}, {LVFMT_WBMP, 1, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", " << c.bpp << " bits, width " << c.width);
        CLvImage image(c.width, 6, c.bpp);
        FillPattern(image, unsigned(c.width * 3 + c.bpp));
        if (c.bpp == 1) {
            image.SetPaletteColor(0, 0, 0, 0);
            image.SetPaletteColor(1, 255, 255, 255);
        }
        Bytes file = EncodeToBytes(image, c.format);
        ASSERT_FALSE(file.empty()) << image.GetLastErrorText();
        CLvImage detected;
        ASSERT_TRUE(DecodeBytes(detected, file, LVFMT_UNKNOWN)) << detected.GetLastErrorText();
        EXPECT_EQ(detected.GetFormat(), c.format);
        EXPECT_TRUE(SamePicture(detected, image));
    }
}

} // namespace
