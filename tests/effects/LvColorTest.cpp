#include "LvEffectTestUtil.h"
#include "LvReference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

RGBQUAD Hsl(int hue, int saturation, int lightness) {
    return Quad(hue, saturation, lightness); // red holds the hue, green the saturation, blue the lightness
}

void ExpectColor(RGBQUAD c, int red, int green, int blue, const std::string& what) {
    EXPECT_EQ(c.rgbRed, red) << what;
    EXPECT_EQ(c.rgbGreen, green) << what;
    EXPECT_EQ(c.rgbBlue, blue) << what;
}

// A 24-bit picture holding every value 0..255 in each channel (red = x, green = 255 - x, blue = x * 7).
CLvImage Ramp() {
    CLvImage image(256, 2, 24);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 256; x++)
            image.SetPixelColor(x, y, Quad(x, 255 - x, (x * 7) & 255));
    return image;
}

TEST(Color, GrayValueAndGrayScaleOfTrueColour) {
    EXPECT_EQ(CLvImage::GrayValue(255, 255, 255), 255);
    EXPECT_EQ(CLvImage::GrayValue(255, 0, 0), 76);
    EXPECT_EQ(CLvImage::GrayValue(0, 255, 0), 149);
    EXPECT_EQ(CLvImage::GrayValue(0, 0, 255), 29);
    CLvImage image = Patterned(13, 7, 24, 1);
    image.SetXDPI(150);
    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaSet(3, 2, 99);
    image.SelectionAddRect(0, 0, 3, 3);
    CLvImage before(image);
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetWidth(), 13);
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(image.GetXDPI(), 150);
    EXPECT_EQ(image.AlphaGet(3, 2), 99);
    EXPECT_EQ(image.pSelection, nullptr) << "the selection is not kept";
    EXPECT_EQ(image.GetTransIndex(), -1);
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 13; x++) {
            RGBQUAD c = before.GetPixelColor(x, y);
            ASSERT_EQ(image.GetPixelIndex(x, y), CLvImage::GrayValue(c.rgbRed, c.rgbGreen, c.rgbBlue));
        }
}

TEST(Color, GrayScaleKeepsATransparentColourTransparent) {
    CLvImage image = Patterned(4, 4, 24, 2);
    image.SetTransIndex(0);
    image.SetTransColor(Quad(255, 0, 0));
    ASSERT_TRUE(image.GrayScale());
    EXPECT_EQ(image.GetTransIndex(), 76);
}

TEST(Color, GrayScaleOfPalettePictures) {
    // A 4-bit picture whose entry 3 is pure red: 76 at every pixel of index 3.
    CLvImage four(9, 3, 4);
    four.SetStdPalette();
    four.SetPaletteColor(3, 255, 0, 0);
    four.Clear(0x33);
    four.SetPixelIndex(4, 1, 15); // white
    four.SetTransIndex(15);
    ASSERT_TRUE(four.AlphaCreate());
    four.AlphaSet(1, 1, 5);
    ASSERT_TRUE(four.GrayScale());
    EXPECT_EQ(four.GetBpp(), 8);
    EXPECT_TRUE(four.IsGrayScale());
    EXPECT_EQ(four.GetPixelIndex(0, 0), 76);
    EXPECT_EQ(four.GetPixelIndex(4, 1), 255);
    EXPECT_EQ(four.GetTransIndex(), 255) << "the background index follows its entry";
    EXPECT_EQ(four.AlphaGet(1, 1), 5) << "the alpha plane stays";

    for (int bpp : {1, 8}) {
        CLvImage image = Patterned(11, 4, bpp, unsigned(bpp));
        CLvImage before(image);
        ASSERT_TRUE(image.GrayScale());
        ASSERT_EQ(image.GetBpp(), 8);
        EXPECT_TRUE(image.IsGrayScale());
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 11; x++) {
                RGBQUAD c = before.GetPixelColor(x, y);
                ASSERT_EQ(image.GetPixelIndex(x, y), CLvImage::GrayValue(c.rgbRed, c.rgbGreen, c.rgbBlue)) << bpp;
            }
    }
}

TEST(Color, NegativeOfEveryKindOfPicture) {
    // True colour without a selection: every byte, padding too; twice is the identity.
    CLvImage image = Patterned(5, 3, 24, 2);
    image.GetBits()[15] = 0x12; // padding
    image.SetTransColor(Quad(10, 20, 30));
    CLvImage before(image);
    ASSERT_TRUE(image.Negative());
    EXPECT_EQ(Rgb(image, 2, 1), 0xFFFFFF - Rgb(before, 2, 1));
    EXPECT_EQ(image.GetBits()[15], 0xED);
    ExpectColor(image.info.rgbTransColor, 245, 235, 225, "background");
    ASSERT_TRUE(image.Negative());
    EXPECT_TRUE(SameBytes(image, before));

    // With a selection only the selected pixels change.
    CLvImage selected(before);
    selected.SelectionAddRect(1, 0, 3, 2);
    ASSERT_TRUE(selected.Negative());
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            bool in = x >= 1 && x < 3 && y < 2;
            ASSERT_EQ(Rgb(selected, x, y), in ? 0xFFFFFF - Rgb(before, x, y) : Rgb(before, x, y));
        }

    // A colour palette is inverted, the indices stay.
    CLvImage palette = Patterned(6, 2, 8, 3);
    palette.SetPaletteColor(4, 1, 2, 3, 77);
    CLvImage paletteBefore(palette);
    ASSERT_TRUE(palette.Negative());
    ExpectColor(palette.GetPaletteColor(4), 254, 253, 252, "entry 4");
    EXPECT_EQ(palette.GetPaletteColor(4).rgbReserved, 77);
    EXPECT_EQ(memcmp(palette.GetBits(), paletteBefore.GetBits(), paletteBefore.GetHeader().biSizeImage), 0);

    // A grey ramp keeps its palette and turns the indices round, in the selection only.
    CLvImage grey(4, 2, 8);
    grey.SetGrayPalette();
    grey.Clear(10);
    grey.SelectionAddRect(0, 0, 2, 1);
    ASSERT_TRUE(grey.Negative());
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 245);
    EXPECT_EQ(grey.GetPixelIndex(2, 0), 10);
    EXPECT_TRUE(grey.IsGrayScale());
    // 4-bit grey ramp (entries 0..15): index i becomes 15 - i.
    CLvImage grey4(3, 1, 4);
    for (int i = 0; i < 16; i++)
        grey4.SetPaletteColor(BYTE(i), BYTE(i), BYTE(i), BYTE(i));
    grey4.SetPixelIndex(0, 0, 2);
    grey4.SetPixelIndex(1, 0, 15);
    ASSERT_TRUE(grey4.Negative());
    EXPECT_EQ(grey4.GetPixelIndex(0, 0), 13);
    EXPECT_EQ(grey4.GetPixelIndex(1, 0), 0);
}

TEST(Color, LightPinsTheFormula) {
    // Values worked out independently in single precision.
    const struct {
        int brightness, contrast;
        int out[10];
    } cases[] = {
        {0, 100, {0, 0, 0, 72, 126, 128, 130, 255, 255, 255}},
        {0, -50, {64, 64, 96, 114, 127, 128, 128, 164, 191, 191}},
        {20, 33, {0, 0, 62, 110, 146, 148, 149, 243, 255, 255}},
        {-100, -100, {28, 28, 28, 28, 28, 28, 28, 28, 28, 28}},
        {7, 1, {5, 6, 70, 106, 133, 135, 136, 207, 255, 255}},
    };
    const int in[10] = {0, 1, 64, 100, 127, 128, 129, 200, 254, 255};
    for (const auto& c : cases) {
        CLvImage image(10, 1, 24);
        for (int x = 0; x < 10; x++)
            image.SetPixelColor(x, 0, Quad(in[x], in[x], in[x]));
        ASSERT_TRUE(image.Light(c.brightness, c.contrast));
        for (int x = 0; x < 10; x++) {
            EXPECT_EQ(image.GetPixelColor(x, 0).rgbRed, c.out[x])
                << c.brightness << "/" << c.contrast << " at " << in[x];
            EXPECT_EQ(ReferenceLight(in[x], c.brightness, c.contrast), c.out[x]);
        }
    }
    CLvImage same = Ramp(), before = Ramp();
    ASSERT_TRUE(same.Light(0, 0));
    EXPECT_TRUE(SameBytes(same, before));
}

TEST(Color, HslConversionsPinTheModel) {
    ExpectColor(CLvImage::RGBtoHSL(Quad(255, 0, 0)), 0, 255, 128, "red");
    for (int g : {0, 1, 77, 128, 255}) {
        RGBQUAD hsl = CLvImage::RGBtoHSL(Quad(g, g, g));
        EXPECT_EQ(hsl.rgbRed, 170) << g;
        EXPECT_EQ(hsl.rgbGreen, 0) << g;
    }
    ExpectColor(CLvImage::RGBtoHSL(Quad(0, 255, 0)), 85, 255, 128, "green");
    ExpectColor(CLvImage::RGBtoHSL(Quad(0, 0, 255)), 170, 255, 128, "blue");
    ExpectColor(CLvImage::RGBtoHSL(Quad(255, 0, 255)), 214, 255, 128, "magenta: -42 modulo 256");
    ExpectColor(CLvImage::RGBtoHSL(Quad(200, 40, 60)), 251, 170, 120, "dark red: 37 - 42 modulo 256");
    for (int h : {0, 50, 255})
        ExpectColor(CLvImage::HSLtoRGB(Hsl(h, 0, 255)), 255, 255, 255, "white");
    // Values worked out independently in single precision: (hue, saturation, lightness) -> (r, g, b).
    const struct {
        int h, s, l, r, g, b;
    } cases[] = {{0, 255, 128, 254, 1, 1},   {85, 255, 128, 1, 254, 1},     {170, 255, 128, 1, 1, 254},
                 {12, 50, 100, 119, 91, 80}, {30, 100, 200, 221, 208, 178}, {200, 240, 120, 166, 7, 232},
                 {43, 128, 64, 95, 96, 31},  {128, 10, 250, 249, 250, 250}};
    for (const auto& c : cases)
        ExpectColor(CLvImage::HSLtoRGB(Hsl(c.h, c.s, c.l)), c.r, c.g, c.b,
                    "hsl " + std::to_string(c.h) + "," + std::to_string(c.s) + "," + std::to_string(c.l));
    EXPECT_FLOAT_EQ(CLvImage::HueToRGB(0.2f, 0.8f, 390), CLvImage::HueToRGB(0.2f, 0.8f, 30));
    EXPECT_FLOAT_EQ(CLvImage::HueToRGB(0.2f, 0.8f, -30), 0.2f);
    EXPECT_FLOAT_EQ(CLvImage::HueToRGB(0.2f, 0.8f, 100), 0.8f);
}

TEST(Color, AdjustHslTurnsHuesOfTrueColourOnly) {
    CLvImage red(2, 2, 24);
    red.SetPixelColor(0, 0, Quad(255, 0, 0));
    red.SetPixelColor(1, 0, Quad(255, 0, 0));
    red.SetPixelColor(0, 1, Quad(255, 0, 0));
    red.SetPixelColor(1, 1, Quad(255, 0, 0));
    ASSERT_TRUE(red.AdjustHSL(128, 0, 0));
    RGBQUAD c = red.GetPixelColor(0, 0);
    EXPECT_LT(c.rgbRed, 10) << "towards cyan";
    EXPECT_GT(c.rgbGreen, 240);
    EXPECT_GT(c.rgbBlue, 240);
    EXPECT_TRUE(SameColor(c, CLvImage::HSLtoRGB(Hsl(128, 255, 128))));

    CLvImage palette = Patterned(4, 4, 8, 9);
    CLvImage before(palette);
    ASSERT_TRUE(palette.AdjustHSL(128, 0, 0));
    EXPECT_TRUE(SameBytes(palette, before)) << "a palette keeps its hues";
    ASSERT_TRUE(palette.AdjustHSL(0, -20, 10));
    RGBQUAD e = before.GetPaletteColor(7), hsl = CLvImage::RGBtoHSL(e);
    hsl.rgbGreen = BYTE(std::max(0, hsl.rgbGreen - 20));
    hsl.rgbBlue = BYTE(std::min(255, hsl.rgbBlue + 10));
    RGBQUAD expected = CLvImage::HSLtoRGB(hsl);
    ExpectColor(palette.GetPaletteColor(7), expected.rgbRed, expected.rgbGreen, expected.rgbBlue, "entry 7");
}

TEST(Color, AdjustHslAgreesWithTheModelOnAMillionColours) {
    // Every red and green level with 16 blue levels: the shortcuts of the conversion must give what the
    // conversion itself gives, for all of them.
    CLvImage image(1024, 1024, 24);
    for (int y = 0; y < 1024; y++)
        for (int x = 0; x < 1024; x++)
            image.SetPixelColor(x, y, Quad(x & 255, y & 255, ((x >> 8) + 4 * (y >> 8)) * 17));
    CLvImage expected(image);
    ReferenceScan(expected, [](RGBQUAD c) {
        RGBQUAD h = CLvImage::RGBtoHSL(c);
        h.rgbRed = BYTE(h.rgbRed + 37);
        h.rgbGreen = BYTE(std::max(0, h.rgbGreen - 5));
        h.rgbBlue = BYTE(std::min(255, h.rgbBlue + 9));
        return CLvImage::HSLtoRGB(h);
    });
    ASSERT_TRUE(image.AdjustHSL(37, -5, 9));
    std::string where;
    EXPECT_TRUE(SameValues(image, expected, &where)) << where;
}

TEST(Color, GammaExposureStretchAndShiftPinTheirNumbers) {
    const int in[8] = {0, 1, 10, 64, 128, 200, 254, 255};
    const struct {
        float gamma;
        int out[8];
    } gammas[] = {{2.2f, {0, 20, 58, 136, 186, 228, 254, 255}},
                  {0.5f, {0, 0, 0, 16, 64, 156, 253, 255}},
                  {1.0f, {0, 1, 10, 64, 128, 200, 254, 255}}};
    for (const auto& g : gammas) {
        CLvImage image(8, 1, 24);
        for (int x = 0; x < 8; x++)
            image.SetPixelColor(x, 0, Quad(in[x], in[x], in[x]));
        ASSERT_TRUE(image.Gamma(g.gamma));
        for (int x = 0; x < 8; x++) {
            EXPECT_EQ(image.GetPixelColor(x, 0).rgbGreen, g.out[x]) << g.gamma << " at " << in[x];
            EXPECT_EQ(ReferenceGamma(in[x], g.gamma), g.out[x]);
        }
    }
    CLvImage image = Ramp();
    EXPECT_FALSE(image.Gamma(0.0f)) << "no exponent";
    EXPECT_FALSE(image.Gamma(-1.0f));
    ASSERT_TRUE(image.Gamma(0.001f)) << "a steep curve: the limit, no overflow";
    EXPECT_EQ(image.GetPixelColor(200, 0).rgbRed, 0);
    EXPECT_EQ(image.GetPixelColor(254, 0).rgbRed, 5) << "255 * (254 / 255)^1000";
    EXPECT_EQ(image.GetPixelColor(255, 0).rgbRed, 255);

    CLvImage exposure = Ramp();
    ASSERT_TRUE(exposure.Exposure());
    EXPECT_EQ(exposure.GetPixelColor(0, 0).rgbRed, 255);
    EXPECT_EQ(exposure.GetPixelColor(127, 0).rgbRed, 128);
    EXPECT_EQ(exposure.GetPixelColor(128, 0).rgbRed, 128);
    EXPECT_EQ(exposure.GetPixelColor(200, 0).rgbRed, 200);

    CLvImage identity = Ramp(), ramp = Ramp();
    ASSERT_TRUE(identity.GrayStretch(0, 0, 255, 255));
    EXPECT_TRUE(SameBytes(identity, ramp));
    CLvImage stretched = Ramp();
    ASSERT_TRUE(stretched.GrayStretch(64, 0, 192, 255));
    EXPECT_EQ(stretched.GetPixelColor(64, 0).rgbRed, 0);
    EXPECT_EQ(stretched.GetPixelColor(128, 0).rgbRed, 127);
    EXPECT_EQ(stretched.GetPixelColor(192, 0).rgbRed, 255);
    for (int v = 0; v < 256; v++)
        ASSERT_EQ(stretched.GetPixelColor(v, 1).rgbRed, ReferenceGrayStretch(v, 64, 0, 192, 255));
    // Control points outside 0..255 (from a caller, not the dialog) stay inside the table.
    CLvImage wild = Ramp();
    EXPECT_TRUE(wild.GrayStretch(-40, 300, 400, -7));
    EXPECT_TRUE(wild.GrayStretch(1000, 5, -1000, 9));

    CLvImage shifted = Ramp();
    ASSERT_TRUE(shifted.ShiftRGB(-100, 30, 0));
    ExpectColor(shifted.GetPixelColor(50, 0), 0, 235, 94, "shift");
    ExpectColor(shifted.GetPixelColor(240, 0), 140, 45, 144, "shift");
}

TEST(Color, CorrectHistogramOfOneColourGoesWhite) {
    CLvImage image(7, 5, 24);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++)
            image.SetPixelColor(x, y, Quad(30, 90, 200));
    ASSERT_TRUE(image.CorrectHistogram());
    EXPECT_EQ(Rgb(image, 3, 3), 0xFFFFFF);

    int32_t red[256], gray[256];
    CLvImage two(4, 1, 24);
    two.SetPixelColor(0, 0, Quad(255, 0, 0));
    two.SetPixelColor(1, 0, Quad(255, 0, 0));
    two.SetPixelColor(2, 0, Quad(0, 0, 0));
    two.SetPixelColor(3, 0, Quad(255, 255, 255));
    EXPECT_EQ(two.Histogram(red, nullptr, nullptr, gray), 3);
    EXPECT_EQ(red[255], 3);
    EXPECT_EQ(red[0], 1);
    EXPECT_EQ(gray[76], 2);
    EXPECT_EQ(gray[255], 1);
    int32_t blue[256];
    EXPECT_EQ(two.Histogram(nullptr, nullptr, blue), 3) << "blue 0 three times";
    EXPECT_EQ(two.Histogram(red, nullptr, nullptr, nullptr, 3), 0) << "colour space not supported";
    EXPECT_EQ(red[255], 0) << "tables are zeroed";
    // Colour space 1 reads the pixels as HSL quads: (hue 0, saturation 0, lightness 255) is white.
    CLvImage hsl(1, 1, 24);
    hsl.SetPixelColor(0, 0, Hsl(0, 0, 255));
    EXPECT_EQ(hsl.Histogram(red, nullptr, nullptr, nullptr, 1), 1);
    EXPECT_EQ(red[255], 1);
    CLvImage empty;
    EXPECT_EQ(empty.Histogram(red), 0);
}

TEST(Color, ColorizeSepiaAndPseudoColors) {
    CLvImage image = Patterned(9, 6, 24, 4);
    CLvImage before(image);
    ASSERT_TRUE(image.Colorize(12, 50));
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 9; x++) {
            RGBQUAD hsl = CLvImage::RGBtoHSL(before.GetPixelColor(x, y));
            RGBQUAD expected = CLvImage::HSLtoRGB(Hsl(12, 50, hsl.rgbBlue));
            ASSERT_EQ(Rgb(image, x, y), (expected.rgbRed << 16) | (expected.rgbGreen << 8) | expected.rgbBlue);
        }

    // Pseudo colours: a grey picture whose palette becomes the hue ramp.
    CLvImage pseudo = Patterned(5, 5, 24, 6);
    ASSERT_TRUE(pseudo.GrayScale());
    ASSERT_TRUE(pseudo.HuePalette(1.0f));
    for (int j = 0; j < 256; j++) {
        RGBQUAD expected = CLvImage::HSLtoRGB(Hsl(j, 240, 120));
        ASSERT_TRUE(SameColor(pseudo.GetPaletteColor(BYTE(j)), expected)) << j;
    }
    // 16 entries: steps of 255 / 15 = 17.
    CLvImage four(2, 2, 4);
    ASSERT_TRUE(four.HuePalette(1.0f));
    EXPECT_TRUE(SameColor(four.GetPaletteColor(2), CLvImage::HSLtoRGB(Hsl(34, 240, 120))));
    CLvImage rgb(2, 2, 24);
    EXPECT_TRUE(rgb.HuePalette(1.0f)) << "no palette: nothing to do";
}

TEST(Color, RedEyeReduce) {
    // Threshold 0 sets the red of every selected pixel to min(G, B).
    CLvImage image(6, 6, 24);
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 6; x++)
            image.SetPixelColor(x, y, Quad(200, 40, 60));
    image.SetPixelColor(2, 2, Quad(100, 90, 80));
    image.SetPixelColor(3, 2, Quad(0, 50, 70)); // no red to take away
    image.SelectionAddRect(1, 1, 5, 4);
    ASSERT_TRUE(image.RedEyeReduce(0));
    ExpectColor(image.GetPixelColor(1, 1), 40, 40, 60, "selected");
    ExpectColor(image.GetPixelColor(2, 2), 80, 90, 80, "selected");
    ExpectColor(image.GetPixelColor(3, 2), 0, 50, 70, "no red");
    ExpectColor(image.GetPixelColor(0, 0), 200, 40, 60, "outside");
    ExpectColor(image.GetPixelColor(5, 4), 200, 40, 60, "the box's far edges are read, but not selected");

    // A high threshold takes only the reddest pixels.
    CLvImage eye(4, 1, 24);
    eye.SetPixelColor(0, 0, Quad(250, 10, 10));   // redness 3.84
    eye.SetPixelColor(1, 0, Quad(120, 100, 100)); // 0.67
    eye.SetPixelColor(2, 0, Quad(100, 120, 120)); // -0.8
    eye.SetPixelColor(3, 0, Quad(200, 60, 60));   // 2.8
    eye.SelectionAddRect(0, 0, 4, 1);
    ASSERT_TRUE(eye.RedEyeReduce(200));
    ExpectColor(eye.GetPixelColor(0, 0), 10, 10, 10, "reddest");
    ExpectColor(eye.GetPixelColor(1, 0), 120, 100, 100, "kept");
    ExpectColor(eye.GetPixelColor(3, 0), 200, 60, 60, "(2.8 + 0.8) * 255 / 4.64 = 197, below 200");
}

// The optimised colour operations against literal scans through GetPixelColor and SetPixelColor, on
// every depth, with and without a selection, on one and on several threads.
struct ColorOp {
    const char* name;
    std::function<bool(CLvImage&)> run;
    std::function<RGBQUAD(RGBQUAD)> colour; // per pixel, or null for operations with their own reference
    bool paletteWise;
};

TEST(Color, OptimisedOperationsMatchLiteralScans) {
    auto light = [](RGBQUAD c) {
        return Quad(ReferenceLight(c.rgbRed, 17, -35), ReferenceLight(c.rgbGreen, 17, -35),
                    ReferenceLight(c.rgbBlue, 17, -35));
    };
    auto gamma = [](RGBQUAD c) {
        return Quad(ReferenceGamma(c.rgbRed, 1.8f), ReferenceGamma(c.rgbGreen, 1.8f), ReferenceGamma(c.rgbBlue, 1.8f));
    };
    auto exposure = [](RGBQUAD c) {
        auto e = [](int v) { return v < 128 ? 255 - v : v; };
        return Quad(e(c.rgbRed), e(c.rgbGreen), e(c.rgbBlue));
    };
    auto shift = [](RGBQUAD c) {
        auto s = [](int v, int d) { return std::max(0, std::min(255, v + d)); };
        return Quad(s(c.rgbRed, -12), s(c.rgbGreen, 100), s(c.rgbBlue, 3));
    };
    auto stretch = [](RGBQUAD c) {
        return Quad(ReferenceGrayStretch(c.rgbRed, 50, 30, 200, 220),
                    ReferenceGrayStretch(c.rgbGreen, 50, 30, 200, 220),
                    ReferenceGrayStretch(c.rgbBlue, 50, 30, 200, 220));
    };
    auto hsl = [](RGBQUAD c) {
        RGBQUAD h = CLvImage::RGBtoHSL(c);
        h.rgbRed = BYTE(h.rgbRed + 200);
        h.rgbGreen = BYTE(std::max(0, h.rgbGreen - 30));
        h.rgbBlue = BYTE(std::min(255, h.rgbBlue + 40));
        return CLvImage::HSLtoRGB(h);
    };
    auto colorize = [](RGBQUAD c) { return CLvImage::HSLtoRGB(Hsl(30, 100, CLvImage::RGBtoHSL(c).rgbBlue)); };
    const ColorOp ops[] = {
        {"light", [](CLvImage& i) { return i.Light(17, -35); }, light, true},
        {"gamma", [](CLvImage& i) { return i.Gamma(1.8f); }, gamma, true},
        {"exposure", [](CLvImage& i) { return i.Exposure(); }, exposure, false},
        {"shift", [](CLvImage& i) { return i.ShiftRGB(-12, 100, 3); }, shift, true},
        {"stretch", [](CLvImage& i) { return i.GrayStretch(50, 30, 200, 220); }, stretch, false},
        {"hsl", [](CLvImage& i) { return i.AdjustHSL(200, -30, 40); }, hsl, true},
        {"colorize", [](CLvImage& i) { return i.Colorize(30, 100); }, colorize, true},
        {"histogram", [](CLvImage& i) { return i.CorrectHistogram(); }, nullptr, false},
    };
    for (int bpp : kDepths)
        for (bool selection : {false, true})
            for (const ColorOp& op : ops) {
                SCOPED_TRACE(testing::Message() << op.name << ", " << bpp << " bits, selection " << selection);
                CLvImage before = bpp == 24 ? PhotoLike(97, 61, unsigned(bpp)) : Patterned(97, 61, bpp, 5);
                if (selection) before.SelectionAddEllipse(10, 5, 80, 58);
                CLvImage expected(before);
                if (!op.colour) {
                    ReferenceCorrectHistogram(expected);
                } else if (op.paletteWise && bpp < 24) {
                    if (std::string(op.name) == "hsl") {
                        ReferencePalette(expected, [](RGBQUAD c) {
                            RGBQUAD h = CLvImage::RGBtoHSL(c);
                            h.rgbGreen = BYTE(std::max(0, h.rgbGreen - 30));
                            h.rgbBlue = BYTE(std::min(255, h.rgbBlue + 40));
                            return CLvImage::HSLtoRGB(h);
                        });
                    } else {
                        ReferencePalette(expected, op.colour);
                    }
                } else {
                    ReferenceScan(expected, op.colour);
                }
                for (int threads : {1, 3}) {
                    ThreadCount count(threads);
                    CLvImage image(before);
                    ASSERT_TRUE(op.run(image));
                    std::string where;
                    EXPECT_TRUE(SameValues(image, expected, &where)) << threads << " threads: " << where;
                }
            }
}

TEST(Color, ProgressAndCancelWhereTheOperationsHaveThem) {
    // Operations that stop on cancel leave the picture untouched when the flag is set before they start;
    // the others run to the end.
    const struct {
        const char* name;
        std::function<bool(CLvImage&)> run;
        bool cancels;
    } ops[] = {
        {"exposure", [](CLvImage& i) { return i.Exposure(); }, true},
        {"histogram", [](CLvImage& i) { return i.CorrectHistogram(); }, true},
        {"stretch", [](CLvImage& i) { return i.GrayStretch(10, 200, 100, 20); }, true},
        {"hsl", [](CLvImage& i) { return i.AdjustHSL(20, 0, 0); }, true},
        {"light", [](CLvImage& i) { return i.Light(30, 10); }, false},
        {"gamma", [](CLvImage& i) { return i.Gamma(2.0f); }, false},
        {"shift", [](CLvImage& i) { return i.ShiftRGB(9, 9, 9); }, false},
        {"negative", [](CLvImage& i) { return i.Negative(); }, false},
        {"colorize", [](CLvImage& i) { return i.Colorize(1, 2); }, false},
    };
    const CLvImage before = PhotoLike(60, 300, 3);
    for (const auto& op : ops) {
        SCOPED_TRACE(op.name);
        CLvImage image(before);
        image.info.nEscape = 1;
        ASSERT_TRUE(op.run(image)) << "a cancelled operation still succeeds";
        EXPECT_EQ(SameBytes(image, before), op.cancels);

        // Cancelled at row 120 of 300: the rows below are done, the rest untouched.
        CLvImage partly(before);
        CLvImage whole(before);
        ASSERT_TRUE(op.run(whole));
        {
            CancelAtRow cancel(120);
            ASSERT_TRUE(op.run(partly));
        }
        if (op.cancels) {
            RowRun done = ChangedRowsFromBottom(partly, before);
            EXPECT_TRUE(done.restEqual);
            EXPECT_GE(done.changed, 110); // a few rows of the first run may already hold their new values
            EXPECT_LT(done.changed, 300);
            for (int y = 0; y < 120; y++)
                for (int x = 0; x < 60; x++)
                    ASSERT_EQ(Rgb(partly, x, y), Rgb(whole, x, y));
        } else {
            EXPECT_TRUE(SameBytes(partly, whole));
        }
    }
    CLvImage progress(before);
    progress.info.nProgress = -1;
    ASSERT_TRUE(progress.Gamma(1.5f));
    EXPECT_GE(progress.info.nProgress, 0);
    progress.info.nProgress = -1;
    ASSERT_TRUE(progress.ShiftRGB(1, 1, 1));
    EXPECT_EQ(progress.info.nProgress, -1) << "no progress";
}

TEST(Color, EmptyImagesFail) {
    CLvImage empty;
    int32_t table[256];
    EXPECT_FALSE(empty.GrayScale());
    EXPECT_FALSE(empty.Negative());
    EXPECT_FALSE(empty.Light(1, 1));
    EXPECT_FALSE(empty.AdjustHSL(1, 1, 1));
    EXPECT_FALSE(empty.ShiftRGB(1, 1, 1));
    EXPECT_FALSE(empty.Gamma(1.0f));
    EXPECT_FALSE(empty.Exposure());
    EXPECT_FALSE(empty.CorrectHistogram());
    EXPECT_FALSE(empty.GrayStretch(1, 1, 2, 2));
    EXPECT_FALSE(empty.Colorize(1, 1));
    EXPECT_FALSE(empty.HuePalette(1.0f));
    EXPECT_EQ(empty.Histogram(table), 0);
    EXPECT_FALSE(empty.RedEyeReduce(1));
}

} // namespace
