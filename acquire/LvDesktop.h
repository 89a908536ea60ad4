#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the program tells the desktop: the wallpaper styles with the values the desktop settings take for
// them, the image extensions the program can be the opener of, and the order of a slide show.

enum LvWallpaperStyle { kLvWallpaperCentered = 0, kLvWallpaperTiled = 1, kLvWallpaperStretched = 2 };

// The values of "WallpaperStyle" and "TileWallpaper" under the user's "Control Panel\desktop".
struct LvWallpaperValues {
    const char* wallpaperStyle;
    const char* tileWallpaper;
};
LvWallpaperValues LvWallpaperValuesFor(int style);

// The wallpaper picture's file name, written in the program's folder of the user's local application data.
extern const char kLvWallpaperFileName[];

// One extension of the association dialog: its box's text and control, the key written under the classes
// root, and the icon resource index inside the program file that the extension shows.
struct LvAssociation {
    const char* label;
    const char* extension;
    int controlId;
    int iconIndex;
};
extern const LvAssociation kLvAssociations[];
extern const int kLvAssociationCount;

// "program,19" and "program %1".
std::string LvAssocIconValue(const std::string& program, int iconIndex);
std::string LvAssocCommandValue(const std::string& program);
// Key names and values of at most this many characters can be written.
const size_t kLvAssocMaxText = 251;
// Whether an open command names this program (and so may be removed by it): the program path, compared
// without regard to case, optionally quoted, followed by nothing or a blank.
bool LvAssociationIsOurs(const std::string& commandValue, const std::string& program);

// Slide order: 0 as listed, 1 reversed, 2 a random permutation drawn with random(n) in [0, n).
enum LvSlideOrderKind { kLvSlideCorrect = 0, kLvSlideReverse = 1, kLvSlideRandom = 2 };
std::vector<int> LvSlideOrder(int count, int order, const std::function<int(int)>& random);

// One tick of the slide timer over count slides with the shared index: the slide to show, the index after
// it, and whether the show ends (the list ran out without repetition). An index that no longer fits a
// shorter list starts again at 0.
struct LvSlideStep {
    int slide;
    int nextIndex;
    bool stop;
};
LvSlideStep LvSlideAdvance(int index, int count, bool repeat);

// The delay box and its slider: milliseconds between slides, and the slider's positions (tenths of seconds).
const int kLvSlideMinDelay = 100;
const int kLvSlideMaxDelay = 60000;
const int kLvSlideDefaultDelay = 3000;
int LvSlideDelayClamp(int64_t milliseconds);
int LvSlideSliderPos(int milliseconds);
int LvSlideDelayOfSlider(int position);
