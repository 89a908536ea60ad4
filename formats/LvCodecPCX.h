#pragma once

#include "image/LvImage.h"

// PCX version 5 with run-length coding: 1-bit, 2- and 4-bit packed, 1-bit planes (16 colours), 8-bit with
// the 256-colour palette at the end, 24-bit (three planes) and 32-bit (four planes, the fourth becoming
// the alpha plane).
class CLvCodecPCX : public CLvImage {
public:
    CLvCodecPCX() : CLvImage(LVFMT_PCX) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);
};
