#pragma once

#include "image/LvImage.h"

class CLvStreamReader;
class CLvWriteBuffer;

// GIF87a and GIF89a files, read one frame at a time (nFrame, with frames drawn over each other when they
// say "do not dispose") or composed into one 24-bit picture; written as GIF89a with one of three coders
// chosen by dwCodecOption: 0 run-length (the default), 1 uncompressed, 2 LZW. A 24-bit picture is written
// as a mosaic of small frames with a palette each, so that all its colours survive.
class CLvCodecGIF : public CLvImage {
public:
    CLvCodecGIF();

    bool Decode(CLvStream* stream);
    bool Encode(CLvStream* stream);

    // The first sub-block of the last comment read, written back by Encode; at most 255 characters.
    const char* GetComment() const { return szGifComment; }
    void SetComment(const char* text);
    // The loop count of the last application extension read; 0 when there was none.
    int GetLoops() const { return nLoops; }
    // The disposal method of the last graphic control extension read, written with the next frame.
    int GetDisposal() const { return nDisposal; }
    void SetDisposal(int disposal) { nDisposal = disposal; }

private:
    struct DecodeState;
    struct FrameHeader;

    void ResetReadFields();
    bool ReadScreen(DecodeState& s);
    int CountFrames(CLvStreamReader& in);
    bool ReadBlock(DecodeState& s);
    // Reads one extension after its introducer. False when reading must end here.
    bool ReadExtension(CLvStreamReader& in, bool apply);
    bool ReadImage(DecodeState& s);
    bool ReadFrameHeader(DecodeState& s, FrameHeader& f);
    void DecodeFrame(CLvStreamReader& in, const FrameHeader& f, int depth);
    void DrawOnCanvas(DecodeState& s, const FrameHeader& f);
    void WriteFrame(CLvWriteBuffer& out, const CLvImage& image, int left, int top, bool localTable, int transIndex);

    BYTE gceFlags;
    WORD gceDelay;
    BYTE gceTransIndex;
    int32_t nDisposal;
    int32_t nLoops;
    char szGifComment[256];
};
