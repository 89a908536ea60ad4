#pragma once

#include "image/LvImage.h"

// PNG files through libpng: every colour type and bit depth is read into a 1-, 4-, 8- or 24-bit image
// (with an alpha plane for colour with alpha); palette, grey and colour images are written, with
// transparency as tRNS or an alpha channel.
class CLvCodecPNG : public CLvImage {
public:
    CLvCodecPNG() : CLvImage(LVFMT_PNG) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);
};
