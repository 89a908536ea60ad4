#pragma once

#include "image/LvImage.h"

// Windows bitmap files and packed DIBs: 1, 4, 8, 16, 24 and 32 bits, uncompressed, RLE4, RLE8 and bit
// fields; written uncompressed and bottom-up with a 40-byte info header.
class CLvCodecBMP : public CLvImage {
public:
    CLvCodecBMP() : CLvImage(LVFMT_BMP) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);

private:
    void DecodeRle(CLvStream* stream, bool fourBit);
};
