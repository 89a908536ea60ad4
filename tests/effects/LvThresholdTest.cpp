#include "LvEffectCases.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

CLvImage GrayPixels(int width, int height, const std::function<int(int, int)>& gray) {
    CLvImage image(width, height, 24);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            int g = gray(x, y);
            image.SetPixelColor(x, y, Quad(g, g, g));
        }
    return image;
}

bool IsBlackAndWhite(const CLvImage& image) {
    return image.GetBpp() == 1 && SameColor(image.GetPaletteColor(0), Quad(0, 0, 0)) &&
           SameColor(image.GetPaletteColor(1), Quad(255, 255, 255));
}

// The level an automatic threshold chose, read from a row of probes holding every gray 0..255 that lies
// outside the selection (the histogram counts only the selection; the threshold converts everything).
int ChosenLevel(const std::function<int(int)>& selectedGray, const std::function<bool(CLvImage&)>& run) {
    CLvImage image = GrayPixels(256, 3, [&](int x, int y) { return y == 0 ? x : selectedGray(x + 256 * (y - 1)); });
    image.SelectionAddRect(0, 1, 256, 3);
    EXPECT_TRUE(run(image));
    EXPECT_TRUE(IsBlackAndWhite(image));
    int level = -1;
    for (int x = 0; x < 256; x++)
        if (image.GetPixelIndex(x, 0) == 0) level = x;
    for (int x = level + 1; x < 256; x++)
        EXPECT_EQ(image.GetPixelIndex(x, 0), 1) << "gray " << x;
    return level;
}

TEST(Threshold, LevelIsTheLastGrayThatTurnsBlack) {
    for (int bpp : {24, 8, 4}) {
        CLvImage image(3, 1, bpp);
        if (bpp == 24) {
            image.SetPixelColor(0, 0, Quad(128, 128, 128));
            image.SetPixelColor(1, 0, Quad(129, 129, 129));
            image.SetPixelColor(2, 0, Quad(255, 0, 0)); // gray 76
        } else {
            image.SetPaletteColor(1, 128, 128, 128);
            image.SetPaletteColor(2, 129, 129, 129);
            image.SetPaletteColor(3, 255, 0, 0);
            for (int x = 0; x < 3; x++)
                image.SetPixelIndex(x, 0, BYTE(x + 1));
        }
        image.SelectionAddRect(0, 0, 1, 1);
        image.SetXDPI(300);
        ASSERT_TRUE(image.Threshold(128)) << bpp;
        ASSERT_TRUE(IsBlackAndWhite(image));
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);
        EXPECT_EQ(image.GetPixelIndex(1, 0), 1);
        EXPECT_EQ(image.GetPixelIndex(2, 0), 0);
        // The whole picture is converted and the selection dropped; the resolution stays.
        EXPECT_EQ(image.pSelection, nullptr);
        EXPECT_EQ(image.GetXDPI(), 300);
    }
    CLvImage bits(9, 2, 1);
    FillPattern(bits, 3);
    const CLvImage before(bits);
    EXPECT_TRUE(bits.Threshold(0));
    EXPECT_TRUE(SamePicture(bits, before));
}

TEST(Threshold, WideRowsPackEveryBit) {
    for (int threads : {1, 4}) {
        ThreadCount count(threads);
        CLvImage image = GrayPixels(37, 9, [](int x, int y) { return (x * 7 + y * 13) % 256; });
        ASSERT_TRUE(image.Threshold(100));
        for (int y = 0; y < 9; y++)
            for (int x = 0; x < 37; x++)
                ASSERT_EQ(image.GetPixelIndex(x, y), (x * 7 + y * 13) % 256 > 100 ? 1 : 0) << x << "," << y;
    }
}

TEST(Threshold, MeanGrayOverTheSelectionBox) {
    CLvImage image = GrayPixels(2, 2, [](int x, int y) { return 10 + 10 * (x + 2 * y) + (x == 1 && y == 1); });
    EXPECT_FLOAT_EQ(image.MeanGray(), 101.0f / 4);
    // The box counts every pixel in it, selected or not.
    image.SelectionAddPixel(0, 0);
    image.SelectionAddRect(1, 0, 2, 2);
    EXPECT_FLOAT_EQ(image.MeanGray(), (20.0f + 41.0f) / 2);
    image.SelectionClear();
    EXPECT_EQ(image.MeanGray(), 0.0f);
}

TEST(Threshold, Iteration) {
    // Two equal classes of 50 and 200: the mean, 125, is already the midpoint of the class means.
    EXPECT_EQ(ChosenLevel([](int i) { return i % 2 ? 50 : 200; }, [](CLvImage& i) { return i.IterationThreshold(); }),
              125);
    // Three quarters at 40, a quarter at 240: mean 90, then (240 + 40) / 2 = 140, which is stable.
    EXPECT_EQ(ChosenLevel([](int i) { return i % 4 ? 40 : 240; }, [](CLvImage& i) { return i.IterationThreshold(); }),
              140);

    CLvImage black = GrayPixels(4, 3, [](int, int) { return 0; });
    ASSERT_TRUE(black.IterationThreshold());
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(black.GetPixelIndex(x, 1), 0);
    // One gray g > 0: the upper class is empty, the level drops to 0 and everything turns white.
    CLvImage gray = GrayPixels(4, 3, [](int, int) { return 90; });
    ASSERT_TRUE(gray.IterationThreshold());
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(gray.GetPixelIndex(x, 2), 1);
}

TEST(Threshold, Ostu) {
    EXPECT_EQ(ChosenLevel([](int i) { return i % 2 ? 50 : 200; }, [](CLvImage& i) { return i.OstuThreshold(); }), 121);
    // Two thirds black, a third at 85: the spread of the lower class divides its bin sum by t (not by the
    // t + 1 bins it covers), which makes the search settle on 85 rather than 1.
    EXPECT_EQ(ChosenLevel([](int i) { return i % 3 ? 0 : 85; }, [](CLvImage& i) { return i.OstuThreshold(); }), 85);
    // Without a cancel the level is between 1 and 254, even for one gray.
    int level = ChosenLevel([](int) { return 0; }, [](CLvImage& i) { return i.OstuThreshold(); });
    EXPECT_GE(level, 1);
    EXPECT_LE(level, 254);
    // Cancelled before the search: level 0, and the threshold itself stops before its first row, so the
    // picture is black.
    EXPECT_EQ(ChosenLevel([](int i) { return i % 2 ? 50 : 200; },
                          [](CLvImage& i) {
                              i.SetEscape(1);
                              bool ok = i.OstuThreshold();
                              i.SetEscape(0);
                              return ok;
                          }),
              255);
}

TEST(LocalThreshold, MatchTheLiteralDefinitionEverywhere) {
    for (int method = 0; method < 3; method++)
        for (int k : {1, 2, 3, 6})
            for (int c : {0, 5, -3})
                for (const EffectInput& input : AllEffectInputs()) {
                    if (k == 6 && c != 0) continue;
                    CLvImage original = MakeInput(input, 17, 13, unsigned(k + c));
                    CLvImage actual(original);
                    ThreadCount threads(input.threads);
                    bool ok = method == 0   ? actual.LocalThresholdMean(k, c)
                              : method == 1 ? actual.LocalThresholdMedian(k, c)
                                            : actual.LocalThresholdMinMax(k, c);
                    ASSERT_TRUE(ok);
                    const CLvImage expected =
                        input.bpp == 1 ? original : ReferenceLocalThreshold(original, method, k, c);
                    std::string where;
                    EXPECT_TRUE(SamePicture(actual, expected, &where))
                        << "method " << method << " k " << k << " c " << c << " " << input.Name() << ": " << where;
                }
}

TEST(LocalThreshold, UniformPicturesAndTheConstant) {
    for (int method = 0; method < 3; method++)
        for (int c : {0, -1, 1}) {
            CLvImage image = Uniform(7, 5, Quad(120, 80, 40));
            bool ok = method == 0   ? image.LocalThresholdMean(3, c)
                      : method == 1 ? image.LocalThresholdMedian(3, c)
                                    : image.LocalThresholdMinMax(3, c);
            ASSERT_TRUE(ok);
            ASSERT_TRUE(IsBlackAndWhite(image));
            // Y is never above its own mean, median or mid-range: white only when the constant lowers the
            // bar (Y > mean - C with C > 0).
            for (int y = 0; y < 5; y++)
                for (int x = 0; x < 7; x++)
                    ASSERT_EQ(image.GetPixelIndex(x, y), c > 0 ? 1 : 0) << method << " " << c;
        }
    CLvImage image = Uniform(3, 3, Quad(1, 1, 1));
    EXPECT_FALSE(image.LocalThresholdMean(0, 0));
    EXPECT_FALSE(image.LocalThresholdMedian(-2, 0));
    EXPECT_EQ(image.GetBpp(), 24);
}

TEST(LocalThreshold, PixelsOutsideTheSelectionAreBlack) {
    CLvImage image = Uniform(8, 8, Quad(200, 200, 200));
    image.SelectionAddRect(2, 2, 5, 5);
    ASSERT_TRUE(image.LocalThresholdMean(3, 10));
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 8; x++)
            EXPECT_EQ(image.GetPixelIndex(x, y), x >= 2 && x < 5 && y >= 2 && y < 5 ? 1 : 0);
}

TEST(Threshold, EmptyImagesFail) {
    CLvImage empty;
    EXPECT_FALSE(empty.Threshold(1));
    EXPECT_FALSE(empty.IterationThreshold());
    EXPECT_FALSE(empty.OstuThreshold());
    EXPECT_FALSE(empty.LocalThresholdMean(3, 0));
    EXPECT_FALSE(empty.LocalThresholdMedian(3, 0));
    EXPECT_FALSE(empty.LocalThresholdMinMax(3, 0));
}

} // namespace
