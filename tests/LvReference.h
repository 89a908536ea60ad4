#pragma once

#include "image/LvImage.h"

// Straightforward versions of engine operations, written pixel by pixel through the public accessors, that
// the optimised operations must match exactly (tests) and are measured against (benchmarks).

// Colour reduction as a literal scan: every colour through SetPixelColor and the linear nearest search,
// every error share written back through the source's own SetPixelColor.
CLvImage ReferenceDecrease(const CLvImage& original, int bits, bool diffusion, const RGBQUAD* palette);

// A photo-like 24-bit picture: smooth gradients, sharp edges and noise.
CLvImage PhotoLike(int width, int height, unsigned seed);

// ---- image operations as literal pixel-by-pixel scans (tests compare the optimised ones with these) ----

// Applies fn to the colour of every scanned pixel (the selected pixels of the selection box, or every
// pixel) through GetPixelColor and SetPixelColor, rows from the bottom up.
template <class Fn>
void ReferenceScan(CLvImage& image, const Fn& fn) {
    int left = 0, bottom = 0, right = image.GetWidth(), top = image.GetHeight();
    if (image.pSelection) {
        left = image.info.rcSelection.left;
        right = image.info.rcSelection.right;
        bottom = image.info.rcSelection.bottom;
        top = image.info.rcSelection.top;
    }
    for (int y = bottom; y < top; y++)
        for (int x = left; x < right; x++)
            if (image.SelectionIsInside(x, y)) image.SetPixelColor(x, y, fn(image.GetPixelColor(x, y)));
}

// Applies fn to every palette entry (the reserved byte stays).
template <class Fn>
void ReferencePalette(CLvImage& image, const Fn& fn) {
    for (DWORD i = 0; i < image.GetHeader().biClrUsed; i++) {
        RGBQUAD old = image.GetPaletteColor(BYTE(i));
        RGBQUAD c = fn(old);
        c.rgbReserved = old.rgbReserved;
        image.SetPaletteColor(BYTE(i), c);
    }
}

// The per-channel formulas of the colour operations, one channel value at a time.
int ReferenceLight(int value, int brightness, int contrast);
int ReferenceGamma(int value, float gamma);
int ReferenceGrayStretch(int value, int x1, int y1, int x2, int y2);

// Histogram equalisation as a literal scan: counts by GetPixelColor, the tables, then ReferenceScan.
void ReferenceCorrectHistogram(CLvImage& image);

// Resampling and free rotation pixel by pixel through the accessors, area averaging as one serial pass
// over the source rows with two accumulator rows.
CLvImage ReferenceResample(const CLvImage& image, int newWidth, int newHeight, int type);
CLvImage ReferenceRotate(const CLvImage& image, float angle);

// Literal versions of the neighbourhood operations, written from their definitions: every neighbour through
// GetPixelColor, every result through SetPixelColor into a copy, over the selection box with the selection
// test. The median sorts by gray value and, among equal grays, by red, green and blue.
CLvImage ReferenceFilter(const CLvImage& image, const double* kernel, int ksize, int factor, int offset);
CLvImage ReferenceEdgeFilter(const CLvImage& image, const double* a, const double* b, int ksize, int factor,
                             int offset);
CLvImage ReferenceMedian(const CLvImage& image, int ksize);
CLvImage ReferenceConservative(const CLvImage& image, int ksize);
CLvImage ReferenceRank(const CLvImage& image, int ksize, bool minimum);
// Local thresholds: method 0 mean, 1 median, 2 mean of minimum and maximum.
CLvImage ReferenceLocalThreshold(const CLvImage& image, int method, int k, int c);

// A 3 x 3 elliptic-ish selection mask over the middle of the picture plus a rectangle, for selection tests.
void SelectSomething(CLvImage& image);
