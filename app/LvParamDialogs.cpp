#include "app/LvParamDialogs.h"

#include "res/resource.h"

#include <algorithm>

namespace {

LvDialogControl Slider(int id, const char* value, int readout, const char* suffix = "") {
    return {kLvControlSlider, id, value, readout, suffix, {}, {}, 0, 0, 0};
}
LvDialogControl Radios(int firstId, const char* value, std::vector<int32_t> choices) {
    return {kLvControlRadios, firstId, value, 0, "", choices, {}, 0, 0, 0};
}
LvDialogControl Check(int id, const char* value) {
    return {kLvControlCheck, id, value, 0, "", {}, {}, 0, 0, 0};
}
LvDialogControl List(int id, const char* value, std::vector<std::string> entries) {
    std::vector<int32_t> choices;
    for (size_t i = 0; i < entries.size(); i++)
        choices.push_back(int32_t(i));
    return {kLvControlList, id, value, 0, "", choices, entries, 0, 0, 0};
}
LvDialogControl Edit(int id, const char* value, int32_t editMin, int32_t editMax, int spin = 0) {
    return {kLvControlEdit, id, value, 0, "", {}, {}, spin, editMin, editMax};
}

// The single-value dialog in one of its kinds: caption, slider label, effect and operation.
LvParamDialog Value(int command, const char* caption, const char* label, const char* effect, const char* operation,
                    const char* value = "Radius") {
    return {command,
            IDD_EFFECT_VALUE,
            caption,
            label,
            effect,
            operation,
            kLvDialogPlain,
            true,
            {Slider(IDC_SLIDER1, value, IDC_READOUT1)}};
}

std::vector<std::string> Names(const std::vector<LvFusePicture>& pictures) {
    std::vector<std::string> names;
    for (const LvFusePicture& p : pictures)
        names.push_back(p.name);
    return names;
}

std::vector<LvParamDialog> MakeDialogs() {
    std::vector<LvParamDialog> dialogs = {
        Value(ID_FILTER_SHARPEN, "Sharpen", "Radius", "Sharpen", "sharpen"),
        Value(ID_EFFECT_MOSAIC, "Mosaic", "Radius", "Mosaic", "mosaic"),
        Value(ID_EFFECT_NOISE, "Noise", "Radius", "Noise", "noise"),
        Value(ID_FILTER_SOFTEN, "Soften", "Radius", "Soften", "soften"),
        Value(ID_EFFECT_CONE, "Cone", "Radius", "Concave", "cone"),
        Value(ID_EFFECT_PROJECT, "Project", "Radius", "Project", "project"),
        Value(ID_EFFECT_WINDY, "Windy", "Radius", "Windy", "windy"),
        Value(ID_EFFECT_SPHERE, "Sphere", "Radius", "Sphere", "sphere"),
        Value(ID_EFFECT_CYLINDER, "Cylinder", "Radius", "Cylinder", "cylinder"),
        Value(ID_FILTER_THRESHOLD, "Threshold", "Threshold", "Threshold", "threshold"),
        Value(ID_PHOTO_FEATHER, "Feather", "Radius", "Feather", "feather"),
        Value(ID_TRANS_ROTATE, "Rotate", "Angle", "Rotate", "rotate", "Angle"),
        Value(ID_EFFECT_JITTER, "Jitter", "Angle", "Jitter", "jitter"),
        {ID_FILTER_EMBOSS,
         IDD_EMBOSS,
         nullptr,
         nullptr,
         "Emboss",
         "emboss",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Emboss", IDC_READOUT1), Slider(IDC_SLIDER2, "Levity", IDC_READOUT2)}},
        {ID_FILTER_CARVE,
         IDD_EMBOSS,
         nullptr,
         nullptr,
         "Carve",
         "carve",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Emboss", IDC_READOUT1), Slider(IDC_SLIDER2, "Levity", IDC_READOUT2)}},
        {ID_ADJUST_LIGHT,
         IDD_LIGHT,
         nullptr,
         nullptr,
         "Adjust Light",
         "light",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Light", IDC_READOUT1, "%"), Slider(IDC_SLIDER2, "Contrast", IDC_READOUT2, "%")}},
        {ID_ADJUST_HSL,
         IDD_HSL,
         nullptr,
         nullptr,
         "Adjust HSL",
         "hsl",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Hue", IDC_READOUT1), Slider(IDC_SLIDER2, "Saturation", IDC_READOUT2),
          Slider(IDC_SLIDER3, "Light", IDC_READOUT3)}},
        {ID_ADJUST_RGB,
         IDD_RGB,
         nullptr,
         nullptr,
         "Adjust RGB",
         "rgb",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Red", IDC_READOUT1), Slider(IDC_SLIDER2, "Green", IDC_READOUT2),
          Slider(IDC_SLIDER3, "Blue", IDC_READOUT3)}},
        {ID_ADJUST_GAMMA,
         IDD_GAMMA,
         nullptr,
         nullptr,
         "Adjust Gamma",
         "gamma",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Gamma", IDC_READOUT1)}},
        {ID_ADJUST_COLORIZE,
         IDD_COLORIZE,
         nullptr,
         nullptr,
         "Colorize",
         "colorize",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Hue", IDC_READOUT1), Slider(IDC_SLIDER2, "Satur", IDC_READOUT2)}},
        // The buttons in template order: ordered, Bayer, Floyd-Steinberg.
        {ID_EFFECT_DITHER,
         IDD_DITHER,
         nullptr,
         nullptr,
         "Dither",
         "dither",
         kLvDialogPlain,
         true,
         {Radios(IDC_RADIO1, "Method", {1, 2, 0})}},
        {ID_EFFECT_STRIPE,
         IDD_STRIPE,
         nullptr,
         nullptr,
         "Stripe",
         "stripe",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Swing", IDC_READOUT1), Slider(IDC_SLIDER2, "Frequency", IDC_READOUT2),
          Radios(IDC_RADIO1, "Horizon", {0, 1})}},
        {ID_ADJUST_GRAY_STRETCH,
         IDD_LINEAR,
         nullptr,
         nullptr,
         "Gray Stretch",
         "gray-stretch",
         kLvDialogMapping,
         false,
         {Edit(IDC_EDIT1, "First X", 0, 255), Edit(IDC_EDIT2, "First Y", 0, 255), Edit(IDC_EDIT3, "Second X", 0, 255),
          Edit(IDC_EDIT4, "Second Y", 0, 255)}},
        // The fields take wider numbers than the sliders; the sliders give the values.
        {ID_FILTER_LOCAL_THRESHOLD,
         IDD_LOCAL_THRESHOLD,
         nullptr,
         nullptr,
         "LocalThreshold",
         "local-threshold",
         kLvDialogPlain,
         true,
         {List(IDC_LIST, "Method", {"Mean", "Median", "Mean of Min & Max"}), Edit(IDC_EDIT1, "Kernal", 0, 99),
          Edit(IDC_EDIT2, "Constant", 0, 255), Slider(IDC_SLIDER1, "Kernal", 0), Slider(IDC_SLIDER2, "Constant", 0)}},
        // The mode buttons: "Percentage of the original" is type 1, "Pixels" type 0.
        {ID_TRANS_RESIZE,
         IDD_RESIZE,
         nullptr,
         nullptr,
         "Resize",
         "resize",
         kLvDialogResize,
         false,
         {List(IDC_LIST, "InterpolationType",
               {"Nearest neighbor Interpolation", "Bilinear Interpolation", "B-splines Interpolation",
                "Bicubic Interpolation"}),
          Radios(IDC_RADIO1, "Type", {1, 0}), Edit(IDC_EDIT1, "Percentage", 0, 10000), Edit(IDC_EDIT2, "Width", 0, 0),
          Edit(IDC_EDIT3, "Height", 0, 0)}},
        {ID_TRANS_ADD_EDGE,
         IDD_EDGE,
         "Add Edge",
         nullptr,
         "Add Edge",
         "add-edge",
         kLvDialogPlain,
         false,
         {Edit(IDC_EDIT1, "Left", 0, 100, IDC_SPIN1), Edit(IDC_EDIT2, "Top", 0, 100, IDC_SPIN2),
          Edit(IDC_EDIT3, "Right", 0, 100, IDC_SPIN3), Edit(IDC_EDIT4, "Down", 0, 100, IDC_SPIN4)}},
        {ID_TRANS_ERASE_EDGE,
         IDD_EDGE,
         "Erase Edge",
         nullptr,
         "Erase Edge",
         "erase-edge",
         kLvDialogPlain,
         false,
         {Edit(IDC_EDIT1, "Left", -100, 0, IDC_SPIN1), Edit(IDC_EDIT2, "Top", -100, 0, IDC_SPIN2),
          Edit(IDC_EDIT3, "Right", -100, 0, IDC_SPIN3), Edit(IDC_EDIT4, "Down", -100, 0, IDC_SPIN4)}},
        {ID_PHOTO_PATTERN,
         IDD_PICTURE_FUSE,
         nullptr,
         nullptr,
         "Pattern",
         "pattern",
         kLvDialogPictures,
         true,
         {List(IDC_LIST, "Picture", Names(LvPatternPictures())), Slider(IDC_SLIDER1, "Transparency", IDC_READOUT1)}},
        {ID_PHOTO_FRAME,
         IDD_PICTURE_FUSE,
         nullptr,
         nullptr,
         "Photo Frame",
         "photo-frame",
         kLvDialogPictures,
         true,
         {List(IDC_LIST, "Picture", Names(LvFramePictures()))}},
        {ID_ADJUST_RED_EYE,
         IDD_RED_EYE,
         nullptr,
         nullptr,
         "Remove Red-eyes",
         "red-eye",
         kLvDialogPlain,
         true,
         {Slider(IDC_SLIDER1, "Threshold", IDC_READOUT1)}},
    };
    // The Windy kind shows its "Smooth" box.
    for (LvParamDialog& d : dialogs)
        if (d.command == ID_EFFECT_WINDY) d.controls.push_back(Check(IDC_SMOOTH, "Smooth"));
    return dialogs;
}

} // namespace

const std::vector<LvParamDialog>& LvParamDialogs() {
    static const std::vector<LvParamDialog> dialogs = MakeDialogs();
    return dialogs;
}

int32_t LvFeatherLimit(const CLvImage& image) {
    const RECT& box = image.info.rcSelection;
    const long long limit = std::min(std::min<long long>(box.left, box.bottom),
                                     std::min<long long>(image.GetWidth() - box.right, image.GetHeight() - box.top));
    return int32_t(std::max<long long>(1, std::min<long long>(limit, 255)));
}

bool LvDialogArgs(const LvParamDialog& dialog, const CLvEffectConfig& config, int toolMode, LvArgValue args[4]) {
    const LvOperation* op = LvFindOperation(dialog.operation);
    if (!op) return false;
    LvArgsFromConfig(*op, config, args);
    if (dialog.command == ID_PHOTO_FEATHER) {
        args[1].value = toolMode == kLvToolRectSelection ? 1 : 0;
        args[1].given = true;
    }
    return true;
}

const LvParamDialog* LvFindParamDialog(int command) {
    for (const LvParamDialog& d : LvParamDialogs())
        if (d.command == command) return &d;
    return nullptr;
}

const std::vector<LvFusePicture>& LvPatternPictures() {
    static const std::vector<LvFusePicture> pictures = {
        {IDR_PATTERN_CHECKS, "Checks"}, {IDR_PATTERN_STRIPES, "Stripes"}, {IDR_PATTERN_RINGS, "Rings"},
        {IDR_PATTERN_WAVES, "Waves"},   {IDR_PATTERN_DOTS, "Dots"},       {IDR_PATTERN_CLOUDS, "Clouds"},
    };
    return pictures;
}

const std::vector<LvFusePicture>& LvFramePictures() {
    static const std::vector<LvFusePicture> pictures = {
        {IDR_FRAME_WOOD, "Wood"},     {IDR_FRAME_FILM, "Film"}, {IDR_FRAME_MAT, "Mat"},
        {IDR_FRAME_DOTS, "Red dots"}, {IDR_FRAME_OVAL, "Oval"},
    };
    return pictures;
}
