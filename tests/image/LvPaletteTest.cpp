#include "LvReference.h"
#include "LvTestUtil.h"
#include "image/LvNearestColor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

TEST(Palette, AccessorsStayInsideTheTable) {
    CLvImage four(2, 2, 4);
    four.SetPaletteColor(3, 10, 20, 30, 40);
    EXPECT_TRUE(SameColor(four.GetPaletteColor(3), Quad(10, 20, 30, 40)));
    four.SetPaletteColor(16, 1, 1, 1); // beyond the 16 entries: ignored
    EXPECT_TRUE(SameColor(four.GetPaletteColor(16), Quad(0, 0, 0, 0)));
    BYTE r = 0, g = 0, b = 0;
    EXPECT_TRUE(four.GetPaletteColor(3, &r, &g, &b));
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);
    EXPECT_FALSE(four.GetPaletteColor(16, &r, &g, &b));

    CLvImage rgb(2, 2, 24);
    EXPECT_EQ(rgb.GetPalette(), nullptr);
    EXPECT_FALSE(rgb.GetPaletteColor(0, &r, &g, &b));
    rgb.SetPaletteColor(0, Quad(1, 2, 3)); // nothing to set
    EXPECT_TRUE(SameColor(rgb.GetPaletteColor(0), Quad(0, 0, 0)));
    CLvImage empty;
    empty.SetGrayPalette();
    empty.SetStdPalette();
    EXPECT_FALSE(empty.IsGrayScale());
}

TEST(Palette, SettersCopyAtMostTheTable) {
    CLvImage one(2, 2, 1);
    RGBQUAD table[4] = {Quad(1, 2, 3, 9), Quad(4, 5, 6, 8), Quad(7, 8, 9), Quad(10, 11, 12)};
    one.SetPalette(table, 4);
    EXPECT_TRUE(SameColor(one.GetPaletteColor(1), Quad(4, 5, 6, 8)));
    EXPECT_EQ(memcmp(one.GetDib() + 40 + 8, one.GetBits(), 0), 0);

    // Triples are red, green, blue; the reserved byte stays.
    CLvImage four(2, 2, 4);
    four.SetPaletteColor(1, 0, 0, 0, 77);
    const BYTE triples[6] = {10, 20, 30, 40, 50, 60};
    four.SetPalette(triples, 2);
    EXPECT_TRUE(SameColor(four.GetPaletteColor(0), Quad(10, 20, 30, 0)));
    EXPECT_TRUE(SameColor(four.GetPaletteColor(1), Quad(40, 50, 60, 77)));

    // One array gives a grey ramp; two arrays reuse green for blue.
    const BYTE red[3] = {5, 6, 7}, green[3] = {50, 60, 70};
    four.SetPalette(3, red);
    EXPECT_TRUE(SameColor(four.GetPaletteColor(2), Quad(7, 7, 7, 0)));
    four.SetPalette(3, red, green);
    EXPECT_TRUE(SameColor(four.GetPaletteColor(2), Quad(7, 70, 70, 0)));
    // 300 entries into a 16-entry table: only 16 are written (ASan watches the rest).
    std::vector<RGBQUAD> many(300, Quad(1, 1, 1));
    four.SetPalette(many.data(), 300);
    EXPECT_TRUE(SameColor(four.GetPaletteColor(15), Quad(1, 1, 1)));
}

TEST(Palette, EveryChangeForgetsTheLastNearestAnswer) {
    CLvImage image(1, 1, 4);
    image.SetPaletteColor(2, 100, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 2);
    image.SetPaletteColor(5, 101, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 5);
    RGBQUAD table[16] = {};
    table[9] = Quad(101, 100, 100);
    image.SetPalette(table, 16);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 9);
    image.SetGrayPalette();
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 6); // grey 102
    image.SetStdPalette();
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 8); // (128, 128, 128)
    image.SwapIndex(8, 3);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 3);
}

TEST(Palette, GreyRampSteps) {
    const struct {
        int bpp;
        int step;
    } cases[] = {{1, 255}, {4, 17}, {8, 1}};
    for (const auto& c : cases) {
        CLvImage image(1, 1, c.bpp);
        image.SetPaletteColor(1, 0, 0, 0, 33);
        image.SetGrayPalette();
        for (DWORD i = 0; i < image.GetHeader().biClrUsed; i++) {
            RGBQUAD e = image.GetPaletteColor(BYTE(i));
            ASSERT_EQ(e.rgbRed, c.step * int(i)) << c.bpp << " bits, entry " << i;
            ASSERT_EQ(e.rgbGreen, e.rgbRed);
            ASSERT_EQ(e.rgbBlue, e.rgbRed);
        }
        EXPECT_EQ(image.GetPaletteColor(1).rgbReserved, 33);
        EXPECT_EQ(image.IsGrayScale(), c.bpp == 8) << c.bpp;
    }
    // Only an identity ramp is grey: an explicit 0..15 ramp in a 4-bit table counts.
    CLvImage four(1, 1, 4);
    for (int i = 0; i < 16; i++)
        four.SetPaletteColor(BYTE(i), BYTE(i), BYTE(i), BYTE(i));
    EXPECT_TRUE(four.IsGrayScale());
    four.SetPaletteColor(15, 15, 15, 14);
    EXPECT_FALSE(four.IsGrayScale());
}

TEST(Palette, StandardPalettesKeepTheirFixedEntries) {
    const int std16[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                              {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                              {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                              {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    CLvImage four(1, 1, 4);
    four.SetStdPalette();
    for (int i = 0; i < 16; i++)
        EXPECT_TRUE(SameColor(four.GetPaletteColor(BYTE(i)), Quad(std16[i][0], std16[i][1], std16[i][2]))) << i;

    CLvImage eight(1, 1, 8);
    eight.SetStdPalette();
    for (int i = 0; i < 8; i++)
        EXPECT_TRUE(SameColor(eight.GetPaletteColor(BYTE(i)), Quad(std16[i][0], std16[i][1], std16[i][2]))) << i;
    const struct {
        int index, r, g, b;
    } fixed[] = {{8, 192, 220, 192},   {9, 166, 202, 240},   {10, 255, 240, 212}, {246, 255, 251, 240},
                 {247, 160, 160, 164}, {248, 128, 128, 128}, {249, 255, 0, 0},    {250, 0, 255, 0},
                 {251, 255, 255, 0},   {252, 0, 0, 255},     {253, 255, 0, 255},  {254, 0, 255, 255},
                 {255, 255, 255, 255}};
    for (const auto& f : fixed)
        EXPECT_TRUE(SameColor(eight.GetPaletteColor(BYTE(f.index)), Quad(f.r, f.g, f.b))) << f.index;
    // The grey ramp falls by 12 from 230 to 14 in consecutive entries before entry 246.
    int start = -1;
    for (int i = 11; i < 246 && start < 0; i++)
        if (SameColor(eight.GetPaletteColor(BYTE(i)), Quad(230, 230, 230))) start = i;
    ASSERT_GT(start, 200);
    for (int k = 0; k < 19; k++)
        EXPECT_TRUE(SameColor(eight.GetPaletteColor(BYTE(start + k)), Quad(230 - 12 * k, 230 - 12 * k, 230 - 12 * k)));
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(eight.GetPaletteColor(BYTE(i)).rgbReserved, 0);

    CLvImage one(1, 1, 1);
    one.SetPaletteColor(1, 9, 9, 9);
    one.SetStdPalette(); // not for 1-bit pictures
    EXPECT_TRUE(SameColor(one.GetPaletteColor(1), Quad(9, 9, 9)));
}

TEST(Palette, SwapIndexKeepsThePicture) {
    for (int bpp : {1, 4, 8}) {
        CLvImage image(13, 5, bpp);
        FillPattern(image, unsigned(bpp));
        CLvImage before(image);
        image.SwapIndex(0, 1);
        EXPECT_TRUE(SamePicture(image, before)) << bpp;
        EXPECT_TRUE(SameColor(image.GetPaletteColor(0), before.GetPaletteColor(1)));
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 13; x++) {
                int old = before.GetPixelIndex(x, y);
                int expected = old == 0 ? 1 : old == 1 ? 0 : old;
                ASSERT_EQ(image.GetPixelIndex(x, y), expected);
            }
    }
    // On a 1-bit picture every bit flips.
    CLvImage one(8, 1, 1);
    one.GetBits()[0] = 0xA5;
    one.SwapIndex(0, 1);
    EXPECT_EQ(one.GetBits()[0], 0x5A);
    one.SwapIndex(0, 2); // index 2 is outside a 1-bit table
    EXPECT_EQ(one.GetBits()[0], 0x5A);
}

TEST(Palette, LuminanceComparison) {
    EXPECT_EQ(CLvImage::CompareLuminance(Quad(0, 255, 0), Quad(255, 0, 0)), 73);
    EXPECT_EQ(CLvImage::CompareLuminance(Quad(255, 0, 0), Quad(0, 0, 0)), 76);
    EXPECT_EQ(CLvImage::CompareLuminance(Quad(0, 0, 255), Quad(0, 0, 0)), 29);
    EXPECT_EQ(CLvImage::CompareLuminance(Quad(255, 255, 255), Quad(0, 0, 0)), 255);
    EXPECT_EQ(CLvImage::CompareLuminance(Quad(5, 5, 5), Quad(5, 5, 5)), 0);
}

TEST(BitDepth, IncreaseKeepsThePicture) {
    const int from[] = {1, 1, 1, 4, 4, 8};
    const int to[] = {4, 8, 24, 8, 24, 24};
    for (int i = 0; i < 6; i++) {
        SCOPED_TRACE(testing::Message() << from[i] << " -> " << to[i]);
        CLvImage image(9, 4, from[i], LVFMT_GIF);
        FillPattern(image, unsigned(i));
        image.SetJpegQuality(12);
        image.SelectionAddRect(1, 1, 3, 3);
        CLvImage before(image);
        ASSERT_TRUE(image.IncreaseBpp(DWORD(to[i])));
        EXPECT_EQ(image.GetBpp(), to[i]);
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_GIF));
        EXPECT_EQ(image.GetJpegQuality(), 12);
        EXPECT_TRUE(image.SelectionIsInside(2, 2));
        EXPECT_FALSE(image.SelectionIsInside(4, 2));
        EXPECT_EQ(image.info.rcSelection.right, 3);
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 9; x++) {
                RGBQUAD a = image.GetPixelColor(x, y), b = before.GetPixelColor(x, y);
                ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue);
            }
    }
    CLvImage eight(2, 2, 8);
    EXPECT_TRUE(eight.IncreaseBpp(8));
    EXPECT_FALSE(eight.IncreaseBpp(4));
    EXPECT_FALSE(eight.IncreaseBpp(16));
    EXPECT_FALSE(eight.IncreaseBpp(2));
    CLvImage empty;
    EXPECT_FALSE(empty.IncreaseBpp(24));
}

TEST(BitDepth, IncreaseMovesPaletteAlphaIntoAPlane) {
    CLvImage image(4, 2, 8);
    image.Clear(0);
    image.SetPixelIndex(1, 0, 5);
    image.SetPixelIndex(3, 1, 5);
    image.SetPaletteColor(5, 10, 20, 30, 128);
    ASSERT_TRUE(image.IncreaseBpp(24));
    ASSERT_TRUE(image.AlphaIsValid());
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(image.AlphaGet(x, y), (x == 1 && y == 0) || (x == 3 && y == 1) ? 128 : 0);

    // An existing plane is kept as it is; without palette alpha no plane appears.
    CLvImage withPlane(2, 1, 4);
    withPlane.SetPaletteColor(0, 1, 1, 1, 200);
    withPlane.AlphaCreate();
    withPlane.AlphaSet(1, 0, 42);
    ASSERT_TRUE(withPlane.IncreaseBpp(24));
    EXPECT_EQ(withPlane.AlphaGet(0, 0), 0);
    EXPECT_EQ(withPlane.AlphaGet(1, 0), 42);
    CLvImage plain(2, 1, 4);
    ASSERT_TRUE(plain.IncreaseBpp(24));
    EXPECT_FALSE(plain.AlphaIsValid());
}

TEST(BitDepth, ResolutionSurvivesADepthChange) {
    CLvImage image(4, 4, 24);
    image.SetXDPI(300);
    image.SetYDPI(150);
    ASSERT_TRUE(image.DecreaseBpp(8, true));
    ASSERT_TRUE(image.IncreaseBpp(24));
    EXPECT_EQ(image.GetXDPI(), 300);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, EncodeToBytes(image, LVFMT_BMP), LVFMT_BMP));
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_EQ(back.GetYDPI(), 150);
}

TEST(BitDepth, TransparencyFollowsTheColour) {
    CLvImage image(2, 1, 8);
    image.SetPaletteColor(7, 9, 8, 7);
    image.SetTransIndex(7);
    ASSERT_TRUE(image.IncreaseBpp(24));
    EXPECT_TRUE(SameColor(image.GetTransColor(), Quad(9, 8, 7)));
    ASSERT_TRUE(image.DecreaseBpp(4, false));
    EXPECT_TRUE(SameColor(image.GetTransColor(), Quad(0, 0, 0))); // the nearest standard colour
}

TEST(BitDepth, DecreaseRules) {
    CLvImage eight(3, 3, 8);
    FillPattern(eight, 2);
    CLvImage before(eight);
    EXPECT_TRUE(eight.DecreaseBpp(8, true));
    EXPECT_TRUE(SamePicture(eight, before));
    EXPECT_FALSE(eight.DecreaseBpp(24, false));
    CLvImage empty;
    EXPECT_FALSE(empty.DecreaseBpp(1, false));

    CLvImage rgb(4, 4, 24);
    FillPattern(rgb, 3);
    ASSERT_TRUE(rgb.DecreaseBpp(2, false));
    EXPECT_EQ(rgb.GetBpp(), 4);
    CLvImage std16(1, 1, 4);
    std16.SetStdPalette();
    EXPECT_EQ(memcmp(rgb.GetPalette(), std16.GetPalette(), 64), 0);
    CLvImage deep(2, 2, 24);
    EXPECT_FALSE(deep.DecreaseBpp(16, false)); // 16 bits is not a palette depth

    // Nearest by distance: mid grey is nearer to white (48387) than to black (49152).
    CLvImage grey(1, 1, 24);
    grey.SetPixelColor(0, 0, Quad(128, 128, 128));
    ASSERT_TRUE(grey.DecreaseBpp(1, false));
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 1);
    EXPECT_TRUE(SameColor(grey.GetPaletteColor(1), Quad(255, 255, 255)));

    // A given palette is used as it is.
    RGBQUAD two[2] = {Quad(255, 0, 0), Quad(0, 0, 255)};
    CLvImage blueish(2, 1, 24);
    blueish.SetPixelColor(0, 0, Quad(10, 10, 200));
    blueish.SetPixelColor(1, 0, Quad(200, 10, 10));
    ASSERT_TRUE(blueish.DecreaseBpp(1, false, two));
    EXPECT_EQ(blueish.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(blueish.GetPixelIndex(1, 0), 0);
}

TEST(BitDepth, ErrorDiffusionWeightsAndTruncation) {
    // Worked by hand: the error of each pixel goes 7/16 right, 2/16 up-left, 4/16 up and 1/16 up-right (the
    // next row scanned), each share truncated toward zero and each channel clamped.
    CLvImage image(2, 2, 24);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++)
            image.SetPixelColor(x, y, Quad(100, 100, 100));
    ASSERT_TRUE(image.DecreaseBpp(1, true));
    // (0,0) 100 -> black, e = 100: (1,0) 143, (0,1) 125, (1,1) 106.
    // (1,0) 143 -> white, e = -112: (0,1) 125 - 14 = 111, (1,1) 106 - 28 = 78.
    // (0,1) 111 -> black, e = 111: (1,1) 78 + 48 = 126 -> black (47628 against 49923).
    EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
    EXPECT_EQ(image.GetPixelIndex(1, 1), 0);

    // Negative shares truncate toward zero. 199 -> white, e = -56, 7/16 of it is -24 (flooring: -25), so
    // 152 becomes 128 -> white (flooring: 127 -> black). Then e = -127, 7/16 is -55 (flooring: -56), so 183
    // becomes 128 -> white again.
    CLvImage trunc(3, 1, 24);
    trunc.SetPixelColor(0, 0, Quad(199, 199, 199));
    trunc.SetPixelColor(1, 0, Quad(152, 152, 152));
    trunc.SetPixelColor(2, 0, Quad(183, 183, 183));
    ASSERT_TRUE(trunc.DecreaseBpp(1, true));
    EXPECT_EQ(trunc.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(trunc.GetPixelIndex(1, 0), 1);
    EXPECT_EQ(trunc.GetPixelIndex(2, 0), 1);
}

TEST(BitDepth, DecreaseMatchesTheLiteralScanExactly) {
    // Palettes with duplicate entries and entries at equal distances test the first-of-equal rule.
    std::vector<RGBQUAD> tricky(256);
    std::mt19937 random(77);
    for (RGBQUAD& e : tricky)
        e = Quad(int(random() % 6) * 51, int(random() % 6) * 51, int(random() % 6) * 51);
    tricky[200] = tricky[3];
    std::vector<RGBQUAD> greys(16);
    for (int i = 0; i < 16; i++)
        greys[size_t(i)] = Quad(i * 16 + 8, i * 16 + 8, i * 16 + 8);
    greys[9] = greys[2];
    struct Case {
        int bits;
        const RGBQUAD* palette;
    };
    const Case cases[] = {{8, nullptr}, {4, nullptr}, {1, nullptr}, {8, tricky.data()}, {4, greys.data()}};
    for (unsigned seed : {1u, 2u}) {
        CLvImage photo = PhotoLike(67, 41, seed);
        for (const Case& c : cases)
            for (bool diffusion : {false, true}) {
                SCOPED_TRACE(testing::Message() << c.bits << " bits, diffusion " << diffusion << ", seed " << seed);
                CLvImage expected = ReferenceDecrease(photo, c.bits, diffusion, c.palette);
                CLvImage actual(photo);
                ASSERT_TRUE(actual.DecreaseBpp(DWORD(c.bits), diffusion, c.palette));
                ASSERT_EQ(actual.GetBpp(), expected.GetBpp());
                ASSERT_EQ(memcmp(actual.GetPalette(), expected.GetPalette(), expected.GetPaletteSize()), 0);
                for (int y = 0; y < photo.GetHeight(); y++)
                    for (int x = 0; x < photo.GetWidth(); x++)
                        ASSERT_EQ(actual.GetPixelIndex(x, y), expected.GetPixelIndex(x, y)) << x << ", " << y;
            }
    }
    // Palette sources spread their error through their own palette.
    CLvImage eight = PhotoLike(40, 30, 3);
    ASSERT_TRUE(eight.DecreaseBpp(8, true));
    for (int bits : {4, 1}) {
        CLvImage expected = ReferenceDecrease(eight, bits, true, nullptr);
        CLvImage actual(eight);
        ASSERT_TRUE(actual.DecreaseBpp(DWORD(bits), true));
        EXPECT_TRUE(SamePicture(actual, expected)) << bits;
    }
}

TEST(BitDepth, NearestSearchAgreesWithTheLinearScanEverywhere) {
    std::mt19937 random(5);
    for (int round = 0; round < 3; round++) {
        CLvImage image(1, 1, 8);
        for (int i = 0; i < 256; i++)
            image.SetPaletteColor(BYTE(i), BYTE(random() % 4 * 85), BYTE(random()), BYTE(random() % 3 * 127));
        CLvNearestColor nearest(image.GetPalette(), 256);
        for (int i = 0; i < 20000; i++) {
            RGBQUAD c = Quad(int(random() & 255), int(random() & 255), int(random() & 255));
            ASSERT_EQ(nearest.Find(c.rgbRed, c.rgbGreen, c.rgbBlue), image.GetNearestIndex(c));
        }
    }
}

TEST(BitDepth, ErrorDiffusionOfUniformGreyMakesAPattern) {
    CLvImage grey(16, 16, 24);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            grey.SetPixelColor(x, y, Quad(128, 128, 128));
    ASSERT_TRUE(grey.DecreaseBpp(1, true));
    int white = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++)
            white += grey.GetPixelIndex(x, y);
    EXPECT_GT(white, 100);
    EXPECT_LT(white, 156);
}

TEST(BitDepth, CancelStopsEarlyAndStillHandsOverThePicture) {
    CLvImage image = PhotoLike(20, 20, 9);
    image.SetEscape(1);
    EXPECT_TRUE(image.DecreaseBpp(8, true));
    EXPECT_EQ(image.GetBpp(), 8);
}

} // namespace
