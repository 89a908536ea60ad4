#include "effects/LvOperations.h"

#include "image/LvSizeCheck.h"

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
    if (arg.kind == kLvArgDecimal)
        snprintf(text, sizeof(text), "%g..%g", double(arg.minValue) / arg.scale, double(arg.maxValue) / arg.scale);
    else
        snprintf(text, sizeof(text), "%d..%d", int(arg.minValue), int(arg.maxValue));
    return text;
}

// ---- encoders: words in the user's units to the worker's parameters ------------------------------------

// Erase Edge: the margins to remove, stored as negative margins.
bool EncodeEraseEdge(const LvArgValue* v, const CLvImage*, LvOpParams& params, std::string&) {
    for (int i = 0; i < 4; i++)
        params.p[i] = -v[i].value;
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

// ---- the table ---------------------------------------------------------------------------------------------

const int32_t kMaxCoordinate = 1 << 28;
const int32_t kMaxMargin = 1 << 16;

const LvOperation kOperations[] = {
    // ---- geometric transforms ----
    {"mirror", 32774, "&Mirror", kLvEnableImage, false, {}, "mirror left-right", nullptr, RunMirror},
    {"flip", 32775, "&Flip", kLvEnableImage, false, {}, "flip top-bottom", nullptr, RunFlip},
    {"rotate-left",
     32855,
     "Rotate &Left",
     kLvEnableImage,
     false,
     {},
     "a quarter turn counter-clockwise",
     nullptr,
     RunRotateLeft},
    {"rotate-right",
     32856,
     "Rotate &Right",
     kLvEnableImage,
     false,
     {},
     "a quarter turn clockwise",
     nullptr,
     RunRotateRight},
    {"rotate-180", 32997, "Rotate &180", kLvEnableImage, false, {}, "a half turn", nullptr, RunRotate180},
    {"crop",
     32848,
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
     32995,
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
     32996,
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
     32979,
     "Region &Fill",
     kLvEnableImage,
     false,
     {},
     "paint the selection (everything without one) with the foreground colour",
     nullptr,
     RunRegionFill},

    // ---- resampling and free rotation ----

    // ---- colour adjustments and histogram ----

    // ---- thresholds ----

    // ---- filters and edge detection ----

    // ---- artistic effects ----

    // ---- distortion effects ----

    // ---- photo decorations ----
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

bool LvParseOperation(const LvOperation& op, const std::vector<std::string>& words, const CLvImage* image,
                      LvOpParams& params, std::string& error) {
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
        if (arg.optional) continue;
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
    params = LvOpParams();
    if (op.encode) return op.encode(values, image, params, error);
    for (int i = 0; i < 4; i++)
        params.p[i] = values[i].value;
    return true;
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

int32_t LvPercentOf(int32_t side, int32_t thousandths) {
    return int32_t(int64_t(side) * thousandths / 100000);
}
