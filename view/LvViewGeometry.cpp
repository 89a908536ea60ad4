#include "view/LvViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

int LvZoomed(float zoom, int side) {
    return int(zoom * float(side));
}

LvLayout LvComputeLayout(const LvViewInput& in) {
    LvLayout l;
    if (in.imageW <= 0 || in.imageH <= 0) return l;
    const int W = LvZoomed(in.zoom, in.imageW), H = LvZoomed(in.zoom, in.imageH);
    const float A = W > 0 ? float(H) / float(W) : float(in.imageH) / float(in.imageW);
    const int Cw = in.clientW, Ch = in.clientH;
    switch (in.fitMode) {
    case kLvFitImage:
        if (Cw > 0 && float(Ch) / float(Cw) < A) {
            l.drawH = Ch;
            l.drawW = int(float(Ch) / A);
            l.fitFactor = float(Ch) / float(in.imageH);
        } else {
            l.drawW = Cw;
            l.drawH = int(float(Cw) * A);
            l.fitFactor = float(Cw) / float(in.imageW);
        }
        break;
    case kLvFitWidth:
        l.drawW = Cw;
        l.drawH = int(A * float(Cw));
        l.fitFactor = float(Cw) / float(in.imageW);
        break;
    case kLvFitHeight:
        l.drawH = Ch;
        l.drawW = int(float(Ch) / A);
        l.fitFactor = float(Ch) / float(in.imageH);
        break;
    case kLvFitScreen:
        l.drawW = Cw;
        l.drawH = Ch;
        l.fitFactor = 0.0f;
        break;
    default: // Fit Size
        l.drawW = W;
        l.drawH = H;
        l.fitFactor = 1.0f;
        break;
    }
    l.drawX = Cw - l.drawW >= 0 ? (Cw - l.drawW) / 2 : 0;
    l.drawY = Ch - l.drawH >= 0 ? (Ch - l.drawH) / 2 : 0;
    l.scrollW = l.drawW;
    l.scrollH = l.drawH;
    if (in.fullScreen && in.fitMode == kLvFitSize) {
        if (l.drawW == in.screenW) l.scrollW = 0;
        if (l.drawH == in.screenH) l.scrollH = 0;
    }
    return l;
}

float LvDrawScale(int fitMode, float zoom, float fitFactor) {
    return fitMode == kLvFitSize ? zoom : fitFactor;
}

LvPoint LvWindowToImage(const LvViewInput& in, const LvLayout& layout, int px, int py, int sx, int sy) {
    LvPoint p;
    const float dx = float(px - layout.drawX + sx), dy = float(py - layout.drawY + sy);
    const float scale = LvDrawScale(in.fitMode, in.zoom, layout.fitFactor);
    if (scale != 0.0f) {
        p.x = int(dx / scale);
        p.y = int(dy / scale);
    } else if (in.imageW > 0 && in.imageH > 0 && in.clientW > 0 && in.clientH > 0) {
        p.x = int(dx / (float(in.clientW) / float(in.imageW)));
        p.y = int(dy / (float(in.clientH) / float(in.imageH)));
    }
    return p;
}

LvPoint LvImageToWindow(const LvViewInput& in, const LvLayout& layout, int x, int y, int sx, int sy) {
    LvPoint p;
    const float scale = LvDrawScale(in.fitMode, in.zoom, layout.fitFactor);
    if (scale != 0.0f) {
        p.x = int(float(x) * scale - float(sx) + float(layout.drawX));
        p.y = int(float(y) * scale - float(sy) + float(layout.drawY));
    } else if (in.imageW > 0 && in.imageH > 0) {
        p.x = int(float(in.clientW) / float(in.imageW) * float(x) - float(sx) + float(layout.drawX));
        p.y = int(float(in.clientH) / float(in.imageH) * float(y) - float(sy) + float(layout.drawY));
    }
    return p;
}

float LvZoomIn(float zoom) {
    return zoom < kLvZoomMax ? zoom * 1.2f : zoom;
}

float LvZoomOut(float zoom) {
    return zoom > 0.0625f ? zoom * 0.8333333f : zoom;
}

bool LvCanZoomIn(int fitMode, float zoom) {
    return fitMode == kLvFitSize && zoom < kLvZoomMax;
}

bool LvCanZoomOut(int fitMode, float zoom) {
    return fitMode == kLvFitSize && zoom > 0.125f;
}

bool LvCanNormalView(int fitMode, float zoom) {
    return fitMode != kLvFitScreen && zoom != 1.0f;
}

void LvChildClientSize(int zoomedW, int zoomedH, int roomW, int roomH, int& clientW, int& clientH) {
    clientW = (zoomedW < roomW ? zoomedW : roomW) + 4;
    clientH = (zoomedH < roomH ? zoomedH : roomH) + 4;
}

namespace {

void Push(std::vector<LvPoint>& v, int x, int y) {
    LvPoint p;
    p.x = x;
    p.y = y;
    v.push_back(p);
}

} // namespace

std::vector<LvPoint> LvRectOutline(int left, int top, int right, int bottom, int capacity) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    // The four edges as runs from a start point in a direction; a huge border is walked with a stride
    // instead of point by point.
    const long long w = (long long)right - left + 1, h = (long long)bottom - top + 1;
    struct Run {
        long long x, y, dx, dy, n;
    } runs[4] = {{left, top, 1, 0, w}, {right, top, 0, 1, h}, {right, bottom, -1, 0, w}, {left, bottom, 0, -1, h}};
    const long long perimeter = 2 * w + 2 * h;
    const long long stride = capacity > 0 ? std::max(1LL, (perimeter + capacity - 1) / capacity) : perimeter + 1;
    std::vector<LvPoint> points;
    for (long long k = 0; k < perimeter; k += stride) {
        long long i = k;
        int r = 0;
        while (i >= runs[r].n)
            i -= runs[r++].n;
        Push(points, int(runs[r].x + runs[r].dx * i), int(runs[r].y + runs[r].dy * i));
    }
    return points;
}

std::vector<LvPoint> LvEllipseOutline(int left, int top, int right, int bottom, int capacity) {
    const int a = std::abs(right - left) / 2, b = std::abs(bottom - top) / 2;
    if (a == 0 || b == 0) return {};
    const int cx = (left + right) / 2, cy = (top + bottom) / 2;
    const long long total = 4LL * a; // 2a columns of the upper half, 2a of the lower one
    const long long stride = capacity > 0 ? std::max(1LL, (total + capacity - 1) / capacity) : total + 1;
    auto height = [&](long long x) {
        double t = double(x - cx) / double(a);
        double r = 1.0 - t * t;
        return double(b) * std::sqrt(r > 0 ? r : 0.0);
    };
    std::vector<LvPoint> points;
    for (long long k = 0; k < total; k += stride) {
        if (k < 2LL * a) {
            long long x = (long long)cx - a + k;
            Push(points, int(x), int(double(cy) - height(x)));
        } else {
            long long x = (long long)cx + a - (k - 2LL * a);
            Push(points, int(x), int(double(cy) + height(x)));
        }
    }
    return points;
}
