#pragma once

#include "LvTestUtil.h"

#include <string>
#include <vector>

// A picture as another program read it: colours with alpha (255 where the file has none), rows from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<RGBQUAD> pixels;
    const RGBQUAD& At(int x, int row) const { return pixels[size_t(row) * size_t(width) + size_t(x)]; }
};

// Reads binary Netpbm files: P5 (grey), P6 (colour) and P7 (PAM: BLACKANDWHITE, GRAYSCALE, RGB, with or
// without _ALPHA), 8 bits per sample.
Picture ReadNetpbm(const std::string& path);

// What the image shows: colours, and alpha from the alpha plane, the palette's alpha, or the transparent
// index (255 otherwise).
Picture PictureOf(const CLvImage& image);

// Empty when both have the same size and every channel differs by at most tolerance (alpha only when
// compareAlpha); otherwise where they first differ.
std::string ComparePictures(const Picture& actual, const Picture& expected, int tolerance, bool compareAlpha);

// The bytes of a file with one byte changed, for corruption tests.
Bytes WithByte(Bytes bytes, size_t at, uint8_t value);

// A stream that accepts at most limit bytes, then fails every write: a full disk.
class CLvFullStream : public CLvMemStream {
public:
    explicit CLvFullStream(size_t limit) : m_limit(limit) {}
    size_t Write(const void* buffer, size_t size, size_t count) override;

private:
    size_t m_limit;
};
