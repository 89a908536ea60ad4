#include "app/LvEffectConfig.h"

#include "image/LvSizeCheck.h"

namespace {

const char* const kConfigRoot = "Effect Config";
const int32_t kMaxSide = int32_t(kLvMaxPixels);

// A number that gives argument `argument` of `operation` unchanged.
LvConfigValue Arg(const char* effect, const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue,
                  const char* operation, int argument, int32_t scale = 1, int32_t offset = 0) {
    return {effect,   name,      kLvConfigNumber, defaultValue, "",     minValue,
            maxValue, operation, argument,        scale,        offset, true};
}
// A number that gives an argument but is not kept: its dialog starts at the default every time.
LvConfigValue Temp(const char* effect, const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue,
                   const char* operation, int argument) {
    return {effect, name, kLvConfigNumber, defaultValue, "", minValue, maxValue, operation, argument, 1, 0, false};
}
// A number the dialog keeps for itself.
LvConfigValue Own(const char* effect, const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue) {
    return {effect, name, kLvConfigNumber, defaultValue, "", minValue, maxValue, nullptr, 0, 1, 0, true};
}

} // namespace

const std::vector<LvConfigValue>& LvEffectConfigTable() {
    static const std::vector<LvConfigValue> table = {
        Arg("Rotate", "Angle", 0, 0, 360, "rotate", 0),
        // Resize: "Type" 0 takes "Width" and "Height", 1 "Percentage" of both sides.
        Own("Resize", "Type", 0, 0, 1),
        Own("Resize", "Percentage", 0, 0, 10000),
        Own("Resize", "Width", 0, 0, kMaxSide),
        Own("Resize", "Height", 0, 0, kMaxSide),
        Arg("Resize", "InterpolationType", 0, 0, 3, "resize", 2),
        Arg("Dither", "Method", 0, 0, 2, "dither", 0),
        Arg("Threshold", "Radius", 0, 0, 255, "threshold", 0),
        Arg("Colorize", "Hue", 12, 0, 255, "colorize", 0),
        Arg("Colorize", "Satur", 50, 0, 255, "colorize", 1),
        // 100 is no change: the brightness is the value less 100.
        Arg("Adjust Light", "Light", 100, 0, 200, "light", 0, 1, -100),
        Arg("Adjust Light", "Contrast", 0, -100, 100, "light", 1),
        Arg("Emboss", "Emboss", 1, 1, 20, "emboss", 0),
        Arg("Emboss", "Levity", 1, 1, 50, "emboss", 1),
        Arg("Carve", "Emboss", 1, 1, 20, "carve", 0),
        Arg("Carve", "Levity", 1, 1, 50, "carve", 1),
        Arg("Sharpen", "Radius", 1, 1, 10, "sharpen", 0),
        Arg("Soften", "Radius", 1, 1, 10, "soften", 0),
        // Hundredths; the operation takes thousandths.
        Arg("Adjust Gamma", "Gamma", 100, 0, 500, "gamma", 0, 10),
        Arg("Noise", "Radius", 0, 0, 255, "noise", 0),
        Arg("LocalThreshold", "Method", 0, 0, 2, "local-threshold", 0),
        Arg("LocalThreshold", "Kernal", 1, 1, 10, "local-threshold", 1),
        Arg("LocalThreshold", "Constant", 0, 0, 20, "local-threshold", 2),
        Arg("Adjust HSL", "Hue", 0, -100, 100, "hsl", 0),
        Arg("Adjust HSL", "Saturation", 0, -100, 100, "hsl", 1),
        Arg("Adjust HSL", "Light", 0, -100, 100, "hsl", 2),
        Arg("Adjust RGB", "Red", 0, -100, 100, "rgb", 0),
        Arg("Adjust RGB", "Green", 0, -100, 100, "rgb", 1),
        Arg("Adjust RGB", "Blue", 0, -100, 100, "rgb", 2),
        Arg("Mosaic", "Radius", 1, 1, 50, "mosaic", 0),
        Arg("Concave", "Radius", 1, 1, 100, "cone", 0),
        Arg("Project", "Radius", 1, 1, 100, "project", 0),
        Arg("Stripe", "Swing", 35, 0, 100, "stripe", 0),
        Arg("Stripe", "Frequency", 25, 0, 100, "stripe", 1),
        // 0 is the "Horizon" button.
        Arg("Stripe", "Horizon", 0, 0, 1, "stripe", 2),
        Arg("Windy", "Radius", 1, 1, 100, "windy", 0),
        // The "Smooth" box.
        Temp("Windy", "Smooth", 0, 0, 1, "windy", 1),
        Arg("Sphere", "Radius", 1, 1, 100, "sphere", 0),
        Arg("Cylinder", "Radius", 1, 1, 100, "cylinder", 0),
        Arg("Jitter", "Radius", 0, 0, 10, "jitter", 0),
        Arg("Add Edge", "Left", 10, 0, 100, "add-edge", 0),
        Arg("Add Edge", "Top", 10, 0, 100, "add-edge", 1),
        Arg("Add Edge", "Right", 10, 0, 100, "add-edge", 2),
        Arg("Add Edge", "Down", 10, 0, 100, "add-edge", 3),
        // Stored negative; the operation's arguments are the widths to cut off.
        Arg("Erase Edge", "Left", -10, -100, 0, "erase-edge", 0, -1),
        Arg("Erase Edge", "Top", -10, -100, 0, "erase-edge", 1, -1),
        Arg("Erase Edge", "Right", -10, -100, 0, "erase-edge", 2, -1),
        Arg("Erase Edge", "Down", -10, -100, 0, "erase-edge", 3, -1),
        {"Thumbnail", "Mark", kLvConfigText, 0, "", 0, 0, nullptr, 0, 1, 0, true},
        Own("Thumbnail", "Percentage", 50, 1, 100),
        Own("Thumbnail", "Exif", 0, 0, 1),
        // The dialogs whose values are not kept.
        Temp("Gray Stretch", "First X", 50, 0, 255, "gray-stretch", 0),
        Temp("Gray Stretch", "First Y", 30, 0, 255, "gray-stretch", 1),
        Temp("Gray Stretch", "Second X", 200, 0, 255, "gray-stretch", 2),
        Temp("Gray Stretch", "Second Y", 220, 0, 255, "gray-stretch", 3),
        // The range ends at the smallest distance of the selection's box from the picture's edges.
        Temp("Feather", "Radius", 1, 1, 255, "feather", 0),
        Temp("Remove Red-eyes", "Threshold", 128, 0, 255, "red-eye", 0),
        Temp("Pattern", "Transparency", 50, 0, 100, "pattern", 0),
        {"Pattern", "Picture", kLvConfigNumber, 0, "", 0, 255, nullptr, 0, 1, 0, false},
        {"Photo Frame", "Picture", kLvConfigNumber, 0, "", 0, 255, nullptr, 0, 1, 0, false},
    };
    return table;
}

std::string LvEffectSection(const std::string& effect) {
    return std::string(kConfigRoot) + "\\" + effect;
}

CLvEffectConfig::CLvEffectConfig(const std::string& effect) : m_effect(effect) {
    for (const LvConfigValue& row : LvEffectConfigTable()) {
        if (effect != row.effect) continue;
        m_rows.push_back(&row);
        m_numbers.push_back(row.defaultValue);
        m_min.push_back(row.minValue);
        m_max.push_back(row.maxValue);
        m_texts.push_back(row.defaultText);
    }
}

void CLvEffectConfig::Read(const CLvSettings& settings) {
    const std::string section = LvEffectSection(m_effect);
    for (size_t i = 0; i < m_rows.size(); i++) {
        const LvConfigValue& row = *m_rows[i];
        if (!row.kept) continue;
        if (row.type == kLvConfigText) {
            m_texts[i] = settings.ReadText(section, row.name, row.defaultText);
            continue;
        }
        int32_t v = settings.ReadNumber(section, row.name, row.defaultValue);
        m_numbers[i] = v < m_min[i] ? m_min[i] : v > m_max[i] ? m_max[i] : v;
    }
}

void CLvEffectConfig::Write(CLvSettings& settings) const {
    const std::string section = LvEffectSection(m_effect);
    for (size_t i = 0; i < m_rows.size(); i++) {
        if (!m_rows[i]->kept) continue;
        if (m_rows[i]->type == kLvConfigText)
            settings.WriteText(section, m_rows[i]->name, m_texts[i]);
        else
            settings.WriteNumber(section, m_rows[i]->name, m_numbers[i]);
    }
}

size_t CLvEffectConfig::Index(const std::string& name) const {
    for (size_t i = 0; i < m_rows.size(); i++)
        if (name == m_rows[i]->name) return i;
    return m_rows.size();
}

int32_t CLvEffectConfig::Number(const std::string& name) const {
    size_t i = Index(name);
    return i < m_rows.size() ? m_numbers[i] : 0;
}

void CLvEffectConfig::SetNumber(const std::string& name, int32_t value) {
    size_t i = Index(name);
    if (i == m_rows.size()) return;
    m_numbers[i] = value < m_min[i] ? m_min[i] : value > m_max[i] ? m_max[i] : value;
}

void CLvEffectConfig::SetRange(const std::string& name, int32_t minValue, int32_t maxValue) {
    size_t i = Index(name);
    if (i == m_rows.size() || maxValue < minValue) return;
    m_min[i] = minValue;
    m_max[i] = maxValue;
    SetNumber(name, m_numbers[i]);
}

int32_t CLvEffectConfig::Min(const std::string& name) const {
    size_t i = Index(name);
    return i < m_rows.size() ? m_min[i] : 0;
}

int32_t CLvEffectConfig::Max(const std::string& name) const {
    size_t i = Index(name);
    return i < m_rows.size() ? m_max[i] : 0;
}

const std::string& CLvEffectConfig::Text(const std::string& name) const {
    static const std::string none;
    size_t i = Index(name);
    return i < m_rows.size() ? m_texts[i] : none;
}

void CLvEffectConfig::SetText(const std::string& name, const std::string& value) {
    size_t i = Index(name);
    if (i < m_rows.size()) m_texts[i] = value;
}

std::string LvEffectOfOperation(const std::string& operation) {
    for (const LvConfigValue& row : LvEffectConfigTable())
        if (row.operation && operation == row.operation) return row.effect;
    return std::string();
}

bool LvArgsFromConfig(const LvOperation& op, const CLvEffectConfig& config, LvArgValue args[4]) {
    bool any = false;
    for (int i = 0; i < 4; i++)
        args[i] = LvArgValue();
    for (size_t i = 0; i < config.Rows().size(); i++) {
        const LvConfigValue& row = *config.Rows()[i];
        if (!row.operation || std::string(op.name) != row.operation) continue;
        args[row.argument].value = config.Number(row.name) * row.scale + row.offset;
        args[row.argument].given = true;
        any = true;
    }
    if (config.Effect() == "Resize" && std::string(op.name) == "resize") {
        // Percentages in thousandths of a percent, or the stored sides in pixels.
        const bool percent = config.Number("Type") != 0;
        for (int side = 0; side < 2; side++) {
            args[side].percent = percent;
            args[side].given = true;
            args[side].value = percent ? config.Number("Percentage") * 1000 : config.Number(side ? "Height" : "Width");
        }
    }
    return any;
}
