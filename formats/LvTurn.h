#pragma once

// The eight ways of standing a picture by exact turns and mirrors, with the picture seen as on screen (first
// row at the top). They form a group: any sequence of them is one of them.
enum LvTurn {
    kLvTurnNone,
    kLvTurnMirror,     // left and right exchanged
    kLvTurnFlip,       // top and bottom exchanged
    kLvTurnTranspose,  // mirrored across the diagonal from the top left corner
    kLvTurnTransverse, // mirrored across the diagonal from the top right corner
    kLvTurnRight,      // a quarter turn clockwise
    kLvTurn180,        // a half turn
    kLvTurnLeft,       // a quarter turn counter-clockwise
    kLvTurnCount
};

// The turn that has the effect of first, then then.
LvTurn LvComposeTurns(LvTurn first, LvTurn then);
// The turn that takes back turn.
LvTurn LvInverseTurn(LvTurn turn);
// Whether the turn exchanges width and height.
bool LvTurnSwapsSides(LvTurn turn);
// The turn that stands a picture stored with this orientation tag (TIFF/EXIF, 1 to 8) upright; kLvTurnNone
// for 1 and for values that say nothing.
LvTurn LvTurnOfOrientation(int orientation);
// The turn an operation of the table makes ("rotate-left" ...), or kLvTurnCount when it makes none exactly.
LvTurn LvTurnOfOperationName(const char* name);
