#include "effects/LvEffectUtil.h"
#include "image/LvImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace lvfx;

namespace {

// Quarter turns go by tiles of destination rows and columns.
const int kTurnBlock = 16;
const int kTurnTile = 64;

// The alpha plane of result, created and filled by map(x, y) -> source plane offset for every
// destination pixel, when the source has one.
template <class Map>
bool MoveAlpha(const CLvImage& source, CLvImage& result, const Map& map) {
    if (!source.pAlpha) return true;
    if (!result.AlphaCreate()) return false;
    result.info.nAlphaMax = source.info.nAlphaMax;
    const int width = result.GetWidth(), height = result.GetHeight();
    for (int y = 0; y < height; y++) {
        BYTE* out = result.pAlpha + size_t(y) * size_t(width);
        for (int x = 0; x < width; x++)
            out[x] = source.pAlpha[map(x, y)];
    }
    return true;
}

// Writes the pixels of a stored row in reverse order into another row.
void ReverseInto(BYTE* out, const BYTE* in, int width, int bpp) {
    if (bpp == 24) {
        const BYTE* s = in + size_t(width - 1) * 3;
        for (int x = 0; x < width; x++, out += 3, s -= 3) {
            out[0] = s[0];
            out[1] = s[1];
            out[2] = s[2];
        }
    } else if (bpp == 8) {
        for (int x = 0; x < width; x++)
            out[x] = in[width - 1 - x];
    } else {
        for (int x = 0; x < width; x++)
            LvSetPackedIndex(out, x, bpp, LvGetPackedIndex(in, width - 1 - x, bpp));
    }
}

// Fills every pixel of a fresh image with one colour (palette images: the nearest entry), leaving the
// row padding as it is.
void FillAll(CLvImage& image, RGBQUAD color) {
    const int width = image.GetWidth(), height = image.GetHeight(), bpp = image.GetBpp();
    const BYTE index = NearestIndex(image.GetPalette(), image.head.biClrUsed, color);
    LvForRows(image, height, kLvRowsPlain, size_t(width), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            BYTE* row = Row(image, y);
            if (bpp == 24) {
                for (int x = 0; x < width; x++, row += 3) {
                    row[0] = color.rgbBlue;
                    row[1] = color.rgbGreen;
                    row[2] = color.rgbRed;
                }
            } else if (bpp == 8) {
                memset(row, index, size_t(width));
            } else {
                for (int x = 0; x < width; x++)
                    LvSetPackedIndex(row, x, bpp, index);
            }
        }
    });
}

} // namespace

// ---- mirror and flip ------------------------------------------------------------------------------------

// Mirror, Flip and the half turn work in place: the same pixels as a turned copy, without a second
// picture of the same size (on a 20-megapixel photo the copy costs more than the turn).
bool CLvImage::Mirror() {
    if (!pDib) return false;
    const int width = GetWidth(), bpp = GetBpp();
    const size_t stride = info.dwRowBytes;
    LvForRows(*this, GetHeight(), kLvRowsPlain, size_t(width), [&](int first, int last) {
        std::vector<BYTE> copy(stride);
        for (int y = first; y < last; y++) {
            BYTE* row = Row(*this, y);
            memcpy(copy.data(), row, stride);
            ReverseInto(row, copy.data(), width, bpp);
        }
    });
    AlphaMirror();
    SelectionDelete();
    return true;
}

bool CLvImage::Flip() {
    if (!pDib) return false;
    const int height = GetHeight();
    const size_t stride = info.dwRowBytes;
    LvForRows(*this, height / 2, kLvRowsPlain, stride * 2, [&](int first, int last) {
        std::vector<BYTE> copy(stride);
        for (int y = first; y < last; y++) {
            BYTE* a = Row(*this, y);
            BYTE* b = Row(*this, height - 1 - y);
            memcpy(copy.data(), a, stride); // the padding too
            memcpy(a, b, stride);
            memcpy(b, copy.data(), stride);
        }
    });
    AlphaFlip();
    SelectionDelete();
    return true;
}

// ---- quarter and half turns -----------------------------------------------------------------------------

namespace {

// Destination (x, y) of a quarter turn takes source (SourceX(x, y), SourceY(x, y)): left turns read
// source (y, newWidth - 1 - x), right turns source (newHeight - 1 - y, x).
bool QuarterTurn(CLvImage& image, CLvImage* destination, bool left) {
    if (!image.pDib) return false;
    const int width = image.GetWidth(), height = image.GetHeight(), bpp = image.GetBpp();
    CLvImage result;
    if (!CreateResult(image, result, height, width, bpp)) return false;
    const int newWidth = height, newHeight = width;
    const size_t plane = size_t(width);
    bool alphaOk = MoveAlpha(image, result, [&](int x, int y) {
        return left ? size_t(newWidth - 1 - x) * plane + size_t(y) : size_t(x) * plane + size_t(newHeight - 1 - y);
    });
    if (!alphaOk) return false;

    // 1-bit pictures were turned bit by bit without progress; the result is the same pixel mapping.
    const int flags = bpp == 1 ? kLvRowsPlain : kLvRowsProgress;
    const size_t stride = image.info.dwRowBytes;
    LvForRows(image, newHeight, flags, size_t(newWidth), [&](int first, int last) {
        // Tiles of kTurnBlock destination rows by kTurnTile columns: the destination is written along its
        // rows, and the source rows of a tile are read in short runs that stay in the cache.
        const BYTE* sourceRows[kTurnTile];
        for (int y0 = first; y0 < last; y0 += kTurnBlock) {
            const int y1 = std::min(last, y0 + kTurnBlock);
            for (int x0 = 0; x0 < newWidth; x0 += kTurnTile) {
                const int n = std::min(newWidth - x0, kTurnTile);
                for (int k = 0; k < n; k++)
                    sourceRows[k] = image.info.pBits + size_t(left ? newWidth - 1 - (x0 + k) : x0 + k) * stride;
                for (int y = y0; y < y1; y++) {
                    const int sourceX = left ? y : newHeight - 1 - y;
                    BYTE* out = Row(result, y);
                    if (bpp == 24) {
                        const size_t offset = size_t(sourceX) * 3;
                        BYTE* d = out + size_t(x0) * 3;
                        for (int k = 0; k < n; k++, d += 3) {
                            const BYTE* p = sourceRows[k] + offset;
                            d[0] = p[0];
                            d[1] = p[1];
                            d[2] = p[2];
                        }
                    } else if (bpp == 8) {
                        for (int k = 0; k < n; k++)
                            out[x0 + k] = sourceRows[k][sourceX];
                    } else {
                        for (int k = 0; k < n; k++)
                            LvSetPackedIndex(out, x0 + k, bpp, LvGetPackedIndex(sourceRows[k], sourceX, bpp));
                    }
                }
            }
        }
    });
    FinishInto(image, destination, result);
    return true;
}

} // namespace

bool CLvImage::RotateLeft(CLvImage* destination) {
    return QuarterTurn(*this, destination, true);
}

bool CLvImage::RotateRight(CLvImage* destination) {
    return QuarterTurn(*this, destination, false);
}

bool CLvImage::Rotate180(CLvImage* destination) {
    if (!pDib) return false;
    const int width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    if (!destination || destination == this) {
        // In place: row y and row height - 1 - y change places, each reversed.
        const size_t stride = info.dwRowBytes;
        LvForRows(*this, (height + 1) / 2, kLvRowsProgress, size_t(width) * 2, [&](int first, int last) {
            std::vector<BYTE> copy(stride);
            for (int y = first; y < last; y++) {
                BYTE* a = Row(*this, y);
                BYTE* b = Row(*this, height - 1 - y);
                memcpy(copy.data(), a, stride);
                if (a != b) ReverseInto(a, b, width, bpp);
                ReverseInto(b, copy.data(), width, bpp);
            }
        });
        if (pAlpha) std::reverse(pAlpha, pAlpha + size_t(width) * size_t(height));
        SelectionDelete();
        return true;
    }
    CLvImage result;
    if (!CreateResult(*this, result, width, height, bpp)) return false;
    const size_t count = size_t(width) * size_t(height);
    if (!MoveAlpha(*this, result, [&](int x, int y) { return count - 1 - (size_t(y) * size_t(width) + size_t(x)); }))
        return false;
    LvForRows(*this, height, kLvRowsProgress, size_t(width), [&](int first, int last) {
        for (int y = first; y < last; y++)
            ReverseInto(Row(result, height - 1 - y), Row(*this, y), width, bpp);
    });
    FinishInto(*this, destination, result);
    return true;
}

// ---- crop and edges -------------------------------------------------------------------------------------

// left and right are columns; top and bottom count rows from the top of the picture (screen rows). All
// four are edges: the result holds columns left .. right - 1 and screen rows top .. bottom - 1.
bool CLvImage::Crop(int left, int top, int right, int bottom, CLvImage* destination) {
    if (!pDib) return false;
    const int width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    left = std::max(0, std::min(left, width));
    right = std::max(0, std::min(right, width));
    top = std::max(0, std::min(top, height));
    bottom = std::max(0, std::min(bottom, height));
    int startY = height - top, endY = height - bottom;
    if (left == right || top == bottom) return false;
    if (left > right) std::swap(left, right);
    if (startY > endY) std::swap(startY, endY);

    const int newWidth = right - left, newHeight = endY - startY;
    CLvImage result;
    if (!CreateResult(*this, result, newWidth, newHeight, bpp, head.biClrUsed)) return false;
    // The alpha plane is cut like the pixels: a cropped picture keeps its transparency.
    if (pAlpha) {
        if (!result.AlphaCreate()) return false;
        result.info.nAlphaMax = info.nAlphaMax;
        for (int y = 0; y < newHeight; y++)
            memcpy(result.pAlpha + size_t(y) * size_t(newWidth),
                   pAlpha + size_t(y + startY) * size_t(width) + size_t(left), size_t(newWidth));
    }
    // Only the pixels are copied: a whole destination row from the source could reach past its end.
    const size_t bytes = bpp == 24 ? size_t(newWidth) * 3 : size_t(newWidth);
    LvForRows(*this, newHeight, kLvRowsProgress, size_t(newWidth), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            const BYTE* in = Row(*this, y + startY);
            BYTE* out = Row(result, y);
            if (bpp >= 8) {
                memcpy(out, in + size_t(bpp) * size_t(left) / 8, bytes);
            } else {
                for (int x = 0; x < newWidth; x++)
                    LvSetPackedIndex(out, x, bpp, LvGetPackedIndex(in, x + left, bpp));
            }
        }
    });
    FinishInto(*this, destination, result);
    return true;
}

// Positive margins add a border of the background colour, negative ones cut the picture.
bool CLvImage::AddEdge(int left, int top, int right, int bottom) {
    if (!pDib) return false;
    const int width = GetWidth(), height = GetHeight(), bpp = GetBpp();
    const int64_t newWidth = int64_t(width) + left + right, newHeight = int64_t(height) + top + bottom;
    if (newWidth <= 0 || newHeight <= 0 || newWidth > INT32_MAX || newHeight > INT32_MAX) return false;
    CLvImage result;
    if (!CreateResult(*this, result, int(newWidth), int(newHeight), bpp, head.biClrUsed)) return false;
    FillAll(result, info.rgbTransColor);

    // The part of the source that lands inside the new canvas.
    const int xFrom = std::max(0, -left), xTo = int(std::min<int64_t>(width, newWidth - left));
    const bool alpha = pAlpha != nullptr;
    if (alpha) {
        // The new border is painted and so opaque; the picture keeps its own alpha.
        if (!result.AlphaCreate()) return false;
        result.info.nAlphaMax = info.nAlphaMax;
        result.AlphaFill(255);
    }
    BYTE map[256];
    SelfNearestMap(*this, map);
    LvForRows(*this, height, kLvRowsProgress | kLvRowsCancel, size_t(width), [&](int first, int last) {
        for (int y = first; y < last; y++) {
            const int64_t outY = int64_t(y) + bottom;
            if (outY < 0 || outY >= newHeight || xFrom >= xTo) continue;
            const BYTE* in = Row(*this, y);
            BYTE* out = Row(result, int(outY));
            if (bpp == 24) {
                memcpy(out + size_t(xFrom + left) * 3, in + size_t(xFrom) * 3, size_t(xTo - xFrom) * 3);
            } else {
                for (int x = xFrom; x < xTo; x++)
                    LvSetPackedIndex(out, x + left, bpp, map[LvGetPackedIndex(in, x, bpp)]);
            }
            if (alpha)
                memcpy(result.pAlpha + size_t(outY) * size_t(newWidth) + size_t(xFrom + left),
                       pAlpha + size_t(y) * size_t(width) + size_t(xFrom), size_t(xTo - xFrom));
        }
    });
    FinishInto(*this, nullptr, result);
    return true;
}

// ---- region fill ----------------------------------------------------------------------------------------

bool CLvImage::RegionFill(RGBQUAD color) {
    if (!pDib) return false;
    const ScanArea area = GetScanArea(*this);
    if (area.Empty()) return true;
    const int bpp = GetBpp();
    const BYTE index = NearestIndex(GetPalette(), head.biClrUsed, color);
    LvForRows(*this, area.Height(), kLvRowsProgress | kLvRowsCancel, size_t(area.Width()), [&](int first, int last) {
        for (int k = first; k < last; k++) {
            const int y = area.bottom + k;
            BYTE* row = Row(*this, y);
            const BYTE* selected = SelectionRow(*this, y, 0);
            for (int x = area.left; x < area.right; x++) {
                if (selected && !selected[x]) continue;
                if (bpp == 24) {
                    BYTE* p = row + size_t(x) * 3;
                    p[0] = color.rgbBlue;
                    p[1] = color.rgbGreen;
                    p[2] = color.rgbRed;
                } else {
                    LvSetPackedIndex(row, x, bpp, index);
                }
            }
        }
    });
    return true;
}
