#include "LvEffectCases.h"
#include "effects/LvOperations.h"
#include "effects/LvRandom.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The menu commands of the threshold, filter, artistic, distortion and decoration families: identifier,
// menu text and enable rule, as the program shows them.
TEST(EffectTable, MenuCommands) {
    const struct {
        const char* name;
        int id;
        const char* text;
        LvEnableRule rule;
    } commands[] = {
        {"threshold", ID_FILTER_THRESHOLD, "T&hreshold (Binary)", kLvEnableImage},
        {"iteration-threshold", ID_FILTER_ITERATION_THRESHOLD, "&Iteration Threshold", kLvEnableImage},
        {"otsu-threshold", ID_FILTER_OTSU_THRESHOLD, "Ostu Threshold", kLvEnableImage},
        {"local-threshold", ID_FILTER_LOCAL_THRESHOLD, "&Local Method Threshold", kLvEnableImage},
        {"emboss", ID_FILTER_EMBOSS, "&Emboss", kLvEnableImage},
        {"carve", ID_FILTER_CARVE, "&Carve", kLvEnableImage},
        {"soften", ID_FILTER_SOFTEN, "&Soften", kLvEnableImage},
        {"sharpen", ID_FILTER_SHARPEN, "S&harpen", kLvEnableImage},
        {"erode", ID_FILTER_ERODE, "&Erode", kLvEnableImage},
        {"dilate", ID_FILTER_DILATE, "&Dilate", kLvEnableImage},
        {"median", ID_FILTER_MEDIAN, "&Median Smooth", kLvEnableImage},
        {"roberts", ID_FILTER_ROBERTS, "&Roberts", kLvEnableImage},
        {"prewitt", ID_FILTER_PREWITT, "&Prewitt", kLvEnableImage},
        {"sobel", ID_FILTER_SOBEL, "&Sobel", kLvEnableImage},
        {"isotropic-sobel", ID_FILTER_ISOTROPIC_SOBEL, "&Isotropic Sobel", kLvEnableImage},
        {"laplacian-4", ID_FILTER_LAPLACIAN_4, "Laplacian &4", kLvEnableImage},
        {"laplacian-8", ID_FILTER_LAPLACIAN_8, "Laplacian &8", kLvEnableImage},
        {"edge-track", ID_FILTER_EDGE_TRACK, "Edge &Track", kLvEnableImage},
        {"box-smooth", ID_FILTER_BOX_SMOOTH, "&Box Smooth (Blur)", kLvEnableImage},
        {"gauss-smooth", ID_FILTER_GAUSS_SMOOTH, "&Gauss Smooth", kLvEnableImage},
        {"conservative-smooth", ID_FILTER_CONSERVATIVE_SMOOTH, "&Conservative Smoothing", kLvEnableImage},
        {"dither", ID_EFFECT_DITHER, "&Dither", kLvEnableImage},
        {"noise", ID_EFFECT_NOISE, "&Noise", kLvEnableImage},
        {"mosaic", ID_EFFECT_MOSAIC, "M&osaic", kLvEnableImage},
        {"jitter", ID_EFFECT_JITTER, "&Jitter", kLvEnableImage},
        {"pencil-drawing", ID_EFFECT_PENCIL_DRAWING, "Pencil Dr&awing", kLvEnableImage},
        {"crayon", ID_EFFECT_CRAYON, "Cra&yon", kLvEnableImage},
        {"old-photo", ID_EFFECT_OLD_PHOTO, "Old P&hoto", kLvEnableImage},
        {"windy", ID_EFFECT_WINDY, "&Windy", kLvEnableImage},
        {"stripe", ID_EFFECT_STRIPE, "St&ripe", kLvEnableImage},
        {"cone", ID_EFFECT_CONE, "&Cone", kLvEnableImage},
        {"project", ID_EFFECT_PROJECT, "&Project", kLvEnableImage},
        {"sphere", ID_EFFECT_SPHERE, "Sp&here", kLvEnableImage},
        {"cylinder", ID_EFFECT_CYLINDER, "Cyli&nder", kLvEnableImage},
        {"ellipse", ID_EFFECT_ELLIPSE, "&Ellipse", kLvEnableImage},
        {"shadow", ID_PHOTO_SHADOW, "&Shadow", kLvEnableImage},
        {"feather", ID_PHOTO_FEATHER, "&Feather", kLvEnableSelection},
        {"pattern", ID_PHOTO_PATTERN, "&Pattern", kLvEnableImage},
        {"photo-frame", ID_PHOTO_FRAME, "P&hoto Frame", kLvEnableImage},
    };
    for (const auto& c : commands) {
        const LvOperation* op = LvFindOperationByCommand(c.id);
        ASSERT_NE(op, nullptr) << c.name;
        EXPECT_STREQ(op->name, c.name);
        EXPECT_STREQ(op->menuText, c.text);
        EXPECT_EQ(op->enable, c.rule) << c.name;
        EXPECT_FALSE(op->direct) << c.name;
    }
    // Feather needs a selection.
    CLvImage image(4, 4, 24);
    const LvOperation* feather = LvFindOperation("feather");
    EXPECT_FALSE(LvOperationEnabled(*feather, &image, false, kLvToolRectSelection));
    image.SelectionAddRect(1, 1, 3, 3);
    EXPECT_TRUE(LvOperationEnabled(*feather, &image, false, kLvToolRectSelection));
    EXPECT_FALSE(LvOperationEnabled(*feather, &image, true, kLvToolRectSelection));
}

TEST(EffectTable, WordsBecomeTheWorkersParameters) {
    const struct {
        const char* op;
        const char* words;
        int32_t p0, p1, p2;
    } cases[] = {
        {"threshold", "128", 128, 0, 0},
        {"local-threshold", "median 5 3", 1, 5, 3},
        {"local-threshold", "min-max 1 -4", 2, 1, -4},
        {"emboss", "10 25", 10, 25, 0},
        {"sharpen", "10", 10, 0, 0},
        {"dither", "bayer", 2, 0, 0},
        {"dither", "floyd-steinberg", 0, 0, 0},
        {"mosaic", "8", 8, 0, 0},
        {"windy", "12", 12, 0, 0},
        {"windy", "12 smooth", 12, 1, 0},
        {"stripe", "35 25 horizontal", 35, 25, 0},
        {"stripe", "35 25 vertical", 35, 25, 1},
        {"sphere", "0", 0, 0, 0},
        {"feather", "9 rectangle", 9, 1, 0},
        {"feather", "9", 9, 0, 0},
        {"pattern", "40", 40, 0, 0},
    };
    for (const auto& c : cases) {
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvParseOperation(*LvFindOperation(c.op), Words(c.words), nullptr, params, error))
            << c.op << ": " << error;
        EXPECT_EQ(params.p[0], c.p0) << c.op << " " << c.words;
        EXPECT_EQ(params.p[1], c.p1) << c.op << " " << c.words;
        EXPECT_EQ(params.p[2], c.p2) << c.op << " " << c.words;
    }
    const struct {
        const char* op;
        const char* words;
    } wrong[] = {{"threshold", "256"},
                 {"mosaic", "1"},
                 {"dither", "random"},
                 {"cone", "0"},
                 {"local-threshold", "mean 0 0"},
                 {"windy", "0"},
                 {"stripe", "1 2 up"},
                 {"sobel", "3"}};
    for (const auto& c : wrong) {
        LvOpParams params;
        std::string error;
        EXPECT_FALSE(LvParseOperation(*LvFindOperation(c.op), Words(c.words), nullptr, params, error))
            << c.op << " " << c.words;
    }
}

// Each runner does what the worker's call of the image operation does with the parameters.
TEST(EffectTable, RunnersMatchDirectCalls) {
    const struct {
        const char* op;
        const char* words;
        std::function<bool(CLvImage&)> direct;
    } cases[] = {
        {"threshold", "100", [](CLvImage& i) { return i.Threshold(100); }},
        {"iteration-threshold", "", [](CLvImage& i) { return i.IterationThreshold(); }},
        {"otsu-threshold", "", [](CLvImage& i) { return i.OstuThreshold(); }},
        {"local-threshold", "mean 3 2", [](CLvImage& i) { return i.LocalThresholdMean(3, 2); }},
        {"local-threshold", "median 4 1", [](CLvImage& i) { return i.LocalThresholdMedian(4, 1); }},
        {"local-threshold", "min-max 5 0", [](CLvImage& i) { return i.LocalThresholdMinMax(5, 0); }},
        {"emboss", "7 3", [](CLvImage& i) { return i.Emboss(7, 3); }},
        {"carve", "7 3", [](CLvImage& i) { return i.Carve(7, 3); }},
        {"soften", "4", [](CLvImage& i) { return i.Soften(4); }},
        {"sharpen", "10", [](CLvImage& i) { return i.Sharpen(10); }},
        {"erode", "", [](CLvImage& i) { return i.Erode(2); }},
        {"dilate", "", [](CLvImage& i) { return i.Dilate(2); }},
        {"median", "", [](CLvImage& i) { return i.Median(3); }},
        {"roberts", "", [](CLvImage& i) { return i.RobertsEdge(); }},
        {"prewitt", "", [](CLvImage& i) { return i.PrewittEdge(); }},
        {"sobel", "", [](CLvImage& i) { return i.SobelEdge(); }},
        {"isotropic-sobel", "", [](CLvImage& i) { return i.IsotropicSobelEdge(); }},
        {"laplacian-4", "", [](CLvImage& i) { return i.Laplacian(4); }},
        {"laplacian-8", "", [](CLvImage& i) { return i.Laplacian(8); }},
        {"edge-track", "", [](CLvImage& i) { return i.EdgeTrack(); }},
        {"box-smooth", "", [](CLvImage& i) { return i.BoxSmooth(); }},
        {"gauss-smooth", "", [](CLvImage& i) { return i.GaussSmooth(); }},
        {"conservative-smooth", "", [](CLvImage& i) { return i.ConservativeSmooth(3); }},
        {"dither", "ordered", [](CLvImage& i) { return i.Dither(1); }},
        {"noise", "30", [](CLvImage& i) { return i.Noise(30); }},
        {"mosaic", "3", [](CLvImage& i) { return i.Mosaic(3); }},
        {"jitter", "2", [](CLvImage& i) { return i.Jitter(2); }},
        {"pencil-drawing", "", [](CLvImage& i) { return i.Laplacian(4) && i.Negative(); }},
        {"crayon", "", [](CLvImage& i) { return i.SobelEdge() && i.Negative(); }},
        {"old-photo", "", [](CLvImage& i) { return i.Noise(25) && i.Colorize(30, 100); }},
        {"windy", "6", [](CLvImage& i) { return i.Windy(6, 1, false); }},
        {"windy", "6 smooth", [](CLvImage& i) { return i.Windy(6, 1, true); }},
        {"stripe", "35 25 horizontal", [](CLvImage& i) { return i.Stripe(35, 25, true); }},
        {"stripe", "35 25 vertical", [](CLvImage& i) { return i.Stripe(35, 25, false); }},
        {"cone", "40", [](CLvImage& i) { return i.Cone(40); }},
        {"project", "40", [](CLvImage& i) { return i.Project(40); }},
        {"sphere", "40", [](CLvImage& i) { return i.Sphere(40); }},
        {"cylinder", "40", [](CLvImage& i) { return i.Cylinder(40); }},
        {"ellipse", "", [](CLvImage& i) { return i.Ellipse(); }},
        {"shadow", "", [](CLvImage& i) { return i.Shadow(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + c.words);
        CLvImage viaTable = PhotoLike(23, 17, 4), direct = PhotoLike(23, 17, 4);
        LvOpParams params;
        std::string error;
        ASSERT_TRUE(LvParseOperation(*LvFindOperation(c.op), Words(c.words), &viaTable, params, error)) << error;
        LvRandomSeed(9);
        ASSERT_TRUE(LvRunOperation(*LvFindOperation(c.op), viaTable, params, LvOpContext()));
        LvRandomSeed(9);
        ASSERT_TRUE(c.direct(direct));
        EXPECT_TRUE(SamePicture(viaTable, direct));
    }
}

// Feather and Pattern fade into the foreground colour; Pattern and Photo Frame take the context's picture.
TEST(EffectTable, DecorationsUseTheForegroundAndThePicture) {
    LvOpContext context;
    context.foreground = Quad(0, 0, 255);
    CLvImage image = Uniform(20, 20, Quad(200, 0, 0));
    image.SelectionAddRect(5, 5, 10, 10);
    LvOpParams params;
    std::string error;
    ASSERT_TRUE(LvParseOperation(*LvFindOperation("feather"), Words("3 rectangle"), &image, params, error));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("feather"), image, params, context));
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(0, 0, 255)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(7, 7), Quad(200, 0, 0)));

    CLvImage plain = Uniform(8, 6, Quad(10, 20, 30));
    ASSERT_TRUE(LvParseOperation(*LvFindOperation("pattern"), Words("100"), &plain, params, error));
    EXPECT_FALSE(LvRunOperation(*LvFindOperation("pattern"), plain, params, context)); // no picture
    CLvImage white = Uniform(3, 3, Quad(255, 255, 255));
    context.auxImage = &white;
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("pattern"), plain, params, context));
    EXPECT_TRUE(SameColor(plain.GetPixelColor(4, 4), Quad(0, 0, 255)));

    CLvImage framed = Uniform(8, 6, Quad(10, 20, 30));
    ASSERT_TRUE(LvRunOperation(*LvFindOperation("photo-frame"), framed, LvOpParams(), context));
    EXPECT_TRUE(SamePicture(framed, Uniform(8, 6, Quad(10, 20, 30))));
}

} // namespace

namespace {

// Every effect of these families on pictures of one row, one column and one pixel, of every depth, with and
// without a selection, on one thread and several: each succeeds and keeps a picture of a sensible size.
TEST(EffectTable, TinyPicturesOfEveryDepth) {
    const struct {
        const char* op;
        const char* words;
    } calls[] = {{"threshold", "9"},
                 {"iteration-threshold", ""},
                 {"otsu-threshold", ""},
                 {"local-threshold", "mean 4 1"},
                 {"local-threshold", "median 3 0"},
                 {"local-threshold", "min-max 2 0"},
                 {"emboss", "9 9"},
                 {"carve", "9 9"},
                 {"soften", "3"},
                 {"sharpen", "10"},
                 {"erode", ""},
                 {"dilate", ""},
                 {"median", ""},
                 {"roberts", ""},
                 {"prewitt", ""},
                 {"sobel", ""},
                 {"isotropic-sobel", ""},
                 {"laplacian-4", ""},
                 {"laplacian-8", ""},
                 {"edge-track", ""},
                 {"box-smooth", ""},
                 {"gauss-smooth", ""},
                 {"conservative-smooth", ""},
                 {"dither", "floyd-steinberg"},
                 {"dither", "ordered"},
                 {"dither", "bayer"},
                 {"noise", "50"},
                 {"mosaic", "4"},
                 {"jitter", "3"},
                 {"pencil-drawing", ""},
                 {"crayon", ""},
                 {"old-photo", ""},
                 {"windy", "5"},
                 {"windy", "5 smooth"},
                 {"stripe", "50 50 horizontal"},
                 {"stripe", "50 50 vertical"},
                 {"cone", "50"},
                 {"project", "50"},
                 {"sphere", "50"},
                 {"cylinder", "50"},
                 {"ellipse", ""},
                 {"shadow", ""},
                 {"feather", "3 rectangle"},
                 {"feather", "3"},
                 {"pattern", "50"},
                 {"photo-frame", ""}};
    CLvImage picture = PhotoLike(5, 4, 2);
    LvOpContext context;
    context.auxImage = &picture;
    const int sizes[][2] = {{1, 1}, {1, 6}, {7, 1}, {2, 2}, {3, 5}};
    for (const auto& call : calls)
        for (const auto& size : sizes)
            for (int bpp : {24, 8, 4, 1})
                for (bool selection : {false, true})
                    for (int threads : {1, 3}) {
                        SCOPED_TRACE(std::string(call.op) + " " + call.words + " " + std::to_string(size[0]) + "x" +
                                     std::to_string(size[1]) + " bpp " + std::to_string(bpp) +
                                     (selection ? " selection" : ""));
                        ThreadCount count(threads);
                        CLvImage image(size[0], size[1], bpp);
                        FillPattern(image, unsigned(size[0] * 7 + bpp));
                        if (selection) image.SelectionAddRect(0, 0, 1, 1);
                        const LvOperation* op = LvFindOperation(call.op);
                        ASSERT_NE(op, nullptr);
                        LvOpParams params;
                        std::string error;
                        ASSERT_TRUE(LvParseOperation(*op, Words(call.words), &image, params, error)) << error;
                        if (op->enable == kLvEnableSelection && !selection) continue;
                        EXPECT_TRUE(LvRunOperation(*op, image, params, context));
                        EXPECT_TRUE(image.IsValid());
                        EXPECT_GE(image.GetWidth(), 1);
                        EXPECT_LE(image.GetWidth(), size[0] + 16);
                        EXPECT_LE(image.GetHeight(), size[1] + 16);
                    }
}

} // namespace
