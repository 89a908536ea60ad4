#pragma once

#include "image/LvStream.h"

#include <cstdint>
#include <vector>

// The camera data of a JPEG photo that go into the JPEG files written from it: the EXIF block (the payload
// of its APP1 segment, from "Exif\0\0" on) and the colour profile (the payloads of its APP2 "ICC_PROFILE"
// segments, in order), as the file stores them.
struct LvCameraData {
    std::vector<uint8_t> exif;
    std::vector<std::vector<uint8_t>> icc;
    bool Empty() const { return exif.empty() && icc.empty(); }
};

// What happened to the pixels between reading the photo and writing it.
struct LvPixelHistory {
    bool turned = false;  // turned or mirrored: the stored orientation no longer applies
    bool changed = false; // any change at all: the embedded thumbnail no longer shows the picture
};

// Reads the segments from the stream's position (the start of a JPEG file) up to the first scan. Anything
// that is not a well-formed segment ends the reading; what was found before stays.
LvCameraData LvReadCameraData(CLvStream* stream);
LvCameraData LvReadCameraDataOfFile(const char* fileName);

// The EXIF block fit for a picture of width x height written after history: orientation 1 when turned, the
// thumbnail's directory unlinked when changed, the EXIF pixel size set to the picture's. A block that cannot
// be followed is kept as it is when nothing happened, and left out otherwise (empty result), since it could
// describe the picture wrongly.
std::vector<uint8_t> LvAdjustExif(const std::vector<uint8_t>& exif, const LvPixelHistory& history, int width,
                                  int height);

// The camera data adjusted for the picture written.
LvCameraData LvAdjustCameraData(const LvCameraData& data, const LvPixelHistory& history, int width, int height);
