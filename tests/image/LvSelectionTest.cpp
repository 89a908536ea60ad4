#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>

namespace {

typedef std::set<std::pair<int, int>> PixelSet;

PixelSet Selected(const CLvImage& image) {
    PixelSet pixels;
    for (int y = 0; y < image.GetHeight(); y++)
        for (int x = 0; x < image.GetWidth(); x++)
            if (image.SelectionIsInside(x, y)) pixels.insert({x, y});
    return pixels;
}

void ExpectBox(const CLvImage& image, int left, int bottom, int right, int top) {
    const RECT& box = image.info.rcSelection;
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.bottom, bottom);
    EXPECT_EQ(box.right, right);
    EXPECT_EQ(box.top, top);
}

TEST(Selection, CreateClearDeleteAndTheEmptyBox) {
    CLvImage image(20, 10, 24);
    EXPECT_EQ(Selected(image).size(), 200u); // no mask: everything
    EXPECT_FALSE(image.SelectionIsInside(20, 0));
    EXPECT_FALSE(image.SelectionIsInside(-1, 0));
    EXPECT_FALSE(image.SelectionClear());
    ASSERT_TRUE(image.SelectionCreate());
    EXPECT_TRUE(Selected(image).empty());
    ExpectBox(image, 20, 10, 0, 0);
    image.SelectionAddRect(1, 1, 3, 3);
    EXPECT_TRUE(image.SelectionClear());
    EXPECT_TRUE(Selected(image).empty());
    ExpectBox(image, 20, 10, 0, 0);
    image.SelectionAddRect(1, 1, 3, 3);
    image.SelectionDelete();
    EXPECT_EQ(Selected(image).size(), 200u);
    ExpectBox(image, 20, 10, 0, 0);
    CLvImage empty;
    EXPECT_FALSE(empty.SelectionCreate());
    EXPECT_FALSE(empty.SelectionAddRect(0, 0, 1, 1));
}

TEST(Selection, RectanglesAndTheirBox) {
    CLvImage image(20, 20, 8);
    ASSERT_TRUE(image.SelectionAddRect(10, 10, 0, 0));
    PixelSet square;
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            square.insert({x, y});
    EXPECT_EQ(Selected(image), square);
    ExpectBox(image, 0, 0, 10, 10);

    ASSERT_TRUE(image.SelectionAddRect(15, 12, 17, 18));
    ExpectBox(image, 0, 0, 17, 18);
    EXPECT_EQ(Selected(image).size(), 100u + 2 * 6);

    // Partly outside: clamped to the picture, the box too.
    CLvImage clipped(8, 8, 24);
    ASSERT_TRUE(clipped.SelectionAddRect(-5, 6, 3, 100));
    EXPECT_EQ(Selected(clipped).size(), 3u * 2);
    ExpectBox(clipped, 0, 6, 3, 8);
    ASSERT_TRUE(clipped.SelectionAddRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
    EXPECT_EQ(Selected(clipped).size(), 64u);
}

TEST(Selection, EllipseRowsFollowTheTruncatedCurve) {
    CLvImage image(6, 6, 24);
    // Worked by hand: centre (2, 2), radii 2; x = 1 and 3 keep rows 1 and 2, x = 2 keeps rows 1 to 3.
    ASSERT_TRUE(image.SelectionAddEllipse(0, 0, 4, 4));
    PixelSet expected = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}};
    EXPECT_EQ(Selected(image), expected);
    ExpectBox(image, 0, 0, 4, 4);

    // A zero radius: false, and no mask appears.
    CLvImage flat(6, 6, 24);
    EXPECT_FALSE(flat.SelectionAddEllipse(3, 0, 3, 5));
    EXPECT_FALSE(flat.SelectionAddEllipse(0, 2, 5, 3));
    EXPECT_EQ(flat.pSelection, nullptr);

    // A large ellipse covers about pi * rx * ry pixels (a little less: the curve is truncated) and stays inside its
    // box.
    CLvImage big(300, 200, 8);
    ASSERT_TRUE(big.SelectionAddEllipse(50, 40, 250, 160));
    PixelSet pixels = Selected(big);
    EXPECT_NEAR(double(pixels.size()), 3.14159 * 100 * 60, 400);
    for (const auto& p : pixels) {
        ASSERT_GE(p.first, 50);
        ASSERT_LT(p.first, 250);
        ASSERT_GE(p.second, 40);
        ASSERT_LE(p.second, 160);
    }
    EXPECT_TRUE(big.SelectionIsInside(150, 100));

    // Far outside the picture: nothing selected, nothing written out of bounds.
    CLvImage away(10, 10, 24);
    ASSERT_TRUE(away.SelectionAddEllipse(INT_MIN, INT_MIN, INT_MIN + 40, INT_MIN + 40));
    ASSERT_TRUE(away.SelectionAddEllipse(-1000000, 5, 1000000, 7));
    // The flat ellipse's curve is just below 1 away from its centre row except at x = 0.
    EXPECT_EQ(Selected(away), (PixelSet{{0, 6}}));
}

TEST(Selection, PolygonsSelectOutlineAndInside) {
    CLvImage image(20, 20, 24);
    const POINT square[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    ASSERT_TRUE(image.SelectionAddPolygon(square, 4));
    PixelSet expected;
    for (int y = 2; y <= 6; y++)
        for (int x = 2; x <= 6; x++)
            expected.insert({x, y});
    EXPECT_EQ(Selected(image), expected);
    ExpectBox(image, 1, 1, 8, 8); // the point box widened by one

    CLvImage triangle(20, 20, 8);
    const POINT points[] = {{2, 2}, {14, 2}, {2, 14}};
    ASSERT_TRUE(triangle.SelectionAddPolygon(points, 3));
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) {
            bool inside = triangle.SelectionIsInside(x, y);
            if (x >= 2 && y >= 2 && x + y <= 15) {
                EXPECT_TRUE(inside) << x << ", " << y;
            } else if (x < 2 || y < 2 || x + y >= 17) {
                EXPECT_FALSE(inside) << x << ", " << y;
            }
        }

    // Two squares separated by a point whose x is -1.
    CLvImage two(30, 10, 24);
    const POINT both[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}, {-1, 0}, {10, 2}, {13, 2}, {13, 5}, {10, 5}};
    ASSERT_TRUE(two.SelectionAddPolygon(both, 9));
    EXPECT_EQ(Selected(two).size(), 16u + 16u);
    EXPECT_TRUE(two.SelectionIsInside(2, 2));
    EXPECT_TRUE(two.SelectionIsInside(12, 4));
    EXPECT_FALSE(two.SelectionIsInside(7, 3));
    ExpectBox(two, 0, 0, 15, 7);
}

TEST(Selection, PolygonInputThatIsOdd) {
    CLvImage image(16, 16, 24);
    const POINT one[] = {{1, 1}, {5, 5}};
    EXPECT_FALSE(image.SelectionAddPolygon(one, 2));
    EXPECT_FALSE(image.SelectionAddPolygon(nullptr, 5));
    const POINT separators[] = {{-1, 0}, {-1, 3}, {-1, 9}};
    EXPECT_FALSE(image.SelectionAddPolygon(separators, 3));

    // Separators first, last and doubled; repeated points; a lone point between separators.
    const POINT messy[] = {{-1, 0}, {2, 2}, {2, 2}, {8, 2}, {8, 8}, {-1, 0}, {-1, 0}, {12, 12}, {-1, 0}};
    CLvImage a(16, 16, 24);
    ASSERT_TRUE(a.SelectionAddPolygon(messy, 9));
    EXPECT_TRUE(a.SelectionIsInside(7, 4));
    EXPECT_TRUE(a.SelectionIsInside(12, 12));
    EXPECT_FALSE(a.SelectionIsInside(3, 7));

    // Points far outside the picture, even at the limits of the coordinate type: no hang, no stray writes.
    const POINT distant[] = {{-2000000000, -2000000000}, {2000000000, -5}, {8, 2000000000}};
    CLvImage b(16, 16, 24);
    ASSERT_TRUE(b.SelectionAddPolygon(distant, 3));
    const POINT extremes[] = {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN + 1, INT_MAX}};
    CLvImage c(16, 16, 24);
    ASSERT_TRUE(c.SelectionAddPolygon(extremes, 4));
    const POINT outside[] = {{100, 100}, {200, 100}, {150, 200}};
    CLvImage d(16, 16, 24);
    ASSERT_TRUE(d.SelectionAddPolygon(outside, 3));
    EXPECT_TRUE(Selected(d).empty());

    std::mt19937 random(3);
    for (int round = 0; round < 200; round++) {
        std::vector<POINT> points(3 + random() % 20);
        for (POINT& p : points) {
            p.x = int(random() % 7) == 0 ? -1 : LONG(random() % 60) - 20;
            p.y = LONG(random() % 60) - 20;
        }
        CLvImage e(16, 16, 8);
        e.SelectionAddPolygon(points.data(), int(points.size()));
        const RECT& box = e.info.rcSelection;
        EXPECT_GE(box.left, 0);
        EXPECT_LE(box.right, 16);
    }
}

TEST(Selection, PixelInvertAndCopy) {
    CLvImage image(4, 3, 24);
    image.SelectionAddPixel(1, 1); // no mask yet: nothing happens
    EXPECT_EQ(image.pSelection, nullptr);
    EXPECT_FALSE(image.SelectionInvert());
    ASSERT_TRUE(image.SelectionCreate());
    image.SelectionAddPixel(1, 1);
    image.SelectionAddPixel(9, 9);
    EXPECT_EQ(Selected(image), (PixelSet{{1, 1}}));
    ExpectBox(image, 4, 3, 0, 0); // a pixel does not widen the box

    image.pSelection[0] = 7;
    ASSERT_TRUE(image.SelectionInvert());
    EXPECT_EQ(image.pSelection[0], 248);
    EXPECT_EQ(image.pSelection[5], 0);
    EXPECT_EQ(Selected(image).size(), 11u);
    ExpectBox(image, 0, 0, 4, 3);

    CLvImage copy(4, 3, 8);
    ASSERT_TRUE(copy.SelectionCopy(image));
    EXPECT_EQ(Selected(copy), Selected(image));
    ExpectBox(copy, 0, 0, 4, 3);
    CLvImage taller(4, 5, 24);
    EXPECT_FALSE(taller.SelectionCopy(image)); // a shorter source would be read past its end
    CLvImage wider(5, 3, 24);
    EXPECT_FALSE(wider.SelectionCopy(image));
    CLvImage noMask(4, 3, 24);
    EXPECT_FALSE(copy.SelectionCopy(noMask));
}

TEST(Alpha, PlaneAccess) {
    CLvImage image(3, 2, 24);
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_EQ(image.AlphaGet(0, 0), 0); // no plane reads as transparent
    image.AlphaSet(0, 0, 9);
    image.AlphaFill(9);
    ASSERT_TRUE(image.AlphaCreate());
    EXPECT_EQ(image.AlphaGet(2, 1), 0);
    image.AlphaSet(2, 1, 200);
    image.AlphaSet(3, 1, 200);
    image.AlphaSet(-1, 0, 200);
    EXPECT_EQ(image.AlphaGet(2, 1), 200);
    EXPECT_EQ(image.AlphaGet(3, 1), 0);
    image.AlphaFill(77);
    EXPECT_EQ(image.AlphaGet(0, 0), 77);
    image.AlphaClear();
    EXPECT_EQ(image.AlphaGet(1, 1), 0);
    image.AlphaDelete();
    EXPECT_FALSE(image.AlphaIsValid());
}

TEST(Alpha, CopyFlipMirrorAndSplit) {
    CLvImage image(3, 2, 24);
    ASSERT_TRUE(image.AlphaCreate());
    const BYTE values[6] = {1, 2, 3, 4, 5, 6};
    memcpy(image.pAlpha, values, 6);
    image.SetAlphaMax(100);

    CLvImage copy(3, 2, 8);
    ASSERT_TRUE(copy.AlphaCopy(image));
    EXPECT_EQ(memcmp(copy.pAlpha, values, 6), 0);
    EXPECT_EQ(copy.GetAlphaMax(), 100);
    CLvImage other(3, 3, 24);
    EXPECT_FALSE(other.AlphaCopy(image));

    ASSERT_TRUE(copy.AlphaFlip());
    const BYTE flipped[6] = {4, 5, 6, 1, 2, 3};
    EXPECT_EQ(memcmp(copy.pAlpha, flipped, 6), 0);
    ASSERT_TRUE(copy.AlphaMirror());
    const BYTE turned[6] = {6, 5, 4, 3, 2, 1};
    EXPECT_EQ(memcmp(copy.pAlpha, turned, 6), 0);
    EXPECT_FALSE(other.AlphaFlip());
    EXPECT_FALSE(other.AlphaMirror());

    CLvImage split;
    ASSERT_TRUE(image.AlphaSplit(&split));
    EXPECT_EQ(split.GetWidth(), 3);
    EXPECT_EQ(split.GetHeight(), 2);
    EXPECT_EQ(split.GetBpp(), 8);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(split.GetPixelIndex(i % 3, i / 3), values[i]);
    EXPECT_TRUE(split.IsGrayScale());
    EXPECT_FALSE(image.AlphaSplit(nullptr));
    EXPECT_FALSE(other.AlphaSplit(&split));
}

TEST(Alpha, PaletteAlpha) {
    CLvImage image(2, 2, 8);
    EXPECT_FALSE(image.AlphaPaletteIsValid());
    image.SetPaletteColor(200, 1, 2, 3, 4);
    EXPECT_TRUE(image.AlphaPaletteIsValid());
    CLvImage rgb(2, 2, 24);
    EXPECT_FALSE(rgb.AlphaPaletteIsValid());
}

TEST(Alpha, StripBlendsOverTheBackground) {
    // Fully transparent over blue: all blue, and the plane is gone.
    CLvImage image(3, 2, 24);
    FillPattern(image, 1);
    image.AlphaCreate();
    image.SetTransColor(Quad(0, 0, 255));
    image.AlphaStrip();
    EXPECT_FALSE(image.AlphaIsValid());
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), Quad(0, 0, 255)));

    // a = nAlphaMax * alpha / 255, channel = (background * (255 - a) + colour * a) / 255, all truncated.
    const struct {
        int alpha, alphaMax, colour, background, expected;
    } cases[] = {
        {128, 255, 200, 0, 100}, {128, 255, 0, 255, 127}, {255, 128, 250, 50, 150},
        {255, 255, 77, 3, 77},   {10, 100, 255, 0, 3},
    };
    for (const auto& c : cases) {
        CLvImage one(1, 1, 24);
        one.SetPixelColor(0, 0, Quad(c.colour, c.colour, c.colour));
        one.AlphaCreate();
        one.AlphaSet(0, 0, BYTE(c.alpha));
        one.SetAlphaMax(BYTE(c.alphaMax));
        one.SetTransColor(Quad(c.background, c.background, c.background));
        one.AlphaStrip();
        EXPECT_EQ(one.GetPixelColor(0, 0).rgbRed, c.expected) << c.alpha << " " << c.alphaMax;
    }

    // Palette pictures become true colour; palette alpha scales the plane's.
    CLvImage indexed(2, 1, 8);
    indexed.SetPaletteColor(1, 200, 100, 50, 255);
    indexed.SetPaletteColor(2, 200, 100, 50, 51);
    indexed.SetPixelIndex(0, 0, 1);
    indexed.SetPixelIndex(1, 0, 2);
    indexed.SelectionAddRect(0, 0, 1, 1);
    indexed.AlphaStrip();
    EXPECT_EQ(indexed.GetBpp(), 24);
    EXPECT_TRUE(SameColor(indexed.GetPixelColor(0, 0), Quad(200, 100, 50)));
    EXPECT_TRUE(SameColor(indexed.GetPixelColor(1, 0), Quad(40, 20, 10)));
    EXPECT_TRUE(indexed.SelectionIsInside(0, 0)); // the selection survives
    EXPECT_FALSE(indexed.SelectionIsInside(1, 0));

    // Nothing to strip: nothing happens.
    CLvImage plain(2, 1, 8);
    FillPattern(plain, 4);
    CLvImage before(plain);
    plain.AlphaStrip();
    EXPECT_EQ(plain.GetBpp(), 8);
    EXPECT_TRUE(SamePicture(plain, before));
}

} // namespace
