#pragma once

#include "image/LvWinTypes.h"

#include <cstdint>
#include <vector>

// Exact nearest-palette-entry search for many queries against one palette. It gives the same answer as a
// linear scan by squared distance in red, green and blue where the first of equal distances wins, but
// looks only at the entries that can be nearest to anything in the query's 8 x 8 x 8 cell of colour space.
class CLvNearestColor {
public:
    CLvNearestColor(const RGBQUAD* palette, unsigned count);

    uint8_t Find(uint8_t red, uint8_t green, uint8_t blue) const {
        if (m_palette.empty()) return 0;
        unsigned cell =
            ((red >> kCellBits) * kCellsPerAxis + (green >> kCellBits)) * kCellsPerAxis + (blue >> kCellBits);
        const uint8_t* candidate = m_candidates.data() + m_first[cell];
        const uint8_t* end = m_candidates.data() + m_first[cell + 1];
        int best = INT32_MAX;
        uint8_t answer = 0;
        for (; candidate < end; candidate++) {
            const RGBQUAD& e = m_palette[*candidate];
            int dr = int(e.rgbRed) - red;
            int dg = int(e.rgbGreen) - green;
            int db = int(e.rgbBlue) - blue;
            int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                answer = *candidate;
            }
        }
        return answer;
    }

private:
    static const int kCellBits = 3; // cells of 8 levels per channel
    static const int kCellsPerAxis = 256 >> kCellBits;

    std::vector<RGBQUAD> m_palette;
    // The candidates of every cell in palette order, cell after cell; m_first[cell] is where a cell's start.
    std::vector<uint32_t> m_first;
    std::vector<uint8_t> m_candidates;
};
