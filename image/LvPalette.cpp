#include "image/LvImage.h"

#include "image/LvNearestColor.h"
#include "image/LvPackedPixels.h"

#include <cstring>
#include <vector>

namespace {

RGBQUAD MakeQuad(BYTE red, BYTE green, BYTE blue) {
    RGBQUAD q;
    q.rgbRed = red;
    q.rgbGreen = green;
    q.rgbBlue = blue;
    q.rgbReserved = 0;
    return q;
}

const BYTE kStd16[16][3] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
                            {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
                            {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// The standard 256-colour table: the eight dark colours of the 16-colour palette, two light system colours,
// a cream, a 6 x 6 x 6 colour cube, a falling grey ramp and the fixed colours at the end.
struct StdPalette256 {
    RGBQUAD entries[256];
    StdPalette256() {
        int n = 0;
        for (int i = 0; i < 8; i++)
            entries[n++] = MakeQuad(kStd16[i][0], kStd16[i][1], kStd16[i][2]);
        entries[n++] = MakeQuad(192, 220, 192);
        entries[n++] = MakeQuad(166, 202, 240);
        entries[n++] = MakeQuad(255, 240, 212);
        const BYTE levels[6] = {0, 51, 102, 153, 204, 255};
        for (int r = 0; r < 6; r++)
            for (int g = 0; g < 6; g++)
                for (int b = 0; b < 6; b++)
                    entries[n++] = MakeQuad(levels[r], levels[g], levels[b]);
        for (int grey = 230; grey >= 14; grey -= 12)
            entries[n++] = MakeQuad(BYTE(grey), BYTE(grey), BYTE(grey));
        entries[n++] = MakeQuad(255, 251, 240);
        entries[n++] = MakeQuad(160, 160, 164);
        for (int i = 8; i < 16; i++)
            entries[n++] = MakeQuad(kStd16[i][0], kStd16[i][1], kStd16[i][2]);
    }
};

static_assert(8 + 3 + 216 + 19 + 2 + 8 == 256, "the standard palette has 256 entries");

const RGBQUAD* StdPalette(int bits) {
    static const StdPalette256 table256;
    static const struct Table16 {
        RGBQUAD entries[16];
        Table16() {
            for (int i = 0; i < 16; i++)
                entries[i] = MakeQuad(kStd16[i][0], kStd16[i][1], kStd16[i][2]);
        }
    } table16;
    return bits == 4 ? table16.entries : table256.entries;
}

int Luminance(const RGBQUAD& c) {
    return (306 * c.rgbRed + 601 * c.rgbGreen + 117 * c.rgbBlue) >> 10;
}

inline BYTE Clamp(int v) {
    return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

// ---- palette access -------------------------------------------------------------------------------------

RGBQUAD CLvImage::GetPaletteColor(BYTE index) const {
    RGBQUAD color = {0, 0, 0, 0};
    if (const RGBQUAD* palette = GetPalette())
        if (index < head.biClrUsed) color = palette[index];
    return color;
}

bool CLvImage::GetPaletteColor(BYTE index, BYTE* red, BYTE* green, BYTE* blue) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= head.biClrUsed) return false;
    if (red) *red = palette[index].rgbRed;
    if (green) *green = palette[index].rgbGreen;
    if (blue) *blue = palette[index].rgbBlue;
    return true;
}

void CLvImage::SetPaletteColor(BYTE index, BYTE red, BYTE green, BYTE blue, BYTE alpha) {
    RGBQUAD color;
    color.rgbRed = red;
    color.rgbGreen = green;
    color.rgbBlue = blue;
    color.rgbReserved = alpha;
    SetPaletteColor(index, color);
}

void CLvImage::SetPaletteColor(BYTE index, RGBQUAD color) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= head.biClrUsed) return;
    palette[index] = color;
    info.bLastNearestValid = false;
}

void CLvImage::SetPalette(const RGBQUAD* table, DWORD count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !table) return;
    if (count > head.biClrUsed) count = head.biClrUsed;
    memcpy(palette, table, count * sizeof(RGBQUAD));
    info.bLastNearestValid = false;
}

void CLvImage::SetPalette(const BYTE* rgbTriples, DWORD count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !rgbTriples) return;
    if (count > head.biClrUsed) count = head.biClrUsed;
    for (DWORD i = 0; i < count; i++) {
        palette[i].rgbRed = rgbTriples[3 * i];
        palette[i].rgbGreen = rgbTriples[3 * i + 1];
        palette[i].rgbBlue = rgbTriples[3 * i + 2];
    }
    info.bLastNearestValid = false;
}

void CLvImage::SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !red) return;
    if (!green) green = red;
    if (!blue) blue = green;
    if (count > head.biClrUsed) count = head.biClrUsed;
    for (DWORD i = 0; i < count; i++) {
        palette[i].rgbRed = red[i];
        palette[i].rgbGreen = green[i];
        palette[i].rgbBlue = blue[i];
    }
    info.bLastNearestValid = false;
}

void CLvImage::SetGrayPalette() {
    RGBQUAD* palette = GetPalette();
    if (!palette || head.biClrUsed < 2) return;
    DWORD step = 255 / (head.biClrUsed - 1);
    for (DWORD i = 0; i < head.biClrUsed; i++)
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(step * i);
    info.bLastNearestValid = false;
}

void CLvImage::SetStdPalette() {
    if (!pDib || (head.biBitCount != 4 && head.biBitCount != 8)) return;
    memcpy(GetPalette(), StdPalette(head.biBitCount), head.biClrUsed * sizeof(RGBQUAD));
    info.bLastNearestValid = false;
}

bool CLvImage::IsGrayScale() const {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return false;
    for (DWORD i = 0; i < head.biClrUsed; i++)
        if (palette[i].rgbRed != i || palette[i].rgbGreen != i || palette[i].rgbBlue != i) return false;
    return true;
}

void CLvImage::SwapIndex(BYTE index1, BYTE index2) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index1 >= head.biClrUsed || index2 >= head.biClrUsed || index1 == index2) return;
    RGBQUAD t = palette[index1];
    palette[index1] = palette[index2];
    palette[index2] = t;
    info.bLastNearestValid = false;
    const int width = GetWidth();
    const int bpp = GetBpp();
    for (int y = 0; y < GetHeight(); y++) {
        BYTE* row = info.pBits + size_t(y) * info.dwRowBytes;
        if (bpp == 8) {
            for (int x = 0; x < width; x++)
                row[x] = row[x] == index1 ? index2 : row[x] == index2 ? index1 : row[x];
            continue;
        }
        for (int x = 0; x < width; x++) {
            BYTE v = GetPixelIndex(x, y);
            if (v == index1)
                LvSetPackedIndex(row, x, bpp, index2);
            else if (v == index2)
                LvSetPackedIndex(row, x, bpp, index1);
        }
    }
}

int CLvImage::CompareLuminance(const RGBQUAD& a, const RGBQUAD& b) {
    return Luminance(a) - Luminance(b);
}

// ---- bit depth ------------------------------------------------------------------------------------------

bool CLvImage::IncreaseBpp(DWORD bits) {
    if (!pDib || (bits != 4 && bits != 8 && bits != 24)) return false;
    if (DWORD(GetBpp()) == bits) return true;
    if (DWORD(GetBpp()) > bits) return false;

    CLvImage result;
    result.CopyInfoIfEmpty(*this);
    if (!result.Create(GetWidth(), GetHeight(), int(bits), info.dwFormat)) return false;
    if (pSelection) result.SelectionCopy(*this);
    if (pAlpha) result.AlphaCopy(*this);
    const int width = GetWidth();
    const int height = GetHeight();

    if (bits < 24) {
        result.SetPalette(GetPalette(), head.biClrUsed);
        for (int y = 0; y < height && !info.nEscape; y++) {
            BYTE* row = result.info.pBits + size_t(y) * result.info.dwRowBytes;
            for (int x = 0; x < width; x++)
                LvSetPackedIndex(row, x, int(bits), GetPixelIndex(x, y));
        }
    } else {
        // Palette alpha moves into a new alpha plane.
        if (!pAlpha && AlphaPaletteIsValid() && !result.AlphaCreate()) return false;
        const RGBQUAD* palette = GetPalette();
        for (int y = 0; y < height && !info.nEscape; y++) {
            BYTE* out = result.info.pBits + size_t(y) * result.info.dwRowBytes;
            BYTE* alpha = result.pAlpha ? result.pAlpha + size_t(y) * size_t(width) : nullptr;
            const BYTE* ownAlpha = pAlpha ? pAlpha + size_t(y) * size_t(width) : nullptr;
            for (int x = 0; x < width; x++, out += 3) {
                const RGBQUAD& c = palette[GetPixelIndex(x, y)];
                out[0] = c.rgbBlue;
                out[1] = c.rgbGreen;
                out[2] = c.rgbRed;
                if (alpha) alpha[x] = ownAlpha ? ownAlpha[x] : c.rgbReserved;
            }
        }
        // The transparent index named a palette colour: keep that colour transparent.
        if (info.nTransIndex >= 0 && DWORD(info.nTransIndex) < head.biClrUsed) {
            const RGBQUAD& t = palette[info.nTransIndex];
            result.info.rgbTransColor.rgbRed = t.rgbRed;
            result.info.rgbTransColor.rgbGreen = t.rgbGreen;
            result.info.rgbTransColor.rgbBlue = t.rgbBlue;
        }
    }
    TakeOver(result);
    return true;
}

bool CLvImage::DecreaseBpp(DWORD bits, bool errorDiffusion, const RGBQUAD* palette) {
    if (!pDib) return false;
    if (DWORD(GetBpp()) < bits) return false;
    if (DWORD(GetBpp()) == bits) return true;

    CLvImage result;
    result.CopyInfoIfEmpty(*this);
    if (!result.Create(GetWidth(), GetHeight(), int(bits), info.dwFormat)) return false;
    const int outBpp = result.GetBpp();
    if (outBpp == 24) return false;
    if (pSelection) result.SelectionCopy(*this);
    if (pAlpha) result.AlphaCopy(*this);
    if (palette) {
        result.SetPalette(palette, result.head.biClrUsed);
    } else if (outBpp == 1) {
        result.SetPaletteColor(0, 0, 0, 0);
        result.SetPaletteColor(1, 255, 255, 255);
    } else {
        result.SetStdPalette();
    }

    const int width = GetWidth();
    const int height = GetHeight();
    const RGBQUAD* outPalette = result.GetPalette();
    CLvNearestColor nearest(outPalette, result.head.biClrUsed);

    if (GetBpp() == 24) {
        // True-colour source: rows are read (and, with error diffusion, the error is spread) in place. The
        // source is given up at the end, so changing it is what the scan means to do.
        for (int y = 0; y < height; y++) {
            info.nProgress = int(int64_t(y) * 100 / height);
            if (info.nEscape) break;
            BYTE* row = info.pBits + size_t(y) * info.dwRowBytes;
            BYTE* next = y + 1 < height ? row + info.dwRowBytes : nullptr;
            BYTE* out = result.info.pBits + size_t(y) * result.info.dwRowBytes;
            int lastKey = -1;
            BYTE lastIndex = 0;
            for (int x = 0; x < width; x++) {
                BYTE* p = row + size_t(x) * 3;
                int key = p[0] | (p[1] << 8) | (p[2] << 16);
                if (key != lastKey) {
                    lastKey = key;
                    lastIndex = nearest.Find(p[2], p[1], p[0]);
                }
                LvSetPackedIndex(out, x, outBpp, lastIndex);
                if (!errorDiffusion) continue;
                const RGBQUAD& q = outPalette[lastIndex];
                int e[3] = {p[0] - q.rgbBlue, p[1] - q.rgbGreen, p[2] - q.rgbRed};
                if (e[0] == 0 && e[1] == 0 && e[2] == 0) continue;
                for (int c = 0; c < 3; c++) {
                    if (x + 1 < width) p[3 + c] = Clamp(p[3 + c] + e[c] * 7 / 16);
                    if (!next) continue;
                    BYTE* n = next + size_t(x) * 3 + c;
                    if (x > 0) n[-3] = Clamp(n[-3] + e[c] * 2 / 16);
                    n[0] = Clamp(n[0] + e[c] * 4 / 16);
                    if (x + 1 < width) n[3] = Clamp(n[3] + e[c] * 1 / 16);
                }
                lastKey = -1; // the next pixel has changed
            }
        }
    } else {
        // Palette source: errors go back through the source's own palette, pixel by pixel.
        CLvNearestColor sourceNearest(GetPalette(), head.biClrUsed);
        for (int y = 0; y < height; y++) {
            info.nProgress = int(int64_t(y) * 100 / height);
            if (info.nEscape) break;
            BYTE* out = result.info.pBits + size_t(y) * result.info.dwRowBytes;
            for (int x = 0; x < width; x++) {
                RGBQUAD c = GetPixelColor(x, y);
                BYTE index = nearest.Find(c.rgbRed, c.rgbGreen, c.rgbBlue);
                LvSetPackedIndex(out, x, outBpp, index);
                if (!errorDiffusion) continue;
                const RGBQUAD& q = outPalette[index];
                int er = c.rgbRed - q.rgbRed, eg = c.rgbGreen - q.rgbGreen, eb = c.rgbBlue - q.rgbBlue;
                const int dx[4] = {1, -1, 0, 1};
                const int dy[4] = {0, 1, 1, 1};
                const int weight[4] = {7, 2, 4, 1};
                for (int k = 0; k < 4; k++) {
                    int nx = x + dx[k], ny = y + dy[k];
                    if (!IsInside(nx, ny)) continue;
                    RGBQUAD n = GetPixelColor(nx, ny);
                    n.rgbRed = Clamp(n.rgbRed + er * weight[k] / 16);
                    n.rgbGreen = Clamp(n.rgbGreen + eg * weight[k] / 16);
                    n.rgbBlue = Clamp(n.rgbBlue + eb * weight[k] / 16);
                    SetPixelIndex(nx, ny, sourceNearest.Find(n.rgbRed, n.rgbGreen, n.rgbBlue));
                }
            }
        }
    }

    // The transparent colour becomes the entry of the new palette nearest to it.
    if (info.nTransIndex != -1) {
        RGBQUAD trans = GetTransColor();
        result.info.nTransIndex = nearest.Find(trans.rgbRed, trans.rgbGreen, trans.rgbBlue);
    }
    result.info.bLastNearestValid = false;
    TakeOver(result);
    return true;
}
