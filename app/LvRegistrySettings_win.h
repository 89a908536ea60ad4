#pragma once

#include "app/LvSettings.h"

class CFwApp;

// The settings in the program's registry key (HKEY_CURRENT_USER\Software\Quillmarsh\Lumivue): numbers as
// 32-bit values, texts as strings. A value of another registry type reads as missing.
class CLvRegistrySettings : public CLvSettings {
public:
    explicit CLvRegistrySettings(CFwApp& app) : m_app(app) {}
    int32_t ReadNumber(const std::string& section, const std::string& name, int32_t fallback) const override;
    std::string ReadText(const std::string& section, const std::string& name,
                         const std::string& fallback) const override;
    bool WriteNumber(const std::string& section, const std::string& name, int32_t value) override;
    bool WriteText(const std::string& section, const std::string& name, const std::string& value) override;

private:
    CFwApp& m_app;
};
