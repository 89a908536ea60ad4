#include "app/LvEffectConfig.h"

#include <gtest/gtest.h>

namespace {

TEST(LvEffectConfig, FirstUseGivesTheDefaultsAndWritesInTableOrder) {
    CLvMemorySettings settings;
    CLvEffectConfig light("Adjust Light");
    light.Read(settings);
    EXPECT_EQ(light.Number("Light"), 100);
    EXPECT_EQ(light.Number("Contrast"), 0);
    CLvEffectConfig erase("Erase Edge");
    erase.Read(settings);
    for (const char* side : {"Left", "Top", "Right", "Down"})
        EXPECT_EQ(erase.Number(side), -10) << side;
    CLvEffectConfig thumbnail("Thumbnail");
    thumbnail.Read(settings);
    EXPECT_EQ(thumbnail.Text("Mark"), "");
    EXPECT_EQ(thumbnail.Number("Percentage"), 50);

    light.SetNumber("Light", 140);
    light.SetNumber("Contrast", -30);
    light.Write(settings);
    EXPECT_EQ(settings.ReadNumber("Effect Config\\Adjust Light", "Light", 0), 140);
    EXPECT_EQ(settings.ReadNumber("Effect Config\\Adjust Light", "Contrast", 0), -30);
    CLvEffectConfig again("Adjust Light");
    again.Read(settings);
    EXPECT_EQ(again.Number("Light"), 140);
    EXPECT_EQ(again.Number("Contrast"), -30);
    // Only the values of the section are written.
    EXPECT_EQ(settings.Count(), 2u);
}

TEST(LvEffectConfig, StoredValuesOutsideTheRangeTakeTheNearerEnd) {
    CLvMemorySettings settings;
    settings.WriteNumber("Effect Config\\Rotate", "Angle", 720);
    settings.WriteNumber("Effect Config\\Adjust RGB", "Red", -100000);
    settings.WriteNumber("Effect Config\\Mosaic", "Radius", 0);
    CLvEffectConfig rotate("Rotate"), rgb("Adjust RGB"), mosaic("Mosaic");
    rotate.Read(settings);
    rgb.Read(settings);
    mosaic.Read(settings);
    EXPECT_EQ(rotate.Number("Angle"), 360);
    EXPECT_EQ(rgb.Number("Red"), -100);
    EXPECT_EQ(mosaic.Number("Radius"), 1);
    rotate.SetNumber("Angle", -5);
    EXPECT_EQ(rotate.Number("Angle"), 0);
}

// Every value names an operation argument that exists, and every effect's values are read the same way the
// operation's words are: the stored values give the same parameters as the command line with the same
// numbers.
TEST(LvEffectConfig, StoredValuesGiveTheOperationsParameters) {
    for (const LvConfigValue& row : LvEffectConfigTable()) {
        if (!row.operation) continue;
        const LvOperation* op = LvFindOperation(row.operation);
        ASSERT_NE(op, nullptr) << row.operation;
        ASSERT_NE(op->args[row.argument].name, nullptr) << row.effect << " " << row.name;
    }
    CLvImage image(640, 480, 24);
    const struct {
        const char* effect;
        std::vector<std::pair<const char*, int32_t>> values;
        const char* operation;
        LvOpParams want;
    } cases[] = {
        // Light less 100, as a signed low byte; the contrast as it is.
        {"Adjust Light", {{"Light", 150}, {"Contrast", -20}}, "light", {{50, -20, 0, 0}}},
        {"Adjust Light", {{"Light", 0}, {"Contrast", 100}}, "light", {{-100, 100, 0, 0}}},
        // Hundredths to thousandths.
        {"Adjust Gamma", {{"Gamma", 150}}, "gamma", {{1500, 0, 0, 0}}},
        // Stored negative, passed as stored.
        {"Erase Edge", {{"Left", -3}, {"Top", -4}, {"Right", -5}, {"Down", -6}}, "erase-edge", {{-3, -4, -5, -6}}},
        {"Add Edge", {{"Left", 1}, {"Top", 2}, {"Right", 3}, {"Down", 4}}, "add-edge", {{1, 2, 3, 4}}},
        {"Stripe", {{"Swing", 40}, {"Frequency", 20}, {"Horizon", 1}}, "stripe", {{40, 20, 1, 0}}},
        {"Adjust HSL", {{"Hue", -1}, {"Saturation", 5}, {"Light", 6}}, "hsl", {{255, 5, 6, 0}}},
        // Half of 640 x 480 is 320 x 240.
        {"Resize", {{"Type", 1}, {"Percentage", 50}, {"InterpolationType", 3}}, "resize", {{320, 240, 3, 0}}},
        {"Resize",
         {{"Type", 0}, {"Width", 100}, {"Height", 70}, {"InterpolationType", 1}},
         "resize",
         {{100, 70, 1, 0}}},
        {"LocalThreshold", {{"Method", 2}, {"Kernal", 7}, {"Constant", 12}}, "local-threshold", {{2, 7, 12, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.effect);
        CLvEffectConfig config(c.effect);
        for (const auto& v : c.values)
            config.SetNumber(v.first, v.second);
        const LvOperation* op = LvFindOperation(c.operation);
        ASSERT_NE(op, nullptr);
        EXPECT_EQ(LvEffectOfOperation(c.operation), c.effect);
        LvArgValue args[4];
        ASSERT_TRUE(LvArgsFromConfig(*op, config, args));
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvEncodeOperation(*op, args, &image, params, error)) << error;
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(params.p[i], c.want.p[i]) << "p" << i;
    }
    // A resize to nothing is refused with a reason.
    CLvEffectConfig empty("Resize");
    LvArgValue args[4];
    LvArgsFromConfig(*LvFindOperation("resize"), empty, args);
    LvOpParams params;
    std::string error;
    EXPECT_FALSE(LvEncodeOperation(*LvFindOperation("resize"), args, &image, params, error));
    EXPECT_NE(error.find("not possible"), std::string::npos) << error;
}

} // namespace
