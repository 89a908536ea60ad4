#include "effects/LvOperations.h"
#include "LvEffectTestUtil.h"

#include <gtest/gtest.h>

#include <cctype>
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
    EXPECT_FALSE(LvOperationEnabled(*mirror, nullptr, false, 1));
    EXPECT_TRUE(LvOperationEnabled(*mirror, &image, false, 1));
    EXPECT_FALSE(LvOperationEnabled(*mirror, &image, true, 1)) << "busy";
    EXPECT_FALSE(LvOperationEnabled(*crop, &image, false, 1));
    image.SelectionAddRect(0, 0, 2, 2);
    EXPECT_TRUE(LvOperationEnabled(*crop, &image, false, 1));
    EXPECT_TRUE(crop->direct);
    EXPECT_EQ(crop->commandId, 32848);
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
