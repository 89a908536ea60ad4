#include "LvPictureFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace {

// The next whitespace-separated header word, skipping comments.
std::string Word(const Bytes& bytes, size_t& at) {
    std::string word;
    while (at < bytes.size()) {
        char c = char(bytes[at]);
        if (c == '#') {
            while (at < bytes.size() && bytes[at] != '\n')
                at++;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            if (!word.empty()) break;
            at++;
        } else {
            word += c;
            at++;
        }
    }
    return word;
}

} // namespace

Picture ReadNetpbm(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    Picture picture;
    size_t at = 0;
    std::string magic = Word(bytes, at);
    int depth = 0, maxval = 0;
    std::string tupleType;
    if (magic == "P5" || magic == "P6") {
        picture.width = atoi(Word(bytes, at).c_str());
        picture.height = atoi(Word(bytes, at).c_str());
        maxval = atoi(Word(bytes, at).c_str());
        depth = magic == "P5" ? 1 : 3;
        at++; // the single whitespace before the samples
    } else if (magic == "P7") {
        for (std::string key = Word(bytes, at); key != "ENDHDR" && !key.empty(); key = Word(bytes, at)) {
            std::string value = Word(bytes, at);
            if (key == "WIDTH") picture.width = atoi(value.c_str());
            if (key == "HEIGHT") picture.height = atoi(value.c_str());
            if (key == "DEPTH") depth = atoi(value.c_str());
            if (key == "MAXVAL") maxval = atoi(value.c_str());
            if (key == "TUPLTYPE") tupleType = value;
        }
        at++;
    }
    EXPECT_TRUE(maxval == 255 || (maxval == 1 && tupleType == "BLACKANDWHITE")) << path << " maxval " << maxval;
    EXPECT_TRUE(depth >= 1 && depth <= 4) << path;
    size_t count = size_t(picture.width) * size_t(picture.height);
    if (depth < 1 || depth > 4 || bytes.size() < at + count * size_t(depth)) {
        ADD_FAILURE() << path << " is too short";
        return Picture();
    }
    const int scale = maxval == 1 ? 255 : 1;
    for (size_t i = 0; i < count; i++, at += size_t(depth)) {
        const uint8_t* p = &bytes[at];
        RGBQUAD c;
        if (depth <= 2)
            c = Quad(p[0] * scale, p[0] * scale, p[0] * scale, depth == 2 ? p[1] * scale : 255);
        else
            c = Quad(p[0], p[1], p[2], depth == 4 ? p[3] : 255);
        picture.pixels.push_back(c);
    }
    return picture;
}

Picture PictureOf(const CLvImage& image) {
    Picture picture;
    picture.width = image.GetWidth();
    picture.height = image.GetHeight();
    const RGBQUAD* palette = image.GetPalette();
    for (int row = 0; row < picture.height; row++) {
        for (int x = 0; x < picture.width; x++) {
            int y = picture.height - 1 - row;
            RGBQUAD c = image.GetPixelColor(x, y);
            if (image.pAlpha)
                c.rgbReserved = image.AlphaGet(x, y);
            else if (palette && image.GetAlphaPalette())
                c.rgbReserved = palette[image.GetPixelIndex(x, y)].rgbReserved;
            else if (palette && image.GetTransIndex() >= 0)
                c.rgbReserved = image.GetPixelIndex(x, y) == image.GetTransIndex() ? 0 : 255;
            else
                c.rgbReserved = 255;
            picture.pixels.push_back(c);
        }
    }
    return picture;
}

std::string ComparePictures(const Picture& actual, const Picture& expected, int tolerance, bool compareAlpha) {
    std::ostringstream out;
    if (actual.width != expected.width || actual.height != expected.height) {
        out << "size " << actual.width << "x" << actual.height << ", expected " << expected.width << "x"
            << expected.height;
        return out.str();
    }
    for (int row = 0; row < actual.height; row++) {
        for (int x = 0; x < actual.width; x++) {
            const RGBQUAD& a = actual.At(x, row);
            const RGBQUAD& e = expected.At(x, row);
            bool same = abs(a.rgbRed - e.rgbRed) <= tolerance && abs(a.rgbGreen - e.rgbGreen) <= tolerance &&
                        abs(a.rgbBlue - e.rgbBlue) <= tolerance &&
                        (!compareAlpha || abs(a.rgbReserved - e.rgbReserved) <= tolerance);
            if (!same) {
                out << "pixel " << x << ", row " << row << ": " << ColorText(a) << " alpha " << int(a.rgbReserved)
                    << ", expected " << ColorText(e) << " alpha " << int(e.rgbReserved);
                return out.str();
            }
        }
    }
    return std::string();
}

Bytes WithByte(Bytes bytes, size_t at, uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

size_t CLvFullStream::Write(const void* buffer, size_t size, size_t count) {
    if (size == 0) return 0;
    size_t room = m_limit > GetLength() ? m_limit - GetLength() : 0;
    size_t items = count < room / size ? count : room / size;
    return CLvMemStream::Write(buffer, size, items);
}
