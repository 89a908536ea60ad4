#include "effects/LvOperations.h"

#include "image/LvSizeCheck.h"
#include "res/resource.h"

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

std::string RangeText(const LvOpArg& arg) {
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

// ---- encoders: words in the user's units to the worker's parameters ------------------------------------

// Lighten / Contrast: p0 is the low byte of the brightness taken as signed, p1 the contrast.
bool EncodeLight(const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
    params.p[0] = LvSignedLowByte(v[0].value);
    params.p[1] = v[1].value;
    return true;
}

// Hue / Saturation / Lightness: the low bytes of the three values.
bool EncodeHSL(const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
    for (int i = 0; i < 3; i++)
        params.p[i] = LvLowByte(v[i].value);
    return true;
}

// Erase Edge: the margins to remove, stored as negative margins.
bool EncodeEraseEdge(const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
    for (int i = 0; i < 4; i++)
        params.p[i] = -v[i].value;
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

// ---- runners -------------------------------------------------------------------------------------------

bool RunMirror(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Mirror();
}
bool RunFlip(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Flip();
}
bool RunRotateLeft(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.RotateLeft();
}
bool RunRotateRight(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.RotateRight();
}
bool RunRotate180(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Rotate180();
}
bool RunCrop(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Crop(a.p[0], a.p[1], a.p[2], a.p[3]);
}
// Add Edge and Erase Edge paint new canvas in the foreground colour.
bool RunAddEdge(CLvImage& image, const LvOpParams& a, const LvOpContext& context) {
    image.SetTransColor(context.foreground);
    return image.AddEdge(a.p[0], a.p[1], a.p[2], a.p[3]);
}
bool RunRegionFill(CLvImage& image, const LvOpParams&, const LvOpContext& context) {
    return image.RegionFill(context.foreground);
}

bool RunResize(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Resample(a.p[0], a.p[1], a.p[2]);
}
bool RunRotate(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Rotate(float(a.p[0]));
}
bool RunNegative(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Negative();
}
bool RunGrayScale(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.GrayScale();
}
bool RunColorize(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Colorize(LvLowByte(a.p[0]), LvLowByte(a.p[1]));
}
bool RunLight(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Light(a.p[0], a.p[1]);
}
// The exponent is p0 thousandths (the dialog's hundredths times ten).
bool RunGamma(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Gamma(float(a.p[0] * 0.001));
}
bool RunCorrectHistogram(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.CorrectHistogram();
}
bool RunGrayStretch(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.GrayStretch(a.p[0], a.p[1], a.p[2], a.p[3]);
}
bool RunAdjustHSL(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.AdjustHSL(LvLowByte(a.p[0]), LvSignedLowByte(a.p[1]), LvSignedLowByte(a.p[2]));
}
bool RunShiftRGB(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.ShiftRGB(LvSignedLowByte(a.p[0]), LvSignedLowByte(a.p[1]), LvSignedLowByte(a.p[2]));
}
bool RunExposure(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Exposure();
}
bool RunSepia(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Colorize(12, 50);
}
// A grey picture first (unless it already has a grey ramp), then a hue ramp in its palette.
bool RunPseudoColors(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    if (!image.IsGrayScale() && !image.GrayScale()) return false;
    return image.HuePalette(1.0f);
}
bool RunRedEye(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.RedEyeReduce(LvLowByte(a.p[0]));
}

// Thresholds, filters, artistic, distortion and decoration effects.
bool RunThreshold(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Threshold(LvLowByte(a.p[0]));
}
bool RunIterationThreshold(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.IterationThreshold();
}
bool RunOstuThreshold(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.OstuThreshold();
}
// p0 chooses the method (another value does nothing), p1 is the kernel size and p2 the constant.
bool RunLocalThreshold(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    switch (a.p[0]) {
    case 0:
        return image.LocalThresholdMean(a.p[1], a.p[2]);
    case 1:
        return image.LocalThresholdMedian(a.p[1], a.p[2]);
    case 2:
        return image.LocalThresholdMinMax(a.p[1], a.p[2]);
    default:
        return true;
    }
}
bool RunEmboss(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Emboss(LvLowByte(a.p[0]), LvLowByte(a.p[1]));
}
bool RunCarve(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Carve(LvLowByte(a.p[0]), LvLowByte(a.p[1]));
}
bool RunSoften(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Soften(LvLowByte(a.p[0]));
}
bool RunSharpen(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Sharpen(LvLowByte(a.p[0]));
}
bool RunErode(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Erode(2);
}
bool RunDilate(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Dilate(2);
}
bool RunMedian(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Median(3);
}
bool RunRoberts(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.RobertsEdge();
}
bool RunPrewitt(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.PrewittEdge();
}
bool RunSobel(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.SobelEdge();
}
bool RunIsotropicSobel(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.IsotropicSobelEdge();
}
bool RunLaplacian4(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Laplacian(4);
}
bool RunLaplacian8(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Laplacian(8);
}
bool RunEdgeTrack(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.EdgeTrack();
}
bool RunBoxSmooth(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.BoxSmooth();
}
bool RunGaussSmooth(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.GaussSmooth();
}
bool RunConservativeSmooth(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.ConservativeSmooth(3);
}
bool RunDither(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Dither(a.p[0]);
}
bool RunNoise(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Noise(LvLowByte(a.p[0]));
}
bool RunMosaic(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Mosaic(LvLowByte(a.p[0]));
}
bool RunJitter(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Jitter(LvLowByte(a.p[0]));
}
bool RunPencilDrawing(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.PencilDrawing();
}
bool RunCrayon(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Crayon();
}
bool RunOldPhoto(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.OldPhoto();
}
// Windy always blows from the left edge (direction 1); p1 is 1 when the "Smooth" box is checked.
bool RunWindy(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Windy(LvLowByte(a.p[0]), 1, a.p[1] == 1);
}
// p2 is the stored "Horizon" value: 0 (the "Horizon" button) shifts the columns.
bool RunStripe(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Stripe(LvLowByte(a.p[0]), LvLowByte(a.p[1]), LvLowByte(a.p[2]) == 0);
}
bool RunCone(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Cone(LvLowByte(a.p[0]));
}
bool RunProject(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Project(LvLowByte(a.p[0]));
}
bool RunSphere(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Sphere(LvLowByte(a.p[0]));
}
bool RunCylinder(CLvImage& image, const LvOpParams& a, const LvOpContext&) {
    return image.Cylinder(LvLowByte(a.p[0]));
}
bool RunEllipse(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Ellipse();
}
bool RunShadow(CLvImage& image, const LvOpParams&, const LvOpContext&) {
    return image.Shadow();
}
// Feather and Pattern fade into the foreground colour; p1 of Feather is 1 when the band follows the
// selection's box (the rectangle selection tool is the current tool).
bool RunFeather(CLvImage& image, const LvOpParams& a, const LvOpContext& context) {
    image.SetTransColor(context.foreground);
    return image.Feather(a.p[1] != 0, LvLowByte(a.p[0]));
}
bool RunPattern(CLvImage& image, const LvOpParams& a, const LvOpContext& context) {
    if (!context.auxImage) return false;
    image.SetTransColor(context.foreground);
    return image.Pattern(*context.auxImage, LvLowByte(a.p[0]));
}
bool RunPhotoFrame(CLvImage& image, const LvOpParams&, const LvOpContext& context) {
    return context.auxImage && image.PhotoFrame(*context.auxImage);
}

// ---- the table ---------------------------------------------------------------------------------------------

const int32_t kMaxCoordinate = 1 << 28;
const int32_t kMaxMargin = 1 << 16;

const LvOperation kOperations[] = {
    // ---- geometric transforms ----
    {"mirror", ID_TRANS_MIRROR, "&Mirror", kLvEnableImage, false, {}, "mirror left-right", nullptr, RunMirror},
    {"flip", ID_TRANS_FLIP, "&Flip", kLvEnableImage, false, {}, "flip top-bottom", nullptr, RunFlip},
    {"rotate-left",
     ID_TRANS_ROTATE_LEFT,
     "Rotate &Left",
     kLvEnableImage,
     false,
     {},
     "a quarter turn counter-clockwise",
     nullptr,
     RunRotateLeft},
    {"rotate-right",
     ID_TRANS_ROTATE_RIGHT,
     "Rotate &Right",
     kLvEnableImage,
     false,
     {},
     "a quarter turn clockwise",
     nullptr,
     RunRotateRight},
    {"rotate-180", ID_TRANS_ROTATE_180, "Rotate &180", kLvEnableImage, false, {}, "a half turn", nullptr, RunRotate180},
    {"crop",
     ID_TRANS_CROP,
     "Crop",
     kLvEnableSelection,
     true,
     {{"LEFT", kLvArgInt, 0, kMaxCoordinate},
      {"TOP", kLvArgInt, 0, kMaxCoordinate},
      {"RIGHT", kLvArgInt, 0, kMaxCoordinate},
      {"BOTTOM", kLvArgInt, 0, kMaxCoordinate}},
     "keep a rectangle: pixel edges counted from the top-left corner",
     nullptr,
     RunCrop},
    {"add-edge",
     ID_TRANS_ADD_EDGE,
     "&Add Edge",
     kLvEnableImage,
     false,
     {{"LEFT", kLvArgInt, 0, kMaxMargin},
      {"TOP", kLvArgInt, 0, kMaxMargin},
      {"RIGHT", kLvArgInt, 0, kMaxMargin},
      {"BOTTOM", kLvArgInt, 0, kMaxMargin}},
     "add a border of the foreground colour, in pixels per side",
     nullptr,
     RunAddEdge},
    {"erase-edge",
     ID_TRANS_ERASE_EDGE,
     "&Erase Edge",
     kLvEnableImage,
     false,
     {{"LEFT", kLvArgInt, 0, kMaxMargin},
      {"TOP", kLvArgInt, 0, kMaxMargin},
      {"RIGHT", kLvArgInt, 0, kMaxMargin},
      {"BOTTOM", kLvArgInt, 0, kMaxMargin}},
     "cut pixels off each side",
     EncodeEraseEdge,
     RunAddEdge},
    {"region-fill",
     ID_TRANS_REGION_FILL,
     "Region &Fill",
     kLvEnableImage,
     false,
     {},
     "paint the selection (everything without one) with the foreground colour",
     nullptr,
     RunRegionFill},

    // ---- resampling and free rotation ----
    {"resize",
     ID_TRANS_RESIZE,
     "Re&size",
     kLvEnableImage,
     false,
     {{"W", kLvArgSize, 1, kMaxCoordinate},
      {"H", kLvArgSize, 1, kMaxCoordinate, 1, nullptr, true},
      {"TYPE", kLvArgChoice, 0, 3, 1, "nearest|bilinear|bspline|bicubic", true, 0}},
     "resample to W x H pixels (or N% of the sides; without H the proportions stay)",
     EncodeResize,
     RunResize},
    {"rotate",
     ID_TRANS_ROTATE,
     "&Rotate",
     kLvEnableImage,
     false,
     {{"DEGREES", kLvArgInt, -360, 360}},
     "turn clockwise by whole degrees on a canvas that holds the turned picture",
     nullptr,
     RunRotate},

    // ---- colour adjustments and histogram ----
    {"negative",
     ID_ADJUST_NEGATIVE,
     "&Negative",
     kLvEnableImage,
     false,
     {},
     "invert the colours",
     nullptr,
     RunNegative},
    {"gray",
     ID_ADJUST_GRAY_SCALE,
     "&Gray Scale",
     kLvEnableImage,
     false,
     {},
     "an 8-bit grey picture",
     nullptr,
     RunGrayScale},
    {"light",
     ID_ADJUST_LIGHT,
     "&Lighten / Contrast",
     kLvEnableImage,
     false,
     {{"BRIGHTNESS", kLvArgInt, -100, 100}, {"CONTRAST", kLvArgInt, -100, 100}},
     "add BRIGHTNESS to each channel and change the contrast by CONTRAST percent",
     EncodeLight,
     RunLight},
    {"hsl",
     ID_ADJUST_HSL,
     "&Hue / Saturation / Lightness",
     kLvEnableImage,
     false,
     {{"HUE", kLvArgInt, -100, 100}, {"SATURATION", kLvArgInt, -100, 100}, {"LIGHTNESS", kLvArgInt, -100, 100}},
     "shift hue (in 1/255 turns), saturation and lightness",
     EncodeHSL,
     RunAdjustHSL},
    {"rgb",
     ID_ADJUST_RGB,
     "&Red / Green / Blue",
     kLvEnableImage,
     false,
     {{"RED", kLvArgInt, -100, 100}, {"GREEN", kLvArgInt, -100, 100}, {"BLUE", kLvArgInt, -100, 100}},
     "add to the red, green and blue channels",
     nullptr,
     RunShiftRGB},
    {"gamma",
     ID_ADJUST_GAMMA,
     "&Gamma",
     kLvEnableImage,
     false,
     {{"GAMMA", kLvArgDecimal, 1, 5000, 1000}},
     "gamma correction (1 leaves the picture as it is, above 1 brightens)",
     nullptr,
     RunGamma},
    {"exposure",
     ID_ADJUST_EXPOSURE,
     "&Exposure",
     kLvEnableImage,
     false,
     {},
     "fold the dark half of every channel up",
     nullptr,
     RunExposure},
    {"correct-histogram",
     ID_ADJUST_CORRECT_HISTOGRAM,
     "&Correct Histogram",
     kLvEnableImage,
     false,
     {},
     "equalise the histogram of each channel",
     nullptr,
     RunCorrectHistogram},
    {"gray-stretch",
     ID_ADJUST_GRAY_STRETCH,
     "Gray &Stretch",
     kLvEnableImage,
     false,
     {{"X1", kLvArgInt, 0, 255}, {"Y1", kLvArgInt, 0, 255}, {"X2", kLvArgInt, 0, 255}, {"Y2", kLvArgInt, 0, 255}},
     "map every channel through the line (0,0) (X1,Y1) (X2,Y2) (255,255)",
     nullptr,
     RunGrayStretch},
    {"colorize",
     ID_ADJUST_COLORIZE,
     "Colo&rize",
     kLvEnableImage,
     false,
     {{"HUE", kLvArgInt, 0, 255}, {"SATURATION", kLvArgInt, 0, 255}},
     "one hue and saturation, the lightness kept (hue 255 = a full turn)",
     nullptr,
     RunColorize},
    {"sepia",
     ID_ADJUST_SEPIA,
     "&Sepia",
     kLvEnableImage,
     false,
     {},
     "colorize with hue 12 and saturation 50",
     nullptr,
     RunSepia},
    {"pseudo-colors",
     ID_ADJUST_PSEUDO_COLORS,
     "Pse&udo Colors",
     kLvEnableImage,
     true,
     {},
     "grey levels shown as a hue ramp",
     nullptr,
     RunPseudoColors},
    {"red-eye",
     ID_ADJUST_RED_EYE,
     "&Remove Red-eyes",
     kLvEnableEllipse,
     false,
     {{"THRESHOLD", kLvArgInt, 0, 255}},
     "take the red out of the reddest pixels of the selection (select the eye first)",
     nullptr,
     RunRedEye},

    // ---- thresholds ----
    {"threshold",
     ID_FILTER_THRESHOLD,
     "T&hreshold (Binary)",
     kLvEnableImage,
     false,
     {{"LEVEL", kLvArgInt, 0, 255}},
     "black and white: white where the gray value is above LEVEL",
     nullptr,
     RunThreshold},
    {"iteration-threshold",
     ID_FILTER_ITERATION_THRESHOLD,
     "&Iteration Threshold",
     kLvEnableImage,
     false,
     {},
     "black and white at a level found by iterating class means",
     nullptr,
     RunIterationThreshold},
    {"otsu-threshold",
     ID_FILTER_OTSU_THRESHOLD,
     "Ostu Threshold",
     kLvEnableImage,
     false,
     {},
     "black and white at the level with the least spread of the two classes",
     nullptr,
     RunOstuThreshold},
    {"local-threshold",
     ID_FILTER_LOCAL_THRESHOLD,
     "&Local Method Threshold",
     kLvEnableImage,
     false,
     {{"METHOD", kLvArgChoice, 0, 2, 1, "mean|median|min-max"},
      {"KERNEL", kLvArgInt, 1, 99},
      {"CONSTANT", kLvArgInt, -255, 255}},
     "black and white: white where the pixel is above its KERNEL x KERNEL neighbourhood's statistic less CONSTANT",
     nullptr,
     RunLocalThreshold},

    // ---- filters and edge detection ----
    {"emboss",
     ID_FILTER_EMBOSS,
     "&Emboss",
     kLvEnableImage,
     false,
     {{"DEPTH", kLvArgInt, 0, 255}, {"BRIGHTNESS", kLvArgInt, 0, 255}},
     "relief lit from the lower left, on a gray of 127 + BRIGHTNESS (the dialog: depth 1..20, brightness 1..50)",
     nullptr,
     RunEmboss},
    {"carve",
     ID_FILTER_CARVE,
     "&Carve",
     kLvEnableImage,
     false,
     {{"DEPTH", kLvArgInt, 0, 255}, {"BRIGHTNESS", kLvArgInt, 0, 255}},
     "relief lit from the upper right, on a gray of 127 + BRIGHTNESS",
     nullptr,
     RunCarve},
    {"soften",
     ID_FILTER_SOFTEN,
     "&Soften",
     kLvEnableImage,
     false,
     {{"LEVEL", kLvArgInt, 0, 255}},
     "blur: the pixel weighs LEVEL against its eight neighbours (the dialog: 1..10)",
     nullptr,
     RunSoften},
    {"sharpen",
     ID_FILTER_SHARPEN,
     "S&harpen",
     kLvEnableImage,
     false,
     {{"LEVEL", kLvArgInt, 0, 255}},
     "sharpen: centre weight 19 - LEVEL, divisor 11 - LEVEL (the dialog: 1..10, 10 the strongest)",
     nullptr,
     RunSharpen},
    {"erode", ID_FILTER_ERODE, "&Erode", kLvEnableImage, false, {}, "darkest of each 2 x 2 block", nullptr, RunErode},
    {"dilate",
     ID_FILTER_DILATE,
     "&Dilate",
     kLvEnableImage,
     false,
     {},
     "brightest of each 2 x 2 block",
     nullptr,
     RunDilate},
    {"median",
     ID_FILTER_MEDIAN,
     "&Median Smooth",
     kLvEnableImage,
     false,
     {},
     "median of each 3 x 3 block",
     nullptr,
     RunMedian},
    {"roberts",
     ID_FILTER_ROBERTS,
     "&Roberts",
     kLvEnableImage,
     false,
     {},
     "edges by the Roberts cross",
     nullptr,
     RunRoberts},
    {"prewitt",
     ID_FILTER_PREWITT,
     "&Prewitt",
     kLvEnableImage,
     false,
     {},
     "edges by the Prewitt kernels",
     nullptr,
     RunPrewitt},
    {"sobel", ID_FILTER_SOBEL, "&Sobel", kLvEnableImage, false, {}, "edges by the Sobel kernels", nullptr, RunSobel},
    {"isotropic-sobel",
     ID_FILTER_ISOTROPIC_SOBEL,
     "&Isotropic Sobel",
     kLvEnableImage,
     false,
     {},
     "edges by the isotropic Sobel kernels",
     nullptr,
     RunIsotropicSobel},
    {"laplacian-4",
     ID_FILTER_LAPLACIAN_4,
     "Laplacian &4",
     kLvEnableImage,
     false,
     {},
     "edges by the 4-neighbour Laplacian",
     nullptr,
     RunLaplacian4},
    {"laplacian-8",
     ID_FILTER_LAPLACIAN_8,
     "Laplacian &8",
     kLvEnableImage,
     false,
     {},
     "edges by the 8-neighbour Laplacian",
     nullptr,
     RunLaplacian8},
    {"edge-track",
     ID_FILTER_EDGE_TRACK,
     "Edge &Track",
     kLvEnableImage,
     false,
     {},
     "follow the brightest edge: a white path on black",
     nullptr,
     RunEdgeTrack},
    {"box-smooth",
     ID_FILTER_BOX_SMOOTH,
     "&Box Smooth (Blur)",
     kLvEnableImage,
     false,
     {},
     "mean of each 3 x 3 block",
     nullptr,
     RunBoxSmooth},
    {"gauss-smooth",
     ID_FILTER_GAUSS_SMOOTH,
     "&Gauss Smooth",
     kLvEnableImage,
     false,
     {},
     "5 x 5 Gaussian blur",
     nullptr,
     RunGaussSmooth},
    {"conservative-smooth",
     ID_FILTER_CONSERVATIVE_SMOOTH,
     "&Conservative Smoothing",
     kLvEnableImage,
     false,
     {},
     "pull lone spikes back into the range of their neighbours",
     nullptr,
     RunConservativeSmooth},

    // ---- artistic effects ----
    {"dither",
     ID_EFFECT_DITHER,
     "&Dither",
     kLvEnableImage,
     false,
     {{"METHOD", kLvArgChoice, 0, 2, 1, "floyd-steinberg|ordered|bayer"}},
     "black and white by error diffusion, a 4 x 4 ordered matrix or the 8 x 8 Bayer matrix",
     nullptr,
     RunDither},
    {"noise",
     ID_EFFECT_NOISE,
     "&Noise",
     kLvEnableImage,
     false,
     {{"LEVEL", kLvArgInt, 0, 255}},
     "add random amounts up to LEVEL / 2 to each channel",
     nullptr,
     RunNoise},
    {"mosaic",
     ID_EFFECT_MOSAIC,
     "M&osaic",
     kLvEnableImage,
     false,
     {{"SIZE", kLvArgInt, 2, 255}},
     "blocks of SIZE x SIZE pixels in their mean colour",
     nullptr,
     RunMosaic},
    {"jitter",
     ID_EFFECT_JITTER,
     "&Jitter",
     kLvEnableImage,
     false,
     {{"RADIUS", kLvArgInt, 0, 255}},
     "each pixel takes the colour of a random neighbour up to RADIUS away (the dialog: 0..10)",
     nullptr,
     RunJitter},
    {"pencil-drawing",
     ID_EFFECT_PENCIL_DRAWING,
     "Pencil Dr&awing",
     kLvEnableImage,
     false,
     {},
     "dark lines on white: the 4-neighbour Laplacian, negated",
     nullptr,
     RunPencilDrawing},
    {"crayon", ID_EFFECT_CRAYON, "Cra&yon", kLvEnableImage, false, {}, "the Sobel edges, negated", nullptr, RunCrayon},
    {"old-photo",
     ID_EFFECT_OLD_PHOTO,
     "Old P&hoto",
     kLvEnableImage,
     false,
     {},
     "noise 25, then colorize with hue 30 and saturation 100",
     nullptr,
     RunOldPhoto},

    // ---- distortion effects ----
    {"windy",
     ID_EFFECT_WINDY,
     "&Windy",
     kLvEnableImage,
     false,
     {{"STRENGTH", kLvArgInt, 1, 255}, {"SMOOTH", kLvArgChoice, 0, 1, 1, "rough|smooth", true, 0}},
     "horizontal streaks: each pixel the mean of up to STRENGTH + 1 pixels to its right (rough: a random run "
     "per row)",
     nullptr,
     RunWindy},
    {"stripe",
     ID_EFFECT_STRIPE,
     "St&ripe",
     kLvEnableImage,
     false,
     {{"SWING", kLvArgInt, 0, 255},
      {"FREQUENCY", kLvArgInt, 0, 255},
      {"DIRECTION", kLvArgChoice, 0, 1, 1, "horizontal|vertical"}},
     "cosine waves running along DIRECTION, SWING in percent of the side, FREQUENCY in tenths of a half wave",
     nullptr,
     RunStripe},
    {"cone",
     ID_EFFECT_CONE,
     "&Cone",
     kLvEnableImage,
     false,
     {{"RADIUS", kLvArgInt, 1, 100}},
     "draw the picture together toward the centre (100 the strongest)",
     nullptr,
     RunCone},
    {"project",
     ID_EFFECT_PROJECT,
     "&Project",
     kLvEnableImage,
     false,
     {{"RADIUS", kLvArgInt, 1, 100}},
     "enlarge the centre (100 the strongest)",
     nullptr,
     RunProject},
    {"sphere",
     ID_EFFECT_SPHERE,
     "Sp&here",
     kLvEnableImage,
     false,
     {{"RADIUS", kLvArgInt, 0, 100}},
     "bulge the centre as a sphere (0 changes nothing, 100 the strongest)",
     nullptr,
     RunSphere},
    {"cylinder",
     ID_EFFECT_CYLINDER,
     "Cyli&nder",
     kLvEnableImage,
     false,
     {{"RADIUS", kLvArgInt, 0, 100}},
     "bulge the columns as a cylinder (0 changes nothing, 100 the strongest)",
     nullptr,
     RunCylinder},
    {"ellipse",
     ID_EFFECT_ELLIPSE,
     "&Ellipse",
     kLvEnableImage,
     false,
     {},
     "map the box onto its inscribed ellipse",
     nullptr,
     RunEllipse},

    // ---- photo decorations ----
    {"shadow",
     ID_PHOTO_SHADOW,
     "&Shadow",
     kLvEnableImage,
     false,
     {},
     "a white margin and a soft shadow: 16 pixels wider and higher",
     nullptr,
     RunShadow},
    {"feather",
     ID_PHOTO_FEATHER,
     "&Feather",
     kLvEnableSelection,
     false,
     {{"RADIUS", kLvArgInt, 1, 255}, {"SHAPE", kLvArgChoice, 0, 1, 1, "ellipse|rectangle", true, 0}},
     "fade a band of RADIUS pixels round the selection (its ellipse or its box) into the foreground colour",
     nullptr,
     RunFeather},
    {"pattern",
     ID_PHOTO_PATTERN,
     "&Pattern",
     kLvEnableImage,
     false,
     {{"TRANSPARENCY", kLvArgInt, 0, 100}},
     "blend toward the foreground colour where the --picture is bright (0 changes nothing)",
     nullptr,
     RunPattern},
    {"photo-frame",
     ID_PHOTO_FRAME,
     "P&hoto Frame",
     kLvEnableImage,
     false,
     {},
     "crop to the selection box and frame it with the --picture, transparent where it has its centre colour",
     nullptr,
     RunPhotoFrame},
};

} // namespace

const LvOperation* LvOperationTable(size_t* count) {
    if (count) *count = sizeof(kOperations) / sizeof(kOperations[0]);
    return kOperations;
}

const LvOperation* LvFindOperation(const std::string& name) {
    for (const LvOperation& op : kOperations)
        if (name == op.name) return &op;
    return nullptr;
}

const LvOperation* LvFindOperationByCommand(int commandId) {
    if (commandId == 0) return nullptr;
    for (const LvOperation& op : kOperations)
        if (op.commandId == commandId) return &op;
    return nullptr;
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
            error = std::string(op.name) + ": " + arg.name + " must be " +
                    (arg.kind == kLvArgChoice ? "one of " + std::string(arg.choices)
                                              : RangeText(arg) + (arg.kind == kLvArgSize ? " or a percentage" : "")) +
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
    params = LvOpParams();
    if (op.encode) return op.encode(values, image, params, error);
    for (int i = 0; i < 4; i++)
        params.p[i] = values[i].value;
    return true;
}

} // namespace

bool LvParseOperation(const LvOperation& op, const std::vector<std::string>& words, const CLvImage* image,
                      LvOpParams& params, std::string& error) {
    return ParseWords(op, words, image, params, error, false);
}

bool LvOperationTakesWords(const LvOperation& op, const std::vector<std::string>& words) {
    LvOpParams params;
    std::string error;
    return ParseWords(op, words, nullptr, params, error, true);
}

bool LvOperationNeedsPicture(const LvOperation& op) {
    return op.run == RunPattern || op.run == RunPhotoFrame;
}

bool LvRunOperation(const LvOperation& op, CLvImage& image, const LvOpParams& params, const LvOpContext& context) {
    return op.run(image, params, context);
}

bool LvOperationEnabled(const LvOperation& op, const CLvImage* image, bool busy, int toolMode) {
    if (!image || !image->IsValid() || busy) return false;
    switch (op.enable) {
    case kLvEnableImage:
        return true;
    case kLvEnableSelection:
        return image->pSelection != nullptr;
    case kLvEnableEllipse:
        return image->pSelection != nullptr && toolMode == 5;
    }
    return false;
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
