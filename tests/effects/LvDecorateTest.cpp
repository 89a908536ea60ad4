#include "LvEffectCases.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

int GrayAt(const CLvImage& image, int x, int y) {
    RGBQUAD c = image.GetPixelColor(x, y);
    EXPECT_TRUE(c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue) << x << "," << y;
    return c.rgbRed;
}

TEST(Shadow, MarginsStripsAndCorners) {
    CLvImage image = PhotoLike(10, 10, 3);
    image.SetXDPI(200);
    const CLvImage before(image);
    ASSERT_TRUE(image.Shadow());
    ASSERT_EQ(image.GetWidth(), 26);
    ASSERT_EQ(image.GetHeight(), 26);
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetXDPI(), 200);
    for (int y = 0; y < 26; y++)
        for (int x = 0; x < 26; x++) {
            if (x < 8 || y >= 18) {
                EXPECT_EQ(GrayAt(image, x, y), 255) << x << "," << y;
            } // white margins
            if (x >= 8 && x < 18 && y >= 8 && y < 18) {
                EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), before.GetPixelColor(x - 8, y - 8)));
            }
        }
    // The right strip next to the picture's bottom rows, from the edge outwards.
    const int profile[8] = {89, 112, 143, 180, 212, 233, 248, 255};
    for (int q = 0; q < 8; q++) {
        EXPECT_EQ(GrayAt(image, 18 + q, 8), profile[q]);
        EXPECT_EQ(GrayAt(image, 18 + q, 9), profile[q]);
    }
    // Its upper end (rows 10..17) brightens upwards: P[q] + t * max(0, 25 - 4q).
    EXPECT_EQ(GrayAt(image, 18, 12), 89 + 2 * 25);
    EXPECT_EQ(GrayAt(image, 19, 12), 112 + 2 * 21);
    EXPECT_EQ(GrayAt(image, 18, 17), 255); // 89 + 7 * 25 is capped
    // The bottom strip below the picture, from the edge down: P[7 - y].
    EXPECT_EQ(GrayAt(image, 17, 7), 89);
    EXPECT_EQ(GrayAt(image, 17, 0), 255);
    // Its left end: P[7 - y] + max(0, 4y - 3) * (16 - x).
    EXPECT_EQ(GrayAt(image, 12, 2), 233 + 5 * 4);
    EXPECT_EQ(GrayAt(image, 15, 1), 248 + 1 * 1);
    EXPECT_EQ(GrayAt(image, 8, 7), 255);
    // The corner: below the diagonal P[7 - y] + max(0, 5y - 10) * q, above it P[q] + (7 - y) * max(0, 25 - 5q).
    EXPECT_EQ(GrayAt(image, 20, 4), 180 + 10 * 2);
    EXPECT_EQ(GrayAt(image, 22, 5), 212 + 2 * 5);
    EXPECT_EQ(GrayAt(image, 25, 7), 255);
}

TEST(Shadow, PaletteImagesKeepTheirPalette) {
    CLvImage image(6, 4, 8);
    image.SetGrayPalette();
    FillPattern(image, 1);
    image.SetGrayPalette();
    const CLvImage before(image);
    ASSERT_TRUE(image.Shadow());
    ASSERT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(memcmp(image.GetPalette(), before.GetPalette(), 256 * sizeof(RGBQUAD)), 0);
    EXPECT_EQ(image.GetPixelIndex(14, 7), 89); // the corner, next to the picture's bottom right
    EXPECT_EQ(image.GetPixelIndex(9, 10), before.GetPixelIndex(1, 2));
    CLvImage empty;
    EXPECT_FALSE(empty.Shadow());
}

TEST(Feather, WholeSelectionChangesNothing) {
    CLvImage image = PhotoLike(12, 9, 2);
    image.SelectionAddRect(0, 0, 12, 9);
    const CLvImage before(image);
    ASSERT_TRUE(image.Feather(true, 5));
    EXPECT_TRUE(SamePicture(image, before));
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(Feather, RectangularBandFadesLinearly) {
    CLvImage image = Uniform(40, 20, Quad(200, 100, 0));
    image.SetTransColor(Quad(0, 0, 255));
    image.SelectionAddRect(10, 5, 20, 15);
    ASSERT_TRUE(image.Feather(true, 10));
    // Inside: unchanged. Five to the right of the box: alpha trunc(5 * 25.5) = 127 before flattening.
    EXPECT_TRUE(SameColor(image.GetPixelColor(15, 10), Quad(200, 100, 0)));
    const int a = 127;
    EXPECT_TRUE(
        SameColor(image.GetPixelColor(19 + 5, 10), Quad(200 * a / 255, 100 * a / 255, (255 * (255 - a)) / 255)));
    // Diagonal: the larger of the two distances counts.
    const int b = int((10 - 3) * 25.5);
    EXPECT_TRUE(
        SameColor(image.GetPixelColor(19 + 2, 14 + 3), Quad(200 * b / 255, 100 * b / 255, (255 * (255 - b)) / 255)));
    // Beyond the band: the background colour.
    EXPECT_TRUE(SameColor(image.GetPixelColor(35, 10), Quad(0, 0, 255)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(29, 10), Quad(0, 0, 255)));
}

TEST(Feather, EllipticBandFollowsTheEllipse) {
    CLvImage image = Uniform(61, 61, Quad(0, 250, 0));
    image.SetTransColor(Quad(0, 0, 0));
    image.SelectionAddEllipse(20, 20, 40, 40); // centre (30, 30), half-axes 10
    ASSERT_TRUE(image.Feather(false, 10));
    EXPECT_EQ(image.GetPixelColor(30, 30).rgbGreen, 250);
    // On the horizontal axis at distance 15: e = 5 past the selection's ellipse, alpha trunc(5 * 25.5).
    EXPECT_EQ(image.GetPixelColor(45, 30).rgbGreen, 250 * 127 / 255);
    // On the diagonal at distance sqrt(2) * 12 = 16.97: e = 6.97, alpha trunc(3.03 * 25.5) = 77.
    EXPECT_EQ(image.GetPixelColor(42, 42).rgbGreen, 250 * 77 / 255);
    // On the outer ellipse (distance 20) and beyond: background.
    EXPECT_EQ(image.GetPixelColor(50, 30).rgbGreen, 0);
    EXPECT_EQ(image.GetPixelColor(46, 46).rgbGreen, 0);
}

TEST(Feather, PaletteImagesBecomeTrueColour) {
    CLvImage image(10, 10, 4);
    FillPattern(image, 5);
    image.SelectionAddRect(3, 3, 6, 6);
    const CLvImage before(image);
    ASSERT_TRUE(image.Feather(true, 2));
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_TRUE(SameColor(image.GetPixelColor(4, 4),
                          Quad(before.GetPixelColor(4, 4).rgbRed, before.GetPixelColor(4, 4).rgbGreen,
                               before.GetPixelColor(4, 4).rgbBlue)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(9, 9), Quad(0, 0, 0)));
}

TEST(Watermark, RoundTripAndLimits) {
    CLvImage image = PhotoLike(16, 8, 1);
    const BYTE message[] = "Lumivue!";
    ASSERT_TRUE(image.EmbedWatermark(message, 8));
    EXPECT_EQ(image.GetMarkBytes(), 8);
    DWORD length = 0;
    ASSERT_TRUE(image.DetectWatermark(nullptr, length));
    EXPECT_EQ(length, 8u);
    BYTE found[8];
    ASSERT_TRUE(image.DetectWatermark(found, length));
    EXPECT_EQ(memcmp(found, message, 8), 0);
    // Only bit 0 of blue channels moves.
    const CLvImage original = PhotoLike(16, 8, 1);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++) {
            RGBQUAD a = image.GetPixelColor(x, y), b = original.GetPixelColor(x, y);
            EXPECT_EQ(a.rgbRed, b.rgbRed);
            EXPECT_EQ(a.rgbBlue & 0xFE, b.rgbBlue & 0xFE);
        }

    // 8 * length must stay below the pixel count.
    CLvImage tiny = PhotoLike(4, 4, 2);
    const CLvImage before(tiny);
    EXPECT_FALSE(tiny.EmbedWatermark(message, 2));
    EXPECT_TRUE(SamePicture(tiny, before));
    EXPECT_EQ(tiny.GetMarkBytes(), 0);
    EXPECT_TRUE(tiny.EmbedWatermark(message, 1));

    CLvImage plain = PhotoLike(4, 4, 2);
    ASSERT_TRUE(plain.DetectWatermark(nullptr, length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(plain.DetectWatermark(found, length));
}

TEST(Watermark, ALengthFromAFileLongerThanThePictureReadsSafely) {
    CLvImage image = PhotoLike(3, 2, 4);
    image.SetMarkBytes(600);
    std::vector<BYTE> buffer(600, 0xAA);
    DWORD length = 0;
    ASSERT_TRUE(image.DetectWatermark(buffer.data(), length));
    EXPECT_EQ(length, 600u);
}

} // namespace

namespace {

TEST(Pattern, TransparencyZeroLeavesThePictureAndFullBlendsToTheBackground) {
    // The pattern has the picture's size, so it is used as it is.
    const CLvImage white = Uniform(6, 6, Quad(255, 255, 255));
    // Transparency 0: brightness (0 - 100) * 2.55f rounds to -255 in single precision, a black mask. (With
    // -254 a black pixel against a white background would turn 1.)
    CLvImage black = Uniform(6, 6, Quad(0, 0, 0));
    black.SetTransColor(Quad(255, 255, 255));
    ASSERT_TRUE(black.Pattern(white, 0));
    EXPECT_TRUE(SamePicture(black, Uniform(6, 6, Quad(0, 0, 0))));

    // Transparency 100 and a mid-gray pattern: m = 128, c + (g - c) * 128 / 255 per channel.
    CLvImage image = Uniform(6, 6, Quad(200, 100, 0));
    image.SetTransColor(Quad(0, 0, 255));
    ASSERT_TRUE(image.Pattern(Uniform(3, 2, Quad(128, 128, 128)), 100));
    EXPECT_TRUE(
        SameColor(image.GetPixelColor(2, 3), Quad(200 - 200 * 128 / 255, 100 - 100 * 128 / 255, 255 * 128 / 255)));

    // The mask is the pattern's red channel.
    CLvImage red = Uniform(6, 6, Quad(200, 100, 0)), green(red);
    red.SetTransColor(Quad(0, 0, 255));
    green.SetTransColor(Quad(0, 0, 255));
    ASSERT_TRUE(red.Pattern(Uniform(6, 6, Quad(255, 0, 0)), 100));
    ASSERT_TRUE(green.Pattern(Uniform(6, 6, Quad(0, 255, 0)), 100));
    EXPECT_TRUE(SamePicture(red, Uniform(6, 6, Quad(0, 0, 255))));
    EXPECT_TRUE(SamePicture(green, Uniform(6, 6, Quad(200, 100, 0))));
}

TEST(Pattern, ThePatternIsStretchedOverTheSelectionBox) {
    CLvImage pattern(2, 1, 24);
    pattern.SetPixelColor(0, 0, Quad(0, 0, 0));
    pattern.SetPixelColor(1, 0, Quad(255, 255, 255));
    CLvImage image = Uniform(30, 10, Quad(50, 60, 70));
    image.SetTransColor(Quad(250, 250, 250));
    image.SelectionAddRect(10, 2, 30, 8);
    ASSERT_TRUE(image.Pattern(pattern, 100));
    // Left end of the box: black mask, unchanged; right end: white mask, the background colour.
    EXPECT_TRUE(SameColor(image.GetPixelColor(10, 5), Quad(50, 60, 70)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(29, 5), Quad(250, 250, 250)));
    // Outside the selection nothing changes.
    EXPECT_TRUE(SameColor(image.GetPixelColor(29, 9), Quad(50, 60, 70)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(5, 5), Quad(50, 60, 70)));
    CLvImage empty;
    EXPECT_FALSE(image.Pattern(empty, 50));
    EXPECT_FALSE(empty.Pattern(pattern, 50));
}

TEST(PhotoFrame, ThePictureShowsWhereTheFrameHasItsCentreColour) {
    // A frame of a red border round a white centre, stretched over the box.
    CLvImage frame = Uniform(10, 10, Quad(255, 0, 0));
    for (int y = 2; y < 8; y++)
        for (int x = 2; x < 8; x++)
            frame.SetPixelColor(x, y, Quad(255, 255, 255));
    CLvImage image = PhotoLike(40, 30, 2);
    image.SetXDPI(150);
    image.SelectionAddRect(5, 5, 25, 25);
    const CLvImage before(image);
    ASSERT_TRUE(image.PhotoFrame(frame));
    ASSERT_EQ(image.GetWidth(), 20);
    ASSERT_EQ(image.GetHeight(), 20);
    EXPECT_EQ(image.pSelection, nullptr);
    EXPECT_EQ(image.GetXDPI(), 150);
    EXPECT_TRUE(SameColor(image.GetPixelColor(10, 10), before.GetPixelColor(15, 15)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(255, 0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(19, 10), Quad(255, 0, 0)));

    // A frame of one colour shows the cropped picture unchanged.
    CLvImage plain = PhotoLike(12, 9, 5);
    ASSERT_TRUE(plain.PhotoFrame(Uniform(3, 3, Quad(1, 2, 3))));
    EXPECT_TRUE(SamePicture(plain, PhotoLike(12, 9, 5)));

    CLvImage empty;
    EXPECT_FALSE(plain.PhotoFrame(empty));
    EXPECT_FALSE(empty.PhotoFrame(frame));
}

} // namespace
