#include "LvReference.h"
#include "LvTestUtil.h"

#include <algorithm>
#include <random>

CLvImage ReferenceDecrease(const CLvImage& original, int bits, bool diffusion, const RGBQUAD* palette) {
    CLvImage source(original);
    CLvImage result(source.GetWidth(), source.GetHeight(), bits);
    if (palette)
        result.SetPalette(palette, result.GetHeader().biClrUsed);
    else if (result.GetBpp() == 1) {
        result.SetPaletteColor(0, 0, 0, 0);
        result.SetPaletteColor(1, 255, 255, 255);
    } else
        result.SetStdPalette();
    const int w = source.GetWidth(), h = source.GetHeight();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            RGBQUAD c = source.GetPixelColor(x, y);
            result.SetPixelColor(x, y, c);
            if (!diffusion) continue;
            RGBQUAD q = result.GetPixelColor(x, y);
            int e[3] = {c.rgbRed - q.rgbRed, c.rgbGreen - q.rgbGreen, c.rgbBlue - q.rgbBlue};
            const int dx[4] = {1, -1, 0, 1}, dy[4] = {0, 1, 1, 1}, weight[4] = {7, 2, 4, 1};
            for (int k = 0; k < 4; k++) {
                int nx = x + dx[k], ny = y + dy[k];
                if (!source.IsInside(nx, ny)) continue;
                RGBQUAD n = source.GetPixelColor(nx, ny);
                auto add = [](BYTE v, int share) { return BYTE(std::min(255, std::max(0, v + share))); };
                n.rgbRed = add(n.rgbRed, e[0] * weight[k] / 16);
                n.rgbGreen = add(n.rgbGreen, e[1] * weight[k] / 16);
                n.rgbBlue = add(n.rgbBlue, e[2] * weight[k] / 16);
                source.SetPixelColor(nx, ny, n);
            }
        }
    return result;
}

CLvImage PhotoLike(int w, int h, unsigned seed) {
    CLvImage image(w, h, 24);
    std::mt19937 random(seed);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int noise = int(random() % 21) - 10;
            int r = x * 255 / w + noise, g = y * 255 / h + noise, b = ((x / 7 + y / 5) % 2) * 120 + 60 + noise;
            image.SetPixelColor(x, y, Quad(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255)));
        }
    return image;
}
