#pragma once

#include "LvTestUtil.h"
#include "effects/LvRows.h"

#include <string>

// Helpers of the image operation tests.

const int kDepths[] = {1, 4, 8, 24};

// A picture of the given depth filled by FillPattern (palette images get a random palette).
inline CLvImage Patterned(int width, int height, int bpp, unsigned seed) {
    CLvImage image(width, height, bpp, LVFMT_BMP);
    FillPattern(image, seed);
    return image;
}

// The colour of a pixel without the reserved byte, as an integer 0xRRGGBB.
inline int Rgb(const CLvImage& image, int x, int y) {
    RGBQUAD c = image.GetPixelColor(x, y);
    return (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
}

// What a pixel holds: its index in palette images, its colour in true-colour ones.
inline int Value(const CLvImage& image, int x, int y) {
    return image.GetBpp() == 24 ? Rgb(image, x, y) : image.GetPixelIndex(x, y);
}

// True when both images hold the same size, depth, palette and pixel values (indices, not only colours).
bool SameValues(const CLvImage& a, const CLvImage& b, std::string* where = nullptr);

// True when both images' pixel arrays (padding included) and palettes are equal byte for byte.
bool SameBytes(const CLvImage& a, const CLvImage& b);

// Sets the cancel flag of the running operation when it is about to claim row `row` of its loop, for as long as
// the object lives.
class CancelAtRow {
public:
    explicit CancelAtRow(int row);
    ~CancelAtRow();
    CancelAtRow(const CancelAtRow&) = delete;
    CancelAtRow& operator=(const CancelAtRow&) = delete;
};

// Runs the row loops on the given number of threads for as long as the object lives.
class ThreadCount {
public:
    explicit ThreadCount(int threads) { LvSetThreadCount(threads); }
    ~ThreadCount() { LvSetThreadCount(0); }
    ThreadCount(const ThreadCount&) = delete;
    ThreadCount& operator=(const ThreadCount&) = delete;
};

// How many of the rows from the bottom differ between a and b before the first equal row, and whether
// every row above that is equal: a cancelled operation changes a first run of rows only.
struct RowRun {
    int changed;
    bool restEqual;
};
RowRun ChangedRowsFromBottom(const CLvImage& a, const CLvImage& b);
