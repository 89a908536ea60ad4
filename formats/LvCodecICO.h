#pragma once

#include "image/LvImage.h"

// Windows icon files: reads the icon chosen by nFrame (the count goes to nFrameCount) with its AND mask as
// alpha 0 (PNG-compressed icons with their own alpha); writes a single-icon file whose mask comes from the alpha plane,
// palette alpha and the transparent colour.
class CLvCodecICO : public CLvImage {
public:
    CLvCodecICO() : CLvImage(LVFMT_ICO) {}

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);

private:
    void ReadPngEntry(CLvStream* stream, long offset, DWORD bytes);
};
