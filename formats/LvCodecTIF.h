#pragma once

#include "image/LvImage.h"

typedef struct tiff TIFF;
struct LvTiffStreamContext;

// TIFF files through libtiff, opened over a CLvStream: one page (chosen by nFrame) of bilevel, grey,
// palette, RGB, CMYK, YCbCr, LogLuv or CIE L*a*b* data is read, stripped or tiled; single- and multi-page
// files are written with a compression chosen by depth or by dwCodecOption.
class CLvCodecTIF : public CLvImage {
public:
    CLvCodecTIF();
    // A multi-page file still open is finished here; its stream must still exist.
    ~CLvCodecTIF() override;
    CLvCodecTIF(const CLvCodecTIF&) = delete;
    CLvCodecTIF& operator=(const CLvCodecTIF&) = delete;

    bool Decode(CLvStream* stream);
    // append = false writes this image as the last (or only) page and closes the file; append = true
    // writes it as one page and keeps the file open for further pages, which must go to the same stream.
    bool Encode(CLvStream* stream, bool append = false);

private:
    void ReadPage(TIFF* tif, LvTiffStreamContext& context);
    bool WritePage();
    void CloseWriter(bool discard);

    TIFF* m_tif;                    // open while a multi-page file is being written
    LvTiffStreamContext* m_context; // the stream the open file writes to
    bool m_multiPage;
    int m_pages; // pages written so far into the open file
};
