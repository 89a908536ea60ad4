#include "app/LvImageCommands.h"

#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

TEST(LvImageCommands, EveryPopupNameIsATableOperationAndEveryCommandHasAPlace) {
    std::map<std::string, int> placed;
    for (const LvCommandPopup& popup : LvCommandPopups())
        for (const char* name : popup.names) {
            if (!*name) continue;
            EXPECT_NE(LvFindOperation(name), nullptr) << name;
            placed[name]++;
        }
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++) {
        if (!table[i].commandId) continue;
        EXPECT_EQ(placed[table[i].name], 1) << table[i].name;
    }
}

// Every command of the table is in the menus; those with a dialog reach the worker through it.
TEST(LvImageCommands, EveryTableCommandIsAMenuCommand) {
    struct Case {
        int id;
        bool menu;
        bool worker;
    } cases[] = {
        {ID_TRANS_MIRROR, true, true},
        {ID_ADJUST_CORRECT_HISTOGRAM, true, true},
        {ID_ADJUST_PSEUDO_COLORS, true, false}, // runs directly
        {ID_TRANS_CROP, true, false},           // runs directly, on the selection's box
        {ID_PHOTO_FRAME, true, false},          // through its picture dialog
        {ID_TRANS_ROTATE, true, false},         // through its dialog
        {ID_TRANS_RESIZE, true, false},         // through its dialog
        {12345, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(LvFindMenuOperation(c.id) != nullptr, c.menu);
        int command = 0;
        LvOpParams params;
        EXPECT_EQ(LvWorkerCommandFor(c.id, command, params), c.worker);
        if (c.worker) {
            EXPECT_EQ(command, c.id);
        }
    }
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++)
        if (table[i].commandId) {
            EXPECT_NE(LvFindMenuOperation(table[i].commandId), nullptr) << table[i].name;
        }
}

TEST(LvImageCommands, DepthCommandsGoToTheWorkerAsOneCommand) {
    struct Case {
        int id, depth;
    } cases[] = {{ID_COLOR_2, 1}, {ID_COLOR_16, 4}, {ID_COLOR_256, 8}, {ID_COLOR_TRUE, 24}};
    for (const Case& c : cases) {
        int command = 0;
        LvOpParams params;
        params.p[1] = 99;
        ASSERT_TRUE(LvWorkerCommandFor(c.id, command, params));
        EXPECT_EQ(command, kLvCmdColorDepth);
        EXPECT_EQ(params.p[0], c.depth);
        EXPECT_EQ(params.p[1], 0);
    }
}

TEST(LvImageCommands, ColourDepthUpDownAndEqual) {
    for (int from : {1, 4, 8, 24}) {
        for (int to : {1, 4, 8, 24}) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            CLvImage image(13, 7, from);
            FillPattern(image, unsigned(from * 3 + to));
            CLvImage before(image);
            LvOpParams params;
            params.p[0] = to;
            EXPECT_TRUE(LvRunImageCommand(kLvCmdColorDepth, params, image, LvOpContext()));
            EXPECT_EQ(image.GetBpp(), to);
            EXPECT_EQ(image.GetWidth(), 13);
            if (to == from) {
                EXPECT_TRUE(SamePicture(image, before));
            }
            if (to > from) {
                // More bits keep every colour.
                for (int y = 0; y < 7; y++)
                    for (int x = 0; x < 13; x++)
                        ASSERT_TRUE(SameColor(image.GetPixelColor(x, y), before.GetPixelColor(x, y))) << x << "," << y;
            }
        }
    }
}

TEST(LvImageCommands, DispatchRunsTheTableOperation) {
    CLvImage image(5, 3, 24);
    FillPattern(image, 7);
    CLvImage expected(image);
    expected.Mirror();
    EXPECT_TRUE(LvRunImageCommand(ID_TRANS_MIRROR, LvOpParams(), image, LvOpContext()));
    EXPECT_TRUE(SamePicture(image, expected));
    CLvImage unchanged(image);
    EXPECT_FALSE(LvRunImageCommand(4242, LvOpParams(), image, LvOpContext()));
    EXPECT_TRUE(SamePicture(image, unchanged));
}

TEST(LvImageCommands, DirectCropTakesTheSelectionBoxOthersNothing) {
    CLvImage image(40, 30, 24);
    const LvOperation* crop = LvFindMenuOperation(ID_TRANS_CROP);
    const LvOperation* pseudo = LvFindMenuOperation(ID_ADJUST_PSEUDO_COLORS);
    ASSERT_TRUE(crop && pseudo);
    LvOpParams params;
    params.p[0] = 7;
    EXPECT_FALSE(LvDirectParams(*crop, image, params)) << "no selection";
    image.SelectionAddRect(5, 20, 15, 8); // rows 8..19 counted from the bottom
    ASSERT_TRUE(LvDirectParams(*crop, image, params));
    // Edges counted from the top: rows 10..21.
    EXPECT_EQ(params.p[0], 5);
    EXPECT_EQ(params.p[1], 10);
    EXPECT_EQ(params.p[2], 15);
    EXPECT_EQ(params.p[3], 22);
    params.p[0] = 7;
    EXPECT_TRUE(LvDirectParams(*pseudo, image, params));
    EXPECT_EQ(params.p[0], 0);
}

} // namespace
