#include "cli/LvCli.h"
#include "LvTestUtil.h"
#include "effects/LvOperations.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

std::string ReadAll(FILE* file) {
    std::string text;
    rewind(file);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    fclose(file);
    return text;
}

CliResult RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "lumivue-cli");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    CliResult result;
    result.code = LvCliMain(int(argv.size()), argv.data(), out, err);
    result.out = ReadAll(out);
    result.err = ReadAll(err);
    return result;
}

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        CLvImage image(40, 30, 8);
        FillPattern(image, 4);
        image.SetXDPI(300);
        image.SetYDPI(200);
        bmp = dir.Path("picture.bmp");
        ASSERT_TRUE(image.Encode(bmp.c_str(), LVFMT_BMP));
    }
    TempDir dir;
    std::string bmp;
};

TEST_F(CliTest, InfoAsTextAndJson) {
    CliResult text = RunCli({"info", bmp});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Format: BMP\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Width: 40\n"), std::string::npos);
    EXPECT_NE(text.out.find("Height: 30\n"), std::string::npos);
    EXPECT_NE(text.out.find("Bits per pixel: 8\n"), std::string::npos);
    EXPECT_NE(text.out.find("Frames: 1\n"), std::string::npos);
    EXPECT_NE(text.out.find("Resolution: 300 x 200 dpi\n"), std::string::npos);

    CliResult json = RunCli({"info", "--json", bmp});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "{\"format\": \"BMP\", \"width\": 40, \"height\": 30, \"bpp\": 8, \"frames\": 1, "
                        "\"xdpi\": 300, \"ydpi\": 200}\n");
}

TEST_F(CliTest, ConvertWritesTheFormatOfTheExtension) {
    std::string out = dir.Path("copy.BMP");
    CliResult result = RunCli({"convert", bmp, out});
    EXPECT_EQ(result.code, 0) << result.err;
    CLvImage a(bmp.c_str(), LVFMT_BMP), b(out.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SamePicture(a, b));
}

TEST_F(CliTest, ConvertChangesTheColourDepth) {
    for (const char* bpp : {"1", "4", "24", "8"}) {
        std::string out = dir.Path(std::string("depth") + bpp + ".bmp");
        CliResult result = RunCli({"convert", "--bpp", bpp, bmp, out});
        ASSERT_EQ(result.code, 0) << result.err;
        CLvImage image(out.c_str(), LVFMT_BMP);
        EXPECT_EQ(image.GetBpp(), atoi(bpp));
    }
    CliResult wrong = RunCli({"convert", "--bpp", "16", bmp, dir.Path("x.bmp")});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_NE(wrong.err.find("--bpp takes 1, 4, 8 or 24"), std::string::npos);
}

TEST_F(CliTest, FailuresSayWhy) {
    WriteFileBytes(dir.Path("junk.bmp"), Bytes(64, 'j'));
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"info"}, 2, "usage"},
        {{"info", "--color", bmp}, 2, "unknown option --color"},
        {{"info", dir.Path("junk.bmp")}, 1, "Error reading BMP info"},
        {{"info", dir.Path("missing.bmp")}, 1, "cannot open the file"},
        {{"convert", bmp, dir.Path("out.xyz")}, 2, "unknown output format \"xyz\""},
        {{"convert", bmp, dir.Path("out")}, 2, "unknown output format"},
        {{"convert", bmp, dir.Path("out.wmf")}, 1, "Save WMF not supported"},
        {{"convert", dir.Path("junk.bmp"), dir.Path("out.bmp")}, 1, "Error reading BMP info"},
        {{"convert", bmp, dir.Path("no/such/folder/out.bmp")}, 1, "cannot write the file"},
    };
    for (const Case& c : cases) {
        CliResult result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FileExists(dir.Path("out.bmp")));
}

TEST_F(CliTest, ApplyRunsAChainOfOperations) {
    std::string out = dir.Path("turned.bmp");
    CliResult result = RunCli({"apply", bmp, out, "rotate-left", "mirror", "crop", "1", "2", "11", "32"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage expected(bmp.c_str(), LVFMT_BMP);
    ASSERT_TRUE(expected.RotateLeft());
    ASSERT_TRUE(expected.Mirror());
    ASSERT_TRUE(expected.Crop(1, 2, 11, 32));
    CLvImage written(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(written.GetWidth(), 10);
    EXPECT_EQ(written.GetHeight(), 30);
    EXPECT_TRUE(SamePicture(written, expected));
}

TEST_F(CliTest, ApplyWithAColourAndASelection) {
    std::string in = dir.Path("rgb.bmp"), out = dir.Path("filled.bmp");
    CLvImage image(20, 10, 24);
    image.Clear(0);
    ASSERT_TRUE(image.Encode(in.c_str(), LVFMT_BMP));
    // Columns 2..5 and screen rows 1..3 (stored rows 6..8), painted in the foreground colour.
    CliResult result = RunCli({"apply", "--color", "#FF8000", "--select", "2,1,6,4", in, out, "region-fill"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage written(out.c_str(), LVFMT_BMP);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++) {
            bool inside = x >= 2 && x < 6 && y >= 6 && y < 9;
            ASSERT_TRUE(SameColor(written.GetPixelColor(x, y), inside ? Quad(255, 128, 0) : Quad(0, 0, 0)))
                << x << "," << y;
        }
    // An added edge takes the foreground colour, given as R,G,B.
    result = RunCli({"apply", "--color", "1,2,3", in, out, "add-edge", "1", "0", "0", "0"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage edged(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(edged.GetWidth(), 21);
    EXPECT_TRUE(SameColor(edged.GetPixelColor(0, 5), Quad(1, 2, 3)));
}

TEST_F(CliTest, ApplyResizesInPercentAndChangesColours) {
    std::string out = dir.Path("small.bmp");
    CliResult result = RunCli({"apply", bmp, out, "resize", "50%", "bilinear", "gray", "gamma", "1.5"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage expected(bmp.c_str(), LVFMT_BMP);
    ASSERT_TRUE(expected.Resample(20, 15, 1));
    ASSERT_TRUE(expected.GrayScale());
    ASSERT_TRUE(expected.Gamma(1.5f));
    CLvImage written(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(written.GetBpp(), 8);
    EXPECT_TRUE(SamePicture(written, expected));

    // Red eyes need a selection round the eye.
    std::string eye = dir.Path("eye.bmp");
    CLvImage red(10, 10, 24);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            red.SetPixelColor(x, y, Quad(220, 30, 40));
    ASSERT_TRUE(red.Encode(eye.c_str(), LVFMT_BMP));
    result = RunCli({"apply", "--select-ellipse", "2,2,8,8", eye, out, "red-eye", "0"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage fixed(out.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SameColor(fixed.GetPixelColor(5, 5), Quad(30, 30, 40)));
    EXPECT_TRUE(SameColor(fixed.GetPixelColor(0, 0), Quad(220, 30, 40)));
}

TEST_F(CliTest, ApplyListShowsEveryOperation) {
    CliResult result = RunCli({"apply", "--list"});
    ASSERT_EQ(result.code, 0);
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++)
        EXPECT_NE(result.out.find("  " + LvOperationUsage(table[i]) + " "), std::string::npos) << table[i].name;
}

TEST_F(CliTest, ApplyChecksEveryWordBeforeReading) {
    std::string out = dir.Path("out.bmp");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    const Case cases[] = {
        {{"apply", bmp, out}, 2, "usage"},
        {{"apply", bmp, out, "sharpen-all"}, 2, "unknown operation \"sharpen-all\""},
        {{"apply", bmp, out, "5", "mirror"}, 2, "unknown operation \"5\""},
        {{"apply", bmp, out, "mirror", "crop", "1", "2"}, 2, "RIGHT is missing"},
        {{"apply", dir.Path("missing.bmp"), out, "mirror", "crop", "1"}, 2, "TOP is missing"},
        {{"apply", bmp, dir.Path("out.xyz"), "mirror"}, 2, "unknown output format"},
        {{"apply", "--color", "red", bmp, out, "mirror"}, 2, "--color takes RRGGBB or R,G,B"},
        {{"apply", "--select", "1,2,3", bmp, out, "mirror"}, 2, "--select takes LEFT,TOP,RIGHT,BOTTOM"},
        {{"apply", "--select", "1,1,2,2", "--select-ellipse", "1,1,4,4", bmp, out, "mirror"}, 2, "either"},
        {{"apply", dir.Path("missing.bmp"), out, "mirror"}, 1, "cannot open the file"},
        {{"apply", bmp, out, "crop", "5", "5", "5", "9"}, 1, "crop failed"},
        {{"apply", "--select-ellipse", "3,3,3,9", bmp, out, "mirror"}, 1, "cannot select"},
    };
    for (const Case& c : cases) {
        CliResult result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FileExists(out)) << "nothing is written after a failure";
}

} // namespace
