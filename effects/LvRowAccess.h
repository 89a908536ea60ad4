#pragma once

#include "image/LvImage.h"
#include "image/LvNearestColor.h"

#include <memory>
#include <vector>

// Row-wise pixel access for the image operations: rows read as blue-green-red bytes with the colour-read
// rule for positions outside the picture, and rows written back as colours (nearest palette entry on
// palette images) only where the selection test holds.

// A box of pixels: x from left to right - 1, y from bottom to top - 1.
struct CLvBox {
    int left;
    int bottom;
    int right;
    int top;
    int Width() const { return right > left ? right - left : 0; }
    int Height() const { return top > bottom ? top - bottom : 0; }
    bool IsEmpty() const { return Width() == 0 || Height() == 0; }
};

// The whole picture.
CLvBox LvWholeBox(const CLvImage& image);
// The box the operations scan: the selection's bounding box (kept inside the picture) when the image has a
// selection mask, else the whole picture.
CLvBox LvScanBox(const CLvImage& image);

// The colour that the image's colour read gives for a position outside the picture.
RGBQUAD LvOutsideColor(const CLvImage& image);

// Luminance of the gray scale and the histograms: (117 B + 601 G + 306 R) >> 10.
inline int LvGray(int red, int green, int blue) {
    return (117 * blue + 601 * green + 306 * red) >> 10;
}

// Clamps to a byte.
inline BYTE LvClampByte(int v) {
    return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Writes an index into a stored row of 1, 4 or 8 bits.
inline void LvPutIndex(BYTE* row, int x, int bpp, BYTE index) {
    if (bpp == 8) {
        row[x] = index;
    } else if (bpp == 4) {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? BYTE((b & 0xF0) | (index & 0x0F)) : BYTE((b & 0x0F) | ((index & 0x0F) << 4));
    } else {
        BYTE mask = BYTE(0x80 >> (x & 7));
        row[x >> 3] = (index & 1) ? BYTE(row[x >> 3] | mask) : BYTE(row[x >> 3] & ~mask);
    }
}

// Reads pixels as blue, green, red bytes. Positions outside [0, xLimit) x [0, yLimit) read as one fixed
// colour; the image's own rule (LvOutsideColor over the whole picture) is the default.
class CLvRowReader {
public:
    explicit CLvRowReader(const CLvImage& image);
    CLvRowReader(const CLvImage& image, int xLimit, int yLimit, RGBQUAD outside);

    // count pixels of row y from column x0 on (x0 may be negative, the run may pass the right edge).
    void Read(int y, int x0, int count, BYTE* out) const;

private:
    const CLvImage& m_image;
    int m_xLimit;
    int m_yLimit;
    BYTE m_outside[3];
    BYTE m_palette[256][3]; // palette images: blue, green, red of each entry
};

// The last rows read for a sliding window, each read once: Get(y) gives row y, columns x0 .. x0 + count - 1.
// A row read while the window slides up is read before the window's own row y is written, so a window can
// run over the picture it changes. Rows that other writers may change first are read ahead with Keep.
class CLvRowWindow {
public:
    CLvRowWindow(const CLvRowReader& reader, int x0, int count, int rows);
    const BYTE* Get(int y);
    // Reads row y now; Get(y) gives these colours later.
    void Keep(int y);

private:
    std::vector<std::pair<int, std::vector<BYTE>>> m_kept;
    const CLvRowReader& m_reader;
    int m_x0;
    int m_count;
    int m_rows;
    std::vector<BYTE> m_buffer;
    std::vector<int> m_rowOf;
    std::vector<bool> m_filled;
};

// Writes blue-green-red pixels into an image as its colour write does (nearest entry on palette images),
// only at pixels where the selection test holds unless told to write everywhere. Safe to use from several
// threads on different rows.
class CLvRowWriter {
public:
    explicit CLvRowWriter(CLvImage& target, bool selectedOnly = true);

    // count pixels from bgr into row y from column x0 on; the run must lie inside the picture.
    void Write(int y, int x0, int count, const BYTE* bgr) const;
    // One pixel.
    void Put(int x, int y, BYTE blue, BYTE green, BYTE red) const;

private:
    BYTE Nearest(BYTE red, BYTE green, BYTE blue) const;

    CLvImage& m_target;
    bool m_selectedOnly;
    const RGBQUAD* m_palette = nullptr;
    DWORD m_colors = 0;
    std::unique_ptr<CLvNearestColor> m_nearest; // large pictures: a search grid
};
