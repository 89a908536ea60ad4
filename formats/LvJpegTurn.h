#pragma once

#include "formats/LvCameraData.h"
#include "formats/LvTurn.h"
#include "image/LvImage.h"

#include <cstdint>
#include <string>
#include <vector>

// Turning a JPEG file without decoding it: its coded blocks are moved and turned as they are, so the picture
// loses nothing. Only a picture made of whole blocks (whole coding units) can be turned this way; a partial
// block at an edge that a turn would move to the top or left cannot be kept exactly.

enum LvJpegTurnResult {
    kLvJpegTurned,         // done
    kLvJpegNotWholeBlocks, // the size is not whole blocks for this turn: re-encode instead
    kLvJpegTurnFailed      // not a JPEG the transform can read, or out of memory
};

// What to tell the user when a turned photo was saved re-encoded after all.
std::string LvJpegTurnFallbackText(LvJpegTurnResult result, const std::string& error);

// Turns the JPEG file in source by turn. The result keeps the coding of source and its JFIF header but none
// of its other segments; camera's EXIF block and colour profile go in right after the JFIF header.
LvJpegTurnResult LvTurnJpeg(const std::vector<uint8_t>& source, LvTurn turn, const LvCameraData& camera,
                            std::vector<uint8_t>& result, std::string& error);

// The bytes of a file (empty when it cannot be read or is larger than 2 GB).
std::vector<uint8_t> LvReadFileBytes(const char* fileName);

// The same, written to fileName through the temporary-file path: the file is replaced only after a
// complete write.
LvJpegTurnResult LvSaveTurnedJpeg(const std::vector<uint8_t>& source, LvTurn turn, const LvCameraData& camera,
                                  const char* fileName, std::string& error);

// How a picture read from a JPEG photo was saved as JPEG.
struct LvJpegPhotoSave {
    bool ok = false;       // written; otherwise the image's error text says why
    bool lossless = false; // by turning the photo's coded data
    std::string note;      // why a lossless turn was tried and not possible
};

// Saves image, read from the JPEG file whose bytes are source, as a JPEG file with camera's data (none when it
// is empty). When history says the pixels were only turned and source is not empty, the file is made by
// turning source, which loses nothing; otherwise, or when that turn is not possible, by encoding image.
LvJpegPhotoSave LvSaveJpegPhoto(CLvImage& image, const std::vector<uint8_t>& source, const LvPixelHistory& history,
                                const LvCameraData& camera, const char* fileName);
