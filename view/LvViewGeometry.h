#pragma once

#include <vector>

// The view's arithmetic: where the picture goes for a fit mode and zoom, the mapping between client
// points and image pixels, the zoom steps and the selection outline.

enum LvFitMode { kLvFitImage = 0, kLvFitSize = 1, kLvFitWidth = 2, kLvFitHeight = 3, kLvFitScreen = 4 };

struct LvLayout {
    int drawX = 0, drawY = 0; // top left of the drawn picture in client pixels (scrolled coordinates)
    int drawW = 0, drawH = 0; // drawn size
    float fitFactor = 1.0f;   // scale of modes 0, 2, 3; 1 in mode 1; 0 in mode 4
    int scrollW = 0, scrollH = 0;
};

struct LvViewInput {
    int imageW = 0, imageH = 0;
    float zoom = 1.0f;
    int fitMode = kLvFitSize;
    int clientW = 0, clientH = 0;
    bool fullScreen = false;
    int screenW = 0, screenH = 0;
};

// The drawing's layout. An image without pixels gives an empty layout.
LvLayout LvComputeLayout(const LvViewInput& in);

struct LvPoint {
    int x = 0, y = 0;
};
// Client point (px, py) with scroll position (sx, sy) to image column and top-down row. The mapping follows
// the drawing: in Fit Size by the zoom, in modes 0, 2, 3 by the fit factor, in Fit Screen by each axis's
// own scale.
LvPoint LvWindowToImage(const LvViewInput& in, const LvLayout& layout, int px, int py, int sx, int sy);
LvPoint LvImageToWindow(const LvViewInput& in, const LvLayout& layout, int x, int y, int sx, int sy);
// The scale the picture is drawn at: the zoom in Fit Size, the fit factor otherwise (0 in Fit Screen).
float LvDrawScale(int fitMode, float zoom, float fitFactor);

// Zoom steps and their enable rules.
const float kLvZoomMax = 16.0f;
float LvZoomIn(float zoom);  // x 1.2 below 16, else unchanged
float LvZoomOut(float zoom); // x 0.8333333 above 0.0625, else unchanged
bool LvCanZoomIn(int fitMode, float zoom);
bool LvCanZoomOut(int fitMode, float zoom);
bool LvCanNormalView(int fitMode, float zoom);

// The zoomed size trunc(zoom x side), in single precision.
int LvZoomed(float zoom, int side);

// The client size a child window is given after a change: the zoomed picture plus 4, at most the room
// left to the MDI client's edges (less 12).
void LvChildClientSize(int zoomedW, int zoomedH, int roomW, int roomH, int& clientW, int& clientH);

// ---- selection outline ----
const int kLvMaxOutline = 8000;
// Every pixel of a rectangle's border: top edge left to right, right edge top to bottom, bottom edge right to
// left, left edge bottom to top (top-down rows, edges inclusive). A border longer than the capacity is
// sampled evenly so that the outline still goes all the way round.
std::vector<LvPoint> LvRectOutline(int left, int top, int right, int bottom, int capacity = kLvMaxOutline);
// The ellipse inscribed in a box: the upper half left to right, then the lower half right to left; empty
// when a half-axis is 0. Sampled like the rectangle past the capacity.
std::vector<LvPoint> LvEllipseOutline(int left, int top, int right, int bottom, int capacity = kLvMaxOutline);
