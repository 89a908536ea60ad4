#pragma once

#include "image/LvImage.h"

// Straightforward versions of engine operations, written pixel by pixel through the public accessors, that
// the optimised operations must match exactly (tests) and are measured against (benchmarks).

// Colour reduction as a literal scan: every colour through SetPixelColor and the linear nearest search,
// every error share written back through the source's own SetPixelColor.
CLvImage ReferenceDecrease(const CLvImage& original, int bits, bool diffusion, const RGBQUAD* palette);

// A photo-like 24-bit picture: smooth gradients, sharp edges and noise.
CLvImage PhotoLike(int width, int height, unsigned seed);

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
