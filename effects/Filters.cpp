#include "effects/LvWindowPass.h"
#include "image/LvImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

namespace {

const int kMaxKernelSize = 255;

// One kernel weight k as the filters apply it to a channel value v: trunc(v * k), each product truncated
// before it is added. Whole weights are multiplied directly; any other weight goes through a table of the
// 256 truncated products, which is the same number.
struct Tap {
    int column; // offset of the neighbour's column in the window row, in pixels
    int row;    // dy
    bool whole; // the weight is a whole number: factor
    int factor; //
    int table[256];
};

// The non-zero weights of a kernel (a zero weight adds nothing), with the least and greatest sum they can
// give. False for a kernel whose sums could leave 32 bits (or that holds a weight that is not a number):
// such a kernel has no defined result, and the filters refuse it.
bool PrepareTaps(const double* kernel, int ksize, int half, std::vector<Tap>& taps, long long& minSum,
                 long long& maxSum) {
    minSum = maxSum = 0;
    for (int dy = -half; dy < ksize - half; dy++)
        for (int dx = -half; dx < ksize - half; dx++) {
            double k = kernel[(dy + half) * ksize + dx + half];
            if (!std::isfinite(k) || std::fabs(255.0 * k) >= 2147483647.0) return false;
            if (k == 0) continue;
            Tap tap;
            tap.column = dx + half;
            tap.row = dy;
            tap.whole = k == std::floor(k);
            tap.factor = tap.whole ? int(k) : 0;
            for (int v = 0; v < 256; v++)
                tap.table[v] = int(v * k);
            minSum += std::min(0, tap.table[255]);
            maxSum += std::max(0, tap.table[255]);
            taps.push_back(tap);
        }
    return minSum >= INT32_MIN && maxSum <= INT32_MAX;
}

// acc[i] += trunc(src[i] * k) over n channel values.
void AddTap(int32_t* acc, const BYTE* src, size_t n, const Tap& tap) {
    if (tap.whole) {
        const int k = tap.factor;
        if (k == 1) {
            for (size_t i = 0; i < n; i++)
                acc[i] += src[i];
        } else if (k == -1) {
            for (size_t i = 0; i < n; i++)
                acc[i] -= src[i];
        } else {
            for (size_t i = 0; i < n; i++)
                acc[i] += int32_t(src[i]) * k;
        }
    } else {
        const int* table = tap.table;
        for (size_t i = 0; i < n; i++)
            acc[i] += table[src[i]];
    }
}

// The last step of Filter for one channel sum: divided (when a divisor is given), shifted and clamped.
inline BYTE FinishSum(long long sum, int divisor, int offset) {
    long long v = divisor ? sum / divisor + offset : sum + offset;
    return BYTE(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Finishes a run of channel sums. Sums, divisor and offset below 2^24 in size take a path the compiler can
// vectorise: a float division of two such integers truncates to the same quotient as the integer division
// (the quotient's distance to the next whole number, at least 1 / divisor, is larger than the division's
// rounding error), and nothing overflows 32 bits.
class Finisher {
public:
    Finisher(long long minSum, long long maxSum, int divisor, int offset)
        : m_divisor(divisor), m_offset(offset),
          m_small(std::max(-minSum, maxSum) < (1 << 24) && offset > -(1 << 24) && offset < (1 << 24) &&
                  divisor > -(1 << 24) && divisor < (1 << 24)) {}

    void Run(const int32_t* sums, BYTE* out, size_t n) const {
        if (!m_small) {
            for (size_t i = 0; i < n; i++)
                out[i] = FinishSum(sums[i], m_divisor, m_offset);
            return;
        }
        const int offset = m_offset;
        if (m_divisor == 0) {
            for (size_t i = 0; i < n; i++)
                out[i] = ClampSmall(sums[i] + offset);
            return;
        }
        const float divisor = float(m_divisor);
        for (size_t i = 0; i < n; i++)
            out[i] = ClampSmall(int32_t(float(sums[i]) / divisor) + offset);
    }

private:
    static BYTE ClampSmall(int32_t v) { return BYTE(std::min(std::max(v, 0), 255)); }

    int m_divisor;
    int m_offset;
    bool m_small;
};

// Rows are worked in chunks of this many channel values, so that the sums stay in the first-level cache
// while every kernel weight is added.
const size_t kChunk = 1536;

template <class Body>
bool Guarded(Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        return false;
    }
}

// Luminance of conservative smoothing and edge tracking: 0.587 G + 0.299 R + 0.114 B, added in that order.
inline double Luma(int red, int green, int blue) {
    return 0.587 * green + 0.299 * red + 0.114 * blue;
}

// Sort key of the median: gray value first, then the colour itself, so equal grays keep one fixed order.
inline uint32_t MedianKey(const BYTE* bgr) {
    return (uint32_t(CLvImage::GrayValue(bgr[2], bgr[1], bgr[0])) << 24) | (uint32_t(bgr[2]) << 16) |
           (uint32_t(bgr[1]) << 8) | bgr[0];
}

inline void SortPair(uint32_t& a, uint32_t& b) {
    uint32_t low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// The fifth smallest of nine values, by a fixed network of 19 exchanges.
inline uint32_t MedianOf9(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4, uint32_t p5, uint32_t p6,
                          uint32_t p7, uint32_t p8) {
    SortPair(p1, p2);
    SortPair(p4, p5);
    SortPair(p7, p8);
    SortPair(p0, p1);
    SortPair(p3, p4);
    SortPair(p6, p7);
    SortPair(p1, p2);
    SortPair(p4, p5);
    SortPair(p7, p8);
    SortPair(p0, p3);
    SortPair(p5, p8);
    SortPair(p4, p7);
    SortPair(p3, p6);
    SortPair(p1, p4);
    SortPair(p2, p5);
    SortPair(p4, p7);
    SortPair(p4, p2);
    SortPair(p6, p4);
    SortPair(p4, p2);
    return p4;
}

} // namespace

// ---- general convolution ----------------------------------------------------------------------------------

bool CLvImage::Filter(const double* kernel, int Ksize, int Kfactor, int Koffset) {
    if (!pDib || !kernel || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return Guarded([&] {
        const int half = Ksize / 2;
        std::vector<Tap> taps;
        long long minSum, maxSum;
        if (!PrepareTaps(kernel, Ksize, half, taps, minSum, maxSum)) return false;
        const Finisher finish(minSum, maxSum, Kfactor, Koffset);
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const CLvRowReader reader(*this);
        const size_t n = size_t(box.Width()) * 3;
        return LvWindowPass(*this, reader, box, -half, Ksize - half - 1, -half, Ksize - half - 1, [&] {
            return [&, acc = std::vector<int32_t>(kChunk),
                    rows = std::vector<const BYTE*>(taps.size())](int y, CLvRowWindow& window, BYTE* out) mutable {
                for (size_t t = 0; t < taps.size(); t++)
                    rows[t] = window.Get(y + taps[t].row) + size_t(taps[t].column) * 3;
                for (size_t i0 = 0; i0 < n; i0 += kChunk) {
                    const size_t len = std::min(kChunk, n - i0);
                    std::fill(acc.begin(), acc.begin() + len, 0);
                    for (size_t t = 0; t < taps.size(); t++)
                        AddTap(acc.data(), rows[t] + i0, len, taps[t]);
                    finish.Run(acc.data(), out + i0, len);
                }
            };
        });
    });
}

// ---- two-kernel gradient ------------------------------------------------------------------------------------

bool CLvImage::EdgeFilter(const double* kernelA, const double* kernelB, int Ksize, int Kfactor, int Koffset) {
    if (!pDib || !kernelA || !kernelB || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return Guarded([&] {
        const int half = (Ksize - 1) / 2;
        std::vector<Tap> tapsA, tapsB;
        long long minA, maxA, minB, maxB;
        if (!PrepareTaps(kernelA, Ksize, half, tapsA, minA, maxA) ||
            !PrepareTaps(kernelB, Ksize, half, tapsB, minB, maxB))
            return false;
        const bool plain = Kfactor == 0 && Koffset == 0;
        // The magnitude of a plain gradient reaches 255 at 65536; square roots of numbers below 2^23 are
        // exact enough in single precision to truncate to the whole-number root.
        const bool floatRoot = std::max({-minA, maxA, -minB, maxB}) < 2048;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        // Neighbours at or past the scan's right and top bounds (or below 0) count as white.
        const CLvRowReader reader(*this, box.right, box.top, RGBQUAD{255, 255, 255, 0});
        const size_t n = size_t(box.Width()) * 3;
        return LvWindowPass(*this, reader, box, -half, Ksize - half - 1, -half, Ksize - half - 1, [&] {
            return [&, a = std::vector<int32_t>(kChunk), b = std::vector<int32_t>(kChunk),
                    rowsA = std::vector<const BYTE*>(tapsA.size()),
                    rowsB = std::vector<const BYTE*>(tapsB.size())](int y, CLvRowWindow& window, BYTE* out) mutable {
                for (size_t t = 0; t < tapsA.size(); t++)
                    rowsA[t] = window.Get(y + tapsA[t].row) + size_t(tapsA[t].column) * 3;
                for (size_t t = 0; t < tapsB.size(); t++)
                    rowsB[t] = window.Get(y + tapsB[t].row) + size_t(tapsB[t].column) * 3;
                for (size_t i0 = 0; i0 < n; i0 += kChunk) {
                    const size_t len = std::min(kChunk, n - i0);
                    std::fill(a.begin(), a.begin() + len, 0);
                    std::fill(b.begin(), b.begin() + len, 0);
                    for (size_t t = 0; t < tapsA.size(); t++)
                        AddTap(a.data(), rowsA[t] + i0, len, tapsA[t]);
                    for (size_t t = 0; t < tapsB.size(); t++)
                        AddTap(b.data(), rowsB[t] + i0, len, tapsB[t]);
                    BYTE* o = out + i0;
                    if (plain && floatRoot) {
                        for (size_t i = 0; i < len; i++) {
                            const int32_t m = a[i] * a[i] + b[i] * b[i];
                            o[i] = BYTE(std::min(int32_t(std::sqrt(float(std::min(m, 65536)))), 255));
                        }
                    } else {
                        for (size_t i = 0; i < len; i++) {
                            const long long m = (long long)a[i] * a[i] + (long long)b[i] * b[i];
                            o[i] = FinishSum((long long)std::sqrt(double(m)), Kfactor, Koffset);
                        }
                    }
                }
            };
        });
    });
}

// ---- rank filters ---------------------------------------------------------------------------------------------

bool CLvImage::Median(int Ksize) {
    if (!pDib || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return Guarded([&] {
        const int half = Ksize / 2;
        const int low = -half, high = Ksize - half - 1;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const CLvRowReader reader(*this);
        const int n = box.Width();
        const size_t count = size_t(Ksize) * size_t(Ksize);
        return LvWindowPass(*this, reader, box, low, high, low, high, [&] {
            return [&, keys = std::vector<uint32_t>(size_t(n + Ksize - 1) * size_t(Ksize)),
                    window9 = std::vector<uint32_t>(count)](int y, CLvRowWindow& window, BYTE* out) mutable {
                // Sort keys of the window's rows: keys[r * (n + K - 1) + column].
                const size_t stride = size_t(n + Ksize - 1);
                for (int r = 0; r < Ksize; r++) {
                    const BYTE* src = window.Get(y + low + r);
                    uint32_t* k = keys.data() + size_t(r) * stride;
                    for (size_t c = 0; c < stride; c++)
                        k[c] = MedianKey(src + c * 3);
                }
                for (int x = 0; x < n; x++) {
                    uint32_t key;
                    if (Ksize == 3) {
                        const uint32_t* r0 = keys.data() + x;
                        const uint32_t* r1 = r0 + stride;
                        const uint32_t* r2 = r1 + stride;
                        key = MedianOf9(r0[0], r0[1], r0[2], r1[0], r1[1], r1[2], r2[0], r2[1], r2[2]);
                    } else {
                        for (int r = 0; r < Ksize; r++)
                            memcpy(&window9[size_t(r) * Ksize], keys.data() + size_t(r) * stride + x,
                                   size_t(Ksize) * sizeof(uint32_t));
                        std::nth_element(window9.begin(), window9.begin() + count / 2, window9.end());
                        key = window9[count / 2];
                    }
                    out[3 * x] = BYTE(key);
                    out[3 * x + 1] = BYTE(key >> 8);
                    out[3 * x + 2] = BYTE(key >> 16);
                }
            };
        });
    });
}

bool CLvImage::ConservativeSmooth(int Ksize) {
    if (!pDib || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return Guarded([&] {
        const int half = Ksize / 2;
        const int low = -half, high = Ksize - half - 1;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const CLvRowReader reader(*this);
        const int n = box.Width();
        return LvWindowPass(*this, reader, box, low, high, low, high, [&] {
            const size_t stride = size_t(n + Ksize - 1);
            return [&, stride, lumas = std::vector<int>(stride * size_t(Ksize)),
                    rows = std::vector<const BYTE*>(size_t(Ksize))](int y, CLvRowWindow& window, BYTE* out) mutable {
                for (int r = 0; r < Ksize; r++) {
                    rows[size_t(r)] = window.Get(y + low + r);
                    const BYTE* src = rows[size_t(r)];
                    int* l = lumas.data() + size_t(r) * stride;
                    for (size_t c = 0; c < stride; c++)
                        l[c] = int(Luma(src[3 * c + 2], src[3 * c + 1], src[3 * c]));
                }
                for (int x = 0; x < n; x++) {
                    int maxY = 0, minY = 255;
                    const BYTE* maxColor = nullptr;
                    const BYTE* minColor = nullptr;
                    for (int dx = low; dx <= high; dx++)
                        for (int dy = low; dy <= high; dy++) {
                            if (dx == 0 && dy == 0) continue;
                            size_t column = size_t(x + dx - low);
                            int v = lumas[size_t(dy - low) * stride + column];
                            const BYTE* c = rows[size_t(dy - low)] + column * 3;
                            if (v >= maxY) {
                                maxY = v;
                                maxColor = c;
                            }
                            if (v <= minY) {
                                minY = v;
                                minColor = c;
                            }
                        }
                    const size_t centre = size_t(x - low);
                    const BYTE* own = rows[size_t(-low)] + centre * 3;
                    int v = lumas[size_t(-low) * stride + centre];
                    const BYTE* pick = own;
                    if (v > maxY && maxColor)
                        pick = maxColor;
                    else if (v < minY && minColor)
                        pick = minColor;
                    memcpy(out + 3 * x, pick, 3);
                }
            };
        });
    });
}

namespace {

// out[i] = min (or max) of a[i] and b[i], over n bytes. Plain pointers and a count by value let the
// compiler vectorise it (stores of bytes may alias anything reached through a reference).
template <bool Minimum>
void Extreme(BYTE* out, const BYTE* a, const BYTE* b, size_t n) {
    for (size_t i = 0; i < n; i++)
        out[i] = Minimum ? std::min(a[i], b[i]) : std::max(a[i], b[i]);
}

// Erode (minimum) and dilate (maximum) per channel over a K x K window: the window's rows are first reduced
// along x, then the reduced rows along y, which gives the same extreme.
template <bool Minimum>
bool RankExtreme(CLvImage& image, int Ksize) {
    if (!image.IsValid() || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return Guarded([&] {
        const int half = Ksize / 2;
        const int low = -half, high = Ksize - half - 1;
        const lvfx::ScanArea box = lvfx::GetScanArea(image);
        const CLvRowReader reader(image);
        const size_t n = size_t(box.Width()) * 3;
        return LvWindowPass(image, reader, box, low, high, low, high, [&] {
            return [n, Ksize, low, reduced = std::vector<BYTE>(n)](int y, CLvRowWindow& window, BYTE* out) mutable {
                BYTE* r = reduced.data();
                for (int row = 0; row < Ksize; row++) {
                    const BYTE* src = window.Get(y + low + row);
                    BYTE* target = row == 0 ? out : r;
                    if (Ksize == 1) memcpy(target, src, n);
                    for (int t = 1; t < Ksize; t++)
                        Extreme<Minimum>(target, t == 1 ? src : target, src + size_t(t) * 3, n);
                    if (row > 0) Extreme<Minimum>(out, out, r, n);
                }
            };
        });
    });
}

} // namespace

bool CLvImage::Erode(int Ksize) {
    return RankExtreme<true>(*this, Ksize);
}

bool CLvImage::Dilate(int Ksize) {
    return RankExtreme<false>(*this, Ksize);
}

// ---- edge tracking ----------------------------------------------------------------------------------------------

bool CLvImage::EdgeTrack() {
    if (!pDib) return false;
    return Guarded([&] {
        CLvImage copy(*this);
        if (!copy.IsValid() || !copy.RobertsEdge()) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const int bw = box.Width(), bh = box.Height();
        std::vector<BYTE> marks(size_t(bw) * size_t(bh), 0);
        auto lumaAt = [&copy](int x, int y) {
            RGBQUAD c = copy.GetPixelColor(x, y);
            return Luma(c.rgbRed, c.rgbGreen, c.rgbBlue);
        };

        // The brightest pixel of the box, the first in scan order among equals; (0, 0) of the box when all
        // are 0.
        int startX = box.left, startY = box.bottom;
        double brightest = 0.0;
        {
            const CLvRowReader reader(copy);
            std::vector<BYTE> row(size_t(bw) * 3);
            for (int y = box.bottom; y < box.top; y++) {
                reader.Read(y, box.left, bw, row.data());
                for (int x = 0; x < bw; x++) {
                    double v = Luma(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                    if (v > brightest) {
                        brightest = v;
                        startX = box.left + x;
                        startY = y;
                    }
                }
            }
        }

        if (bw > 0 && bh > 0 && brightest > 10.0) {
            static const int kSteps[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 0}, {1, 1}};
            int x = startX, y = startY;
            for (;;) {
                marks[size_t(y - box.bottom) * size_t(bw) + size_t(x - box.left)] = 255;
                double best = 0.0;
                int nextX = -1, nextY = -1;
                for (const auto& step : kSteps) {
                    int nx = x + step[0], ny = y + step[1];
                    if (nx < box.left || nx >= box.right || ny < box.bottom || ny >= box.top) continue;
                    if (marks[size_t(ny - box.bottom) * size_t(bw) + size_t(nx - box.left)]) continue;
                    double v = lumaAt(nx, ny);
                    if (v > best) {
                        best = v;
                        nextX = nx;
                        nextY = ny;
                    }
                }
                if (nextX < 0) break;
                x = nextX;
                y = nextY;
                if (!(best > 10.0)) break;
            }
        }

        const CLvRowWriter writer(copy);
        std::vector<BYTE> out(size_t(bw) * 3);
        for (int y = box.bottom; y < box.top; y++) {
            info.nProgress = int(100LL * y / GetHeight());
            if (info.nEscape) break;
            const BYTE* m = marks.data() + size_t(y - box.bottom) * size_t(bw);
            for (int x = 0; x < bw; x++)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = m[x];
            writer.Write(y, box.left, bw, out.data());
        }
        lvfx::FinishInto(*this, nullptr, copy);
        return true;
    });
}

// ---- the filter commands ------------------------------------------------------------------------------------------

bool CLvImage::BoxSmooth() {
    static const double kernel[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    return Filter(kernel, 3, 9, 0);
}

bool CLvImage::GaussSmooth() {
    static const double kernel[25] = {1,  4, 7, 4,  1,  4,  16, 26, 16, 4, 7, 26, 41,
                                      26, 7, 4, 16, 26, 16, 4,  1,  4,  7, 4, 1};
    return Filter(kernel, 5, 273, 0);
}

bool CLvImage::Soften(BYTE level) {
    const double kernel[9] = {1, 1, 1, 1, double(level), 1, 1, 1, 1};
    return Filter(kernel, 3, level + 8, 0);
}

bool CLvImage::Sharpen(BYTE level) {
    const int centre = 19 - level;
    const double kernel[9] = {-1, -1, -1, -1, double(centre), -1, -1, -1, -1};
    return Filter(kernel, 3, centre - 8, 0);
}

// The emboss and carve weights are the depth times the single-precision 0.1, widened to double.
bool CLvImage::Emboss(BYTE depth, BYTE brightness) {
    const double w = double(float(depth) * 0.1f);
    const double kernel[9] = {-w, 0, 0, 0, w, 0, 0, 0, 0};
    return Filter(kernel, 3, 0, brightness + 127);
}

bool CLvImage::Carve(BYTE depth, BYTE brightness) {
    const double w = double(float(depth) * 0.1f);
    const double kernel[9] = {0, 0, 0, 0, w, 0, 0, 0, -w};
    return Filter(kernel, 3, 0, brightness + 127);
}

bool CLvImage::Laplacian(int variant) {
    static const double four[9] = {0, 1, 0, 1, -4, 1, 0, 1, 0};
    static const double eight[9] = {1, 1, 1, 1, -8, 1, 1, 1, 1};
    if (variant != 4 && variant != 8) return false;
    return Filter(variant == 4 ? four : eight, 3, 0, 0);
}

bool CLvImage::RobertsEdge() {
    static const double a[4] = {1, 0, 0, -1};
    static const double b[4] = {0, 1, -1, 0};
    return EdgeFilter(a, b, 2, 0, 0);
}

bool CLvImage::PrewittEdge() {
    static const double a[9] = {-1, -1, -1, 0, 0, 0, 1, 1, 1};
    static const double b[9] = {-1, 0, 1, -1, 0, 1, -1, 0, 1};
    return EdgeFilter(a, b, 3, 0, 0);
}

bool CLvImage::SobelEdge() {
    static const double a[9] = {-1, -2, -1, 0, 0, 0, 1, 2, 1};
    static const double b[9] = {-1, 0, 1, -2, 0, 2, -1, 0, 1};
    return EdgeFilter(a, b, 3, 0, 0);
}

bool CLvImage::IsotropicSobelEdge() {
    const double r = std::sqrt(2.0);
    const double a[9] = {-1, -r, -1, 0, 0, 0, 1, r, 1};
    const double b[9] = {-1, 0, 1, -r, 0, r, -1, 0, 1};
    return EdgeFilter(a, b, 3, 0, 0);
}
