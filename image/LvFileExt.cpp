#include "image/LvFileExt.h"

#include <cctype>

namespace {

// Format codes 1 to 10 in order.
const char* const kExtensions[] = {"BMP", "GIF", "JPG", "PNG", "ICO", "TIF", "TGA", "PCX", "WBMP", "WMF"};

std::string Upper(const std::string& text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return upper;
}

} // namespace

std::string GetFileExt(const std::string& name) {
    // A dot in a folder name is not an extension.
    size_t slash = name.find_last_of("/\\");
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return name.substr(dot + 1);
}

bool IsSupportedExt(const std::string& ext) {
    return GetTypeFromExt(ext) != 0 || Upper(ext) == "EMF";
}

DWORD GetTypeFromExt(const std::string& ext) {
    std::string upper = Upper(ext);
    for (DWORD i = 0; i < sizeof(kExtensions) / sizeof(kExtensions[0]); i++)
        if (upper == kExtensions[i]) return i + 1;
    return 0;
}

std::string GetExtFromType(DWORD format) {
    if (format < 1 || format > sizeof(kExtensions) / sizeof(kExtensions[0])) return std::string();
    return kExtensions[format - 1];
}
