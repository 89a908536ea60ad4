#include "acquire/LvAcquire.h"

#include "formats/LvFormatTable.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

bool LvClipCaptureRect(int left, int top, int right, int bottom, int screenWidth, int screenHeight,
                       LvCaptureArea& area) {
    area = LvCaptureArea{0, 0, 0, 0, 0, 0};
    right = std::min(right, screenWidth);
    bottom = std::min(bottom, screenHeight);
    // The visible part starts -left columns into the window; a start that no int can hold cannot be copied.
    if (left == INT32_MIN || top == INT32_MIN) return false;
    if (left < 0) {
        area.sourceX = -left;
        left = 0;
    }
    if (top < 0) {
        area.sourceY = -top;
        top = 0;
    }
    // In 64 bits: a rectangle far off one side must not wrap around into a large positive size.
    const int64_t width = int64_t(right) - left, height = int64_t(bottom) - top;
    if (width < 1 || height < 1) return false;
    area.left = left;
    area.top = top;
    area.width = int(width);
    area.height = int(height);
    return true;
}

std::string LvCaptureFolderName(int year, int month, int day) {
    char text[48];
    snprintf(text, sizeof(text), "%d.%d.%d", year, month, day);
    return text;
}

std::string LvCaptureFileName(int year, int month, int day, int hour, int minute, int second) {
    char text[80];
    snprintf(text, sizeof(text), "%04d.%02d.%02d %02d-%02d-%02d.jpg", year, month, day, hour, minute, second);
    return text;
}

bool LvIsCaptureCandidate(bool visible, int clientWidth, int clientHeight, const std::string& title) {
    return visible && clientWidth >= 5 && clientHeight >= 5 && !title.empty();
}

unsigned LvHotKeyModifiersForRegistration(unsigned controlFlags) {
    unsigned modifiers = 0;
    if (controlFlags & 1) modifiers |= 0x0004; // MOD_SHIFT
    if (controlFlags & 2) modifiers |= 0x0002; // MOD_CONTROL
    if (controlFlags & 4) modifiers |= 0x0001; // MOD_ALT
    return modifiers;
}

std::string LvFirstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

bool LvIsMonitoredAddress(const std::string& text) {
    static const char kPrefix[] = "http://";
    const std::string line = LvFirstLine(text);
    if (line.size() < sizeof(kPrefix) - 1) return false;
    for (size_t i = 0; i + 1 < sizeof(kPrefix); i++)
        if (std::tolower(static_cast<unsigned char>(line[i])) != kPrefix[i]) return false;
    return true;
}

const char* LvDownloadFailureText(int result) {
    switch (result) {
    case kLvDownloadNoSession:
        return "cannot open internet session";
    case kLvDownloadNoConnection:
        return "cannot connect to remote server";
    case kLvDownloadNoRequest:
        return "Failed in call to HttpOpenRequest";
    case kLvDownloadReadError:
        return "An error occurred while downloading the file";
    case kLvDownloadTooLarge:
        return "The file is too large to download (more than 512 MB).";
    default:
        return nullptr;
    }
}

// ---- download buffer ----

LvDownloadBuffer::LvDownloadBuffer(uint64_t limit) : m_limit(limit) {
    Clear();
}

void LvDownloadBuffer::Clear() {
    m_bytes.assign(1, 0);
    m_size = 0;
}

bool LvDownloadBuffer::Reserve(uint64_t length) {
    if (length > m_limit || length + 1 > SIZE_MAX) return false;
    if (length + 1 <= m_bytes.size()) return true;
    try {
        m_bytes.resize(size_t(length) + 1, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool LvDownloadBuffer::Append(const void* data, size_t count) {
    const uint64_t size = uint64_t(m_size) + count;
    if (size > m_limit) return false;
    if (size + 1 > m_bytes.size()) {
        // Double the room (at least 64 KiB) instead of growing by each read.
        uint64_t room = std::max<uint64_t>(uint64_t(m_bytes.size()) * 2, 65536);
        room = std::max(room, size + 1);
        room = std::min(room, m_limit + 1);
        if (!Reserve(room - 1)) return false;
    }
    if (count) memcpy(&m_bytes[m_size], data, count);
    m_size = size_t(size);
    m_bytes[m_size] = 0;
    return true;
}

// ---- download texts and answers ----

std::string LvDownloadProgressText(uint32_t length, uint32_t total, int& position) {
    char text[64];
    if (length != 0) {
        position = int(double(total) / double(length) * 100.0);
        snprintf(text, sizeof(text), "%2d %%", position);
    } else {
        position = 0;
        snprintf(text, sizeof(text), "Downloaded %u Bytes", total);
    }
    return text;
}

uint64_t LvParseContentLength(const std::string& text) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    uint64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); i++) {
        value = value * 10 + uint64_t(text[i] - '0');
        if (value > 0xFFFFFFFFu) return kLvMaxDownloadBytes + 1;
    }
    return value;
}

bool LvHttpStatusFailed(unsigned status, std::string& message) {
    if (status >= 200 && status < 300) return false;
    const char* reason = status == 301 || status == 302 || status == 303 || status == 307 || status == 308
                             ? "Too many redirections"
                         : status == 400 ? "Bad Request"
                         : status == 401 ? "Unauthorized"
                         : status == 403 ? "Forbidden"
                         : status == 404 ? "Not Found"
                         : status == 500 ? "Internal Server Error"
                         : status == 503 ? "Service Unavailable"
                                         : "no picture";
    message = "The server answered " + std::to_string(status) + " (" + reason + ")";
    return true;
}

DWORD LvDownloadFormatOfUrl(const std::string& url) {
    const size_t dot = url.rfind('.');
    if (dot == std::string::npos) return 0;
    const LvFormatInfo* format = LvFindFormatByExtension(url.substr(dot + 1));
    if (!format) return 0;
    switch (format->code) {
    case LVFMT_BMP:
    case LVFMT_JPG:
    case LVFMT_GIF:
    case LVFMT_PNG:
    case LVFMT_ICO:
    case LVFMT_TIF:
    case LVFMT_TGA:
    case LVFMT_PCX:
        return format->code;
    default:
        return 0;
    }
}

std::string LvDownloadFrameTitle(const std::string& url, int frameIndex) {
    const size_t slash = url.rfind('\\');
    return (slash == std::string::npos ? url : url.substr(slash + 1)) + " (" + std::to_string(frameIndex + 1) + ")";
}
