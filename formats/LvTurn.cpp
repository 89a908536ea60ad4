#include "formats/LvTurn.h"

#include <cstring>

namespace {

// Each turn as the matrix that moves a point (x to the right, y down, from the centre) to where it goes.
struct Matrix {
    int a, b, c, d; // x' = a x + b y, y' = c x + d y
};

const Matrix kMatrices[kLvTurnCount] = {
    {1, 0, 0, 1},   // none
    {-1, 0, 0, 1},  // mirror
    {1, 0, 0, -1},  // flip
    {0, 1, 1, 0},   // transpose
    {0, -1, -1, 0}, // transverse
    {0, -1, 1, 0},  // right: the top centre goes to the right centre
    {-1, 0, 0, -1}, // half turn
    {0, 1, -1, 0},  // left
};

LvTurn TurnOf(const Matrix& m) {
    for (int i = 0; i < kLvTurnCount; i++) {
        const Matrix& k = kMatrices[i];
        if (k.a == m.a && k.b == m.b && k.c == m.c && k.d == m.d) return LvTurn(i);
    }
    return kLvTurnCount; // unreachable: the eight matrices are closed under products
}

bool Valid(LvTurn turn) {
    return turn >= kLvTurnNone && turn < kLvTurnCount;
}

} // namespace

LvTurn LvComposeTurns(LvTurn first, LvTurn then) {
    if (!Valid(first) || !Valid(then)) return kLvTurnCount;
    const Matrix& f = kMatrices[first];
    const Matrix& t = kMatrices[then];
    return TurnOf({t.a * f.a + t.b * f.c, t.a * f.b + t.b * f.d, t.c * f.a + t.d * f.c, t.c * f.b + t.d * f.d});
}

LvTurn LvInverseTurn(LvTurn turn) {
    for (int i = 0; i < kLvTurnCount; i++)
        if (LvComposeTurns(turn, LvTurn(i)) == kLvTurnNone) return LvTurn(i);
    return kLvTurnCount;
}

bool LvTurnSwapsSides(LvTurn turn) {
    return Valid(turn) && kMatrices[turn].a == 0;
}

LvTurn LvTurnOfOrientation(int orientation) {
    static const LvTurn turns[9] = {kLvTurnNone,      kLvTurnNone,  kLvTurnMirror,     kLvTurn180, kLvTurnFlip,
                                    kLvTurnTranspose, kLvTurnRight, kLvTurnTransverse, kLvTurnLeft};
    return orientation >= 1 && orientation <= 8 ? turns[orientation] : kLvTurnNone;
}

LvTurn LvTurnOfOperationName(const char* name) {
    static const struct {
        const char* name;
        LvTurn turn;
    } names[] = {{"mirror", kLvTurnMirror},
                 {"flip", kLvTurnFlip},
                 {"rotate-left", kLvTurnLeft},
                 {"rotate-right", kLvTurnRight},
                 {"rotate-180", kLvTurn180}};
    for (const auto& entry : names)
        if (name && strcmp(name, entry.name) == 0) return entry.turn;
    return kLvTurnCount;
}
