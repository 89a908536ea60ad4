#include "app/LvEffectPreview.h"

#include "effects/LvRandom.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The arguments that measure pixels, by operation.
struct PixelArguments {
    const char* operation;
    int first, last;
};
const PixelArguments kPixelArguments[] = {
    {"mosaic", 0, 0}, {"jitter", 0, 0}, {"windy", 0, 0}, {"feather", 0, 0}, {"add-edge", 0, 3}, {"erase-edge", 0, 3},
};

} // namespace

bool LvMakePreview(const CLvImage& image, int maxWidth, int maxHeight, CLvImage& preview) {
    if (!image.IsValid() || maxWidth < 1 || maxHeight < 1) return false;
    const int width = image.GetWidth(), height = image.GetHeight(), bpp = image.GetBpp();
    const double scale = std::min(1.0, std::min(double(maxWidth) / width, double(maxHeight) / height));
    const int w = std::max(1, int(width * scale)), h = std::max(1, int(height * scale));
    if (!preview.Create(w, h, bpp, image.GetFormat())) return false;
    if (bpp <= 8) memcpy(preview.GetPalette(), image.GetPalette(), sizeof(RGBQUAD) << bpp);
    std::vector<int> columns(size_t(w), 0);
    for (int x = 0; x < w; x++)
        columns[size_t(x)] = std::min(width - 1, int((x + 0.5) * width / w));
    const int pixelBytes = bpp / 8;
    for (int y = 0; y < h; y++) {
        const int sy = std::min(height - 1, int((y + 0.5) * height / h));
        const BYTE* in = image.GetBits() + size_t(sy) * image.GetEffWidth();
        BYTE* out = preview.GetBits() + size_t(y) * preview.GetEffWidth();
        if (bpp >= 8) {
            for (int x = 0; x < w; x++)
                memcpy(out + size_t(x) * pixelBytes, in + size_t(columns[size_t(x)]) * pixelBytes, size_t(pixelBytes));
        } else {
            for (int x = 0; x < w; x++)
                preview.SetPixelIndex(x, y, image.GetPixelIndex(columns[size_t(x)], sy));
        }
    }
    preview.SetTransColor(image.GetTransColor());
    if (image.pSelection && preview.SelectionCreate()) {
        for (int y = 0; y < h; y++) {
            const int sy = std::min(height - 1, int((y + 0.5) * height / h));
            for (int x = 0; x < w; x++)
                preview.pSelection[size_t(y) * w + x] = image.pSelection[size_t(sy) * width + columns[size_t(x)]];
        }
        const RECT& box = image.info.rcSelection;
        RECT& scaled = preview.info.rcSelection;
        scaled.left = LONG(std::floor(box.left * double(w) / width));
        scaled.right = LONG(std::ceil(box.right * double(w) / width));
        scaled.bottom = LONG(std::floor(box.bottom * double(h) / height));
        scaled.top = LONG(std::ceil(box.top * double(h) / height));
    }
    return true;
}

bool LvRunPreview(const LvOperation& op, const LvArgValue args[4], const CLvImage& source, double scale,
                  const LvOpContext& context, CLvImage& out) {
    LvArgValue scaled[4];
    for (int i = 0; i < 4; i++)
        scaled[i] = args[i];
    for (const PixelArguments& p : kPixelArguments) {
        if (std::string(op.name) != p.operation) continue;
        for (int i = p.first; i <= p.last; i++) {
            if (scaled[i].value == 0) continue;
            int32_t v = int32_t(std::lround(scaled[i].value * scale));
            scaled[i].value = v != 0 ? v : (scaled[i].value > 0 ? 1 : -1);
        }
    }
    LvOpParams params;
    std::string error;
    if (!LvEncodeOperation(op, scaled, &source, params, error)) return false;
    if (!out.Copy(source)) return false;
    // The preview draws from the random source as the command will, and leaves it as it was: the command
    // then gives the picture the preview showed.
    const uint32_t state = LvRandomState();
    const bool ok = LvRunOperation(op, out, params, context);
    LvRandomSeed(state);
    return ok;
}
