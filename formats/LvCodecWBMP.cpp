#include "formats/LvCodecWBMP.h"

#include "formats/LvWriteBuffer.h"
#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kErrNotWbmp = "Not a WBMP";
const char* const kErrType = "Unsupported WBMP type";
const char* const kErrCorrupted = "Corrupted WBMP";
const char* const kErrCreate = "WBMP Create failed";
const char* const kErrCantSave = "Can't save this image as WBMP";
const char* const kErrWrite = "Error writing WBMP file";

// Type byte, fixed header byte and two multi-byte integers of at most 5 bytes each.
const size_t kLongestHeader = 12;
// Width and height are limited by the pixel limit long before a multi-byte integer needs 5 bytes.
const uint64_t kLargestSide = kLvMaxPixels;

struct Header {
    uint64_t width = 0;
    uint64_t height = 0;
    size_t size = 0; // bytes before the first row
};

uint64_t RowBytes(uint64_t width) {
    return (width + 7) / 8;
}

// Reads a multi-byte integer at *pos. False when the header bytes end first or the value is absurd.
bool ReadMultiByte(const uint8_t* bytes, size_t length, size_t* pos, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < 5; i++) {
        if (*pos >= length) return false;
        uint8_t b = bytes[(*pos)++];
        v = (v << 7) | (b & 0x7F);
        if (v > kLargestSide) return false;
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

void PutMultiByte(CLvWriteBuffer& out, uint32_t value) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n-- > 1)
        out.Put(static_cast<uint8_t>(bytes[n] | 0x80));
    out.Put(bytes[0]);
}

} // namespace

bool CLvCodecWBMP::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kErrCreate, [&] {
        long start = stream->Tell();
        long long available = LvStreamRemaining(stream);
        uint8_t raw[kLongestHeader];
        size_t got = stream->Read(raw, 1, sizeof(raw));
        if (got < 4) LvRaise(kErrNotWbmp);
        if (raw[0] != 0) LvRaise(kErrType);

        // The standard form: multi-byte width and height after the fixed header byte.
        Header standard;
        size_t pos = 2;
        bool standardOk =
            ReadMultiByte(raw, got, &pos, &standard.width) && ReadMultiByte(raw, got, &pos, &standard.height);
        standard.size = pos;
        // Older files of this program stored width and height as single bytes, which differs from the
        // standard form only for sides of 128 to 255. The file length tells the two apart.
        Header legacy;
        legacy.width = raw[2];
        legacy.height = raw[3];
        legacy.size = 4;
        auto exactLength = [available](const Header& h) {
            return available >= 0 && uint64_t(available) >= h.size &&
                   uint64_t(available) - h.size == h.height * RowBytes(h.width);
        };
        bool legacyFits = (raw[2] >= 0x80 || raw[3] >= 0x80) && legacy.width && legacy.height && exactLength(legacy);

        Header h;
        if (standardOk && exactLength(standard))
            h = standard;
        else if (legacyFits)
            h = legacy;
        else if (standardOk)
            h = standard;
        else
            LvRaise(kErrCorrupted);

        if (h.width == 0 || h.height == 0) LvRaise(kErrCorrupted);
        if (const char* sizeError = LvCheckImageSize(int64_t(h.width), int64_t(h.height), 1)) LvRaise(sizeError);
        uint64_t rowBytes = RowBytes(h.width);
        if (available >= 0 && (uint64_t(available) < h.size || uint64_t(available) - h.size < rowBytes * h.height))
            LvRaise(kErrCorrupted);

        if (!Create(int(h.width), int(h.height), 1, LVFMT_WBMP)) LvRaise(kErrCreate);
        SetGrayPalette();
        if (!stream->Seek(start + long(h.size), SEEK_SET)) LvRaise(kErrCorrupted);
        // The first file row is the top of the picture.
        for (int row = 0; row < GetHeight(); row++) {
            BYTE* target = GetBits() + size_t(GetHeight() - 1 - row) * GetEffWidth();
            if (stream->Read(target, 1, size_t(rowBytes)) != rowBytes) LvRaise(kErrCorrupted);
        }
        return true;
    });
}

bool CLvCodecWBMP::Encode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kErrCantSave, [&] {
        if (!pDib || GetBpp() != 1 || GetWidth() >= 256 || GetHeight() >= 256) LvRaise(kErrCantSave);
        CLvWriteBuffer out(stream);
        out.Put(0); // type 0
        out.Put(0); // fixed header
        PutMultiByte(out, DWORD(GetWidth()));
        PutMultiByte(out, DWORD(GetHeight()));
        // The file's 1 is white. A picture whose palette shows index 0 brighter than index 1 is written
        // with its bits inverted, so that it looks the same.
        RGBQUAD* palette = GetPalette();
        BYTE invert = CompareLuminance(palette[0], palette[1]) > 0 ? 0xFF : 0x00;
        size_t rowBytes = size_t(RowBytes(DWORD(GetWidth())));
        // The bits after the last pixel of a row are written as 0.
        BYTE lastMask = GetWidth() % 8 ? BYTE(0xFF << (8 - GetWidth() % 8)) : BYTE(0xFF);
        std::vector<BYTE> line(rowBytes);
        for (int y = GetHeight() - 1; y >= 0; y--) {
            const BYTE* row = GetBits() + size_t(y) * GetEffWidth();
            for (size_t i = 0; i < rowBytes; i++)
                line[i] = BYTE(row[i] ^ invert);
            line[rowBytes - 1] &= lastMask;
            out.Put(line.data(), rowBytes);
        }
        if (!out.Flush()) LvRaise(kErrWrite);
        return true;
    });
}
