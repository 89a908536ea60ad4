#pragma once

#include "formats/LvExif.h"
#include "image/LvImage.h"

#include <memory>

// JPEG files through libjpeg: grey, colour and CMYK pictures are read (CMYK becomes 24-bit colour), 8-bit
// grey and 24-bit images are written. The codec also reads the file's marker sections for its EXIF data.
class CLvCodecJPG : public CLvImage {
public:
    CLvCodecJPG();
    ~CLvCodecJPG() override;
    CLvCodecJPG(const CLvCodecJPG&) = delete;
    CLvCodecJPG& operator=(const CLvCodecJPG&) = delete;

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);

    // Reads the marker sections from the stream's position into m_exifinfo and puts the stream back where
    // it was. True when the file carries EXIF data. The sections stay with this object, so
    // m_exifinfo.pThumbnail is valid until the next ReadExif or the object's end.
    bool ReadExif(CLvStream* stream);
    // Why the last ReadExif found no EXIF data (or a complaint it noted), for diagnostics.
    const char* GetExifError() const;

    ExifInfo m_exifinfo;

private:
    std::unique_ptr<CLvExifReader> m_exifReader;
};
