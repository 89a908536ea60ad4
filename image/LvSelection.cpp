#include "image/LvImage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int ClampTo(long long v, int high) {
    return static_cast<int>(v < 0 ? 0 : v > high ? high : v);
}

} // namespace

bool CLvImage::SelectionCreate() {
    SelectionDelete();
    if (!pDib) return false;
    pSelection = static_cast<BYTE*>(calloc(size_t(GetWidth()) * size_t(GetHeight()), 1));
    return pSelection != nullptr;
}

void CLvImage::SelectionDelete() {
    free(pSelection);
    pSelection = nullptr;
    ResetSelectionBox();
}

bool CLvImage::SelectionClear() {
    if (!pSelection) return false;
    memset(pSelection, 0, size_t(GetWidth()) * size_t(GetHeight()));
    ResetSelectionBox();
    return true;
}

bool CLvImage::SelectionIsInside(int x, int y) const {
    if (!IsInside(x, y)) return false;
    if (!pSelection) return true;
    return pSelection[size_t(y) * size_t(GetWidth()) + size_t(x)] != 0;
}

// Widens the selection box by a rectangle given as inclusive minimum and exclusive maximum corners, each
// clamped to the picture.
void CLvImage::WidenSelectionBox(long long xmin, long long ymin, long long xmax, long long ymax) {
    RECT& box = info.rcSelection;
    box.top = std::max<LONG>(box.top, ClampTo(ymax, GetHeight()));
    box.left = std::min<LONG>(box.left, ClampTo(xmin, GetWidth()));
    box.right = std::max<LONG>(box.right, ClampTo(xmax, GetWidth()));
    box.bottom = std::min<LONG>(box.bottom, ClampTo(ymin, GetHeight()));
}

bool CLvImage::SelectionAddRect(int x1, int y1, int x2, int y2) {
    if (!pDib) return false;
    if (!pSelection && !SelectionCreate()) return false;
    int xmin = std::min(x1, x2), xmax = std::max(x1, x2);
    int ymin = std::min(y1, y2), ymax = std::max(y1, y2);
    WidenSelectionBox(xmin, ymin, xmax, ymax);
    const int width = GetWidth();
    int left = ClampTo(xmin, width), right = ClampTo(xmax, width);
    int bottom = ClampTo(ymin, GetHeight()), top = ClampTo(ymax, GetHeight());
    for (int y = bottom; y < top; y++)
        memset(pSelection + size_t(y) * size_t(width) + size_t(left), 255, size_t(right - left));
    return true;
}

bool CLvImage::SelectionAddEllipse(int x1, int y1, int x2, int y2) {
    if (!pDib) return false;
    long long rx = std::llabs(static_cast<long long>(x2) - x1) / 2;
    long long ry = std::llabs(static_cast<long long>(y1) - y2) / 2;
    if (rx == 0 || ry == 0) return false;
    if (!pSelection && !SelectionCreate()) return false;
    long long xc = (static_cast<long long>(x1) + x2) / 2;
    long long yc = (static_cast<long long>(y1) + y2) / 2;
    WidenSelectionBox(xc - rx, yc - ry, xc + rx, yc + ry);

    const int width = GetWidth();
    const int height = GetHeight();
    int xFrom = ClampTo(xc - rx, width), xTo = ClampTo(xc + rx, width);
    for (int x = xFrom; x < xTo; x++) {
        double t = double(x - xc) / double(rx);
        double half = double(ry) * std::sqrt(1.0 - t * t);
        // Lower half: rows from yc - ry up to yc - 1, selected above the curve.
        long long low = static_cast<long long>(double(yc) - half);
        for (int y = ClampTo(yc - ry, height); y < ClampTo(yc, height); y++)
            if (low < y) pSelection[size_t(y) * size_t(width) + size_t(x)] = 255;
        // Upper half: rows from yc up to yc + ry - 1, selected below the curve.
        long long high = static_cast<long long>(double(yc) + half);
        for (int y = ClampTo(yc, height); y < ClampTo(yc + ry, height); y++)
            if (y < high) pSelection[size_t(y) * size_t(width) + size_t(x)] = 255;
    }
    return true;
}

bool CLvImage::SelectionAddPolygon(const POINT* points, int count) {
    if (!pDib || !points || count < 3) return false;
    if (!pSelection && !SelectionCreate()) return false;
    const int width = GetWidth();
    const int height = GetHeight();

    // The box of the points, widened by one on each side and clamped to the picture (inclusive corners).
    long long minX = LLONG_MAX, minY = LLONG_MAX, maxX = LLONG_MIN, maxY = LLONG_MIN;
    for (int i = 0; i < count; i++) {
        if (points[i].x == -1) continue;
        minX = std::min<long long>(minX, points[i].x);
        maxX = std::max<long long>(maxX, points[i].x);
        minY = std::min<long long>(minY, points[i].y);
        maxY = std::max<long long>(maxY, points[i].y);
    }
    if (minX > maxX) return false; // separators only
    const int bx0 = ClampTo(minX - 1, width - 1), bx1 = ClampTo(maxX + 1, width - 1);
    const int by0 = ClampTo(minY - 1, height - 1), by1 = ClampTo(maxY + 1, height - 1);
    if (maxX + 1 < 0 || minX - 1 > width - 1 || maxY + 1 < 0 || minY - 1 > height - 1) return true; // all outside
    const int bw = bx1 - bx0 + 1, bh = by1 - by0 + 1;

    // Work plane over the box: 255 on the outline, 1 outside it, 0 inside.
    std::vector<BYTE> work(size_t(bw) * size_t(bh), 0);
    // Far-away points lose precision in single precision; a step that lands outside the box is dropped.
    auto mark = [&](long long x, long long y) {
        if (x >= bx0 && y >= by0 && x <= bx1 && y <= by1) work[size_t(y - by0) * size_t(bw) + size_t(x - bx0)] = 255;
    };
    // Each edge is stepped once along x and once along y, in single precision, so steep and flat edges
    // both come out without gaps. Only the steps inside the picture are taken.
    auto drawEdge = [&](const POINT& a, const POINT& b) {
        long long x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
        long long dx = x1 - x0, dy = y1 - y0;
        if (dx != 0) {
            long long from = std::max<long long>(std::min(x0, x1), 0),
                      to = std::min<long long>(std::max(x0, x1), width - 1);
            for (long long x = from; x <= to; x++)
                mark(x, static_cast<long long>(float(y0) + float(x - x0) * float(dy) / float(dx)));
        } else {
            mark(x0, y0);
        }
        if (dy != 0) {
            long long from = std::max<long long>(std::min(y0, y1), 0),
                      to = std::min<long long>(std::max(y0, y1), height - 1);
            for (long long y = from; y <= to; y++)
                mark(static_cast<long long>(float(x0) + float(y - y0) * float(dx) / float(dy)), y);
        }
    };
    int first = -1;
    for (int i = 0; i < count; i++) {
        if (points[i].x == -1) {
            first = -1;
            continue;
        }
        if (first < 0) first = i;
        bool closes = i + 1 >= count || points[i + 1].x == -1;
        drawEdge(points[i], closes ? points[first] : points[i + 1]);
    }

    // Flood the outside from the box border: a scan-line fill over 4-connected pixels that are 0.
    std::vector<std::pair<int, int>> seeds;
    for (int x = 0; x < bw; x++) {
        seeds.emplace_back(x, 0);
        seeds.emplace_back(x, bh - 1);
    }
    for (int y = 0; y < bh; y++) {
        seeds.emplace_back(0, y);
        seeds.emplace_back(bw - 1, y);
    }
    while (!seeds.empty()) {
        auto [sx, sy] = seeds.back();
        seeds.pop_back();
        BYTE* row = &work[size_t(sy) * size_t(bw)];
        if (row[sx] != 0) continue;
        int left = sx, right = sx;
        while (left > 0 && row[left - 1] == 0)
            left--;
        while (right + 1 < bw && row[right + 1] == 0)
            right++;
        memset(row + left, 1, size_t(right - left + 1));
        for (int ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= bh) continue;
            const BYTE* other = &work[size_t(ny) * size_t(bw)];
            for (int x = left; x <= right; x++)
                if (other[x] == 0 && (x == left || other[x - 1] != 0)) seeds.emplace_back(x, ny);
        }
    }

    for (int y = 0; y < bh; y++) {
        const BYTE* w = &work[size_t(y) * size_t(bw)];
        BYTE* mask = pSelection + size_t(y + by0) * size_t(width) + size_t(bx0);
        for (int x = 0; x < bw; x++)
            if (w[x] != 1) mask[x] = 255;
    }
    WidenSelectionBox(bx0, by0, bx1 + 1, by1 + 1);
    return true;
}

void CLvImage::SelectionAddPixel(int x, int y) {
    if (pSelection && IsInside(x, y)) pSelection[size_t(y) * size_t(GetWidth()) + size_t(x)] = 255;
}

bool CLvImage::SelectionInvert() {
    if (!pSelection) return false;
    size_t n = size_t(GetWidth()) * size_t(GetHeight());
    for (size_t i = 0; i < n; i++)
        pSelection[i] = static_cast<BYTE>(255 - pSelection[i]);
    info.rcSelection.left = 0;
    info.rcSelection.top = GetHeight();
    info.rcSelection.right = GetWidth();
    info.rcSelection.bottom = 0;
    return true;
}

bool CLvImage::SelectionCopy(const CLvImage& source) {
    // Both planes must have the same size: a shorter source would be read past its end.
    if (&source == this || !source.pSelection || source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight() ||
        !pDib)
        return false;
    size_t n = size_t(GetWidth()) * size_t(GetHeight());
    if (!pSelection) pSelection = static_cast<BYTE*>(malloc(n));
    if (!pSelection) return false;
    memcpy(pSelection, source.pSelection, n);
    info.rcSelection = source.info.rcSelection;
    return true;
}
