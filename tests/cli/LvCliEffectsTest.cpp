#include "LvReference.h"
#include "LvTestUtil.h"
#include "cli/LvCli.h"
#include "effects/LvRandom.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int RunCli(std::vector<std::string> args, std::string* error = nullptr) {
    args.insert(args.begin(), "lumivue-cli");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    int code = LvCliMain(int(argv.size()), argv.data(), out, err);
    if (error) {
        rewind(err);
        char buffer[512] = {0};
        size_t n = fread(buffer, 1, sizeof(buffer) - 1, err);
        *error = std::string(buffer, n);
    }
    fclose(out);
    fclose(err);
    return code;
}

// The filter, threshold, artistic, distortion and decoration operations run from the command line exactly
// as the image operations do.
TEST(CliEffects, ApplyRunsTheEffectsByName) {
    TempDir dir;
    const std::string in = dir.Path("photo.bmp"), out = dir.Path("out.bmp");
    CLvImage photo = PhotoLike(60, 40, 3);
    ASSERT_TRUE(photo.Encode(in.c_str(), LVFMT_BMP));

    ASSERT_EQ(RunCli({"apply", in, out, "sharpen", "3", "median", "otsu-threshold"}), 0);
    CLvImage expected(photo);
    ASSERT_TRUE(expected.Sharpen(3) && expected.Median(3) && expected.OstuThreshold());
    EXPECT_TRUE(SamePicture(CLvImage(out.c_str(), LVFMT_BMP), expected));

    // The random source starts from the same seed in every run of the program.
    LvRandomSeed(1);
    ASSERT_EQ(RunCli({"apply", in, out, "noise", "40", "stripe", "20", "30", "vertical"}), 0);
    LvRandomSeed(1);
    CLvImage noisy(photo);
    ASSERT_TRUE(noisy.Noise(40) && noisy.Stripe(20, 30, false));
    EXPECT_TRUE(SamePicture(CLvImage(out.c_str(), LVFMT_BMP), noisy));
}

TEST(CliEffects, PatternAndFrameTakeAPicture) {
    TempDir dir;
    const std::string in = dir.Path("photo.bmp"), frame = dir.Path("frame.bmp"), out = dir.Path("out.bmp");
    ASSERT_TRUE(PhotoLike(30, 20, 1).Encode(in.c_str(), LVFMT_BMP));
    CLvImage white(4, 4, 24);
    white.Clear(255);
    ASSERT_TRUE(white.Encode(frame.c_str(), LVFMT_BMP));

    std::string error;
    // Without its picture the command is wrong usage, found before the file is read.
    EXPECT_EQ(RunCli({"apply", in, out, "pattern", "100"}, &error), 2);
    EXPECT_NE(error.find("pattern needs --picture FILE"), std::string::npos) << error;

    ASSERT_EQ(RunCli({"apply", "--color", "0000FF", "--picture", frame, in, out, "pattern", "100"}, &error), 0)
        << error;
    CLvImage result(out.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SameColor(result.GetPixelColor(7, 7), Quad(0, 0, 255)));

    ASSERT_EQ(RunCli({"apply", "--picture", frame, "--select", "5,5,25,15", in, out, "photo-frame"}, &error), 0)
        << error;
    CLvImage cropped(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(cropped.GetWidth(), 20);
    EXPECT_EQ(cropped.GetHeight(), 10);

    EXPECT_EQ(RunCli({"apply", "--picture", dir.Path("missing.bmp"), in, out, "photo-frame"}), 1);
}

} // namespace
