#pragma once

#include "app/LvSettings.h"
#include "effects/LvOperations.h"

#include <cstdint>
#include <string>
#include <vector>

// The stored parameters of the effects: the values the user last confirmed in each effect's dialog, kept
// per effect in the section "Effect Config\<effect>" of the settings, read by the dialogs as their preset
// and by the batch runs as the effect's parameters. This table is the one description of them.

enum LvConfigType { kLvConfigNumber, kLvConfigText };

struct LvConfigValue {
    const char* effect; // the section's last part ("Adjust Light")
    const char* name;   // the value's name ("Light")
    LvConfigType type;
    int32_t defaultValue;
    const char* defaultText;
    // The dialog's range; a stored number outside it is taken at the nearer end.
    int32_t minValue;
    int32_t maxValue;
    // The operation argument the value gives (operation name and argument index), and how: argument =
    // value x scale + offset. No operation: the value is the dialog's own (the thumbnail's, the resize
    // dialog's mode and sizes).
    const char* operation;
    int argument;
    int32_t scale;
    int32_t offset;
    // Whether the value is kept in the settings; a value that is not starts at its default every time.
    bool kept;
};

// Every value, grouped by effect, in the order the dialogs read and write them.
const std::vector<LvConfigValue>& LvEffectConfigTable();
// "Effect Config\Rotate".
std::string LvEffectSection(const std::string& effect);

// One effect's values, read and written together in the table's order.
class CLvEffectConfig {
public:
    explicit CLvEffectConfig(const std::string& effect);

    // Reads every kept value of the effect: a missing value or one of the wrong type gives the table's
    // default, a number outside the range the nearer end.
    void Read(const CLvSettings& settings);
    // Writes the kept values.
    void Write(CLvSettings& settings) const;

    const std::string& Effect() const { return m_effect; }
    int32_t Number(const std::string& name) const;
    // Kept within the value's range.
    void SetNumber(const std::string& name, int32_t value);
    // A range narrower than the table's, for a dialog whose range depends on the picture; the value is kept
    // within it.
    void SetRange(const std::string& name, int32_t minValue, int32_t maxValue);
    int32_t Min(const std::string& name) const;
    int32_t Max(const std::string& name) const;
    const std::string& Text(const std::string& name) const;
    void SetText(const std::string& name, const std::string& value);
    const std::vector<const LvConfigValue*>& Rows() const { return m_rows; }

private:
    size_t Index(const std::string& name) const;

    std::string m_effect;
    std::vector<const LvConfigValue*> m_rows;
    std::vector<int32_t> m_numbers;
    std::vector<int32_t> m_min, m_max;
    std::vector<std::string> m_texts;
};

// The effect whose stored values give an operation's arguments ("Adjust Light" for "light"), or empty.
std::string LvEffectOfOperation(const std::string& operation);

// The operation's arguments from the effect's stored values. False when the operation takes no stored
// values (its arguments come from its dialog alone).
bool LvArgsFromConfig(const LvOperation& op, const CLvEffectConfig& config, LvArgValue args[4]);
