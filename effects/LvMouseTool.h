#pragma once

// The mouse tools of an image view, by the numbers the document keeps as its tool mode.
enum LvMouseTool {
    kLvToolAny = 0, // in the operation table: the command works under every tool
    kLvToolMove = 1,
    kLvToolSelect = 2,
    kLvToolZoom = 3,
    kLvToolRectSelection = 4,
    kLvToolEllipseSelection = 5,
    kLvToolPickColor = 6,
};
