#include "image/LvImage.h"

#include "formats/LvCodecBMP.h"
#include "formats/LvCodecGIF.h"
#include "formats/LvCodecICO.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvCodecPCX.h"
#include "formats/LvCodecPNG.h"
#include "formats/LvCodecTGA.h"
#include "formats/LvCodecTIF.h"
#include "formats/LvCodecWBMP.h"
#include "formats/LvCodecWMF.h"

#include <cstring>
#include <string>

namespace {

const char* const kErrUnknownDecode = "Decode: Unknown or wrong format";
const char* const kErrUnknownEncode = "Encode: Unknown format";

// GIF, TIFF and ICO files hold several images: their readers take the wanted frame and report the count.
bool IsMultiFrame(DWORD format) {
    return format == LVFMT_GIF || format == LVFMT_TIF || format == LVFMT_ICO;
}

// What one reader left behind when it failed.
struct ReadFailure {
    char text[256];
    int frameCount;
};

template <class Codec>
bool ReadWith(CLvStream* stream, int frame, CLvImage& target, ReadFailure& failure) {
    Codec codec;
    codec.info.nFrame = frame;
    if (codec.Decode(stream)) {
        target.TakeOver(codec);
        return true;
    }
    memcpy(failure.text, codec.info.szLastError, sizeof(failure.text));
    failure.frameCount = codec.info.nFrameCount;
    return false;
}

// Runs the reader of one format. False when it failed or when there is no reader for the format.
bool ReadFormat(DWORD format, CLvStream* stream, int frame, CLvImage& target, ReadFailure& failure) {
    failure.frameCount = 0;
    strcpy(failure.text, kErrUnknownDecode);
    switch (format) {
    case LVFMT_BMP:
        return ReadWith<CLvCodecBMP>(stream, frame, target, failure);
    case LVFMT_GIF:
        return ReadWith<CLvCodecGIF>(stream, frame, target, failure);
    case LVFMT_JPG:
        return ReadWith<CLvCodecJPG>(stream, frame, target, failure);
    case LVFMT_PNG:
        return ReadWith<CLvCodecPNG>(stream, frame, target, failure);
    case LVFMT_ICO:
        return ReadWith<CLvCodecICO>(stream, frame, target, failure);
    case LVFMT_TIF:
        return ReadWith<CLvCodecTIF>(stream, frame, target, failure);
    case LVFMT_TGA:
        return ReadWith<CLvCodecTGA>(stream, frame, target, failure);
    case LVFMT_PCX:
        return ReadWith<CLvCodecPCX>(stream, frame, target, failure);
    case LVFMT_WBMP:
        return ReadWith<CLvCodecWBMP>(stream, frame, target, failure);
    case LVFMT_WMF:
        return ReadWith<CLvCodecWMF>(stream, frame, target, failure);
    default:
        return false;
    }
}

template <class Codec>
bool WriteWith(CLvImage& image, CLvStream* stream) {
    Codec codec;
    codec.ShareBuffersOf(image);
    bool ok = codec.Encode(stream);
    if (!ok) image.SetLastErrorText(codec.info.szLastError);
    codec.Destroy(); // lets go of the borrowed buffers
    return ok;
}

// Readers in the order detection tries them.
const DWORD kDetectionOrder[] = {LVFMT_BMP, LVFMT_JPG, LVFMT_ICO, LVFMT_GIF,  LVFMT_PNG,
                                 LVFMT_TIF, LVFMT_TGA, LVFMT_PCX, LVFMT_WBMP, LVFMT_WMF};

} // namespace

bool CLvImage::Decode(CLvStream* stream, DWORD format) {
    ReadFailure failure;
    if (format > LVFMT_UNKNOWN && format < LVFMT_COUNT) {
        if (ReadFormat(format, stream, IsMultiFrame(format) ? info.nFrame : 0, *this, failure)) return true;
        if (IsMultiFrame(format)) info.nFrameCount = failure.frameCount;
        SetLastErrorText(failure.text);
        return false;
    }
    if (format == LVFMT_UNKNOWN && stream) {
        long start = stream->Tell();
        bool first = true;
        for (DWORD candidate : kDetectionOrder) {
            if (!first) stream->Seek(start, SEEK_SET);
            first = false;
            if (ReadFormat(candidate, stream, 0, *this, failure)) return true;
        }
    }
    SetLastErrorText(kErrUnknownDecode);
    return false;
}

bool CLvImage::Decode(FILE* file, DWORD format) {
    CLvFileStream stream(file);
    return Decode(&stream, format);
}

bool CLvImage::Load(const char* fileName, DWORD format) {
    if (format > LVFMT_UNKNOWN && format < LVFMT_COUNT) {
        FILE* file = LvOpenFile(fileName, "rb");
        if (!file) return false;
        bool ok = Decode(file, format);
        fclose(file);
        if (ok) return true;
        // The file is of that format but has no such frame: detection would read frame 0 instead and
        // report success with the wrong picture.
        if (IsMultiFrame(format) && info.nFrameCount > 0 && (info.nFrame < 0 || info.nFrame >= info.nFrameCount))
            return false;
    }
    std::string explicitError(info.szLastError);
    FILE* file = LvOpenFile(fileName, "rb");
    if (!file) return false;
    bool ok = Decode(file, LVFMT_UNKNOWN);
    fclose(file);
    // The reader the caller asked for explains the failure better than detection does.
    if (!ok && format > LVFMT_UNKNOWN && format < LVFMT_COUNT) SetLastErrorText(explicitError.c_str());
    return ok;
}

bool CLvImage::Encode(CLvStream* stream, DWORD format) {
    switch (format) {
    case LVFMT_BMP:
        return WriteWith<CLvCodecBMP>(*this, stream);
    case LVFMT_GIF:
        return WriteWith<CLvCodecGIF>(*this, stream);
    case LVFMT_JPG:
        return WriteWith<CLvCodecJPG>(*this, stream);
    case LVFMT_PNG:
        return WriteWith<CLvCodecPNG>(*this, stream);
    case LVFMT_ICO:
        return WriteWith<CLvCodecICO>(*this, stream);
    case LVFMT_TIF:
        // A new single-page file; multi-page files are written with CLvCodecTIF directly.
        return WriteWith<CLvCodecTIF>(*this, stream);
    case LVFMT_TGA:
        return WriteWith<CLvCodecTGA>(*this, stream);
    case LVFMT_PCX:
        return WriteWith<CLvCodecPCX>(*this, stream);
    case LVFMT_WBMP:
        return WriteWith<CLvCodecWBMP>(*this, stream);
    case LVFMT_WMF:
        return WriteWith<CLvCodecWMF>(*this, stream);
    default:
        SetLastErrorText(kErrUnknownEncode);
        return false;
    }
}

bool CLvImage::Encode(FILE* file, DWORD format) {
    CLvFileStream stream(file);
    return Encode(&stream, format);
}

bool CLvImage::Encode(const char* fileName, DWORD format) {
    if (!fileName || !*fileName) return false;
    // Write beside the target and replace it only when everything was written, so that a failed save
    // leaves the existing file as it was.
    std::string temporary = std::string(fileName) + ".lvtmp";
    FILE* file = LvOpenFile(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = Encode(file, format);
    bool written = fflush(file) == 0 && ferror(file) == 0;
    bool closed = fclose(file) == 0;
    if (ok && !(written && closed)) {
        SetLastErrorText("Error writing the file");
        ok = false;
    }
    if (ok && !LvReplaceFile(temporary.c_str(), fileName)) {
        SetLastErrorText("Can't replace the file");
        ok = false;
    }
    if (!ok) LvRemoveFile(temporary.c_str());
    return ok;
}
