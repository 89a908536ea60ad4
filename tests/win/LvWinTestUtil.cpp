#include "LvWinTestUtil.h"

#include <cstring>
#include <stdexcept>

Canvas::Canvas(int width, int height)
    : m_width(width), m_height(height), m_dc(nullptr), m_previous(nullptr), m_bits(nullptr),
      m_stride((DWORD(width) * 3 + 3) & ~DWORD(3)) {
    BITMAPINFO bmi;
    memset(&bmi, 0, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    m_bitmap.Reset(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!m_dc || !m_bitmap || !bits) throw std::runtime_error("cannot make a canvas");
    m_bits = static_cast<BYTE*>(bits);
    memset(m_bits, 0, size_t(m_stride) * size_t(height));
    m_previous = SelectObject(m_dc.Get(), m_bitmap.Get());
}

Canvas::~Canvas() {
    SelectObject(m_dc.Get(), m_previous);
}

RGBQUAD Canvas::At(int x, int y) const {
    GdiFlush();
    const BYTE* p = m_bits + size_t(m_height - 1 - y) * m_stride + size_t(x) * 3;
    return Quad(p[2], p[1], p[0]);
}

void Canvas::Set(int x, int y, RGBQUAD color) {
    GdiFlush();
    BYTE* p = m_bits + size_t(m_height - 1 - y) * m_stride + size_t(x) * 3;
    p[0] = color.rgbBlue;
    p[1] = color.rgbGreen;
    p[2] = color.rgbRed;
}

void Canvas::FillPattern() {
    for (int y = 0; y < m_height; y++)
        for (int x = 0; x < m_width; x++)
            Set(x, y, Quad((x * 37 + y * 11) & 0xFF, (x * 5 + y * 71 + 40) & 0xFF, (x * 13 + y * 29 + 90) & 0xFF));
}

std::vector<RGBQUAD> Canvas::Pixels() const {
    std::vector<RGBQUAD> pixels;
    for (int y = 0; y < m_height; y++)
        for (int x = 0; x < m_width; x++)
            pixels.push_back(At(x, y));
    return pixels;
}

int NormalisedDepth(int bpp) {
    return bpp <= 1 ? 1 : bpp <= 4 ? 4 : bpp <= 8 ? 8 : 24;
}
