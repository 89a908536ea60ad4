#include "effects/LvEffectUtil.h"
#include "effects/LvRandom.h"
#include "effects/LvRowAccess.h"
#include "image/LvImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace {

const RGBQUAD kWhite = {255, 255, 255, 0};

// The colour a palette image stores for a written colour, as it reads back.
void StoredColor(const CLvImage& image, BYTE* bgr) {
    if (!image.GetPalette()) return;
    CLvImage& writable = const_cast<CLvImage&>(image);
    RGBQUAD c = {bgr[0], bgr[1], bgr[2], 0};
    RGBQUAD stored = image.GetPalette()[writable.GetNearestIndex(c)];
    bgr[0] = stored.rgbBlue;
    bgr[1] = stored.rgbGreen;
    bgr[2] = stored.rgbRed;
}

// The centre and half-axes of the lens mappings: the box's width and height made odd, the centre in the
// middle of that.
struct Lens {
    int cx, cy;
    double rx, ry;
    explicit Lens(const lvfx::ScanArea& box) {
        int w = box.Width(), h = box.Height();
        if (w % 2 == 0) w--;
        if (h % 2 == 0) h--;
        cx = box.left + w / 2;
        cy = box.bottom + h / 2;
        rx = cx - box.left;
        ry = cy - box.bottom;
    }
};

// The common loop of the lens mappings over the quarter box: offsets(i, j, si, sj) gives the source offsets of
// (i, j) and returns false to end the row there. A point whose source is itself is left alone; any other sets
// the four mirrored pixels of the copy from the image. Rows j are independent, so they run in bands.
template <class Offsets>
bool LensMap(CLvImage& image, Offsets offsets) {
    if (!image.IsValid()) return false;
    return lvfx::Guarded([&] {
        CLvImage copy(image);
        if (!copy.IsValid()) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(image);
        const Lens lens(box);
        const int rows = int(std::ceil(lens.ry));
        const int across = int(std::ceil(lens.rx));
        const bool palette = image.GetPalette() != nullptr;
        const CLvRowWriter writer(copy, false);
        if (rows > 0 && across > 0)
            LvForRows(image, rows, kLvRowsProgress | kLvRowsCancel, size_t(across) * 4, [&](int first, int last) {
                for (int j = first; j < last; j++)
                    for (int i = 0; i < across; i++) {
                        int si, sj;
                        if (!offsets(i, j, si, sj)) break;
                        if (si == i && sj == j) continue;
                        const int tx[4] = {lens.cx + i, lens.cx - i, lens.cx + i, lens.cx - i};
                        const int ty[4] = {lens.cy + j, lens.cy + j, lens.cy - j, lens.cy - j};
                        const int fx[4] = {lens.cx + si, lens.cx - si, lens.cx + si, lens.cx - si};
                        const int fy[4] = {lens.cy + sj, lens.cy + sj, lens.cy - sj, lens.cy - sj};
                        for (int k = 0; k < 4; k++) {
                            if (!copy.IsInside(tx[k], ty[k])) continue;
                            if (!palette && image.IsInside(fx[k], fy[k])) {
                                memcpy(lvfx::Row(copy, ty[k]) + size_t(tx[k]) * 3,
                                       lvfx::Row(image, fy[k]) + size_t(fx[k]) * 3, 3);
                                continue;
                            }
                            const RGBQUAD c = image.GetPixelColor(fx[k], fy[k]);
                            writer.Put(tx[k], ty[k], c.rgbBlue, c.rgbGreen, c.rgbRed);
                        }
                    }
            });
        lvfx::FinishInto(image, nullptr, copy);
        return true;
    });
}

// The new distance of Sphere and Cylinder for a point at distance r from the centre of a lens of radius R.
struct SphereCurve {
    int radius;
    double R;
    double a = 0;
    double scale = 0; // R / atan(2aR / (R^2 - a^2))
    SphereCurve(int radiusIn, double RIn) : radius(radiusIn), R(RIn) {
        if (radius != 0 && radius != 100) {
            a = radius * R * 0.01;
            scale = R / std::atan(2 * a * R / (R * R - a * a));
        }
    }
    double Map(double r) const {
        if (radius == 0) return r;
        if (radius == 100) return std::asin(r / R) * R * 0.6366197730950255;
        return std::asin(2 * a * r / (R * R + a * a)) * scale;
    }
};

} // namespace

// ---- windy ----------------------------------------------------------------------------------------------------

bool CLvImage::Windy(int strength, int direction, bool smooth) {
    if (!pDib) return false;
    // The run length is drawn as rand() % strength: without a strength there is nothing to draw from.
    if (strength < 0 || (!smooth && strength < 1)) return false;
    return lvfx::Guarded([&] {
        CLvImage copy(*this);
        if (!copy.IsValid()) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const int width = GetWidth();
        // Reads outside the picture give pixel (0, 0), which the first row may change: the reader is made again
        // then.
        std::unique_ptr<CLvRowReader> reader(new CLvRowReader(*this));
        const CLvRowWriter writer(copy);
        CLvRandomStream random;
        std::vector<BYTE> row, out(static_cast<size_t>(std::max(box.Width(), 1)) * 3);
        for (int y = box.bottom; y < box.top; y++) {
            info.nProgress = int(100LL * (y - box.bottom) / box.Height());
            if (info.nEscape) break;
            int L;
            if (smooth) {
                L = strength;
            } else {
                const int r = random.Next() % strength;
                L = r >= 1 ? random.Next() % strength : 1;
            }
            const int n = L + 1;
            const int p = direction == 1 ? box.left : box.right - 1;
            // The row from the edge position on, as far as the first window reaches.
            const int from = std::min(p, box.left);
            const int count = std::max(box.right, p + n) - from;
            row.resize(size_t(count) * 3);
            reader->Read(y, from, count, row.data());
            auto at = [&](int x) { return &row[size_t(x - from) * 3]; };
            BYTE edge[3];
            memcpy(edge, at(p), 3);
            long long sum[3] = {0, 0, 0};
            for (int x = p; x < p + n; x++)
                for (int k = 0; k < 3; k++)
                    sum[k] += at(x)[k];
            // The window's average replaces the edge pixel in the image itself: later reads in this row see
            // it (as the palette stores it, on a palette image).
            if (IsInside(p, y)) {
                for (int k = 0; k < 3; k++)
                    at(p)[k] = lvfx::ClampByte(int(sum[k] / n));
                StoredColor(*this, at(p));
                SetPixelColor(p, y, RGBQUAD{at(p)[0], at(p)[1], at(p)[2], 0});
                if (p == 0 && y == 0) reader.reset(new CLvRowReader(*this));
            }
            const BYTE* mask = pSelection ? pSelection + size_t(y) * size_t(width) : nullptr;
            for (int x = box.left; x < box.right; x++) {
                if (mask && !mask[x]) continue;
                const BYTE* c = at(x);
                const BYTE* incoming = x < box.right - L - 1 ? at(x + n) : edge;
                BYTE* o = &out[size_t(x - box.left) * 3];
                for (int k = 0; k < 3; k++) {
                    sum[k] += int(incoming[k]) - int(c[k]);
                    o[k] = lvfx::ClampByte(int(sum[k] / n));
                }
            }
            writer.Write(y, box.left, box.Width(), out.data());
        }
        lvfx::FinishInto(*this, nullptr, copy);
        return true;
    });
}

// ---- stripe ---------------------------------------------------------------------------------------------------

// Every shift reads the picture as the previous shift left it; shifting one column (or row) in place through
// a buffer of its old colours gives the same as shifting a fresh copy.
bool CLvImage::Stripe(int swing, int frequency, bool vertical) {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        CLvImage work(*this);
        if (!work.IsValid()) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        const int width = GetWidth(), height = GetHeight();
        // Along the waves' direction: positions 0 .. length - 1 of line t (a column when vertical).
        const int lineFrom = vertical ? box.left : box.bottom, lineTo = vertical ? box.right : box.top;
        const int posFrom = vertical ? box.bottom : box.left, posTo = vertical ? box.top : box.right;
        auto xy = [vertical](int line, int pos, int& x, int& y) {
            x = vertical ? line : pos;
            y = vertical ? pos : line;
        };
        std::vector<RGBQUAD> old(static_cast<size_t>(std::max(posTo - posFrom, 0)));
        const int posLimit = vertical ? height : width;
        // Moves the selected pixels of one line by delta along it (positive: up or right) and paints the
        // selected pixels of the uncovered positions white. The first shift whitens its first delta positions
        // wherever they lie; the later ones whiten only inside the box.
        auto shiftLine = [&](int line, long long delta) {
            if (delta == 0) return;
            for (int pos = posFrom; pos < posTo; pos++) {
                int x, y;
                xy(line, pos, x, y);
                old[size_t(pos - posFrom)] = work.GetPixelColor(x, y);
            }
            auto selected = [&](int pos) {
                int x, y;
                xy(line, pos, x, y);
                return work.SelectionIsInside(x, y);
            };
            auto put = [&](long long pos, RGBQUAD c) {
                if (pos < INT32_MIN || pos > INT32_MAX) return;
                int x, y;
                xy(line, int(pos), x, y);
                work.SetPixelColor(x, y, c);
            };
            if (delta > 0) {
                for (long long pos = posFrom; pos < posTo - delta; pos++)
                    if (selected(int(pos))) put(pos + delta, old[size_t(pos - posFrom)]);
                for (long long pos = posFrom; pos < posFrom + delta && pos < posLimit; pos++)
                    if (selected(int(pos))) put(pos, kWhite);
            } else {
                const long long d = -delta;
                for (long long pos = posFrom + d; pos < posTo; pos++)
                    if (selected(int(pos))) put(pos - d, old[size_t(pos - posFrom)]);
                for (long long pos = std::max<long long>(posTo - d, posFrom); pos < posTo; pos++)
                    if (selected(int(pos))) put(pos, kWhite);
            }
        };

        const long long A = (long long)(vertical ? height : width) * swing * 95 / 10000;
        // First the whole box moves by A (up, or right), over a white band.
        for (int line = lineFrom; line < lineTo; line++)
            shiftLine(line, A);
        const double step = frequency * 3.14159265 / (vertical ? width : height) * 0.1;
        double phase = 0;
        for (int line = lineFrom; line < lineTo; line++) {
            info.nProgress = int(100LL * (line - lineFrom) / (lineTo - lineFrom));
            if (info.nEscape) break;
            const long long d = (long long)((std::cos(phase) - 1) * -(A / 2));
            shiftLine(line, -d);
            phase += step;
        }
        lvfx::FinishInto(*this, nullptr, work);
        return true;
    });
}

// ---- lens mappings ----------------------------------------------------------------------------------------------

bool CLvImage::Cone(int radius) {
    radius = std::min(std::max(radius, 1), 100);
    const double k = (101 - radius) * 0.015707963250000002;
    const Lens lens(lvfx::GetScanArea(*this));
    return LensMap(*this, [&](int i, int j, int& si, int& sj) {
        const double d = std::hypot(i / lens.rx, j / lens.ry);
        if (d >= 1) return false;
        const double f = 1 / std::sin(d * (1.570796325 - k) + k);
        si = int(i * f);
        sj = int(j * f);
        return true;
    });
}

bool CLvImage::Project(int radius) {
    radius = std::min(std::max(radius, 1), 100);
    const double k = (101 - radius) * 0.015707963250000002;
    const Lens lens(lvfx::GetScanArea(*this));
    return LensMap(*this, [&](int i, int j, int& si, int& sj) {
        const double d = std::hypot(i / lens.rx, j / lens.ry);
        if (d >= 1) return false;
        const double f = std::sin(d * (1.570796325 - k) + k);
        si = int(i * f);
        sj = int(j * f);
        return true;
    });
}

// Whether hypot(x, y) >= 1. The sum of the squares decides where it is clearly away from 1; near 1 the
// rounding of the two ways could differ, and hypot decides.
static bool OnOrOutsideUnit(double x, double y) {
    const double s = x * x + y * y;
    if (s < 0.999999) return false;
    if (s > 1.000001) return true;
    return std::hypot(x, y) >= 1;
}

// At the exact centre the scale r' / r is 0 / 0: the offsets stay (0, 0) and nothing is written.
bool CLvImage::Sphere(int radius) {
    const Lens lens(lvfx::GetScanArea(*this));
    const double R = std::min(lens.rx, lens.ry);
    const SphereCurve curve(radius, R);
    return LensMap(*this, [&](int i, int j, int& si, int& sj) {
        if (OnOrOutsideUnit(i / R, j / R)) return false;
        const double r = std::hypot(double(i), double(j));
        if (r == 0) {
            si = sj = 0;
            return true;
        }
        const double f = curve.Map(r) / r;
        si = int(i * f);
        sj = int(j * f);
        return true;
    });
}

bool CLvImage::Cylinder(int radius) {
    const Lens lens(lvfx::GetScanArea(*this));
    const SphereCurve curve(radius, lens.rx);
    return LensMap(*this, [&](int i, int j, int& si, int& sj) {
        sj = j;
        if (i == 0) {
            si = 0;
            return true;
        }
        const double f = curve.Map(i) / i;
        si = int(f * i);
        return true;
    });
}

// ---- ellipse ------------------------------------------------------------------------------------------------------

bool CLvImage::Ellipse() {
    if (!pDib) return false;
    return lvfx::Guarded([&] {
        CLvImage copy(*this);
        if (!copy.IsValid()) return false;
        const lvfx::ScanArea box = lvfx::GetScanArea(*this);
        if (!box.Empty()) {
            const float hx = float(box.Width()) * 0.5f, hy = float(box.Height()) * 0.5f;
            const float k = float(box.Height()) / float(box.Width());
            const float centreX = float(box.left) + hx, centreY = float(box.bottom) + hy;
            const CLvRowWriter writer(copy, false);
            const CLvRowReader reader(*this);
            const int rows = box.Height();
            std::atomic<bool> failed{false};
            LvForRows(*this, rows, kLvRowsProgress | kLvRowsCancel, size_t(box.Width()), [&](int first, int last) {
                try {
                    std::vector<BYTE> out(static_cast<size_t>(box.Width()) * 3);
                    for (int y = box.bottom + first; y < box.bottom + last; y++) {
                        const float dy = float(y) - centreY;
                        for (int x = box.left; x < box.right; x++) {
                            const float dx = (float(x) - centreX) * k;
                            float s = 1;
                            if (dx != 0 || dy != 0)
                                s = std::sqrt(dx * dx + dy * dy) / std::max(std::fabs(dx), std::fabs(dy));
                            const int sx = int(centreX + s * dx / k);
                            const int sy = int(centreY + s * dy);
                            reader.Read(sy, sx, 1, &out[size_t(x - box.left) * 3]);
                        }
                        writer.Write(y, box.left, box.Width(), out.data());
                    }
                } catch (const std::exception&) {
                    failed = true;
                }
            });
            if (failed) return false;
        }
        lvfx::FinishInto(*this, nullptr, copy);
        return true;
    });
}
