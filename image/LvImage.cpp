#include "image/LvImage.h"

#include "image/LvPackedPixels.h"
#include "image/LvSizeCheck.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

// ---- construction and lifetime --------------------------------------------------------------------------

CLvImage::CLvImage(DWORD format) {
    InitFields(format);
}

CLvImage::CLvImage(int width, int height, int bpp, DWORD format) {
    InitFields(format);
    Create(width, height, bpp, format);
}

CLvImage::CLvImage(const CLvImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    InitFields(source.info.dwFormat);
    Copy(source, copyPixels, copySelection, copyAlpha);
}

CLvImage::CLvImage(const char* fileName, DWORD format) {
    InitFields(format);
    Load(fileName, format);
}

CLvImage::~CLvImage() {
    Destroy();
}

CLvImage& CLvImage::operator=(const CLvImage& source) {
    if (&source != this) Copy(source, true, true, true);
    return *this;
}

void CLvImage::InitFields(DWORD format) {
    pDib = nullptr;
    pSelection = nullptr;
    pAlpha = nullptr;
    memset(&head, 0, sizeof(head));
    head.biSize = sizeof(BITMAPINFOHEADER);
    info = CLvImageInfo();
    info.dwFormat = format;
    info.nJpegQuality = 75;
    info.nAlphaMax = 255;
    info.nTransIndex = -1;
    info.bDrawEnabled = true;
    SetXDPI(96);
    SetYDPI(96);
}

// An empty image: no size, no colours; the resolution stays.
void CLvImage::ClearHeader() {
    head.biWidth = 0;
    head.biHeight = 0;
    head.biBitCount = 0;
    head.biSizeImage = 0;
    head.biClrUsed = 0;
    info.dwRowBytes = 0;
    info.pBits = nullptr;
}

void CLvImage::ResetSelectionBox() {
    info.rcSelection.left = head.biWidth;
    info.rcSelection.right = 0;
    info.rcSelection.bottom = head.biHeight;
    info.rcSelection.top = 0;
}

BYTE* CLvImage::Create(int width, int height, int bpp, DWORD format) {
    Destroy();
    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;
    // Sizes come from files and callers alike: refuse what cannot be a picture before allocating.
    if (LvCheckImageSize(width, height, bpp) != nullptr) {
        ClearHeader();
        return nullptr;
    }

    DWORD colors = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    DWORD stride = static_cast<DWORD>(LvDibStride(uint64_t(width), uint64_t(bpp)));
    head.biSize = sizeof(BITMAPINFOHEADER);
    head.biWidth = width;
    head.biHeight = height;
    head.biPlanes = 1;
    head.biBitCount = static_cast<WORD>(bpp);
    head.biCompression = BI_RGB;
    head.biSizeImage = stride * static_cast<DWORD>(height);
    head.biClrUsed = colors;
    head.biClrImportant = 0;
    info.dwRowBytes = stride;
    info.dwFormat = format;
    info.bLastNearestValid = false;

    // Zeroed memory: padding bytes and pixels a caller leaves unwritten never carry old heap contents into
    // a saved file. Fresh pages come zeroed from the system, so this costs next to nothing.
    BYTE* block = static_cast<BYTE*>(calloc(1, GetDibSize()));
    if (!block) {
        ClearHeader();
        return nullptr;
    }
    pDib = block;
    ResetSelectionBox();
    memcpy(pDib, &head, sizeof(head));
    info.pBits = pDib + sizeof(BITMAPINFOHEADER) + GetPaletteSize();
    return pDib;
}

void CLvImage::Destroy() {
    if (!info.pOwner) {
        free(pSelection);
        free(pAlpha);
        free(pDib);
    }
    // A borrower lets go of the owner's buffers without freeing them.
    info.pOwner = nullptr;
    pSelection = nullptr;
    pAlpha = nullptr;
    pDib = nullptr;
}

static BYTE* DuplicatePlane(const BYTE* plane, size_t size) {
    BYTE* copy = static_cast<BYTE*>(malloc(size));
    if (copy) memcpy(copy, plane, size);
    return copy;
}

bool CLvImage::Copy(const CLvImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
    if (&source == this) return IsValid();
    info = source.info;
    // The record describes the source's buffers; this image gets buffers of its own.
    info.pOwner = nullptr;
    info.pBits = nullptr;
    if (!source.pDib) {
        Destroy();
        head = source.head;
        return false;
    }
    // Keep the source's resolution in the header that Create fills in.
    head.biXPelsPerMeter = source.head.biXPelsPerMeter;
    head.biYPelsPerMeter = source.head.biYPelsPerMeter;
    if (!Create(source.GetWidth(), source.GetHeight(), source.GetBpp(), source.info.dwFormat)) return false;
    if (copyPixels) {
        memcpy(pDib, source.pDib, GetDibSize());
    } else if (DWORD paletteBytes = GetPaletteSize()) {
        memcpy(GetPalette(), source.GetPalette(), paletteBytes);
    }
    size_t planeSize = size_t(GetWidth()) * size_t(GetHeight());
    if (copySelection && source.pSelection) {
        pSelection = DuplicatePlane(source.pSelection, planeSize);
        if (pSelection) info.rcSelection = source.info.rcSelection;
    }
    if (copyAlpha && source.pAlpha) pAlpha = DuplicatePlane(source.pAlpha, planeSize);
    return true;
}

void CLvImage::CopyInfoIfEmpty(const CLvImage& source) {
    if (pDib) return;
    info = source.info;
    info.pOwner = nullptr;
    info.pBits = nullptr;
    // The resolution lives in the header too; a picture made from this record keeps it there as well.
    head.biXPelsPerMeter = source.head.biXPelsPerMeter;
    head.biYPelsPerMeter = source.head.biYPelsPerMeter;
}

void CLvImage::TakeOver(CLvImage& source) {
    if (&source == this) return;
    Destroy();
    head = source.head;
    info = source.info;
    pDib = source.pDib;
    pSelection = source.pSelection;
    pAlpha = source.pAlpha;
    memset(&source.head, 0, sizeof(source.head));
    source.info = CLvImageInfo();
    source.pDib = nullptr;
    source.pSelection = nullptr;
    source.pAlpha = nullptr;
}

void CLvImage::ShareBuffersOf(CLvImage& source) {
    if (&source == this) return;
    Destroy();
    head = source.head;
    info = source.info;
    pDib = source.pDib;
    pSelection = source.pSelection;
    pAlpha = source.pAlpha;
    info.pOwner = &source;
}

// ---- buffer access --------------------------------------------------------------------------------------

DWORD CLvImage::GetDibSize() const {
    return sizeof(BITMAPINFOHEADER) + GetPaletteSize() + head.biSizeImage;
}

RGBQUAD* CLvImage::GetPalette() const {
    if (!pDib || head.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(pDib + sizeof(BITMAPINFOHEADER));
}

void CLvImage::SetLastErrorText(const char* text) {
    if (!text) text = "";
    size_t n = strlen(text);
    if (n > sizeof(info.szLastError) - 1) n = sizeof(info.szLastError) - 1;
    memmove(info.szLastError, text, n);
    info.szLastError[n] = '\0';
}

// ---- pixel access ---------------------------------------------------------------------------------------

void CLvImage::Clear(BYTE value) {
    if (pDib) memset(info.pBits, value, head.biSizeImage);
}

BYTE CLvImage::GetPixelIndex(int x, int y) const {
    if (!pDib || head.biClrUsed == 0) return 0;
    if (!IsInside(x, y)) return info.nTransIndex != -1 ? static_cast<BYTE>(info.nTransIndex) : 0;
    const int bpp = head.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8) return 0;
    return LvGetPackedIndex(info.pBits + size_t(y) * info.dwRowBytes, x, bpp);
}

void CLvImage::SetPixelIndex(int x, int y, BYTE index) {
    if (!pDib || head.biClrUsed == 0 || !IsInside(x, y)) return;
    const int bpp = head.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8) return;
    LvSetPackedIndex(info.pBits + size_t(y) * info.dwRowBytes, x, bpp, index);
}

RGBQUAD CLvImage::GetPixelColor(int x, int y) const {
    if (!pDib || !IsInside(x, y)) {
        if (info.nTransIndex == -1) return pDib ? GetPixelColor(0, 0) : info.rgbTransColor;
        return GetTransColor();
    }
    RGBQUAD color;
    if (head.biClrUsed) {
        color = GetPalette()[GetPixelIndex(x, y)];
    } else {
        const BYTE* p = info.pBits + size_t(y) * info.dwRowBytes + size_t(x) * 3;
        color.rgbBlue = p[0];
        color.rgbGreen = p[1];
        color.rgbRed = p[2];
        color.rgbReserved = info.rgbTransColor.rgbReserved;
    }
    if (pAlpha) color.rgbReserved = pAlpha[size_t(y) * size_t(head.biWidth) + size_t(x)];
    return color;
}

void CLvImage::SetPixelColor(int x, int y, RGBQUAD color, bool setAlpha) {
    if (!pDib || !IsInside(x, y)) return;
    if (head.biClrUsed) {
        SetPixelIndex(x, y, GetNearestIndex(color));
        return;
    }
    BYTE* p = info.pBits + size_t(y) * info.dwRowBytes + size_t(x) * 3;
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
    if (setAlpha && pAlpha) pAlpha[size_t(y) * size_t(head.biWidth) + size_t(x)] = color.rgbReserved;
}

void CLvImage::SetPixelColor(int x, int y, COLORREF color) {
    SetPixelColor(x, y, ColorRefToQuad(color), false);
}

RGBQUAD CLvImage::ColorRefToQuad(COLORREF color) {
    RGBQUAD quad;
    quad.rgbRed = GetRValue(color);
    quad.rgbGreen = GetGValue(color);
    quad.rgbBlue = GetBValue(color);
    quad.rgbReserved = 0;
    return quad;
}

BYTE CLvImage::GetNearestIndex(RGBQUAD color) {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return 0;
    if (info.bLastNearestValid && memcmp(&info.rgbLastNearest, &color, sizeof(RGBQUAD)) == 0)
        return info.nLastNearestIndex;
    info.rgbLastNearest = color;
    info.bLastNearestValid = true;

    // Squared distance; the first of equal distances wins, an exact match ends the scan.
    long best = 200000;
    BYTE answer = 0;
    for (DWORD i = 0; i < head.biClrUsed; i++) {
        long dr = long(palette[i].rgbRed) - color.rgbRed;
        long dg = long(palette[i].rgbGreen) - color.rgbGreen;
        long db = long(palette[i].rgbBlue) - color.rgbBlue;
        long d = dr * dr + dg * dg + db * db;
        if (d == 0) {
            answer = static_cast<BYTE>(i);
            break;
        }
        if (d < best) {
            best = d;
            answer = static_cast<BYTE>(i);
        }
    }
    info.nLastNearestIndex = answer;
    return answer;
}

RGBQUAD CLvImage::GetTransColor() const {
    if (head.biBitCount < 24 && info.nTransIndex != -1 && GetPalette() && DWORD(info.nTransIndex) < head.biClrUsed)
        return GetPalette()[info.nTransIndex];
    return info.rgbTransColor;
}

BYTE CLvImage::GetColorType() const {
    if (pAlpha) return 4;
    return head.biBitCount > 8 ? 2 : 1;
}

void CLvImage::SwapRedBlue(BYTE* buffer, DWORD length) const {
    if (!buffer || head.biClrUsed) return;
    if (length > info.dwRowBytes) length = info.dwRowBytes;
    for (DWORD i = 0; i + 2 < length; i += 3) {
        BYTE t = buffer[i];
        buffer[i] = buffer[i + 2];
        buffer[i + 2] = t;
    }
}

// ---- resolution -----------------------------------------------------------------------------------------

// Pels per metre of a resolution in dots per inch. Files can claim any resolution; a value the header
// field cannot hold is held at its limit.
static LONG PelsPerMetre(int dpi) {
    double pels = floor(dpi * 39.37007874015748 + 0.5);
    if (pels > 2147483647.0) return 2147483647;
    if (pels < -2147483648.0) return -2147483647 - 1;
    return static_cast<LONG>(pels);
}

void CLvImage::SetXDPI(int dpi) {
    info.xDPI = dpi;
    head.biXPelsPerMeter = PelsPerMetre(dpi);
}

void CLvImage::SetYDPI(int dpi) {
    info.yDPI = dpi;
    head.biYPelsPerMeter = PelsPerMetre(dpi);
}

// ---- rows and bit fields --------------------------------------------------------------------------------

namespace {

// One colour field of a 16- or 32-bit pixel: where its bits start and how many there are.
struct Bitfield {
    DWORD mask;
    int shift;
    int bits;

    explicit Bitfield(DWORD m) : mask(m), shift(0), bits(0) {
        if (!m) return;
        while (!((m >> shift) & 1))
            shift++;
        for (DWORD v = m >> shift; v; v >>= 1)
            bits++;
    }

    // The field's value scaled to 8 bits by keeping its top bits (a 5-bit field 0x1F gives 0xF8).
    BYTE Extract(DWORD pixel) const {
        if (!mask) return 0;
        DWORD value = (pixel & mask) >> shift;
        value = bits > 8 ? value >> (bits - 8) : value << (8 - bits);
        return static_cast<BYTE>(value);
    }
};

} // namespace

void CLvImage::ConvertBitfieldsRow(const BYTE* source, BYTE* destination, int width, DWORD redMask, DWORD greenMask,
                                   DWORD blueMask, int bpp) {
    // 32-bit pixels with no masks or the usual ones are plain blue, green, red bytes.
    bool plain32 = bpp == 32 && ((redMask == 0 && greenMask == 0 && blueMask == 0) ||
                                 (redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF));
    Bitfield red(redMask), green(greenMask), blue(blueMask);
    // Right to left, so that the source may be the destination row itself.
    for (int x = width - 1; x >= 0; x--) {
        BYTE* d = destination + size_t(x) * 3;
        if (plain32) {
            const BYTE* s = source + size_t(x) * 4;
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            continue;
        }
        DWORD pixel;
        if (bpp == 16) {
            const BYTE* s = source + size_t(x) * 2;
            pixel = DWORD(s[0]) | (DWORD(s[1]) << 8);
        } else {
            const BYTE* s = source + size_t(x) * 4;
            pixel = DWORD(s[0]) | (DWORD(s[1]) << 8) | (DWORD(s[2]) << 16) | (DWORD(s[3]) << 24);
        }
        d[0] = blue.Extract(pixel);
        d[1] = green.Extract(pixel);
        d[2] = red.Extract(pixel);
    }
}

void CLvImage::ConvertBitfields(const BYTE* source, DWORD redMask, DWORD greenMask, DWORD blueMask, int bpp) {
    if (!pDib || !source || head.biBitCount != 24 || (bpp != 16 && bpp != 32)) return;
    size_t sourceStride = bpp == 16 ? size_t((head.biWidth + 1) / 2) * 4 : size_t(head.biWidth) * 4;
    for (int y = head.biHeight - 1; y >= 0; y--)
        ConvertBitfieldsRow(source + size_t(y) * sourceStride, info.pBits + size_t(y) * info.dwRowBytes, head.biWidth,
                            redMask, greenMask, blueMask, bpp);
}
