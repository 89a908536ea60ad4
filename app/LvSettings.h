#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

// The program's settings: numbers and texts by section and name. On Windows they live in the user's
// registry key of the program; the command-line tool and the tests keep them in memory.
class CLvSettings {
public:
    virtual ~CLvSettings() = default;
    // The stored number, or fallback when there is none or the stored value is not a 32-bit number.
    virtual int32_t ReadNumber(const std::string& section, const std::string& name, int32_t fallback) const = 0;
    // The stored text, or fallback when there is none or the stored value is not a text.
    virtual std::string ReadText(const std::string& section, const std::string& name,
                                 const std::string& fallback) const = 0;
    virtual bool WriteNumber(const std::string& section, const std::string& name, int32_t value) = 0;
    virtual bool WriteText(const std::string& section, const std::string& name, const std::string& value) = 0;
};

// Settings held in memory.
class CLvMemorySettings : public CLvSettings {
public:
    int32_t ReadNumber(const std::string& section, const std::string& name, int32_t fallback) const override {
        auto found = m_numbers.find(Key(section, name));
        return found == m_numbers.end() ? fallback : found->second;
    }
    std::string ReadText(const std::string& section, const std::string& name,
                         const std::string& fallback) const override {
        auto found = m_texts.find(Key(section, name));
        return found == m_texts.end() ? fallback : found->second;
    }
    bool WriteNumber(const std::string& section, const std::string& name, int32_t value) override {
        m_numbers[Key(section, name)] = value;
        return true;
    }
    bool WriteText(const std::string& section, const std::string& name, const std::string& value) override {
        m_texts[Key(section, name)] = value;
        return true;
    }
    size_t Count() const { return m_numbers.size() + m_texts.size(); }

private:
    static std::pair<std::string, std::string> Key(const std::string& section, const std::string& name) {
        return {section, name};
    }
    std::map<std::pair<std::string, std::string>, int32_t> m_numbers;
    std::map<std::pair<std::string, std::string>, std::string> m_texts;
};

// A setting that is on or off, stored as the number 1 or 0.
struct LvSwitchSetting {
    const char* section;
    const char* name;
    bool defaultValue;
};

// View menu, "Rotate by EXIF Orientation": photos are turned the way their camera data say they stand.
constexpr LvSwitchSetting kLvRotateByExif = {"View", "Rotate by EXIF Orientation", true};

// File menu, "Keep camera data when saving": a JPEG saved from a JPEG photo carries its EXIF block and
// colour profile.
constexpr LvSwitchSetting kLvKeepCameraData = {"File", "Keep camera data when saving", true};

inline bool LvReadSwitch(const CLvSettings& settings, const LvSwitchSetting& setting) {
    return settings.ReadNumber(setting.section, setting.name, setting.defaultValue ? 1 : 0) != 0;
}

inline bool LvWriteSwitch(CLvSettings& settings, const LvSwitchSetting& setting, bool on) {
    return settings.WriteNumber(setting.section, setting.name, on ? 1 : 0);
}
