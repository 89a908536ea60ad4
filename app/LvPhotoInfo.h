#pragma once

#include "formats/LvExif.h"
#include "image/LvImage.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The photo information commands without their windows: the EXIF report, the thumbnail's size, caption and
// composition, the time-stamp text, the watermark payload and the file a detected watermark is saved to.

// ---- EXIF report ----

// The text of the report's orientation line for EXIF orientation 2 to 8; "Unknown" for any other value.
const char* LvOrientationName(int orientation);
// The report of Exif Information: one line per value the camera recorded, then an empty line.
std::string LvExifReport(const ExifInfo& exif);

// ---- thumbnail ----

// The caption the dialog proposes when none is stored.
extern const char* const kLvDefaultThumbnailMark;
// The picture's size at percentage (1 to 100) of its own: exact integer parts, at least one pixel.
void LvThumbnailSize(int width, int height, int percentage, int& newWidth, int& newHeight);
// "%6.3fs (1/%d) f/%3.1f" of the exposure time and the aperture, each part only when the camera gave it.
std::string LvThumbnailExifText(const ExifInfo& exif);
// The mark followed by two blanks and the camera part when exif is given; blanks trimmed at both ends.
std::string LvThumbnailCaption(const std::string& mark, const ExifInfo* exif);
// The caption's font height for a framed thumbnail of the given height.
int LvThumbnailFontHeight(int framedHeight);
// The thumbnail of the picture, in place: resampled to percentage of its size, a white line and a black
// frame (10 pixels left, top and right, 40 at the bottom), the caption in white at the frame's lower right,
// and the shadow. fontHeight 0 takes LvThumbnailFontHeight. Only Windows draws the caption.
bool LvComposeThumbnail(CLvImage& image, int percentage, const std::string& caption, int fontHeight = 0);

// ---- time stamp ----

// "2024.01.31 23:59:58".
std::string LvStampText(int year, int month, int day, int hour, int minute, int second);

// ---- watermark ----

// The most payload bytes an image can carry: the length travels in a 16-bit field.
const size_t kLvMaxWatermarkBytes = 0xFFFF;

// A text payload: byte 0, then the text's bytes.
std::vector<uint8_t> LvTextWatermark(const std::string& text);

// The name a file payload stores for a path: its last part, cut to 255 bytes keeping the extension.
std::string LvWatermarkFileName(const std::string& path);

enum LvFileWatermarkResult { kLvWatermarkReady, kLvWatermarkCannotOpen, kLvWatermarkTooLong };
// A file payload: the length of the file's name, LvWatermarkFileName, then the file's bytes. A file whose
// payload would pass kLvMaxWatermarkBytes is not read.
LvFileWatermarkResult LvFileWatermark(const std::string& path, std::vector<uint8_t>& payload);

enum LvWatermarkKind { kLvWatermarkNone, kLvWatermarkText, kLvWatermarkFile };
struct LvWatermark {
    LvWatermarkKind kind = kLvWatermarkNone;
    std::string text;      // the text, or the file name as stored
    size_t dataOffset = 0; // the file's bytes: payload from here to the end
};
// What a detected payload holds; kLvWatermarkNone for an empty payload or a file name longer than it.
LvWatermark LvParseWatermark(const std::vector<uint8_t>& payload);

// A name a stored file may be offered under: the last part of the stored name, valid UTF-8, without the
// characters Windows forbids in names (they become "_"), without trailing dots and blanks, not a device
// name (CON, PRN, AUX, NUL, COM1-9, LPT1-9 and the like get a "_" in front), at most 255 bytes keeping the
// extension; never empty.
std::string LvPlainFileName(const std::string& stored);

// Writes the bytes to a file beside path and puts it in place of path only when all were written, so that
// a failed write leaves an existing file as it was.
bool LvWriteFileReplacing(const std::string& path, const uint8_t* data, size_t size);
