#include "image/LvImage.h"

#include "image/LvPackedPixels.h"
#include "image/LvScopedWin.h"
#include "image/LvWideText_win.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// A bottom-up 24-bit DIB section used as an off-screen buffer.
class Dib24 {
public:
    Dib24(int width, int height) : m_width(width), m_height(height) {
        memset(&m_info, 0, sizeof(m_info));
        m_info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        m_info.bmiHeader.biWidth = width;
        m_info.bmiHeader.biHeight = height;
        m_info.bmiHeader.biPlanes = 1;
        m_info.bmiHeader.biBitCount = 24;
        m_info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap.Reset(CreateDIBSection(nullptr, &m_info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_bits = m_bitmap ? static_cast<BYTE*>(bits) : nullptr;
        m_stride = (DWORD(width) * 3 + 3) & ~DWORD(3);
    }
    bool Ok() const { return m_bits != nullptr; }
    HBITMAP Bitmap() const { return m_bitmap.Get(); }
    // Row k counted from the bottom.
    BYTE* Row(int k) const { return m_bits + size_t(k) * m_stride; }
    void Zero() const { memset(m_bits, 0, size_t(m_stride) * size_t(m_height)); }
    // Copies the buffer to hdc with its top-left corner at (x, y).
    void PutTo(HDC hdc, int x, int y) const {
        SetDIBitsToDevice(hdc, x, y, DWORD(m_width), DWORD(m_height), 0, 0, 0, UINT(m_height), m_bits, &m_info,
                          DIB_RGB_COLORS);
    }

private:
    int m_width;
    int m_height;
    BITMAPINFO m_info;
    ScopedGdiObj<HBITMAP> m_bitmap;
    BYTE* m_bits;
    DWORD m_stride;
};

// Narrows a device context's clip region to a rectangle for the life of the object, then puts back
// exactly the region it had (or none).
class ScopedClipRect {
public:
    ScopedClipRect(HDC hdc, const RECT* clip) : m_hdc(hdc), m_active(clip != nullptr), m_hadRegion(false) {
        if (!m_active) return;
        m_saved.Reset(CreateRectRgn(0, 0, 0, 0));
        m_hadRegion = m_saved && GetClipRgn(hdc, m_saved.Get()) == 1;
        ScopedGdiObj<HRGN> region(CreateRectRgnIndirect(clip));
        if (region) ExtSelectClipRgn(hdc, region.Get(), RGN_AND);
    }
    ~ScopedClipRect() {
        if (m_active) SelectClipRgn(m_hdc, m_hadRegion ? m_saved.Get() : nullptr);
    }
    ScopedClipRect(const ScopedClipRect&) = delete;
    ScopedClipRect& operator=(const ScopedClipRect&) = delete;

private:
    HDC m_hdc;
    bool m_active;
    bool m_hadRegion;
    ScopedGdiObj<HRGN> m_saved;
};

// The part of (x, y, x + cx, y + cy) that the device context's clip box lets through; false when nothing.
bool PaintRect(HDC hdc, int x, int y, int cx, int cy, RECT& paint) {
    RECT box;
    if (GetClipBox(hdc, &box) == ERROR) return false;
    long long right = std::min<long long>((long long)x + cx, box.right);
    long long bottom = std::min<long long>((long long)y + cy, box.bottom);
    paint.left = std::max<LONG>(x, box.left);
    paint.top = std::max<LONG>(y, box.top);
    paint.right = static_cast<LONG>(right);
    paint.bottom = static_cast<LONG>(bottom);
    return paint.right > paint.left && paint.bottom > paint.top;
}

// Nearest-neighbour source coordinates of the scaled paths: for each buffer column the source column,
// for each buffer row (counted from the bottom of the paint rectangle) the source row.
struct ScaleMap {
    std::vector<int> columns;
    std::vector<int> rows;
};

ScaleMap MakeScaleMap(const RECT& paint, int x, int y, int cx, int cy, int width, int height) {
    ScaleMap map;
    int pw = paint.right - paint.left, ph = paint.bottom - paint.top;
    float fx = float(width) / float(cx);
    float fy = float(height) / float(cy);
    map.columns.resize(size_t(pw));
    for (int j = 0; j < pw; j++) {
        int sx = static_cast<int>(floorf(float((long long)paint.left - x + j) * fx));
        map.columns[size_t(j)] = std::min(std::max(sx, 0), width - 1);
    }
    map.rows.resize(size_t(ph));
    for (int k = 0; k < ph; k++) {
        int sy = height - static_cast<int>(ceilf(float((long long)paint.bottom - y - k) * fy));
        map.rows[size_t(k)] = std::min(std::max(sy, 0), height - 1);
    }
    return map;
}

} // namespace

bool CLvImage::Draw(HDC hdc, int x, int y, int cx, int cy, const RECT* clipRect) {
    if (!pDib || !hdc || cx == 0 || cy == 0 || !info.bDrawEnabled) return false;
    const int width = head.biWidth;
    const int height = head.biHeight;
    const int bpp = head.biBitCount;
    if (cx < 0) cx = width;
    if (cy < 0) cy = height;
    const bool transparent = info.nTransIndex != -1;
    const bool alpha = pAlpha != nullptr;
    const RGBQUAD* palette = GetPalette();
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(pDib);
    ScopedClipRect clip(hdc, clipRect);

    if (!transparent && !alpha && !info.bAlphaPalette) {
        if (cx == width && cy == height) {
            SetStretchBltMode(hdc, COLORONCOLOR);
            SetDIBitsToDevice(hdc, x, y, DWORD(cx), DWORD(cy), 0, 0, 0, UINT(cy), info.pBits, bmi, DIB_RGB_COLORS);
            return true;
        }
        // Scale in software, and only the part that shows.
        RECT paint;
        if (!PaintRect(hdc, x, y, cx, cy, paint)) return true;
        int pw = paint.right - paint.left, ph = paint.bottom - paint.top;
        Dib24 buffer(pw, ph);
        if (!buffer.Ok()) return true;
        ScaleMap map = MakeScaleMap(paint, x, y, cx, cy, width, height);
        for (int k = 0; k < ph; k++) {
            const BYTE* source = info.pBits + size_t(map.rows[size_t(k)]) * info.dwRowBytes;
            BYTE* out = buffer.Row(k);
            if (bpp == 24) {
                for (int j = 0; j < pw; j++, out += 3) {
                    const BYTE* s = source + size_t(map.columns[size_t(j)]) * 3;
                    out[0] = s[0];
                    out[1] = s[1];
                    out[2] = s[2];
                }
            } else {
                for (int j = 0; j < pw; j++, out += 3) {
                    const RGBQUAD& c = palette[LvGetPackedIndex(source, map.columns[size_t(j)], bpp)];
                    out[0] = c.rgbBlue;
                    out[1] = c.rgbGreen;
                    out[2] = c.rgbRed;
                }
            }
        }
        GdiFlush();
        buffer.PutTo(hdc, paint.left, paint.top);
        return true;
    }

    // Blending: the visible part of the destination is copied off-screen, the image mixed into it and
    // the result put back.
    RECT paint;
    if (!PaintRect(hdc, x, y, cx, cy, paint)) return true;
    int pw = paint.right - paint.left, ph = paint.bottom - paint.top;
    Dib24 buffer(pw, ph);
    ScopedMemDC memory(hdc);
    if (!buffer.Ok() || !memory) return true;
    {
        ScopedSelectObject select(memory.Get(), buffer.Bitmap());
        BitBlt(memory.Get(), 0, 0, pw, ph, hdc, paint.left, paint.top, SRCCOPY);
    }
    GdiFlush();

    const RGBQUAD tc = GetTransColor();
    const bool oneToOne = cx == width && cy == height;
    ScaleMap map;
    if (!oneToOne) map = MakeScaleMap(paint, x, y, cx, cy, width, height);
    const unsigned alphaMax = info.nAlphaMax;
    const bool alphaPalette = info.bAlphaPalette && palette;
    for (int k = 0; k < ph; k++) {
        int sy = oneToOne ? height - (paint.bottom - y) + k : map.rows[size_t(k)];
        const BYTE* source = info.pBits + size_t(sy) * info.dwRowBytes;
        const BYTE* alphaRow = alpha ? pAlpha + size_t(sy) * size_t(width) : nullptr;
        BYTE* out = buffer.Row(k);
        for (int j = 0; j < pw; j++, out += 3) {
            int sx = oneToOne ? paint.left - x + j : map.columns[size_t(j)];
            unsigned a = alphaRow ? alphaRow[sx] : 255;
            a = ((alphaMax + 1) * a) >> 8;
            BYTE blue, green, red;
            if (palette) {
                const RGBQUAD& c = palette[LvGetPackedIndex(source, sx, bpp)];
                blue = c.rgbBlue;
                green = c.rgbGreen;
                red = c.rgbRed;
                if (alphaPalette) a = ((unsigned(c.rgbReserved) + 1) * a) >> 8;
            } else {
                const BYTE* s = source + size_t(sx) * 3;
                blue = s[0];
                green = s[1];
                red = s[2];
            }
            if (a == 0) continue;
            if (transparent && blue == tc.rgbBlue && green == tc.rgbGreen && red == tc.rgbRed) continue;
            if (a == 255) {
                out[0] = blue;
                out[1] = green;
                out[2] = red;
            } else {
                out[0] = static_cast<BYTE>((out[0] * (255 - a) + blue * a) >> 8);
                out[1] = static_cast<BYTE>((out[1] * (255 - a) + green * a) >> 8);
                out[2] = static_cast<BYTE>((out[2] * (255 - a) + red * a) >> 8);
            }
        }
    }
    buffer.PutTo(hdc, paint.left, paint.top);
    return true;
}

bool CLvImage::Stretch(HDC hdc, int x, int y, int cx, int cy) {
    if (!pDib || !hdc) return false;
    SetStretchBltMode(hdc, COLORONCOLOR);
    StretchDIBits(hdc, x, y, cx, cy, 0, 0, head.biWidth, head.biHeight, info.pBits,
                  reinterpret_cast<const BITMAPINFO*>(pDib), DIB_RGB_COLORS, SRCCOPY);
    return true;
}

bool CLvImage::Tile(HDC hdc, const RECT* rect) {
    if (!pDib || !hdc || !rect) return false;
    const long long width = head.biWidth, height = head.biHeight;
    for (long long top = rect->top; top < rect->bottom; top += height) {
        for (long long left = rect->left; left < rect->right; left += width) {
            RECT tile;
            tile.left = static_cast<LONG>(left);
            tile.top = static_cast<LONG>(top);
            tile.right = static_cast<LONG>(std::min<long long>(left + width, rect->right));
            tile.bottom = static_cast<LONG>(std::min<long long>(top + height, rect->bottom));
            Draw(hdc, tile.left, tile.top, -1, -1, &tile);
        }
    }
    return true;
}

namespace {

// The font DrawString draws and measures with.
HFONT CreateTextFont(const char* faceName, int height, int weight, bool italic, bool underline) {
    LOGFONTW font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfUnderline = underline ? TRUE : FALSE;
    std::wstring face = LvUtf8ToWide(faceName ? faceName : "");
    wcsncpy(font.lfFaceName, face.c_str(), 31);
    return CreateFontIndirectW(&font);
}

// The text's box from (0, 0) on a device context with the font selected.
RECT TextBox(HDC hdc, const std::wstring& text) {
    RECT box = {0, 0, 0, 0};
    DrawTextW(hdc, text.c_str(), int(text.size()), &box, DT_CALCRECT);
    return box;
}

} // namespace

SIZE CLvImage::MeasureString(HDC hdc, const char* text, const char* faceName, int height, int weight, bool italic,
                             bool underline) {
    SIZE size = {0, 0};
    ScopedGetDC screen(nullptr);
    if (!hdc) hdc = screen.Get();
    if (!hdc) return size;
    ScopedGdiObj<HFONT> created(CreateTextFont(faceName, height, weight, italic, underline));
    ScopedMemDC memory(hdc);
    if (!memory) return size;
    ScopedSelectObject selectFont(memory.Get(),
                                  created ? static_cast<HGDIOBJ>(created.Get()) : GetStockObject(DEFAULT_GUI_FONT));
    const RECT box = TextBox(memory.Get(), LvUtf8ToWide(text ? text : ""));
    size.cx = box.right - box.left;
    size.cy = box.bottom - box.top;
    return size;
}

bool CLvImage::DrawString(HDC hdc, int x, int y, const char* text, RGBQUAD color, const char* faceName, int height,
                          int weight, bool italic, bool underline) {
    if (!pDib) return true;
    ScopedGetDC screen(nullptr);
    if (!hdc) hdc = screen.Get();
    if (!hdc) return false;

    ScopedGdiObj<HFONT> created(CreateTextFont(faceName, height, weight, italic, underline));
    HGDIOBJ useFont = created ? static_cast<HGDIOBJ>(created.Get()) : GetStockObject(DEFAULT_GUI_FONT);

    ScopedMemDC memory(hdc);
    if (!memory) return false;
    ScopedSelectObject selectFont(memory.Get(), useFont);
    SetTextColor(memory.Get(), RGB(255, 255, 255));
    SetBkColor(memory.Get(), RGB(0, 0, 0));
    SetBkMode(memory.Get(), OPAQUE);
    std::wstring wide = LvUtf8ToWide(text ? text : "");
    RECT box = TextBox(memory.Get(), wide);
    long long boxHeight = (long long)box.bottom - box.top;
    // Room on the right for the overhang of slanted glyphs.
    long long boxWidth = (long long)box.right - box.left + boxHeight;
    if (boxHeight <= 0 || boxWidth <= 0 || boxWidth > INT_MAX) return true;

    Dib24 glyphs(static_cast<int>(boxWidth), static_cast<int>(boxHeight));
    if (!glyphs.Ok()) return false;
    glyphs.Zero();
    {
        ScopedSelectObject selectBitmap(memory.Get(), glyphs.Bitmap());
        box.right = static_cast<LONG>(boxWidth);
        DrawTextW(memory.Get(), wide.c_str(), int(wide.size()), &box, 0);
        GdiFlush();
    }
    CLvImage mask;
    if (!mask.CreateFromHBITMAP(glyphs.Bitmap())) return false;

    // The mask's bottom row lands on row y counted from the top of this image.
    const long long baseRow = (long long)head.biHeight - y - 1;
    for (int j = 0; j < mask.GetHeight(); j++) {
        long long row = baseRow + j;
        if (row < 0 || row >= head.biHeight) continue;
        const BYTE* bits = mask.info.pBits + size_t(j) * mask.info.dwRowBytes;
        for (int i = 0; i < mask.GetWidth(); i++) {
            long long column = (long long)x + i;
            if (bits[size_t(i) * 3] == 0 || column < 0 || column >= head.biWidth) continue;
            SetPixelColor(int(column), int(row), color);
        }
    }
    return true;
}
