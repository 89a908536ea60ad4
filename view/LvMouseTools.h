#pragma once

#include "image/LvWinTypes.h"
#include "view/LvViewGeometry.h"

#include <string>
#include <vector>

// The mouse tools' arithmetic, free of windows: the colour bar's read-out, the rubber band's box, the
// free-hand outline, drag-scrolling and zooming about the pointer.

// The texts of the colour bar's read-out fields for a colour at image column x and top-down row y.
struct LvReadout {
    std::string r, g, b, i, x, y;
};
LvReadout LvMakeReadout(RGBQUAD color, int x, int y);
// The intensity shown as I: the channels' mean, truncated.
int LvIntensity(RGBQUAD color);

// Whether image column x and top-down row y lie on a picture of the given size.
bool LvInsideImage(int x, int y, int width, int height);

// The box a rubber band spans between two image points (columns and top-down rows), whichever way it was
// dragged: left <= right, top <= bottom; empty when either side has no extent.
struct LvBox {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};
LvBox LvBandBox(LvPoint a, LvPoint b);

// The free-hand outline holds at most this many points while dragging; one more place is kept for the
// point that closes it.
const int kLvMaxFreehandPoints = 7998;
// Adds a dragged point: appended while the outline is below the limit, else it replaces the last point.
void LvAddFreehandPoint(std::vector<LvPoint>& outline, LvPoint p);
// The closed outline in the image's own (bottom-up) rows, the first point repeated at the end; empty when
// fewer than three points were dragged.
std::vector<LvPoint> LvFreehandPolygon(const std::vector<LvPoint>& outline, int imageHeight);

// Drag-scrolling with the Move tool along one axis: the scroll position that keeps the picture under the
// pointer, or 0 when the picture is narrower than the client.
int LvDragScroll(int startScroll, int pressAt, int nowAt, int scrollSize, int clientSize);

// Zooming about the pointer: the scroll position that puts the same picture point under the pointer after the
// drawn scale changed from oldScale (drawn at oldDraw) to newScale (drawn at newDraw), along one axis.
int LvScrollKeepingPoint(int scroll, int pointer, int oldDraw, float oldScale, int newDraw, float newScale);
