#include "formats/LvJpegTurn.h"

#include "formats/LvCodecJPG.h"

#include "image/LvStream.h"

#include <turbojpeg.h>

#include <cstring>

namespace {

int TransformOf(LvTurn turn) {
    switch (turn) {
    case kLvTurnMirror:
        return TJXOP_HFLIP;
    case kLvTurnFlip:
        return TJXOP_VFLIP;
    case kLvTurnTranspose:
        return TJXOP_TRANSPOSE;
    case kLvTurnTransverse:
        return TJXOP_TRANSVERSE;
    case kLvTurnRight:
        return TJXOP_ROT90;
    case kLvTurn180:
        return TJXOP_ROT180;
    case kLvTurnLeft:
        return TJXOP_ROT270;
    default:
        return TJXOP_NONE;
    }
}

// Whether the turn must move a partial block at the right or bottom edge (what a perfect transform refuses).
bool WholeBlocksFor(LvTurn turn, int width, int height, int subsampling) {
    if (subsampling < 0 || subsampling >= TJ_NUMSAMP) return false;
    const bool wholeAcross = width % tjMCUWidth[subsampling] == 0;
    const bool wholeDown = height % tjMCUHeight[subsampling] == 0;
    switch (turn) {
    case kLvTurnMirror:
    case kLvTurnLeft:
        return wholeAcross;
    case kLvTurnFlip:
    case kLvTurnRight:
        return wholeDown;
    case kLvTurn180:
    case kLvTurnTransverse:
        return wholeAcross && wholeDown;
    default:
        return true;
    }
}

struct TjHandle {
    tjhandle handle = tjInitTransform();
    ~TjHandle() {
        if (handle) tjDestroy(handle);
    }
};

struct TjBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~TjBuffer() { tjFree(data); }
};

void AppendSegment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& payload) {
    const size_t length = payload.size() + 2;
    out.push_back(0xFF);
    out.push_back(marker);
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length & 0xFF));
    out.insert(out.end(), payload.begin(), payload.end());
}

// Where the camera segments go: after SOI and a JFIF APP0 segment that follows it.
size_t InsertionPoint(const unsigned char* data, size_t size) {
    size_t at = 2;
    if (size >= at + 9 && data[at] == 0xFF && data[at + 1] == 0xE0 && memcmp(data + at + 4, "JFIF", 5) == 0) {
        const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
        if (at + 2 + length <= size) at += 2 + length;
    }
    return at;
}

} // namespace

LvJpegTurnResult LvTurnJpeg(const std::vector<uint8_t>& source, LvTurn turn, const LvCameraData& camera,
                            std::vector<uint8_t>& result, std::string& error) {
    result.clear();
    TjHandle tj;
    if (!tj.handle) {
        error = "Not enough memory";
        return kLvJpegTurnFailed;
    }
    if (source.size() < 4 || source.size() > 0x7FFFFFFF) {
        error = "Not a JPEG file";
        return kLvJpegTurnFailed;
    }
    unsigned char* bytes = const_cast<unsigned char*>(source.data());
    const unsigned long size = static_cast<unsigned long>(source.size());
    int width = 0, height = 0, subsampling = -1, colourspace = 0;
    if (tjDecompressHeader3(tj.handle, bytes, size, &width, &height, &subsampling, &colourspace) != 0) {
        error = tjGetErrorStr2(tj.handle);
        return kLvJpegTurnFailed;
    }
    if (width < 1 || height < 1) {
        error = "Not a JPEG file";
        return kLvJpegTurnFailed;
    }
    if (!WholeBlocksFor(turn, width, height, subsampling)) return kLvJpegNotWholeBlocks;
    for (const auto& icc : camera.icc)
        if (icc.size() > 65533) return kLvJpegTurnFailed;
    if (camera.exif.size() > 65533) return kLvJpegTurnFailed;

    tjtransform transform;
    memset(&transform, 0, sizeof transform);
    transform.op = TransformOf(turn);
    transform.options = TJXOPT_PERFECT | TJXOPT_COPYNONE;
    TjBuffer out;
    if (tjTransform(tj.handle, bytes, size, 1, &out.data, &out.size, &transform, 0) != 0) {
        error = tjGetErrorStr2(tj.handle);
        return kLvJpegTurnFailed;
    }
    if (out.size < 4 || out.data[0] != 0xFF || out.data[1] != 0xD8) {
        error = "The turned picture is not a JPEG stream";
        return kLvJpegTurnFailed;
    }
    const size_t at = InsertionPoint(out.data, out.size);
    result.assign(out.data, out.data + at);
    if (!camera.exif.empty()) AppendSegment(result, 0xE1, camera.exif);
    for (const auto& icc : camera.icc)
        AppendSegment(result, 0xE2, icc);
    result.insert(result.end(), out.data + at, out.data + out.size);
    return kLvJpegTurned;
}

LvJpegTurnResult LvSaveTurnedJpeg(const std::vector<uint8_t>& source, LvTurn turn, const LvCameraData& camera,
                                  const char* fileName, std::string& error) {
    std::vector<uint8_t> bytes;
    const LvJpegTurnResult turned = LvTurnJpeg(source, turn, camera, bytes, error);
    if (turned != kLvJpegTurned) return turned;
    const char* writeError = nullptr;
    const bool ok = LvWriteReplacing(
        fileName,
        [](CLvStream* stream, void* context) {
            const auto* data = static_cast<const std::vector<uint8_t>*>(context);
            return stream->Write(data->data(), 1, data->size()) == data->size();
        },
        &bytes, &writeError);
    if (ok) return kLvJpegTurned;
    error = writeError ? writeError : "Can't write the file";
    return kLvJpegTurnFailed;
}

std::string LvJpegTurnFallbackText(LvJpegTurnResult result, const std::string& error) {
    if (result == kLvJpegNotWholeBlocks)
        return "Saved re-encoded: the picture is not whole JPEG blocks, so it cannot be turned without loss";
    return "Saved re-encoded: the JPEG file could not be turned without loss (" + error + ")";
}

LvJpegPhotoSave LvSaveJpegPhoto(CLvImage& image, const std::vector<uint8_t>& source, const LvPixelHistory& history,
                                const LvCameraData& camera, const char* fileName) {
    LvJpegPhotoSave saved;
    if (history.OnlyTurned() && !source.empty()) {
        std::string error;
        const LvJpegTurnResult turned = LvSaveTurnedJpeg(source, history.turn, camera, fileName, error);
        saved.ok = saved.lossless = turned == kLvJpegTurned;
        if (saved.lossless) return saved;
        saved.note = LvJpegTurnFallbackText(turned, error);
    }
    saved.ok = camera.Empty() ? image.Encode(fileName, LVFMT_JPG) : LvSaveJpegWithCameraData(image, fileName, camera);
    return saved;
}

std::vector<uint8_t> LvReadFileBytes(const char* fileName) {
    std::vector<uint8_t> bytes;
    CLvFileStream stream(fileName, "rb");
    if (!stream.IsOpen()) return bytes;
    const long size = stream.Size();
    if (size <= 0 || size > 0x7FFFFFFF - 1) return bytes;
    bytes.resize(size_t(size));
    if (!stream.Seek(0, SEEK_SET) || stream.Read(bytes.data(), 1, bytes.size()) != bytes.size()) bytes.clear();
    return bytes;
}
