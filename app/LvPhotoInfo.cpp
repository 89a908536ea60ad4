#include "app/LvPhotoInfo.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

const char* const kLvDefaultThumbnailMark = "Photo by Vesk in 2000.01.01";

namespace {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char small[128];
    va_list again;
    va_copy(again, args);
    const int n = vsnprintf(small, sizeof(small), format, args);
    va_end(args);
    std::string text;
    if (n >= 0 && size_t(n) < sizeof(small)) {
        text.assign(small, size_t(n));
    } else if (n > 0) {
        // A huge value printed with %f runs to hundreds of digits.
        text.resize(size_t(n) + 1);
        vsnprintf(&text[0], text.size(), format, again);
        text.resize(size_t(n));
    }
    va_end(again);
    return text;
}

// (int)(v) of a value from a file, which may lie far outside the range of int.
int TruncatedInt(double v) {
    if (std::isnan(v)) return 0;
    if (v >= double(INT_MAX)) return INT_MAX;
    if (v <= double(INT_MIN)) return INT_MIN;
    return int(v);
}

// A text field of the record, which the reader terminates; the bound keeps a damaged record harmless.
template <size_t N>
std::string Field(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

const char* ProcessName(int process) {
    switch (process) {
    case 0xC0:
        return "Baseline";
    case 0xC1:
        return "Extended sequential";
    case 0xC2:
        return "Progressive";
    case 0xC3:
        return "Lossless";
    case 0xC5:
        return "Differential sequential";
    case 0xC6:
        return "Differential progressive";
    case 0xC7:
        return "Differential lossless";
    case 0xC9:
        return "Extended sequential, arithmetic coding";
    case 0xCA:
        return "Progressive, arithmetic coding";
    case 0xCB:
        return "Lossless, arithmetic coding";
    case 0xCD:
        return "Differential sequential, arithmetic coding";
    case 0xCE:
        return "Differential progressive, arithmetic coding";
    case 0xCF:
        return "Differential lossless, arithmetic coding";
    default:
        return "Unknown";
    }
}

} // namespace

// ---- EXIF report ----

const char* LvOrientationName(int orientation) {
    // How the stored picture is turned relative to the scene (the turn that shows it upright is the reverse).
    static const char* const names[] = {
        "Mirrored left-right",
        "Rotated 180 degrees",
        "Mirrored top-bottom",
        "Mirrored left-right, rotated 90 degrees counter-clockwise",
        "Rotated 90 degrees clockwise",
        "Mirrored left-right, rotated 90 degrees clockwise",
        "Rotated 90 degrees counter-clockwise",
    };
    if (orientation < 2 || orientation > 8) return "Unknown";
    return names[orientation - 2];
}

std::string LvExifReport(const ExifInfo& exif) {
    std::string r;
    const std::string make = Field(exif.szMake);
    if (!make.empty()) {
        r += Format("Camera make  : %s\n", make.c_str());
        r += Format("Camera model : %s\n", Field(exif.szModel).c_str());
    }
    const std::string dateTime = Field(exif.szDateTime);
    if (!dateTime.empty()) r += Format("Date/Time    : %s\n", dateTime.c_str());
    const std::string version = Field(exif.szExifVersion);
    if (!version.empty()) r += Format("Exif version : %s\n", version.c_str());
    r += Format("Width x Height   : %d x %d\n", exif.nWidth, exif.nHeight);
    if (exif.fResolutionUnit != 0 && exif.fXResolution != 0)
        r += Format("X resolution (dpi) : %5.1f\n", double(exif.fXResolution / exif.fResolutionUnit));
    if (exif.fResolutionUnit != 0 && exif.fYResolution != 0)
        r += Format("Y resolution (dpi) : %5.1f\n", double(exif.fYResolution / exif.fResolutionUnit));
    if (exif.nOrientation > 1) r += Format("Orientation  : %s\n", LvOrientationName(exif.nOrientation));
    if (exif.bIsColor == 0) r += "Color/bw     : Black and white\n";
    if (exif.bFlashFired >= 0) r += Format("Flash used   : %s\n", exif.bFlashFired ? "Yes" : "No");
    if (exif.fFocalLength != 0) {
        r += Format("Focal length : %4.1fmm", double(exif.fFocalLength));
        if (exif.fCcdWidth != 0)
            r += Format("  (35mm equivalent: %dmm)",
                        TruncatedInt(double(exif.fFocalLength) / double(exif.fCcdWidth) * 36 + 0.5));
        r += "\n";
    }
    if (exif.fCcdWidth != 0) r += Format("CCD width    : %4.2fmm\n", double(exif.fCcdWidth));
    if (exif.fExposureTime != 0) {
        const double t = exif.fExposureTime;
        r += Format("Exposure time:%6.3f s ", t);
        if (t <= 0.5) r += Format(" (1/%d)", TruncatedInt(1 / t + 0.5));
        r += "\n";
    }
    if (exif.fBrightness != 0) r += Format("Brightness : %6.3f\n", double(exif.fBrightness));
    if (exif.fFNumber != 0) r += Format("Aperture     : f/%3.1f\n", double(exif.fFNumber));
    if (exif.fSubjectDistance != 0) {
        if (exif.fSubjectDistance >= 0)
            r += Format("Focus dist.  : %4.2fm\n", double(exif.fSubjectDistance));
        else
            r += "Focus dist.  : Infinite\n";
    }
    if (exif.nIsoSpeed != 0) r += Format("ISO equiv.   : %2d\n", exif.nIsoSpeed);
    if (exif.fExposureBias != 0) r += Format("Exposure bias:%4.2f\n", double(exif.fExposureBias));
    switch (exif.nLightSource) {
    case 0:
        break;
    case 1:
        r += "Whitebalance : sunny\n";
        break;
    case 2:
        r += "Whitebalance : fluorescent\n";
        break;
    case 3:
        r += "Whitebalance : incandescent\n";
        break;
    default:
        r += "Whitebalance : cloudy\n";
        break;
    }
    switch (exif.nMeteringMode) {
    case 2:
        r += "Metering Mode: center weight\n";
        break;
    case 3:
        r += "Metering Mode: spot\n";
        break;
    case 5:
        r += "Metering Mode: matrix\n";
        break;
    default:
        break;
    }
    switch (exif.nExposureProgram) {
    case 2:
        r += "Exposure     : program (auto)\n";
        break;
    case 3:
        r += "Exposure     : aperture priority (semi-auto)\n";
        break;
    case 4:
        r += "Exposure     : shutter priority (semi-auto)\n";
        break;
    default:
        break;
    }
    // The camera's compression level, which it names by its quality setting.
    switch (exif.nCompressedBpp) {
    case 1:
        r += "Jpeg Quality : basic\n";
        break;
    case 2:
        r += "Jpeg Quality : normal\n";
        break;
    case 4:
        r += "Jpeg Quality : fine\n";
        break;
    default:
        break;
    }
    r += "Encoding      : ";
    r += ProcessName(exif.nProcess);
    r += "\n";
    const size_t commentLength = strnlen(exif.szComment, sizeof(exif.szComment));
    if (commentLength > 0) {
        r += "Comment      : ";
        for (size_t i = 0; i < commentLength; i++) {
            const char c = exif.szComment[i];
            if (c == '\n')
                r += i + 1 < commentLength ? "\nComment      : " : "\n";
            else
                r += c;
        }
    }
    r += "\n";
    return r;
}

// ---- thumbnail ----

void LvThumbnailSize(int width, int height, int percentage, int& newWidth, int& newHeight) {
    const long long p = percentage < 1 ? 1 : percentage > 100 ? 100 : percentage;
    const long long w = (long long)width * p / 100, h = (long long)height * p / 100;
    newWidth = w < 1 ? 1 : int(w);
    newHeight = h < 1 ? 1 : int(h);
}

std::string LvThumbnailExifText(const ExifInfo& exif) {
    std::string text;
    if (exif.fExposureTime != 0) {
        const double t = exif.fExposureTime;
        text += Format("%6.3fs ", t);
        if (t <= 0.5) text += Format("(1/%d)", TruncatedInt(1 / t + 0.5));
    }
    if (exif.fFNumber != 0) text += Format(" f/%3.1f", double(exif.fFNumber));
    return text;
}

std::string LvThumbnailCaption(const std::string& mark, const ExifInfo* exif) {
    std::string caption = mark;
    if (exif) caption += "  " + LvThumbnailExifText(*exif);
    const size_t first = caption.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return caption.substr(first, caption.find_last_not_of(' ') - first + 1);
}

int LvThumbnailFontHeight(int framedHeight) {
    return int((long long)framedHeight * 20 / 1200);
}

bool LvComposeThumbnail(CLvImage& image, int percentage, const std::string& caption, int fontHeight) {
    if (!image.IsValid()) return false;
    int width = 0, height = 0;
    LvThumbnailSize(image.GetWidth(), image.GetHeight(), percentage, width, height);
    if (!image.Resample(width, height, CLvImage::kResampleBilinear)) return false;
    RGBQUAD white = {255, 255, 255, 0}, black = {0, 0, 0, 0};
    image.SetTransColor(white);
    if (!image.AddEdge(1, 1, 1, 1)) return false;
    image.SetTransColor(black);
    if (!image.AddEdge(10, 10, 10, 40)) return false;
    if (!caption.empty()) {
#ifdef _WIN32
        const int textHeight = fontHeight > 0 ? fontHeight : LvThumbnailFontHeight(image.GetHeight());
        const char* const face = "MS Sans Serif";
        const SIZE box = CLvImage::MeasureString(nullptr, caption.c_str(), face, textHeight, FW_BOLD);
        // Right-aligned 5 pixels from the edge; the text box's lower edge lies its own height above the bottom.
        image.DrawString(nullptr, image.GetWidth() - box.cx - 5, image.GetHeight() - box.cy, caption.c_str(), white,
                         face, textHeight, FW_BOLD);
#else
        (void)fontHeight;
#endif
    }
    return image.Shadow();
}

// ---- time stamp ----

std::string LvStampText(int year, int month, int day, int hour, int minute, int second) {
    return Format("%04d.%02d.%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
}

// ---- watermark ----

namespace {

const size_t kMaxNameBytes = 255;

// The first n bytes of a UTF-8 text, or fewer so that no character is cut.
std::string Utf8Prefix(const std::string& text, size_t n) {
    if (text.size() <= n) return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        n--;
    return text.substr(0, n);
}

// The part after the last folder separator of either kind.
std::string LastPart(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name of at most 255 bytes; a longer one loses the end of its stem and keeps its extension.
std::string ShortName(const std::string& name) {
    if (name.size() <= kMaxNameBytes) return name;
    const size_t dot = name.rfind('.');
    const std::string extension = dot != std::string::npos && name.size() - dot < kMaxNameBytes ? name.substr(dot) : "";
    const std::string stem = name.substr(0, name.size() - extension.size());
    return Utf8Prefix(stem, kMaxNameBytes - extension.size()) + extension;
}

// The length of the well-formed UTF-8 character at text[i], or 0 when there is none.
size_t Utf8CharLength(const std::string& text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // bounds of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;  // no overlong forms
        if (c == 0xED) high = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; k++) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

bool IsForbiddenInNames(unsigned char c) {
    return c < 0x20 || strchr("<>:\"/\\|?*", c) != nullptr;
}

std::string Upper(std::string text) {
    for (char& c : text)
        c = char(toupper(static_cast<unsigned char>(c)));
    return text;
}

// Names Windows takes for devices, with or without an extension.
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    base = Upper(base);
    static const char* const fixed[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : fixed)
        if (base == device) return true;
    if (base.size() >= 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        const std::string digit = base.substr(3);
        // A digit, or one of the superscripts one, two and three.
        if ((digit.size() == 1 && isdigit(static_cast<unsigned char>(digit[0]))) || digit == "\xC2\xB9" ||
            digit == "\xC2\xB2" || digit == "\xC2\xB3")
            return true;
    }
    return false;
}

void TrimTrailingDotsAndBlanks(std::string& name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
}

} // namespace

std::vector<uint8_t> LvTextWatermark(const std::string& text) {
    std::vector<uint8_t> payload(1, 0);
    payload.insert(payload.end(), text.begin(), text.end());
    return payload;
}

std::string LvWatermarkFileName(const std::string& path) {
    return ShortName(LastPart(path));
}

LvFileWatermarkResult LvFileWatermark(const std::string& path, std::vector<uint8_t>& payload) {
    payload.clear();
    const std::string name = LvWatermarkFileName(path);
    if (name.empty()) return kLvWatermarkCannotOpen;
    FILE* file = LvOpenFile(path.c_str(), "rb");
    if (!file) return kLvWatermarkCannotOpen;
    payload.push_back(uint8_t(name.size()));
    payload.insert(payload.end(), name.begin(), name.end());
    // Read no further than the longest payload: a larger file is refused without loading it whole.
    LvFileWatermarkResult result = kLvWatermarkReady;
    uint8_t buffer[16384];
    for (;;) {
        const size_t n = fread(buffer, 1, sizeof(buffer), file);
        payload.insert(payload.end(), buffer, buffer + n);
        if (payload.size() > kLvMaxWatermarkBytes) {
            result = kLvWatermarkTooLong;
            break;
        }
        if (n < sizeof(buffer)) {
            if (ferror(file)) result = kLvWatermarkCannotOpen;
            break;
        }
    }
    fclose(file);
    if (result != kLvWatermarkReady) payload.clear();
    return result;
}

LvWatermark LvParseWatermark(const std::vector<uint8_t>& payload) {
    LvWatermark mark;
    if (payload.empty()) return mark;
    const size_t n = payload[0];
    if (1 + n > payload.size()) return mark;
    mark.kind = n == 0 ? kLvWatermarkText : kLvWatermarkFile;
    mark.text.assign(payload.begin() + 1, payload.begin() + 1 + (n == 0 ? payload.size() - 1 : n));
    mark.dataOffset = n == 0 ? payload.size() : 1 + n;
    return mark;
}

std::string LvPlainFileName(const std::string& stored) {
    const std::string last = LastPart(stored);
    std::string name;
    for (size_t i = 0; i < last.size();) {
        const size_t length = Utf8CharLength(last, i);
        if (length == 0) {
            name += '_';
            i++;
        } else if (length == 1 && IsForbiddenInNames(static_cast<unsigned char>(last[i]))) {
            name += '_';
            i++;
        } else {
            name.append(last, i, length);
            i += length;
        }
    }
    // Windows drops trailing dots and blanks, which would make ".." or "CON." out of a harmless-looking name.
    TrimTrailingDotsAndBlanks(name);
    if (IsDeviceName(name)) name = "_" + name;
    name = ShortName(name);
    TrimTrailingDotsAndBlanks(name);
    return name.empty() ? "watermark" : name;
}

bool LvWriteFileReplacing(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    const std::string temporary = path + ".lvtmp";
    FILE* file = LvOpenFile(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = size == 0 || fwrite(data, 1, size, file) == size;
    ok = fflush(file) == 0 && ok;
    ok = fclose(file) == 0 && ok;
    ok = ok && LvReplaceFile(temporary.c_str(), path.c_str());
    if (!ok) LvRemoveFile(temporary.c_str());
    return ok;
}
