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

// ---- image operations ------------------------------------------------------------------------------------

int ReferenceLight(int value, int brightness, int contrast) {
    float c = (contrast + 100) * 0.01f;
    int v = int((value - 128) * c + brightness + 128);
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

int ReferenceGamma(int value, float gamma) {
    double g = 1.0 / gamma;
    double dMax = std::pow(255.0, g) * 0.00392156862745098;
    double v = std::pow(double(value), g) / dMax;
    return v >= 256 ? 255 : v < 0 ? 0 : int(v);
}

int ReferenceGrayStretch(int value, int x1, int y1, int x2, int y2) {
    BYTE table[256];
    for (int i = 0; i <= x1; i++)
        table[i] = BYTE(x1 > 0 ? (y1 & 255) * i / x1 : 0);
    for (int i = x1 + 1; i <= x2; i++)
        table[i] = BYTE(x2 != x1 ? (y2 - y1) * (i - x1) / (x2 - x1) + y1 : y1);
    for (int i = x2 + 1; i <= 255; i++)
        table[i] = BYTE(x2 != 255 ? (255 - y2) * (i - x2) / (255 - x2) + y2 : 255);
    return table[value];
}

void ReferenceCorrectHistogram(CLvImage& image) {
    long count[3][256] = {};
    int left = 0, bottom = 0, right = image.GetWidth(), top = image.GetHeight();
    if (image.pSelection) {
        left = image.info.rcSelection.left;
        right = image.info.rcSelection.right;
        bottom = image.info.rcSelection.bottom;
        top = image.info.rcSelection.top;
    }
    for (int y = bottom; y < top; y++)
        for (int x = left; x < right; x++)
            if (image.SelectionIsInside(x, y)) {
                RGBQUAD c = image.GetPixelColor(x, y);
                count[0][c.rgbRed]++;
                count[1][c.rgbGreen]++;
                count[2][c.rgbBlue]++;
            }
    double area = double(right - left) * double(top - bottom);
    double table[3][256];
    for (int c = 0; c < 3; c++) {
        double p[256], cum = 0;
        for (int i = 0; i < 256; i++)
            p[i] = count[c][i] / area;
        for (int i = 0; i < 256; i++) {
            cum += p[i];
            table[c][i] = cum * 256 + 0.5 - 1.0;
        }
    }
    ReferenceScan(image, [&](RGBQUAD c) {
        c.rgbRed = BYTE(int(table[0][c.rgbRed]));
        c.rgbGreen = BYTE(int(table[1][c.rgbGreen]));
        c.rgbBlue = BYTE(int(table[2][c.rgbBlue]));
        return c;
    });
}

namespace {

RGBQUAD Mix(const RGBQUAD* c, float w1, float w3, float wx0, float wx1) {
    // c: c1, c2, c3, c4; left = c1 * w1 + c3 * w3, right = c2 * w1 + c4 * w3, value = left * wx0 + right * wx1.
    auto one = [&](BYTE v1, BYTE v2, BYTE v3, BYTE v4) {
        float left = v1 * w1 + v3 * w3;
        float right = v2 * w1 + v4 * w3;
        return BYTE(int(left * wx0 + right * wx1));
    };
    return Quad(one(c[0].rgbRed, c[1].rgbRed, c[2].rgbRed, c[3].rgbRed),
                one(c[0].rgbGreen, c[1].rgbGreen, c[2].rgbGreen, c[3].rgbGreen),
                one(c[0].rgbBlue, c[1].rgbBlue, c[2].rgbBlue, c[3].rgbBlue));
}

float BSpline(float t) {
    return float(2.0 / 3.0 - 0.5 * double(t) * double(t) * (2.0 - std::fabs(double(t))));
}

void AreaAverage(const CLvImage& image, CLvImage& result, float xScale, float yScale) {
    const int w = image.GetWidth(), h = image.GetHeight(), nw = result.GetWidth(), nh = result.GetHeight();
    std::vector<long long> rowA(size_t(3 * nw + 6), 0), rowB(size_t(3 * nw + 6), 0);
    long long* accu = rowA.data();
    long long* carry = rowB.data();
    long long scale = (long long)(1000 * xScale * yScale);
    float fEndY = yScale - 1;
    int v = 0;
    BYTE* out = result.GetBits();
    for (int y = 0; y < h; y++) {
        const BYTE* p = image.GetBits() + size_t(y) * image.GetEffWidth();
        int i = 0, written = 0;
        float fEndX = xScale - 1;
        if (y < fEndY) {
            for (int x = 0; x < w; x++, p += 3) {
                if (x < fEndX) {
                    for (int c = 0; c < 3; c++)
                        accu[i + c] += 1000 * p[c];
                } else {
                    int wx = int((x - fEndX) * 1000);
                    for (int c = 0; c < 3; c++, i++) {
                        accu[i] += (1000 - wx) * p[c];
                        accu[i + 3] += wx * p[c];
                    }
                    fEndX += xScale;
                }
            }
        } else {
            int wy = int((y - fEndY) * 1000);
            for (int x = 0; x < w; x++, p += 3) {
                if (x < fEndX) {
                    for (int c = 0; c < 3; c++) {
                        accu[i + c] += (1000 - wy) * p[c];
                        carry[i + c] += wy * p[c];
                    }
                } else {
                    int wx = int((x - fEndX) * 1000);
                    for (int c = 0; c < 3; c++, i++) {
                        accu[i] += (long long)(1000 - wy) * (1000 - wx) * p[c] / 1000;
                        out[i] = BYTE(accu[i] / scale);
                        carry[i] += (long long)wy * (1000 - wx) * p[c] / 1000;
                        accu[i + 3] += (long long)(1000 - wy) * wx * p[c] / 1000;
                        carry[i + 3] = (long long)wy * wx * p[c] / 1000;
                    }
                    fEndX += xScale;
                    written++;
                }
            }
            if (written < nw)
                for (int c = 0; c < 3; c++)
                    out[i + c] = BYTE(accu[i + c] / scale);
            std::swap(accu, carry);
            carry[0] = carry[1] = carry[2] = 0;
            v++;
            out = result.GetBits() + size_t(v) * result.GetEffWidth();
            fEndY += yScale;
        }
    }
    if (v < nh)
        for (int i = 0; i < 3 * nw; i++)
            out[i] = BYTE(accu[i] / scale);
}

} // namespace

CLvImage ReferenceResample(const CLvImage& image, int newWidth, int newHeight, int type) {
    const int w = image.GetWidth(), h = image.GetHeight();
    const float xScale = float(w) / float(newWidth), yScale = float(h) / float(newHeight);
    CLvImage result(newWidth, newHeight, image.GetBpp(), image.GetFormat());
    if (image.GetPalette()) result.SetPalette(image.GetPalette(), image.GetHeader().biClrUsed);
    result.Clear(0);
    if (type == 1 && image.GetBpp() == 24 && w > newWidth && h > newHeight) {
        AreaAverage(image, result, xScale, yScale);
    } else {
        for (int y = 0; y < newHeight; y++)
            for (int x = 0; x < newWidth; x++) {
                float fX = x * xScale, fY = y * yScale;
                int iX = int(fX), iY = int(fY);
                int iX1 = std::min(w - 1, iX + 1), iY1 = std::min(h - 1, iY + 1);
                float dx = fX - iX, dy = fY - iY;
                RGBQUAD c[4] = {image.GetPixelColor(iX, iY), image.GetPixelColor(iX1, iY), image.GetPixelColor(iX, iY1),
                                image.GetPixelColor(iX1, iY1)};
                RGBQUAD out;
                if (type == 0) {
                    out = c[0];
                } else if (type == 1) {
                    out = Mix(c, 1 - dy, dy, 1 - dx, dx);
                } else if (type == 2) {
                    out = Mix(c, BSpline(dy), BSpline(1 - dy), BSpline(dx), BSpline(1 - dx));
                } else {
                    float a = fY - std::floor(fY), b = fX - std::floor(fX);
                    int fy = int(std::floor(fY)), fx = int(std::floor(fX));
                    float red = 0, green = 0, blue = 0;
                    for (int m = -1; m <= 2; m++) {
                        float r1 = CLvImage::KernelBSpline(m - a);
                        int yy = std::max(0, std::min(h - 1, fy + m));
                        for (int n = -1; n <= 2; n++) {
                            float r2 = r1 * CLvImage::KernelBSpline(b - n);
                            int xx = std::max(0, std::min(w - 1, fx + n));
                            RGBQUAD s = image.GetPixelColor(xx, yy);
                            red += r2 * s.rgbRed;
                            green += r2 * s.rgbGreen;
                            blue += r2 * s.rgbBlue;
                        }
                    }
                    out = Quad(BYTE(int(red)), BYTE(int(green)), BYTE(int(blue)));
                }
                result.SetPixelColor(x, y, out);
            }
    }
    if (image.pAlpha) {
        result.AlphaCreate();
        for (int y = 0; y < newHeight; y++)
            for (int x = 0; x < newWidth; x++)
                result.AlphaSet(x, y, image.AlphaGet(int(x * xScale), int(y * yScale)));
    }
    if (image.pSelection) {
        result.SelectionCreate();
        for (int y = 0; y < newHeight; y++)
            for (int x = 0; x < newWidth; x++)
                if (image.SelectionIsInside(int(x * xScale), int(y * yScale))) result.SelectionAddPixel(x, y);
        result.info.rcSelection.left = LONG(image.info.rcSelection.left * (1 / xScale));
        result.info.rcSelection.right = LONG(image.info.rcSelection.right * (1 / xScale));
        result.info.rcSelection.top = LONG(image.info.rcSelection.top * (1 / yScale));
        result.info.rcSelection.bottom = LONG(image.info.rcSelection.bottom * (1 / yScale));
    }
    return result;
}

CLvImage ReferenceRotate(const CLvImage& image, float angle) {
    const int w = image.GetWidth(), h = image.GetHeight();
    double theta = -angle * std::acos(0.0) * 0.011111111111111112; // the division by 90, as a product
    double cosA = std::cos(theta), sinA = std::sin(theta);
    int xs[4] = {0, int(w * cosA), int(-h * sinA), int((w - 1) * cosA - h * sinA)};
    int ys[4] = {0, int(w * sinA), int(h * cosA), int((w - 1) * sinA + h * cosA)};
    int left = *std::min_element(xs, xs + 4), right = *std::max_element(xs, xs + 4);
    int top = *std::min_element(ys, ys + 4), bottom = *std::max_element(ys, ys + 4);
    CLvImage result(right - left, bottom - top, image.GetBpp(), image.GetFormat());
    if (image.GetPalette()) result.SetPalette(image.GetPalette(), 256);
    if (image.pAlpha) result.AlphaCreate();
    for (int y = top; y <= bottom; y++)
        for (int x = left; x <= right; x++) {
            int oldX = int(x * cosA + y * sinA - 0.5);
            int oldY = int(y * cosA - x * sinA - 0.5);
            if (image.GetPalette())
                result.SetPixelIndex(x - left, y - top, image.GetPixelIndex(oldX, oldY));
            else
                result.SetPixelColor(x - left, y - top, image.GetPixelColor(oldX, oldY));
            result.AlphaSet(x - left, y - top, image.AlphaGet(oldX, oldY));
        }
    return result;
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
