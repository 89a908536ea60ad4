#include "effects/LvEffectUtil.h"
#include "effects/LvRowAccess.h"
#include "image/LvImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace {

// Luminance of the local mean and min/max thresholds: trunc(0.587 G + 0.299 R + 0.114 B), added in that
// order in double precision.
inline int LocalLuma(const BYTE* bgr) {
    return int(0.587 * bgr[1] + 0.299 * bgr[2] + 0.114 * bgr[0]);
}

// The 256-bin histogram of gray values over the selection (the whole picture without one).
void GrayHistogram(CLvImage& image, long long histogram[256]) {
    int32_t counts[256];
    image.Histogram(nullptr, nullptr, nullptr, counts, 0);
    for (int i = 0; i < 256; i++)
        histogram[i] = counts[i];
}

// A 1-bit black-and-white image of the image's size, black everywhere; the resolution is kept.
bool MakeBlackAndWhite(const CLvImage& image, CLvImage& result, DWORD format) {
    result.SetXDPI(image.GetXDPI());
    result.SetYDPI(image.GetYDPI());
    if (!result.Create(image.GetWidth(), image.GetHeight(), 1, format)) return false;
    result.SetPaletteColor(0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255);
    return true;
}

// The shape of the three local thresholds: a row of luminances (and of the statistic their window
// gives) for every row of the scan box, and the bits set where the pixel passes.
template <class MakeRow>
bool LocalThreshold(CLvImage& image, int K, MakeRow makeRow) {
    if (!image.IsValid() || K < 1) return false;
    if (image.GetBpp() == 1) return true;
    return lvfx::Guarded([&] {
        CLvImage result;
        if (!MakeBlackAndWhite(image, result, LVFMT_UNKNOWN)) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(image);
        std::atomic<bool> failed{false};
        if (!box.Empty())
            LvForRows(image, box.Height(), kLvRowsProgress | kLvRowsCancel, size_t(box.Width()) * size_t(K),
                      [&](int first, int last) {
                          try {
                              auto row = makeRow();
                              std::vector<BYTE> pass(static_cast<size_t>(box.Width()));
                              for (int y = box.bottom + first; y < box.bottom + last; y++) {
                                  row(y, pass.data());
                                  BYTE* out = lvfx::Row(result, y);
                                  const BYTE* mask = lvfx::SelectionRow(image, y, 0);
                                  for (int x = box.left; x < box.right; x++)
                                      if (pass[size_t(x - box.left)] && (!mask || mask[x])) LvSetBit(out, x);
                              }
                          } catch (const std::exception&) {
                              failed = true;
                          }
                      });
        if (failed) return false;
        lvfx::FinishInto(image, nullptr, result);
        return true;
    });
}

// Luminance rows of the local thresholds, for columns box.left - half .. box.right - 1 + (K - half - 1):
// positions outside the picture take the luminance of the colour read there.
class LumaRows {
public:
    LumaRows(const CLvImage& image, const lvfx::ScanArea& box, int low, int high, bool integerGray)
        : m_reader(image), m_x0(box.left + low), m_count(box.Width() + high - low), m_gray(integerGray),
          m_bgr(size_t(m_count) * 3) {}

    int Count() const { return m_count; }

    void Read(int y, int* out) {
        m_reader.Read(y, m_x0, m_count, m_bgr.data());
        const BYTE* p = m_bgr.data();
        for (int i = 0; i < m_count; i++, p += 3)
            out[i] = m_gray ? CLvImage::GrayValue(p[2], p[1], p[0]) : LocalLuma(p);
    }

private:
    CLvRowReader m_reader;
    int m_x0;
    int m_count;
    bool m_gray;
    std::vector<BYTE> m_bgr;
};

} // namespace

// ---- global thresholds ------------------------------------------------------------------------------------

// The gray conversion and the threshold in one pass: the gray image is only an intermediate step (the
// threshold's own image is what the image takes over), so it is never built.
bool CLvImage::Threshold(BYTE level) {
    if (!pDib) return false;
    if (GetBpp() == 1) return true;
    return lvfx::Guarded([&] {
        CLvImage result;
        if (!MakeBlackAndWhite(*this, result, info.dwFormat)) return false;
        const CLvGrayRows grays(*this);
        const int width = GetWidth();
        std::atomic<bool> failed{false};
        LvForRows(*this, GetHeight(), kLvRowsProgress | kLvRowsCancel, size_t(width), [&](int first, int last) {
            try {
                std::vector<BYTE> gray(static_cast<size_t>(width));
                for (int y = first; y < last; y++) {
                    grays.Read(y, gray.data());
                    LvPackBits(lvfx::Row(result, y), width, [&](int x) { return gray[size_t(x)] > level; });
                }
            } catch (const std::exception&) {
                failed = true;
            }
        });
        if (failed) return false;
        lvfx::FinishInto(*this, nullptr, result);
        return true;
    });
}

float CLvImage::MeanGray() {
    if (!pDib) return 0;
    const lvfx::ScanArea box = lvfx::GetScanArea(*this);
    if (box.Empty()) return 0;
    const CLvGrayRows grays(*this);
    std::vector<BYTE> row(static_cast<size_t>(GetWidth()));
    long long sum = 0;
    for (int y = box.bottom; y < box.top; y++) {
        info.nProgress = int(100LL * y / box.top);
        grays.Read(y, row.data());
        for (int x = box.left; x < box.right; x++)
            sum += row[size_t(x)];
    }
    float mean = float(sum);
    mean /= float(box.Width());
    mean /= float(box.Height());
    return mean;
}

bool CLvImage::IterationThreshold() {
    if (!pDib) return false;
    if (GetBpp() == 1) return true;
    return lvfx::Guarded([&] {
        long long h[256];
        GrayHistogram(*this, h);
        BYTE T = BYTE(int(MeanGray()));
        const bool cancelled = info.nEscape != 0;
        // The search can swing between two levels for ever; after 256 rounds it keeps the level it has.
        for (int round = 0; T != 0 && !cancelled && round < 256; round++) {
            long long c1 = 0, s1 = 0, c2 = 0, s2 = 0;
            for (int i = 0; i <= T; i++) {
                c1 += h[i];
                s1 += i * h[i];
            }
            for (int i = T + 1; i < 256; i++) {
                c2 += h[i];
                s2 += i * h[i];
            }
            BYTE next = 0;
            if (c1 != 0 && c2 != 0) next = BYTE(int((double(s2) / double(c2) + double(s1) / double(c1)) * 0.5));
            if (next == T) break;
            T = next;
        }
        return Threshold(T);
    });
}

bool CLvImage::OstuThreshold() {
    if (!pDib) return false;
    if (GetBpp() == 1) return true;
    return lvfx::Guarded([&] {
        long long h[256];
        GrayHistogram(*this, h);
        const bool cancelled = info.nEscape != 0;
        double best = 0;
        int bestT = 0;
        for (int t = 1; t <= 254; t++) {
            info.nProgress = 100 * t / 256;
            if (cancelled) break;
            long long c1 = 0, s1 = 0, c2 = 0, s2 = 0;
            for (int i = 0; i <= t; i++) {
                c1 += h[i];
                s1 += i * h[i];
            }
            for (int i = t + 1; i < 256; i++) {
                c2 += h[i];
                s2 += i * h[i];
            }
            const int m1 = c1 ? int(BYTE(s1 / c1)) : 0;
            const int m2 = c2 ? int(BYTE(s2 / c2)) : 0;
            long long d1 = 0, d2 = 0;
            for (int i = 0; i <= t; i++)
                d1 += (long long)(i - m1) * (i - m1);
            for (int i = t + 1; i < 256; i++)
                d2 += (long long)(i - m2) * (i - m2);
            const double spread1 = std::sqrt(double(d1 / t));
            const double spread2 = std::sqrt(double(d2 / (255 - t)));
            const double score = spread2 * double(c2) + double(c1) * spread1;
            if (t == 1 || score < best) {
                best = score;
                bestT = t;
            }
        }
        return Threshold(BYTE(bestT));
    });
}

// ---- local thresholds --------------------------------------------------------------------------------------

// The window sum slides: column sums over the K rows are kept for the band and moved up one row at a time,
// and the K x K sum moves along the row by one column sum in, one out.
bool CLvImage::LocalThresholdMean(int K, int C) {
    const lvfx::ScanArea box = lvfx::GetScanArea(*this);
    const int half = K / 2, low = -half, high = K - half - 1;
    const long long area = (long long)K * K;
    return LocalThreshold(*this, K, [&]() {
        return [&, rows = std::make_shared<LumaRows>(*this, box, low, high, false), started = false,
                luma = std::vector<int>(), columns = std::vector<long long>()](int y, BYTE* pass) mutable {
            const int count = rows->Count();
            if (!started) {
                luma.assign(size_t(count), 0);
                columns.assign(size_t(count), 0);
                for (int r = y + low; r <= y + high; r++) {
                    rows->Read(r, luma.data());
                    for (int i = 0; i < count; i++)
                        columns[size_t(i)] += luma[size_t(i)];
                }
                started = true;
            } else {
                rows->Read(y + low - 1, luma.data());
                for (int i = 0; i < count; i++)
                    columns[size_t(i)] -= luma[size_t(i)];
                rows->Read(y + high, luma.data());
                for (int i = 0; i < count; i++)
                    columns[size_t(i)] += luma[size_t(i)];
            }
            std::vector<int> own(static_cast<size_t>(count));
            rows->Read(y, own.data());
            long long sum = 0;
            for (int i = 0; i < K && i < count; i++)
                sum += columns[size_t(i)];
            const int n = box.Width();
            for (int x = 0; x < n; x++) {
                if (x > 0) sum += columns[size_t(x + K - 1)] - columns[size_t(x - 1)];
                const long long mean = sum / area;
                pass[x] = own[size_t(x - low)] > mean - C;
            }
        };
    });
}

bool CLvImage::LocalThresholdMinMax(int K, int C) {
    const lvfx::ScanArea box = lvfx::GetScanArea(*this);
    const int half = K / 2, low = -half, high = K - half - 1;
    return LocalThreshold(*this, K, [&]() {
        return [&, rows = std::make_shared<LumaRows>(*this, box, low, high, false), lows = std::vector<int>(),
                highs = std::vector<int>(), luma = std::vector<int>(),
                own = std::vector<int>()](int y, BYTE* pass) mutable {
            const int count = rows->Count();
            const int n = box.Width();
            lows.assign(size_t(n), 255);
            highs.assign(size_t(n), 0);
            luma.resize(size_t(count));
            // Each window row is reduced along x first; the reduced rows are then combined.
            for (int r = y + low; r <= y + high; r++) {
                rows->Read(r, luma.data());
                if (r == y) own = luma;
                for (int x = 0; x < n; x++) {
                    int lo = lows[size_t(x)], hi = highs[size_t(x)];
                    const int* w = luma.data() + x;
                    for (int t = 0; t < K; t++) {
                        lo = std::min(lo, w[t]);
                        hi = std::max(hi, w[t]);
                    }
                    lows[size_t(x)] = lo;
                    highs[size_t(x)] = hi;
                }
            }
            for (int x = 0; x < n; x++)
                pass[x] = own[size_t(x - low)] > ((highs[size_t(x)] + lows[size_t(x)]) >> 1) - C;
        };
    });
}

// The median's gray value is the (K * K / 2)-th smallest gray of the window (counted from 0), which a
// histogram of the window's grays gives without sorting: the histogram slides along the row one column at
// a time, and the position of the median moves with it.
bool CLvImage::LocalThresholdMedian(int K, int C) {
    const lvfx::ScanArea box = lvfx::GetScanArea(*this);
    const int half = K / 2, low = -half, high = K - half - 1;
    const long long rank = (long long)K * K / 2;
    return LocalThreshold(*this, K, [&]() {
        return [&, rows = std::make_shared<LumaRows>(*this, box, low, high, true),
                window = std::vector<std::vector<int>>()](int y, BYTE* pass) mutable {
            const int count = rows->Count();
            const int n = box.Width();
            window.resize(size_t(K));
            for (int r = 0; r < K; r++) {
                window[size_t(r)].resize(size_t(count));
                rows->Read(y + low + r, window[size_t(r)].data());
            }
            const std::vector<int>& own = window[size_t(-low)];
            long long hist[256] = {0};
            for (int c = 0; c < K; c++)
                for (int r = 0; r < K; r++)
                    hist[window[size_t(r)][size_t(c)]]++;
            int median = 0;
            long long below = 0; // pixels of the window darker than median
            auto settle = [&] {
                while (below > rank) {
                    median--;
                    below -= hist[median];
                }
                while (below + hist[median] <= rank) {
                    below += hist[median];
                    median++;
                }
            };
            settle();
            for (int x = 0; x < n; x++) {
                if (x > 0) {
                    for (int r = 0; r < K; r++) {
                        int out = window[size_t(r)][size_t(x - 1)];
                        int in = window[size_t(r)][size_t(x + K - 1)];
                        hist[out]--;
                        if (out < median) below--;
                        hist[in]++;
                        if (in < median) below++;
                    }
                    settle();
                }
                pass[x] = own[size_t(x - low)] > median - C;
            }
        };
    });
}
