#pragma once

#include "image/LvWinTypes.h"

// Palette rows of 1, 4 or 8 bits a pixel, and 1-bit planes and masks: the first pixel of a byte is in its
// highest bits.

// Pixel i (0 or 1, by its lowest bit) of a byte holding two 4-bit pixels.
inline BYTE LvGetNibble(BYTE pair, int i) {
    return (i & 1) ? BYTE(pair & 0x0F) : BYTE(pair >> 4);
}

// Bit x of a 1-bit row.
inline bool LvGetBit(const BYTE* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void LvSetBit(BYTE* row, int x) {
    row[x >> 3] |= BYTE(0x80 >> (x & 7));
}

inline void LvPutBit(BYTE* row, int x, bool on) {
    const BYTE mask = BYTE(0x80 >> (x & 7));
    row[x >> 3] = on ? BYTE(row[x >> 3] | mask) : BYTE(row[x >> 3] & ~mask);
}

// The palette index of pixel x in a row of bpp bits (8, 4, else 1).
inline BYTE LvGetPackedIndex(const BYTE* row, int x, int bpp) {
    if (bpp == 8) return row[x];
    if (bpp == 4) return LvGetNibble(row[x >> 1], x);
    return LvGetBit(row, x);
}

// Stores the index of pixel x in a row of bpp bits (8, 4, else 1); a narrower row keeps the index's low bits.
inline void LvSetPackedIndex(BYTE* row, int x, int bpp, BYTE index) {
    if (bpp == 8) {
        row[x] = index;
    } else if (bpp == 4) {
        BYTE& b = row[x >> 1];
        b = (x & 1) ? BYTE((b & 0xF0) | (index & 0x0F)) : BYTE((b & 0x0F) | ((index & 0x0F) << 4));
    } else {
        LvPutBit(row, x, index & 1);
    }
}

// Writes a whole 1-bit row of width pixels, eight at a time: pixel x is set where on(x) is true.
template <class On>
inline void LvPackBits(BYTE* row, int width, On on) {
    for (int x = 0; x < width; x += 8) {
        BYTE bits = 0;
        for (int b = 0; b < 8 && x + b < width; b++)
            bits = BYTE(bits | (on(x + b) << (7 - b)));
        row[x >> 3] = bits;
    }
}
