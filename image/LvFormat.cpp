#include "image/LvImage.h"

#include "formats/LvFormatTable.h"

#include <cstring>
#include <string>

namespace {

const char* const kErrUnknownDecode = "Decode: Unknown or wrong format";
const char* const kErrUnknownEncode = "Encode: Unknown format";

bool IsMultiFrame(DWORD format) {
    const LvFormatInfo* f = LvFindFormat(format);
    return f && f->multiFrame;
}

// Runs the reader of one format. False when it failed.
bool ReadFormat(const LvFormatInfo& format, CLvStream* stream, int frame, CLvImage& target, LvReadFailure& failure) {
    failure.frameCount = 0;
    strcpy(failure.text, kErrUnknownDecode);
    return format.read(stream, frame, target, failure);
}

} // namespace

bool CLvImage::Decode(CLvStream* stream, DWORD format) {
    LvReadFailure failure;
    if (const LvFormatInfo* f = LvFindFormat(format)) {
        if (ReadFormat(*f, stream, f->multiFrame ? info.nFrame : 0, *this, failure)) return true;
        if (f->multiFrame) info.nFrameCount = failure.frameCount;
        SetLastErrorText(failure.text);
        return false;
    }
    if (format == LVFMT_UNKNOWN && stream) {
        long start = stream->Tell();
        size_t count = 0;
        const LvFormatInfo* const* order = LvDetectionOrder(&count);
        for (size_t i = 0; i < count; i++) {
            if (i > 0) stream->Seek(start, SEEK_SET);
            if (ReadFormat(*order[i], stream, 0, *this, failure)) return true;
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
    const LvFormatInfo* f = LvFindFormat(format);
    if (!f) {
        SetLastErrorText(kErrUnknownEncode);
        return false;
    }
    return f->write(*this, stream);
}

bool CLvImage::Encode(FILE* file, DWORD format) {
    CLvFileStream stream(file);
    return Encode(&stream, format);
}

bool CLvImage::Encode(const char* fileName, DWORD format) {
    return Encode(fileName, format, nullptr, nullptr);
}

bool CLvImage::Encode(const char* fileName, DWORD format, StreamFilter filter, void* user) {
    struct Job {
        CLvImage* image;
        DWORD format;
        StreamFilter filter;
        void* user;
    } job = {this, format, filter, user};
    const char* error = nullptr;
    bool ok = LvWriteReplacing(
        fileName,
        [](CLvStream* stream, void* context) {
            Job* j = static_cast<Job*>(context);
            return j->image->Encode(j->filter ? j->filter(stream, j->user) : stream, j->format);
        },
        &job, &error);
    if (error) SetLastErrorText(error);
    return ok;
}
