#include "view/LvMouseTools.h"

#include <algorithm>
#include <cmath>

int LvIntensity(RGBQUAD color) {
    return (int(color.rgbRed) + int(color.rgbGreen) + int(color.rgbBlue)) / 3;
}

LvReadout LvMakeReadout(RGBQUAD color, int x, int y) {
    LvReadout r;
    r.r = std::to_string(int(color.rgbRed));
    r.g = std::to_string(int(color.rgbGreen));
    r.b = std::to_string(int(color.rgbBlue));
    r.i = std::to_string(LvIntensity(color));
    r.x = std::to_string(x);
    r.y = std::to_string(y);
    return r;
}

bool LvInsideImage(int x, int y, int width, int height) {
    return x >= 0 && y >= 0 && x < width && y < height;
}

LvBox LvBandBox(LvPoint a, LvPoint b) {
    LvBox box;
    box.left = std::min(a.x, b.x);
    box.right = std::max(a.x, b.x);
    box.top = std::min(a.y, b.y);
    box.bottom = std::max(a.y, b.y);
    return box;
}

void LvAddFreehandPoint(std::vector<LvPoint>& outline, LvPoint p) {
    if (int(outline.size()) < kLvMaxFreehandPoints)
        outline.push_back(p);
    else
        outline.back() = p;
}

std::vector<LvPoint> LvFreehandPolygon(const std::vector<LvPoint>& outline, int imageHeight) {
    std::vector<LvPoint> polygon;
    if (outline.size() < 3) return polygon;
    polygon.reserve(outline.size() + 1);
    for (const LvPoint& p : outline)
        polygon.push_back({p.x, imageHeight - 1 - p.y});
    polygon.push_back(polygon.front());
    return polygon;
}

int LvDragScroll(int startScroll, int pressAt, int nowAt, int scrollSize, int clientSize) {
    if (scrollSize < clientSize) return 0;
    return startScroll + pressAt - nowAt;
}

int LvScrollKeepingPoint(int scroll, int pointer, int oldDraw, float oldScale, int newDraw, float newScale) {
    if (oldScale <= 0.0f || newScale <= 0.0f) return scroll;
    // The picture point under the pointer, in unscaled pixels, stays under it.
    const double at = double(pointer - oldDraw + scroll) / oldScale;
    return int(std::lround(at * newScale)) + newDraw - pointer;
}
