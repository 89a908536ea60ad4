#include "effects/LvEffectUtil.h"

#include <algorithm>
#include <cstring>

namespace lvfx {

ScanArea GetScanArea(const CLvImage& image) {
    const int width = image.GetWidth(), height = image.GetHeight();
    if (!image.pSelection) return ScanArea{0, 0, width, height};
    const RECT& box = image.info.rcSelection;
    // The box may come from anywhere (a resized selection, a caller): never scan outside the picture.
    ScanArea area;
    area.left = std::max<LONG>(0, std::min<LONG>(box.left, width));
    area.right = std::max<LONG>(0, std::min<LONG>(box.right, width));
    area.bottom = std::max<LONG>(0, std::min<LONG>(box.bottom, height));
    area.top = std::max<LONG>(0, std::min<LONG>(box.top, height));
    return area;
}

bool CreateResult(const CLvImage& source, CLvImage& result, int width, int height, int bpp, DWORD paletteEntries) {
    result.Destroy();
    result.CopyInfoIfEmpty(source);
    result.head.biXPelsPerMeter = source.head.biXPelsPerMeter;
    result.head.biYPelsPerMeter = source.head.biYPelsPerMeter;
    if (!result.Create(width, height, bpp, source.info.dwFormat)) return false;
    const RGBQUAD* palette = source.GetPalette();
    if (palette && result.GetPalette()) {
        DWORD n = std::min({paletteEntries, source.head.biClrUsed, result.head.biClrUsed});
        memcpy(result.GetPalette(), palette, n * sizeof(RGBQUAD));
    }
    return true;
}

void FinishInto(CLvImage& image, CLvImage* destination, CLvImage& result) {
    result.info.nProgress = image.info.nProgress;
    result.info.nEscape = image.info.nEscape;
    result.info.bLastNearestValid = false;
    CLvImage* target = destination ? destination : &image;
    target->TakeOver(result);
}

BYTE NearestIndex(const RGBQUAD* palette, DWORD count, RGBQUAD color) {
    long best = 200000;
    BYTE answer = 0;
    for (DWORD i = 0; i < count; i++) {
        long dr = long(palette[i].rgbRed) - color.rgbRed;
        long dg = long(palette[i].rgbGreen) - color.rgbGreen;
        long db = long(palette[i].rgbBlue) - color.rgbBlue;
        long d = dr * dr + dg * dg + db * db;
        if (d == 0) return BYTE(i);
        if (d < best) {
            best = d;
            answer = BYTE(i);
        }
    }
    return answer;
}

void SelfNearestMap(const CLvImage& image, BYTE map[256]) {
    const RGBQUAD* palette = image.GetPalette();
    const DWORD count = image.head.biClrUsed;
    for (int i = 0; i < 256; i++)
        map[i] = palette && DWORD(i) < count ? NearestIndex(palette, count, palette[i]) : BYTE(0);
}

} // namespace lvfx
