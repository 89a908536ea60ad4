#include "LvReference.h"
#include "LvTestUtil.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

CLvImage ReferenceDecrease(const CLvImage& original, int bits, bool diffusion, const RGBQUAD* palette) {
    CLvImage source(original);
    CLvImage result(source.GetWidth(), source.GetHeight(), bits);
    if (palette)
        result.SetPalette(palette, result.GetHeader().biClrUsed);
    else if (result.GetBpp() == 1) {
        result.SetPaletteColor(0, 0, 0, 0);
        result.SetPaletteColor(1, 255, 255, 255);
    } else
        result.SetStdPalette();
    const int w = source.GetWidth(), h = source.GetHeight();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD c = source.GetPixelColor(x, y);
            result.SetPixelColor(x, y, c);
            if (!diffusion) continue;
            RGBQUAD q = result.GetPixelColor(x, y);
            int e[3] = {c.rgbRed - q.rgbRed, c.rgbGreen - q.rgbGreen, c.rgbBlue - q.rgbBlue};
            const int dx[4] = {1, -1, 0, 1}, dy[4] = {0, 1, 1, 1}, weight[4] = {7, 2, 4, 1};
            for (int k = 0; k < 4; k++) {
                int nx = x + dx[k], ny = y + dy[k];
                if (!source.IsInside(nx, ny)) continue;
                RGBQUAD n = source.GetPixelColor(nx, ny);
                auto add = [](BYTE v, int share) { return BYTE(std::min(255, std::max(0, v + share))); };
                n.rgbRed = add(n.rgbRed, e[0] * weight[k] / 16);
                n.rgbGreen = add(n.rgbGreen, e[1] * weight[k] / 16);
                n.rgbBlue = add(n.rgbBlue, e[2] * weight[k] / 16);
                source.SetPixelColor(nx, ny, n);
            }
        }
    return result;
}

CLvImage PhotoLike(int w, int h, unsigned seed) {
    CLvImage image(w, h, 24);
    std::mt19937 random(seed);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int noise = int(random() % 21) - 10;
            int r = x * 255 / w + noise, g = y * 255 / h + noise, b = ((x / 7 + y / 5) % 2) * 120 + 60 + noise;
            image.SetPixelColor(x, y, Quad(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255)));
        }
    return image;
}

namespace {

struct ScanBox {
    int left, bottom, right, top;
};

ScanBox BoxOf(const CLvImage& image) {
    if (!image.pSelection) return {0, 0, image.GetWidth(), image.GetHeight()};
    const RECT& r = image.info.rcSelection;
    return {int(r.left), int(r.bottom), int(r.right), int(r.top)};
}

int Luma(RGBQUAD c) {
    return int(0.587 * c.rgbGreen + 0.299 * c.rgbRed + 0.114 * c.rgbBlue);
}

int Gray(RGBQUAD c) {
    return (117 * c.rgbBlue + 601 * c.rgbGreen + 306 * c.rgbRed) >> 10;
}

BYTE ClampByte(long long v) {
    return BYTE(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

CLvImage ReferenceFilter(const CLvImage& image, const double* kernel, int ksize, int factor, int offset) {
    CLvImage copy(image);
    const ScanBox box = BoxOf(image);
    const int half = ksize / 2;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            int r = 0, g = 0, b = 0;
            for (int dx = -half; dx < ksize - half; dx++)
                for (int dy = -half; dy < ksize - half; dy++) {
                    RGBQUAD c = image.GetPixelColor(x + dx, y + dy);
                    double k = kernel[(dy + half) * ksize + dx + half];
                    r += int(c.rgbRed * k);
                    g += int(c.rgbGreen * k);
                    b += int(c.rgbBlue * k);
                }
            if (factor) {
                r = r / factor + offset;
                g = g / factor + offset;
                b = b / factor + offset;
            } else {
                r += offset;
                g += offset;
                b += offset;
            }
            copy.SetPixelColor(x, y, Quad(ClampByte(r), ClampByte(g), ClampByte(b)));
        }
    return copy;
}

CLvImage ReferenceEdgeFilter(const CLvImage& image, const double* a, const double* b, int ksize, int factor,
                             int offset) {
    CLvImage copy(image);
    const ScanBox box = BoxOf(image);
    const int half = (ksize - 1) / 2;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            int sa[3] = {0, 0, 0}, sb[3] = {0, 0, 0};
            for (int dx = -half; dx < ksize - half; dx++)
                for (int dy = -half; dy < ksize - half; dy++) {
                    int nx = x + dx, ny = y + dy;
                    RGBQUAD c = Quad(255, 255, 255);
                    if (nx >= 0 && nx < box.right && ny >= 0 && ny < box.top) c = image.GetPixelColor(nx, ny);
                    int i = (dy + half) * ksize + dx + half;
                    int v[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
                    for (int k = 0; k < 3; k++) {
                        sa[k] += int(v[k] * a[i]);
                        sb[k] += int(v[k] * b[i]);
                    }
                }
            BYTE out[3];
            for (int k = 0; k < 3; k++) {
                int m = int(std::pow(double(sa[k] * sa[k] + sb[k] * sb[k]), 0.5));
                out[k] = ClampByte(factor ? m / factor + offset : m + offset);
            }
            copy.SetPixelColor(x, y, Quad(out[0], out[1], out[2]));
        }
    return copy;
}

CLvImage ReferenceMedian(const CLvImage& image, int ksize) {
    CLvImage copy(image);
    const ScanBox box = BoxOf(image);
    const int half = ksize / 2;
    std::vector<RGBQUAD> window;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            window.clear();
            for (int dx = -half; dx < ksize - half; dx++)
                for (int dy = -half; dy < ksize - half; dy++)
                    window.push_back(image.GetPixelColor(x + dx, y + dy));
            std::sort(window.begin(), window.end(), [](RGBQUAD p, RGBQUAD q) {
                int d = CLvImage::CompareLuminance(p, q);
                if (d != 0) return d < 0;
                if (p.rgbRed != q.rgbRed) return p.rgbRed < q.rgbRed;
                if (p.rgbGreen != q.rgbGreen) return p.rgbGreen < q.rgbGreen;
                return p.rgbBlue < q.rgbBlue;
            });
            RGBQUAD m = window[window.size() / 2];
            copy.SetPixelColor(x, y, Quad(m.rgbRed, m.rgbGreen, m.rgbBlue));
        }
    return copy;
}

CLvImage ReferenceConservative(const CLvImage& image, int ksize) {
    CLvImage copy(image);
    const ScanBox box = BoxOf(image);
    const int half = ksize / 2;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            int maxY = 0, minY = 255;
            RGBQUAD maxC = image.GetPixelColor(x, y), minC = maxC;
            for (int dx = -half; dx < ksize - half; dx++)
                for (int dy = -half; dy < ksize - half; dy++) {
                    if (dx == 0 && dy == 0) continue;
                    RGBQUAD c = image.GetPixelColor(x + dx, y + dy);
                    int v = Luma(c);
                    if (v >= maxY) {
                        maxY = v;
                        maxC = c;
                    }
                    if (v <= minY) {
                        minY = v;
                        minC = c;
                    }
                }
            RGBQUAD own = image.GetPixelColor(x, y);
            RGBQUAD pick = Luma(own) > maxY ? maxC : Luma(own) < minY ? minC : own;
            copy.SetPixelColor(x, y, Quad(pick.rgbRed, pick.rgbGreen, pick.rgbBlue));
        }
    return copy;
}

CLvImage ReferenceRank(const CLvImage& image, int ksize, bool minimum) {
    CLvImage copy(image);
    const ScanBox box = BoxOf(image);
    const int half = ksize / 2;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            int v[3];
            for (int k = 0; k < 3; k++)
                v[k] = minimum ? 255 : 0;
            for (int dx = -half; dx < ksize - half; dx++)
                for (int dy = -half; dy < ksize - half; dy++) {
                    RGBQUAD c = image.GetPixelColor(x + dx, y + dy);
                    int w[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
                    for (int k = 0; k < 3; k++)
                        v[k] = minimum ? std::min(v[k], w[k]) : std::max(v[k], w[k]);
                }
            copy.SetPixelColor(x, y, Quad(v[0], v[1], v[2]));
        }
    return copy;
}

CLvImage ReferenceLocalThreshold(const CLvImage& image, int method, int k, int c) {
    CLvImage result(image.GetWidth(), image.GetHeight(), 1);
    result.Clear(0);
    result.SetPaletteColor(0, 0, 0, 0);
    result.SetPaletteColor(1, 255, 255, 255);
    const ScanBox box = BoxOf(image);
    const int half = k / 2;
    std::vector<RGBQUAD> window;
    for (int y = box.bottom; y < box.top; y++)
        for (int x = box.left; x < box.right; x++) {
            if (!image.SelectionIsInside(x, y)) continue;
            long long sum = 0;
            int low = 255, high = 0;
            window.clear();
            for (int dx = -half; dx < k - half; dx++)
                for (int dy = -half; dy < k - half; dy++) {
                    RGBQUAD n = image.GetPixelColor(x + dx, y + dy);
                    int v = Luma(n) & 255;
                    sum += v;
                    low = std::min(low, v);
                    high = std::max(high, v);
                    window.push_back(n);
                }
            RGBQUAD own = image.GetPixelColor(x, y);
            bool white;
            if (method == 0) {
                white = Luma(own) > sum / (k * k) - c;
            } else if (method == 2) {
                white = Luma(own) > ((high + low) >> 1) - c;
            } else {
                std::stable_sort(window.begin(), window.end(),
                                 [](RGBQUAD p, RGBQUAD q) { return CLvImage::CompareLuminance(p, q) < 0; });
                white = Gray(own) > Gray(window[size_t(k * k / 2)]) - c;
            }
            result.SetPixelIndex(x, y, white ? 1 : 0);
        }
    return result;
}

void SelectSomething(CLvImage& image) {
    const int w = image.GetWidth(), h = image.GetHeight();
    image.SelectionAddEllipse(w / 5, h / 5, w * 3 / 4, h * 4 / 5);
    image.SelectionAddRect(1, h - 3, w / 3, h - 1);
}
