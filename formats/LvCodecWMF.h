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
    // The size the picture is rendered at: raises "empty WMF" for an empty picture, applies a wanted width
    // and height and keeps both sides at most 4000 pixels.
    // Record checks before the GDI plays a metafile from a file: false for a record that reaches outside
    // the metafile or names objects, arrays, texts or bitmaps it does not hold.
    static bool CheckWmfRecords(const std::vector<uint8_t>& metafile);
    static bool CheckEmfRecords(const std::vector<uint8_t>& metafile);
    static void RenderSize(int64_t cx, int64_t cy, int width, int height, int* outCx, int* outCy);

private:
    // Plays the metafile into a screen-compatible bitmap and takes its pixels.
    void Render(const LvMetafile& metafile, int width, int height);
};
