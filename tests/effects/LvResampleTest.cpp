#include "LvEffectTestUtil.h"
#include "LvReference.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

CLvImage Uniform(int width, int height, RGBQUAD color) {
    CLvImage image(width, height, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            image.SetPixelColor(x, y, color);
    return image;
}

TEST(Resample, SizesThatChangeNothingOrCannotBe) {
    CLvImage image = Patterned(10, 8, 24, 1);
    CLvImage before(image);
    EXPECT_TRUE(image.Resample(10, 8, 1)) << "same size";
    EXPECT_TRUE(SameBytes(image, before));
    CLvImage copy;
    EXPECT_TRUE(image.Resample(10, 8, 1, &copy));
    EXPECT_TRUE(SameBytes(copy, before));
    EXPECT_FALSE(image.Resample(0, 8, 1));
    EXPECT_FALSE(image.Resample(10, 0, 1));
    EXPECT_FALSE(image.Resample(-3, 8, 1));
    EXPECT_FALSE(image.Resample(5, 4, 4)) << "no such interpolation";
    EXPECT_FALSE(image.Resample(70000, 70000, 0)) << "too large";
    EXPECT_TRUE(SameBytes(image, before));
    CLvImage empty;
    EXPECT_FALSE(empty.Resample(5, 5, 0));
    EXPECT_FALSE(empty.Rotate(10));
}

TEST(Resample, NearestDoublingMakesBlocks) {
    for (int bpp : kDepths) {
        CLvImage image = Patterned(7, 5, bpp, unsigned(bpp));
        CLvImage before(image);
        ASSERT_TRUE(image.Resample(14, 10, CLvImage::kResampleNearest));
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 14; x++)
                ASSERT_EQ(Rgb(image, x, y), Rgb(before, x / 2, y / 2)) << bpp << ": " << x << "," << y;
    }
}

TEST(Resample, BilinearAveragesBlocksWhenReducingTrueColour) {
    // 4 x 4 to 2 x 2: each 2 x 2 block averaged (area averaging, sums truncated).
    CLvImage image(4, 4, 24);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            image.SetPixelColor(x, y, Quad(x * 60 + y, y * 50, (x + y) * 30));
    CLvImage before(image);
    ASSERT_TRUE(image.Resample(2, 2, CLvImage::kResampleBilinear));
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    RGBQUAD c = before.GetPixelColor(2 * x + dx, 2 * y + dy);
                    r += c.rgbRed, g += c.rgbGreen, b += c.rgbBlue;
                }
            EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), Quad(r / 4, g / 4, b / 4))) << x << "," << y;
        }
    // Enlarged, the same picture uses bilinear weights: (0.5, 0) lies halfway between two pixels.
    CLvImage big(before);
    ASSERT_TRUE(big.Resample(8, 8, CLvImage::kResampleBilinear));
    EXPECT_EQ(big.GetPixelColor(1, 0).rgbRed, (0 + 60) / 2);
    EXPECT_EQ(big.GetPixelColor(7, 0).rgbRed, 180) << "the last column reads itself twice";
    CLvImage reference = ReferenceResample(before, 8, 8, 1);
    EXPECT_TRUE(SameValues(big, reference));
}

TEST(Resample, BilinearOnAPaletteMapsToNearestEntries) {
    CLvImage image(4, 4, 8);
    image.SetGrayPalette();
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            image.SetPixelIndex(x, y, BYTE(x * 80));
    ASSERT_TRUE(image.Resample(2, 2, CLvImage::kResampleBilinear));
    // Bilinear at x = 0 and 2 (weights 1, 0): indices 0 and 160 (no averaging of the block).
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 160);
    // A palette of few colours: results go to the nearest entry.
    CLvImage four(5, 5, 4);
    four.SetStdPalette();
    FillPattern(four, 3);
    four.SetStdPalette();
    CLvImage reference = ReferenceResample(four, 3, 4, 1);
    ASSERT_TRUE(four.Resample(3, 4, CLvImage::kResampleBilinear));
    EXPECT_TRUE(SameValues(four, reference));
}

TEST(Resample, BSplineDarkensAndBicubicKeepsUniformPictures) {
    CLvImage white = Uniform(6, 6, Quad(255, 255, 255));
    ASSERT_TRUE(white.Resample(3, 3, CLvImage::kResampleBSpline));
    EXPECT_EQ(Rgb(white, 1, 1), 0xB1B1B1) << "255 becomes 177";

    for (int v : {1, 77, 128, 254, 255}) {
        CLvImage image = Uniform(9, 7, Quad(v, v, v));
        ASSERT_TRUE(image.Resample(13, 4, CLvImage::kResampleBicubic));
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 13; x++) {
                int got = image.GetPixelColor(x, y).rgbGreen;
                ASSERT_TRUE(got == v || got == v - 1) << v << " gave " << got;
            }
    }
    // The kernel, worked out independently in single precision.
    const struct {
        float x;
        uint32_t bits;
    } kernel[] = {{0.0f, 0x3f2aaaab},  {0.5f, 0x3ef55556}, {-0.5f, 0x3ef55556},  {1.0f, 0x3e2aaaab},
                  {-1.0f, 0x3e2aaaab}, {1.5f, 0x3caaaaab}, {-1.25f, 0x3d900000}, {0.25f, 0x3f1caaab},
                  {2.0f, 0},           {-2.0f, 0}};
    for (const auto& k : kernel) {
        float value = CLvImage::KernelBSpline(k.x);
        uint32_t bits;
        memcpy(&bits, &value, 4);
        EXPECT_EQ(bits, k.bits) << k.x << " gives " << value;
    }
}

// Every interpolation type against the literal pixel-by-pixel version, on every depth, for enlarging,
// reducing and mixed sizes, with alpha and selection, on one and on several threads.
TEST(Resample, OptimisedTypesMatchLiteralOnes) {
    const struct {
        int w, h, nw, nh;
    } sizes[] = {{37, 23, 74, 46}, {37, 23, 12, 9}, {40, 30, 20, 15}, {41, 29, 17, 40},
                 {50, 50, 33, 33}, {9, 300, 4, 31}, {301, 7, 29, 3},  {12, 12, 11, 11}};
    for (int bpp : kDepths)
        for (int type = 0; type < 4; type++)
            for (const auto& s : sizes) {
                SCOPED_TRACE(testing::Message() << bpp << " bits, type " << type << ", " << s.w << "x" << s.h << " to "
                                                << s.nw << "x" << s.nh);
                CLvImage image = bpp == 24 ? PhotoLike(s.w, s.h, 7) : Patterned(s.w, s.h, bpp, unsigned(type));
                ASSERT_TRUE(image.AlphaCreate());
                for (int y = 0; y < s.h; y++)
                    for (int x = 0; x < s.w; x++)
                        image.AlphaSet(x, y, BYTE(x * 3 + y));
                image.SelectionAddEllipse(2, 2, s.w - 2, s.h - 2);
                CLvImage expected = ReferenceResample(image, s.nw, s.nh, type);
                for (int threads : {1, 3}) {
                    ThreadCount count(threads);
                    CLvImage result(image);
                    ASSERT_TRUE(result.Resample(s.nw, s.nh, type));
                    std::string where;
                    ASSERT_TRUE(SameValues(result, expected, &where)) << threads << " threads: " << where;
                    ASSERT_EQ(memcmp(result.pAlpha, expected.pAlpha, size_t(s.nw) * s.nh), 0);
                    ASSERT_EQ(memcmp(result.pSelection, expected.pSelection, size_t(s.nw) * s.nh), 0);
                    EXPECT_EQ(result.info.rcSelection.left, expected.info.rcSelection.left);
                    EXPECT_EQ(result.info.rcSelection.top, expected.info.rcSelection.top);
                }
            }
}

TEST(Resample, AreaAveragingOfAStrongReductionDoesNotOverflow) {
    // 2000 x 1000 white to 10 x 5: 40,000 pixels of weight 1000 x 255 each per output pixel.
    CLvImage image = Uniform(2000, 1000, Quad(255, 255, 255));
    ASSERT_TRUE(image.Resample(10, 5, CLvImage::kResampleBilinear));
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 10; x++)
            ASSERT_EQ(Rgb(image, x, y), 0xFFFFFF) << x << "," << y;
}

TEST(Resample, CancelLeavesTheRestBlack) {
    for (int type = 0; type < 4; type++) {
        CLvImage image = Uniform(300, 400, Quad(200, 200, 200));
        {
            CancelAtRow cancel(50);
            ASSERT_TRUE(image.Resample(150, 200, type)) << "a cancelled resize still succeeds";
        }
        ASSERT_EQ(image.GetHeight(), 200);
        EXPECT_NE(Rgb(image, 10, 0), 0) << type;
        EXPECT_EQ(Rgb(image, 10, 199), 0) << type;
        int filled = 0;
        while (filled < 200 && Rgb(image, 5, filled) != 0)
            filled++;
        EXPECT_GE(filled, 50) << type;
        EXPECT_LT(filled, 200) << type;
        for (int y = filled; y < 200; y++)
            ASSERT_EQ(Rgb(image, 77, y), 0) << type << " row " << y;
    }
}

TEST(Rotate, ByZeroShiftsByOnePixel) {
    CLvImage image = Patterned(6, 4, 24, 3);
    CLvImage before(image);
    ASSERT_TRUE(image.Rotate(0));
    ASSERT_EQ(image.GetWidth(), 6);
    ASSERT_EQ(image.GetHeight(), 4);
    // trunc(x - 0.5) is x - 1, and 0 for x = 0: column 0 and row 0 are used twice.
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            ASSERT_EQ(Rgb(image, x, y), Rgb(before, std::max(0, x - 1), std::max(0, y - 1))) << x << "," << y;
}

TEST(Rotate, QuarterAndEighthTurns) {
    CLvImage image = Patterned(40, 20, 24, 5);
    CLvImage quarter(image);
    ASSERT_TRUE(quarter.Rotate(90));
    EXPECT_NEAR(quarter.GetWidth(), 20, 1);
    EXPECT_NEAR(quarter.GetHeight(), 40, 1);
    // Clockwise on screen: the top-left corner goes to the top-right.
    CLvImage turned(image);
    ASSERT_TRUE(turned.RotateRight());
    int matches = 0;
    for (int y = 2; y < 38; y++)
        for (int x = 2; x < 18; x++)
            matches += Rgb(quarter, x, y) == Rgb(turned, x, y) || Rgb(quarter, x, y) == Rgb(turned, x - 1, y) ||
                       Rgb(quarter, x, y) == Rgb(turned, x, y - 1) || Rgb(quarter, x, y) == Rgb(turned, x - 1, y - 1);
    EXPECT_EQ(matches, 36 * 16) << "the same picture within a pixel";

    // 45 degrees: a larger canvas whose corners show pixel (0, 0) (no background index).
    CLvImage eighth(image);
    ASSERT_TRUE(eighth.Rotate(45));
    EXPECT_GT(eighth.GetWidth(), 40);
    EXPECT_GT(eighth.GetHeight(), 40);
    const int corner = Rgb(image, 0, 0);
    EXPECT_EQ(Rgb(eighth, 0, 0), corner);
    EXPECT_EQ(Rgb(eighth, eighth.GetWidth() - 1, 0), corner);
    EXPECT_EQ(Rgb(eighth, 0, eighth.GetHeight() - 1), corner);
    EXPECT_EQ(Rgb(eighth, eighth.GetWidth() - 1, eighth.GetHeight() - 1), corner);

    // With a background colour and index the corners take those.
    CLvImage palette = Patterned(30, 30, 8, 2);
    palette.SetTransIndex(9);
    ASSERT_TRUE(palette.Rotate(30));
    EXPECT_EQ(palette.GetPixelIndex(0, 0), 9);
    CLvImage rgb = Patterned(30, 30, 24, 2);
    rgb.SetTransIndex(0);
    rgb.SetTransColor(Quad(1, 2, 3));
    ASSERT_TRUE(rgb.Rotate(-30));
    EXPECT_EQ(Rgb(rgb, 0, 0), 0x010203);
}

TEST(Rotate, AlphaCornersAreTransparentAndTheSelectionGoes) {
    CLvImage image = Patterned(20, 20, 24, 8);
    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaFill(200);
    image.SelectionAddRect(0, 0, 5, 5);
    CLvImage destination;
    ASSERT_TRUE(image.Rotate(45, &destination));
    EXPECT_EQ(image.GetWidth(), 20) << "the source stays";
    EXPECT_EQ(destination.AlphaGet(0, 0), 0);
    EXPECT_EQ(destination.AlphaGet(destination.GetWidth() / 2, destination.GetHeight() / 2), 200);
    EXPECT_EQ(destination.pSelection, nullptr);
}

TEST(Rotate, OptimisedRotationMatchesTheLiteralOne) {
    for (int bpp : kDepths)
        for (float angle : {0.0f, 17.0f, -17.0f, 45.0f, 90.0f, 135.0f, 180.0f, 200.0f, 271.0f, 359.0f}) {
            SCOPED_TRACE(testing::Message() << bpp << " bits, " << angle << " degrees");
            CLvImage image = Patterned(33, 21, bpp, unsigned(angle));
            ASSERT_TRUE(image.AlphaCreate());
            for (int y = 0; y < 21; y++)
                for (int x = 0; x < 33; x++)
                    image.AlphaSet(x, y, BYTE(x + 5 * y));
            CLvImage expected = ReferenceRotate(image, angle);
            for (int threads : {1, 3}) {
                ThreadCount count(threads);
                CLvImage result(image);
                ASSERT_TRUE(result.Rotate(angle));
                std::string where;
                ASSERT_TRUE(SameValues(result, expected, &where)) << where;
                ASSERT_EQ(memcmp(result.pAlpha, expected.pAlpha, size_t(result.GetWidth()) * result.GetHeight()), 0);
            }
        }
}

TEST(Rotate, TurnedToNothingFails) {
    CLvImage dot(1, 1, 24);
    EXPECT_FALSE(dot.Rotate(45)) << "all four corners land on one point";
    EXPECT_EQ(dot.GetWidth(), 1);
}

TEST(Rotate, CancelLeavesTheRestBlack) {
    CLvImage image = Uniform(200, 300, Quad(90, 90, 90));
    {
        CancelAtRow cancel(100);
        ASSERT_TRUE(image.Rotate(10));
    }
    const int h = image.GetHeight(), w = image.GetWidth();
    EXPECT_EQ(Rgb(image, w / 2, h - 1), 0);
    EXPECT_EQ(Rgb(image, w / 2, 100), 0x5A5A5A);
}

} // namespace
