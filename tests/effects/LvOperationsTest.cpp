#include "effects/LvOperations.h"
#include "LvEffectTestUtil.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find(' ', i);
        if (j == std::string::npos) j = text.size();
        if (j > i) words.push_back(text.substr(i, j - i));
        i = j + 1;
    }
    return words;
}

TEST(Operations, TableNamesAndCommandsAreUnique) {
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    ASSERT_GT(count, 0u);
    std::set<std::string> names;
    std::set<int> commands;
    for (size_t i = 0; i < count; i++) {
        const LvOperation& op = table[i];
        EXPECT_TRUE(names.insert(op.name).second) << op.name;
        if (op.commandId) {
            EXPECT_TRUE(commands.insert(op.commandId).second) << op.name;
            EXPECT_EQ(LvFindOperationByCommand(op.commandId), &op);
        }
        for (const char* c = op.name; *c; c++)
            EXPECT_TRUE(islower(*c) || isdigit(*c) || *c == '-') << op.name;
        EXPECT_NE(op.run, nullptr) << op.name;
        EXPECT_EQ(LvFindOperation(op.name), &op);
        // Optional arguments come last, and no choice word can be taken for an operation's name.
        bool optional = false;
        for (const LvOpArg& arg : op.args) {
            if (!arg.name) break;
            EXPECT_TRUE(arg.optional || !optional) << op.name;
            optional = arg.optional;
        }
    }
    EXPECT_EQ(LvFindOperation("no-such-thing"), nullptr);
    EXPECT_EQ(LvFindOperationByCommand(0), nullptr);
}

// Words in the user's units against the parameters the program's worker receives.
struct ParseCase {
    const char* op;
    const char* words;
    int32_t p0, p1, p2, p3;
};

TEST(Operations, WordsBecomeTheWorkersParameters) {
    const ParseCase cases[] = {
        {"mirror", "", 0, 0, 0, 0},
        {"crop", "3 4 10 20", 3, 4, 10, 20},
        {"add-edge", "10 10 10 10", 10, 10, 10, 10},
        {"erase-edge", "10 0 5 1", -10, 0, -5, -1}, // stored negative
        {"light", "-20 50", -20, 50, 0, 0},
        {"light", "100 -100", 100, -100, 0, 0},
        {"hsl", "-100 50 -1", 156, 50, 255, 0}, // low bytes
        {"rgb", "-100 0 100", -100, 0, 100, 0},
        {"gamma", "1", 1000, 0, 0, 0}, // the dialog's 100 hundredths, times ten
        {"gamma", "2.2", 2200, 0, 0, 0},
        {"gamma", "0.05", 50, 0, 0, 0},
        {"gamma", "1.250", 1250, 0, 0, 0},
        {"resize", "100 50", 100, 50, 0, 0},
        {"resize", "100 50 bicubic", 100, 50, 3, 0},
        {"resize", "100 50 2", 100, 50, 2, 0},
        {"resize", "7 9 bilinear", 7, 9, 1, 0},
        {"rotate", "-17", -17, 0, 0, 0},
        {"colorize", "12 50", 12, 50, 0, 0},
        {"gray-stretch", "50 30 200 220", 50, 30, 200, 220},
        {"red-eye", "128", 128, 0, 0, 0},
    };
    for (const ParseCase& c : cases) {
        const LvOperation* op = LvFindOperation(c.op);
        ASSERT_NE(op, nullptr) << c.op;
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvParseOperation(*op, Split(c.words), nullptr, params, error)) << c.op << ": " << error;
        EXPECT_EQ(params.p[0], c.p0) << c.op << " " << c.words;
        EXPECT_EQ(params.p[1], c.p1) << c.op << " " << c.words;
        EXPECT_EQ(params.p[2], c.p2) << c.op << " " << c.words;
        EXPECT_EQ(params.p[3], c.p3) << c.op << " " << c.words;
    }
}

TEST(Operations, WrongWordsAreRefusedWithAReason) {
    const struct {
        const char* op;
        const char* words;
        const char* reason;
    } cases[] = {
        {"mirror", "1", "unexpected \"1\""},
        {"crop", "1 2 3", "BOTTOM is missing"},
        {"crop", "1 2 3 x", "BOTTOM must be"},
        {"crop", "1 2 3 4.5", "BOTTOM must be"},
        {"add-edge", "1 2 3 -4", "BOTTOM must be 0..65536"},
        {"gamma", "0", "GAMMA must be 0.001..5"},
        {"gamma", "1.2345", "GAMMA must be"},
        {"gamma", "6", "GAMMA must be"},
        {"light", "101 0", "BRIGHTNESS must be -100..100"},
        {"resize", "0 5", "W must be"},
        {"resize", "50 50 lanczos", "TYPE must be one of nearest|bilinear|bspline|bicubic, not \"lanczos\""},
        {"resize", "50 lanczos", "TYPE must be one of"},
        {"resize", "50 50 4", "TYPE must be"},
        {"resize", "50% 50 bilinear x", "unexpected \"x\""},
        {"resize", "-5%", "W must be"},
        {"rotate", "12.5", "DEGREES must be"},
        {"hsl", "1 2", "LIGHTNESS is missing"},
    };
    for (const auto& c : cases) {
        const LvOperation* op = LvFindOperation(c.op);
        ASSERT_NE(op, nullptr);
        LvOpParams params;
        std::string error;
        EXPECT_FALSE(LvParseOperation(*op, Split(c.words), nullptr, params, error)) << c.op << " " << c.words;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(Operations, SizesInPercentOrKeepingTheProportions) {
    const LvOperation* resize = LvFindOperation("resize");
    CLvImage image(640, 480, 24);
    const struct {
        const char* words;
        int32_t w, h, type;
    } cases[] = {{"50%", 320, 240, 0},           {"50% bilinear", 320, 240, 1}, {"50% 25%", 320, 120, 0},
                 {"320", 320, 240, 0},           {"100 10%", 100, 48, 0},       {"100%", 640, 480, 0},
                 {"33.3% bspline", 213, 159, 2}, {"1000 bicubic", 1000, 750, 3}};
    for (const auto& c : cases) {
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvParseOperation(*resize, Split(c.words), &image, params, error)) << c.words << ": " << error;
        EXPECT_EQ(params.p[0], c.w) << c.words;
        EXPECT_EQ(params.p[1], c.h) << c.words;
        EXPECT_EQ(params.p[2], c.type) << c.words;
    }
    // A size that rounds to nothing is refused once the picture is known.
    CLvImage tiny(3, 3, 24);
    LvOpParams params;
    std::string error;
    EXPECT_TRUE(LvParseOperation(*resize, Split("10%"), nullptr, params, error));
    EXPECT_FALSE(LvParseOperation(*resize, Split("10%"), &tiny, params, error));
    EXPECT_NE(error.find("0 x 0 is not possible"), std::string::npos) << error;
}

// Each runner does what a direct call of the image operation with the parameters does.
TEST(Operations, RunnersMatchDirectCalls) {
    const struct {
        const char* op;
        const char* words;
        std::function<bool(CLvImage&)> direct;
    } cases[] = {
        {"negative", "", [](CLvImage& i) { return i.Negative(); }},
        {"gray", "", [](CLvImage& i) { return i.GrayScale(); }},
        {"light", "-20 35", [](CLvImage& i) { return i.Light(-20, 35); }},
        {"hsl", "-100 20 -5", [](CLvImage& i) { return i.AdjustHSL(156, 20, -5); }},
        {"rgb", "-100 0 100", [](CLvImage& i) { return i.ShiftRGB(-100, 0, 100); }},
        {"gamma", "2.2", [](CLvImage& i) { return i.Gamma(2.2f); }},
        {"exposure", "", [](CLvImage& i) { return i.Exposure(); }},
        {"correct-histogram", "", [](CLvImage& i) { return i.CorrectHistogram(); }},
        {"gray-stretch", "50 30 200 220", [](CLvImage& i) { return i.GrayStretch(50, 30, 200, 220); }},
        {"colorize", "200 90", [](CLvImage& i) { return i.Colorize(200, 90); }},
        {"sepia", "", [](CLvImage& i) { return i.Colorize(12, 50); }},
        {"pseudo-colors", "", [](CLvImage& i) { return i.GrayScale() && i.HuePalette(1.0f); }},
        {"resize", "20 9 bspline", [](CLvImage& i) { return i.Resample(20, 9, 2); }},
        {"rotate", "17", [](CLvImage& i) { return i.Rotate(17.0f); }},
        {"rotate-180", "", [](CLvImage& i) { return i.Rotate180(); }},
        {"crop", "1 2 8 7", [](CLvImage& i) { return i.Crop(1, 2, 8, 7); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.op);
        CLvImage viaTable = Patterned(13, 11, 24, 3), direct = Patterned(13, 11, 24, 3);
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvParseOperation(*LvFindOperation(c.op), Split(c.words), &viaTable, params, error)) << error;
        ASSERT_TRUE(LvRunOperation(*LvFindOperation(c.op), viaTable, params, LvOpContext()));
        ASSERT_TRUE(c.direct(direct));
        EXPECT_TRUE(SameBytes(viaTable, direct));
    }
    // Pseudo colours leave a grey ramp as it is before the hue ramp.
    CLvImage grey(4, 4, 8);
    grey.SetGrayPalette();
    FillPattern(grey, 1);
    grey.SetGrayPalette();
    CLvImage expected(grey);
    ASSERT_TRUE(expected.HuePalette(1.0f));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("pseudo-colors"), grey, LvOpParams(), LvOpContext()));
    EXPECT_TRUE(SameBytes(grey, expected));
}

TEST(Operations, RunnersCallTheImageOperations) {
    CLvImage image = Patterned(9, 4, 24, 2);
    CLvImage expected(image);
    ASSERT_TRUE(expected.RotateLeft());
    ASSERT_TRUE(expected.Mirror());
    LvOpContext context;
    LvOpParams none;
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("rotate-left"), image, none, context));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("mirror"), image, none, context));
    EXPECT_TRUE(SameBytes(image, expected));

    // Add Edge paints with the foreground colour; Erase Edge cuts.
    context.foreground = Quad(1, 2, 3);
    LvOpParams margins;
    std::string error;
    ASSERT_TRUE(LvParseOperation(*LvFindOperation("add-edge"), Split("2 0 0 0"), &image, margins, error));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("add-edge"), image, margins, context));
    EXPECT_EQ(image.GetWidth(), 6);
    EXPECT_EQ(Rgb(image, 0, 0), 0x010203);
    ASSERT_TRUE(LvParseOperation(*LvFindOperation("erase-edge"), Split("2 0 0 0"), &image, margins, error));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("erase-edge"), image, margins, context));
    EXPECT_TRUE(SameValues(image, expected));

    context.foreground = Quad(9, 8, 7);
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("region-fill"), image, none, context));
    EXPECT_EQ(Rgb(image, 3, 3), 0x090807);
}

TEST(Operations, EnableRules) {
    const LvOperation* mirror = LvFindOperation("mirror");
    const LvOperation* crop = LvFindOperation("crop");
    CLvImage image(4, 4, 24);
    EXPECT_FALSE(LvOperationEnabled(*mirror, nullptr, false, kLvToolMove));
    EXPECT_TRUE(LvOperationEnabled(*mirror, &image, false, kLvToolMove));
    EXPECT_FALSE(LvOperationEnabled(*mirror, &image, true, kLvToolMove)) << "busy";
    EXPECT_FALSE(LvOperationEnabled(*crop, &image, false, kLvToolMove));
    image.SelectionAddRect(0, 0, 2, 2);
    EXPECT_TRUE(LvOperationEnabled(*crop, &image, false, kLvToolMove));
    EXPECT_TRUE(crop->direct);
    EXPECT_EQ(crop->commandId, ID_TRANS_CROP);
}

// An entry's enable rule and mouse tool decide when its menu command is enabled; its input says which
// operations take the selection's box or a second picture.
TEST(Operations, EnableRuleToolAndInputOfEveryEntry) {
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    CLvImage plain(6, 6, 24);
    CLvImage selected(6, 6, 24);
    selected.SelectionAddRect(1, 1, 4, 4);
    std::set<std::string> boxes, pictures, toolBound;
    for (size_t i = 0; i < count; i++) {
        const LvOperation& op = table[i];
        SCOPED_TRACE(op.name);
        for (int tool = kLvToolMove; tool <= kLvToolPickColor; tool++) {
            const bool toolFits = op.tool == kLvToolAny || op.tool == tool;
            EXPECT_EQ(LvOperationEnabled(op, &selected, false, tool), toolFits) << "tool " << tool;
            EXPECT_EQ(LvOperationEnabled(op, &plain, false, tool), toolFits && op.enable == kLvEnableImage)
                << "tool " << tool;
            EXPECT_FALSE(LvOperationEnabled(op, &selected, true, tool)) << "busy, tool " << tool;
        }
        if (op.input == kLvInputSelectionBox) boxes.insert(op.name);
        if (op.input == kLvInputPicture) pictures.insert(op.name);
        if (op.tool != kLvToolAny) toolBound.insert(op.name);
    }
    EXPECT_EQ(boxes, std::set<std::string>({"crop"}));
    EXPECT_EQ(pictures, std::set<std::string>({"pattern", "photo-frame"}));
    EXPECT_EQ(toolBound, std::set<std::string>({"red-eye"}));
    // Red-eye removal works on an eye selected with the ellipse selection tool.
    const LvOperation* redEye = LvFindOperation("red-eye");
    EXPECT_TRUE(LvOperationEnabled(*redEye, &selected, false, kLvToolEllipseSelection));
    EXPECT_FALSE(LvOperationEnabled(*redEye, &selected, false, kLvToolRectSelection));
    EXPECT_FALSE(LvOperationEnabled(*redEye, &plain, false, kLvToolEllipseSelection));
}

TEST(Operations, CropOfTheSelectionKeepsExactlyTheSelectedPixels) {
    CLvImage image = Patterned(20, 16, 24, 4);
    LvOpParams params;
    EXPECT_FALSE(LvCropParamsFromSelection(image, params)) << "no selection";
    image.SelectionCreate();
    EXPECT_FALSE(LvCropParamsFromSelection(image, params)) << "nothing selected";
    image.SelectionAddRect(3, 2, 11, 9); // columns 3..10, stored rows 2..8
    CLvImage before(image);
    ASSERT_TRUE(LvCropParamsFromSelection(image, params));
    EXPECT_EQ(params.p[0], 3);
    EXPECT_EQ(params.p[1], 7); // screen rows 7..13
    EXPECT_EQ(params.p[2], 11);
    EXPECT_EQ(params.p[3], 14);
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("crop"), image, params, LvOpContext()));
    ASSERT_EQ(image.GetWidth(), 8);
    ASSERT_EQ(image.GetHeight(), 7);
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 8; x++)
            ASSERT_EQ(Rgb(image, x, y), Rgb(before, x + 3, y + 2));
}

// The ranges the messages and the command-line tool's list give.
TEST(Operations, RangeTextOfAnArgument) {
    EXPECT_EQ(LvArgRangeText(LvFindOperation("light")->args[0]), "-100..100");
    EXPECT_EQ(LvArgRangeText(LvFindOperation("gamma")->args[0]), "0.001..5 with at most 3 decimals");
}

TEST(Operations, PercentOfASide) {
    EXPECT_EQ(LvPercentOf(100, 100000), 100);
    EXPECT_EQ(LvPercentOf(640, 50000), 320);
    EXPECT_EQ(LvPercentOf(101, 50000), 50);
    EXPECT_EQ(LvPercentOf(6000, 33333), 1999);
    EXPECT_EQ(LvLowByte(-100), 156);
    EXPECT_EQ(LvSignedLowByte(200), -56);
}

} // namespace
