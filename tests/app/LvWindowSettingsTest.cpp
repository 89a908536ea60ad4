#include "app/LvWindowSettings.h"

#include <gtest/gtest.h>

namespace {

TEST(LvWindowSettings, NothingStoredGivesTheDefaults) {
    CLvMemorySettings settings;
    const LvWindowState s = LvReadWindowState(settings);
    EXPECT_FALSE(s.placed);
    EXPECT_TRUE(s.maximized);
    EXPECT_EQ(s.fitMode, 1);
    EXPECT_TRUE(s.toolBar);
    EXPECT_TRUE(s.colorBar);
    EXPECT_EQ(s.foreground, 0x000000u);
    EXPECT_EQ(s.background, 0xFFFFFFu);
}

TEST(LvWindowSettings, RoundTrip) {
    CLvMemorySettings settings;
    LvWindowState s;
    s.placed = true;
    s.left = -20;
    s.top = 30;
    s.right = 900;
    s.bottom = 700;
    s.maximized = false;
    s.fitMode = 3;
    s.toolBar = false;
    s.colorBar = false;
    s.foreground = 0x1F140A;
    s.background = 0x808080;
    ASSERT_TRUE(LvWriteWindowState(settings, s));
    const LvWindowState r = LvReadWindowState(settings);
    EXPECT_TRUE(r.placed);
    EXPECT_EQ(r.left, -20);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right, 900);
    EXPECT_EQ(r.bottom, 700);
    EXPECT_FALSE(r.maximized);
    EXPECT_EQ(r.fitMode, 3);
    EXPECT_FALSE(r.toolBar);
    EXPECT_FALSE(r.colorBar);
    EXPECT_EQ(r.foreground, 0x1F140Au);
    EXPECT_EQ(r.background, 0x808080u);
}

// Damaged or foreign values never give an unusable window.
TEST(LvWindowSettings, OutOfRangeValuesKeepTheDefaults) {
    struct Case {
        const char* name;
        int32_t value;
    } cases[] = {{"Fit Mode", 5}, {"Fit Mode", -1}, {"Foreground", int32_t(0xFF000000u)}, {"Right", 10}};
    for (const Case& c : cases) {
        CLvMemorySettings settings;
        settings.WriteNumber(kLvWindowSection, "Left", 0);
        settings.WriteNumber(kLvWindowSection, "Top", 0);
        settings.WriteNumber(kLvWindowSection, "Right", 800);
        settings.WriteNumber(kLvWindowSection, "Bottom", 600);
        settings.WriteNumber(kLvWindowSection, c.name, c.value);
        const LvWindowState r = LvReadWindowState(settings);
        EXPECT_EQ(r.fitMode, 1) << c.name;
        EXPECT_EQ(r.foreground, 0u) << c.name;
        EXPECT_EQ(r.placed, std::string(c.name) != "Right") << c.name;
    }
    CLvMemorySettings partial;
    partial.WriteNumber(kLvWindowSection, "Left", 0);
    EXPECT_FALSE(LvReadWindowState(partial).placed);
}

} // namespace
