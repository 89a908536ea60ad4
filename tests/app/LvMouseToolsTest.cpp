#include "view/LvMouseTools.h"
#include "image/LvImage.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(LvMouseTools, ReadOutTexts) {
    struct Case {
        BYTE r, g, b;
        int x, y;
        const char *wantI, *wantX, *wantY;
    } cases[] = {
        {10, 20, 31, 3, 4, "20", "3", "4"}, // 61 / 3 truncates to 20
        {0, 0, 0, 0, 0, "0", "0", "0"},         {255, 255, 255, 1999, 7, "255", "1999", "7"},
        {255, 255, 254, 5, 6, "254", "5", "6"}, {1, 1, 0, 12, 34, "0", "12", "34"},
    };
    for (const Case& c : cases) {
        RGBQUAD color = {c.b, c.g, c.r, 0};
        const LvReadout out = LvMakeReadout(color, c.x, c.y);
        EXPECT_EQ(out.r, std::to_string(c.r));
        EXPECT_EQ(out.g, std::to_string(c.g));
        EXPECT_EQ(out.b, std::to_string(c.b));
        EXPECT_EQ(out.i, c.wantI) << int(c.r) << "," << int(c.g) << "," << int(c.b);
        EXPECT_EQ(out.x, c.wantX);
        EXPECT_EQ(out.y, c.wantY);
    }
}

TEST(LvMouseTools, InsideTheImage) {
    EXPECT_TRUE(LvInsideImage(0, 0, 10, 5));
    EXPECT_TRUE(LvInsideImage(9, 4, 10, 5));
    EXPECT_FALSE(LvInsideImage(10, 4, 10, 5));
    EXPECT_FALSE(LvInsideImage(9, 5, 10, 5));
    EXPECT_FALSE(LvInsideImage(-1, 0, 10, 5));
    EXPECT_FALSE(LvInsideImage(0, -1, 10, 5));
}

// A rubber band dragged in any of the four directions spans the same box and selects the same pixels.
TEST(LvMouseTools, BandInEveryDirectionSelectsTheSame) {
    const LvPoint topLeft = {3, 2}, bottomRight = {11, 7};
    const LvPoint topRight = {11, 2}, bottomLeft = {3, 7};
    const std::pair<LvPoint, LvPoint> drags[] = {
        {topLeft, bottomRight}, {bottomRight, topLeft}, {topRight, bottomLeft}, {bottomLeft, topRight}};
    std::vector<BYTE> first;
    for (const auto& drag : drags) {
        const LvBox box = LvBandBox(drag.first, drag.second);
        EXPECT_EQ(box.left, 3);
        EXPECT_EQ(box.top, 2);
        EXPECT_EQ(box.right, 11);
        EXPECT_EQ(box.bottom, 7);
        CLvImage image;
        ASSERT_NE(image.Create(16, 10, 24), nullptr);
        ASSERT_TRUE(image.SelectionCreate());
        const int h = image.GetHeight();
        ASSERT_TRUE(image.SelectionAddRect(box.left, h - box.top, box.right, h - box.bottom));
        std::vector<BYTE> mask;
        int selected = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < image.GetWidth(); x++) {
                const bool in = image.SelectionIsInside(x, y);
                mask.push_back(in ? 1 : 0);
                selected += in ? 1 : 0;
            }
        // Columns 3..10, top-down rows 2..6 (bottom-up rows 3..7).
        EXPECT_EQ(selected, 8 * 5);
        EXPECT_TRUE(image.SelectionIsInside(3, h - 1 - 2));
        EXPECT_TRUE(image.SelectionIsInside(10, h - 1 - 6));
        EXPECT_FALSE(image.SelectionIsInside(11, h - 1 - 6));
        EXPECT_FALSE(image.SelectionIsInside(3, h - 1 - 7));
        if (first.empty())
            first = mask;
        else
            EXPECT_EQ(mask, first);
    }
    EXPECT_TRUE(LvBandBox({5, 5}, {5, 9}).Empty());
    EXPECT_TRUE(LvBandBox({5, 5}, {9, 5}).Empty());
    EXPECT_FALSE(LvBandBox({5, 5}, {6, 6}).Empty());
}

TEST(LvMouseTools, FreehandOutlineStopsGrowingAtItsLimit) {
    std::vector<LvPoint> outline;
    for (int i = 0; i < kLvMaxFreehandPoints; i++)
        LvAddFreehandPoint(outline, {i % 100, i / 100});
    ASSERT_EQ(int(outline.size()), 7998);
    EXPECT_EQ(outline.back().x, 7997 % 100);
    LvAddFreehandPoint(outline, {1, 2});
    LvAddFreehandPoint(outline, {3, 4});
    EXPECT_EQ(int(outline.size()), 7998);
    EXPECT_EQ(outline.back().x, 3);
    EXPECT_EQ(outline.back().y, 4);
    EXPECT_EQ(outline[7996].x, 7996 % 100) << "only the last point is replaced";
    // Closed, it fits the view's outline store.
    EXPECT_LE(int(LvFreehandPolygon(outline, 100).size()), kLvMaxOutline);
}

TEST(LvMouseTools, FreehandPolygonInTheImagesRows) {
    EXPECT_TRUE(LvFreehandPolygon({{1, 1}, {5, 1}}, 10).empty()) << "fewer than three points select nothing";
    const std::vector<LvPoint> poly = LvFreehandPolygon({{1, 1}, {8, 1}, {8, 6}}, 10);
    ASSERT_EQ(poly.size(), 4u);
    EXPECT_EQ(poly[0].y, 8);
    EXPECT_EQ(poly[2].y, 3);
    EXPECT_EQ(poly[3].x, poly[0].x);
    EXPECT_EQ(poly[3].y, poly[0].y);
    CLvImage image;
    ASSERT_NE(image.Create(10, 10, 24), nullptr);
    ASSERT_TRUE(image.SelectionCreate());
    std::vector<POINT> points;
    for (const LvPoint& p : poly)
        points.push_back({p.x, p.y});
    ASSERT_TRUE(image.SelectionAddPolygon(points.data(), int(points.size())));
    EXPECT_TRUE(image.SelectionIsInside(7, 10 - 1 - 2));  // inside the triangle near its right angle
    EXPECT_FALSE(image.SelectionIsInside(2, 10 - 1 - 5)); // left of its long edge
}

TEST(LvMouseTools, DragScroll) {
    EXPECT_EQ(LvDragScroll(40, 100, 70, 800, 300), 70);  // pointer moved left: the view scrolls right
    EXPECT_EQ(LvDragScroll(40, 100, 130, 800, 300), 10); // and back
    EXPECT_EQ(LvDragScroll(40, 100, 20, 200, 300), 0);   // picture narrower than the client
    EXPECT_EQ(LvDragScroll(0, 100, 20, 300, 300), 80);   // exactly as wide scrolls (clamped by the view)
}

TEST(LvMouseTools, ZoomAboutThePointerKeepsThePointUnderIt) {
    // At scale 1 with scroll 100 the pointer at 50 is over picture column 150; at scale 2 that column is
    // drawn at 300, so the scroll becomes 250.
    EXPECT_EQ(LvScrollKeepingPoint(100, 50, 0, 1.0f, 0, 2.0f), 250);
    // A centred picture (drawn at 20) that grows past the client (drawn at 0): column 80 goes to 160.
    EXPECT_EQ(LvScrollKeepingPoint(0, 100, 20, 1.0f, 0, 2.0f), 60);
    EXPECT_EQ(LvScrollKeepingPoint(30, 150, 0, 0.0f, 0, 1.2f), 30) << "no scale, no change";
}

} // namespace
