#include "LvWinTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// How a case sets up the image's transparency and alpha.
enum Trans { kNoTrans, kTransIndex, kTransColor };
enum Alpha { kNoAlpha, kAlphaHalf, kAlphaRandom };

struct DrawCase {
    const char* name;
    int bpp, width, height;
    int x, y, cx, cy;
    Trans trans;
    Alpha alpha;
    int alphaMax;
    bool alphaPalette;
    bool clip;
};

const RECT kClip = {6, 5, 19, 14};

// The image of a case: a seeded pattern, with some pixels in the transparent colour and the planes the
// case asks for.
void MakeImage(const DrawCase& c, CLvImage& image) {
    ASSERT_TRUE(image.Create(c.width, c.height, c.bpp));
    FillPattern(image, unsigned(c.width * 31 + c.bpp));
    if (c.trans == kTransIndex) {
        image.SetTransIndex(3);
        for (int i = 0; i < c.width; i += 2)
            image.SetPixelIndex(i, i % c.height, 3);
    } else if (c.trans == kTransColor) {
        RGBQUAD color = image.GetPixelColor(1, 1);
        image.SetTransIndex(0);
        image.SetTransColor(color);
        for (int i = 0; i < c.width; i += 3)
            image.SetPixelColor(i, (i * 2) % c.height, color);
    }
    if (c.alpha != kNoAlpha) {
        // The image frees the plane.
        image.pAlpha = static_cast<BYTE*>(calloc(size_t(c.width) * size_t(c.height), 1));
        for (int i = 0; i < c.width * c.height; i++)
            image.pAlpha[i] = c.alpha == kAlphaHalf ? 128 : BYTE((i * 97 + 13) % 256);
        image.pAlpha[0] = 0;
        if (c.alpha == kAlphaRandom) image.pAlpha[1] = 255;
    }
    image.SetAlphaMax(BYTE(c.alphaMax));
    if (c.alphaPalette) {
        RGBQUAD* palette = image.GetPalette();
        for (DWORD i = 0; i < image.GetHeader().biClrUsed; i++)
            palette[i].rgbReserved = BYTE(i * 53 % 256);
        palette[0].rgbReserved = 0;
        palette[1].rgbReserved = 255;
        image.SetAlphaPalette(true);
    }
}

// What one device pixel must become, computed pixel by pixel from the painting rules: nearest-neighbour
// source pixel, transparency, alpha plane, overall opacity and palette alpha.
RGBQUAD Expected(const CLvImage& image, const DrawCase& c, int cx, int cy, int px, int py, RGBQUAD destination) {
    const int w = image.GetWidth(), h = image.GetHeight();
    if (px < c.x || py < c.y || px >= c.x + cx || py >= c.y + cy) return destination;
    if (c.clip && (px < kClip.left || py < kClip.top || px >= kClip.right || py >= kClip.bottom)) return destination;
    int sx, sy;
    if (cx == w && cy == h) {
        sx = px - c.x;
        sy = h - 1 - (py - c.y);
    } else {
        float fx = float(w) / float(cx), fy = float(h) / float(cy);
        sx = int(floorf(float(px - c.x) * fx));
        sy = h - int(ceilf(float(py + 1 - c.y) * fy));
        if (sy < 0) sy = 0;
    }
    RGBQUAD source = image.GetPalette() ? image.GetPalette()[image.GetPixelIndex(sx, sy)] : image.GetPixelColor(sx, sy);
    bool blending = c.trans != kNoTrans || c.alpha != kNoAlpha || c.alphaPalette;
    if (!blending) return Quad(source.rgbRed, source.rgbGreen, source.rgbBlue);

    unsigned a = c.alpha != kNoAlpha ? image.pAlpha[sy * w + sx] : 255;
    a = ((unsigned(c.alphaMax) + 1) * a) >> 8;
    if (c.alphaPalette && image.GetPalette()) a = ((unsigned(source.rgbReserved) + 1) * a) >> 8;
    RGBQUAD tc = image.GetTransColor();
    if (a == 0) return destination;
    if (c.trans != kNoTrans && source.rgbRed == tc.rgbRed && source.rgbGreen == tc.rgbGreen &&
        source.rgbBlue == tc.rgbBlue)
        return destination;
    if (a == 255) return Quad(source.rgbRed, source.rgbGreen, source.rgbBlue);
    auto mix = [a](int d, int s) { return (d * (255 - int(a)) + s * int(a)) >> 8; };
    return Quad(mix(destination.rgbRed, source.rgbRed), mix(destination.rgbGreen, source.rgbGreen),
                mix(destination.rgbBlue, source.rgbBlue));
}

class DrawCases : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DrawCases, PaintsWhatTheRulesSay) {
    const DrawCase& c = GetParam();
    CLvImage image;
    MakeImage(c, image);
    Canvas canvas(40, 30);
    canvas.FillPattern();
    std::vector<RGBQUAD> before = canvas.Pixels();

    ASSERT_TRUE(image.Draw(canvas.Dc(), c.x, c.y, c.cx, c.cy, c.clip ? &kClip : nullptr));
    int cx = c.cx < 0 ? c.width : c.cx, cy = c.cy < 0 ? c.height : c.cy;
    int wrong = 0;
    for (int py = 0; py < canvas.Height(); py++)
        for (int px = 0; px < canvas.Width(); px++) {
            RGBQUAD want = Expected(image, c, cx, cy, px, py, before[size_t(py * canvas.Width() + px)]);
            RGBQUAD got = canvas.At(px, py);
            if (!SameColor(want, got) && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << px << ", " << py << "): " << ColorText(got) << " instead of "
                              << ColorText(want);
        }
    EXPECT_EQ(wrong, 0);
    // The device context has no clip region afterwards, as before.
    ScopedGdiObj<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetClipRgn(canvas.Dc(), region.Get()), 0);
}

const DrawCase kCases[] = {
    // Fast path at the image's own size.
    {"own_24", 24, 7, 5, 3, 4, -1, -1, kNoTrans, kNoAlpha, 255, false, false},
    {"own_8", 8, 7, 5, 0, 0, 7, 5, kNoTrans, kNoAlpha, 255, false, false},
    {"own_4", 4, 9, 6, 11, 2, -1, -1, kNoTrans, kNoAlpha, 255, false, false},
    {"own_1", 1, 13, 6, 5, 20, -1, -1, kNoTrans, kNoAlpha, 255, false, false},
    {"own_24_clipped", 24, 20, 15, 2, 3, -1, -1, kNoTrans, kNoAlpha, 255, false, true},
    {"own_24_off_the_edge", 24, 9, 8, -4, 26, -1, -1, kNoTrans, kNoAlpha, 255, false, false},
    // Fast path scaled in software.
    {"up_24", 24, 7, 5, 2, 3, 17, 13, kNoTrans, kNoAlpha, 255, false, false},
    {"down_8", 8, 23, 17, 1, 1, 9, 7, kNoTrans, kNoAlpha, 255, false, false},
    {"odd_4", 4, 6, 7, 4, 2, 29, 11, kNoTrans, kNoAlpha, 255, false, false},
    {"up_1_clipped", 1, 5, 4, 0, 0, 37, 27, kNoTrans, kNoAlpha, 255, false, true},
    {"down_24_fraction", 24, 10, 9, 3, 2, 7, 6, kNoTrans, kNoAlpha, 255, false, false},
    {"up_8_fraction", 8, 5, 7, 1, 1, 13, 11, kNoTrans, kNoAlpha, 255, false, false},
    {"huge_24_visible_part", 24, 3, 2, -50, -20, 3000, 2000, kNoTrans, kNoAlpha, 255, false, false},
    {"wide_only_24", 24, 7, 5, 3, 3, 21, -1, kNoTrans, kNoAlpha, 255, false, false},
    // Transparency by index and by colour.
    {"trans_index_8", 8, 11, 7, 3, 3, -1, -1, kTransIndex, kNoAlpha, 255, false, false},
    {"trans_index_4_scaled", 4, 8, 7, 2, 1, 19, 23, kTransIndex, kNoAlpha, 255, false, false},
    {"trans_color_24", 24, 10, 9, 5, 6, -1, -1, kTransColor, kNoAlpha, 255, false, false},
    {"trans_color_24_scaled_clipped", 24, 10, 9, 1, 2, 31, 25, kTransColor, kNoAlpha, 255, false, true},
    // Alpha plane and overall opacity.
    {"alpha_half_max255", 24, 9, 6, 4, 4, -1, -1, kNoTrans, kAlphaHalf, 255, false, false},
    {"alpha_half_max128", 24, 9, 6, 4, 4, -1, -1, kNoTrans, kAlphaHalf, 128, false, false},
    {"alpha_half_max0", 24, 9, 6, 4, 4, -1, -1, kNoTrans, kAlphaHalf, 0, false, false},
    {"alpha_random_8", 8, 12, 10, 2, 3, -1, -1, kNoTrans, kAlphaRandom, 255, false, false},
    {"alpha_random_24_scaled", 24, 12, 10, 2, 3, 33, 21, kNoTrans, kAlphaRandom, 200, false, false},
    {"alpha_random_24_clipped", 24, 20, 16, 1, 1, -1, -1, kNoTrans, kAlphaRandom, 255, false, true},
    {"alpha_and_trans_8", 8, 12, 10, 2, 3, -1, -1, kTransIndex, kAlphaRandom, 255, false, false},
    // Palette alpha.
    {"palette_alpha_8", 8, 16, 12, 3, 2, -1, -1, kNoTrans, kNoAlpha, 255, true, false},
    {"palette_alpha_4_scaled", 4, 6, 5, 3, 2, 25, 18, kNoTrans, kNoAlpha, 255, true, false},
    {"palette_alpha_8_with_plane", 8, 16, 12, 3, 2, -1, -1, kNoTrans, kAlphaRandom, 190, true, false},
};

INSTANTIATE_TEST_SUITE_P(Draw, DrawCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DrawCase>& param) { return std::string(param.param.name); });

TEST(Draw, HalfAlphaMixesAsDocumented) {
    // a = ((255 + 1) * 128) >> 8 = 128: each channel becomes (dst * 127 + src * 128) >> 8.
    CLvImage image(1, 1, 24);
    image.SetPixelColor(0, 0, Quad(200, 100, 0));
    image.pAlpha = static_cast<BYTE*>(calloc(1, 1));
    image.pAlpha[0] = 128;
    Canvas canvas(1, 1);
    canvas.Set(0, 0, Quad(10, 60, 250));
    ASSERT_TRUE(image.Draw(canvas.Dc(), 0, 0));
    EXPECT_TRUE(SameColor(canvas.At(0, 0),
                          Quad((10 * 127 + 200 * 128) >> 8, (60 * 127 + 100 * 128) >> 8, (250 * 127 + 0 * 128) >> 8)))
        << ColorText(canvas.At(0, 0));
}

TEST(Draw, RefusalsPaintNothing) {
    Canvas canvas(20, 20);
    canvas.FillPattern();
    std::vector<RGBQUAD> before = canvas.Pixels();
    CLvImage empty;
    EXPECT_FALSE(empty.Draw(canvas.Dc(), 0, 0));
    CLvImage image(5, 5, 24);
    FillPattern(image, 3);
    EXPECT_FALSE(image.Draw(nullptr, 0, 0));
    EXPECT_FALSE(image.Draw(canvas.Dc(), 0, 0, 0, 5));
    EXPECT_FALSE(image.Draw(canvas.Dc(), 0, 0, 5, 0));
    image.SetDrawEnabled(false);
    EXPECT_FALSE(image.Draw(canvas.Dc(), 0, 0));
    EXPECT_FALSE(image.Draw(canvas.Dc(), 0, 0, 10, 10));
    std::vector<RGBQUAD> after = canvas.Pixels();
    EXPECT_EQ(memcmp(after.data(), before.data(), before.size() * sizeof(RGBQUAD)), 0);
}

TEST(Draw, AClipRectLeavesTheCallersRegionAsItWas) {
    CLvImage image(30, 30, 24);
    FillPattern(image, 9);
    image.pAlpha = static_cast<BYTE*>(calloc(900, 1));
    memset(image.pAlpha, 200, 900);
    Canvas canvas(40, 40);
    canvas.FillPattern();
    std::vector<RGBQUAD> before = canvas.Pixels();
    // A region of the caller's that is not a rectangle: only the part inside both it and the clip
    // rectangle is painted, and it is the region afterwards.
    ScopedGdiObj<HRGN> ellipse(CreateEllipticRgn(0, 0, 40, 40));
    SelectClipRgn(canvas.Dc(), ellipse.Get());
    RECT clip = {0, 0, 12, 40};
    for (bool scaled : {false, true}) {
        ASSERT_TRUE(image.Draw(canvas.Dc(), 0, 0, scaled ? 40 : -1, scaled ? 40 : -1, &clip));
        ScopedGdiObj<HRGN> now(CreateRectRgn(0, 0, 0, 0));
        ASSERT_EQ(GetClipRgn(canvas.Dc(), now.Get()), 1);
        EXPECT_TRUE(EqualRgn(now.Get(), ellipse.Get()));
    }
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 40; x++) {
            bool painted = x < 12 && PtInRegion(ellipse.Get(), x, y);
            if (!painted) {
                EXPECT_TRUE(SameColor(canvas.At(x, y), before[size_t(y * 40 + x)])) << x << "," << y;
            }
        }
    EXPECT_FALSE(SameColor(canvas.At(5, 20), before[20 * 40 + 5]));
}

TEST(Stretch, ScalesTheWholeImage) {
    for (int bpp : {1, 4, 8, 24}) {
        CLvImage image(5, 4, bpp);
        FillPattern(image, unsigned(bpp));
        Canvas canvas(12, 10);
        canvas.FillPattern();
        std::vector<RGBQUAD> before = canvas.Pixels();
        ASSERT_TRUE(image.Stretch(canvas.Dc(), 1, 2, 10, 8));
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 12; x++) {
                RGBQUAD want = before[size_t(y * 12 + x)];
                if (x >= 1 && x < 11 && y >= 2) {
                    RGBQUAD c = image.GetPixelColor((x - 1) / 2, 3 - (y - 2) / 2);
                    want = Quad(c.rgbRed, c.rgbGreen, c.rgbBlue);
                }
                ASSERT_TRUE(SameColor(canvas.At(x, y), want)) << bpp << " bits, pixel " << x << "," << y;
            }
    }
    CLvImage empty;
    Canvas canvas(4, 4);
    EXPECT_FALSE(empty.Stretch(canvas.Dc(), 0, 0, 4, 4));
    CLvImage image(2, 2, 24);
    EXPECT_FALSE(image.Stretch(nullptr, 0, 0, 4, 4));
}

TEST(Tile, CoversTheRectangleWithCutTiles) {
    CLvImage image(3, 2, 8);
    FillPattern(image, 5);
    Canvas canvas(16, 12);
    canvas.FillPattern();
    std::vector<RGBQUAD> before = canvas.Pixels();
    RECT rect = {1, 2, 12, 9};
    ASSERT_TRUE(image.Tile(canvas.Dc(), &rect));
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 16; x++) {
            RGBQUAD want = before[size_t(y * 16 + x)];
            if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) {
                RGBQUAD c = image.GetPixelColor((x - rect.left) % 3, 1 - (y - rect.top) % 2);
                want = Quad(c.rgbRed, c.rgbGreen, c.rgbBlue);
            }
            ASSERT_TRUE(SameColor(canvas.At(x, y), want)) << x << "," << y;
        }
    EXPECT_FALSE(image.Tile(canvas.Dc(), nullptr));
    EXPECT_FALSE(image.Tile(nullptr, &rect));
    CLvImage empty;
    EXPECT_FALSE(empty.Tile(canvas.Dc(), &rect));
}

// The glyph mask GDI draws for a text: white on black in a 24-bit bitmap as wide as the text box plus
// its height; true where a glyph pixel is, rows from the top.
std::vector<std::vector<bool>> GlyphMask(const wchar_t* text, const wchar_t* face, int height) {
    LOGFONTW font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = height;
    font.lfWeight = FW_BOLD;
    wcsncpy(font.lfFaceName, face, 31);
    ScopedGdiObj<HFONT> hfont(CreateFontIndirectW(&font));
    Canvas measure(1, 1);
    ScopedSelectObject select(measure.Dc(), hfont.Get());
    RECT box = {0, 0, 0, 0};
    DrawTextW(measure.Dc(), text, -1, &box, DT_CALCRECT);
    int h = box.bottom, w = box.right + h;
    Canvas glyphs(w, h);
    ScopedSelectObject selectGlyphs(glyphs.Dc(), hfont.Get());
    SetTextColor(glyphs.Dc(), RGB(255, 255, 255));
    SetBkColor(glyphs.Dc(), RGB(0, 0, 0));
    SetBkMode(glyphs.Dc(), OPAQUE);
    box.right = w;
    DrawTextW(glyphs.Dc(), text, -1, &box, 0);
    std::vector<std::vector<bool>> mask(static_cast<size_t>(h), std::vector<bool>(static_cast<size_t>(w)));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            mask[size_t(y)][size_t(x)] = glyphs.At(x, y).rgbBlue != 0;
    return mask;
}

TEST(DrawString, PaintsTheColourExactlyWhereGlyphsAre) {
    const RGBQUAD red = Quad(220, 10, 30);
    std::vector<std::vector<bool>> mask = GlyphMask(L"Hig\u00e7 \u65e5", L"Tahoma", 22);
    ASSERT_FALSE(mask.empty());
    int maskHeight = int(mask.size()), maskWidth = int(mask[0].size());
    // The text box MeasureString gives is the one the glyphs are drawn in, without the room for overhang.
    const SIZE box = CLvImage::MeasureString(nullptr, "Hig\xc3\xa7 \xe6\x97\xa5", "Tahoma", 22, FW_BOLD);
    EXPECT_EQ(box.cy, maskHeight);
    EXPECT_EQ(box.cx + box.cy, maskWidth);
    for (int bpp : {24, 8}) {
        CLvImage image(90, 40, bpp);
        if (bpp == 8) {
            for (int i = 0; i < 256; i++)
                image.GetPalette()[i] = Quad(i, i, i);
            image.GetPalette()[200] = red;
        }
        image.Clear(bpp == 8 ? 7 : 90);
        CLvImage before(image);
        // (x, y) with y from the top is the text box's lower-left corner; part of it falls off the
        // right edge.
        const int x = 4, y = 30;
        ASSERT_TRUE(image.DrawString(nullptr, x, y, "Hig\xc3\xa7 \xe6\x97\xa5", red, "Tahoma", 22, FW_BOLD));
        int glyphPixels = 0;
        for (int row = 0; row < 40; row++)
            for (int col = 0; col < 90; col++) {
                int my = row - (y - maskHeight + 1), mx = col - x;
                bool glyph = my >= 0 && my < maskHeight && mx >= 0 && mx < maskWidth && mask[size_t(my)][size_t(mx)];
                RGBQUAD want = glyph ? red : before.GetPixelColor(col, 39 - row);
                glyphPixels += glyph;
                ASSERT_TRUE(SameColor(image.GetPixelColor(col, 39 - row), want))
                    << bpp << " bits, pixel " << col << "," << row;
            }
        EXPECT_GT(glyphPixels, 40);
    }
    CLvImage empty;
    EXPECT_TRUE(empty.DrawString(nullptr, 0, 0, "x", red, "Tahoma", 12));
}

} // namespace
