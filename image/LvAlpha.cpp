#include "image/LvImage.h"

#include <cstdlib>
#include <cstring>

namespace {

size_t PlaneSize(const CLvImage& image) {
    return size_t(image.GetWidth()) * size_t(image.GetHeight());
}

} // namespace

bool CLvImage::AlphaCreate() {
    AlphaDelete();
    if (!pDib) return false;
    pAlpha = static_cast<BYTE*>(calloc(PlaneSize(*this), 1));
    return pAlpha != nullptr;
}

void CLvImage::AlphaDelete() {
    free(pAlpha);
    pAlpha = nullptr;
}

void CLvImage::AlphaClear() {
    AlphaFill(0);
}

void CLvImage::AlphaFill(BYTE level) {
    if (pAlpha) memset(pAlpha, level, PlaneSize(*this));
}

void CLvImage::AlphaSet(int x, int y, BYTE level) {
    if (pAlpha && IsInside(x, y)) pAlpha[size_t(y) * size_t(GetWidth()) + size_t(x)] = level;
}

BYTE CLvImage::AlphaGet(int x, int y) const {
    if (!pAlpha || !IsInside(x, y)) return 0;
    return pAlpha[size_t(y) * size_t(GetWidth()) + size_t(x)];
}

bool CLvImage::AlphaCopy(const CLvImage& source) {
    // Both planes must have the same size: a shorter source would be read past its end.
    if (&source == this || !source.pAlpha || !pDib || source.GetWidth() != GetWidth() ||
        source.GetHeight() != GetHeight())
        return false;
    if (!pAlpha) pAlpha = static_cast<BYTE*>(malloc(PlaneSize(*this)));
    if (!pAlpha) return false;
    memcpy(pAlpha, source.pAlpha, PlaneSize(*this));
    info.nAlphaMax = source.info.nAlphaMax;
    return true;
}

bool CLvImage::AlphaPaletteIsValid() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD i = 0; i < head.biClrUsed; i++)
        if (palette[i].rgbReserved != 0) return true;
    return false;
}

bool CLvImage::AlphaFlip() {
    if (!pAlpha) return false;
    const size_t width = size_t(GetWidth());
    BYTE* low = pAlpha;
    BYTE* high = pAlpha + (size_t(GetHeight()) - 1) * width;
    for (; low < high; low += width, high -= width)
        for (size_t i = 0; i < width; i++) {
            BYTE t = low[i];
            low[i] = high[i];
            high[i] = t;
        }
    return true;
}

bool CLvImage::AlphaMirror() {
    if (!pAlpha) return false;
    const size_t width = size_t(GetWidth());
    for (int y = 0; y < GetHeight(); y++) {
        BYTE* row = pAlpha + size_t(y) * width;
        for (size_t i = 0, j = width - 1; i < j; i++, j--) {
            BYTE t = row[i];
            row[i] = row[j];
            row[j] = t;
        }
    }
    return true;
}

void CLvImage::AlphaStrip() {
    bool paletteAlpha = AlphaPaletteIsValid();
    if (!pDib || (!pAlpha && !paletteAlpha)) return;
    const int width = GetWidth();
    const int height = GetHeight();
    const RGBQUAD background = info.rgbTransColor;
    const RGBQUAD* palette = GetPalette();

    // Palette pictures become true colour; true-colour ones are blended in place.
    CLvImage flat;
    BYTE* target = info.pBits;
    DWORD targetStride = info.dwRowBytes;
    if (palette) {
        flat.CopyInfoIfEmpty(*this);
        if (!flat.Create(width, height, 24, info.dwFormat)) return;
        if (pSelection) flat.SelectionCopy(*this);
        target = flat.info.pBits;
        targetStride = flat.info.dwRowBytes;
    }
    for (int y = 0; y < height; y++) {
        BYTE* out = target + size_t(y) * targetStride;
        const BYTE* alpha = pAlpha ? pAlpha + size_t(y) * size_t(width) : nullptr;
        for (int x = 0; x < width; x++, out += 3) {
            int a = alpha ? info.nAlphaMax * alpha[x] / 255 : info.nAlphaMax;
            RGBQUAD c;
            if (palette) {
                c = palette[GetPixelIndex(x, y)];
                if (paletteAlpha) a = c.rgbReserved * a / 255;
            } else {
                c.rgbBlue = out[0];
                c.rgbGreen = out[1];
                c.rgbRed = out[2];
            }
            out[0] = static_cast<BYTE>((background.rgbBlue * (255 - a) + c.rgbBlue * a) / 255);
            out[1] = static_cast<BYTE>((background.rgbGreen * (255 - a) + c.rgbGreen * a) / 255);
            out[2] = static_cast<BYTE>((background.rgbRed * (255 - a) + c.rgbRed * a) / 255);
        }
    }
    if (palette) {
        TakeOver(flat);
        info.bAlphaPalette = false;
    }
    AlphaDelete();
}

bool CLvImage::AlphaSplit(CLvImage* destination) const {
    if (!pAlpha || !destination || destination == this) return false;
    const int width = GetWidth();
    if (!destination->Create(width, GetHeight(), 8, destination->info.dwFormat)) return false;
    destination->SetGrayPalette();
    for (int y = 0; y < GetHeight(); y++)
        memcpy(destination->info.pBits + size_t(y) * destination->info.dwRowBytes, pAlpha + size_t(y) * size_t(width),
               size_t(width));
    return true;
}
