#pragma once

#include "formats/LvCameraData.h"
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
    // Encode, with the camera data's segments right after the JFIF header.
    bool EncodeWithCameraData(CLvStream* stream, const LvCameraData& data);

    // Reads the marker sections from the stream's position into m_exifinfo and puts the stream back where
    // it was. True when the file carries EXIF data. The sections stay with this object, so
    // m_exifinfo.pThumbnail is valid until the next ReadExif or the object's end.
    bool ReadExif(CLvStream* stream);
    // Why the last ReadExif found no EXIF data (or a complaint it noted), for diagnostics.
    const char* GetExifError() const;

    ExifInfo m_exifinfo;

private:
    bool Write(CLvStream* stream, const LvCameraData* camera);
    std::unique_ptr<CLvExifReader> m_exifReader;
};

// Writes the image as a JPEG file with the camera data's segments, through the engine's temporary file (a
// failed write leaves an existing file as it was). False with the reason in the image's last-error text.
bool LvSaveJpegWithCameraData(CLvImage& image, const char* fileName, const LvCameraData& data);
