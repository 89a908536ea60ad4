#pragma once

#include "app/LvEffectConfig.h"
#include "image/LvWinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// The parameter dialogs of the image commands, described as data: which template a command's dialog uses,
// its caption, the effect values its controls show and set, and the operation its preview and its command
// run. One dialog class on Windows reads these rows; the tests read them natively.

enum LvControlKind {
    kLvControlSlider, // a horizontal scroll bar over the value's range, with a read-out
    kLvControlRadios, // buttons from id on, one per choice, in template order
    kLvControlCheck,  // checked is 1
    kLvControlList,   // a list box or drop-down list of entries, the value is the entry's choice
    kLvControlEdit,   // a number field; a spin button (spin) or a slider (buddy) may show the same value
};

struct LvDialogControl {
    LvControlKind kind;
    int id;
    const char* value; // the effect value the control shows and sets
    int readout;       // sliders: the read-out's id, 0 without one
    const char* suffix;
    std::vector<int32_t> choices;     // radios and lists: the value of each button or entry
    std::vector<std::string> entries; // lists: the entries' texts
    int spin;                         // edits: the spin button's id, 0 without one
    int32_t editMin;                  // edits: the numbers the field takes (a slider may allow fewer)
    int32_t editMax;
};

enum LvDialogKind {
    kLvDialogPlain,    // the controls and the preview
    kLvDialogResize,   // the size fields follow the mode buttons and the kept ratio
    kLvDialogMapping,  // the preview draws the grey mapping of the four numbers
    kLvDialogPictures, // the list chooses a pattern or frame picture
};

struct LvParamDialog {
    int command;
    int templateId;
    const char* caption; // null keeps the template's
    const char* label;   // the single-value dialog's slider label, null keeps the template's
    const char* effect;  // the effect values (LvEffectConfig)
    const char* operation;
    LvDialogKind kind;
    bool preview;
    std::vector<LvDialogControl> controls;
};

const std::vector<LvParamDialog>& LvParamDialogs();
// The widest feather band the selection leaves room for: the least distance of its box from the picture's
// edges, at least 1.
int32_t LvFeatherLimit(const CLvImage& image);
// The arguments of the dialog's operation from its values: the stored ones, and what the program gives besides
// (Feather follows the selection's box when the rectangle tool is the mouse tool as the dialog opens).
bool LvDialogArgs(const LvParamDialog& dialog, const CLvEffectConfig& config, int toolMode, LvArgValue args[4]);
// The dialog of a command, or null for a command without one.
const LvParamDialog* LvFindParamDialog(int command);

// The pictures the Pattern and Photo Frame dialogs offer: resource and name.
struct LvFusePicture {
    int resource;
    const char* name;
};
const std::vector<LvFusePicture>& LvPatternPictures();
const std::vector<LvFusePicture>& LvFramePictures();
