#include "effects/LvEffectUtil.h"
#include "effects/LvRowAccess.h"
#include "image/LvImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <vector>

namespace {

// The shadow's gray levels from the picture's edge outwards.
const int kShadowProfile[8] = {89, 112, 143, 180, 212, 233, 248, 255};

// XOR of the eight bits of a byte.
inline int Parity(BYTE b) {
    b ^= BYTE(b >> 4);
    b ^= BYTE(b >> 2);
    b ^= BYTE(b >> 1);
    return b & 1;
}

} // namespace

// ---- shadow -------------------------------------------------------------------------------------------------

// The new image keeps the information record (resolution, transparency, options) of the picture it frames.
bool CLvImage::Shadow() {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        const int W = GetWidth() + 16, H = GetHeight() + 16;
        CLvImage result;
        result.CopyInfoIfEmpty(*this);
        if (!result.Create(W, H, GetBpp(), info.dwFormat)) return false;
        if (const RGBQUAD* palette = GetPalette()) result.SetPalette(palette, head.biClrUsed);
        const CLvRowWriter writer(result);
        auto gray = [&](int x, int y, int g) {
            const BYTE v = lvfx::ClampByte(std::min(255, g));
            writer.Put(x, y, v, v, v);
        };
        const int* P = kShadowProfile;
        for (int y = 8; y <= H - 9; y++) // right strip
            for (int x = W - 8; x <= W - 1; x++)
                gray(x, y, P[x - (W - 8)]);
        for (int y = 0; y <= 7; y++) // bottom strip
            for (int x = 8; x <= W - 9; x++)
                gray(x, y, P[7 - y]);
        for (int y = H - 16; y <= H - 9; y++) // upper end of the right strip
            for (int x = W - 8; x <= W - 1; x++) {
                const int t = y - (H - 16), q = x - (W - 8);
                gray(x, y, P[q] + t * std::max(0, 25 - 4 * q));
            }
        for (int y = 0; y <= 7; y++) // left end of the bottom strip
            for (int x = 8; x <= 15; x++)
                gray(x, y, P[7 - y] + std::max(0, 4 * y - 3) * (16 - x));
        for (int y = 0; y <= 7; y++) // bottom-right corner
            for (int x = W - 8; x <= W - 1; x++) {
                const int q = x - (W - 8);
                if (x + y < W)
                    gray(x, y, P[7 - y] + std::max(0, 5 * y - 10) * q);
                else
                    gray(x, y, P[q] + (7 - y) * std::max(0, 25 - 5 * q));
            }
        // The picture, 8 pixels in from the left and bottom.
        const CLvRowReader reader(*this);
        std::vector<BYTE> row(static_cast<size_t>(GetWidth()) * 3);
        for (int y = 8; y <= H - 9; y++) {
            info.nProgress = int(100LL * (y - 8) / GetHeight());
            if (info.nEscape) break;
            reader.Read(y - 8, 0, GetWidth(), row.data());
            writer.Write(y, 8, GetWidth(), row.data());
        }
        // White margins: the left 8 columns and the top 8 rows.
        std::vector<BYTE> white(static_cast<size_t>(W) * 3, 255);
        for (int y = 0; y < H; y++)
            writer.Write(y, 0, y >= H - 8 ? W : 8, white.data());
        lvfx::FinishInto(*this, nullptr, result);
        return true;
    });
}

// ---- feather --------------------------------------------------------------------------------------------------

bool CLvImage::Feather(bool rectangular, int r) {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        CLvImage copy(*this);
        if (!copy.IsValid()) return false;
        if (!copy.pAlpha) {
            if (!copy.AlphaCreate()) return false;
            copy.AlphaFill(255);
        }
        const int width = GetWidth(), height = GetHeight();
        if (r < 0) r = 0;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const long long wideLeft = std::max<long long>(box.left - (long long)r, 0);
        const long long wideBottom = std::max<long long>(box.bottom - (long long)r, 0);
        const long long wideRight = std::min<long long>(box.right + (long long)r, width);
        const long long wideTop = std::min<long long>(box.top + (long long)r, height);
        // A band of width 0 has no falloff: whatever is not selected is outside.
        const double scale = r > 0 ? 255.0 / r : 0.0;
        // The selection's ellipse: centre and half-axes of the selection box.
        const long long a = box.Width() / 2, b = box.Height() / 2;
        const double cx = double(box.left) + double(a), cy = double(box.bottom) + double(b);
        const double outerA = double(a + r), outerB = double(b + r);

        auto rectangularAlpha = [&](int x, int y) {
            long long dx = x < box.left ? box.left - x : x >= box.right ? x - (box.right - 1) : 0;
            long long dy = y < box.bottom ? box.bottom - y : y >= box.top ? y - (box.top - 1) : 0;
            long long d = std::max(dx, dy);
            if (d >= r) return BYTE(0);
            return BYTE(std::min(255.0, double(r - d) * scale));
        };
        auto ellipticAlpha = [&](int x, int y) {
            const double dx = x - cx, dy = y - cy;
            if (outerA <= 0 || outerB <= 0) return BYTE(0);
            if (std::sqrt(dx * dx / (outerA * outerA) + dy * dy / (outerB * outerB)) >= 1) return BYTE(0);
            // Where the ray from the centre through the pixel meets the selection's ellipse.
            const double length = std::sqrt(dx * dx + dy * dy);
            double e = 0;
            if (length > 0) {
                double s = 0;
                if (dx != 0) s += a > 0 ? dx * dx / double(a * a) : INFINITY;
                if (dy != 0) s += b > 0 ? dy * dy / double(b * b) : INFINITY;
                const double meet = std::isinf(s) ? 0.0 : length / std::sqrt(s);
                e = std::max(0.0, length - meet);
            }
            const double left = std::max(0.0, double(r) - e);
            return BYTE(std::min(255.0, left * scale));
        };

        for (int y = 0; y < height; y++) {
            info.nProgress = int(100LL * y / height);
            if (info.nEscape) break;
            BYTE* alpha = copy.pAlpha + size_t(y) * size_t(width);
            for (int x = 0; x < width; x++) {
                if (x < wideLeft || x >= wideRight || y < wideBottom || y >= wideTop)
                    alpha[x] = 0;
                else if (SelectionIsInside(x, y))
                    alpha[x] = 255;
                else
                    alpha[x] = rectangular ? rectangularAlpha(x, y) : ellipticAlpha(x, y);
            }
        }
        copy.AlphaStrip();
        lvfx::FinishInto(*this, nullptr, copy);
        return true;
    });
}

// ---- pattern and frame -----------------------------------------------------------------------------------------

// Each pixel of the box is blended with the background colour by the mask value at its place; the pixels
// depend on nothing else, so the image is changed in place. The pattern is copied without its selection,
// which would otherwise limit the brightening of the mask to a part of it.
bool CLvImage::Pattern(const CLvImage& pattern, int transparency) {
    if (!pDib || !pattern.IsValid()) return false;
    return lvfx::Guarded([&] {
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        info.nProgress = 1;
        if (box.Empty()) return true;
        CLvImage mask(pattern, true, false, true);
        if (!mask.IsValid() || !mask.Resample(box.Width(), box.Height(), kResampleBilinear)) return false;
        // 2.55 is the single-precision constant, and the product is rounded to single precision: a
        // transparency of 0 gives -255, a black mask.
        const float brightness = float(transparency - 100) * 2.5499999523f;
        if (!mask.Light(int(brightness), 0) || !mask.IncreaseBpp(24)) return false;
        const RGBQUAD g = info.rgbTransColor;
        const int background[3] = {g.rgbBlue, g.rgbGreen, g.rgbRed};
        const CLvRowReader reader(*this);
        const CLvRowWriter writer(*this);
        const int n = box.Width();
        std::atomic<bool> failed{false};
        LvForRows(*this, box.Height(), kLvRowsProgress | kLvRowsCancel, size_t(n), [&](int first, int last) {
            try {
                std::vector<BYTE> row(static_cast<size_t>(n) * 3);
                for (int y = box.bottom + first; y < box.bottom + last; y++) {
                    reader.Read(y, box.left, n, row.data());
                    const BYTE* m = lvfx::Row(mask, y - box.bottom);
                    BYTE* p = row.data();
                    for (int x = 0; x < n; x++, p += 3, m += 3)
                        for (int k = 0; k < 3; k++)
                            p[k] = lvfx::ClampByte(p[k] + (background[k] - p[k]) * m[2] / 255);
                    writer.Write(y, box.left, n, row.data());
                }
            } catch (const std::exception&) {
                failed = true;
            }
        });
        return !failed;
    });
}

bool CLvImage::PhotoFrame(const CLvImage& frame) {
    if (!pDib || !frame.IsValid()) return false;
    return lvfx::Guarded([&] {
        CLvImage picture(frame, true, false, true);
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        info.nProgress = 1;
        const int bw = box.Width(), bh = box.Height();
        CLvImage result;
        if (!picture.IsValid() || box.Empty() || !lvfx::CreateResult(*this, result, bw, bh, GetBpp(), head.biClrUsed))
            return false;
        if (!picture.Resample(bw, bh, kResampleBilinear)) return false;
        const RGBQUAD key = picture.GetPixelColor(bw / 2, bh / 2);
        const CLvRowReader own(*this), framed(picture);
        const CLvRowWriter writer(result, false);
        std::vector<BYTE> row(static_cast<size_t>(bw) * 3), edge(static_cast<size_t>(bw) * 3);
        for (int y = box.bottom; y < box.top; y++) {
            info.nProgress = int(100LL * (y - box.bottom) / bh);
            if (info.nEscape) break;
            own.Read(y, box.left, bw, row.data());
            framed.Read(y - box.bottom, 0, bw, edge.data());
            const BYTE* mask = lvfx::SelectionRow(*this, y, box.left);
            for (int x = 0; x < bw; x++) {
                if (mask && !mask[x]) continue;
                const BYTE* f = &edge[size_t(x) * 3];
                const bool see = f[0] == key.rgbBlue && f[1] == key.rgbGreen && f[2] == key.rgbRed;
                const BYTE* c = see ? &row[size_t(x) * 3] : f;
                writer.Put(x, y - box.bottom, c[0], c[1], c[2]);
            }
        }
        lvfx::FinishInto(*this, nullptr, result);
        return true;
    });
}

// ---- watermark ------------------------------------------------------------------------------------------------

// Bit k of byte i sits in pixel 8 i + k, counted along the rows from the bottom left. Bit 0 of the pixel's
// blue channel is set so that the parity of the whole blue byte is the hidden bit.
bool CLvImage::EmbedWatermark(const BYTE* payload, int length) {
    if (!pDib || length < 0 || (length > 0 && !payload)) return false;
    const long long pixels = (long long)GetWidth() * GetHeight();
    // The length travels in a 16-bit field: a longer message could not be found again.
    if (8LL * length >= pixels || length > 0xFFFF) return false;
    info.wMarkBytes = WORD(length);
    const int width = GetWidth();
    for (long long bit = 0; bit < 8LL * length; bit++) {
        const int x = int(bit % width), y = int(bit / width);
        const int b = (payload[bit / 8] >> (bit % 8)) & 1;
        RGBQUAD c = GetPixelColor(x, y);
        const int upper = Parity(BYTE(c.rgbBlue & 0xFE));
        c.rgbBlue = BYTE((c.rgbBlue & 0xFE) | (b ^ upper));
        SetPixelColor(x, y, c);
    }
    return true;
}

bool CLvImage::DetectWatermark(BYTE* buffer, DWORD& length) {
    if (!pDib) return false;
    length = info.wMarkBytes;
    if (!buffer) return true;
    memset(buffer, 0, length);
    if (length == 0) return false;
    const int width = GetWidth();
    for (DWORD i = 0; i < length; i++) {
        info.nProgress = int(100LL * i / length);
        if (info.nEscape) break;
        for (int k = 0; k < 8; k++) {
            const long long bit = 8LL * i + k;
            // A length from a file may claim more bits than the picture has: those read the outside colour.
            const RGBQUAD c = GetPixelColor(int(bit % width), int(bit / width));
            buffer[i] = BYTE(buffer[i] ^ (Parity(c.rgbBlue) << k));
        }
    }
    return true;
}
