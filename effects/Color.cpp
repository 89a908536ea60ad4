#include "effects/LvEffectUtil.h"
#include "image/LvImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

using namespace lvfx;

namespace {

// Per-channel tables: most colour operations map each channel value on its own, so a table of 256 values
// per channel computed once gives exactly what the per-pixel arithmetic gives.
struct ChannelTables {
    BYTE blue[256], green[256], red[256];

    template <class Fn>
    static ChannelTables Same(const Fn& fn) {
        ChannelTables t;
        for (int v = 0; v < 256; v++)
            t.blue[v] = t.green[v] = t.red[v] = fn(v);
        return t;
    }
    RGBQUAD Apply(RGBQUAD c) const {
        c.rgbBlue = blue[c.rgbBlue];
        c.rgbGreen = green[c.rgbGreen];
        c.rgbRed = red[c.rgbRed];
        return c;
    }
};

// Runs fn(BYTE* pixel) over every scanned pixel of a 24-bit image: the selected pixels of the selection
// box (every pixel without a selection), rows from the bottom up.
template <class Fn>
void ScanPixels(CLvImage& image, int flags, const Fn& fn) {
    const ScanArea area = GetScanArea(image);
    if (area.Empty()) return;
    LvForRows(image, area.Height(), flags, size_t(area.Width()), [&](int first, int last) {
        for (int k = first; k < last; k++) {
            const int y = area.bottom + k;
            BYTE* p = Row(image, y) + size_t(area.left) * 3;
            const BYTE* selected = SelectionRow(image, y, area.left);
            const int n = area.Width();
            if (selected) {
                for (int x = 0; x < n; x++, p += 3)
                    if (selected[x]) fn(p);
            } else {
                for (int x = 0; x < n; x++, p += 3)
                    fn(p);
            }
        }
    });
}

// Replaces the index of every scanned pixel of a palette image by map[index].
void ScanIndices(CLvImage& image, int flags, const BYTE map[256]) {
    const ScanArea area = GetScanArea(image);
    if (area.Empty()) return;
    const int bpp = image.GetBpp();
    LvForRows(image, area.Height(), flags, size_t(area.Width()), [&](int first, int last) {
        for (int k = first; k < last; k++) {
            const int y = area.bottom + k;
            BYTE* row = Row(image, y);
            const BYTE* selected = SelectionRow(image, y, 0);
            for (int x = area.left; x < area.right; x++) {
                if (selected && !selected[x]) continue;
                if (bpp == 8)
                    row[x] = map[row[x]];
                else
                    LvSetPackedIndex(row, x, bpp, map[LvGetPackedIndex(row, x, bpp)]);
            }
        }
    });
}

// A pixel-wise operation on a palette image: each pixel's colour goes through fn and is written back as
// the nearest palette entry. The answer depends on the index alone, so it is worked out once per entry.
template <class Fn>
void PixelWiseOnPalette(CLvImage& image, int flags, const Fn& fn) {
    const RGBQUAD* palette = image.GetPalette();
    const DWORD count = image.head.biClrUsed;
    BYTE map[256];
    for (DWORD i = 0; i < 256; i++)
        map[i] = i < count ? NearestIndex(palette, count, fn(palette[i])) : BYTE(0);
    ScanIndices(image, flags, map);
}

// A palette-wise operation: every palette entry changes (the selection does not matter), the pixels keep
// their indices.
template <class Fn>
void PaletteWise(CLvImage& image, const Fn& fn) {
    RGBQUAD* palette = image.GetPalette();
    for (DWORD i = 0; i < image.head.biClrUsed; i++) {
        RGBQUAD c = fn(palette[i]);
        c.rgbReserved = palette[i].rgbReserved;
        palette[i] = c;
    }
    image.info.bLastNearestValid = false;
}

// Channel tables over the scan of a 24-bit image, or through the palette of a palette image (pixel-wise:
// nearest entries; otherwise the entries themselves).
void ApplyTables(CLvImage& image, int flags, const ChannelTables& t, bool paletteWise) {
    if (image.head.biClrUsed) {
        auto fn = [&](RGBQUAD c) { return t.Apply(c); };
        if (paletteWise)
            PaletteWise(image, fn);
        else
            PixelWiseOnPalette(image, flags, fn);
        return;
    }
    ScanPixels(image, flags, [&](BYTE* p) {
        p[0] = t.blue[p[0]];
        p[1] = t.green[p[1]];
        p[2] = t.red[p[2]];
    });
}

inline RGBQUAD FromBytes(const BYTE* p) {
    RGBQUAD c;
    c.rgbBlue = p[0];
    c.rgbGreen = p[1];
    c.rgbRed = p[2];
    c.rgbReserved = 0;
    return c;
}

inline void ToBytes(BYTE* p, RGBQUAD c) {
    p[0] = c.rgbBlue;
    p[1] = c.rgbGreen;
    p[2] = c.rgbRed;
}

// trunc(v) clamped to 0..255, safe for any float (trunc(v) > 255 exactly when v >= 256).
inline BYTE TruncClamp(double v) {
    if (!(v < 256)) return 255;
    if (v < 0) return 0;
    return static_cast<BYTE>(static_cast<int>(v));
}

// RGBtoHSL with its divisions done as multiplications by exact reciprocals: every dividend is below 2^17
// and every divisor at most 510, so (n * (2^32 / d + 1)) >> 32 is n / d for all of them.
class FastHsl {
public:
    FastHsl() {
        for (int d = 1; d <= 510; d++)
            m_reciprocal[d] = (uint64_t(1) << 32) / uint64_t(d) + 1;
        m_reciprocal[0] = 0;
        for (int sum = 0; sum <= 510; sum++)
            m_lightness[sum] = BYTE((sum * 255 + 255) / 510);
    }
    RGBQUAD FromRgb(int red, int green, int blue) const {
        const int cMax = std::max(red, std::max(green, blue));
        const int cMin = std::min(red, std::min(green, blue));
        const int sum = cMax + cMin, range = cMax - cMin;
        RGBQUAD hsl;
        hsl.rgbBlue = m_lightness[sum];
        hsl.rgbReserved = 0;
        if (range == 0) {
            hsl.rgbGreen = 0;
            hsl.rgbRed = 170;
            return hsl;
        }
        const int d = hsl.rgbBlue <= 127 ? sum : 510 - sum;
        hsl.rgbGreen = BYTE(Divide(range * 255 + d / 2, d));
        const int half = range / 2;
        const int redDelta = Divide((cMax - red) * 42 + half, range);
        const int greenDelta = Divide((cMax - green) * 42 + half, range);
        const int blueDelta = Divide((cMax - blue) * 42 + half, range);
        int hue;
        if (red == cMax)
            hue = blueDelta - greenDelta;
        else if (green == cMax)
            hue = 85 + redDelta - blueDelta;
        else
            hue = 170 + greenDelta - redDelta;
        hsl.rgbRed = BYTE(hue);
        return hsl;
    }

private:
    int Divide(int n, int d) const { return int((uint64_t(n) * m_reciprocal[d]) >> 32); }
    uint64_t m_reciprocal[511];
    BYTE m_lightness[511];
};

const FastHsl& Hsl() {
    static const FastHsl table;
    return table;
}

// trunc(v) kept as a byte (modulo 256); values no integer can hold give 0.
inline BYTE WrapToByte(float v) {
    if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
    return static_cast<BYTE>(static_cast<long long>(v));
}

// ---- histogram ---------------------------------------------------------------------------------------

struct Counts {
    int32_t red[256], green[256], blue[256], gray[256];
};

// Counts the colours of the scanned pixels. Colour space 1 reads every pixel as an HSL quad.
void CountColors(CLvImage& image, int colorSpace, Counts& total) {
    memset(&total, 0, sizeof(total));
    const ScanArea area = GetScanArea(image);
    if (area.Empty()) return;
    const int bpp = image.GetBpp();
    const RGBQUAD* palette = image.GetPalette();
    std::mutex merge;
    LvForRows(image, area.Height(), kLvRowsPlain, size_t(area.Width()), [&](int first, int last) {
        // Palette pictures are counted by index first, then by the entries' channels.
        int32_t byIndex[256] = {};
        Counts local;
        memset(&local, 0, sizeof(local));
        auto count = [&](RGBQUAD c, int32_t n) {
            if (colorSpace == 1) c = CLvImage::HSLtoRGB(c);
            local.red[c.rgbRed] += n;
            local.green[c.rgbGreen] += n;
            local.blue[c.rgbBlue] += n;
            local.gray[CLvImage::GrayValue(c.rgbRed, c.rgbGreen, c.rgbBlue)] += n;
        };
        for (int k = first; k < last; k++) {
            const int y = area.bottom + k;
            const BYTE* row = Row(image, y);
            const BYTE* selected = SelectionRow(image, y, 0);
            for (int x = area.left; x < area.right; x++) {
                if (selected && !selected[x]) continue;
                if (bpp == 24)
                    count(FromBytes(row + size_t(x) * 3), 1);
                else
                    byIndex[LvGetPackedIndex(row, x, bpp)]++;
            }
        }
        if (palette)
            for (DWORD i = 0; i < image.head.biClrUsed; i++)
                if (byIndex[i]) count(palette[i], byIndex[i]);
        std::lock_guard<std::mutex> guard(merge);
        for (int v = 0; v < 256; v++) {
            total.red[v] += local.red[v];
            total.green[v] += local.green[v];
            total.blue[v] += local.blue[v];
            total.gray[v] += local.gray[v];
        }
    });
}

} // namespace

// ---- grey scale and negative ------------------------------------------------------------------------------

bool CLvImage::GrayScale() {
    if (!pDib) return false;
    const int width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    if (bpp > 8) {
        CLvImage result;
        if (!CreateResult(*this, result, width, height, 8)) return false;
        result.SetGrayPalette();
        if (pAlpha && !result.AlphaCopy(*this)) return false;
        // A transparent colour becomes the index of its grey.
        const RGBQUAD& t = info.rgbTransColor;
        if (info.nTransIndex != -1) result.info.nTransIndex = GrayValue(t.rgbRed, t.rgbGreen, t.rgbBlue);
        LvForRows(*this, height, kLvRowsPlain, size_t(width), [&](int first, int last) {
            for (int y = first; y < last; y++) {
                const BYTE* in = Row(*this, y);
                BYTE* out = Row(result, y);
                for (int x = 0; x < width; x++, in += 3)
                    out[x] = GrayValue(in[2], in[1], in[0]);
            }
        });
        FinishInto(*this, nullptr, result);
        return true;
    }

    // Each entry's blue byte becomes the entry's grey value; the pixels then take those values as
    // indices of a grey ramp.
    RGBQUAD* palette = GetPalette();
    for (DWORD i = 0; i < head.biClrUsed; i++)
        palette[i].rgbBlue = GrayValue(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
    info.bLastNearestValid = false;
    if (info.nTransIndex >= 0 && DWORD(info.nTransIndex) < head.biClrUsed)
        info.nTransIndex = palette[info.nTransIndex].rgbBlue;
    BYTE map[256] = {};
    for (DWORD i = 0; i < head.biClrUsed; i++)
        map[i] = palette[i].rgbBlue;

    if (bpp == 8) {
        const size_t stride = info.dwRowBytes;
        LvForRows(*this, height, kLvRowsPlain, stride, [&](int first, int last) {
            for (int y = first; y < last; y++) {
                BYTE* row = Row(*this, y);
                for (size_t x = 0; x < stride; x++) // the padding too
                    row[x] = map[row[x]];
            }
        });
        SetGrayPalette();
        return true;
    }
    CLvImage result;
    if (!CreateResult(*this, result, width, height, 8, 0)) return false;
    result.SetGrayPalette();
    // The alpha plane stays with the picture (a grey icon keeps its transparency).
    if (pAlpha && !result.AlphaCopy(*this)) return false;
    LvForRows(*this, height, kLvRowsPlain, size_t(width), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            const BYTE* in = Row(*this, y);
            BYTE* out = Row(result, y);
            for (int x = 0; x < width; x++)
                out[x] = map[LvGetPackedIndex(in, x, bpp)];
        }
    });
    FinishInto(*this, nullptr, result);
    return true;
}

bool CLvImage::Negative() {
    if (!pDib) return false;
    if (GetBpp() > 8) {
        if (pSelection) {
            ScanPixels(*this, kLvRowsPlain, [](BYTE* p) {
                p[0] = BYTE(255 - p[0]);
                p[1] = BYTE(255 - p[1]);
                p[2] = BYTE(255 - p[2]);
            });
        } else {
            const size_t stride = info.dwRowBytes;
            LvForRows(*this, GetHeight(), kLvRowsPlain, stride, [&](int first, int last) {
                for (int y = first; y < last; y++) {
                    BYTE* row = Row(*this, y);
                    for (size_t x = 0; x < stride; x++) // the padding too
                        row[x] = BYTE(~row[x]);
                }
            });
        }
        info.rgbTransColor.rgbBlue = BYTE(255 - info.rgbTransColor.rgbBlue);
        info.rgbTransColor.rgbGreen = BYTE(255 - info.rgbTransColor.rgbGreen);
        info.rgbTransColor.rgbRed = BYTE(255 - info.rgbTransColor.rgbRed);
        return true;
    }
    if (!IsGrayScale()) {
        PaletteWise(*this, [](RGBQUAD c) {
            c.rgbBlue = BYTE(255 - c.rgbBlue);
            c.rgbGreen = BYTE(255 - c.rgbGreen);
            c.rgbRed = BYTE(255 - c.rgbRed);
            return c;
        });
        return true;
    }
    // A grey ramp: the indices turn round (1- and 4-bit pictures keep the low bits of 255 - index).
    BYTE map[256];
    for (int i = 0; i < 256; i++)
        map[i] = BYTE(255 - i);
    ScanIndices(*this, kLvRowsPlain, map);
    return true;
}

// ---- light, channels, gamma, exposure -------------------------------------------------------------------

bool CLvImage::Light(int brightness, int contrast) {
    if (!pDib) return false;
    const float c = float(contrast + 100) * 0.01f;
    ChannelTables t = ChannelTables::Same([&](int v) { return TruncClamp(float(v - 128) * c + brightness + 128); });
    ApplyTables(*this, kLvRowsProgress, t, true);
    return true;
}

bool CLvImage::ShiftRGB(int red, int green, int blue) {
    if (!pDib) return false;
    ChannelTables t;
    for (int v = 0; v < 256; v++) {
        t.red[v] = ClampByte(v + red);
        t.green[v] = ClampByte(v + green);
        t.blue[v] = ClampByte(v + blue);
    }
    ApplyTables(*this, kLvRowsPlain, t, true);
    return true;
}

bool CLvImage::Gamma(float gamma) {
    if (!pDib) return false;
    // 1 / gamma is the exponent: a gamma of 0 (or less, or not a number) has none.
    if (!(gamma > 0) || !std::isfinite(gamma)) return false;
    const double g = 1.0 / double(gamma);
    const double dMax = std::pow(255.0, g) * 0.00392156862745098;
    ChannelTables t = ChannelTables::Same([&](int v) {
        double r = std::pow(double(v), g) / dMax;
        // Steep curves overflow both powers; their limit is 255 * (v / 255)^g.
        if (std::isnan(r)) r = 255.0 * std::pow(v / 255.0, g);
        return TruncClamp(r);
    });
    ApplyTables(*this, kLvRowsProgress, t, true);
    return true;
}

bool CLvImage::Exposure() {
    if (!pDib) return false;
    ChannelTables t = ChannelTables::Same([](int v) { return BYTE(v < 128 ? 255 - v : v); });
    ApplyTables(*this, kLvRowsProgress | kLvRowsCancel, t, false);
    return true;
}

// ---- hue, saturation, lightness ---------------------------------------------------------------------------

bool CLvImage::AdjustHSL(BYTE hue, signed char saturation, signed char lightness) {
    if (!pDib) return false;
    auto adjust = [&](RGBQUAD hsl, bool shiftHue) {
        if (shiftHue) hsl.rgbRed = BYTE(hsl.rgbRed + hue);
        hsl.rgbGreen = ClampByte(hsl.rgbGreen + saturation);
        hsl.rgbBlue = ClampByte(hsl.rgbBlue + lightness);
        return HSLtoRGB(hsl);
    };
    if (head.biClrUsed) {
        // The palette keeps its hues; with nothing else to change it is left exactly as it is (a trip
        // through the HSL model is not lossless).
        if (saturation == 0 && lightness == 0) return true;
        PaletteWise(*this, [&](RGBQUAD c) { return adjust(RGBtoHSL(c), false); });
        return true;
    }
    const FastHsl& hsl = Hsl();
    ScanPixels(*this, kLvRowsProgress | kLvRowsCancel,
               [&](BYTE* p) { ToBytes(p, adjust(hsl.FromRgb(p[2], p[1], p[0]), true)); });
    return true;
}

bool CLvImage::Colorize(BYTE hue, BYTE saturation) {
    if (!pDib) return false;
    // With hue and saturation fixed, the result depends on the lightness alone.
    RGBQUAD byLightness[256];
    for (int l = 0; l < 256; l++) {
        RGBQUAD hsl;
        hsl.rgbRed = hue;
        hsl.rgbGreen = saturation;
        hsl.rgbBlue = BYTE(l);
        hsl.rgbReserved = 0;
        byLightness[l] = HSLtoRGB(hsl);
    }
    if (head.biClrUsed) {
        PaletteWise(*this, [&](RGBQUAD c) { return byLightness[RGBtoHSL(c).rgbBlue]; });
        return true;
    }
    // Lightness = ((max + min) * 255 + 255) / 510, worked out once per sum.
    BYTE lightnessOfSum[511];
    for (int sum = 0; sum <= 510; sum++)
        lightnessOfSum[sum] = BYTE((sum * 255 + 255) / 510);
    ScanPixels(*this, kLvRowsPlain, [&](BYTE* p) {
        const int sum = std::max({p[0], p[1], p[2]}) + std::min({p[0], p[1], p[2]});
        ToBytes(p, byLightness[lightnessOfSum[sum]]);
    });
    return true;
}

bool CLvImage::HuePalette(float correction) {
    if (!pDib) return false;
    const DWORD n = head.biClrUsed;
    if (n < 2) return true; // no palette: nothing to do
    const int step = int(255 / (n - 1));
    for (DWORD j = 0; j < n; j++) {
        RGBQUAD hsl;
        hsl.rgbRed = WrapToByte(float(j) * correction * float(step));
        hsl.rgbGreen = 240;
        hsl.rgbBlue = 120;
        hsl.rgbReserved = 0;
        RGBQUAD c = HSLtoRGB(hsl);
        c.rgbReserved = GetPalette()[j].rgbReserved;
        GetPalette()[j] = c;
    }
    info.bLastNearestValid = false;
    return true;
}

// ---- histogram and the operations built on it -------------------------------------------------------------

long CLvImage::Histogram(int32_t* red, int32_t* green, int32_t* blue, int32_t* gray, int colorSpace) {
    int32_t* tables[4] = {red, green, blue, gray};
    for (int32_t* t : tables)
        if (t) memset(t, 0, 256 * sizeof(int32_t));
    if (!pDib || colorSpace < 0 || colorSpace > 1) return 0;
    Counts counts;
    CountColors(*this, colorSpace, counts);
    const int32_t* found[4] = {counts.red, counts.green, counts.blue, counts.gray};
    long largest = 0;
    for (int k = 0; k < 4; k++) {
        if (!tables[k]) continue;
        memcpy(tables[k], found[k], 256 * sizeof(int32_t));
        largest = std::max<long>(largest, *std::max_element(found[k], found[k] + 256));
    }
    return largest;
}

bool CLvImage::CorrectHistogram() {
    if (!pDib) return false;
    Counts counts;
    CountColors(*this, 0, counts);
    // The box's area, not the number of selected pixels.
    double area;
    if (pSelection) {
        const RECT& box = info.rcSelection;
        area = double(box.right - box.left) * double(box.top - box.bottom);
    } else {
        area = double(GetWidth()) * double(GetHeight());
    }
    if (!(area > 0)) return true; // nothing is selected
    ChannelTables t;
    const int32_t* channel[3] = {counts.blue, counts.green, counts.red};
    BYTE* table[3] = {t.blue, t.green, t.red};
    for (int c = 0; c < 3; c++) {
        double cumulative = 0;
        for (int i = 0; i < 256; i++) {
            cumulative += double(channel[c][i]) / area;
            table[c][i] = BYTE(int(cumulative * 256 + 0.5 - 1.0));
        }
    }
    ApplyTables(*this, kLvRowsProgress | kLvRowsCancel, t, false);
    return true;
}

bool CLvImage::GrayStretch(int x1, int y1, int x2, int y2) {
    if (!pDib) return false;
    // The line through (0, 0), (x1, y1), (x2, y2), (255, 255); every value is stored in a byte. Ranges
    // outside 0..255 are cut to the table.
    BYTE table[256] = {};
    auto put = [&](long long i, long long v) {
        if (i >= 0 && i <= 255) table[i] = BYTE(v);
    };
    for (long long i = 0; i <= std::min(x1, 255); i++)
        put(i, x1 > 0 ? (y1 & 255) * i / x1 : 0);
    for (long long i = std::max<long long>(x1 + 1LL, 0); i <= std::min(x2, 255); i++)
        put(i, x2 != x1 ? (static_cast<long long>(y2) - y1) * (i - x1) / (static_cast<long long>(x2) - x1) + y1 : y1);
    for (long long i = std::max<long long>(x2 + 1LL, 0); i <= 255; i++)
        put(i, x2 != 255 ? (255LL - y2) * (i - x2) / (255LL - x2) + y2 : 255);
    ChannelTables t;
    memcpy(t.blue, table, 256);
    memcpy(t.green, table, 256);
    memcpy(t.red, table, 256);
    ApplyTables(*this, kLvRowsProgress | kLvRowsCancel, t, false);
    return true;
}

// ---- red eyes -------------------------------------------------------------------------------------------

bool CLvImage::RedEyeReduce(BYTE threshold) {
    if (!pDib) return false;
    // The box with both edges included, inside the picture.
    const RECT& box = info.rcSelection;
    const int left = std::max<LONG>(0, box.left), right = std::min<LONG>(GetWidth() - 1, box.right);
    const int bottom = std::max<LONG>(0, box.bottom), top = std::min<LONG>(GetHeight() - 1, box.top);
    // Redness (4R - 2G - 2B) / R; a pixel without red has none to take away and is left alone.
    auto redness = [](RGBQUAD c) { return double(4 * c.rgbRed - 2 * c.rgbGreen - 2 * c.rgbBlue) / c.rgbRed; };
    double mMax = 0.0, mMin = 65535.0;
    for (int y = bottom; y <= top; y++)
        for (int x = left; x <= right; x++) {
            if (!SelectionIsInside(x, y)) continue;
            RGBQUAD c = GetPixelColor(x, y);
            if (c.rgbRed == 0) continue;
            const double m = redness(c);
            mMax = std::max(mMax, m);
            mMin = std::min(mMin, m);
        }
    for (int y = bottom; y <= top; y++)
        for (int x = left; x <= right; x++) {
            if (!SelectionIsInside(x, y)) continue;
            RGBQUAD c = GetPixelColor(x, y);
            if (c.rgbRed == 0) continue;
            // When every redness is the same there is no scale: a red box counts as all red.
            int v = mMax > mMin ? int((redness(c) - mMin) * 255.0 / (mMax - mMin)) : (mMax > 0 ? 255 : 0);
            if (BYTE(v) < threshold) continue;
            c.rgbRed = std::min(c.rgbGreen, c.rgbBlue);
            SetPixelColor(x, y, c);
        }
    return true;
}
