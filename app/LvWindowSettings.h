#pragma once

#include "app/LvSettings.h"

#include <cstdint>

// What the main window remembers between runs, in the settings section "Main Window": its normal
// rectangle and whether it was maximised, the fit mode new pictures start in, which bars are shown and the
// colour bar's two colours (0x00BBGGRR).
struct LvWindowState {
    bool placed = false; // a stored rectangle was found (else the window starts maximised)
    int left = 0, top = 0, right = 0, bottom = 0;
    bool maximized = true;
    int fitMode = 1;
    bool toolBar = true;
    bool colorBar = true;
    uint32_t foreground = 0x000000;
    uint32_t background = 0xFFFFFF;
};

extern const char kLvWindowSection[];

// The stored state; values that are missing or out of range keep their defaults (a rectangle smaller than
// the smallest usable window is not taken).
LvWindowState LvReadWindowState(const CLvSettings& settings);
bool LvWriteWindowState(CLvSettings& settings, const LvWindowState& state);
