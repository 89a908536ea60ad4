#include "LvEffectTestUtil.h"

#include <cstdio>
#include <cstring>

bool SameValues(const CLvImage& a, const CLvImage& b, std::string* where) {
    char text[160];
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp()) {
        snprintf(text, sizeof(text), "size %dx%dx%d against %dx%dx%d", a.GetWidth(), a.GetHeight(), a.GetBpp(),
                 b.GetWidth(), b.GetHeight(), b.GetBpp());
        if (where) *where = text;
        return false;
    }
    if (a.GetPaletteSize() && memcmp(a.GetPalette(), b.GetPalette(), a.GetPaletteSize()) != 0) {
        if (where) *where = "palettes differ";
        return false;
    }
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++)
            if (Value(a, x, y) != Value(b, x, y)) {
                snprintf(text, sizeof(text), "pixel (%d, %d): %06x against %06x", x, y, Value(a, x, y), Value(b, x, y));
                if (where) *where = text;
                return false;
            }
    return true;
}

bool SameBytes(const CLvImage& a, const CLvImage& b) {
    if (a.GetDibSize() != b.GetDibSize() || !a.GetDib() || !b.GetDib()) return false;
    return memcmp(a.GetDib() + 40, b.GetDib() + 40, a.GetDibSize() - 40) == 0 && a.GetWidth() == b.GetWidth() &&
           a.GetHeight() == b.GetHeight();
}

namespace {
int g_cancelRow = -1;
void CancelHook(CLvImage& image, int nextRow) {
    if (g_cancelRow >= 0 && nextRow >= g_cancelRow) image.info.nEscape = 1;
}
} // namespace

CancelAtRow::CancelAtRow(int row) {
    g_cancelRow = row;
    LvSetRowHookForTesting(CancelHook);
}

CancelAtRow::~CancelAtRow() {
    LvSetRowHookForTesting(nullptr);
    g_cancelRow = -1;
}

RowRun ChangedRowsFromBottom(const CLvImage& a, const CLvImage& b) {
    auto rowEqual = [&](int y) {
        for (int x = 0; x < a.GetWidth(); x++)
            if (Value(a, x, y) != Value(b, x, y)) return false;
        return true;
    };
    RowRun run = {0, true};
    int y = 0;
    while (y < a.GetHeight() && !rowEqual(y))
        y++;
    run.changed = y;
    for (; y < a.GetHeight(); y++)
        if (!rowEqual(y)) run.restEqual = false;
    return run;
}
