#pragma once

#include "LvTestUtil.h"
#include "image/LvScopedWin.h"

#include <vector>

// A 24-bit DIB section in a memory device context: the surface the painting tests draw on and read back.
// Coordinates are device coordinates, y counted from the top.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    HDC Dc() const { return m_dc.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    RGBQUAD At(int x, int y) const;
    void Set(int x, int y, RGBQUAD color);
    // A different colour in every pixel, so that misplaced or mixed pixels show.
    void FillPattern();
    // Every pixel, row by row from the top.
    std::vector<RGBQUAD> Pixels() const;

private:
    int m_width;
    int m_height;
    ScopedMemDC m_dc;
    ScopedGdiObj<HBITMAP> m_bitmap;
    HGDIOBJ m_previous;
    BYTE* m_bits;
    DWORD m_stride;
};

// The depth the engine gives an image made from a device of bpp bits.
int NormalisedDepth(int bpp);
