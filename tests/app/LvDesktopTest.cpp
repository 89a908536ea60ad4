#include "acquire/LvDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

TEST(Desktop, WallpaperValuesPerStyle) {
    struct Case {
        int style;
        std::string wallpaperStyle, tile;
    } cases[] = {{kLvWallpaperCentered, "0", "0"}, {kLvWallpaperTiled, "0", "1"}, {kLvWallpaperStretched, "2", "0"}};
    for (const Case& c : cases) {
        LvWallpaperValues v = LvWallpaperValuesFor(c.style);
        EXPECT_EQ(v.wallpaperStyle, c.wallpaperStyle) << c.style;
        EXPECT_EQ(v.tileWallpaper, c.tile) << c.style;
    }
}

TEST(Desktop, AssociationTableAndValues) {
    ASSERT_EQ(kLvAssociationCount, 12);
    std::set<int> controls;
    for (int i = 0; i < kLvAssociationCount; i++) {
        const LvAssociation& a = kLvAssociations[i];
        // The key is the box's extension in lower case.
        std::string lower = a.label;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        EXPECT_EQ(lower, a.extension);
        controls.insert(a.controlId);
    }
    EXPECT_EQ(controls.size(), 12u);
    EXPECT_STREQ(kLvAssociations[5].label, ".JPG");
    EXPECT_EQ(kLvAssociations[5].iconIndex, 19);
    EXPECT_EQ(LvAssocIconValue("C:\\P\\Lumivue.exe", 19), "C:\\P\\Lumivue.exe,19");
    EXPECT_EQ(LvAssocCommandValue("C:\\P\\Lumivue.exe"), "C:\\P\\Lumivue.exe %1");
}

TEST(Desktop, OnlyOurOwnCommandsAreOurs) {
    const std::string program = "C:\\Program Files\\Lumivue\\Lumivue.exe";
    EXPECT_TRUE(LvAssociationIsOurs(program + " %1", program));
    EXPECT_TRUE(LvAssociationIsOurs("c:\\program files\\lumivue\\LUMIVUE.EXE %1", program));
    EXPECT_TRUE(LvAssociationIsOurs("\"" + program + "\" \"%1\"", program));
    EXPECT_TRUE(LvAssociationIsOurs(program, program));
    EXPECT_FALSE(LvAssociationIsOurs("C:\\Other\\viewer.exe %1", program));
    EXPECT_FALSE(LvAssociationIsOurs(program + "x %1", program));       // a longer name
    EXPECT_FALSE(LvAssociationIsOurs("\"" + program + " %1", program)); // an unclosed quote
    EXPECT_FALSE(LvAssociationIsOurs("", program));
    EXPECT_FALSE(LvAssociationIsOurs("anything", ""));
}

TEST(Desktop, SlideOrders) {
    auto never = [](int) { return 0; };
    EXPECT_EQ(LvSlideOrder(3, kLvSlideCorrect, never), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(LvSlideOrder(3, kLvSlideReverse, never), (std::vector<int>{2, 1, 0}));
    EXPECT_TRUE(LvSlideOrder(0, kLvSlideRandom, never).empty());
    // A random order is a permutation; a random source out of range cannot break it.
    std::mt19937 rng(7);
    std::vector<int> random = LvSlideOrder(50, kLvSlideRandom, [&](int n) { return int(rng() % unsigned(n)); });
    std::vector<int> sorted = random;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 50; i++)
        EXPECT_EQ(sorted[size_t(i)], i);
    EXPECT_NE(random, LvSlideOrder(50, kLvSlideCorrect, never));
    std::vector<int> wild = LvSlideOrder(5, kLvSlideRandom, [](int n) { return n * 3 - 100; });
    std::sort(wild.begin(), wild.end());
    EXPECT_EQ(wild, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(Desktop, SlideStepsWrapAndStop) {
    // Three slides without repetition: 0, 1, 2, then the show stops with the index back at 0.
    int index = 0;
    std::vector<int> shown;
    bool stopped = false;
    while (!stopped) {
        LvSlideStep step = LvSlideAdvance(index, 3, false);
        shown.push_back(step.slide);
        index = step.nextIndex;
        stopped = step.stop;
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(index, 0);
    // With repetition the last slide wraps and the show goes on.
    LvSlideStep wrap = LvSlideAdvance(2, 3, true);
    EXPECT_EQ(wrap.slide, 2);
    EXPECT_EQ(wrap.nextIndex, 0);
    EXPECT_FALSE(wrap.stop);
    // An index left by a longer list starts again at the first slide.
    LvSlideStep stale = LvSlideAdvance(7, 3, true);
    EXPECT_EQ(stale.slide, 0);
    EXPECT_EQ(stale.nextIndex, 1);
    EXPECT_TRUE(LvSlideAdvance(0, 0, true).stop);
}

TEST(Desktop, SlideDelayAndSlider) {
    EXPECT_EQ(LvSlideDelayClamp(5), kLvSlideMinDelay);
    EXPECT_EQ(LvSlideDelayClamp(int64_t(1) << 40), kLvSlideMaxDelay);
    EXPECT_EQ(LvSlideDelayClamp(2500), 2500);
    EXPECT_EQ(LvSlideSliderPos(2500), 25);
    EXPECT_EQ(LvSlideDelayOfSlider(25), 2500);
    EXPECT_EQ(LvSlideDelayOfSlider(0), kLvSlideMinDelay);
}

} // namespace
