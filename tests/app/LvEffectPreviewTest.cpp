#include "app/LvEffectPreview.h"

#include "LvTestUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(LvEffectPreview, ScaledDownInItsOwnDepthWithItsSelection) {
    for (int bpp : {1, 4, 8, 24}) {
        SCOPED_TRACE(bpp);
        CLvImage image(600, 400, bpp);
        FillPattern(image, unsigned(bpp));
        ASSERT_TRUE(image.SelectionCreate());
        ASSERT_TRUE(image.SelectionAddRect(100, 300, 300, 100));
        CLvImage preview;
        ASSERT_TRUE(LvMakePreview(image, 150, 110, preview));
        EXPECT_EQ(preview.GetWidth(), 150);
        EXPECT_EQ(preview.GetHeight(), 100);
        EXPECT_EQ(preview.GetBpp(), bpp);
        // Every preview pixel is the picture's pixel at the same place.
        for (int y = 0; y < 100; y += 7)
            for (int x = 0; x < 150; x += 11)
                ASSERT_TRUE(SameColor(preview.GetPixelColor(x, y), image.GetPixelColor(x * 4 + 2, y * 4 + 2)))
                    << x << "," << y;
        ASSERT_NE(preview.pSelection, nullptr);
        EXPECT_TRUE(preview.SelectionIsInside(50, 50));
        EXPECT_FALSE(preview.SelectionIsInside(10, 10));
        EXPECT_EQ(preview.info.rcSelection.left, 25);
        EXPECT_EQ(preview.info.rcSelection.right, 75);
    }
    // Small pictures keep their size.
    CLvImage small(40, 30, 24), preview;
    ASSERT_TRUE(LvMakePreview(small, 150, 110, preview));
    EXPECT_EQ(preview.GetWidth(), 40);
    EXPECT_FALSE(LvMakePreview(CLvImage(), 150, 110, preview));
}

// Distances in pixels shrink with the preview: a margin of 40 pixels is 10 on a quarter-size preview.
TEST(LvEffectPreview, PixelArgumentsFollowTheScale) {
    CLvImage source(50, 40, 24);
    FillPattern(source, 3);
    const LvOperation* addEdge = LvFindOperation("add-edge");
    ASSERT_NE(addEdge, nullptr);
    LvArgValue args[4];
    for (LvArgValue& a : args) {
        a.value = 40;
        a.given = true;
    }
    CLvImage out;
    ASSERT_TRUE(LvRunPreview(*addEdge, args, source, 0.25, LvOpContext(), out));
    EXPECT_EQ(out.GetWidth(), 70);
    EXPECT_EQ(out.GetHeight(), 60);
    // Arguments that are no distances stay as they are.
    const LvOperation* threshold = LvFindOperation("threshold");
    LvArgValue level[4];
    level[0].value = 128;
    level[0].given = true;
    CLvImage thresholded, expected(source);
    ASSERT_TRUE(LvRunPreview(*threshold, level, source, 0.25, LvOpContext(), thresholded));
    ASSERT_TRUE(expected.Threshold(128));
    EXPECT_TRUE(SamePicture(thresholded, expected));
}

} // namespace
