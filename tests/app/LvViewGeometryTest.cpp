#include "view/LvViewGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

LvViewInput Input(int iw, int ih, float zoom, int mode, int cw, int ch) {
    LvViewInput in;
    in.imageW = iw;
    in.imageH = ih;
    in.zoom = zoom;
    in.fitMode = mode;
    in.clientW = cw;
    in.clientH = ch;
    return in;
}

TEST(LvViewGeometry, FitModes) {
    struct Case {
        int iw, ih;
        float zoom;
        int mode, cw, ch;
        int x, y, w, h;
        float fit;
        int sw, sh;
    } cases[] = {
        {400, 200, 1.0f, kLvFitImage, 300, 300, 0, 75, 300, 150, 0.75f, 300, 150},
        {400, 200, 1.0f, kLvFitWidth, 300, 100, 0, 0, 300, 150, 0.75f, 300, 150}, // taller than the client
        {200, 400, 1.0f, kLvFitImage, 300, 300, 75, 0, 150, 300, 0.75f, 150, 300},
        {200, 400, 1.0f, kLvFitHeight, 300, 200, 100, 0, 100, 200, 0.5f, 100, 200},
        {400, 200, 2.0f, kLvFitSize, 300, 300, 0, 0, 800, 400, 1.0f, 800, 400},
        {100, 50, 1.0f, kLvFitSize, 300, 300, 100, 125, 100, 50, 1.0f, 100, 50},
        {400, 200, 1.0f, kLvFitScreen, 300, 300, 0, 0, 300, 300, 0.0f, 300, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        LvLayout l = LvComputeLayout(Input(c.iw, c.ih, c.zoom, c.mode, c.cw, c.ch));
        EXPECT_EQ(l.drawX, c.x);
        EXPECT_EQ(l.drawY, c.y);
        EXPECT_EQ(l.drawW, c.w);
        EXPECT_EQ(l.drawH, c.h);
        EXPECT_FLOAT_EQ(l.fitFactor, c.fit);
        EXPECT_EQ(l.scrollW, c.sw);
        EXPECT_EQ(l.scrollH, c.sh);
    }
    LvLayout empty = LvComputeLayout(Input(0, 0, 1.0f, kLvFitImage, 300, 300));
    EXPECT_EQ(empty.drawW, 0);
}

TEST(LvViewGeometry, FullScreenFitSizeHidesTheBarOfAScreenSizedSide) {
    LvViewInput in = Input(1280, 700, 1.0f, kLvFitSize, 1280, 1024);
    in.fullScreen = true;
    in.screenW = 1280;
    in.screenH = 1024;
    LvLayout l = LvComputeLayout(in);
    EXPECT_EQ(l.scrollW, 0);
    EXPECT_EQ(l.scrollH, 700);
}

TEST(LvViewGeometry, ZoomSteps) {
    float zoom = 1.0f;
    for (int i = 0; i < 8; i++)
        zoom = LvZoomIn(zoom);
    EXPECT_NEAR(zoom, 4.2998f, 1e-3);
    zoom = LvZoomIn(15.0f);
    EXPECT_FLOAT_EQ(zoom, 18.0f);
    EXPECT_FALSE(LvCanZoomIn(kLvFitSize, zoom));
    EXPECT_FLOAT_EQ(LvZoomIn(zoom), zoom);
    EXPECT_FALSE(LvCanZoomOut(kLvFitSize, 0.125f));
    EXPECT_LT(LvZoomOut(0.125f), 0.125f); // the command still acts above 0.0625
    EXPECT_FLOAT_EQ(LvZoomOut(0.0625f), 0.0625f);
    EXPECT_TRUE(LvCanZoomOut(kLvFitSize, 0.2f));
    EXPECT_FALSE(LvCanZoomIn(kLvFitImage, 1.0f));
    EXPECT_FALSE(LvCanNormalView(kLvFitScreen, 2.0f));
    EXPECT_FALSE(LvCanNormalView(kLvFitSize, 1.0f));
    EXPECT_TRUE(LvCanNormalView(kLvFitImage, 2.0f));
}

TEST(LvViewGeometry, WindowAndImageMappingFollowTheDrawing) {
    struct Case {
        int iw, ih;
        float zoom;
        int mode, cw, ch, sx, sy;
    } cases[] = {
        {400, 200, 1.0f, kLvFitImage, 300, 300, 0, 0},  {400, 200, 2.0f, kLvFitImage, 300, 300, 0, 0},
        {400, 200, 2.0f, kLvFitSize, 300, 300, 40, 30}, {400, 200, 1.0f, kLvFitScreen, 300, 300, 0, 0},
        {100, 80, 1.0f, kLvFitSize, 300, 300, 0, 0},    {400, 200, 1.0f, kLvFitWidth, 300, 100, 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode * 10 + int(c.zoom));
        LvViewInput in = Input(c.iw, c.ih, c.zoom, c.mode, c.cw, c.ch);
        LvLayout l = LvComputeLayout(in);
        // The picture's corners map to the drawn rectangle's corners.
        LvPoint tl = LvImageToWindow(in, l, 0, 0, c.sx, c.sy);
        EXPECT_EQ(tl.x, l.drawX - c.sx);
        EXPECT_EQ(tl.y, l.drawY - c.sy);
        LvPoint br = LvImageToWindow(in, l, c.iw, c.ih, c.sx, c.sy);
        EXPECT_NEAR(br.x, l.drawX + l.drawW - c.sx, 1);
        EXPECT_NEAR(br.y, l.drawY + l.drawH - c.sy, 1);
        // Every drawn window pixel lies within the window span of the image pixel it maps to.
        for (int qx : {l.drawX, l.drawX + l.drawW / 3, l.drawX + l.drawW - 1}) {
            for (int qy : {l.drawY, l.drawY + l.drawH / 2, l.drawY + l.drawH - 1}) {
                const int px = qx - c.sx, py = qy - c.sy;
                LvPoint p = LvWindowToImage(in, l, px, py, c.sx, c.sy);
                EXPECT_GE(p.x, 0);
                EXPECT_LT(p.x, c.iw);
                EXPECT_GE(p.y, 0);
                EXPECT_LT(p.y, c.ih);
                LvPoint a = LvImageToWindow(in, l, p.x, p.y, c.sx, c.sy);
                LvPoint b = LvImageToWindow(in, l, p.x + 1, p.y + 1, c.sx, c.sy);
                EXPECT_LE(a.x, px);
                EXPECT_LE(a.y, py);
                EXPECT_GE(b.x + 1, px);
                EXPECT_GE(b.y + 1, py);
            }
        }
    }
}

TEST(LvViewGeometry, ChildClientSize) {
    int w, h;
    LvChildClientSize(100, 50, 500, 400, w, h);
    EXPECT_EQ(w, 104);
    EXPECT_EQ(h, 54);
    LvChildClientSize(1000, 800, 500, 400, w, h);
    EXPECT_EQ(w, 504);
    EXPECT_EQ(h, 404);
}

TEST(LvViewGeometry, RectangleOutlineGoesRoundInOrder) {
    std::vector<LvPoint> p = LvRectOutline(2, 5, 4, 6);
    // top 2..4 at 5, right 5..6 at 4, bottom 4..2 at 6, left 6..5 at 2
    const int expected[][2] = {{2, 5}, {3, 5}, {4, 5}, {4, 5}, {4, 6}, {4, 6}, {3, 6}, {2, 6}, {2, 6}, {2, 5}};
    ASSERT_EQ(p.size(), 10u);
    for (size_t i = 0; i < p.size(); i++) {
        EXPECT_EQ(p[i].x, expected[i][0]) << i;
        EXPECT_EQ(p[i].y, expected[i][1]) << i;
    }
}

TEST(LvViewGeometry, OutlinesStayWithinTheCapacityAndStillGoRound) {
    struct Case {
        bool ellipse;
        int l, t, r, b;
    } cases[] = {{false, 0, 0, 5000, 3000},
                 {false, 0, 0, 1 << 27, 1 << 26},
                 {true, 0, 0, 9000, 100},
                 {true, 0, 0, 1 << 27, 4000}};
    for (const Case& c : cases) {
        std::vector<LvPoint> p = c.ellipse ? LvEllipseOutline(c.l, c.t, c.r, c.b) : LvRectOutline(c.l, c.t, c.r, c.b);
        EXPECT_LE(p.size(), size_t(kLvMaxOutline));
        EXPECT_GT(p.size(), size_t(kLvMaxOutline) / 2);
        int minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
        for (const LvPoint& q : p) {
            minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
            minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
        }
        EXPECT_LE(minX - c.l, (c.r - c.l) / 100 + 1);
        EXPECT_LE(c.r - maxX, (c.r - c.l) / 100 + 1);
        EXPECT_LE(minY - c.t, (c.b - c.t) / 50 + 1);
        EXPECT_LE(c.b - maxY, (c.b - c.t) / 50 + 1);
    }
}

TEST(LvViewGeometry, EllipseOutline) {
    EXPECT_TRUE(LvEllipseOutline(0, 0, 1, 10).empty()); // a = 0
    EXPECT_TRUE(LvEllipseOutline(0, 0, 10, 1).empty()); // b = 0
    std::vector<LvPoint> p = LvEllipseOutline(0, 0, 10, 6);
    ASSERT_EQ(p.size(), 20u); // 4a
    EXPECT_EQ(p[0].x, 0);
    EXPECT_EQ(p[0].y, 3); // the left end sits on the centre row
    EXPECT_EQ(p[5].x, 5);
    EXPECT_EQ(p[5].y, 0); // the top of the ellipse
    EXPECT_EQ(p[10].x, 10);
    EXPECT_EQ(p[15].x, 5);
    EXPECT_EQ(p[15].y, 6); // the bottom
}

} // namespace
