#include "formats/LvCodecWMF.h"

#include "image/LvByteReader.h"
#include "image/LvCodecError.h"

#include <algorithm>
#include <new>

namespace {

const char* const kErrEmpty = "empty WMF";
const char* const kErrSave = "Save WMF not supported";

const uint32_t kPlaceableKey = 0x9AC6CDD7;
const size_t kPlaceableSize = 22;
const size_t kWmfHeaderSize = 18;
const uint32_t kEmrHeader = 1;
const uint32_t kEmfSignature = 0x464D4520; // " EMF"
const size_t kEmfHeaderSize = 88;
const int kMaxSide = 4000;

void ReadBytes(CLvStream* stream, std::vector<uint8_t>& bytes, size_t size) {
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc&) {
        LvRaise(kLvErrNoMemory);
    }
    if (stream->Read(bytes.data(), 1, size) != size) LvRaise(kLvErrWmfCorrupted);
}

// The placeable header and the standard header after it; false when the stream does not hold them.
bool ReadPlaceable(CLvStream* stream, long start, LvMetafile& metafile) {
    uint8_t raw[kPlaceableSize];
    if (stream->Read(raw, 1, sizeof(raw)) != sizeof(raw)) return false;
    CLvByteReader r(raw, sizeof(raw));
    uint32_t key = r.LE32();
    r.LE16(); // handle
    metafile.left = static_cast<int16_t>(r.LE16());
    metafile.top = static_cast<int16_t>(r.LE16());
    metafile.right = static_cast<int16_t>(r.LE16());
    metafile.bottom = static_cast<int16_t>(r.LE16());
    metafile.unitsPerInch = r.LE16();
    r.LE32(); // reserved
    uint16_t checksum = r.LE16();
    // The checksum is the XOR of the ten 16-bit words before it.
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= static_cast<uint16_t>(raw[i] | (raw[i + 1] << 8));
    if (key != kPlaceableKey || checksum != sum) return false;
    if (metafile.unitsPerInch == 0 || metafile.unitsPerInch >= 2541) return false;

    uint8_t header[kWmfHeaderSize];
    if (stream->Read(header, 1, sizeof(header)) != sizeof(header)) return false;
    CLvByteReader h(header, sizeof(header));
    uint16_t type = h.LE16();
    h.LE16(); // header size in words
    h.LE16(); // version
    uint64_t size = uint64_t(h.LE32()) * 2;
    if (type != 1 && type != 2) return false;
    // Some writers count the placeable header in the size, so the records end 22 bytes before the size
    // says: the size may not exceed the stream, and the records are read up to the end record or the end
    // of the data, whichever comes first.
    long long total = stream->Size();
    if (total < start || size < kWmfHeaderSize || size > uint64_t(total - start)) return false;
    uint64_t after = uint64_t(total) - std::min<uint64_t>(uint64_t(total), uint64_t(start) + kPlaceableSize);
    if (!stream->Seek(start + long(kPlaceableSize), SEEK_SET)) return false;
    ReadBytes(stream, metafile.bytes, size_t(std::min(size, after)));
    size_t length = 0;
    if (!CLvCodecWMF::CheckWmfRecords(metafile.bytes, nullptr, &length)) LvRaise(kLvErrWmfCorrupted);
    // The GDI gets the records up to the end record, with a header that says so.
    metafile.bytes.resize(length);
    uint32_t words = uint32_t(length / 2);
    for (int i = 0; i < 4; i++)
        metafile.bytes[6 + i] = uint8_t(words >> (8 * i));
    metafile.placeable = true;
    return true;
}

void ReadEnhanced(CLvStream* stream, long start, LvMetafile& metafile) {
    long long total = stream->Size();
    if (total < 0 || !stream->Seek(start, SEEK_SET)) LvRaise(kLvErrWmfCorrupted);
    uint64_t remaining = total > start ? uint64_t(total - start) : 0;
    uint8_t raw[kEmfHeaderSize];
    if (remaining < kEmfHeaderSize || stream->Read(raw, 1, sizeof(raw)) != sizeof(raw)) LvRaise(kLvErrWmfCorrupted);
    CLvByteReader r(raw, sizeof(raw));
    uint32_t type = r.LE32();
    uint32_t headerSize = r.LE32();
    int32_t left = static_cast<int32_t>(r.LE32());
    int32_t top = static_cast<int32_t>(r.LE32());
    int32_t right = static_cast<int32_t>(r.LE32());
    int32_t bottom = static_cast<int32_t>(r.LE32());
    r.Skip(16); // frame rectangle
    uint32_t signature = r.LE32();
    r.LE32(); // version
    uint32_t bytes = r.LE32();
    if (type != kEmrHeader || signature != kEmfSignature || headerSize < kEmfHeaderSize || bytes < headerSize ||
        bytes > remaining)
        LvRaise(kLvErrWmfCorrupted);
    metafile.boundsWidth = int64_t(right) - left;
    metafile.boundsHeight = int64_t(bottom) - top;
    if (!stream->Seek(start, SEEK_SET)) LvRaise(kLvErrWmfCorrupted);
    ReadBytes(stream, metafile.bytes, bytes);
    if (!CLvCodecWMF::CheckEmfRecords(metafile.bytes)) LvRaise(kLvErrWmfCorrupted);
    metafile.placeable = false;
}

} // namespace

void CLvCodecWMF::ReadMetafile(CLvStream* stream, LvMetafile& metafile) {
    long start = stream->Tell();
    if (start < 0) LvRaise(kLvErrWmfCorrupted);
    if (!ReadPlaceable(stream, start, metafile)) ReadEnhanced(stream, start, metafile);
}

void CLvCodecWMF::PlaceableSize(const LvMetafile& metafile, int dpiX, int dpiY, int64_t* cx, int64_t* cy) {
    *cx = int64_t(metafile.right - metafile.left) * dpiX / metafile.unitsPerInch;
    *cy = int64_t(metafile.bottom - metafile.top) * dpiY / metafile.unitsPerInch;
}

void CLvCodecWMF::PlaceableExtents(const LvMetafile& metafile, int dpiX, int dpiY, LONG* xExt, LONG* yExt) {
    int64_t x, y;
    PlaceableSize(metafile, dpiX, dpiY, &x, &y);
    // Only positive extents grow: an empty or reversed box would never reach the bound.
    while (x > 0 && y > 0 && x < 6554 && y < 6554) {
        x *= 10;
        y *= 10;
    }
    *xExt = static_cast<LONG>(std::max<int64_t>(std::min<int64_t>(x, 0x7FFFFFFF), -0x7FFFFFFF));
    *yExt = static_cast<LONG>(std::max<int64_t>(std::min<int64_t>(y, 0x7FFFFFFF), -0x7FFFFFFF));
}

void CLvCodecWMF::RenderSize(int64_t cx, int64_t cy, int width, int height, int* outCx, int* outCy) {
    // A reversed box has no picture either.
    if (cx <= 0 || cy <= 0) LvRaise(kErrEmpty);
    if (width > 0) cx = width;
    if (height > 0) cy = height;
    if (cx > kMaxSide) {
        cy = cy * kMaxSide / cx;
        cx = kMaxSide;
    }
    if (cy > kMaxSide) {
        cx = cx * kMaxSide / cy;
        cy = kMaxSide;
    }
    // A very long, thin picture keeps at least one pixel across.
    *outCx = static_cast<int>(std::max<int64_t>(cx, 1));
    *outCy = static_cast<int>(std::max<int64_t>(cy, 1));
}

bool CLvCodecWMF::Decode(CLvStream* stream, int width, int height) {
    if (!stream) return false;
    try {
        LvMetafile metafile;
        ReadMetafile(stream, metafile);
        if (info.nEscape) LvRaise(kLvErrCancelled);
        Render(metafile, width, height);
        return true;
    } catch (const CLvCodecError& e) {
        Destroy();
        SetLastErrorText(e.Text());
        return false;
    }
}

bool CLvCodecWMF::Encode(CLvStream*) {
    SetLastErrorText(kErrSave);
    return false;
}

#ifndef _WIN32
void CLvCodecWMF::Render(const LvMetafile&, int, int) {
    LvRaise("WMF/EMF pictures can only be rendered on Windows");
}
#endif
