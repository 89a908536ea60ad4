#include "app/LvRegistrySettings_win.h"

#include "framework/FwApp_win.h"

int32_t CLvRegistrySettings::ReadNumber(const std::string& section, const std::string& name, int32_t fallback) const {
    return m_app.GetProfileNumber(section, name, fallback);
}

std::string CLvRegistrySettings::ReadText(const std::string& section, const std::string& name,
                                          const std::string& fallback) const {
    return m_app.GetProfileText(section, name, fallback);
}

bool CLvRegistrySettings::WriteNumber(const std::string& section, const std::string& name, int32_t value) {
    return m_app.WriteProfileNumber(section, name, value);
}

bool CLvRegistrySettings::WriteText(const std::string& section, const std::string& name, const std::string& value) {
    return m_app.WriteProfileText(section, name, value);
}
