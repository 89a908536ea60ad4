#include "LvEffectTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

// Widths that are and are not multiples of 8 pixels and of 4 bytes.
const int kWidths[] = {1, 9, 13, 33};

TEST(Geometry, EmptyImageFailsEverywhere) {
    CLvImage empty;
    CLvImage destination(3, 3, 24);
    EXPECT_FALSE(empty.Mirror());
    EXPECT_FALSE(empty.Flip());
    EXPECT_FALSE(empty.RotateLeft());
    EXPECT_FALSE(empty.RotateRight(&destination));
    EXPECT_FALSE(empty.Rotate180());
    EXPECT_FALSE(empty.Crop(0, 0, 1, 1));
    EXPECT_FALSE(empty.AddEdge(1, 1, 1, 1));
    EXPECT_FALSE(empty.RegionFill(Quad(1, 2, 3)));
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(destination.GetWidth(), 3); // untouched
}

TEST(Geometry, MirrorAndFlipMapEveryPixel) {
    for (int bpp : kDepths)
        for (int w : kWidths) {
            SCOPED_TRACE(testing::Message() << bpp << " bits, width " << w);
            const int h = 5;
            CLvImage before = Patterned(w, h, bpp, unsigned(w * bpp));
            CLvImage mirrored(before), flipped(before);
            ASSERT_TRUE(mirrored.Mirror());
            ASSERT_TRUE(flipped.Flip());
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++) {
                    ASSERT_EQ(Value(mirrored, x, y), Value(before, w - 1 - x, y)) << x << "," << y;
                    ASSERT_EQ(Value(flipped, x, y), Value(before, x, h - 1 - y)) << x << "," << y;
                }
            if (bpp < 24) {
                EXPECT_EQ(memcmp(mirrored.GetPalette(), before.GetPalette(), before.GetPaletteSize()), 0);
            }
            EXPECT_EQ(mirrored.GetBpp(), bpp);
            EXPECT_EQ(mirrored.GetFormat(), DWORD(LVFMT_BMP));
            // Twice gives the original back, byte for byte.
            ASSERT_TRUE(mirrored.Mirror());
            ASSERT_TRUE(flipped.Flip());
            EXPECT_TRUE(SameBytes(mirrored, before));
            EXPECT_TRUE(SameBytes(flipped, before));
        }
}

TEST(Geometry, MirrorKeepsRowPaddingClear) {
    // Width 9 at 1 bit: column 0 lands in column 8 and the 23 padding bits of each row stay 0.
    CLvImage image(9, 2, 1);
    image.Clear(0);
    image.SetPixelIndex(0, 0, 1);
    image.SetPixelIndex(0, 1, 1);
    ASSERT_TRUE(image.Mirror());
    for (int y = 0; y < 2; y++) {
        const BYTE* row = image.GetBits() + y * image.GetEffWidth();
        EXPECT_EQ(row[0], 0x00);
        EXPECT_EQ(row[1], 0x80) << "column 8 set, padding clear";
        EXPECT_EQ(row[2] | row[3], 0);
    }
    // Width 1 at 24 bits is unchanged.
    CLvImage one = Patterned(1, 4, 24, 7);
    CLvImage copy(one);
    ASSERT_TRUE(one.Mirror());
    EXPECT_TRUE(SameValues(one, copy));
}

TEST(Geometry, FlipTwiceRestoresPaddingBytesToo) {
    CLvImage image = Patterned(5, 4, 24, 3); // 15 pixel bytes in a 16-byte row
    for (int y = 0; y < 4; y++)
        image.GetBits()[y * 16 + 15] = BYTE(0xA0 + y);
    CLvImage before(image);
    ASSERT_TRUE(image.Flip());
    EXPECT_EQ(image.GetBits()[15], 0xA3);
    ASSERT_TRUE(image.Flip());
    EXPECT_EQ(memcmp(image.GetBits(), before.GetBits(), before.GetHeader().biSizeImage), 0);
}

TEST(Geometry, QuarterTurnsMapPixelsAndComposeToIdentity) {
    for (int bpp : kDepths)
        for (int w : kWidths) {
            SCOPED_TRACE(testing::Message() << bpp << " bits, width " << w);
            const int h = 7;
            CLvImage before = Patterned(w, h, bpp, unsigned(3 * w + bpp));
            CLvImage left(before), right(before), half(before);
            ASSERT_TRUE(left.RotateLeft());
            ASSERT_TRUE(right.RotateRight());
            ASSERT_TRUE(half.Rotate180());
            ASSERT_EQ(left.GetWidth(), h);
            ASSERT_EQ(left.GetHeight(), w);
            ASSERT_EQ(right.GetWidth(), h);
            for (int y = 0; y < w; y++)
                for (int x = 0; x < h; x++) {
                    ASSERT_EQ(Value(left, x, y), Value(before, y, h - 1 - x));
                    ASSERT_EQ(Value(right, x, y), Value(before, w - 1 - y, x));
                }
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    ASSERT_EQ(Value(half, x, y), Value(before, w - 1 - x, h - 1 - y));

            CLvImage back(left);
            ASSERT_TRUE(back.RotateRight());
            EXPECT_TRUE(SameBytes(back, before));
            CLvImage four(before);
            for (int i = 0; i < 4; i++)
                ASSERT_TRUE(four.RotateLeft());
            EXPECT_TRUE(SameBytes(four, before));
            CLvImage twice(before);
            ASSERT_TRUE(twice.RotateLeft());
            ASSERT_TRUE(twice.RotateLeft());
            EXPECT_TRUE(SameValues(twice, half));
        }
}

TEST(Geometry, RotateRightOfThreeByTwo) {
    // Seen top-down, the new top row is the old left column read from bottom to top.
    CLvImage image(3, 2, 8);
    image.SetGrayPalette();
    const int screen[2][3] = {{1, 2, 3}, {4, 5, 6}}; // top row first
    for (int row = 0; row < 2; row++)
        for (int x = 0; x < 3; x++)
            image.SetPixelIndex(x, 1 - row, BYTE(screen[row][x]));
    ASSERT_TRUE(image.RotateRight());
    ASSERT_EQ(image.GetWidth(), 2);
    ASSERT_EQ(image.GetHeight(), 3);
    const int expected[3][2] = {{4, 1}, {5, 2}, {6, 3}};
    for (int row = 0; row < 3; row++)
        for (int x = 0; x < 2; x++)
            EXPECT_EQ(image.GetPixelIndex(x, 2 - row), expected[row][x]) << row << "," << x;
}

TEST(Geometry, TurnsKeepIndicesInfoAlphaAndUseTheDestination) {
    CLvImage image = Patterned(6, 4, 8, 11);
    // Entries 3 and 7 hold the same colour: a turn copies indices, it does not match colours.
    image.SetPaletteColor(7, image.GetPaletteColor(3));
    image.SetPixelIndex(2, 1, 7);
    image.SetXDPI(300);
    image.SetJpegQuality(33);
    image.SetTransIndex(5);
    ASSERT_TRUE(image.AlphaCreate());
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            image.AlphaSet(x, y, BYTE(10 * y + x));
    image.SelectionAddRect(0, 0, 2, 2);
    image.info.nProgress = -1;
    CLvImage before(image);

    CLvImage half(image);
    ASSERT_TRUE(half.Rotate180());
    EXPECT_EQ(half.GetPixelIndex(3, 2), 7);
    EXPECT_EQ(half.AlphaGet(3, 2), 12);
    EXPECT_EQ(half.GetXDPI(), 300);
    EXPECT_EQ(half.GetHeader().biXPelsPerMeter, 11811);
    EXPECT_EQ(half.GetJpegQuality(), 33);
    EXPECT_EQ(half.GetTransIndex(), 5);
    EXPECT_GE(half.info.nProgress, 0) << "progress is reported";

    CLvImage destination;
    ASSERT_TRUE(image.RotateLeft(&destination));
    EXPECT_TRUE(SameBytes(image, before)) << "the source's pixels stay as they were";
    EXPECT_EQ(image.AlphaGet(2, 1), 12);
    ASSERT_EQ(destination.GetWidth(), 4);
    // Left turn: destination (x, y) from source (y, newWidth - 1 - x).
    EXPECT_EQ(destination.GetPixelIndex(2, 2), 7);
    EXPECT_EQ(destination.AlphaGet(2, 2), 12);
    EXPECT_EQ(destination.pSelection, nullptr);
    EXPECT_EQ(destination.info.rcSelection.left, 4) << "box of an image without selection";
    EXPECT_GE(image.info.nProgress, 0) << "the source's progress counter is the one written";
    EXPECT_EQ(destination.info.nProgress, image.info.nProgress);

    CLvImage mirrored(before);
    ASSERT_TRUE(mirrored.Mirror());
    EXPECT_EQ(mirrored.AlphaGet(3, 1), 12);
    EXPECT_EQ(mirrored.pSelection, nullptr);
    EXPECT_EQ(mirrored.info.nProgress, -1) << "no progress";
    CLvImage flipped(before);
    ASSERT_TRUE(flipped.Flip());
    EXPECT_EQ(flipped.AlphaGet(2, 2), 12);
}

TEST(Geometry, ParallelTurnsMatchTheSerialOnes) {
    for (int bpp : kDepths) {
        CLvImage before = Patterned(203, 157, bpp, unsigned(bpp));
        std::function<bool(CLvImage&)> ops[] = {
            [](CLvImage& i) { return i.Mirror(); },     [](CLvImage& i) { return i.Flip(); },
            [](CLvImage& i) { return i.RotateLeft(); }, [](CLvImage& i) { return i.RotateRight(); },
            [](CLvImage& i) { return i.Rotate180(); },  [](CLvImage& i) { return i.Crop(3, 5, 190, 150); },
        };
        for (auto& op : ops) {
            CLvImage serial(before), parallel(before);
            {
                ThreadCount one(1);
                ASSERT_TRUE(op(serial));
            }
            {
                ThreadCount four(4);
                ASSERT_TRUE(op(parallel));
            }
            EXPECT_TRUE(SameBytes(serial, parallel)) << bpp;
        }
    }
}

TEST(Geometry, CropTakesTheRectangleInScreenRows) {
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        const int w = 21, h = 12;
        CLvImage before = Patterned(w, h, bpp, unsigned(bpp + 40));
        // Columns 3..16, screen rows 2..8 (stored rows 3..9).
        CLvImage a(before), b(before);
        ASSERT_TRUE(a.Crop(3, 2, 17, 9));
        ASSERT_TRUE(b.Crop(17, 9, 3, 2)); // reversed bounds give the same result
        ASSERT_EQ(a.GetWidth(), 14);
        ASSERT_EQ(a.GetHeight(), 7);
        EXPECT_TRUE(SameBytes(a, b));
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 14; x++)
                ASSERT_EQ(Value(a, x, y), Value(before, x + 3, y + 3));
        EXPECT_EQ(a.GetHeader().biClrUsed, before.GetHeader().biClrUsed);
        if (bpp < 24) {
            EXPECT_EQ(memcmp(a.GetPalette(), before.GetPalette(), before.GetPaletteSize()), 0);
        }
    }
}

TEST(Geometry, CropClampsRefusesEmptyRectanglesAndKeepsAlpha) {
    CLvImage image = Patterned(10, 8, 24, 1);
    CLvImage before(image);
    EXPECT_FALSE(image.Crop(4, 0, 4, 8));
    EXPECT_FALSE(image.Crop(0, 3, 10, 3));
    EXPECT_FALSE(image.Crop(20, 0, 30, 8)); // both clamp to the right edge
    EXPECT_TRUE(SameBytes(image, before));

    ASSERT_TRUE(image.Crop(-5, -5, 100, 100));
    EXPECT_TRUE(SameValues(image, before));

    // A 24-bit row whose last pixels end just before the padding: only pixel bytes are read (ASan checks
    // the last row).
    CLvImage narrow = Patterned(4, 3, 24, 9);
    CLvImage original(narrow);
    ASSERT_TRUE(narrow.Crop(1, 0, 4, 3));
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++)
            ASSERT_EQ(Rgb(narrow, x, y), Rgb(original, x + 1, y));
    EXPECT_EQ(narrow.GetBits()[9], 0) << "padding is clear";

    // A cropped picture keeps its transparency.
    CLvImage alpha = Patterned(6, 6, 8, 2);
    ASSERT_TRUE(alpha.AlphaCreate());
    alpha.AlphaSet(2, 3, 77);
    alpha.SelectionAddRect(0, 0, 3, 3);
    ASSERT_TRUE(alpha.Crop(1, 1, 5, 5)); // stored rows 1..4
    EXPECT_EQ(alpha.AlphaGet(1, 2), 77);
    EXPECT_EQ(alpha.AlphaGet(0, 0), 0);
    EXPECT_EQ(alpha.pSelection, nullptr);
}

TEST(Geometry, AddEdgeAddsAndErasesMargins) {
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        CLvImage image = Patterned(100, 50, bpp, unsigned(bpp));
        image.SetXDPI(200);
        image.SetTransColor(Quad(250, 10, 10));
        CLvImage before(image);
        ASSERT_TRUE(image.AddEdge(10, 10, 10, 10));
        ASSERT_EQ(image.GetWidth(), 120);
        ASSERT_EQ(image.GetHeight(), 70);
        EXPECT_EQ(image.GetXDPI(), 200);
        // The border is the background colour, or the palette entry nearest to it.
        BYTE border = bpp < 24 ? before.GetNearestIndex(Quad(250, 10, 10)) : 0;
        int borderValue = bpp < 24 ? border : 0xFA0A0A;
        for (int y = 0; y < 70; y++)
            for (int x = 0; x < 120; x++) {
                bool inside = x >= 10 && x < 110 && y >= 10 && y < 60;
                ASSERT_EQ(Value(image, x, y), inside ? Value(before, x - 10, y - 10) : borderValue) << x << "," << y;
            }

        CLvImage cut(before);
        ASSERT_TRUE(cut.AddEdge(-10, -10, -10, -10));
        ASSERT_EQ(cut.GetWidth(), 80);
        ASSERT_EQ(cut.GetHeight(), 30);
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 80; x++)
                ASSERT_EQ(Value(cut, x, y), Value(before, x + 10, y + 10));

        CLvImage mixed(before);
        ASSERT_TRUE(mixed.AddEdge(-3, 2, 5, -4)); // cut 3 left, 4 bottom; add 2 top, 5 right
        ASSERT_EQ(mixed.GetWidth(), 102);
        ASSERT_EQ(mixed.GetHeight(), 48);
        EXPECT_EQ(Value(mixed, 0, 0), Value(before, 3, 4));
        EXPECT_EQ(Value(mixed, 96, 45), Value(before, 99, 49));
        EXPECT_EQ(Value(mixed, 97, 0), borderValue);
        EXPECT_EQ(Value(mixed, 0, 46), borderValue);
    }
    CLvImage image(10, 10, 24);
    EXPECT_FALSE(image.AddEdge(-5, 0, -5, 0)) << "nothing would be left";
    EXPECT_EQ(image.GetWidth(), 10);
}

TEST(Geometry, AddEdgeKeepsAlphaWithAnOpaqueBorder) {
    CLvImage image = Patterned(4, 3, 24, 5);
    ASSERT_TRUE(image.AlphaCreate());
    image.AlphaSet(0, 0, 9);
    ASSERT_TRUE(image.AddEdge(1, 1, 1, 1));
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(1, 1), 9);
    EXPECT_EQ(image.AlphaGet(2, 1), 0);
    EXPECT_EQ(image.AlphaGet(0, 0), 255);
}

TEST(Geometry, AddEdgeStopsCopyingOnCancelAndStillSucceeds) {
    CLvImage image = Patterned(30, 200, 24, 8);
    image.SetTransColor(Quad(0, 0, 255));
    CLvImage before(image);
    {
        CancelAtRow cancel(40);
        ASSERT_TRUE(image.AddEdge(0, 0, 0, 0));
    }
    // Rows from 40 on were not copied (within one chunk of rows) and show the background colour.
    int copied = 0;
    while (copied < 200 && Rgb(image, 0, copied) == Rgb(before, 0, copied))
        copied++;
    EXPECT_GE(copied, 40);
    EXPECT_LT(copied, 200);
    for (int y = copied; y < 200; y++)
        ASSERT_EQ(Rgb(image, 5, y), 0x0000FF) << y;
    EXPECT_EQ(image.info.nEscape, 1) << "the cancel request survives the take-over";
}

TEST(Geometry, RegionFillPaintsTheSelection) {
    for (int bpp : kDepths) {
        SCOPED_TRACE(bpp);
        CLvImage image = Patterned(40, 30, bpp, unsigned(bpp * 3));
        CLvImage before(image);
        const RGBQUAD color = Quad(12, 200, 99);
        ASSERT_TRUE(image.RegionFill(color));
        const int fill = bpp < 24 ? before.GetNearestIndex(color) : 0x0CC863;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 40; x++)
                ASSERT_EQ(Value(image, x, y), fill);

        CLvImage ellipse(before);
        ASSERT_TRUE(ellipse.SelectionAddEllipse(5, 5, 35, 25));
        ASSERT_TRUE(ellipse.RegionFill(color));
        int painted = 0;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 40; x++) {
                if (ellipse.SelectionIsInside(x, y)) {
                    ASSERT_EQ(Value(ellipse, x, y), fill);
                    painted++;
                } else {
                    ASSERT_EQ(Value(ellipse, x, y), Value(before, x, y));
                }
            }
        EXPECT_GT(painted, 300);
        EXPECT_TRUE(ellipse.pSelection != nullptr) << "the selection stays";
    }
}

TEST(Geometry, RegionFillHonoursCancel) {
    CLvImage image = Patterned(50, 300, 24, 4);
    CLvImage before(image);
    image.info.nEscape = 1;
    ASSERT_TRUE(image.RegionFill(Quad(1, 2, 3)));
    EXPECT_TRUE(SameBytes(image, before)) << "cancelled before the first row";

    image.info.nEscape = 0;
    {
        CancelAtRow cancel(100);
        ASSERT_TRUE(image.RegionFill(Quad(1, 2, 3)));
    }
    RowRun run = ChangedRowsFromBottom(image, before);
    EXPECT_TRUE(run.restEqual) << "a first run of rows";
    EXPECT_GE(run.changed, 100);
    EXPECT_LT(run.changed, 300);
}

} // namespace
