#include "image/LvFileExt.h"

#include "formats/LvFormatTable.h"

#include <cctype>

namespace {

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

// The eleven names are the format table's upper-case names and the extensions it scans besides them.
bool IsSupportedExt(const std::string& ext) {
    const std::string upper = Upper(ext);
    size_t count = 0;
    const LvFormatInfo* formats = LvFormats(&count);
    for (size_t i = 0; i < count; i++)
        if (upper == formats[i].name || (*formats[i].scannedAlso && upper == formats[i].scannedAlso)) return true;
    return false;
}

DWORD GetTypeFromExt(const std::string& ext) {
    const std::string upper = Upper(ext);
    size_t count = 0;
    const LvFormatInfo* formats = LvFormats(&count);
    for (size_t i = 0; i < count; i++)
        if (upper == formats[i].name) return formats[i].code;
    return 0;
}

std::string GetExtFromType(DWORD format) {
    const LvFormatInfo* f = LvFindFormat(format);
    return f ? f->name : std::string();
}
