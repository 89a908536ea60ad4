#include "effects/LvRowAccess.h"

#include <algorithm>
#include <climits>
#include <cstring>

RGBQUAD LvOutsideColor(const CLvImage& image) {
    return image.GetPixelColor(-1, -1);
}

CLvRowReader::CLvRowReader(const CLvImage& image)
    : CLvRowReader(image, image.GetWidth(), image.GetHeight(), LvOutsideColor(image)) {}

CLvRowReader::CLvRowReader(const CLvImage& image, int xLimit, int yLimit, RGBQUAD outside)
    : m_image(image), m_xLimit(std::min(std::max(xLimit, 0), image.GetWidth())),
      m_yLimit(std::min(std::max(yLimit, 0), image.GetHeight())) {
    m_outside[0] = outside.rgbBlue;
    m_outside[1] = outside.rgbGreen;
    m_outside[2] = outside.rgbRed;
    memset(m_palette, 0, sizeof(m_palette));
    if (const RGBQUAD* palette = image.GetPalette())
        for (DWORD i = 0; i < image.GetHeader().biClrUsed && i < 256; i++) {
            m_palette[i][0] = palette[i].rgbBlue;
            m_palette[i][1] = palette[i].rgbGreen;
            m_palette[i][2] = palette[i].rgbRed;
        }
}

void CLvRowReader::Read(int y, int x0, int count, BYTE* out) const {
    auto fillOutside = [this](BYTE* p, int n) {
        for (int i = 0; i < n; i++, p += 3) {
            p[0] = m_outside[0];
            p[1] = m_outside[1];
            p[2] = m_outside[2];
        }
    };
    if (count <= 0) return;
    if (y < 0 || y >= m_yLimit || x0 >= m_xLimit || x0 + count <= 0) {
        fillOutside(out, count);
        return;
    }
    const int from = std::max(x0, 0);
    const int to = std::min(x0 + count, m_xLimit);
    fillOutside(out, from - x0);
    BYTE* p = out + size_t(from - x0) * 3;
    const BYTE* row = m_image.GetBits() + size_t(y) * m_image.GetEffWidth();
    switch (m_image.GetBpp()) {
    case 24:
        memcpy(p, row + size_t(from) * 3, size_t(to - from) * 3);
        break;
    case 8:
        for (int x = from; x < to; x++, p += 3)
            memcpy(p, m_palette[row[x]], 3);
        break;
    case 4:
        for (int x = from; x < to; x++, p += 3)
            memcpy(p, m_palette[LvGetPackedIndex(row, x, 4)], 3);
        break;
    default:
        for (int x = from; x < to; x++, p += 3)
            memcpy(p, m_palette[LvGetPackedIndex(row, x, 1)], 3);
        break;
    }
    fillOutside(out + size_t(to - x0) * 3, x0 + count - to);
}

CLvGrayRows::CLvGrayRows(const CLvImage& image) : m_image(image) {
    memset(m_grays, 0, sizeof(m_grays));
    if (const RGBQUAD* palette = image.GetPalette())
        for (DWORD i = 0; i < image.GetHeader().biClrUsed && i < 256; i++)
            m_grays[i] = CLvImage::GrayValue(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
}

void CLvGrayRows::Read(int y, BYTE* out) const {
    const int width = m_image.GetWidth();
    const BYTE* row = lvfx::Row(m_image, y);
    switch (m_image.GetBpp()) {
    case 24:
        for (int x = 0; x < width; x++, row += 3)
            out[x] = CLvImage::GrayValue(row[2], row[1], row[0]);
        break;
    case 8:
        for (int x = 0; x < width; x++)
            out[x] = m_grays[row[x]];
        break;
    default:
        for (int x = 0; x < width; x++)
            out[x] = m_grays[LvGetPackedIndex(row, x, m_image.GetBpp())];
        break;
    }
}

CLvRowWindow::CLvRowWindow(const CLvRowReader& reader, int x0, int count, int rows)
    : m_reader(reader), m_x0(x0), m_count(count), m_rows(std::max(rows, 1)),
      m_buffer(size_t(std::max(rows, 1)) * size_t(std::max(count, 1)) * 3), m_rowOf(size_t(std::max(rows, 1)), 0),
      m_filled(size_t(std::max(rows, 1)), false) {}

BYTE* CLvRowWindow::Keep(int y) {
    m_kept.emplace_back(y, std::vector<BYTE>(size_t(std::max(m_count, 1)) * 3));
    return m_kept.back().second.data();
}

void CLvSavedRows::Save(int first, int last, int low, int high) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto save = [&](int y) {
        std::vector<BYTE>& row = m_rows[y];
        if (!row.empty()) return;
        row.resize(size_t(std::max(m_count, 1)) * 3);
        m_reader.Read(y, m_x0, m_count, row.data());
    };
    for (int y = first; y < std::min(last, first + high); y++)
        save(y);
    for (int y = std::max(first, last + low); y < last; y++)
        save(y);
}

void CLvSavedRows::Read(int y, BYTE* out) {
    std::lock_guard<std::mutex> hold(m_lock);
    auto found = m_rows.find(y);
    if (found != m_rows.end())
        memcpy(out, found->second.data(), found->second.size());
    else
        m_reader.Read(y, m_x0, m_count, out);
}

const BYTE* CLvRowWindow::Get(int y) {
    for (const auto& kept : m_kept)
        if (kept.first == y) return kept.second.data();
    int slot = ((y % m_rows) + m_rows) % m_rows;
    BYTE* row = m_buffer.data() + size_t(slot) * size_t(std::max(m_count, 1)) * 3;
    if (!m_filled[size_t(slot)] || m_rowOf[size_t(slot)] != y) {
        m_reader.Read(y, m_x0, m_count, row);
        m_rowOf[size_t(slot)] = y;
        m_filled[size_t(slot)] = true;
    }
    return row;
}

// Building the search grid costs about as much as 30,000 linear searches over 256 entries: small pictures
// search linearly.
CLvRowWriter::CLvRowWriter(CLvImage& target, bool selectedOnly) : m_target(target), m_selectedOnly(selectedOnly) {
    const RGBQUAD* palette = target.GetPalette();
    if (!palette) return;
    m_palette = palette;
    m_colors = target.GetHeader().biClrUsed;
    if ((long long)target.GetWidth() * target.GetHeight() * 16 >= (long long)m_colors * 32768)
        m_nearest.reset(new CLvNearestColor(palette, m_colors));
}

// The first entry at the smallest distance, as the image's own nearest-colour search gives it.
BYTE CLvRowWriter::Nearest(BYTE red, BYTE green, BYTE blue) const {
    if (m_nearest) return m_nearest->Find(red, green, blue);
    return lvfx::NearestIndex(m_palette, m_colors, RGBQUAD{blue, green, red, 0});
}

void CLvRowWriter::Write(int y, int x0, int count, const BYTE* bgr) const {
    const int width = m_target.GetWidth();
    BYTE* row = m_target.GetBits() + size_t(y) * m_target.GetEffWidth();
    const BYTE* mask =
        m_selectedOnly && m_target.pSelection ? m_target.pSelection + size_t(y) * size_t(width) : nullptr;
    if (!m_palette) {
        BYTE* p = row + size_t(x0) * 3;
        if (!mask) {
            memcpy(p, bgr, size_t(count) * 3);
            return;
        }
        for (int i = 0; i < count; i++, p += 3, bgr += 3)
            if (mask[x0 + i]) memcpy(p, bgr, 3);
        return;
    }
    const int bpp = m_target.GetBpp();
    int lastKey = -1;
    BYTE index = 0;
    for (int i = 0; i < count; i++, bgr += 3) {
        int x = x0 + i;
        if (mask && !mask[x]) continue;
        int key = bgr[0] | (bgr[1] << 8) | (bgr[2] << 16);
        if (key != lastKey) {
            lastKey = key;
            index = Nearest(bgr[2], bgr[1], bgr[0]);
        }
        LvSetPackedIndex(row, x, bpp, index);
    }
}

void CLvRowWriter::Put(int x, int y, BYTE blue, BYTE green, BYTE red) const {
    if (!m_target.IsInside(x, y)) return;
    if (m_selectedOnly && m_target.pSelection &&
        !m_target.pSelection[size_t(y) * size_t(m_target.GetWidth()) + size_t(x)])
        return;
    BYTE bgr[3] = {blue, green, red};
    Write(y, x, 1, bgr);
}
