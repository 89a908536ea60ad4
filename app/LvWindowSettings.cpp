#include "app/LvWindowSettings.h"

const char kLvWindowSection[] = "Main Window";

namespace {
const int kMinSide = 100;
const int32_t kMissing = INT32_MIN;

bool ReadFlag(const CLvSettings& s, const char* name, bool fallback) {
    const int32_t v = s.ReadNumber(kLvWindowSection, name, kMissing);
    return v == kMissing ? fallback : v != 0;
}

uint32_t ReadColor(const CLvSettings& s, const char* name, uint32_t fallback) {
    const int32_t v = s.ReadNumber(kLvWindowSection, name, kMissing);
    return v == kMissing || (uint32_t(v) & 0xFF000000u) ? fallback : uint32_t(v);
}
} // namespace

LvWindowState LvReadWindowState(const CLvSettings& settings) {
    LvWindowState state;
    const char* const names[4] = {"Left", "Top", "Right", "Bottom"};
    int32_t v[4];
    bool all = true;
    for (int i = 0; i < 4; i++) {
        v[i] = settings.ReadNumber(kLvWindowSection, names[i], kMissing);
        all = all && v[i] != kMissing;
    }
    if (all && int64_t(v[2]) - v[0] >= kMinSide && int64_t(v[3]) - v[1] >= kMinSide) {
        state.placed = true;
        state.left = v[0];
        state.top = v[1];
        state.right = v[2];
        state.bottom = v[3];
    }
    state.maximized = ReadFlag(settings, "Maximized", state.maximized);
    const int32_t fit = settings.ReadNumber(kLvWindowSection, "Fit Mode", state.fitMode);
    if (fit >= 0 && fit <= 4) state.fitMode = fit;
    state.toolBar = ReadFlag(settings, "Tool Bar", state.toolBar);
    state.colorBar = ReadFlag(settings, "Color Bar", state.colorBar);
    state.foreground = ReadColor(settings, "Foreground", state.foreground);
    state.background = ReadColor(settings, "Background", state.background);
    return state;
}

bool LvWriteWindowState(CLvSettings& settings, const LvWindowState& state) {
    bool ok = true;
    if (state.placed) {
        ok = settings.WriteNumber(kLvWindowSection, "Left", state.left) && ok;
        ok = settings.WriteNumber(kLvWindowSection, "Top", state.top) && ok;
        ok = settings.WriteNumber(kLvWindowSection, "Right", state.right) && ok;
        ok = settings.WriteNumber(kLvWindowSection, "Bottom", state.bottom) && ok;
    }
    ok = settings.WriteNumber(kLvWindowSection, "Maximized", state.maximized ? 1 : 0) && ok;
    ok = settings.WriteNumber(kLvWindowSection, "Fit Mode", state.fitMode) && ok;
    ok = settings.WriteNumber(kLvWindowSection, "Tool Bar", state.toolBar ? 1 : 0) && ok;
    ok = settings.WriteNumber(kLvWindowSection, "Color Bar", state.colorBar ? 1 : 0) && ok;
    ok = settings.WriteNumber(kLvWindowSection, "Foreground", int32_t(state.foreground)) && ok;
    ok = settings.WriteNumber(kLvWindowSection, "Background", int32_t(state.background)) && ok;
    return ok;
}
