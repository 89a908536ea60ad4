#pragma once

#include <string>

// The one conversion between the engine's UTF-8 texts and the UTF-16 of the wide Win32 functions, for file
// names, window texts and fonts alike. Invalid UTF-8 becomes U+FFFD, so a damaged name never turns into
// another existing one.
std::wstring LvUtf8ToWide(const std::string& text);
std::string LvWideToUtf8(const std::wstring& text);
