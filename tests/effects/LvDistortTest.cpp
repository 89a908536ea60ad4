#include "LvEffectCases.h"
#include "effects/LvRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

struct Box {
    int left, bottom, right, top;
};

Box BoxOf(const CLvImage& image) {
    if (!image.pSelection) return {0, 0, image.GetWidth(), image.GetHeight()};
    const RECT& r = image.info.rcSelection;
    return {int(r.left), int(r.bottom), int(r.right), int(r.top)};
}

RGBQUAD Clamped(long long r, long long g, long long b) {
    auto c = [](long long v) { return int(v < 0 ? 0 : v > 255 ? 255 : v); };
    return Quad(c(r), c(g), c(b));
}

// ---- literal versions, written from the definitions with the pixel accessors ----

CLvImage LiteralWindy(const CLvImage& original, int strength, int direction, bool smooth) {
    CLvImage image(original), copy(original);
    const Box box = BoxOf(image);
    CLvRandomStream random;
    for (int y = box.bottom; y < box.top; y++) {
        int L = strength;
        if (!smooth) {
            int r = random.Next() % strength;
            L = r >= 1 ? random.Next() % strength : 1;
        }
        const int n = L + 1;
        const int p = direction == 1 ? box.left : box.right - 1;
        const RGBQUAD e = image.GetPixelColor(p, y);
        long long s[3] = {0, 0, 0};
        for (int x = p; x < p + n; x++) {
            RGBQUAD c = image.GetPixelColor(x, y);
            s[0] += c.rgbRed;
            s[1] += c.rgbGreen;
            s[2] += c.rgbBlue;
        }
        image.SetPixelColor(p, y, Clamped(s[0] / n, s[1] / n, s[2] / n));
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            RGBQUAD c = image.GetPixelColor(x, y);
            RGBQUAD in = x < box.right - L - 1 ? image.GetPixelColor(x + n, y) : e;
            s[0] += in.rgbRed - c.rgbRed;
            s[1] += in.rgbGreen - c.rgbGreen;
            s[2] += in.rgbBlue - c.rgbBlue;
            copy.SetPixelColor(x, y, Clamped(s[0] / n, s[1] / n, s[2] / n));
        }
    }
    return copy;
}

CLvImage LiteralStripe(const CLvImage& original, int swing, int frequency, bool vertical) {
    CLvImage image(original);
    const Box box = BoxOf(image);
    const RGBQUAD white = Quad(255, 255, 255);
    const int w = image.GetWidth(), h = image.GetHeight();
    // (u, v): u along the lines that shift, v across them.
    auto at = [vertical](int line, int pos, int& x, int& y) {
        x = vertical ? line : pos;
        y = vertical ? pos : line;
    };
    const int lineFrom = vertical ? box.left : box.bottom, lineTo = vertical ? box.right : box.top;
    const int posFrom = vertical ? box.bottom : box.left, posTo = vertical ? box.top : box.right;
    const int A = (vertical ? h : w) * swing * 95 / 10000;
    {
        CLvImage copy(image);
        for (int line = lineFrom; line < lineTo; line++) {
            for (int pos = posFrom; pos <= posTo - A - 1; pos++) {
                int x, y, tx, ty;
                at(line, pos, x, y);
                at(line, pos + A, tx, ty);
                if (image.SelectionIsInside(x, y)) copy.SetPixelColor(tx, ty, image.GetPixelColor(x, y));
            }
            for (int pos = posFrom; pos <= posFrom + A - 1; pos++) {
                int x, y;
                at(line, pos, x, y);
                if (image.SelectionIsInside(x, y)) copy.SetPixelColor(x, y, white);
            }
        }
        image = copy;
    }
    const double step = frequency * 3.14159265 / (vertical ? w : h) * 0.1;
    double phase = 0;
    for (int line = lineFrom; line < lineTo; line++) {
        const int d = int((std::cos(phase) - 1) * -(A / 2));
        CLvImage copy(image);
        for (int pos = posFrom + d; pos <= posTo - 1; pos++) {
            int x, y, tx, ty;
            at(line, pos, x, y);
            at(line, pos - d, tx, ty);
            if (image.SelectionIsInside(x, y)) copy.SetPixelColor(tx, ty, image.GetPixelColor(x, y));
        }
        for (int pos = std::max(posTo - d, posFrom); pos <= posTo - 1; pos++) {
            int x, y;
            at(line, pos, x, y);
            if (image.SelectionIsInside(x, y)) copy.SetPixelColor(x, y, white);
        }
        image = copy;
        phase += step;
    }
    return image;
}

typedef std::function<bool(int i, int j, double rx, double ry, int& si, int& sj)> LensRule;

CLvImage LiteralLens(const CLvImage& image, const LensRule& rule) {
    CLvImage copy(image);
    const Box box = BoxOf(image);
    int W = box.right - box.left, H = box.top - box.bottom;
    if (W % 2 == 0) W--;
    if (H % 2 == 0) H--;
    const int cx = box.left + W / 2, cy = box.bottom + H / 2;
    const double rx = cx - box.left, ry = cy - box.bottom;
    for (int j = 0; j < ry; j++)
        for (int i = 0; i < rx; i++) {
            int si, sj;
            if (!rule(i, j, rx, ry, si, sj)) break;
            if (si == i && sj == j) continue;
            copy.SetPixelColor(cx + i, cy + j, image.GetPixelColor(cx + si, cy + sj));
            copy.SetPixelColor(cx - i, cy + j, image.GetPixelColor(cx - si, cy + sj));
            copy.SetPixelColor(cx + i, cy - j, image.GetPixelColor(cx + si, cy - sj));
            copy.SetPixelColor(cx - i, cy - j, image.GetPixelColor(cx - si, cy - sj));
        }
    return copy;
}

LensRule ConeRule(int radius, bool project) {
    return [=](int i, int j, double rx, double ry, int& si, int& sj) {
        const double k = (101 - radius) * 0.015707963250000002;
        const double d = std::hypot(i / rx, j / ry);
        if (d >= 1) return false;
        const double s = std::sin(d * (1.570796325 - k) + k);
        const double f = project ? s : 1 / s;
        si = int(i * f);
        sj = int(j * f);
        return true;
    };
}

double SphereDistance(double r, double R, int radius) {
    if (radius == 0) return r;
    if (radius == 100) return std::asin(r / R) * R * 0.6366197730950255;
    const double a = radius * R * 0.01;
    return std::asin(2 * a * r / (R * R + a * a)) * R / std::atan(2 * a * R / (R * R - a * a));
}

LensRule SphereRule(int radius) {
    return [=](int i, int j, double rx, double ry, int& si, int& sj) {
        const double R = std::min(rx, ry);
        if (std::hypot(i / R, j / R) >= 1) return false;
        const double r = std::hypot(double(i), double(j));
        si = sj = 0;
        if (r == 0) return true;
        const double f = SphereDistance(r, R, radius) / r;
        si = int(i * f);
        sj = int(j * f);
        return true;
    };
}

LensRule CylinderRule(int radius) {
    return [=](int i, int j, double rx, double, int& si, int& sj) {
        sj = j;
        si = i == 0 ? 0 : int(SphereDistance(i, rx, radius) / i * i);
        return true;
    };
}

CLvImage LiteralEllipse(const CLvImage& image) {
    CLvImage copy(image);
    const Box box = BoxOf(image);
    const float hx = float(box.right - box.left) * 0.5f, hy = float(box.top - box.bottom) * 0.5f;
    const float k = float(box.top - box.bottom) / float(box.right - box.left);
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            const float dy = float(y) - (float(box.bottom) + hy);
            const float dx = (float(x) - (float(box.left) + hx)) * k;
            float s = 1;
            if (dx != 0 || dy != 0) s = std::sqrt(dx * dx + dy * dy) / std::max(std::fabs(dx), std::fabs(dy));
            copy.SetPixelColor(
                x, y,
                image.GetPixelColor(int(float(box.left) + hx + s * dx / k), int(float(box.bottom) + hy + s * dy)));
        }
    return copy;
}

struct DistortCase {
    const char* name;
    std::function<bool(CLvImage&)> run;
    std::function<CLvImage(const CLvImage&)> literal;
};

std::vector<DistortCase> DistortCases() {
    auto seeded = [](std::function<bool(CLvImage&)> run) {
        return [run](CLvImage& i) {
            LvRandomSeed(5);
            return run(i);
        };
    };
    auto seededLiteral = [](std::function<CLvImage(const CLvImage&)> run) {
        return [run](const CLvImage& i) {
            LvRandomSeed(5);
            return run(i);
        };
    };
    return {
        {"WindySmooth", seeded([](CLvImage& i) { return i.Windy(4, 1, true); }),
         seededLiteral([](const CLvImage& i) { return LiteralWindy(i, 4, 1, true); })},
        {"WindyRandom", seeded([](CLvImage& i) { return i.Windy(9, 1, false); }),
         seededLiteral([](const CLvImage& i) { return LiteralWindy(i, 9, 1, false); })},
        {"WindyOtherSide", seeded([](CLvImage& i) { return i.Windy(3, 0, true); }),
         seededLiteral([](const CLvImage& i) { return LiteralWindy(i, 3, 0, true); })},
        {"StripeVertical", [](CLvImage& i) { return i.Stripe(40, 30, true); },
         [](const CLvImage& i) { return LiteralStripe(i, 40, 30, true); }},
        {"StripeHorizontal", [](CLvImage& i) { return i.Stripe(25, 90, false); },
         [](const CLvImage& i) { return LiteralStripe(i, 25, 90, false); }},
        {"Cone", [](CLvImage& i) { return i.Cone(60); },
         [](const CLvImage& i) { return LiteralLens(i, ConeRule(60, false)); }},
        {"ConeClamped", [](CLvImage& i) { return i.Cone(250); },
         [](const CLvImage& i) { return LiteralLens(i, ConeRule(100, false)); }},
        {"Project", [](CLvImage& i) { return i.Project(1); },
         [](const CLvImage& i) { return LiteralLens(i, ConeRule(1, true)); }},
        {"Sphere", [](CLvImage& i) { return i.Sphere(45); },
         [](const CLvImage& i) { return LiteralLens(i, SphereRule(45)); }},
        {"Sphere100", [](CLvImage& i) { return i.Sphere(100); },
         [](const CLvImage& i) { return LiteralLens(i, SphereRule(100)); }},
        {"Cylinder", [](CLvImage& i) { return i.Cylinder(70); },
         [](const CLvImage& i) { return LiteralLens(i, CylinderRule(70)); }},
        {"Cylinder100", [](CLvImage& i) { return i.Cylinder(100); },
         [](const CLvImage& i) { return LiteralLens(i, CylinderRule(100)); }},
        {"Ellipse", [](CLvImage& i) { return i.Ellipse(); }, [](const CLvImage& i) { return LiteralEllipse(i); }},
    };
}

TEST(Distort, MatchTheLiteralDefinitionEverywhere) {
    for (const DistortCase& c : DistortCases())
        for (const EffectInput& input : AllEffectInputs()) {
            CLvImage original = MakeInput(input, 29, 22);
            CLvImage expected = c.literal(original);
            CLvImage actual(original);
            ThreadCount threads(input.threads);
            ASSERT_TRUE(c.run(actual)) << c.name;
            std::string where;
            EXPECT_TRUE(SamePicture(actual, expected, &where)) << c.name << " " << input.Name() << ": " << where;
        }
}

TEST(Distort, NeutralSettingsChangeNothing) {
    const CLvImage photo = PhotoLike(24, 18, 8);
    const std::vector<std::function<bool(CLvImage&)>> neutral = {
        [](CLvImage& i) { return i.Stripe(0, 50, true); }, [](CLvImage& i) { return i.Stripe(0, 50, false); },
        [](CLvImage& i) { return i.Sphere(0); }, [](CLvImage& i) { return i.Cylinder(0); }};
    for (const auto& run : neutral) {
        CLvImage image(photo);
        ASSERT_TRUE(run(image));
        EXPECT_TRUE(SamePicture(image, photo));
    }
    // Windy of a uniform picture: every window average is the colour itself.
    CLvImage flat = Uniform(15, 6, Quad(30, 60, 90));
    ASSERT_TRUE(flat.Windy(5, 1, true));
    ASSERT_TRUE(flat.Windy(5, 1, false));
    EXPECT_TRUE(SamePicture(flat, Uniform(15, 6, Quad(30, 60, 90))));
    // Without smoothing the run length is drawn modulo the strength, which must be at least 1.
    EXPECT_FALSE(flat.Windy(0, 1, false));
    EXPECT_TRUE(flat.Windy(0, 1, true));
}

TEST(Distort, StripeWithoutFrequencyMovesThePictureUpOverWhite) {
    CLvImage image = PhotoLike(12, 40, 2);
    const CLvImage before(image);
    ASSERT_TRUE(image.Stripe(30, 0, true));
    const int A = 40 * 30 * 95 / 10000; // 11
    ASSERT_EQ(A, 11);
    for (int y = 0; y < 40; y++)
        for (int x = 0; x < 12; x++) {
            RGBQUAD expected = y < A ? Quad(255, 255, 255) : before.GetPixelColor(x, y - A);
            ASSERT_TRUE(SameColor(image.GetPixelColor(x, y), expected)) << x << "," << y;
        }
}

TEST(Distort, ConeAndProjectPullInOppositeDirections) {
    // Red is the column: the colour at (cx + i, cy) shows which column it came from.
    CLvImage cone(41, 41, 24), project(41, 41, 24);
    for (int y = 0; y < 41; y++)
        for (int x = 0; x < 41; x++) {
            cone.SetPixelColor(x, y, Quad(x * 6, 0, 0));
            project.SetPixelColor(x, y, Quad(x * 6, 0, 0));
        }
    ASSERT_TRUE(cone.Cone(100));
    ASSERT_TRUE(project.Project(100));
    int farther = 0, nearer = 0;
    for (int i = 1; i < 20; i++) {
        int fromCone = cone.GetPixelColor(20 + i, 20).rgbRed / 6 - 20;
        int fromProject = project.GetPixelColor(20 + i, 20).rgbRed / 6 - 20;
        EXPECT_GE(fromCone, i);
        EXPECT_LE(fromProject, i);
        farther += fromCone > i;
        nearer += fromProject < i;
    }
    EXPECT_GT(farther, 10);
    EXPECT_GT(nearer, 10);
}

TEST(Distort, PixelsOutsideTheLensKeepTheirColours) {
    const CLvImage photo = PhotoLike(31, 21, 6);
    for (auto run : std::vector<std::function<bool(CLvImage&)>>{[](CLvImage& i) { return i.Cone(50); },
                                                                [](CLvImage& i) { return i.Project(50); },
                                                                [](CLvImage& i) { return i.Sphere(50); }}) {
        CLvImage image(photo);
        ASSERT_TRUE(run(image));
        // Centre (15, 10), half-axes 15 and 10 (Sphere: 10 both ways): the corners lie outside every lens.
        for (int y : {0, 1, 19, 20})
            for (int x : {0, 1, 2, 28, 29, 30})
                EXPECT_TRUE(SameColor(image.GetPixelColor(x, y), photo.GetPixelColor(x, y))) << x << "," << y;
    }
}

TEST(Distort, EllipseMapsTheSquareOntoItsCircle) {
    CLvImage image(20, 20, 24);
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++)
            image.SetPixelColor(x, y, Quad(x * 10, y * 10, 0));
    const CLvImage before(image);
    ASSERT_TRUE(image.Ellipse());
    // The centre stays; a point on the horizontal axis stays (s = 1).
    EXPECT_TRUE(SameColor(image.GetPixelColor(10, 10), before.GetPixelColor(10, 10)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 10), before.GetPixelColor(3, 10)));
    // The corner reads from sqrt(2) farther out along the diagonal, past the picture: the colour of (0, 0).
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), before.GetPixelColor(0, 0)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 1), before.GetPixelColor(0, 0)));
    // (4, 4) lies at 6 and 6 from the centre: s = sqrt(2), source (10 - 8.48, 10 - 8.48) -> (1, 1).
    EXPECT_TRUE(SameColor(image.GetPixelColor(4, 4), before.GetPixelColor(1, 1)));
}

// A window longer than the row reads past the right edge, where the colour is that of pixel (0, 0), which the
// first row has just replaced by its average.
TEST(Distort, WindyPastTheEdgeReadsTheNewCornerColour) {
    CLvImage image(2, 2, 24);
    const BYTE grey[2][2] = {{0, 90}, {30, 60}}; // rows from the bottom
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++)
            image.SetPixelColor(x, y, RGBQUAD{grey[y][x], grey[y][x], grey[y][x], 0});
    ASSERT_TRUE(image.Windy(3, 1, true));
    const int expected[2][2] = {{17, 0}, {32, 25}};
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++)
            EXPECT_EQ(image.GetPixelColor(x, y).rgbRed, expected[y][x]) << x << "," << y;
}

TEST(Distort, EmptyImagesFail) {
    CLvImage empty;
    EXPECT_FALSE(empty.Windy(3, 1, true));
    EXPECT_FALSE(empty.Stripe(3, 3, true));
    EXPECT_FALSE(empty.Cone(3));
    EXPECT_FALSE(empty.Project(3));
    EXPECT_FALSE(empty.Sphere(3));
    EXPECT_FALSE(empty.Cylinder(3));
    EXPECT_FALSE(empty.Ellipse());
}

} // namespace
