#include "effects/LvEffectUtil.h"
#include "effects/LvRandom.h"
#include "effects/LvRowAccess.h"
#include "image/LvImage.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <vector>

namespace {

// The random offsets of noise and jitter: trunc((r / 32767 - 0.5) * scale) for every value r the random
// source can give, with 1 / 32767 the single-precision factor 3.0518509e-5.
std::vector<int> RandomOffsets(int scale) {
    std::vector<int> offsets(kLvRandMax + 1);
    for (int r = 0; r <= kLvRandMax; r++) {
        const float unit = float(r) * 3.0518509e-5f;
        offsets[size_t(r)] = int((double(unit) - 0.5) * scale);
    }
    return offsets;
}

const BYTE kOrdered4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

const BYTE kBayer8[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                            {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                            {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                            {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

} // namespace

// ---- mosaic -------------------------------------------------------------------------------------------------

// In place: a row of blocks reads only its own rows, and all of them before it writes any. Positions past
// the picture read the outside colour as it was before the first block changed.
bool CLvImage::Mosaic(int size) {
    if (!pDib || size < 2) return false;
    return lvfx::Guarded([&] {
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        if (box.Empty()) return true;
        const int width = GetWidth(), height = GetHeight();
        const int blocksAcross = int((box.Width() + (long long)size - 1) / size);
        const int blockRows = int((box.Height() + (long long)size - 1) / size);
        // A block may reach past the picture, where every position reads as the outside colour: the
        // picture's part is summed, the rest counted.
        const RGBQUAD outside = LvOutsideColor(*this);
        const BYTE outsideBgr[3] = {outside.rgbBlue, outside.rgbGreen, outside.rgbRed};
        const int readWidth = int(std::min<long long>((long long)blocksAcross * size, width - box.left));
        const CLvRowReader reader(*this);
        const CLvRowWriter writer(*this, false);
        const long long area = (long long)size * size;
        std::atomic<bool> failed{false};
        LvForRows(*this, blockRows, kLvRowsProgress | kLvRowsCancel, size_t(readWidth) * size_t(size),
                  [&](int first, int last) {
                      try {
                          std::vector<BYTE> row(static_cast<size_t>(readWidth) * 3);
                          std::vector<long long> sums(static_cast<size_t>(blocksAcross) * 3);
                          std::vector<BYTE> average(static_cast<size_t>(std::min(size, width)) * 3);
                          for (int i = first; i < last; i++) {
                              const int y0 = box.bottom + i * size;
                              const int rowsInside = int(std::min<long long>(size, height - y0));
                              std::fill(sums.begin(), sums.end(), 0);
                              for (int r = 0; r < rowsInside; r++) {
                                  reader.Read(y0 + r, box.left, readWidth, row.data());
                                  const BYTE* p = row.data();
                                  for (int j = 0, x = 0; j < blocksAcross; j++) {
                                      long long b = 0, g = 0, red = 0;
                                      for (const int end = int(std::min<long long>((long long)x + size, readWidth));
                                           x < end; x++, p += 3) {
                                          b += p[0];
                                          g += p[1];
                                          red += p[2];
                                      }
                                      sums[size_t(j) * 3] += b;
                                      sums[size_t(j) * 3 + 1] += g;
                                      sums[size_t(j) * 3 + 2] += red;
                                  }
                              }
                              for (int j = 0; j < blocksAcross; j++) {
                                  const long long x0 = box.left + (long long)j * size;
                                  if (!SelectionIsInside(int(x0), y0)) continue;
                                  const long long columnsInside = std::min<long long>(size, width - x0);
                                  const long long outsideCount = area - rowsInside * columnsInside;
                                  BYTE c[3];
                                  for (int k = 0; k < 3; k++)
                                      c[k] = BYTE(std::min<long long>(
                                          (sums[size_t(j) * 3 + k] + outsideCount * outsideBgr[k]) / area, 255));
                                  // The whole block takes the average, also where it leaves the selection.
                                  for (long long t = 0; t < columnsInside; t++)
                                      memcpy(&average[size_t(t) * 3], c, 3);
                                  for (int r = 0; r < rowsInside; r++)
                                      writer.Write(y0 + r, int(x0), int(columnsInside), average.data());
                              }
                          }
                      } catch (const std::exception&) {
                          failed = true;
                      }
                  });
        return !failed;
    });
}

// ---- noise and jitter -----------------------------------------------------------------------------------------

// In place, one pixel after the other: the random numbers are drawn in scan order, red, green and blue of
// each selected pixel in turn.
bool CLvImage::Noise(int level) {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        const std::vector<int> offsets = RandomOffsets(level);
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const int width = GetWidth();
        const CLvRowReader reader(*this);
        const CLvRowWriter writer(*this);
        std::vector<BYTE> row(static_cast<size_t>(std::max(box.Width(), 1)) * 3);
        CLvRandomStream random;
        for (int y = box.bottom; y < box.top; y++) {
            info.nProgress = int(100LL * y / box.top);
            reader.Read(y, box.left, box.Width(), row.data());
            const BYTE* mask = pSelection ? pSelection + size_t(y) * size_t(width) : nullptr;
            BYTE* p = row.data();
            for (int x = box.left; x < box.right; x++, p += 3) {
                if (mask && !mask[x]) continue;
                for (int channel = 2; channel >= 0; channel--)
                    p[channel] = lvfx::ClampByte(p[channel] + offsets[size_t(random.Next())]);
            }
            writer.Write(y, box.left, box.Width(), row.data());
        }
        return true;
    });
}

bool CLvImage::Jitter(int radius) {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        CLvImage copy(*this);
        if (!copy.IsValid()) return false;
        const std::vector<int> offsets = RandomOffsets(2 * radius);
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const int width = GetWidth(), height = GetHeight();
        const bool palette = GetPalette() != nullptr;
        CLvRandomStream random;
        for (int y = box.bottom; y < box.top; y++) {
            info.nProgress = int(100LL * y / height);
            if (info.nEscape) break;
            const BYTE* mask = pSelection ? pSelection + size_t(y) * size_t(width) : nullptr;
            BYTE* out = copy.GetBits() + size_t(y) * copy.GetEffWidth();
            for (int x = box.left; x < box.right; x++) {
                if (mask && !mask[x]) continue;
                int nx = x + offsets[size_t(random.Next())];
                int ny = y + offsets[size_t(random.Next())];
                if (!IsInside(nx, ny)) {
                    nx = x;
                    ny = y;
                }
                if (palette) {
                    LvSetPackedIndex(out, x, GetBpp(), GetPixelIndex(nx, ny));
                } else {
                    memcpy(out + size_t(x) * 3, GetBits() + size_t(ny) * GetEffWidth() + size_t(nx) * 3, 3);
                }
                if (pAlpha)
                    copy.pAlpha[size_t(y) * size_t(width) + size_t(x)] =
                        pAlpha[size_t(ny) * size_t(width) + size_t(nx)];
            }
        }
        lvfx::FinishInto(*this, nullptr, copy);
        return true;
    });
}

// ---- dither ---------------------------------------------------------------------------------------------------

// The gray picture is made row by row on the way (the gray image itself is only an intermediate step). The
// result keeps the image's information record, selection and alpha plane; a transparent index of the old
// palette names nothing in the black-and-white one and is dropped.
bool CLvImage::Dither(int method) {
    if (!pDib) return false;
    if (GetBpp() == 1) return true;
    if (method < 0 || method > 2) return false;
    return lvfx::Guarded([&] {
        const int width = GetWidth(), height = GetHeight();
        CLvImage result;
        result.CopyInfoIfEmpty(*this);
        if (!result.Create(width, height, 1, info.dwFormat)) return false;
        result.info.nTransIndex = -1;
        if (pSelection && !result.SelectionCopy(*this)) return false;
        if (pAlpha && !result.AlphaCopy(*this)) return false;
        result.SetPaletteColor(0, 0, 0, 0);
        result.SetPaletteColor(1, 255, 255, 255);
        const CLvGrayRows grays(*this);

        if (method == 0) {
            // Floyd-Steinberg: the error of each pixel goes to the gray values still to come, each addition
            // clamped on its own. The rows have a spare value at each end, where the shares that would fall
            // outside the picture go unread.
            std::vector<int> current(static_cast<size_t>(width) + 2), next(static_cast<size_t>(width) + 2);
            std::vector<BYTE> gray(static_cast<size_t>(width));
            auto load = [&](int y, std::vector<int>& target) {
                grays.Read(y, gray.data());
                for (int x = 0; x < width; x++)
                    target[size_t(x) + 1] = gray[size_t(x)];
            };
            auto add = [](int& v, int share) { v = std::min(std::max(v + share, 0), 255); };
            load(0, current);
            for (int y = 0; y < height; y++) {
                info.nProgress = int(100LL * y / height);
                if (info.nEscape) break;
                const bool more = y + 1 < height;
                if (more) load(y + 1, next);
                BYTE* out = lvfx::Row(result, y);
                int* c = current.data() + 1;
                int* d = next.data() + 1;
                BYTE bits = 0;
                for (int x = 0; x < width; x++) {
                    const int v = c[x];
                    const bool white = v > 128;
                    const int err = white ? v - 255 : v;
                    bits = BYTE(bits | (white ? 0x80 >> (x & 7) : 0));
                    if ((x & 7) == 7) {
                        out[x >> 3] = bits;
                        bits = 0;
                    }
                    add(c[x + 1], err * 7 / 16);
                    if (!more) continue;
                    add(d[x - 1], err * 3 / 16);
                    add(d[x], err * 5 / 16);
                    add(d[x + 1], err * 1 / 16);
                }
                if (width & 7) out[width >> 3] = bits;
                current.swap(next);
            }
        } else {
            std::atomic<bool> failed{false};
            LvForRows(*this, height, kLvRowsProgress | kLvRowsCancel, size_t(width), [&](int first, int last) {
                try {
                    std::vector<BYTE> gray(static_cast<size_t>(width)), bits(static_cast<size_t>(width));
                    for (int y = first; y < last; y++) {
                        grays.Read(y, gray.data());
                        // White where the matrix entry is below the gray's level: v * 16 / 255 for the ordered
                        // matrix (255 itself always white), v >> 2 for the Bayer matrix.
                        if (method == 1) {
                            const BYTE* m = kOrdered4[y & 3];
                            for (int x = 0; x < width; x++) {
                                const int v = gray[size_t(x)];
                                bits[size_t(x)] = v == 255 || m[x & 3] < v * 16 / 255;
                            }
                        } else {
                            const BYTE* m = kBayer8[y & 7];
                            for (int x = 0; x < width; x++)
                                bits[size_t(x)] = m[x & 7] < (gray[size_t(x)] >> 2);
                        }
                        LvPackBits(lvfx::Row(result, y), width, [&](int x) { return bits[size_t(x)]; });
                    }
                } catch (const std::exception&) {
                    failed = true;
                }
            });
            if (failed) return false;
        }
        lvfx::FinishInto(*this, nullptr, result);
        return true;
    });
}

// ---- effects made of other operations ---------------------------------------------------------------------------

bool CLvImage::PencilDrawing() {
    return Laplacian(4) && Negative();
}

bool CLvImage::Crayon() {
    return SobelEdge() && Negative();
}

bool CLvImage::OldPhoto() {
    return Noise(25) && Colorize(30, 100);
}
