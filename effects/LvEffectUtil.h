#pragma once

#include "effects/LvRows.h"
#include "image/LvImage.h"
#include "image/LvPackedPixels.h"

#include <cstddef>
#include <exception>

// Helpers shared by the image operations in effects/.

namespace lvfx {

inline BYTE ClampByte(int v) {
    return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
}

inline BYTE* Row(const CLvImage& image, int y) {
    return image.info.pBits + size_t(y) * image.info.dwRowBytes;
}

// The pixels an operation scans: the selection box (clamped to the picture) when the image has a
// selection, else the whole picture. x from left to right - 1, y from bottom to top - 1.
struct ScanArea {
    int left, bottom, right, top;
    int Width() const { return right - left; }
    int Height() const { return top - bottom; }
    bool Empty() const { return right <= left || top <= bottom; }
};
ScanArea GetScanArea(const CLvImage& image);

// The selection bytes of row y from column x on, or null when the image has no selection.
inline const BYTE* SelectionRow(const CLvImage& image, int y, int x) {
    return image.pSelection ? image.pSelection + size_t(y) * size_t(image.GetWidth()) + size_t(x) : nullptr;
}

// Prepares result as the image an operation builds: the source's information record and resolution, the
// given size and depth, the source's format code and the first colours of its palette. False (result
// empty) when the size cannot be created.
// Runs an operation's body; an exception (a buffer that cannot be allocated) becomes a false result, as
// operations never throw to their callers.
template <class Body>
bool Guarded(Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        return false;
    }
}

bool CreateResult(const CLvImage& source, CLvImage& result, int width, int height, int bpp, DWORD paletteEntries = 256);

// Hands result over to destination, or to image when there is no destination. The image's progress and
// cancel flag stay what they are now: a cancel request must not be forgotten by the take-over.
void FinishInto(CLvImage& image, CLvImage* destination, CLvImage& result);

// The palette entry nearest to a colour, as SetPixelColor chooses it: the smallest squared distance in red,
// green and blue, the first of equal distances.
BYTE NearestIndex(const RGBQUAD* palette, DWORD count, RGBQUAD color);

// For a palette image, map[i] is the index that SetPixelColor stores for the colour of entry i.
void SelfNearestMap(const CLvImage& image, BYTE map[256]);

} // namespace lvfx
