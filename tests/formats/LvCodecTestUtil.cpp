#include "LvCodecTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <random>
#include <sstream>

namespace {

// The next header token of a netpbm file, skipping white space and comment lines.
std::string Token(const Bytes& bytes, size_t& pos) {
    for (;;) {
        while (pos < bytes.size() && isspace(bytes[pos]))
            pos++;
        if (pos < bytes.size() && bytes[pos] == '#') {
            while (pos < bytes.size() && bytes[pos] != '\n')
                pos++;
            continue;
        }
        break;
    }
    std::string token;
    while (pos < bytes.size() && !isspace(bytes[pos]))
        token += char(bytes[pos++]);
    return token;
}

} // namespace

Reference ReadReference(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    size_t pos = 0;
    std::string magic = Token(bytes, pos);
    Reference ref;
    int depth = 0;
    int maxval = 0;
    if (magic == "P6") {
        ref.width = atoi(Token(bytes, pos).c_str());
        ref.height = atoi(Token(bytes, pos).c_str());
        maxval = atoi(Token(bytes, pos).c_str());
        depth = 3;
    } else if (magic == "P7") {
        for (std::string key = Token(bytes, pos); key != "ENDHDR" && pos < bytes.size(); key = Token(bytes, pos)) {
            std::string value = Token(bytes, pos);
            if (key == "WIDTH") ref.width = atoi(value.c_str());
            if (key == "HEIGHT") ref.height = atoi(value.c_str());
            if (key == "DEPTH") depth = atoi(value.c_str());
            if (key == "MAXVAL") maxval = atoi(value.c_str());
        }
    }
    pos++; // the single white-space byte before the samples
    EXPECT_EQ(maxval, 255) << path;
    EXPECT_TRUE(depth >= 1 && depth <= 4) << path;
    size_t pixels = size_t(ref.width) * size_t(ref.height);
    EXPECT_EQ(bytes.size() - pos, pixels * depth) << path;
    if (maxval != 255 || depth < 1 || depth > 4 || bytes.size() - pos != pixels * depth) return Reference();
    ref.rgba.resize(pixels * 4);
    for (size_t i = 0; i < pixels; i++) {
        const uint8_t* s = &bytes[pos + i * depth];
        uint8_t* d = &ref.rgba[i * 4];
        bool grey = depth <= 2;
        d[0] = s[0];
        d[1] = grey ? s[0] : s[1];
        d[2] = grey ? s[0] : s[2];
        d[3] = depth == 2 ? s[1] : depth == 4 ? s[3] : 255;
    }
    return ref;
}

int PixelAlpha(const CLvImage& image, int x, int y) {
    if (image.AlphaIsValid()) return image.AlphaGet(x, y);
    if (image.GetTransIndex() == -1) return 255;
    if (image.GetBpp() < 24) return image.GetPixelIndex(x, y) == image.GetTransIndex() ? 0 : 255;
    RGBQUAD c = image.GetPixelColor(x, y);
    RGBQUAD t = image.GetTransColor();
    return c.rgbRed == t.rgbRed && c.rgbGreen == t.rgbGreen && c.rgbBlue == t.rgbBlue ? 0 : 255;
}

std::string CompareWithReference(const CLvImage& image, const Reference& reference, int colorTolerance,
                                 int alphaTolerance) {
    std::ostringstream out;
    if (image.GetWidth() != reference.width || image.GetHeight() != reference.height) {
        out << "size " << image.GetWidth() << "x" << image.GetHeight() << " against " << reference.width << "x"
            << reference.height;
        return out.str();
    }
    for (int row = 0; row < reference.height; row++)
        for (int x = 0; x < reference.width; x++) {
            int y = reference.height - 1 - row;
            const uint8_t* e = reference.At(x, row);
            RGBQUAD c = image.GetPixelColor(x, y);
            int alpha = PixelAlpha(image, x, y);
            int tolerance = e[3] == 0 || e[3] == 255 ? 0 : alphaTolerance;
            bool same = abs(alpha - e[3]) <= tolerance;
            if (same && e[3] != 0)
                same = abs(c.rgbRed - e[0]) <= colorTolerance && abs(c.rgbGreen - e[1]) <= colorTolerance &&
                       abs(c.rgbBlue - e[2]) <= colorTolerance;
            if (!same) {
                out << "pixel " << x << ", row " << row << ": " << ColorText(c) << " alpha " << alpha << " against (r "
                    << int(e[0]) << ", g " << int(e[1]) << ", b " << int(e[2]) << ") alpha " << int(e[3]);
                return out.str();
            }
        }
    return std::string();
}

CLvImage ReferenceImage(const Reference& reference) {
    CLvImage image(reference.width, reference.height, 24);
    bool opaque = true;
    for (size_t i = 3; i < reference.rgba.size(); i += 4)
        opaque = opaque && reference.rgba[i] == 255;
    if (!opaque) image.AlphaCreate();
    for (int row = 0; row < reference.height; row++)
        for (int x = 0; x < reference.width; x++) {
            const uint8_t* e = reference.At(x, row);
            image.SetPixelColor(x, reference.height - 1 - row, Quad(e[0], e[1], e[2], e[3]), true);
        }
    return image;
}

namespace {

void ExpectCleanResult(const Bytes& bytes, DWORD format, bool failuresHaveText, const std::string& what) {
    CLvImage image;
    if (DecodeBytes(image, bytes, format)) {
        EXPECT_TRUE(image.IsValid() && image.GetWidth() > 0 && image.GetHeight() > 0) << what;
    } else {
        EXPECT_FALSE(image.IsValid()) << what;
        if (failuresHaveText) {
            EXPECT_STRNE(image.GetLastErrorText(), "") << what;
        }
    }
}

} // namespace

void ExpectPrefixesFailCleanly(const Bytes& file, DWORD format, bool failuresHaveText) {
    for (size_t n = 0; n < file.size(); n++)
        ExpectCleanResult(Bytes(file.begin(), file.begin() + long(n)), format, failuresHaveText,
                          std::to_string(n) + " bytes");
}

void ExpectMutationsFailCleanly(const Bytes& file, DWORD format, unsigned seed, int rounds, bool failuresHaveText) {
    std::mt19937 random(seed);
    for (int round = 0; round < rounds; round++) {
        Bytes mutated = file;
        int changes = 1 + int(random() % 4);
        for (int i = 0; i < changes; i++) {
            // Most changes hit the headers, where the sizes and counts are.
            size_t span = random() % 2 ? std::min<size_t>(mutated.size(), 64) : mutated.size();
            mutated[random() % span] = BYTE(random());
        }
        ExpectCleanResult(mutated, format, failuresHaveText, "round " + std::to_string(round));
    }
}
