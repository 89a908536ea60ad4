#include "LvTestUtil.h"
#include "image/LvSizeCheck.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

struct CreateCase {
    int width, height, requestedBpp;
    int bpp;
    DWORD colors;
    DWORD stride;
};

TEST(ImageCreate, NormalisesDepthAndComputesLayout) {
    const CreateCase cases[] = {
        {1, 1, 24, 24, 0, 4},   {33, 1, 1, 1, 2, 8},    {10, 2, 0, 1, 2, 4},  {10, 2, 2, 4, 16, 8},
        {10, 2, 16, 24, 0, 32}, {10, 2, 32, 24, 0, 32}, {5, 3, 8, 8, 256, 8}, {7, 3, 5, 8, 256, 8},
    };
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.requestedBpp);
        CLvImage image;
        BYTE* block = image.Create(c.width, c.height, c.requestedBpp, LVFMT_PNG);
        ASSERT_NE(block, nullptr);
        EXPECT_TRUE(image.IsValid());
        EXPECT_EQ(image.GetBpp(), c.bpp);
        EXPECT_EQ(image.GetHeader().biClrUsed, c.colors);
        EXPECT_EQ(image.GetEffWidth(), c.stride);
        EXPECT_EQ(image.GetHeader().biSizeImage, c.stride * DWORD(c.height));
        EXPECT_EQ(image.GetDibSize(), 40 + 4 * c.colors + c.stride * DWORD(c.height));
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_PNG));
        EXPECT_EQ(image.GetBits(), block + 40 + 4 * c.colors);
        // The block starts with the header and a zeroed colour table.
        EXPECT_EQ(memcmp(block, &image.GetHeader(), 40), 0);
        for (DWORD i = 0; i < 4 * c.colors; i++)
            ASSERT_EQ(block[40 + i], 0);
        const RECT& box = image.info.rcSelection;
        EXPECT_EQ(box.left, c.width);
        EXPECT_EQ(box.right, 0);
        EXPECT_EQ(box.bottom, c.height);
        EXPECT_EQ(box.top, 0);
    }
}

TEST(ImageCreate, RefusesImpossibleSizesAndLeavesTheImageEmpty) {
    const int sizes[][2] = {{0, 1}, {1, 0}, {-5, 3}, {3, -1}, {INT_MAX, 1}, {1 << 15, 1 << 14}, {1 << 28, 2}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1]);
        CLvImage image(4, 4, 8);
        ASSERT_TRUE(image.IsValid());
        EXPECT_EQ(image.Create(size[0], size[1], 24), nullptr);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(image.GetWidth(), 0);
        EXPECT_EQ(image.GetHeight(), 0);
        EXPECT_EQ(image.GetBits(), nullptr);
        EXPECT_EQ(image.GetPalette(), nullptr);
    }
    // The limit itself is allowed by the check (allocating it is the caller's business).
    EXPECT_EQ(LvCheckImageSize(1 << 14, 1 << 14, 24), nullptr);
    EXPECT_STREQ(LvCheckImageSize(1 << 14, (1 << 14) + 1, 24), kLvErrTooLarge);
    EXPECT_STREQ(LvCheckImageSize(0, 5, 24), kLvErrInvalidSize);
}

TEST(ImagePixels, IndexAddressingOfPaletteDepths) {
    CLvImage four(5, 2, 4);
    four.Clear(0);
    four.SetPixelIndex(0, 1, 0xA);
    four.SetPixelIndex(1, 1, 0x3);
    four.SetPixelIndex(4, 1, 0xF);
    const BYTE* row1 = four.GetBits() + four.GetEffWidth();
    EXPECT_EQ(row1[0], 0xA3); // even x in the high nibble
    EXPECT_EQ(row1[2], 0xF0);
    EXPECT_EQ(four.GetPixelIndex(1, 1), 3);
    EXPECT_EQ(four.GetPixelIndex(0, 0), 0);

    CLvImage one(33, 1, 1);
    one.Clear(0);
    one.SetPixelIndex(0, 0, 1);
    one.SetPixelIndex(9, 0, 1);
    one.SetPixelIndex(32, 0, 1);
    EXPECT_EQ(one.GetBits()[0], 0x80);
    EXPECT_EQ(one.GetBits()[1], 0x40);
    EXPECT_EQ(one.GetBits()[4], 0x80);
    one.SetPixelIndex(9, 0, 0);
    EXPECT_EQ(one.GetBits()[1], 0x00);
    EXPECT_EQ(one.GetPixelIndex(32, 0), 1);

    CLvImage eight(3, 3, 8);
    eight.Clear(7);
    eight.SetPixelIndex(2, 1, 200);
    EXPECT_EQ(eight.GetBits()[eight.GetEffWidth() + 2], 200);
    // Writes outside are ignored; a 24-bit image has no indices.
    eight.SetPixelIndex(3, 1, 1);
    eight.SetPixelIndex(-1, 0, 1);
    EXPECT_EQ(eight.GetBits()[eight.GetEffWidth() + 3], 7);
    CLvImage rgb(2, 2, 24);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);
}

TEST(ImagePixels, ReadsOutsideTheImageGiveTheBackground) {
    CLvImage eight(4, 4, 8);
    eight.Clear(9);
    EXPECT_EQ(eight.GetPixelIndex(-1, 0), 0);
    eight.SetTransIndex(5);
    EXPECT_EQ(eight.GetPixelIndex(4, 0), 5);
    eight.GetPalette()[5] = Quad(1, 2, 3);
    EXPECT_TRUE(SameColor(eight.GetPixelColor(0, 4), Quad(1, 2, 3)));

    CLvImage rgb(3, 2, 24);
    rgb.Clear(0);
    rgb.SetPixelColor(0, 0, Quad(10, 20, 30));
    rgb.SetTransColor(Quad(200, 100, 50, 7));
    // Without transparency the background is pixel (0, 0), whose fourth byte comes from rgbTransColor.
    EXPECT_TRUE(SameColor(rgb.GetPixelColor(-1, 0), Quad(10, 20, 30, 7)));
    rgb.SetTransIndex(0);
    EXPECT_TRUE(SameColor(rgb.GetPixelColor(-1, 0), Quad(200, 100, 50, 7)));
    EXPECT_TRUE(SameColor(rgb.GetTransColor(), Quad(200, 100, 50, 7)));

    CLvImage empty;
    empty.SetTransColor(Quad(4, 5, 6));
    EXPECT_TRUE(SameColor(empty.GetPixelColor(0, 0), Quad(4, 5, 6)));
    EXPECT_EQ(empty.GetPixelIndex(0, 0), 0);
}

TEST(ImagePixels, ColorsOfTrueColourImagesAndTheAlphaPlane) {
    CLvImage rgb(2, 2, 24);
    rgb.Clear(0);
    rgb.SetPixelColor(1, 1, Quad(11, 22, 33, 99));
    const BYTE* p = rgb.GetBits() + rgb.GetEffWidth() + 3;
    EXPECT_EQ(p[0], 33); // blue first
    EXPECT_EQ(p[1], 22);
    EXPECT_EQ(p[2], 11);
    EXPECT_EQ(rgb.GetPixelColor(1, 1).rgbReserved, 0);

    rgb.pAlpha = static_cast<BYTE*>(calloc(4, 1));
    rgb.SetPixelColor(1, 1, Quad(11, 22, 33, 99), true);
    EXPECT_EQ(rgb.pAlpha[3], 99);
    EXPECT_TRUE(SameColor(rgb.GetPixelColor(1, 1), Quad(11, 22, 33, 99)));
    rgb.SetPixelColor(0, 0, Quad(1, 1, 1, 50)); // without setAlpha the plane stays
    EXPECT_EQ(rgb.pAlpha[0], 0);
    EXPECT_EQ(rgb.GetColorType(), 4);
    rgb.SetPixelColor(0, 1, RGB(1, 2, 3));
    EXPECT_TRUE(SameColor(rgb.GetPixelColor(0, 1), Quad(1, 2, 3, 0)));

    CLvImage eight(2, 2, 8);
    EXPECT_EQ(eight.GetColorType(), 1);
    CLvImage plain(2, 2, 24);
    EXPECT_EQ(plain.GetColorType(), 2);
}

TEST(ImagePixels, ColorRefOrder) {
    RGBQUAD q = CLvImage::ColorRefToQuad(RGB(0x12, 0x34, 0x56));
    EXPECT_TRUE(SameColor(q, Quad(0x12, 0x34, 0x56, 0)));
}

TEST(ImageNearest, FirstOfEqualDistancesWinsAndExactMatchStops) {
    CLvImage image(2, 1, 8);
    RGBQUAD* palette = image.GetPalette();
    for (int i = 0; i < 256; i++)
        palette[i] = Quad(255, 255, 255);
    palette[3] = Quad(40, 50, 60);
    palette[7] = Quad(40, 50, 60);
    palette[9] = Quad(42, 50, 60);  // distance 4 from (44, 50, 60)
    palette[12] = Quad(46, 50, 60); // also distance 4
    image.SetPixelColor(0, 0, Quad(40, 50, 60));
    EXPECT_EQ(image.GetPixelIndex(0, 0), 3);
    EXPECT_EQ(image.GetNearestIndex(Quad(44, 50, 60)), 9);
    // Nothing closer than the starting bound of 200000: entry 0.
    for (int i = 0; i < 256; i++)
        palette[i] = Quad(255, 255, 255);
    image.info.bLastNearestValid = false;
    EXPECT_EQ(image.GetNearestIndex(Quad(0, 0, 0)), 0);
    CLvImage rgb(1, 1, 24);
    EXPECT_EQ(rgb.GetNearestIndex(Quad(1, 2, 3)), 0);
}

TEST(ImageNearest, RemembersTheLastAnswerUntilThePaletteChanges) {
    CLvImage image(1, 1, 4);
    RGBQUAD* palette = image.GetPalette();
    palette[2] = Quad(100, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 2);
    // Changing an entry behind the image's back shows that the second call did not search again.
    palette[5] = Quad(101, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 2);
    image.info.bLastNearestValid = false;
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100)), 5);
    // A query that differs only in the fourth byte is a new query.
    palette[6] = Quad(101, 100, 100);
    EXPECT_EQ(image.GetNearestIndex(Quad(101, 100, 100, 1)), 5);
}

TEST(ImageResolution, DotsPerInchAndPelsPerMetre) {
    CLvImage image;
    EXPECT_EQ(image.GetXDPI(), 96);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 3780);
    image.SetXDPI(300);
    image.SetYDPI(72);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
    EXPECT_EQ(image.GetHeader().biYPelsPerMeter, 2835);
    // A resolution the header cannot hold stays at the field's limit.
    CLvImage huge;
    huge.SetXDPI(553000000);
    huge.SetYDPI(-553000000);
    EXPECT_EQ(huge.GetHeader().biXPelsPerMeter, 2147483647);
    EXPECT_EQ(huge.GetHeader().biYPelsPerMeter, INT32_MIN);
    EXPECT_EQ(huge.GetXDPI(), 553000000);
    // Create keeps the resolution.
    image.Create(2, 2, 24);
    EXPECT_EQ(image.GetHeader().biXPelsPerMeter, 11811);
    EXPECT_EQ(image.GetXDPI(), 300);
}

TEST(ImageLifetime, DefaultsOfANewImage) {
    CLvImage image(LVFMT_GIF);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_GIF));
    EXPECT_EQ(image.GetJpegQuality(), 75);
    EXPECT_EQ(image.GetAlphaMax(), 255);
    EXPECT_EQ(image.GetTransIndex(), -1);
    EXPECT_TRUE(image.GetDrawEnabled());
    EXPECT_EQ(image.GetHeader().biSize, 40u);
    EXPECT_STREQ(image.GetLastErrorText(), "");
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.GetPalette(), nullptr);
}

TEST(ImageLifetime, CopyDuplicatesEveryPlane) {
    CLvImage source(7, 5, 8, LVFMT_TGA);
    FillPattern(source, 1);
    source.pSelection = static_cast<BYTE*>(calloc(35, 1));
    source.pAlpha = static_cast<BYTE*>(calloc(35, 1));
    source.pSelection[3] = 255;
    source.pAlpha[4] = 77;
    source.info.rcSelection = RECT{1, 4, 6, 2};
    source.SetJpegQuality(33);
    source.SetXDPI(150);

    CLvImage copy(source);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDib(), source.GetDib());
    EXPECT_EQ(memcmp(copy.GetDib(), source.GetDib(), source.GetDibSize()), 0);
    EXPECT_TRUE(SamePicture(copy, source));
    ASSERT_NE(copy.pSelection, nullptr);
    ASSERT_NE(copy.pAlpha, nullptr);
    EXPECT_NE(copy.pSelection, source.pSelection);
    EXPECT_EQ(copy.pSelection[3], 255);
    EXPECT_EQ(copy.pAlpha[4], 77);
    EXPECT_EQ(copy.info.rcSelection.right, 6);
    EXPECT_EQ(copy.GetJpegQuality(), 33);
    EXPECT_EQ(copy.GetFormat(), DWORD(LVFMT_TGA));
    EXPECT_EQ(copy.GetHeader().biXPelsPerMeter, source.GetHeader().biXPelsPerMeter);

    // Without pixels only the palette comes along; without planes, neither plane.
    CLvImage paletteOnly(source, false, false, false);
    EXPECT_EQ(memcmp(paletteOnly.GetPalette(), source.GetPalette(), 1024), 0);
    EXPECT_EQ(paletteOnly.pSelection, nullptr);
    EXPECT_EQ(paletteOnly.pAlpha, nullptr);
    EXPECT_EQ(paletteOnly.info.rcSelection.left, 7); // reset box

    CLvImage assigned(2, 2, 24);
    assigned = source;
    EXPECT_TRUE(SamePicture(assigned, source));
    assigned = assigned;
    EXPECT_TRUE(SamePicture(assigned, source));
}

TEST(ImageLifetime, TakeOverMovesBuffersWithoutCopying) {
    CLvImage source(3, 3, 24, LVFMT_PCX);
    FillPattern(source, 2);
    source.pAlpha = static_cast<BYTE*>(calloc(9, 1));
    BYTE* dib = source.GetDib();
    BYTE* alpha = source.pAlpha;
    source.SetFrameCount(4);

    CLvImage target(5, 5, 8);
    target.TakeOver(source);
    EXPECT_EQ(target.GetDib(), dib);
    EXPECT_EQ(target.pAlpha, alpha);
    EXPECT_EQ(target.GetWidth(), 3);
    EXPECT_EQ(target.GetFormat(), DWORD(LVFMT_PCX));
    EXPECT_EQ(target.GetFrameCount(), 4);
    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(source.pAlpha, nullptr);
    EXPECT_EQ(source.GetWidth(), 0);
    EXPECT_EQ(source.GetFrameCount(), 0);
}

TEST(ImageLifetime, ABorrowerFreesNothing) {
    CLvImage owner(4, 4, 8);
    FillPattern(owner, 3);
    owner.pSelection = static_cast<BYTE*>(calloc(16, 1));
    {
        CLvImage borrower;
        borrower.ShareBuffersOf(owner);
        EXPECT_EQ(borrower.GetDib(), owner.GetDib());
        EXPECT_EQ(borrower.pSelection, owner.pSelection);
        EXPECT_EQ(borrower.info.pOwner, &owner);
        EXPECT_TRUE(SamePicture(borrower, owner));
        // Copying a borrower gives an image that owns its own buffers.
        CLvImage copy(borrower);
        EXPECT_EQ(copy.info.pOwner, nullptr);
        EXPECT_NE(copy.GetDib(), owner.GetDib());
    } // the borrower goes without freeing; ASan would report a double free below otherwise
    EXPECT_TRUE(owner.IsValid());
    owner.Destroy();
    EXPECT_FALSE(owner.IsValid());
}

TEST(ImageLifetime, CopyInfoIfEmptyOnlyFillsAnEmptyImage) {
    CLvImage source(2, 2, 24, LVFMT_JPG);
    source.SetJpegQuality(10);
    CLvImage empty;
    empty.CopyInfoIfEmpty(source);
    EXPECT_EQ(empty.GetJpegQuality(), 10);
    EXPECT_EQ(empty.GetBits(), nullptr);
    CLvImage full(2, 2, 24);
    full.CopyInfoIfEmpty(source);
    EXPECT_EQ(full.GetJpegQuality(), 75);
}

TEST(ImagePixels, ClearAndSwapRedBlue) {
    CLvImage rgb(3, 1, 24);
    rgb.Clear(0x5A);
    for (DWORD i = 0; i < rgb.GetHeader().biSizeImage; i++)
        ASSERT_EQ(rgb.GetBits()[i], 0x5A);
    BYTE buffer[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    rgb.SwapRedBlue(buffer, 12); // limited to the 12-byte row: four groups
    const BYTE swapped[12] = {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};
    EXPECT_EQ(memcmp(buffer, swapped, 12), 0);
    BYTE longer[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    CLvImage narrow(1, 1, 24); // a 4-byte row: only the first group
    narrow.SwapRedBlue(longer, 9);
    const BYTE once[9] = {3, 2, 1, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(memcmp(longer, once, 9), 0);
    CLvImage eight(3, 1, 8);
    BYTE untouched[3] = {1, 2, 3};
    eight.SwapRedBlue(untouched, 3);
    EXPECT_EQ(untouched[0], 1);
}

struct BitfieldCase {
    const char* name;
    int bpp;
    DWORD red, green, blue;
    uint32_t pixel;
    RGBQUAD expected;
};

TEST(ImageBitfields, ScalesEachFieldToEightBits) {
    const BitfieldCase cases[] = {
        {"555 white", 16, 0x7C00, 0x03E0, 0x001F, 0x7FFF, Quad(0xF8, 0xF8, 0xF8)},
        {"555 mixed", 16, 0x7C00, 0x03E0, 0x001F, (1u << 10) | (2u << 5) | 3u, Quad(8, 16, 24)},
        {"565 green", 16, 0xF800, 0x07E0, 0x001F, 0x07E0, Quad(0, 0xFC, 0)},
        {"565 red", 16, 0xF800, 0x07E0, 0x001F, 0xF800, Quad(0xF8, 0, 0)},
        {"444", 16, 0x0F00, 0x00F0, 0x000F, 0x0F5A, Quad(0xF0, 0x50, 0xA0)},
        {"655 blue", 16, 0xFC00, 0x03E0, 0x001F, 0x001F, Quad(0, 0, 0xF8)},
        {"no masks", 16, 0, 0, 0, 0xFFFF, Quad(0, 0, 0)},
        {"32 plain", 32, 0, 0, 0, 0x44332211, Quad(0x33, 0x22, 0x11)},
        {"32 usual", 32, 0xFF0000, 0xFF00, 0xFF, 0x44332211, Quad(0x33, 0x22, 0x11)},
        {"32 rgba", 32, 0xFF000000, 0xFF0000, 0xFF00, 0x44332211, Quad(0x44, 0x33, 0x22)},
        {"32 10-bit", 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0x3FFFFFFF, Quad(0xFF, 0xFF, 0xFF)},
    };
    for (const BitfieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        BYTE source[4] = {BYTE(c.pixel), BYTE(c.pixel >> 8), BYTE(c.pixel >> 16), BYTE(c.pixel >> 24)};
        BYTE out[3];
        CLvImage::ConvertBitfieldsRow(source, out, 1, c.red, c.green, c.blue, c.bpp);
        EXPECT_EQ(out[0], c.expected.rgbBlue);
        EXPECT_EQ(out[1], c.expected.rgbGreen);
        EXPECT_EQ(out[2], c.expected.rgbRed);
    }
}

TEST(ImageBitfields, ConvertsInPlaceFromTheImagesOwnBuffer) {
    // 3 x 2 pixels of 5-5-5 data written at the start of the image's own pixel buffer.
    CLvImage image(3, 2, 24);
    image.Clear(0xEE);
    const uint16_t words[2][4] = {{0x001F, 0x03E0, 0x7C00, 0}, {0x7FFF, 0x0000, 0x0421, 0}};
    memcpy(image.GetBits(), words, sizeof(words));
    image.ConvertBitfields(image.GetBits(), 0x7C00, 0x03E0, 0x001F, 16);
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(0, 0, 0xF8)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 0), Quad(0, 0xF8, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(2, 0), Quad(0xF8, 0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 1), Quad(0xF8, 0xF8, 0xF8)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 1), Quad(0, 0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(2, 1), Quad(8, 8, 8)));
}

} // namespace
