#pragma once

#include "formats/LvTurn.h"
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

// What happened to the pixels between reading the photo and writing it: the net exact turn (which lets a
// JPEG be turned without decoding it), and whether they were turned or changed in any other way.
struct LvPixelHistory {
    LvTurn turn = kLvTurnNone;
    int turns = 0;        // exact turns made (they may add up to none)
    bool turned = false;  // turned by an angle: the stored orientation no longer applies
    bool changed = false; // changed otherwise than by exact turns
    // The stored orientation no longer says how the picture stands.
    bool Turned() const { return turned || turn != kLvTurnNone; }
    // The embedded thumbnail no longer shows the picture.
    bool Changed() const { return changed || Turned(); }
    // Exact turns were made and nothing else happened to the pixels: the stored picture turned by turn.
    bool OnlyTurned() const { return turns > 0 && !turned && !changed; }
    // Records an exact turn made after what happened so far.
    void AddTurn(LvTurn next) {
        turn = LvComposeTurns(turn, next);
        turns++;
    }
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
