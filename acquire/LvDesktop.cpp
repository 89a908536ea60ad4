#include "acquire/LvDesktop.h"

#include "res/resource.h"

#include <cctype>

LvWallpaperValues LvWallpaperValuesFor(int style) {
    switch (style) {
    case kLvWallpaperTiled:
        return {"0", "1"};
    case kLvWallpaperStretched:
        return {"2", "0"};
    default:
        return {"0", "0"};
    }
}

const char kLvWallpaperFileName[] = "OblinWallpaper.bmp";

const LvAssociation kLvAssociations[] = {
    {".BMP", ".bmp", IDC_ASSOC_BMP, 12}, {".DIB", ".dib", IDC_ASSOC_DIB, 12}, {".EMF", ".emf", IDC_ASSOC_EMF, 25},
    {".GIF", ".gif", IDC_ASSOC_GIF, 13}, {".ICO", ".ico", IDC_ASSOC_ICO, 14}, {".JPG", ".jpg", IDC_ASSOC_JPG, 19},
    {".WMF", ".wmf", IDC_ASSOC_WMF, 24}, {".PCX", ".pcx", IDC_ASSOC_PCX, 17}, {".PNG", ".png", IDC_ASSOC_PNG, 20},
    {".TGA", ".tga", IDC_ASSOC_TGA, 21}, {".TIF", ".tif", IDC_ASSOC_TIF, 22}, {".WBMP", ".wbmp", IDC_ASSOC_WBMP, 23},
};
const int kLvAssociationCount = int(sizeof(kLvAssociations) / sizeof(kLvAssociations[0]));

std::string LvAssocIconValue(const std::string& program, int iconIndex) {
    return program + "," + std::to_string(iconIndex);
}

std::string LvAssocCommandValue(const std::string& program) {
    return program + " %1";
}

namespace {
bool SameTextNoCase(const std::string& a, size_t at, const std::string& b) {
    if (a.size() < at + b.size()) return false;
    for (size_t i = 0; i < b.size(); i++)
        if (std::tolower(static_cast<unsigned char>(a[at + i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}
} // namespace

bool LvAssociationIsOurs(const std::string& commandValue, const std::string& program) {
    if (program.empty()) return false;
    size_t at = 0;
    const bool quoted = !commandValue.empty() && commandValue[0] == '"';
    if (quoted) at = 1;
    if (!SameTextNoCase(commandValue, at, program)) return false;
    at += program.size();
    if (quoted) {
        if (at >= commandValue.size() || commandValue[at] != '"') return false;
        at++;
    }
    return at == commandValue.size() || commandValue[at] == ' ';
}

std::vector<int> LvSlideOrder(int count, int order, const std::function<int(int)>& random) {
    std::vector<int> slides;
    if (count <= 0) return slides;
    slides.reserve(size_t(count));
    for (int i = 0; i < count; i++)
        slides.push_back(order == kLvSlideReverse ? count - 1 - i : i);
    if (order == kLvSlideRandom) {
        // Fisher-Yates: every permutation equally likely when random is uniform.
        for (int i = count - 1; i > 0; i--) {
            int j = random(i + 1);
            if (j < 0 || j > i) j = i;
            std::swap(slides[size_t(i)], slides[size_t(j)]);
        }
    }
    return slides;
}

LvSlideStep LvSlideAdvance(int index, int count, bool repeat) {
    LvSlideStep step = {0, 0, count <= 0};
    if (count <= 0) return step;
    if (index < 0 || index >= count) index = 0;
    step.slide = index;
    step.nextIndex = index + 1;
    if (step.nextIndex >= count) {
        step.nextIndex = 0;
        step.stop = !repeat;
    }
    return step;
}

int LvSlideDelayClamp(int64_t milliseconds) {
    if (milliseconds < kLvSlideMinDelay) return kLvSlideMinDelay;
    if (milliseconds > kLvSlideMaxDelay) return kLvSlideMaxDelay;
    return int(milliseconds);
}

int LvSlideSliderPos(int milliseconds) {
    return (LvSlideDelayClamp(milliseconds) + 50) / 100;
}

int LvSlideDelayOfSlider(int position) {
    return LvSlideDelayClamp(int64_t(position) * 100);
}
