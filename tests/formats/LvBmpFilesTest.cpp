#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

// A binary PPM (P6, maxval 255): width, height and rows of red, green, blue from the top.
struct Ppm {
    int width = 0;
    int height = 0;
    Bytes rgb;
};

Ppm ReadPpm(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    std::string text(bytes.begin(), bytes.end());
    std::istringstream in(text);
    std::string magic;
    int maxval = 0;
    Ppm ppm;
    in >> magic >> ppm.width >> ppm.height >> maxval;
    in.get();
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(maxval, 255);
    size_t start = size_t(in.tellg());
    ppm.rgb.assign(bytes.begin() + long(start), bytes.end());
    EXPECT_EQ(ppm.rgb.size(), size_t(ppm.width) * size_t(ppm.height) * 3);
    return ppm;
}

TEST(BmpFiles, ReadLikeAnIndependentReader) {
    const struct {
        const char* name;
        int bpp;
        int tolerance;
        const char* reference = nullptr; // the .ppm of another file with the same picture
    } files[] = {
        {"v3-24", 24, 0},
        {"v3-8", 8, 0},
        {"v3-4", 4, 0},
        {"v3-1", 1, 0},
        {"v3-rle8", 8, 0},
        {"v5-24", 24, 0},
        {"os2-24", 24, 0},
        {"os2-8", 8, 0},
        {"v5-555", 24, 7},
        {"v5-565", 24, 7},
        {"v5-argb", 24, 0},
        // OS/2 2.x headers cut short to 16 and 36 bytes.
        {"os2v2-16-8", 8, 0, "v3-8"},
        {"os2v2-36-24", 24, 0, "v3-24"},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        CLvImage image;
        ASSERT_TRUE(image.Load(DataPath(std::string("bmp/") + f.name + ".bmp").c_str(), LVFMT_BMP))
            << image.GetLastErrorText();
        Ppm expected = ReadPpm(DataPath(std::string("bmp/") + (f.reference ? f.reference : f.name) + ".ppm"));
        ASSERT_EQ(image.GetWidth(), expected.width);
        ASSERT_EQ(image.GetHeight(), expected.height);
        EXPECT_EQ(image.GetBpp(), f.bpp);
        for (int row = 0; row < expected.height; row++)
            for (int x = 0; x < expected.width; x++) {
                const BYTE* e = &expected.rgb[(size_t(row) * expected.width + x) * 3];
                RGBQUAD c = image.GetPixelColor(x, expected.height - 1 - row);
                ASSERT_LE(abs(c.rgbRed - e[0]), f.tolerance) << "red at " << x << ", row " << row;
                ASSERT_LE(abs(c.rgbGreen - e[1]), f.tolerance) << "green at " << x << ", row " << row;
                ASSERT_LE(abs(c.rgbBlue - e[2]), f.tolerance) << "blue at " << x << ", row " << row;
            }
    }
}

} // namespace
