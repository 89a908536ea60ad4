#include "effects/LvEffectUtil.h"
#include "image/LvImage.h"
#include "image/LvNearestColor.h"
#include "image/LvSizeCheck.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using namespace lvfx;

// Scale factors and interpolation weights are single-precision floats and conversions to integers truncate,
// as they always have, so that a resized picture comes out byte for byte as it did before.

namespace {

// Reads source colours and writes result colours the way the pixel accessors do, but by row pointers.
// kPalette: the picture has a palette (decided once per operation, not per pixel).
template <bool kPalette>
class Sampler {
public:
    // mixes: colours are mixed and written as the nearest palette entry (not needed by the nearest pixel path).
    Sampler(const CLvImage& source, const CLvImage& result, bool mixes = true)
        : m_source(source), m_bpp(source.GetBpp()), m_palette(source.GetPalette()), m_outPalette(result.GetPalette()),
          m_outColors(result.head.biClrUsed) {
        // The grid search costs about as much to build as 2^26 steps of the linear search: worth it for
        // large pictures only. Both give the same entry.
        const uint64_t work = uint64_t(result.GetWidth()) * uint64_t(result.GetHeight()) * m_outColors;
        if (mixes && m_palette && work >= (uint64_t(1) << 26))
            m_grid.reset(new CLvNearestColor(m_outPalette, m_outColors));
    }

    // The colour of pixel (x, y), which must be inside the picture.
    RGBQUAD At(int x, int y) const {
        const BYTE* row = Row(m_source, y);
        if (kPalette) return m_palette[LvGetPackedIndex(row, x, m_bpp)];
        const BYTE* p = row + size_t(x) * 3;
        RGBQUAD c;
        c.rgbBlue = p[0];
        c.rgbGreen = p[1];
        c.rgbRed = p[2];
        c.rgbReserved = 0;
        return c;
    }
    // Writes a colour as SetPixelColor does: palette pictures take the nearest entry.
    void Put(BYTE* row, int x, BYTE red, BYTE green, BYTE blue) const {
        if (kPalette) {
            BYTE index;
            if (m_grid) {
                index = m_grid->Find(red, green, blue);
            } else {
                RGBQUAD c;
                c.rgbRed = red;
                c.rgbGreen = green;
                c.rgbBlue = blue;
                c.rgbReserved = 0;
                index = NearestIndex(m_outPalette, m_outColors, c);
            }
            LvSetPackedIndex(row, x, m_bpp, index);
        } else {
            BYTE* p = row + size_t(x) * 3;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    }
    void Put(BYTE* row, int x, RGBQUAD c) const { Put(row, x, c.rgbRed, c.rgbGreen, c.rgbBlue); }

private:
    const CLvImage& m_source;
    int m_bpp;
    const RGBQUAD* m_palette;
    const RGBQUAD* m_outPalette;
    DWORD m_outColors;
    std::unique_ptr<CLvNearestColor> m_grid;
};

inline BYTE ByteOf(float v) {
    return static_cast<BYTE>(static_cast<int>(v));
}

// ---- nearest, bilinear, B-spline and bicubic: every output pixel on its own -------------------------------

// Where output column x (or row y) reads: trunc(x * scale), its neighbour and the fraction between.
struct Axis {
    std::vector<int> index, next;
    std::vector<float> fraction;
    std::vector<bool> inside;

    Axis(int count, float scale, int size) : index(size_t(count)), next(size_t(count)), fraction(size_t(count)) {
        inside.resize(size_t(count));
        for (int i = 0; i < count; i++) {
            const float f = float(i) * scale;
            int k = static_cast<int>(f);
            inside[size_t(i)] = k < size;
            fraction[size_t(i)] = f - float(k);
            k = std::min(k, size - 1); // a float rounded up to the edge still reads inside
            index[size_t(i)] = k;
            next[size_t(i)] = std::min(size - 1, k + 1);
        }
    }
};

template <bool kPalette>
void ResampleNearest(CLvImage& image, CLvImage& result, const Axis& ax, const Axis& ay) {
    const Sampler<kPalette> sampler(image, result, false);
    const int newWidth = result.GetWidth(), bpp = image.GetBpp();
    BYTE map[256];
    SelfNearestMap(image, map);
    const RGBQUAD outside = image.GetPixelColor(-1, -1); // the background a read outside the picture gives
    LvForRows(image, result.GetHeight(), kLvRowsProgress | kLvRowsCancel, size_t(newWidth), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            BYTE* out = Row(result, y);
            const BYTE* in = Row(image, ay.index[size_t(y)]);
            for (int x = 0; x < newWidth; x++) {
                const int sx = ax.index[size_t(x)];
                if (!ax.inside[size_t(x)] || !ay.inside[size_t(y)]) {
                    sampler.Put(out, x, outside);
                } else if (bpp == 24) {
                    memcpy(out + size_t(x) * 3, in + size_t(sx) * 3, 3);
                } else {
                    LvSetPackedIndex(out, x, bpp, map[LvGetPackedIndex(in, sx, bpp)]);
                }
            }
        }
    });
}

template <bool kPalette>
void ResampleBilinear(CLvImage& image, CLvImage& result, const Axis& ax, const Axis& ay) {
    const Sampler<kPalette> sampler(image, result);
    const int newWidth = result.GetWidth();
    LvForRows(image, result.GetHeight(), kLvRowsProgress | kLvRowsCancel, size_t(newWidth), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            BYTE* out = Row(result, y);
            const int iY = ay.index[size_t(y)], iY1 = ay.next[size_t(y)];
            const float dy = ay.fraction[size_t(y)];
            for (int x = 0; x < newWidth; x++) {
                const int iX = ax.index[size_t(x)], iX1 = ax.next[size_t(x)];
                const float dx = ax.fraction[size_t(x)];
                const RGBQUAD c1 = sampler.At(iX, iY), c2 = sampler.At(iX1, iY);
                const RGBQUAD c3 = sampler.At(iX, iY1), c4 = sampler.At(iX1, iY1);
                auto mix = [&](BYTE v1, BYTE v2, BYTE v3, BYTE v4) {
                    const float left = v1 * (1 - dy) + v3 * dy;
                    const float right = v2 * (1 - dy) + v4 * dy;
                    return ByteOf(left * (1 - dx) + right * dx);
                };
                sampler.Put(out, x, mix(c1.rgbRed, c2.rgbRed, c3.rgbRed, c4.rgbRed),
                            mix(c1.rgbGreen, c2.rgbGreen, c3.rgbGreen, c4.rgbGreen),
                            mix(c1.rgbBlue, c2.rgbBlue, c3.rgbBlue, c4.rgbBlue));
            }
        }
    });
}

// The cubic B-spline for |t| <= 1, in double precision and then as a float. Its two weights do not add
// up to 1: this interpolation darkens (a uniform 255 becomes 177).
float BSplineWeight(float t) {
    const double d = t;
    return static_cast<float>(2.0 / 3.0 - 0.5 * d * d * (2.0 - std::fabs(d)));
}

template <bool kPalette>
void ResampleBSpline(CLvImage& image, CLvImage& result, const Axis& ax, const Axis& ay) {
    const Sampler<kPalette> sampler(image, result);
    const int newWidth = result.GetWidth();
    std::vector<float> wx0(static_cast<size_t>(newWidth)), wx1(static_cast<size_t>(newWidth));
    for (int x = 0; x < newWidth; x++) {
        wx0[size_t(x)] = BSplineWeight(ax.fraction[size_t(x)]);
        wx1[size_t(x)] = BSplineWeight(1 - ax.fraction[size_t(x)]);
    }
    LvForRows(image, result.GetHeight(), kLvRowsProgress | kLvRowsCancel, size_t(newWidth), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            BYTE* out = Row(result, y);
            const int iY = ay.index[size_t(y)], iY1 = ay.next[size_t(y)];
            const float wy0 = BSplineWeight(ay.fraction[size_t(y)]), wy1 = BSplineWeight(1 - ay.fraction[size_t(y)]);
            for (int x = 0; x < newWidth; x++) {
                const int iX = ax.index[size_t(x)], iX1 = ax.next[size_t(x)];
                const float a0 = wx0[size_t(x)], a1 = wx1[size_t(x)];
                const RGBQUAD c1 = sampler.At(iX, iY), c2 = sampler.At(iX1, iY);
                const RGBQUAD c3 = sampler.At(iX, iY1), c4 = sampler.At(iX1, iY1);
                auto mix = [&](BYTE v1, BYTE v2, BYTE v3, BYTE v4) {
                    const float left = v1 * wy0 + v3 * wy1;
                    const float right = v2 * wy0 + v4 * wy1;
                    return ByteOf(left * a0 + right * a1);
                };
                sampler.Put(out, x, mix(c1.rgbRed, c2.rgbRed, c3.rgbRed, c4.rgbRed),
                            mix(c1.rgbGreen, c2.rgbGreen, c3.rgbGreen, c4.rgbGreen),
                            mix(c1.rgbBlue, c2.rgbBlue, c3.rgbBlue, c4.rgbBlue));
            }
        }
    });
}

// The four source positions and kernel weights of one output column or row of the bicubic path:
// floor(i * scale) - 1 .. + 2 clamped to the picture.
struct CubicAxis {
    std::vector<int> at;       // 4 per output position
    std::vector<float> weight; // 4 per output position
    CubicAxis(int count, float scale, int size, bool rowsFirst) : at(size_t(count) * 4), weight(size_t(count) * 4) {
        for (int i = 0; i < count; i++) {
            const float f = float(i) * scale;
            const float base = std::floor(f);
            const float frac = f - base;
            const int start = static_cast<int>(base);
            for (int k = 0; k < 4; k++) {
                const int m = k - 1;
                at[size_t(i) * 4 + size_t(k)] = std::max(0, std::min(size - 1, start + m));
                // Rows weigh KernelBSpline(m - a), columns KernelBSpline(b - n).
                weight[size_t(i) * 4 + size_t(k)] =
                    rowsFirst ? CLvImage::KernelBSpline(float(m) - frac) : CLvImage::KernelBSpline(frac - float(m));
            }
        }
    }
};

template <bool kPalette>
void ResampleBicubic(CLvImage& image, CLvImage& result, float xScale, float yScale) {
    const Sampler<kPalette> sampler(image, result);
    const int newWidth = result.GetWidth(), newHeight = result.GetHeight();
    const CubicAxis cx(newWidth, xScale, image.GetWidth(), false);
    const CubicAxis cy(newHeight, yScale, image.GetHeight(), true);
    LvForRows(image, newHeight, kLvRowsProgress | kLvRowsCancel, size_t(newWidth) * 16, [&](int first, int last) {
        for (int y = first; y < last; y++) {
            BYTE* out = Row(result, y);
            const int* rows = &cy.at[size_t(y) * 4];
            const float* ry = &cy.weight[size_t(y) * 4];
            for (int x = 0; x < newWidth; x++) {
                const int* cols = &cx.at[size_t(x) * 4];
                const float* rx = &cx.weight[size_t(x) * 4];
                float red = 0, green = 0, blue = 0;
                for (int m = 0; m < 4; m++) {
                    const float r1 = ry[m];
                    for (int n = 0; n < 4; n++) {
                        const float r2 = r1 * rx[n];
                        const RGBQUAD c = sampler.At(cols[n], rows[m]);
                        red += r2 * c.rgbRed;
                        green += r2 * c.rgbGreen;
                        blue += r2 * c.rgbBlue;
                    }
                }
                sampler.Put(out, x, ByteOf(red), ByteOf(green), ByteOf(blue));
            }
        }
    });
}

// ---- area averaging: a true-colour picture reduced in both directions ------------------------------------

// Fixed-point box filter with weights in thousandths. Each output pixel sums the source pixels it covers,
// the pixels on its borders split by the fraction that falls inside. The sums are 64-bit: a strong
// reduction (a thumbnail of a large photo) adds up more than 32 bits hold.
class AreaAverage {
public:
    AreaAverage(const CLvImage& source, CLvImage& result, float xScale, float yScale)
        : m_source(source), m_result(result), m_width(source.GetWidth()), m_newWidth(result.GetWidth()),
          m_newHeight(result.GetHeight()) {
        m_scale = std::max<int64_t>(1, static_cast<int64_t>(1000 * xScale * yScale));
        m_inverse = 1.0 / double(m_scale);
        // Columns: the source pixels inside an output column, then the one on its right border, split
        // between it and the next column by wx thousandths.
        float fEndX = xScale - 1;
        int from = 0;
        for (int x = 0; x < m_width && int(m_columns.size()) < m_newWidth; x++) {
            if (float(x) < fEndX) continue;
            m_columns.push_back(Column{from, x, static_cast<int>((float(x) - fEndX) * 1000)});
            fEndX += xScale;
            from = x + 1;
        }
        m_tailFrom = from;
        // Rows: the source row that closes each output row, and how much of it still belongs to that row.
        float fEndY = yScale - 1;
        for (int y = 0; y < source.GetHeight() && int(m_splitRow.size()) < m_newHeight; y++) {
            if (float(y) < fEndY) continue;
            m_splitRow.push_back(y);
            m_wy.push_back(static_cast<int>((float(y) - fEndY) * 1000));
            fEndY += yScale;
        }
    }

    // Output rows [first, last).
    void Band(int first, int last) const {
        const size_t n = size_t(m_newWidth) * 3 + 6;
        std::vector<int64_t> accu(n, 0), carry(n, 0);
        const int closed = int(m_splitRow.size());
        if (first > 0 && first - 1 < closed) {
            // What the row that closed the previous output row carries over into this one.
            SourceRow(m_splitRow[size_t(first - 1)], m_wy[size_t(first - 1)], accu.data(), carry.data(), nullptr);
            accu.swap(carry);
            std::fill(carry.begin(), carry.end(), 0);
        }
        for (int v = first; v < last && v <= closed; v++) {
            const int from = v == 0 ? 0 : m_splitRow[size_t(v - 1)] + 1;
            if (v == closed) {
                // The last output row was not closed by a source row: the rest of the picture makes it.
                if (v >= m_newHeight) break;
                for (int y = from; y < m_source.GetHeight(); y++)
                    SourceRow(y, -1, accu.data(), carry.data(), nullptr);
                BYTE* out = Row(m_result, v);
                for (size_t i = 0; i < size_t(m_newWidth) * 3; i++)
                    out[i] = Out(accu[i]);
                break;
            }
            for (int y = from; y < m_splitRow[size_t(v)]; y++)
                SourceRow(y, -1, accu.data(), carry.data(), nullptr);
            SourceRow(m_splitRow[size_t(v)], m_wy[size_t(v)], accu.data(), carry.data(), Row(m_result, v));
            accu.swap(carry);
            carry[0] = carry[1] = carry[2] = 0;
        }
    }

private:
    struct Column {
        int from;   // first source pixel inside the column
        int border; // the source pixel on its right border
        int wx;     // thousandths of that pixel that belong to the next column
    };

    // sum / scale, cut to a byte. A division by a variable is slow; the quotient from the reciprocal is at
    // most one off (sums stay far below 2^53) and is put right with one multiplication.
    BYTE Out(int64_t sum) const {
        int64_t v = static_cast<int64_t>(double(sum) * m_inverse);
        if (v * m_scale > sum)
            v--;
        else if ((v + 1) * m_scale <= sum)
            v++;
        return static_cast<BYTE>(v > 255 ? 255 : v);
    }

    // Adds source row y to the sums. wy < 0: the row lies inside the current output row. Otherwise the row
    // closes it: (1000 - wy) of it goes to accu, wy to carry (the next output row), and the closed output
    // row is written to out (when given).
    void SourceRow(int y, int wy, int64_t* accu, int64_t* carry, BYTE* out) const {
        const BYTE* row = Row(m_source, y);
        auto sum = [&](int from, int to, int64_t s[3]) {
            s[0] = s[1] = s[2] = 0;
            for (const BYTE* p = row + size_t(from) * 3; from < to; from++, p += 3) {
                s[0] += p[0];
                s[1] += p[1];
                s[2] += p[2];
            }
        };
        int64_t s[3];
        for (size_t j = 0; j < m_columns.size(); j++) {
            const Column& column = m_columns[j];
            int64_t* a = accu + j * 3;
            int64_t* c = carry + j * 3;
            const BYTE* b = row + size_t(column.border) * 3;
            const int64_t wx = column.wx;
            // The whole pixels of the column: the same sums as pixel by pixel, the weights taken out.
            sum(column.from, column.border, s);
            if (wy < 0) {
                for (int k = 0; k < 3; k++) {
                    a[k] += 1000 * s[k] + (1000 - wx) * b[k];
                    a[k + 3] += wx * b[k];
                }
            } else {
                for (int k = 0; k < 3; k++) {
                    a[k] += (1000 - wy) * s[k];
                    c[k] += wy * s[k];
                    a[k] += (1000 - wy) * (1000 - wx) * b[k] / 1000;
                    if (out) out[j * 3 + k] = Out(a[k]);
                    c[k] += wy * (1000 - wx) * b[k] / 1000;
                    a[k + 3] += (1000 - wy) * wx * b[k] / 1000;
                    c[k + 3] = wy * wx * b[k] / 1000;
                }
            }
        }
        // Pixels after the last border belong to a last column that no border closes; it is written from
        // what it holds when its row is closed.
        const size_t last = m_columns.size();
        if (last >= size_t(m_newWidth)) return;
        sum(m_tailFrom, m_width, s);
        int64_t* a = accu + last * 3;
        int64_t* c = carry + last * 3;
        for (int k = 0; k < 3; k++) {
            if (wy < 0) {
                a[k] += 1000 * s[k];
            } else {
                a[k] += (1000 - wy) * s[k];
                c[k] += wy * s[k];
                if (out) out[last * 3 + k] = Out(a[k]);
            }
        }
    }

    const CLvImage& m_source;
    CLvImage& m_result;
    int m_width, m_newWidth, m_newHeight;
    int64_t m_scale;
    double m_inverse;
    std::vector<Column> m_columns;
    int m_tailFrom;
    std::vector<int> m_splitRow, m_wy;
};

} // namespace

float CLvImage::KernelBSpline(float x) {
    const float a = x + 2 > 0 ? static_cast<float>(std::pow(double(x + 2), 3.0)) : 0.0f;
    const float b = x + 1 > 0 ? static_cast<float>(std::pow(double(x + 1), 3.0)) : 0.0f;
    const float c = x > 0 ? static_cast<float>(std::pow(double(x), 3.0)) : 0.0f;
    const float d = x - 1 > 0 ? static_cast<float>(std::pow(double(x - 1), 3.0)) : 0.0f;
    return (a - 4 * b + 6 * c - 4 * d) * 0.16666667f;
}

bool CLvImage::Resample(int newWidth, int newHeight, int type, CLvImage* destination) {
    if (newWidth == 0 || newHeight == 0 || !pDib) return false;
    const int width = GetWidth(), height = GetHeight();
    if (newWidth == width && newHeight == height) {
        if (destination && destination != this) destination->Copy(*this);
        return true;
    }
    // An unknown interpolation would leave the new picture black: refuse it and keep the image.
    if (type < kResampleNearest || type > kResampleBicubic) return false;
    if (LvCheckImageSize(newWidth, newHeight, GetBpp()) != nullptr) return false;
    const float xScale = float(width) / float(newWidth);
    const float yScale = float(height) / float(newHeight);
    CLvImage result;
    if (!CreateResult(*this, result, newWidth, newHeight, GetBpp())) return false;

    const Axis ax(newWidth, xScale, width), ay(newHeight, yScale, height);
    const bool palette = GetPalette() != nullptr;
    switch (type) {
    case kResampleNearest:
        palette ? ResampleNearest<true>(*this, result, ax, ay) : ResampleNearest<false>(*this, result, ax, ay);
        break;
    case kResampleBilinear:
        if (GetBpp() == 24 && width > newWidth && height > newHeight) {
            const AreaAverage area(*this, result, xScale, yScale);
            LvForRows(*this, newHeight, kLvRowsProgress | kLvRowsCancel, size_t(width) * size_t(height / newHeight),
                      [&](int first, int last) { area.Band(first, last); });
        } else {
            palette ? ResampleBilinear<true>(*this, result, ax, ay) : ResampleBilinear<false>(*this, result, ax, ay);
        }
        break;
    case kResampleBSpline:
        palette ? ResampleBSpline<true>(*this, result, ax, ay) : ResampleBSpline<false>(*this, result, ax, ay);
        break;
    default:
        palette ? ResampleBicubic<true>(*this, result, xScale, yScale)
                : ResampleBicubic<false>(*this, result, xScale, yScale);
        break;
    }

    // Alpha and selection follow the nearest source pixel.
    if (pAlpha) {
        if (!result.AlphaCreate()) return false;
        result.info.nAlphaMax = info.nAlphaMax;
        for (int y = 0; y < newHeight; y++)
            for (int x = 0; x < newWidth; x++)
                result.pAlpha[size_t(y) * size_t(newWidth) + size_t(x)] =
                    AlphaGet(static_cast<int>(float(x) * xScale), static_cast<int>(float(y) * yScale));
    }
    if (pSelection) {
        if (!result.SelectionCreate()) return false;
        const RECT& box = info.rcSelection;
        const float xFactor = 1 / xScale, yFactor = 1 / yScale;
        result.info.rcSelection.left = static_cast<LONG>(box.left * xFactor);
        result.info.rcSelection.right = static_cast<LONG>(box.right * xFactor);
        result.info.rcSelection.top = static_cast<LONG>(box.top * yFactor);
        result.info.rcSelection.bottom = static_cast<LONG>(box.bottom * yFactor);
        for (int y = 0; y < newHeight; y++)
            for (int x = 0; x < newWidth; x++)
                if (SelectionIsInside(static_cast<int>(float(x) * xScale), static_cast<int>(float(y) * yScale)))
                    result.pSelection[size_t(y) * size_t(newWidth) + size_t(x)] = 255;
    }
    FinishInto(*this, destination, result);
    return true;
}

// ---- free rotation --------------------------------------------------------------------------------------

bool CLvImage::Rotate(float angle, CLvImage* destination) {
    if (!pDib) return false;
    const int width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    // Clockwise on screen means counter-clockwise in the bottom-up coordinates.
    const double theta = -double(angle) * std::acos(0.0) * 0.011111111111111112;
    const double cosA = std::cos(theta), sinA = std::sin(theta);
    // The canvas: the turned corners, the fourth taken at width - 1.
    const int xs[4] = {0, static_cast<int>(width * cosA), static_cast<int>(-height * sinA),
                       static_cast<int>((width - 1) * cosA - height * sinA)};
    const int ys[4] = {0, static_cast<int>(width * sinA), static_cast<int>(height * cosA),
                       static_cast<int>((width - 1) * sinA + height * cosA)};
    const int left = *std::min_element(xs, xs + 4), right = *std::max_element(xs, xs + 4);
    const int top = *std::min_element(ys, ys + 4), bottom = *std::max_element(ys, ys + 4);
    const int newWidth = right - left, newHeight = bottom - top;
    if (newWidth <= 0 || newHeight <= 0) return false; // a picture turned to nothing has no canvas
    CLvImage result;
    if (!CreateResult(*this, result, newWidth, newHeight, bpp)) return false;
    if (pAlpha) {
        if (!result.AlphaCreate()) return false; // cleared: the new corners are transparent
        result.info.nAlphaMax = info.nAlphaMax;
    }

    // Outside the source: the colour of pixel (0, 0) without a background index, else the background
    // colour; for indices the background index or 0.
    const RGBQUAD outsideColor = GetPixelColor(-1, -1);
    const BYTE outsideIndex = GetPixelIndex(-1, -1);
    // x * cos and x * sin for every output column, so that each pixel adds the same products it always has.
    std::vector<double> xCos(static_cast<size_t>(newWidth)), xSin(static_cast<size_t>(newWidth));
    for (int i = 0; i < newWidth; i++) {
        xCos[size_t(i)] = double(left + i) * cosA;
        xSin[size_t(i)] = double(left + i) * sinA;
    }
    LvForRows(*this, newHeight, kLvRowsProgress | kLvRowsCancel, size_t(newWidth), [&](int first, int last) {
        // The source positions of a row first (a loop the compiler turns into vector code), then the pixels.
        std::vector<int> oldXs(static_cast<size_t>(newWidth)), oldYs(static_cast<size_t>(newWidth));
        for (int row = first; row < last; row++) {
            const int y = top + row;
            const double ySin = y * sinA, yCos = y * cosA;
            int* ox = oldXs.data();
            int* oy = oldYs.data();
            for (int i = 0; i < newWidth; i++) {
                ox[i] = static_cast<int>(xCos[size_t(i)] + ySin - 0.5);
                oy[i] = static_cast<int>(yCos - xSin[size_t(i)] - 0.5);
            }
            BYTE* out = Row(result, row);
            BYTE* alphaOut = result.pAlpha ? result.pAlpha + size_t(row) * size_t(newWidth) : nullptr;
            for (int i = 0; i < newWidth; i++) {
                const int oldX = ox[i], oldY = oy[i];
                const bool inside = unsigned(oldX) < unsigned(width) && unsigned(oldY) < unsigned(height);
                if (bpp == 24) {
                    BYTE* d = out + size_t(i) * 3;
                    if (inside) {
                        const BYTE* p = Row(*this, oldY) + size_t(oldX) * 3;
                        d[0] = p[0];
                        d[1] = p[1];
                        d[2] = p[2];
                    } else {
                        d[0] = outsideColor.rgbBlue;
                        d[1] = outsideColor.rgbGreen;
                        d[2] = outsideColor.rgbRed;
                    }
                } else {
                    LvSetPackedIndex(out, i, bpp,
                                     inside ? LvGetPackedIndex(Row(*this, oldY), oldX, bpp) : outsideIndex);
                }
                if (alphaOut) alphaOut[i] = inside ? pAlpha[size_t(oldY) * size_t(width) + size_t(oldX)] : 0;
            }
        }
    });
    FinishInto(*this, destination, result);
    return true;
}
