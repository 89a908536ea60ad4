#pragma once

#include "image/LvImage.h"

// Truevision TGA: colour-mapped, true-colour and grey pictures, uncompressed or run-length coded, read at
// 8, 15, 16, 24 and 32 bits (the fourth byte becomes the alpha plane); written uncompressed as 8-bit
// colour-mapped or 24- and 32-bit true colour, bottom-up.
class CLvCodecTGA : public CLvImage {
public:
    CLvCodecTGA() : CLvImage(LVFMT_TGA) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);
};
