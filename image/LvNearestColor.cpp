#include "image/LvNearestColor.h"

#include <algorithm>

// Squared distance from a value to the nearest and to the farthest level of [low, high].
static void ChannelBounds(int value, int low, int high, int& nearest, int& farthest) {
    int d = value < low ? low - value : value > high ? value - high : 0;
    nearest = d * d;
    int f = std::max(value - low, high - value);
    farthest = f * f;
}

// An entry can be nearest to a colour of a cell only when its smallest possible distance to the cell is
// not above the largest possible distance of the entry that is best in the worst case. Equality is kept, so
// that every entry that may tie for nearest stays a candidate.
CLvNearestColor::CLvNearestColor(const RGBQUAD* palette, unsigned count)
    : m_palette(palette, palette + std::min(count, 256u)) {
    const int cells = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
    const int size = 1 << kCellBits;
    m_first.reserve(size_t(cells) + 1);
    std::vector<int> nearest(m_palette.size());
    for (int cell = 0; cell < cells; cell++) {
        m_first.push_back(uint32_t(m_candidates.size()));
        int r0 = (cell / (kCellsPerAxis * kCellsPerAxis)) * size;
        int g0 = (cell / kCellsPerAxis % kCellsPerAxis) * size;
        int b0 = (cell % kCellsPerAxis) * size;
        int bound = INT32_MAX;
        for (size_t i = 0; i < m_palette.size(); i++) {
            int nr, fr, ng, fg, nb, fb;
            ChannelBounds(m_palette[i].rgbRed, r0, r0 + size - 1, nr, fr);
            ChannelBounds(m_palette[i].rgbGreen, g0, g0 + size - 1, ng, fg);
            ChannelBounds(m_palette[i].rgbBlue, b0, b0 + size - 1, nb, fb);
            nearest[i] = nr + ng + nb;
            bound = std::min(bound, fr + fg + fb);
        }
        for (size_t i = 0; i < m_palette.size(); i++)
            if (nearest[i] <= bound) m_candidates.push_back(static_cast<uint8_t>(i));
    }
    m_first.push_back(uint32_t(m_candidates.size()));
}
