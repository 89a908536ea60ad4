#include "effects/LvEffectUtil.h"
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

// acc[i] += f * s[i] over n values. Plain pointers and counts by value let the compiler vectorise these
// loops (a store through a byte pointer may alias anything reached through a reference).
template <class Acc, class Src>
void AddScaled(Acc* acc, const Src* s, size_t n, int f) {
    if (f == 1) {
        for (size_t i = 0; i < n; i++)
            acc[i] = Acc(acc[i] + s[i]);
    } else if (f == -1) {
        for (size_t i = 0; i < n; i++)
            acc[i] = Acc(acc[i] - s[i]);
    } else {
        const Acc k = Acc(f);
        for (size_t i = 0; i < n; i++)
            acc[i] = Acc(acc[i] + k * Acc(s[i]));
    }
}

void SumBytes(uint16_t* d, const BYTE* a, const BYTE* b, size_t n) {
    for (size_t i = 0; i < n; i++)
        d[i] = uint16_t(a[i] + b[i]);
}

void AddBytes(uint16_t* d, const BYTE* a, size_t n) {
    for (size_t i = 0; i < n; i++)
        d[i] = uint16_t(d[i] + a[i]);
}

// acc[i] += f * s[i] where every product fits 16 bits: multiplied in 16 bits, added in 32.
template <class Src>
void AddScaledNarrow(int32_t* acc, const Src* s, size_t n, int f) {
    const int16_t k = int16_t(f);
    for (size_t i = 0; i < n; i++)
        acc[i] += int16_t(k * int16_t(s[i]));
}

template <class Acc>
void AddTable(Acc* acc, const BYTE* s, size_t n, const int* table) {
    for (size_t i = 0; i < n; i++)
        acc[i] = Acc(acc[i] + table[s[i]]);
}

// The non-zero weights of a kernel (a zero weight adds nothing) and the sums they give. Taps of the same
// whole weight are added up first (at most 256 bytes fit a 16-bit sum) and multiplied once: the sum of
// k * v over the taps is k times the sum of the v. When every sum the kernel can give fits 16 bits, the
// sums are kept in 16 bits, twice as many at a time.
class KernelSum {
public:
    // False for a kernel whose sums could leave 32 bits (or that holds a weight that is not a number):
    // such a kernel has no defined result, and the filters refuse it.
    bool Prepare(const double* kernel, int ksize, int half) {
        m_min = m_max = 0;
        std::vector<Tap> taps;
        for (int dy = -half; dy < ksize - half; dy++)
            for (int dx = -half; dx < ksize - half; dx++) {
                const double k = kernel[(dy + half) * ksize + dx + half];
                if (!std::isfinite(k) || std::fabs(255.0 * k) >= 2147483647.0) return false;
                if (k == 0) continue;
                Tap tap;
                tap.column = dx + half;
                tap.row = dy;
                tap.whole = k == std::floor(k);
                tap.factor = tap.whole ? int(k) : 0;
                for (int v = 0; v < 256; v++)
                    tap.table[v] = int(v * k);
                m_min += std::min(0, tap.table[255]);
                m_max += std::max(0, tap.table[255]);
                taps.push_back(tap);
            }
        if (m_min < INT32_MIN || m_max > INT32_MAX) return false;
        // Whole taps of one weight next to each other, the table taps after them.
        std::stable_sort(taps.begin(), taps.end(), [](const Tap& a, const Tap& b) {
            if (a.whole != b.whole) return a.whole;
            return a.whole && a.factor < b.factor;
        });
        m_taps = taps;
        for (size_t t = 0; t < m_taps.size(); t++) {
            if (!m_taps[t].whole) continue;
            if (!m_groups.empty() && m_groups.back().factor == m_taps[t].factor && m_groups.back().count < 256)
                m_groups.back().count++;
            else
                m_groups.push_back(Group{m_taps[t].factor, t, 1});
        }
        return true;
    }

    size_t Taps() const { return m_taps.size(); }
    const Tap& TapAt(size_t t) const { return m_taps[t]; }
    long long MinSum() const { return m_min; }
    long long MaxSum() const { return m_max; }
    bool Fits16() const { return m_min >= -32768 && m_max <= 32767; }

    // acc[i] = the kernel's sum for channel value i0 + i, i < n; rows[t] is tap t's source row.
    template <class Acc>
    void Sum(const BYTE* const* rows, size_t i0, size_t n, Acc* acc, uint16_t* scratch) const {
        std::fill(acc, acc + n, Acc(0));
        for (const Group& g : m_groups) {
            const BYTE* first = rows[g.first] + i0;
            if (g.count == 1) {
                AddGroup(acc, first, n, g);
                continue;
            }
            SumBytes(scratch, first, rows[g.first + 1] + i0, n);
            for (size_t t = g.first + 2; t < g.first + g.count; t++)
                AddBytes(scratch, rows[t] + i0, n);
            AddGroup(acc, scratch, n, g);
        }
        for (size_t t = 0; t < m_taps.size(); t++)
            if (!m_taps[t].whole) AddTable(acc, rows[t] + i0, n, m_taps[t].table);
    }

private:
    struct Group {
        int factor;
        size_t first;
        size_t count;
    };

    // acc += factor * the group's sum; 32-bit sums whose group products fit 16 bits multiply in 16 bits.
    template <class Acc, class Src>
    static void AddGroup(Acc* acc, const Src* sum, size_t n, const Group& g) {
        if constexpr (sizeof(Acc) == 4) {
            if (std::abs(g.factor) * 255 * int(g.count) <= 32767) {
                AddScaledNarrow(acc, sum, n, g.factor);
                return;
            }
        }
        AddScaled(acc, sum, n, g.factor);
    }
    std::vector<Tap> m_taps;
    std::vector<Group> m_groups;
    long long m_min = 0;
    long long m_max = 0;
};

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

    template <class Acc>
    void Run(const Acc* sums, BYTE* out, size_t n) const {
        if (!m_small) {
            for (size_t i = 0; i < n; i++)
                out[i] = FinishSum(sums[i], m_divisor, m_offset);
            return;
        }
        const int offset = m_offset;
        if (m_divisor == 0) {
            for (size_t i = 0; i < n; i++)
                out[i] = ClampSmall(int32_t(sums[i]) + offset);
            return;
        }
        const float divisor = float(m_divisor);
        for (size_t i = 0; i < n; i++)
            out[i] = ClampSmall(int32_t(float(int32_t(sums[i])) / divisor) + offset);
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

// Luminance of conservative smoothing and edge tracking: 0.587 G + 0.299 R + 0.114 B, added in that order.
inline double Luma(int red, int green, int blue) {
    return 0.587 * green + 0.299 * red + 0.114 * blue;
}

// Sort key of the median: gray value first, then the colour itself, so equal grays keep one fixed order.
inline uint32_t MedianKey(const BYTE* bgr) {
    return (uint32_t(CLvImage::GrayValue(bgr[2], bgr[1], bgr[0])) << 24) | (uint32_t(bgr[2]) << 16) |
           (uint32_t(bgr[1]) << 8) | bgr[0];
}

} // namespace

// ---- general convolution ----------------------------------------------------------------------------------

bool CLvImage::Filter(const double* kernel, int Ksize, int Kfactor, int Koffset) {
    if (!pDib || !kernel || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return lvfx::Guarded([&] {
        const int half = Ksize / 2;
        KernelSum sum;
        if (!sum.Prepare(kernel, Ksize, half)) return false;
        const Finisher finish(sum.MinSum(), sum.MaxSum(), Kfactor, Koffset);
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const CLvRowReader reader(*this);
        const size_t n = size_t(box.Width()) * 3;
        const bool narrow = sum.Fits16();
        return LvWindowPass(*this, reader, box, -half, Ksize - half - 1, -half, Ksize - half - 1, [&] {
            return [&, wide = std::vector<int32_t>(kChunk), lanes16 = std::vector<int16_t>(kChunk),
                    scratch = std::vector<uint16_t>(kChunk),
                    rows = std::vector<const BYTE*>(sum.Taps())](int y, CLvRowWindow& window, BYTE* out) mutable {
                for (size_t t = 0; t < sum.Taps(); t++)
                    rows[t] = window.Get(y + sum.TapAt(t).row) + size_t(sum.TapAt(t).column) * 3;
                for (size_t i0 = 0; i0 < n; i0 += kChunk) {
                    const size_t len = std::min(kChunk, n - i0);
                    if (narrow) {
                        sum.Sum(rows.data(), i0, len, lanes16.data(), scratch.data());
                        finish.Run(lanes16.data(), out + i0, len);
                    } else {
                        sum.Sum(rows.data(), i0, len, wide.data(), scratch.data());
                        finish.Run(wide.data(), out + i0, len);
                    }
                }
            };
        });
    });
}

// ---- two-kernel gradient ------------------------------------------------------------------------------------

namespace {

// sqrt(a^2 + b^2) of two 16-bit sums, clamped to 255: at most 2 * 32768^2 fits 32 bits, and the square root
// of a number below 65536 is exact enough in single precision to truncate to the whole-number root.
template <class Acc>
void PlainMagnitude(const Acc* a, const Acc* b, BYTE* out, size_t n) {
    for (size_t i = 0; i < n; i++) {
        const int32_t m = int32_t(a[i]) * a[i] + int32_t(b[i]) * b[i];
        out[i] = BYTE(std::min(int32_t(std::sqrt(float(std::min(m, 65536)))), 255));
    }
}

} // namespace

bool CLvImage::EdgeFilter(const double* kernelA, const double* kernelB, int Ksize, int Kfactor, int Koffset) {
    if (!pDib || !kernelA || !kernelB || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return lvfx::Guarded([&] {
        const int half = (Ksize - 1) / 2;
        KernelSum sumA, sumB;
        if (!sumA.Prepare(kernelA, Ksize, half) || !sumB.Prepare(kernelB, Ksize, half)) return false;
        // A plain gradient (no divisor, no offset) of sums that fit 16 bits takes the short way.
        const bool plain = Kfactor == 0 && Koffset == 0 && sumA.Fits16() && sumB.Fits16();
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        // Neighbours at or past the scan's right and top bounds (or below 0) count as white.
        const CLvRowReader reader(*this, box.right, box.top, RGBQUAD{255, 255, 255, 0});
        const size_t n = size_t(box.Width()) * 3;
        return LvWindowPass(*this, reader, box, -half, Ksize - half - 1, -half, Ksize - half - 1, [&] {
            return [&, a = std::vector<int32_t>(kChunk), b = std::vector<int32_t>(kChunk),
                    a16 = std::vector<int16_t>(kChunk), b16 = std::vector<int16_t>(kChunk),
                    scratch = std::vector<uint16_t>(kChunk), rowsA = std::vector<const BYTE*>(sumA.Taps()),
                    rowsB = std::vector<const BYTE*>(sumB.Taps())](int y, CLvRowWindow& window, BYTE* out) mutable {
                for (size_t t = 0; t < sumA.Taps(); t++)
                    rowsA[t] = window.Get(y + sumA.TapAt(t).row) + size_t(sumA.TapAt(t).column) * 3;
                for (size_t t = 0; t < sumB.Taps(); t++)
                    rowsB[t] = window.Get(y + sumB.TapAt(t).row) + size_t(sumB.TapAt(t).column) * 3;
                for (size_t i0 = 0; i0 < n; i0 += kChunk) {
                    const size_t len = std::min(kChunk, n - i0);
                    if (plain) {
                        sumA.Sum(rowsA.data(), i0, len, a16.data(), scratch.data());
                        sumB.Sum(rowsB.data(), i0, len, b16.data(), scratch.data());
                        PlainMagnitude(a16.data(), b16.data(), out + i0, len);
                        continue;
                    }
                    sumA.Sum(rowsA.data(), i0, len, a.data(), scratch.data());
                    sumB.Sum(rowsB.data(), i0, len, b.data(), scratch.data());
                    for (size_t i = 0; i < len; i++) {
                        const long long m = (long long)a[i] * a[i] + (long long)b[i] * b[i];
                        out[i0 + i] = FinishSum((long long)std::sqrt(double(m)), Kfactor, Koffset);
                    }
                }
            };
        });
    });
}

// ---- rank filters ---------------------------------------------------------------------------------------------

namespace {

// Median keys as signed numbers in the same order (the top bit flipped), which the vector units compare.
void MedianKeys(const BYTE* bgr, int32_t* keys, size_t n) {
    for (size_t c = 0; c < n; c++, bgr += 3)
        keys[c] = int32_t(MedianKey(bgr) ^ 0x80000000u);
}

inline int32_t Min3(int32_t a, int32_t b, int32_t c) {
    return std::min(std::min(a, b), c);
}
inline int32_t Max3(int32_t a, int32_t b, int32_t c) {
    return std::max(std::max(a, b), c);
}
inline int32_t Med3(int32_t a, int32_t b, int32_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Each column of three keys sorted: its least, middle and greatest key.
void SortColumns(const int32_t* k0, const int32_t* k1, const int32_t* k2, int32_t* low, int32_t* mid, int32_t* high,
                 size_t n) {
    for (size_t c = 0; c < n; c++) {
        low[c] = Min3(k0[c], k1[c], k2[c]);
        mid[c] = Med3(k0[c], k1[c], k2[c]);
        high[c] = Max3(k0[c], k1[c], k2[c]);
    }
}

// The median of the 3 x 3 block at columns x .. x + 2 is the middle of: the greatest of the three column
// minimums, the middle of the three column middles and the least of the three column maximums.
void MedianOfColumns(const int32_t* low, const int32_t* mid, const int32_t* high, int32_t* median, size_t n) {
    for (size_t x = 0; x < n; x++)
        median[x] = Med3(Max3(low[x], low[x + 1], low[x + 2]), Med3(mid[x], mid[x + 1], mid[x + 2]),
                         Min3(high[x], high[x + 1], high[x + 2]));
}

} // namespace

// The median is the element at position K * K / 2 of the window sorted by gray value; among equal grays the
// colours are ordered by their red, green and blue values, so the pick is always the same. A 3 x 3 window
// sorts its columns once for the three windows that share them.
bool CLvImage::Median(int Ksize) {
    if (!pDib || Ksize < 1 || Ksize > kMaxKernelSize) return false;
    return lvfx::Guarded([&] {
        const int half = Ksize / 2;
        const int low = -half, high = Ksize - half - 1;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const CLvRowReader reader(*this);
        const int n = box.Width();
        const size_t count = size_t(Ksize) * size_t(Ksize);
        const size_t stride = size_t(n + Ksize - 1);
        return LvWindowPass(*this, reader, box, low, high, low, high, [&] {
            return [&, keys = std::vector<int32_t>(stride * size_t(Ksize)), rowOf = std::vector<int>(size_t(Ksize)),
                    filled = std::vector<bool>(size_t(Ksize), false), columns = std::vector<int32_t>(stride * 3),
                    medians = std::vector<int32_t>(size_t(n)),
                    window = std::vector<int32_t>(count)](int y, CLvRowWindow& rows, BYTE* out) mutable {
                // The keys of each window row, worked out once as the window slides up.
                const int32_t* k[kMaxKernelSize];
                for (int r = 0; r < Ksize; r++) {
                    const int row = y + low + r;
                    const size_t slot = size_t(((row % Ksize) + Ksize) % Ksize);
                    int32_t* target = keys.data() + slot * stride;
                    if (!filled[slot] || rowOf[slot] != row) {
                        MedianKeys(rows.Get(row), target, stride);
                        rowOf[slot] = row;
                        filled[slot] = true;
                    }
                    k[r] = target;
                }
                if (Ksize == 3) {
                    int32_t* lows = columns.data();
                    int32_t* mids = lows + stride;
                    int32_t* highs = mids + stride;
                    SortColumns(k[0], k[1], k[2], lows, mids, highs, stride);
                    MedianOfColumns(lows, mids, highs, medians.data(), size_t(n));
                } else {
                    for (int x = 0; x < n; x++) {
                        for (int r = 0; r < Ksize; r++)
                            memcpy(&window[size_t(r) * size_t(Ksize)], k[r] + x, size_t(Ksize) * sizeof(int32_t));
                        std::nth_element(window.begin(), window.begin() + count / 2, window.end());
                        medians[size_t(x)] = window[count / 2];
                    }
                }
                for (int x = 0; x < n; x++) {
                    const uint32_t key = uint32_t(medians[size_t(x)]) ^ 0x80000000u;
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
    return lvfx::Guarded([&] {
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
    return lvfx::Guarded([&] {
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
    return lvfx::Guarded([&] {
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
