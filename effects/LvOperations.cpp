#include "effects/LvOperations.h"

#include "image/LvSizeCheck.h"
#include "res/resource.h"

#include <cstdio>
#include <cstring>

namespace {

// ---- reading words ----------------------------------------------------------------------------------------

// A decimal number with at most as many decimals as scale allows (scale 1000: three), times scale.
bool ParseScaled(const std::string& word, int32_t scale, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < word.size() && (word[i] == '-' || word[i] == '+')) negative = word[i++] == '-';
    int64_t whole = 0, fraction = 0;
    int64_t fractionScale = scale;
    bool digits = false;
    for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; i++) {
        whole = whole * 10 + (word[i] - '0');
        digits = true;
        if (whole > INT32_MAX) return false;
    }
    if (i < word.size() && word[i] == '.') {
        i++;
        for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; i++) {
            if (fractionScale < 10) {
                if (word[i] != '0') return false; // more decimals than the value can hold
                continue;
            }
            fractionScale /= 10;
            fraction += (word[i] - '0') * fractionScale;
            digits = true;
        }
    }
    if (!digits || i != word.size()) return false;
    int64_t v = whole * scale + fraction;
    out = negative ? -v : v;
    return true;
}

bool ParseChoice(const char* choices, const std::string& word, int32_t& out) {
    int index = 0;
    for (const char* p = choices; *p; index++) {
        const char* end = strchr(p, '|');
        size_t n = end ? size_t(end - p) : strlen(p);
        if (word.size() == n && word.compare(0, n, p, n) == 0) {
            out = index;
            return true;
        }
        p += n;
        if (*p) p++;
    }
    int64_t number;
    if (ParseScaled(word, 1, number) && number >= 0 && number < index) {
        out = int32_t(number);
        return true;
    }
    return false;
}

std::string Describe(const LvOpArg& arg) {
    return arg.kind == kLvArgChoice ? std::string(arg.choices) : std::string(arg.name);
}

// One word as the given argument; false when it is not of the argument's kind.
bool ParseArg(const LvOpArg& arg, const std::string& word, LvArgValue& value) {
    int64_t number = 0;
    value.given = true;
    value.percent = false;
    switch (arg.kind) {
    case kLvArgChoice:
        return ParseChoice(arg.choices, word, value.value);
    case kLvArgSize:
        if (!word.empty() && word.back() == '%') {
            if (!ParseScaled(word.substr(0, word.size() - 1), 1000, number) || number <= 0 || number > 100000000)
                return false;
            value.percent = true;
            value.value = int32_t(number);
            return true;
        }
        if (!ParseScaled(word, 1, number)) return false;
        break;
    case kLvArgDecimal:
        if (!ParseScaled(word, arg.scale, number)) return false;
        break;
    case kLvArgInt:
        if (!ParseScaled(word, 1, number)) return false;
        break;
    }
    if (number < arg.minValue || number > arg.maxValue) return false;
    value.value = int32_t(number);
    return true;
}

// Resize: W and H in pixels or as percentages of the current sides; H left out keeps the picture's
// proportions (the same percentage, or the height the resize dialog works out for W).
bool EncodeResize(const LvArgValue* v, const CLvImage* image, LvOpParams& params, std::string& error) {
    params.p[2] = v[2].value;
    if (!image) {
        // Without the picture only sizes in pixels are known.
        params.p[0] = v[0].percent ? 0 : v[0].value;
        params.p[1] = v[1].given && !v[1].percent ? v[1].value : 0;
        return true;
    }
    const int32_t width = image->GetWidth(), height = image->GetHeight();
    int32_t w = v[0].percent ? LvPercentOf(width, v[0].value) : v[0].value;
    int32_t h;
    if (v[1].given)
        h = v[1].percent ? LvPercentOf(height, v[1].value) : v[1].value;
    else if (v[0].percent)
        h = LvPercentOf(height, v[0].value);
    else
        h = int32_t(double(w) / (double(width) / double(height)));
    if (LvCheckImageSize(w, h, 24) != nullptr) {
        error = "the new size " + std::to_string(w) + " x " + std::to_string(h) + " is not possible";
        return false;
    }
    params.p[0] = w;
    params.p[1] = h;
    return true;
}

// ---- building the table ------------------------------------------------------------------------------------

constexpr LvOpArg Int(const char* name, int32_t low, int32_t high) {
    LvOpArg arg;
    arg.name = name;
    arg.minValue = low;
    arg.maxValue = high;
    return arg;
}
// A decimal number, stored times scale.
constexpr LvOpArg Decimal(const char* name, int32_t low, int32_t high, int32_t scale) {
    LvOpArg arg = Int(name, low, high);
    arg.kind = kLvArgDecimal;
    arg.scale = scale;
    return arg;
}
// Pixels or a percentage of the side.
constexpr LvOpArg Size(const char* name, int32_t low, int32_t high) {
    LvOpArg arg = Int(name, low, high);
    arg.kind = kLvArgSize;
    return arg;
}
// One of the words separated by '|', stored as its position.
constexpr LvOpArg Choice(const char* name, const char* words) {
    LvOpArg arg = Int(name, 0, 0);
    arg.kind = kLvArgChoice;
    arg.choices = words;
    for (const char* c = words; *c; c++)
        if (*c == '|') arg.maxValue++;
    return arg;
}
// An argument that may be left out; it is then 0.
constexpr LvOpArg Optional(LvOpArg arg) {
    arg.optional = true;
    return arg;
}

// One row of the table: the name, the menu command with its text, a line of help and the runner. The chained
// calls give what differs from a menu command without arguments that runs on the worker whenever there is an
// image.
struct Op : LvOperation {
    Op(const char* opName, int command, const char* text, const char* helpLine, LvOpRun runner) {
        name = opName;
        commandId = command;
        menuText = text;
        help = helpLine;
        run = runner;
    }
    template <size_t N>
    Op& Args(const LvOpArg (&list)[N]) {
        static_assert(N <= 4, "an operation takes at most four arguments");
        for (size_t i = 0; i < N; i++)
            args[i] = list[i];
        return *this;
    }
    Op& Encode(LvOpEncode encoder) {
        encode = encoder;
        return *this;
    }
    Op& NeedsSelection() {
        enable = kLvEnableSelection;
        return *this;
    }
    Op& UnderTool(LvMouseTool mouseTool) {
        tool = mouseTool;
        return *this;
    }
    Op& Takes(LvOpInput what) {
        input = what;
        return *this;
    }
    Op& Direct() {
        direct = true;
        return *this;
    }
};

const int32_t kMaxCoordinate = 1 << 28;
const int32_t kMaxMargin = 1 << 16;

// Add Edge and Erase Edge: margins per side, new canvas painted in the foreground colour.
constexpr LvOpArg kMargins[] = {Int("LEFT", 0, kMaxMargin), Int("TOP", 0, kMaxMargin), Int("RIGHT", 0, kMaxMargin),
                                Int("BOTTOM", 0, kMaxMargin)};
bool RunAddEdge(const LvOpCall& c) {
    c.image.SetTransColor(c.context.foreground);
    return c.image.AddEdge(c.P(0), c.P(1), c.P(2), c.P(3));
}

// Built on first use, so that no other static's initialisation can see it half made.
const std::vector<LvOperation>& Operations() {
    static const std::vector<LvOperation> table = {
        // ---- geometric transforms ----
        Op("mirror", ID_TRANS_MIRROR, "&Mirror", "mirror left-right",
           [](const LvOpCall& c) { return c.image.Mirror(); }),
        Op("flip", ID_TRANS_FLIP, "&Flip", "flip top-bottom", [](const LvOpCall& c) { return c.image.Flip(); }),
        Op("rotate-left", ID_TRANS_ROTATE_LEFT, "Rotate &Left", "a quarter turn counter-clockwise",
           [](const LvOpCall& c) { return c.image.RotateLeft(); }),
        Op("rotate-right", ID_TRANS_ROTATE_RIGHT, "Rotate &Right", "a quarter turn clockwise",
           [](const LvOpCall& c) { return c.image.RotateRight(); }),
        Op("rotate-180", ID_TRANS_ROTATE_180, "Rotate &180", "a half turn",
           [](const LvOpCall& c) { return c.image.Rotate180(); }),
        Op("crop", ID_TRANS_CROP, "Crop", "keep a rectangle: pixel edges counted from the top-left corner",
           [](const LvOpCall& c) { return c.image.Crop(c.P(0), c.P(1), c.P(2), c.P(3)); })
            .Args({Int("LEFT", 0, kMaxCoordinate), Int("TOP", 0, kMaxCoordinate), Int("RIGHT", 0, kMaxCoordinate),
                   Int("BOTTOM", 0, kMaxCoordinate)})
            .NeedsSelection()
            .Takes(kLvInputSelectionBox)
            .Direct(),
        Op("add-edge", ID_TRANS_ADD_EDGE, "&Add Edge", "add a border of the foreground colour, in pixels per side",
           RunAddEdge)
            .Args(kMargins),
        Op("erase-edge", ID_TRANS_ERASE_EDGE, "&Erase Edge", "cut pixels off each side", RunAddEdge)
            .Args(kMargins)
            // The margins to remove go to the worker as negative margins.
            .Encode([](const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
                for (int i = 0; i < 4; i++)
                    params.p[i] = -v[i].value;
                return true;
            }),
        Op("region-fill", ID_TRANS_REGION_FILL, "Region &Fill",
           "paint the selection (everything without one) with the foreground colour",
           [](const LvOpCall& c) { return c.image.RegionFill(c.context.foreground); }),

        // ---- resampling and free rotation ----
        Op("resize", ID_TRANS_RESIZE, "Re&size",
           "resample to W x H pixels (or N% of the sides; without H the proportions stay)",
           [](const LvOpCall& c) { return c.image.Resample(c.P(0), c.P(1), c.P(2)); })
            .Args({Size("W", 1, kMaxCoordinate), Optional(Size("H", 1, kMaxCoordinate)),
                   Optional(Choice("TYPE", "nearest|bilinear|bspline|bicubic"))})
            .Encode(EncodeResize),
        Op("rotate", ID_TRANS_ROTATE, "&Rotate",
           "turn clockwise by whole degrees on a canvas that holds the turned picture",
           [](const LvOpCall& c) { return c.image.Rotate(float(c.P(0))); })
            .Args({Int("DEGREES", -360, 360)}),

        // ---- colour adjustments and histogram ----
        Op("negative", ID_ADJUST_NEGATIVE, "&Negative", "invert the colours",
           [](const LvOpCall& c) { return c.image.Negative(); }),
        Op("gray", ID_ADJUST_GRAY_SCALE, "&Gray Scale", "an 8-bit grey picture",
           [](const LvOpCall& c) { return c.image.GrayScale(); }),
        Op("light", ID_ADJUST_LIGHT, "&Lighten / Contrast",
           "add BRIGHTNESS to each channel and change the contrast by CONTRAST percent",
           [](const LvOpCall& c) { return c.image.Light(c.P(0), c.P(1)); })
            .Args({Int("BRIGHTNESS", -100, 100), Int("CONTRAST", -100, 100)})
            // The brightness goes to the worker as its low byte taken as signed.
            .Encode([](const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
                params.p[0] = LvSignedLowByte(v[0].value);
                params.p[1] = v[1].value;
                return true;
            }),
        Op("hsl", ID_ADJUST_HSL, "&Hue / Saturation / Lightness",
           "shift hue (in 1/255 turns), saturation and lightness",
           [](const LvOpCall& c) { return c.image.AdjustHSL(c.Low(0), c.SignedLow(1), c.SignedLow(2)); })
            .Args({Int("HUE", -100, 100), Int("SATURATION", -100, 100), Int("LIGHTNESS", -100, 100)})
            // The worker gets the low bytes of the three values.
            .Encode([](const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
                for (int i = 0; i < 3; i++)
                    params.p[i] = LvLowByte(v[i].value);
                return true;
            }),
        Op("rgb", ID_ADJUST_RGB, "&Red / Green / Blue", "add to the red, green and blue channels",
           [](const LvOpCall& c) { return c.image.ShiftRGB(c.SignedLow(0), c.SignedLow(1), c.SignedLow(2)); })
            .Args({Int("RED", -100, 100), Int("GREEN", -100, 100), Int("BLUE", -100, 100)}),
        // The exponent is p0 thousandths (the dialog's hundredths times ten).
        Op("gamma", ID_ADJUST_GAMMA, "&Gamma", "gamma correction (1 leaves the picture as it is, above 1 brightens)",
           [](const LvOpCall& c) { return c.image.Gamma(float(c.P(0) * 0.001)); })
            .Args({Decimal("GAMMA", 1, 5000, 1000)}),
        Op("exposure", ID_ADJUST_EXPOSURE, "&Exposure", "fold the dark half of every channel up",
           [](const LvOpCall& c) { return c.image.Exposure(); }),
        Op("correct-histogram", ID_ADJUST_CORRECT_HISTOGRAM, "&Correct Histogram",
           "equalise the histogram of each channel", [](const LvOpCall& c) { return c.image.CorrectHistogram(); }),
        Op("gray-stretch", ID_ADJUST_GRAY_STRETCH, "Gray &Stretch",
           "map every channel through the line (0,0) (X1,Y1) (X2,Y2) (255,255)",
           [](const LvOpCall& c) { return c.image.GrayStretch(c.P(0), c.P(1), c.P(2), c.P(3)); })
            .Args({Int("X1", 0, 255), Int("Y1", 0, 255), Int("X2", 0, 255), Int("Y2", 0, 255)}),
        Op("colorize", ID_ADJUST_COLORIZE, "Colo&rize",
           "one hue and saturation, the lightness kept (hue 255 = a full turn)",
           [](const LvOpCall& c) { return c.image.Colorize(c.Low(0), c.Low(1)); })
            .Args({Int("HUE", 0, 255), Int("SATURATION", 0, 255)}),
        Op("sepia", ID_ADJUST_SEPIA, "&Sepia", "colorize with hue 12 and saturation 50",
           [](const LvOpCall& c) { return c.image.Colorize(12, 50); }),
        // A grey picture first (unless it already has a grey ramp), then a hue ramp in its palette.
        Op("pseudo-colors", ID_ADJUST_PSEUDO_COLORS, "Pse&udo Colors", "grey levels shown as a hue ramp",
           [](const LvOpCall& c) {
               if (!c.image.IsGrayScale() && !c.image.GrayScale()) return false;
               return c.image.HuePalette(1.0f);
           })
            .Direct(),
        Op("red-eye", ID_ADJUST_RED_EYE, "&Remove Red-eyes",
           "take the red out of the reddest pixels of the selection (select the eye first)",
           [](const LvOpCall& c) { return c.image.RedEyeReduce(c.Low(0)); })
            .Args({Int("THRESHOLD", 0, 255)})
            .NeedsSelection()
            .UnderTool(kLvToolEllipseSelection),

        // ---- thresholds ----
        Op("threshold", ID_FILTER_THRESHOLD, "T&hreshold (Binary)",
           "black and white: white where the gray value is above LEVEL",
           [](const LvOpCall& c) { return c.image.Threshold(c.Low(0)); })
            .Args({Int("LEVEL", 0, 255)}),
        Op("iteration-threshold", ID_FILTER_ITERATION_THRESHOLD, "&Iteration Threshold",
           "black and white at a level found by iterating class means",
           [](const LvOpCall& c) { return c.image.IterationThreshold(); }),
        Op("otsu-threshold", ID_FILTER_OTSU_THRESHOLD, "Ostu Threshold",
           "black and white at the level with the least spread of the two classes",
           [](const LvOpCall& c) { return c.image.OstuThreshold(); }),
        // p0 chooses the method (another value does nothing), p1 is the kernel size and p2 the constant.
        Op("local-threshold", ID_FILTER_LOCAL_THRESHOLD, "&Local Method Threshold",
           "black and white: white where the pixel is above its KERNEL x KERNEL neighbourhood's statistic less "
           "CONSTANT",
           [](const LvOpCall& c) {
               switch (c.P(0)) {
               case 0:
                   return c.image.LocalThresholdMean(c.P(1), c.P(2));
               case 1:
                   return c.image.LocalThresholdMedian(c.P(1), c.P(2));
               case 2:
                   return c.image.LocalThresholdMinMax(c.P(1), c.P(2));
               default:
                   return true;
               }
           })
            .Args({Choice("METHOD", "mean|median|min-max"), Int("KERNEL", 1, 99), Int("CONSTANT", -255, 255)}),

        // ---- filters and edge detection ----
        Op("emboss", ID_FILTER_EMBOSS, "&Emboss",
           "relief lit from the lower left, on a gray of 127 + BRIGHTNESS (the dialog: depth 1..20, brightness "
           "1..50)",
           [](const LvOpCall& c) { return c.image.Emboss(c.Low(0), c.Low(1)); })
            .Args({Int("DEPTH", 0, 255), Int("BRIGHTNESS", 0, 255)}),
        Op("carve", ID_FILTER_CARVE, "&Carve", "relief lit from the upper right, on a gray of 127 + BRIGHTNESS",
           [](const LvOpCall& c) { return c.image.Carve(c.Low(0), c.Low(1)); })
            .Args({Int("DEPTH", 0, 255), Int("BRIGHTNESS", 0, 255)}),
        Op("soften", ID_FILTER_SOFTEN, "&Soften",
           "blur: the pixel weighs LEVEL against its eight neighbours (the dialog: 1..10)",
           [](const LvOpCall& c) { return c.image.Soften(c.Low(0)); })
            .Args({Int("LEVEL", 0, 255)}),
        Op("sharpen", ID_FILTER_SHARPEN, "S&harpen",
           "sharpen: centre weight 19 - LEVEL, divisor 11 - LEVEL (the dialog: 1..10, 10 the strongest)",
           [](const LvOpCall& c) { return c.image.Sharpen(c.Low(0)); })
            .Args({Int("LEVEL", 0, 255)}),
        Op("erode", ID_FILTER_ERODE, "&Erode", "darkest of each 2 x 2 block",
           [](const LvOpCall& c) { return c.image.Erode(2); }),
        Op("dilate", ID_FILTER_DILATE, "&Dilate", "brightest of each 2 x 2 block",
           [](const LvOpCall& c) { return c.image.Dilate(2); }),
        Op("median", ID_FILTER_MEDIAN, "&Median Smooth", "median of each 3 x 3 block",
           [](const LvOpCall& c) { return c.image.Median(3); }),
        Op("roberts", ID_FILTER_ROBERTS, "&Roberts", "edges by the Roberts cross",
           [](const LvOpCall& c) { return c.image.RobertsEdge(); }),
        Op("prewitt", ID_FILTER_PREWITT, "&Prewitt", "edges by the Prewitt kernels",
           [](const LvOpCall& c) { return c.image.PrewittEdge(); }),
        Op("sobel", ID_FILTER_SOBEL, "&Sobel", "edges by the Sobel kernels",
           [](const LvOpCall& c) { return c.image.SobelEdge(); }),
        Op("isotropic-sobel", ID_FILTER_ISOTROPIC_SOBEL, "&Isotropic Sobel", "edges by the isotropic Sobel kernels",
           [](const LvOpCall& c) { return c.image.IsotropicSobelEdge(); }),
        Op("laplacian-4", ID_FILTER_LAPLACIAN_4, "Laplacian &4", "edges by the 4-neighbour Laplacian",
           [](const LvOpCall& c) { return c.image.Laplacian(4); }),
        Op("laplacian-8", ID_FILTER_LAPLACIAN_8, "Laplacian &8", "edges by the 8-neighbour Laplacian",
           [](const LvOpCall& c) { return c.image.Laplacian(8); }),
        Op("edge-track", ID_FILTER_EDGE_TRACK, "Edge &Track", "follow the brightest edge: a white path on black",
           [](const LvOpCall& c) { return c.image.EdgeTrack(); }),
        Op("box-smooth", ID_FILTER_BOX_SMOOTH, "&Box Smooth (Blur)", "mean of each 3 x 3 block",
           [](const LvOpCall& c) { return c.image.BoxSmooth(); }),
        Op("gauss-smooth", ID_FILTER_GAUSS_SMOOTH, "&Gauss Smooth", "5 x 5 Gaussian blur",
           [](const LvOpCall& c) { return c.image.GaussSmooth(); }),
        Op("conservative-smooth", ID_FILTER_CONSERVATIVE_SMOOTH, "&Conservative Smoothing",
           "pull lone spikes back into the range of their neighbours",
           [](const LvOpCall& c) { return c.image.ConservativeSmooth(3); }),

        // ---- artistic effects ----
        Op("dither", ID_EFFECT_DITHER, "&Dither",
           "black and white by error diffusion, a 4 x 4 ordered matrix or the 8 x 8 Bayer matrix",
           [](const LvOpCall& c) { return c.image.Dither(c.P(0)); })
            .Args({Choice("METHOD", "floyd-steinberg|ordered|bayer")}),
        Op("noise", ID_EFFECT_NOISE, "&Noise", "add random amounts up to LEVEL / 2 to each channel",
           [](const LvOpCall& c) { return c.image.Noise(c.Low(0)); })
            .Args({Int("LEVEL", 0, 255)}),
        Op("mosaic", ID_EFFECT_MOSAIC, "M&osaic", "blocks of SIZE x SIZE pixels in their mean colour",
           [](const LvOpCall& c) { return c.image.Mosaic(c.Low(0)); })
            .Args({Int("SIZE", 2, 255)}),
        Op("jitter", ID_EFFECT_JITTER, "&Jitter",
           "each pixel takes the colour of a random neighbour up to RADIUS away (the dialog: 0..10)",
           [](const LvOpCall& c) { return c.image.Jitter(c.Low(0)); })
            .Args({Int("RADIUS", 0, 255)}),
        Op("pencil-drawing", ID_EFFECT_PENCIL_DRAWING, "Pencil Dr&awing",
           "dark lines on white: the 4-neighbour Laplacian, negated",
           [](const LvOpCall& c) { return c.image.PencilDrawing(); }),
        Op("crayon", ID_EFFECT_CRAYON, "Cra&yon", "the Sobel edges, negated",
           [](const LvOpCall& c) { return c.image.Crayon(); }),
        Op("old-photo", ID_EFFECT_OLD_PHOTO, "Old P&hoto", "noise 25, then colorize with hue 30 and saturation 100",
           [](const LvOpCall& c) { return c.image.OldPhoto(); }),

        // ---- distortion effects ----
        // Windy always blows from the left edge (direction 1); p1 is 1 when the "Smooth" box is checked.
        Op("windy", ID_EFFECT_WINDY, "&Windy",
           "horizontal streaks: each pixel the mean of up to STRENGTH + 1 pixels to its right (rough: a random run "
           "per row)",
           [](const LvOpCall& c) { return c.image.Windy(c.Low(0), 1, c.P(1) == 1); })
            .Args({Int("STRENGTH", 1, 255), Optional(Choice("SMOOTH", "rough|smooth"))}),
        // p2 is the stored "Horizon" value: 0 (the "Horizon" button) shifts the columns.
        Op("stripe", ID_EFFECT_STRIPE, "St&ripe",
           "cosine waves running along DIRECTION, SWING in percent of the side, FREQUENCY in tenths of a half wave",
           [](const LvOpCall& c) { return c.image.Stripe(c.Low(0), c.Low(1), c.Low(2) == 0); })
            .Args({Int("SWING", 0, 255), Int("FREQUENCY", 0, 255), Choice("DIRECTION", "horizontal|vertical")}),
        Op("cone", ID_EFFECT_CONE, "&Cone", "draw the picture together toward the centre (100 the strongest)",
           [](const LvOpCall& c) { return c.image.Cone(c.Low(0)); })
            .Args({Int("RADIUS", 1, 100)}),
        Op("project", ID_EFFECT_PROJECT, "&Project", "enlarge the centre (100 the strongest)",
           [](const LvOpCall& c) { return c.image.Project(c.Low(0)); })
            .Args({Int("RADIUS", 1, 100)}),
        Op("sphere", ID_EFFECT_SPHERE, "Sp&here", "bulge the centre as a sphere (0 changes nothing, 100 the strongest)",
           [](const LvOpCall& c) { return c.image.Sphere(c.Low(0)); })
            .Args({Int("RADIUS", 0, 100)}),
        Op("cylinder", ID_EFFECT_CYLINDER, "Cyli&nder",
           "bulge the columns as a cylinder (0 changes nothing, 100 the strongest)",
           [](const LvOpCall& c) { return c.image.Cylinder(c.Low(0)); })
            .Args({Int("RADIUS", 0, 100)}),
        Op("ellipse", ID_EFFECT_ELLIPSE, "&Ellipse", "map the box onto its inscribed ellipse",
           [](const LvOpCall& c) { return c.image.Ellipse(); }),

        // ---- photo decorations ----
        Op("shadow", ID_PHOTO_SHADOW, "&Shadow", "a white margin and a soft shadow: 16 pixels wider and higher",
           [](const LvOpCall& c) { return c.image.Shadow(); }),
        // Feather and Pattern fade into the foreground colour; p1 of Feather is 1 when the band follows the
        // selection's box (the rectangle selection tool is the current tool).
        Op("feather", ID_PHOTO_FEATHER, "&Feather",
           "fade a band of RADIUS pixels round the selection (its ellipse or its box) into the foreground colour",
           [](const LvOpCall& c) {
               c.image.SetTransColor(c.context.foreground);
               return c.image.Feather(c.P(1) != 0, c.Low(0));
           })
            .Args({Int("RADIUS", 1, 255), Optional(Choice("SHAPE", "ellipse|rectangle"))})
            .NeedsSelection(),
        Op("pattern", ID_PHOTO_PATTERN, "&Pattern",
           "blend toward the foreground colour where the --picture is bright (0 changes nothing)",
           [](const LvOpCall& c) {
               if (!c.context.auxImage) return false;
               c.image.SetTransColor(c.context.foreground);
               return c.image.Pattern(*c.context.auxImage, c.Low(0));
           })
            .Args({Int("TRANSPARENCY", 0, 100)})
            .Takes(kLvInputPicture),
        Op("photo-frame", ID_PHOTO_FRAME, "P&hoto Frame",
           "crop to the selection box and frame it with the --picture, transparent where it has its centre colour",
           [](const LvOpCall& c) { return c.context.auxImage && c.image.PhotoFrame(*c.context.auxImage); })
            .Takes(kLvInputPicture),
    };
    return table;
}

} // namespace

std::string LvArgRangeText(const LvOpArg& arg) {
    char text[96];
    if (arg.kind == kLvArgDecimal) {
        int decimals = 0;
        for (int32_t s = arg.scale; s >= 10; s /= 10)
            decimals++;
        snprintf(text, sizeof(text), "%g..%g with at most %d decimal%s", double(arg.minValue) / arg.scale,
                 double(arg.maxValue) / arg.scale, decimals, decimals == 1 ? "" : "s");
    } else {
        snprintf(text, sizeof(text), "%d..%d", int(arg.minValue), int(arg.maxValue));
    }
    return text;
}

const LvOperation* LvOperationTable(size_t* count) {
    if (count) *count = Operations().size();
    return Operations().data();
}

const LvOperation* LvFindOperation(const std::string& name) {
    for (const LvOperation& op : Operations())
        if (name == op.name) return &op;
    return nullptr;
}

const LvOperation* LvFindOperationByCommand(int commandId) {
    if (commandId == 0) return nullptr;
    for (const LvOperation& op : Operations())
        if (op.commandId == commandId) return &op;
    return nullptr;
}

std::string LvOperationHelp(const LvOperation& op) {
    std::string ranges;
    for (const LvOpArg& arg : op.args) {
        if (!arg.name) break;
        if (arg.kind == kLvArgChoice || arg.kind == kLvArgSize || arg.maxValue > 10000) continue;
        ranges += (ranges.empty() ? "" : ", ") + std::string(arg.name) + " " + LvArgRangeText(arg);
    }
    return std::string(op.help) + (ranges.empty() ? "" : " (" + ranges + ")");
}

std::string LvOperationUsage(const LvOperation& op) {
    std::string usage = op.name;
    for (const LvOpArg& arg : op.args) {
        if (!arg.name) break;
        usage += arg.optional ? " [" + Describe(arg) + "]" : " " + Describe(arg);
    }
    return usage;
}

namespace {

// Parses the words of an operation. With prefixOnly, words that stop before the last required argument are
// fine: the question is only whether they can begin the operation's words.
bool ParseWords(const LvOperation& op, const std::vector<std::string>& words, const CLvImage* image, LvOpParams& params,
                std::string& error, bool prefixOnly) {
    LvArgValue values[4];
    size_t next = 0;
    for (int i = 0; i < 4 && op.args[i].name; i++) {
        const LvOpArg& arg = op.args[i];
        values[i].value = arg.defaultValue;
        if (next < words.size() && ParseArg(arg, words[next], values[i])) {
            next++;
            continue;
        }
        values[i].given = false;
        values[i].value = arg.defaultValue;
        const bool lastArg = i == 3 || !op.args[i + 1].name;
        // An optional argument may be left out, unless its word is the last thing left to explain.
        if (arg.optional && !(lastArg && next < words.size())) continue;
        if (prefixOnly && next >= words.size()) return true;
        if (next < words.size()) {
            error =
                std::string(op.name) + ": " + arg.name + " must be " +
                (arg.kind == kLvArgChoice ? "one of " + std::string(arg.choices)
                                          : LvArgRangeText(arg) + (arg.kind == kLvArgSize ? " or a percentage" : "")) +
                ", not \"" + words[next] + "\"";
        } else {
            error = std::string(op.name) + ": " + arg.name + " is missing (" + LvOperationUsage(op) + ")";
        }
        return false;
    }
    if (next < words.size()) {
        error = std::string(op.name) + ": unexpected \"" + words[next] + "\" (" + LvOperationUsage(op) + ")";
        return false;
    }
    if (prefixOnly) return true;
    return LvEncodeOperation(op, values, image, params, error);
}

} // namespace

bool LvEncodeOperation(const LvOperation& op, const LvArgValue values[4], const CLvImage* image, LvOpParams& params,
                       std::string& error) {
    params = LvOpParams();
    if (op.encode) return op.encode(values, image, params, error);
    for (int i = 0; i < 4; i++)
        params.p[i] = values[i].value;
    return true;
}

bool LvParseOperation(const LvOperation& op, const std::vector<std::string>& words, const CLvImage* image,
                      LvOpParams& params, std::string& error) {
    return ParseWords(op, words, image, params, error, false);
}

bool LvOperationTakesWords(const LvOperation& op, const std::vector<std::string>& words) {
    LvOpParams params;
    std::string error;
    return ParseWords(op, words, nullptr, params, error, true);
}

bool LvRunOperation(const LvOperation& op, CLvImage& image, const LvOpParams& params, const LvOpContext& context) {
    return op.run(LvOpCall{image, params, context});
}

bool LvOperationEnabled(const LvOperation& op, const CLvImage* image, bool busy, int toolMode) {
    if (!image || !image->IsValid() || busy) return false;
    if (op.enable == kLvEnableSelection && !image->pSelection) return false;
    return op.tool == kLvToolAny || op.tool == toolMode;
}

bool LvCropParamsFromSelection(const CLvImage& image, LvOpParams& params) {
    if (!image.IsValid() || !image.pSelection) return false;
    const RECT& box = image.info.rcSelection;
    if (box.right <= box.left || box.top <= box.bottom) return false;
    // The box counts y from the bottom with top exclusive; Crop takes edges counted from the top.
    params = LvOpParams();
    params.p[0] = box.left;
    params.p[1] = image.GetHeight() - box.top;
    params.p[2] = box.right;
    params.p[3] = image.GetHeight() - box.bottom;
    return true;
}

int32_t LvPercentOf(int32_t side, int32_t thousandths) {
    return int32_t(int64_t(side) * thousandths / 100000);
}

bool LvChangeDepth(CLvImage& image, int depth) {
    const int current = image.GetBpp();
    if (depth > current) return image.IncreaseBpp(DWORD(depth));
    if (depth < current) return image.DecreaseBpp(DWORD(depth), true, nullptr);
    return true;
}

void LvNoteOperation(LvPixelHistory& history, const LvOperation* op) {
    const LvTurn turn = op ? LvTurnOfOperationName(op->name) : kLvTurnCount;
    if (turn != kLvTurnCount) {
        history.AddTurn(turn);
        return;
    }
    history.changed = true;
    if (op && strcmp(op->name, "rotate") == 0) history.turned = true;
}
