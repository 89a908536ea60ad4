#pragma once

#include "image/LvWinTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The rules of the acquisition commands that need no window: where a capture's pixels lie on the screen and
// where its file goes, which windows the capture dialog lists, which clipboard texts start a download, and
// the download's buffer, progress texts, HTTP answers and decoding format.

// ---- screen capture ----

// The part of a window's rectangle (screen coordinates) that lies on a screen of the given size: where it is
// on the screen, and the offset of its first visible pixel inside the window.
struct LvCaptureArea {
    int left, top, width, height;
    int sourceX, sourceY;
};
// False when nothing of the rectangle is on the screen.
bool LvClipCaptureRect(int left, int top, int right, int bottom, int screenWidth, int screenHeight,
                       LvCaptureArea& area);

// The subfolder of "Capture" for a date ("2004.3.7") and a capture's file name ("2004.03.07 09-05-02.jpg").
std::string LvCaptureFolderName(int year, int month, int day);
std::string LvCaptureFileName(int year, int month, int day, int hour, int minute, int second);

// The capture dialog lists "Desktop" and at most this many windows.
constexpr size_t kLvCaptureListMax = 253;
// Whether a top-level window belongs in the capture dialog's list.
bool LvIsCaptureCandidate(bool visible, int clientWidth, int clientHeight, const std::string& title);

// Capture destinations and areas.
enum LvCaptureDest { kLvCaptureToClipboard = 0, kLvCaptureToFile = 1, kLvCaptureToEditor = 2 };
enum LvCaptureAreaChoice { kLvCaptureEntireScreen = 0, kLvCaptureCurrentWindow = 1 };

// The hot key control's modifier flags (1 Shift, 2 Ctrl, 4 Alt) as RegisterHotKey's (4 Shift, 2 Ctrl, 1 Alt).
unsigned LvHotKeyModifiersForRegistration(unsigned controlFlags);

// ---- clipboard ----

// The text up to its first carriage return or line feed.
std::string LvFirstLine(const std::string& text);
// Whether copied text starts a download: its first line begins with "http://" in any case.
bool LvIsMonitoredAddress(const std::string& text);

// ---- download ----

// Result codes of the download worker.
enum LvDownloadResult {
    kLvDownloadAborted = 0,
    kLvDownloadNoSession = 1,
    kLvDownloadNoConnection = 2,
    kLvDownloadNoRequest = 3,
    kLvDownloadReadError = 4,
    kLvDownloadHttpError = 5,
    kLvDownloadTooLarge = 6,
    kLvDownloadFinished = 100,
};
// The message of a failed result; null for aborted, finished and unknown codes.
const char* LvDownloadFailureText(int result);

// The most a download may bring: a picture file larger than this is refused, not held in memory.
constexpr uint64_t kLvMaxDownloadBytes = uint64_t(512) << 20;

// The received bytes, always followed by one zero byte. It grows geometrically and refuses to pass its limit.
class LvDownloadBuffer {
public:
    explicit LvDownloadBuffer(uint64_t limit = kLvMaxDownloadBytes);
    // False (and nothing appended) when the bytes would pass the limit or memory ran out.
    bool Append(const void* data, size_t count);
    // Makes room for an announced length at once; false when it is over the limit.
    bool Reserve(uint64_t length);
    const uint8_t* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_size; }
    size_t Capacity() const { return m_bytes.size(); }
    void Clear();

private:
    std::vector<uint8_t> m_bytes; // m_size bytes, a zero byte, spare room
    size_t m_size = 0;
    uint64_t m_limit;
};

// The file bar's text and position for a progress report: "51 %" of an announced length, else
// "Downloaded 2000 Bytes" at position 0.
std::string LvDownloadProgressText(uint32_t length, uint32_t total, int& position);
// The announced length of a Content-Length header's text, 0 when it is missing or not a number; lengths
// beyond 32 bits are reported as more than the download limit.
uint64_t LvParseContentLength(const std::string& text);
// Whether an HTTP status means the body is not the file (anything but 2xx); message then says so
// ("The server answered 404 (Not Found)").
bool LvHttpStatusFailed(unsigned status, std::string& message);
// The format to decode a downloaded file with, from the extension of its address (text after the last "."):
// only bmp, jpg/jpeg, gif, png, ico, tif/tiff, tga and pcx; 0 for anything else.
DWORD LvDownloadFormatOfUrl(const std::string& url);
// The title of the document of frame index (from 0) of a download: the address's part after its last
// backslash and the frame's number from 1 ("pic.gif (2)").
std::string LvDownloadFrameTitle(const std::string& url, int frameIndex);
