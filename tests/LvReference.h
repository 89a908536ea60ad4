#pragma once

#include "image/LvImage.h"

// Straightforward versions of engine operations, written pixel by pixel through the public accessors, that
// the optimised operations must match exactly (tests) and are measured against (benchmarks).

// Colour reduction as a literal scan: every colour through SetPixelColor and the linear nearest search,
// every error share written back through the source's own SetPixelColor.
CLvImage ReferenceDecrease(const CLvImage& original, int bits, bool diffusion, const RGBQUAD* palette);

// A photo-like 24-bit picture: smooth gradients, sharp edges and noise.
CLvImage PhotoLike(int width, int height, unsigned seed);
