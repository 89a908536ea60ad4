#include "LvEffectCases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

const double kBox[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
const double kGauss[25] = {1, 4, 7, 4, 1, 4, 16, 26, 16, 4, 7, 26, 41, 26, 7, 4, 16, 26, 16, 4, 1, 4, 7, 4, 1};
const double kLaplace4[9] = {0, 1, 0, 1, -4, 1, 0, 1, 0};
const double kLaplace8[9] = {1, 1, 1, 1, -8, 1, 1, 1, 1};
const double kRobertsA[4] = {1, 0, 0, -1}, kRobertsB[4] = {0, 1, -1, 0};
const double kPrewittA[9] = {-1, -1, -1, 0, 0, 0, 1, 1, 1}, kPrewittB[9] = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
const double kSobelA[9] = {-1, -2, -1, 0, 0, 0, 1, 2, 1}, kSobelB[9] = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
const double kR2 = std::sqrt(2.0);
const double kIsoA[9] = {-1, -kR2, -1, 0, 0, 0, 1, kR2, 1}, kIsoB[9] = {-1, 0, 1, -kR2, 0, kR2, -1, 0, 1};

// The kernel of emboss (depth p), as the program builds it: p times the single-precision 0.1.
std::vector<double> EmbossKernel(int p) {
    double w = double(float(p) * 0.1f);
    return {-w, 0, 0, 0, w, 0, 0, 0, 0};
}
std::vector<double> CarveKernel(int p) {
    double w = double(float(p) * 0.1f);
    return {0, 0, 0, 0, w, 0, 0, 0, -w};
}

struct FilterCase {
    const char* name;
    std::function<bool(CLvImage&)> run;
    std::function<CLvImage(const CLvImage&)> reference;
};

std::vector<FilterCase> FilterCases() {
    static const std::vector<double> soften5 = {1, 1, 1, 1, 5, 1, 1, 1, 1};
    static const std::vector<double> sharpen3 = {-1, -1, -1, -1, 16, -1, -1, -1, -1};
    static const std::vector<double> sharpen11 = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
    static const std::vector<double> sharpen15 = {-1, -1, -1, -1, 4, -1, -1, -1, -1};
    static const std::vector<double> emboss = EmbossKernel(7), carve = CarveKernel(13);
    static const std::vector<double> odd = {0.35, -1.25, 0, 2.5, 0.5, -0.75, 1e-3, 0, -2.2};
    return {
        {"BoxSmooth", [](CLvImage& i) { return i.BoxSmooth(); },
         [](const CLvImage& i) { return ReferenceFilter(i, kBox, 3, 9, 0); }},
        {"GaussSmooth", [](CLvImage& i) { return i.GaussSmooth(); },
         [](const CLvImage& i) { return ReferenceFilter(i, kGauss, 5, 273, 0); }},
        {"Soften5", [](CLvImage& i) { return i.Soften(5); },
         [](const CLvImage& i) { return ReferenceFilter(i, soften5.data(), 3, 13, 0); }},
        {"Sharpen3", [](CLvImage& i) { return i.Sharpen(3); },
         [](const CLvImage& i) { return ReferenceFilter(i, sharpen3.data(), 3, 8, 0); }},
        {"Sharpen11", [](CLvImage& i) { return i.Sharpen(11); },
         [](const CLvImage& i) { return ReferenceFilter(i, sharpen11.data(), 3, 0, 0); }},
        {"Sharpen15", [](CLvImage& i) { return i.Sharpen(15); },
         [](const CLvImage& i) { return ReferenceFilter(i, sharpen15.data(), 3, -4, 0); }},
        {"Emboss", [](CLvImage& i) { return i.Emboss(7, 20); },
         [](const CLvImage& i) { return ReferenceFilter(i, emboss.data(), 3, 0, 147); }},
        {"Carve", [](CLvImage& i) { return i.Carve(13, 0); },
         [](const CLvImage& i) { return ReferenceFilter(i, carve.data(), 3, 0, 127); }},
        {"Laplacian4", [](CLvImage& i) { return i.Laplacian(4); },
         [](const CLvImage& i) { return ReferenceFilter(i, kLaplace4, 3, 0, 0); }},
        {"Laplacian8", [](CLvImage& i) { return i.Laplacian(8); },
         [](const CLvImage& i) { return ReferenceFilter(i, kLaplace8, 3, 0, 0); }},
        {"FractionalKernel", [](CLvImage& i) { return i.Filter(odd.data(), 3, 3, 40); },
         [](const CLvImage& i) { return ReferenceFilter(i, odd.data(), 3, 3, 40); }},
        {"EvenKernel", [](CLvImage& i) { return i.Filter(kRobertsA, 2, 0, 60); },
         [](const CLvImage& i) { return ReferenceFilter(i, kRobertsA, 2, 0, 60); }},
        {"Roberts", [](CLvImage& i) { return i.RobertsEdge(); },
         [](const CLvImage& i) { return ReferenceEdgeFilter(i, kRobertsA, kRobertsB, 2, 0, 0); }},
        {"Prewitt", [](CLvImage& i) { return i.PrewittEdge(); },
         [](const CLvImage& i) { return ReferenceEdgeFilter(i, kPrewittA, kPrewittB, 3, 0, 0); }},
        {"Sobel", [](CLvImage& i) { return i.SobelEdge(); },
         [](const CLvImage& i) { return ReferenceEdgeFilter(i, kSobelA, kSobelB, 3, 0, 0); }},
        {"IsotropicSobel", [](CLvImage& i) { return i.IsotropicSobelEdge(); },
         [](const CLvImage& i) { return ReferenceEdgeFilter(i, kIsoA, kIsoB, 3, 0, 0); }},
        {"EdgeFilterDivided", [](CLvImage& i) { return i.EdgeFilter(kSobelA, kSobelB, 3, 3, -20); },
         [](const CLvImage& i) { return ReferenceEdgeFilter(i, kSobelA, kSobelB, 3, 3, -20); }},
        {"Median3", [](CLvImage& i) { return i.Median(3); }, [](const CLvImage& i) { return ReferenceMedian(i, 3); }},
        {"Median2", [](CLvImage& i) { return i.Median(2); }, [](const CLvImage& i) { return ReferenceMedian(i, 2); }},
        {"Median5", [](CLvImage& i) { return i.Median(5); }, [](const CLvImage& i) { return ReferenceMedian(i, 5); }},
        {"Conservative3", [](CLvImage& i) { return i.ConservativeSmooth(3); },
         [](const CLvImage& i) { return ReferenceConservative(i, 3); }},
        {"Conservative4", [](CLvImage& i) { return i.ConservativeSmooth(4); },
         [](const CLvImage& i) { return ReferenceConservative(i, 4); }},
        {"Erode2", [](CLvImage& i) { return i.Erode(2); }, [](const CLvImage& i) { return ReferenceRank(i, 2, true); }},
        {"Erode3", [](CLvImage& i) { return i.Erode(3); }, [](const CLvImage& i) { return ReferenceRank(i, 3, true); }},
        {"Dilate2", [](CLvImage& i) { return i.Dilate(2); },
         [](const CLvImage& i) { return ReferenceRank(i, 2, false); }},
        {"Dilate5", [](CLvImage& i) { return i.Dilate(5); },
         [](const CLvImage& i) { return ReferenceRank(i, 5, false); }},
    };
}

// Every filter, on every depth, with and without a selection and a background, in one band and in
// several, gives exactly what the literal definition gives.
TEST(Filters, MatchTheLiteralDefinitionEverywhere) {
    for (const FilterCase& c : FilterCases())
        for (const EffectInput& input : AllEffectInputs()) {
            CLvImage original = MakeInput(input);
            CLvImage expected = c.reference(original);
            CLvImage actual(original);
            ThreadCount threads(input.threads);
            ASSERT_TRUE(c.run(actual)) << c.name << " " << input.Name();
            std::string where;
            EXPECT_TRUE(SamePicture(actual, expected, &where)) << c.name << " " << input.Name() << ": " << where;
            EXPECT_EQ(actual.pSelection != nullptr, input.selection);
        }
}

TEST(Filters, UniformPicturesStayUniformThroughTheSmoothers) {
    const RGBQUAD color = Quad(90, 140, 200);
    for (auto run : std::vector<std::function<bool(CLvImage&)>>{
             [](CLvImage& i) { return i.BoxSmooth(); }, [](CLvImage& i) { return i.GaussSmooth(); },
             [](CLvImage& i) { return i.Median(3); }, [](CLvImage& i) { return i.ConservativeSmooth(3); },
             [](CLvImage& i) { return i.Erode(2); }, [](CLvImage& i) { return i.Dilate(2); }}) {
        CLvImage image = Uniform(6, 5, color);
        ASSERT_TRUE(run(image));
        EXPECT_TRUE(SamePicture(image, Uniform(6, 5, color)));
    }
}

TEST(Filters, PinnedKernelResults) {
    // Laplacian 8 of a uniform picture is black, border included.
    CLvImage flat = Uniform(5, 4, Quad(77, 77, 77));
    ASSERT_TRUE(flat.Laplacian(8));
    EXPECT_TRUE(SamePicture(flat, Uniform(5, 4, Quad(0, 0, 0))));

    // Emboss of a uniform gray with depth 10 and brightness 0 is 127 everywhere.
    CLvImage gray = Uniform(5, 4, Quad(100, 100, 100));
    ASSERT_TRUE(gray.Emboss(10, 0));
    EXPECT_TRUE(SamePicture(gray, Uniform(5, 4, Quad(127, 127, 127))));

    // Emboss depth 7: the weight is 7 * 0.1f = 0.699999988..., so a value of 10 adds trunc(6.99999...) = 6,
    // not 7; the pixel up and right of it subtracts 6.
    CLvImage dot = Uniform(3, 3, Quad(0, 0, 0));
    dot.SetPixelColor(1, 1, Quad(10, 10, 10));
    ASSERT_TRUE(dot.Emboss(7, 0));
    EXPECT_EQ(dot.GetPixelColor(1, 1).rgbRed, 133);
    EXPECT_EQ(dot.GetPixelColor(2, 2).rgbRed, 121);
    EXPECT_EQ(dot.GetPixelColor(0, 0).rgbRed, 127);

    // Soften with level 0 is the mean of the eight neighbours.
    CLvImage soft = Uniform(3, 3, Quad(0, 0, 0));
    soft.SetPixelColor(1, 1, Quad(200, 200, 200));
    soft.SetPixelColor(0, 0, Quad(80, 0, 0));
    soft.SetPixelColor(2, 1, Quad(16, 0, 0));
    ASSERT_TRUE(soft.Soften(0));
    EXPECT_EQ(soft.GetPixelColor(1, 1).rgbRed, (80 + 16) / 8);

    // Sharpen at level 11 has no divisor: centre weight 8 against the eight neighbours.
    CLvImage sharp = Uniform(3, 3, Quad(10, 10, 10));
    sharp.SetPixelColor(1, 1, Quad(20, 20, 20));
    ASSERT_TRUE(sharp.Sharpen(11));
    EXPECT_EQ(sharp.GetPixelColor(1, 1).rgbRed, 8 * 20 - 8 * 10);

    // Roberts reads the pixel, its right neighbour, the one above and the one above-right. Inside a 4 x 4
    // picture with one bright pixel at (2, 2), only (1, 1), (1, 2), (2, 1) and (2, 2) see it.
    CLvImage roberts = Uniform(4, 4, Quad(0, 0, 0));
    roberts.SetPixelColor(2, 2, Quad(30, 30, 30));
    ASSERT_TRUE(roberts.RobertsEdge());
    EXPECT_EQ(roberts.GetPixelColor(1, 1).rgbRed, 30); // A: -30 at offset (1, 1)
    EXPECT_EQ(roberts.GetPixelColor(2, 1).rgbRed, 30); // B: -30 at offset (0, 1)
    EXPECT_EQ(roberts.GetPixelColor(1, 2).rgbRed, 30); // B: +30 at offset (1, 0)
    EXPECT_EQ(roberts.GetPixelColor(2, 2).rgbRed, 30); // A: +30 at offset (0, 0)
    EXPECT_EQ(roberts.GetPixelColor(0, 0).rgbRed, 0);
    EXPECT_EQ(roberts.GetPixelColor(0, 2).rgbRed, 0);
}

TEST(Filters, SobelIsBlackInsideAndBrightWhereWhiteIsReadPastTheEdges) {
    CLvImage image = Uniform(6, 5, Quad(40, 40, 40));
    ASSERT_TRUE(image.SobelEdge());
    EXPECT_EQ(image.GetPixelColor(2, 2).rgbRed, 0);
    // The top row reads white above it: A = 3 * (255 - 40) and B = 0.
    EXPECT_EQ(image.GetPixelColor(2, 4).rgbRed, 255);
    // The left column reads white at x = -1: B = -4 * 215.
    EXPECT_EQ(image.GetPixelColor(0, 2).rgbRed, 255);

    // With a selection, neighbours left of the box are real pixels but those at the box's right bound read
    // white: inside the box, only the rightmost column and the top row see an edge.
    CLvImage boxed = Uniform(8, 8, Quad(40, 40, 40));
    boxed.SelectionAddRect(2, 2, 6, 6);
    ASSERT_TRUE(boxed.SobelEdge());
    EXPECT_EQ(boxed.GetPixelColor(2, 3).rgbRed, 0);
    EXPECT_EQ(boxed.GetPixelColor(2, 2).rgbRed, 0);
    EXPECT_EQ(boxed.GetPixelColor(5, 3).rgbRed, 255);
    EXPECT_EQ(boxed.GetPixelColor(3, 5).rgbRed, 255);
    EXPECT_EQ(boxed.GetPixelColor(7, 7).rgbRed, 40);
}

TEST(Filters, RankFilters) {
    // Eight black and one white: the median is black.
    CLvImage median = Uniform(3, 3, Quad(0, 0, 0));
    median.SetPixelColor(1, 1, Quad(255, 255, 255));
    ASSERT_TRUE(median.Median(3));
    EXPECT_TRUE(SamePicture(median, Uniform(3, 3, Quad(0, 0, 0))));

    // Erode(2) of a single white pixel blackens it; Dilate(2) grows it right and up.
    CLvImage erode = Uniform(5, 5, Quad(0, 0, 0));
    erode.SetPixelColor(2, 2, Quad(255, 255, 255));
    ASSERT_TRUE(erode.Erode(2));
    EXPECT_TRUE(SamePicture(erode, Uniform(5, 5, Quad(0, 0, 0))));
    CLvImage dilate = Uniform(5, 5, Quad(0, 0, 0));
    dilate.SetPixelColor(2, 2, Quad(255, 255, 255));
    ASSERT_TRUE(dilate.Dilate(2));
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 5; x++) {
            bool white = (x == 2 || x == 3) && (y == 2 || y == 3);
            EXPECT_EQ(dilate.GetPixelColor(x, y).rgbRed, white ? 255 : 0) << x << "," << y;
        }

    // Conservative smoothing pulls a lone spike down to the brightest neighbour, the later one among equals.
    CLvImage spike = Uniform(3, 3, Quad(10, 10, 10));
    spike.SetPixelColor(0, 0, Quad(60, 0, 0));  // luminance 17
    spike.SetPixelColor(2, 2, Quad(0, 0, 149)); // luminance 16
    spike.SetPixelColor(2, 0, Quad(0, 29, 0));  // luminance 17, visited after (0, 0)
    spike.SetPixelColor(1, 1, Quad(250, 250, 250));
    ASSERT_TRUE(spike.ConservativeSmooth(3));
    EXPECT_TRUE(SameColor(spike.GetPixelColor(1, 1), Quad(0, 29, 0)));
}

TEST(Filters, PaletteResultsTakeTheFirstNearestEntry) {
    // Entry 0 is one step away from the picture's colour, entry 1 is the colour itself and entry 2 repeats
    // it: the result keeps index 1, as the image's own colour write would.
    for (int size : {6, 800}) {
        CLvImage image(size, 4, 8);
        image.SetPaletteColor(0, 10, 10, 11);
        image.SetPaletteColor(1, 10, 10, 10);
        image.SetPaletteColor(2, 10, 10, 10);
        for (int i = 3; i < 256; i++)
            image.SetPaletteColor(BYTE(i), BYTE(i), 0, BYTE(255 - i));
        image.Clear(1);
        ASSERT_TRUE(image.BoxSmooth());
        for (int x = 0; x < size; x += 7)
            ASSERT_EQ(image.GetPixelIndex(x, 2), 1) << size;
    }
}

TEST(Filters, OnlySelectedPixelsChangeAndAlphaStays) {
    CLvImage image = PhotoLike(20, 16, 3);
    image.AlphaCreate();
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 20; x++)
            image.AlphaSet(x, y, BYTE(x * 10 + y));
    image.SelectionAddEllipse(3, 3, 15, 13);
    for (const FilterCase& c : FilterCases()) {
        CLvImage result(image);
        ASSERT_TRUE(c.run(result)) << c.name;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 20; x++) {
                EXPECT_EQ(result.AlphaGet(x, y), image.AlphaGet(x, y)) << c.name;
                if (!image.SelectionIsInside(x, y)) {
                    EXPECT_TRUE(SameColor(result.GetPixelColor(x, y), image.GetPixelColor(x, y))) << c.name;
                }
            }
    }
}

TEST(Filters, EdgeTrack) {
    // A white picture has no gradient anywhere (white is also what is read past its edges): no start above
    // 10, so the result is black.
    CLvImage white = Uniform(8, 6, Quad(255, 255, 255));
    ASSERT_TRUE(white.EdgeTrack());
    EXPECT_TRUE(SamePicture(white, Uniform(8, 6, Quad(0, 0, 0))));

    // A bright square on black. The Roberts gradient is brightest (255) in the right column and the top row,
    // where white is read past the picture: the trace starts at the first of them in scan order, (11, 0),
    // and runs up the right column. At (11, 10) the neighbours (10, 11) and (11, 11) are equally bright and
    // (10, 11) comes first in the neighbour order, so the path turns left along the top row without (11, 11)
    // and ends at (0, 11). The square's outline is never reached; everything else is black.
    CLvImage square = Uniform(12, 12, Quad(0, 0, 0));
    for (int y = 4; y < 8; y++)
        for (int x = 4; x < 8; x++)
            square.SetPixelColor(x, y, Quad(200, 200, 200));
    ASSERT_TRUE(square.EdgeTrack());
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 12; x++) {
            bool path = (x == 11 && y < 11) || (y == 11 && x < 11);
            EXPECT_TRUE(SameColor(square.GetPixelColor(x, y), path ? Quad(255, 255, 255) : Quad(0, 0, 0)))
                << x << "," << y;
        }
}

TEST(Filters, RefuseKernelsWithoutADefinedResult) {
    CLvImage image = PhotoLike(6, 5, 1);
    const CLvImage before(image);
    const double nan[9] = {1, 1, 1, 1, std::numeric_limits<double>::quiet_NaN(), 1, 1, 1, 1};
    const double huge[9] = {1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9, 1e9};
    EXPECT_FALSE(image.Filter(kBox, 0, 1, 0));
    EXPECT_FALSE(image.Filter(nullptr, 3, 1, 0));
    EXPECT_FALSE(image.Filter(nan, 3, 1, 0));
    EXPECT_FALSE(image.Filter(huge, 3, 1, 0));
    EXPECT_FALSE(image.EdgeFilter(huge, kSobelB, 3, 0, 0));
    EXPECT_FALSE(image.Median(0));
    EXPECT_FALSE(image.Laplacian(5));
    EXPECT_TRUE(SamePicture(image, before));

    CLvImage empty;
    EXPECT_FALSE(empty.BoxSmooth());
    EXPECT_FALSE(empty.SobelEdge());
    EXPECT_FALSE(empty.Median(3));
    EXPECT_FALSE(empty.ConservativeSmooth(3));
    EXPECT_FALSE(empty.Erode(2));
    EXPECT_FALSE(empty.Dilate(2));
    EXPECT_FALSE(empty.EdgeTrack());
}

TEST(Filters, CancelStopsBeforeTheFirstRowAndStillSucceeds) {
    for (const FilterCase& c : FilterCases()) {
        CLvImage image = PhotoLike(9, 7, 2);
        const CLvImage before(image);
        image.SetEscape(1);
        EXPECT_TRUE(c.run(image)) << c.name;
        EXPECT_TRUE(SamePicture(image, before)) << c.name;
    }
}

} // namespace

namespace {

// Filters change the picture in place, chunk by chunk: a cancel leaves a first run of rows filtered and the
// rest as it was, on one thread or several.
TEST(Filters, ACancelledFilterHasChangedAFirstRunOfRows) {
    for (int threads : {1, 3})
        for (const FilterCase& c : FilterCases()) {
            ThreadCount count(threads);
            const CLvImage before = PhotoLike(31, 120, 6);
            CLvImage full(before), partly(before);
            ASSERT_TRUE(c.run(full));
            {
                CancelAtRow cancel(50);
                ASSERT_TRUE(c.run(partly)) << c.name;
            }
            // Rows below k are filtered, rows from k on keep their colours (k: the first row that differs from
            // the finished filter).
            auto sameRow = [](const CLvImage& a, const CLvImage& b, int y) {
                for (int x = 0; x < a.GetWidth(); x++)
                    if (!SameColor(a.GetPixelColor(x, y), b.GetPixelColor(x, y))) return false;
                return true;
            };
            int k = 0;
            while (k < 120 && sameRow(partly, full, k))
                k++;
            EXPECT_GE(k, 50) << c.name;
            EXPECT_LT(k, 120) << c.name;
            for (int y = k; y < 120; y++)
                ASSERT_TRUE(sameRow(partly, before, y)) << c.name << " row " << y;
        }
}

} // namespace
