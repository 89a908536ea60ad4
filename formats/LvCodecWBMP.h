#pragma once

#include "image/LvImage.h"

// Wireless bitmaps of type 0: one bit per pixel, 1 = white, 0 = black, no palette in the file. Width and
// height are multi-byte integers (7 bits per byte, high bit = more bytes follow).
class CLvCodecWBMP : public CLvImage {
public:
    CLvCodecWBMP() : CLvImage(LVFMT_WBMP) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);
};
