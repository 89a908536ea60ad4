#include "app/LvDocRules.h"

#include "formats/LvFormatTable.h"
#include "image/LvFileExt.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "*.jpg;*.jpeg" of "jpg;jpeg".
std::string Pattern(const char* extensions) {
    std::string pattern = "*.";
    for (const char* p = extensions; *p; p++)
        pattern += *p == ';' ? std::string(";*.") : std::string(1, *p);
    return pattern;
}

} // namespace

DWORD LvLoadFormatFromExt(const std::string& ext) {
    const LvFormatInfo* f = LvFindFormatByExtension(ext);
    return f ? f->code : 0;
}

DWORD LvSaveFormatFromExt(const std::string& ext) {
    const LvFormatInfo* f = LvFindFormatByExtension(ext);
    return f && f->writable ? f->code : 0;
}

DWORD LvLoadFormatOfPath(const std::string& path) {
    return LvLoadFormatFromExt(GetFileExt(path));
}

DWORD LvSaveFormatOfPath(const std::string& path) {
    return LvSaveFormatFromExt(GetFileExt(path));
}

const std::vector<LvFileType>& LvFileTypes() {
    static const std::vector<LvFileType> types = [] {
        std::vector<LvFileType> rows;
        size_t count = 0;
        const LvFormatInfo* formats = LvFormats(&count);
        std::string all;
        for (size_t i = 0; i < count; i++)
            all += Pattern(formats[i].extensions) + ";";
        // The first row also lists three kinds of file the program has no reader for; choosing one opens
        // nothing.
        all += "*.j2k;*.jp2;*.jbg";
        rows.push_back({-1, true, true, "All Supported Image files", all});
        for (size_t i = 0; i < count; i++)
            rows.push_back({int(formats[i].code), true, formats[i].writable, formats[i].description,
                            Pattern(formats[i].extensions)});
        return rows;
    }();
    return types;
}

std::string LvFileFilter(bool open) {
    std::string filter;
    for (const LvFileType& t : LvFileTypes()) {
        if (!(open ? t.open : t.save)) continue;
        filter += t.description;
        filter += '\0';
        filter += t.pattern;
        filter += '\0';
    }
    filter += '\0';
    return filter;
}

int LvFilterIndexOf(int code, bool open) {
    int jpeg = 0;
    int position = 0;
    for (const LvFileType& t : LvFileTypes()) {
        if (!(open ? t.open : t.save)) continue;
        position++;
        if (t.code == code && code != 0) return position;
        if (t.code == 3) jpeg = position;
    }
    return jpeg;
}

int LvFormatOfFilterIndex(int index, bool open) {
    int position = 0;
    for (const LvFileType& t : LvFileTypes()) {
        if (!(open ? t.open : t.save)) continue;
        if (++position == index) return t.code;
    }
    return 0;
}

namespace {

// The first extension of a dialog pattern: "jpg" of "*.jpg;*.jpeg". Whole, so that a name made with it can be
// saved and opened again ("wbmp", not a cut "wbm").
std::string FirstExtension(const std::string& p) {
    return p.substr(2, p.find(';') == std::string::npos ? std::string::npos : p.find(';') - 2);
}

} // namespace

std::string LvDefaultExtension(int code, bool open) {
    int index = LvFilterIndexOf(code, open);
    int position = 0;
    for (const LvFileType& t : LvFileTypes()) {
        if (!(open ? t.open : t.save)) continue;
        if (++position == index) return FirstExtension(t.pattern);
    }
    return "jpg";
}

bool LvCanSaveFormat(DWORD format) {
    for (const LvFileType& t : LvFileTypes())
        if (t.code > 0 && DWORD(t.code) == format) return t.save;
    return false;
}

std::string LvProposedSaveName(const std::string& pathName, const std::string& title, bool replace, DWORD format) {
    std::string name = pathName;
    if (replace && name.empty()) {
        name = title.find_first_of("#%;/\\") == std::string::npos ? title : "UntitledImage";
        for (const LvFileType& t : LvFileTypes()) {
            if (t.code > 0 && DWORD(t.code) == format) {
                name += "." + FirstExtension(t.pattern);
                break;
            }
        }
    }
    return name;
}

std::string LvMailAttachmentName(const std::string& title, DWORD format) {
    std::string name = title.empty() ? std::string("UntitledImage") : title;
    for (char& c : name)
        if (strchr("\\/:*?\"<>|", c) || (unsigned char)c < 32) c = '_';
    if (LvSaveFormatFromExt(GetFileExt(name)) == 0) name += "." + LvDefaultExtension(int(format), false);
    return name;
}

std::string LvFrameTitle(const std::string& fileTitle, int frameIndex) {
    return fileTitle + " (" + std::to_string(frameIndex + 1) + ") frame";
}

std::string LvDuplicateTitle(int count, const std::string& title) {
    return "Copy " + std::to_string(count) + " of " + title;
}

std::string LvSizeText(int width, int height, int bpp, DWORD format) {
    char text[64];
    snprintf(text, sizeof(text), "%dx%dx%db   ", width, height, bpp);
    return text + GetExtFromType(format);
}

std::string LvTimeText(float elapsed) {
    char text[64];
    snprintf(text, sizeof(text), "Time : %.3f s", double(elapsed));
    return text;
}

std::string LvZoomText(float zoom, float fitFactor) {
    char text[64];
    snprintf(text, sizeof(text), "%d %%", int(zoom * fitFactor * 100));
    return text;
}

std::string LvProgressText(int percent) {
    char text[32];
    snprintf(text, sizeof(text), "%02d %%", percent);
    return text;
}

float LvElapsedSeconds(int64_t start, int64_t end, int64_t frequency) {
    if (frequency == 0) return -1.0f;
    uint32_t ticks = uint32_t(uint64_t(end)) - uint32_t(uint64_t(start));
    return float(double(ticks) / double(frequency));
}

bool LvIsWalkable(const std::string& name) {
    return IsSupportedExt(GetFileExt(name));
}

int LvFindFileIndex(const std::string& folder, const std::vector<std::string>& names, const std::string& path,
                    int current) {
    const std::string wanted = Lower(path);
    for (size_t i = 0; i < names.size(); i++)
        if (Lower(folder + names[i]) == wanted) return int(i);
    return current;
}

std::string LvFolderOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool LvWalkEnabled(LvWalk walk, int index, int count) {
    switch (walk) {
    case kLvWalkPrev:
        return index >= 1;
    case kLvWalkNext:
        return index + 1 < count;
    case kLvWalkFirst:
    case kLvWalkLast:
        return count >= 1;
    }
    return false;
}

bool LvWalkTarget(LvWalk walk, int index, int count, int& target) {
    switch (walk) {
    case kLvWalkPrev:
        target = index - 1;
        break;
    case kLvWalkNext:
        target = index + 1;
        break;
    case kLvWalkFirst:
        target = 0;
        break;
    case kLvWalkLast:
        target = count - 1;
        break;
    }
    return target >= 0 && target < count;
}

bool LvModifiedAfterUndo(bool wasModified, int newLevel) {
    return !wasModified || newLevel != 0;
}
