#pragma once

#include "effects/LvEffectUtil.h"
#include "image/LvImage.h"
#include "image/LvNearestColor.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

// Row-wise pixel access for the image operations: rows read as blue-green-red bytes with the colour-read
// rule for positions outside the picture, and rows written back as colours (nearest palette entry on
// palette images) only where the selection test holds.

// The colour that the image's colour read gives for a position outside the picture.
RGBQUAD LvOutsideColor(const CLvImage& image);

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

// Rows as the gray scale gives them: gray(R, G, B) of every pixel's colour, one byte per pixel.
class CLvGrayRows {
public:
    explicit CLvGrayRows(const CLvImage& image);
    // The width's gray values of row y (inside the picture).
    void Read(int y, BYTE* out) const;

private:
    const CLvImage& m_image;
    BYTE m_grays[256]; // palette images: the gray value of each entry
};

// The last rows read for a sliding window, each read once: Get(y) gives row y, columns x0 .. x0 + count - 1.
// A row read while the window slides up is read before the window's own row y is written, so a window can
// run over the picture it changes. Rows that other writers may change first are given with Keep.
class CLvRowWindow {
public:
    CLvRowWindow(const CLvRowReader& reader, int x0, int count, int rows);
    const BYTE* Get(int y);
    // Room for row y's colours, which Get(y) gives from now on.
    BYTE* Keep(int y);

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

// The old colours of rows that several chunks of a row loop read while each chunk changes its own rows in
// place: a chunk saves its rows that other chunks' windows reach before it writes any, and a chunk reads
// another's rows through Read, which gives the saved colours or, when the owner has not started, the
// picture's own.
class CLvSavedRows {
public:
    CLvSavedRows(const CLvRowReader& reader, int x0, int count) : m_reader(reader), m_x0(x0), m_count(count) {}

    // Rows [first, last) are about to change; windows reach low rows below and high rows above a row.
    void Save(int first, int last, int low, int high);
    void Read(int y, BYTE* out);

private:
    const CLvRowReader& m_reader;
    int m_x0;
    int m_count;
    std::mutex m_lock;
    std::map<int, std::vector<BYTE>> m_rows;
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
