#pragma once

#include "image/LvWinTypes.h"

#include <string>

// The separator of the folders of a path.
#ifdef _WIN32
const char kLvPathSeparator = '\\';
#else
const char kLvPathSeparator = '/';
#endif

// The text after the last "." of a file name's last component; empty when there is none.
std::string GetFileExt(const std::string& name);
// True when the extension, upper-cased, is one the program reads: BMP, GIF, JPG, PNG, ICO, TIF, TGA, PCX,
// WBMP, WMF or EMF.
bool IsSupportedExt(const std::string& ext);
// The format code of an extension (compared upper-cased): BMP 1, GIF 2, JPG 3, PNG 4, ICO 5, TIF 6, TGA 7,
// PCX 8, WBMP 9, WMF 10; anything else, EMF included, 0.
DWORD GetTypeFromExt(const std::string& ext);
// The upper-case extension of format codes 1 to 10 in the same pairing, else the empty text.
std::string GetExtFromType(DWORD format);
