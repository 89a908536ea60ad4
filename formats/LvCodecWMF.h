#pragma once

#include "image/LvImage.h"

#include <cstdint>
#include <vector>

// A metafile as read from a file, before it is rendered: a placeable (Aldus) WMF or an enhanced metafile.
struct LvMetafile {
    bool placeable = false;
    // Placeable WMF: the bounding box in metafile units and the units per inch.
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int unitsPerInch = 0;
    // EMF: the header's bounds rectangle.
    int64_t boundsWidth = 0;
    int64_t boundsHeight = 0;
    // The records the GDI converts: the WMF from its 18-byte header on, or the whole EMF.
    std::vector<uint8_t> bytes;
};

// Where a metafile's record check stopped: the byte offset of the record in the metafile and its WMF
// function or EMF record type (0 when the header or the record framing failed).
struct LvMetafileFault {
    size_t offset = 0;
    uint32_t type = 0;
};

// The text of every metafile the reader refuses as damaged.
constexpr const char* kLvErrWmfCorrupted = "corrupted WMF";

// Windows metafiles, rendered into a bitmap by the GDI's metafile player: placeable WMF and EMF. Read only.
// On other systems the headers are checked the same way, but a sound file fails with a text saying that
// metafiles need Windows.
class CLvCodecWMF : public CLvImage {
public:
    CLvCodecWMF() : CLvImage(LVFMT_WMF) {}

    // width and height, when not 0, replace the picture's own pixel size.
    bool Decode(CLvStream* stream, int width = 0, int height = 0);
    bool Encode(CLvStream* stream);

    // Reads and checks the metafile at the stream's position; raises "corrupted WMF".
    static void ReadMetafile(CLvStream* stream, LvMetafile& metafile);
    // Pixel size of a placeable WMF at the screen's resolution.
    static void PlaceableSize(const LvMetafile& metafile, int dpiX, int dpiY, int64_t* cx, int64_t* cy);
    // Extents of the METAFILEPICT that converts a placeable WMF: the pixel size, scaled up by tens while
    // both are below 6554.
    static void PlaceableExtents(const LvMetafile& metafile, int dpiX, int dpiY, LONG* xExt, LONG* yExt);
    // Record checks before the GDI plays a metafile from a file: false for a record that reaches outside
    // the metafile or names objects, arrays, texts or bitmaps it does not hold; fault, when given, names
    // the record. A WMF's records end at its end record: bytes after it are not looked at, and length, when
    // given, receives the metafile's length up to the end of that record.
    static bool CheckWmfRecords(const std::vector<uint8_t>& metafile, LvMetafileFault* fault = nullptr,
                                size_t* length = nullptr);
    // An EMF's bitmaps whose colour table is shorter than their header says are mended in place to count
    // the entries they hold.
    static bool CheckEmfRecords(std::vector<uint8_t>& metafile, LvMetafileFault* fault = nullptr);
    // The size the picture is rendered at: raises "empty WMF" for an empty picture, applies a wanted width
    // and height and keeps both sides at most 4000 pixels.
    static void RenderSize(int64_t cx, int64_t cy, int width, int height, int* outCx, int* outCy);

private:
    // Plays the metafile into a screen-compatible bitmap and takes its pixels.
    void Render(const LvMetafile& metafile, int width, int height);
};
