#include "app/LvParamDialogs.h"
#include "app/LvEffectConfig.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// Every command of the table that takes arguments or a picture has a dialog; every dialog control shows a value
// its effect has, within the value's range; the dialog's values give every required argument of its operation.
TEST(LvParamDialogs, EveryDialogMatchesItsEffectAndOperation) {
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++) {
        const LvOperation& op = table[i];
        if (!op.commandId || (op.args[0].name == nullptr && op.input != kLvInputPicture)) continue;
        if (op.input == kLvInputSelectionBox) continue; // Crop takes the selection's box
        EXPECT_NE(LvFindParamDialog(op.commandId), nullptr) << op.name;
    }
    std::set<int> commands;
    for (const LvParamDialog& d : LvParamDialogs()) {
        SCOPED_TRACE(d.effect);
        EXPECT_TRUE(commands.insert(d.command).second);
        const LvOperation* op = LvFindOperation(d.operation);
        ASSERT_NE(op, nullptr);
        EXPECT_EQ(op->commandId, d.command);
        CLvEffectConfig config(d.effect);
        ASSERT_FALSE(config.Rows().empty());
        for (const LvDialogControl& c : d.controls) {
            SCOPED_TRACE(c.value);
            bool found = false;
            for (const LvConfigValue* row : config.Rows())
                found = found || std::string(row->name) == c.value;
            EXPECT_TRUE(found);
            for (int32_t choice : c.choices) {
                EXPECT_GE(choice, config.Min(c.value));
                EXPECT_LE(choice, config.Max(c.value));
            }
        }
        LvArgValue args[4];
        LvArgsFromConfig(*op, config, args);
        for (int a = 0; a < 4 && op->args[a].name; a++) {
            // Feather's shape follows the mouse tool when the dialog opens.
            if (op->args[a].optional || (d.command == ID_PHOTO_FEATHER && a == 1)) continue;
            EXPECT_TRUE(args[a].given) << "argument " << op->args[a].name;
        }
    }
}

TEST(LvParamDialogs, DefaultsOfTheDialogsThatKeepNothing) {
    CLvMemorySettings settings;
    settings.WriteNumber("Effect Config\\Gray Stretch", "First X", 9);
    CLvEffectConfig stretch("Gray Stretch");
    stretch.Read(settings);
    // Always the fixed presets, and OK writes nothing.
    EXPECT_EQ(stretch.Number("First X"), 50);
    EXPECT_EQ(stretch.Number("First Y"), 30);
    EXPECT_EQ(stretch.Number("Second X"), 200);
    EXPECT_EQ(stretch.Number("Second Y"), 220);
    CLvMemorySettings written;
    stretch.Write(written);
    CLvEffectConfig("Feather").Write(written);
    EXPECT_EQ(written.Count(), 0u);
    // The Windy box is not kept either, its radius is.
    CLvEffectConfig windy("Windy");
    windy.SetNumber("Smooth", 1);
    windy.SetNumber("Radius", 7);
    windy.Write(written);
    EXPECT_EQ(written.Count(), 1u);
    EXPECT_EQ(written.ReadNumber("Effect Config\\Windy", "Radius", 0), 7);
}

TEST(LvParamDialogs, FeatherRangeFollowsThePicture) {
    CLvImage image(100, 80, 24);
    ASSERT_TRUE(image.SelectionCreate());
    // Box 10..60 across, 25..70 up: 10 from the left, 25 from the bottom, 40 from the right, 10 from the top.
    ASSERT_TRUE(image.SelectionAddRect(10, 70, 60, 25));
    EXPECT_EQ(LvFeatherLimit(image), 10);
    CLvImage edge(100, 80, 24);
    ASSERT_TRUE(edge.SelectionCreate());
    ASSERT_TRUE(edge.SelectionAddRect(0, 80, 100, 0));
    EXPECT_EQ(LvFeatherLimit(edge), 1);
    CLvEffectConfig feather("Feather");
    feather.SetNumber("Radius", 40);
    feather.SetRange("Radius", 1, 12);
    EXPECT_EQ(feather.Number("Radius"), 12);
    EXPECT_EQ(feather.Max("Radius"), 12);
    feather.SetNumber("Radius", -3);
    EXPECT_EQ(feather.Number("Radius"), 1);
}

} // namespace
