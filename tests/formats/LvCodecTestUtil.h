#pragma once

#include "LvTestUtil.h"

#include <string>

// A picture as another program decoded it: 8-bit RGBA, rows from the top. Read from a binary PPM (P6) or
// PAM (P7 with TUPLTYPE GRAYSCALE, GRAYSCALE_ALPHA, RGB or RGB_ALPHA); opaque files get alpha 255.
struct Reference {
    int width = 0;
    int height = 0;
    Bytes rgba;
    const uint8_t* At(int x, int row) const { return &rgba[(size_t(row) * width + x) * 4]; }
};
Reference ReadReference(const std::string& path);

// The opacity the image gives a pixel: its alpha plane, else 0 for the transparent index (palette images)
// or colour (24-bit images), else 255.
int PixelAlpha(const CLvImage& image, int x, int y);

// Empty when the image shows the reference: same size, the same opacity where the reference is fully
// transparent or opaque (within alphaTolerance elsewhere) and the same colours within colorTolerance
// wherever the reference is not fully transparent. Otherwise the first difference.
std::string CompareWithReference(const CLvImage& image, const Reference& reference, int colorTolerance = 0,
                                 int alphaTolerance = 0);

// The reference as an image: 24-bit, with an alpha plane when any pixel is not opaque.
CLvImage ReferenceImage(const Reference& reference);

// Decodes every prefix of a valid file and the file with random bytes changed (fixed seed). Each attempt
// must either give a valid picture or fail leaving the target empty, and, when the format explains every
// failure, with a text. Catches crashes, hangs and out-of-bounds access under the sanitizers.
void ExpectPrefixesFailCleanly(const Bytes& file, DWORD format, bool failuresHaveText);
void ExpectMutationsFailCleanly(const Bytes& file, DWORD format, unsigned seed, int rounds, bool failuresHaveText);
