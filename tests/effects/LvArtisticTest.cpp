#include "LvEffectCases.h"
#include "effects/LvRandom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// A picture whose every pixel has its own colour: red = x, green = y, blue = 7.
CLvImage Numbered(int width, int height) {
    CLvImage image(width, height, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            image.SetPixelColor(x, y, Quad(x, y, 7));
    return image;
}

TEST(Random, IsTheClassicGeneratorWithAProcessWideState) {
    LvRandomSeed(1);
    {
        CLvRandomStream random;
        EXPECT_EQ(random.Next(), 41);
        EXPECT_EQ(random.Next(), 18467);
    }
    // A second stream goes on where the first stopped.
    CLvRandomStream random;
    EXPECT_EQ(random.Next(), 6334);
    EXPECT_EQ(random.Next(), 26500);
}

TEST(Mosaic, BlocksStartAtTheBoxAndReadPastThePicture) {
    CLvImage image(3, 3, 24);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++)
            image.SetPixelColor(x, y, Quad(10 * (1 + x + 3 * y), 0, 0));
    ASSERT_TRUE(image.Mosaic(2));
    // Blocks at columns 0 and 2 and rows 0 and 2; positions past the picture read pixel (0, 0), red 10.
    EXPECT_EQ(Reds(image), (std::vector<int>{30, 30, (30 + 60 + 10 + 10) / 4, 30, 30, (30 + 60 + 10 + 10) / 4,
                                             (70 + 80 + 10 + 10) / 4, (70 + 80 + 10 + 10) / 4, (90 + 30) / 4}));

    CLvImage flat = Uniform(7, 5, Quad(9, 99, 199));
    ASSERT_TRUE(flat.Mosaic(3));
    EXPECT_TRUE(SamePicture(flat, Uniform(7, 5, Quad(9, 99, 199))));
    EXPECT_FALSE(flat.Mosaic(1));
    EXPECT_FALSE(flat.Mosaic(0));
    CLvImage empty;
    EXPECT_FALSE(empty.Mosaic(4));
}

TEST(Mosaic, TheBlockOriginDecidesAndTheWholeBlockIsPainted) {
    CLvImage image = Numbered(8, 8);
    // Selected: (2, 2) and (5, 5); the box runs from (2, 2) to (5, 5), so blocks of 2 start at (2, 2),
    // (4, 2), (2, 4) and (4, 4).
    image.SelectionAddRect(2, 2, 3, 3);
    image.SelectionAddRect(5, 5, 6, 6);
    const CLvImage before(image);
    ASSERT_TRUE(image.Mosaic(2));
    // Block (2, 2): its origin is selected, so all four pixels take the average, selected or not.
    const RGBQUAD average = Quad((2 + 3 + 2 + 3) / 4, (2 + 2 + 3 + 3) / 4, 7);
    for (int y = 2; y < 4; y++)
        for (int x = 2; x < 4; x++)
            EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), average)) << x << "," << y;
    // Block (4, 4): its origin is not selected, so even the selected (5, 5) keeps its colour.
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            if (x >= 4 || y >= 4 || x < 2 || y < 2) {
                EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), before.GetPixelColor(x, y))) << x << "," << y;
            }
}

TEST(Mosaic, BandsAndDepthsAgree) {
    for (const EffectInput& input : AllEffectInputs()) {
        CLvImage one = MakeInput(input, 31, 23), many(one);
        {
            ThreadCount threads(1);
            ASSERT_TRUE(one.Mosaic(4));
        }
        ThreadCount threads(input.threads);
        ASSERT_TRUE(many.Mosaic(4));
        EXPECT_TRUE(SamePicture(one, many)) << input.Name();
    }
}

TEST(Noise, PinnedDrawsAndLimits) {
    CLvImage image = Uniform(1, 1, Quad(100, 100, 100));
    LvRandomSeed(1);
    ASSERT_TRUE(image.Noise(25));
    // Draws 41, 18467, 6334: trunc((r / 32767 - 0.5) * 25) = -12, 1, -7 for red, green and blue.
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(88, 101, 93)));

    CLvImage photo = PhotoLike(40, 30, 5);
    CLvImage same(photo);
    ASSERT_TRUE(same.Noise(0));
    EXPECT_TRUE(SamePicture(same, photo));

    CLvImage noisy(photo);
    ASSERT_TRUE(noisy.Noise(25));
    int changed = 0;
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++) {
            RGBQUAD a = photo.GetPixelColor(x, y), b = noisy.GetPixelColor(x, y);
            EXPECT_LE(std::abs(a.rgbRed - b.rgbRed), 12);
            EXPECT_LE(std::abs(a.rgbGreen - b.rgbGreen), 12);
            EXPECT_LE(std::abs(a.rgbBlue - b.rgbBlue), 12);
            changed += !SameColor(a, b);
        }
    EXPECT_GT(changed, 40 * 30 / 2);
}

TEST(Noise, SameSeedSamePictureAndOnlyTheSelection) {
    CLvImage a = PhotoLike(20, 10, 2);
    a.SelectionAddEllipse(2, 2, 16, 9);
    CLvImage b(a);
    LvRandomSeed(77);
    ASSERT_TRUE(a.Noise(60));
    LvRandomSeed(77);
    ASSERT_TRUE(b.Noise(60));
    EXPECT_TRUE(SamePicture(a, b));
    const CLvImage original = PhotoLike(20, 10, 2);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++)
            if (!a.SelectionIsInside(x, y)) {
                EXPECT_TRUE(SameColor(a.GetPixelColor(x, y), original.GetPixelColor(x, y)));
            }

    // A palette picture keeps its palette: noisy colours become the nearest entries.
    CLvImage palette(12, 9, 8);
    FillPattern(palette, 9);
    CLvImage before(palette);
    ASSERT_TRUE(palette.Noise(80));
    EXPECT_EQ(memcmp(palette.GetPalette(), before.GetPalette(), 256 * sizeof(RGBQUAD)), 0);
}

TEST(Jitter, TakesColoursFromRandomNeighbours) {
    CLvImage image = Numbered(5, 5);
    LvRandomSeed(1);
    ASSERT_TRUE(image.Jitter(2));
    // Offsets trunc((r / 32767 - 0.5) * 4): draws 41 and 18467 give (-1, 0), outside the picture for (0, 0),
    // which keeps its colour; 6334 and 26500 give (-1, 1), so (1, 0) takes the colour of (0, 1).
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(0, 0, 7)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 0), Quad(0, 1, 7)));

    CLvImage big = Numbered(30, 20);
    big.AlphaCreate();
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 30; x++)
            big.AlphaSet(x, y, BYTE(x + 30 * y));
    ASSERT_TRUE(big.Jitter(3));
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 30; x++) {
            RGBQUAD c = big.GetPixelColor(x, y);
            EXPECT_LE(std::abs(c.rgbRed - x), 3);
            EXPECT_LE(std::abs(c.rgbGreen - y), 3);
            // The alpha value travels with the colour.
            EXPECT_EQ(c.rgbReserved, BYTE(c.rgbRed + 30 * c.rgbGreen));
        }

    CLvImage still = Numbered(6, 6);
    ASSERT_TRUE(still.Jitter(0));
    EXPECT_TRUE(SamePicture(still, Numbered(6, 6)));
}

// Floyd-Steinberg as written: the gray picture is changed as the scan goes.
CLvImage LiteralFloydSteinberg(const CLvImage& image) {
    const int w = image.GetWidth(), h = image.GetHeight();
    std::vector<int> gray(size_t(w * h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD c = image.GetPixelColor(x, y);
            gray[size_t(y * w + x)] = (117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10;
        }
    CLvImage result(w, h, 1);
    result.Clear(0);
    auto add = [&](int x, int y, int amount) {
        if (x < 0 || x >= w || y >= h) return;
        int& v = gray[size_t(y * w + x)];
        v = std::min(255, std::max(0, v + amount));
    };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int v = gray[size_t(y * w + x)];
            int err = v > 128 ? v - 255 : v;
            result.SetPixelIndex(x, y, v > 128 ? 1 : 0);
            add(x + 1, y, err * 7 / 16);
            add(x - 1, y + 1, err * 3 / 16);
            add(x, y + 1, err * 5 / 16);
            add(x + 1, y + 1, err * 1 / 16);
        }
    return result;
}

TEST(Dither, FloydSteinbergSpreadsTheError) {
    CLvImage mid = Uniform(4, 2, Quad(128, 128, 128));
    ASSERT_TRUE(mid.Dither(0));
    ASSERT_EQ(mid.GetBpp(), 1);
    EXPECT_EQ(mid.GetPixelIndex(0, 0), 0); // 128 is not above 128
    EXPECT_EQ(mid.GetPixelIndex(1, 0), 1); // 128 + 128 * 7 / 16 = 184

    for (int bpp : {24, 8, 4}) {
        EffectInput input{bpp, false, false, 1};
        CLvImage image = MakeInput(input, 33, 17, 11);
        CLvImage expected = LiteralFloydSteinberg(image);
        ASSERT_TRUE(image.Dither(0));
        for (int y = 0; y < 17; y++)
            for (int x = 0; x < 33; x++)
                ASSERT_EQ(image.GetPixelIndex(x, y), expected.GetPixelIndex(x, y)) << bpp << " " << x << "," << y;
    }
}

TEST(Dither, OrderedAndBayerMatrices) {
    for (int v : {0, 255}) {
        CLvImage image = Uniform(8, 8, Quad(v, v, v));
        ASSERT_TRUE(image.Dither(1));
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                EXPECT_EQ(image.GetPixelIndex(x, y), v == 255 ? 1 : 0);
    }
    // Gray 100: d = 100 * 16 / 255 = 6, white where the 4 x 4 entry is below 6.
    const int ordered[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    CLvImage hundred = Uniform(9, 6, Quad(100, 100, 100));
    ASSERT_TRUE(hundred.Dither(1));
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 9; x++)
            EXPECT_EQ(hundred.GetPixelIndex(x, y), ordered[y & 3][x & 3] < 6 ? 1 : 0);

    // Gray 128: v >> 2 = 32, so exactly the Bayer entries below 32 are white, half of every 8 x 8 tile.
    CLvImage half = Uniform(16, 8, Quad(128, 128, 128));
    ASSERT_TRUE(half.Dither(2));
    int white = 0;
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++)
            white += half.GetPixelIndex(x, y);
    EXPECT_EQ(white, 64);
    EXPECT_EQ(half.GetPixelIndex(0, 0), 1); // entry 0
    EXPECT_EQ(half.GetPixelIndex(1, 0), 0); // entry 32
    EXPECT_EQ(half.GetPixelIndex(3, 1), 1); // entry 24
    EXPECT_EQ(half.GetPixelIndex(9, 0), 0); // entry 32 again
}

TEST(Dither, KeepsSelectionAndRefusesUnknownMethods) {
    CLvImage image = PhotoLike(20, 12, 4);
    image.SelectionAddRect(3, 3, 9, 9);
    image.AlphaCreate();
    image.AlphaFill(77);
    CLvImage other(image);
    ASSERT_TRUE(image.Dither(2));
    EXPECT_EQ(image.GetBpp(), 1);
    ASSERT_NE(image.pSelection, nullptr);
    EXPECT_TRUE(image.SelectionIsInside(4, 4));
    EXPECT_FALSE(image.SelectionIsInside(12, 4));
    EXPECT_EQ(image.info.rcSelection.right, 9);
    EXPECT_EQ(image.AlphaGet(5, 5), 77);

    const CLvImage before(other);
    EXPECT_FALSE(other.Dither(3));
    EXPECT_TRUE(SamePicture(other, before));

    CLvImage bits(10, 3, 1);
    FillPattern(bits, 2);
    const CLvImage sameBits(bits);
    EXPECT_TRUE(bits.Dither(0));
    EXPECT_TRUE(SamePicture(bits, sameBits));
}

TEST(Dither, BandsAgree) {
    for (int method : {1, 2}) {
        CLvImage one = PhotoLike(50, 40, 3), many(one);
        {
            ThreadCount threads(1);
            ASSERT_TRUE(one.Dither(method));
        }
        ThreadCount threads(4);
        ASSERT_TRUE(many.Dither(method));
        EXPECT_TRUE(SamePicture(one, many));
    }
}

} // namespace

namespace {

TEST(Combined, PencilDrawingAndCrayonOfAUniformPicture) {
    // The Laplacian of a uniform picture is 0 everywhere (the colour of (0, 0) is read past the edges);
    // negated, white.
    CLvImage pencil = Uniform(9, 7, Quad(90, 120, 30));
    ASSERT_TRUE(pencil.PencilDrawing());
    EXPECT_TRUE(SamePicture(pencil, Uniform(9, 7, Quad(255, 255, 255))));
    // Sobel is 0 inside and large where white is read past the edges; negated, white inside, dark there.
    CLvImage crayon = Uniform(9, 7, Quad(90, 120, 30));
    ASSERT_TRUE(crayon.Crayon());
    EXPECT_TRUE(SameColor(crayon.GetPixelColor(4, 3), Quad(255, 255, 255)));
    EXPECT_TRUE(SameColor(crayon.GetPixelColor(4, 6), Quad(0, 0, 0)));
}

} // namespace
