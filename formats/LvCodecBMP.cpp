#include "formats/LvCodecBMP.h"

#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvPackedPixels.h"
#include "image/LvSizeCheck.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kErrNotBmp = "Not a BMP";
const char* const kErrInfo = "Error reading BMP info";
const char* const kErrCompression = "compression type not supported";
const char* const kErrUnknownCompression = "unknown compression";
const char* const kErrRowAlloc = "can't allocate memory";
const char* const kErrTruncated = "BMP file is truncated";
const char* const kErrWrite = "Error writing BMP file";

const WORD kBmpType = 0x4D42; // "BM"
const DWORD kCoreHeaderSize = 12;
const DWORD kOs2HeaderSize = 64;
const DWORD kShortestOs2HeaderSize = 16;
const DWORD kLargestHeaderSize = 124; // the V5 header

// The fields of any of the accepted info headers that the reader uses.
struct InfoHeader {
    DWORD size = 0;
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    DWORD compression = 0;
    LONG xPelsPerMeter = 0;
    LONG yPelsPerMeter = 0;
    DWORD clrUsed = 0;
    DWORD masks[3] = {0, 0, 0}; // red, green, blue
    bool masksInHeader = false;
};

// Windows info headers: the classic 40 bytes, 52 and 56 with colour masks, the V4 (108) and V5 (124)
// headers. They all start with the 40-byte layout and keep 4-byte colour-table entries.
bool IsWindowsHeader(DWORD size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// OS/2 2.x writers may cut their 64-byte header short after any field from the bit count on (16 bytes is
// common); the fields left out are 0. Their colour tables have 4-byte entries, as Windows ones do.
bool IsShortOs2Header(DWORD size) {
    return size >= kShortestOs2HeaderSize && size < kOs2HeaderSize && !IsWindowsHeader(size);
}

InfoHeader ReadInfoHeader(CLvStream* stream) {
    uint8_t raw[kLargestHeaderSize];
    if (stream->Read(raw, 1, 4) != 4) LvRaise(kErrInfo);
    InfoHeader h;
    h.size = uint32_t(raw[0]) | (uint32_t(raw[1]) << 8) | (uint32_t(raw[2]) << 16) | (uint32_t(raw[3]) << 24);
    if (h.size == kCoreHeaderSize) {
        if (stream->Read(raw + 4, 1, 8) != 8) LvRaise(kErrInfo);
        CLvByteReader r(raw + 4, 8);
        h.width = r.LE16();
        h.height = r.LE16();
        r.LE16(); // planes
        h.bitCount = r.LE16();
        return h;
    }
    if (!IsWindowsHeader(h.size) && h.size != kOs2HeaderSize && !IsShortOs2Header(h.size)) LvRaise(kErrInfo);
    if (stream->Read(raw + 4, 1, h.size - 4) != h.size - 4) LvRaise(kErrInfo);
    // Fields beyond a short header read as 0.
    memset(raw + h.size, 0, sizeof(raw) - h.size);
    CLvByteReader r(raw + 4, h.size < 40 ? 36 : h.size - 4);
    h.width = static_cast<LONG>(r.LE32());
    h.height = static_cast<LONG>(r.LE32());
    r.LE16(); // planes
    h.bitCount = r.LE16();
    h.compression = r.LE32();
    r.LE32(); // size of the pixel data: the reader computes it
    h.xPelsPerMeter = static_cast<LONG>(r.LE32());
    h.yPelsPerMeter = static_cast<LONG>(r.LE32());
    h.clrUsed = r.LE32();
    r.LE32(); // important colours
    if (h.size >= 52 && h.size != kOs2HeaderSize) {
        for (DWORD& mask : h.masks)
            mask = r.LE32();
        h.masksInHeader = true;
    }
    return h;
}

bool ReadExactly(CLvStream* stream, void* buffer, size_t size) {
    return stream->Read(buffer, 1, size) == size;
}

// The fields of the file header that the reader uses; a packed DIB has no file header, so both are 0.
struct FileHeader {
    DWORD offBits = 0;
    WORD reserved1 = 0;
};

FileHeader ReadFileHeader(CLvStream* stream, long start) {
    uint8_t raw[14];
    if (!ReadExactly(stream, raw, sizeof(raw))) LvRaise(kErrNotBmp);
    CLvByteReader r(raw, sizeof(raw));
    FileHeader f;
    WORD type = r.LE16();
    r.LE32(); // file size
    f.reserved1 = r.LE16();
    r.LE16();
    f.offBits = r.LE32();
    if (type != kBmpType) {
        // A packed DIB: the info header comes first and the pixels follow the colour table.
        f = FileHeader();
        if (!stream->Seek(start, SEEK_SET)) LvRaise(kErrNotBmp);
    }
    return f;
}

// Makes a top-down picture's height positive (true when it was negative) and checks depth and size.
bool CheckInfoHeader(InfoHeader& h) {
    const bool topDown = h.height < 0;
    if (topDown) {
        if (h.height == INT32_MIN) LvRaise(kErrInfo);
        h.height = -h.height;
    }
    const int bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) LvRaise(kErrInfo);
    if (const char* sizeError = LvCheckImageSize(h.width, h.height, bits)) LvRaise(sizeError);
    return topDown;
}

// The pixel coding is decided before anything is allocated. Run-length coding must match the depth: RLE8
// data in a 4-bit picture would write past its rows.
void CheckCompression(int bits, DWORD compression) {
    switch (bits) {
    case 1:
    case 4:
    case 8:
        if (!(compression == BI_RGB || (compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4)))
            LvRaise(kErrCompression);
        break;
    case 24:
        if (compression != BI_RGB) LvRaise(kErrUnknownCompression);
        break;
    default: // 16 and 32
        if (compression != BI_RGB && compression != BI_BITFIELDS) LvRaise(kErrUnknownCompression);
        break;
    }
}

// The colour masks of 16- and 32-bit pixels: from the header, from the 12 bytes that follow a 40- or
// 64-byte header, or the defaults.
void ReadMasks(CLvStream* stream, const InfoHeader& h, DWORD masks[3]) {
    const int bits = h.bitCount;
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
    if (bits == 32) masks[0] = masks[1] = masks[2] = 0;
    if ((bits != 16 && bits != 32) || h.compression != BI_BITFIELDS) return;
    if (h.masksInHeader) {
        memcpy(masks, h.masks, sizeof(h.masks));
        return;
    }
    uint8_t raw[12];
    if (!ReadExactly(stream, raw, sizeof(raw))) LvRaise(kErrTruncated);
    CLvByteReader r(raw, sizeof(raw));
    for (int i = 0; i < 3; i++)
        masks[i] = r.LE32();
}

// The colour table: 4-byte entries after Windows headers, 3-byte ones after OS/2 headers. Only the
// entries the file declares are read; the rest of the created table stays black.
struct ColorTable {
    size_t entrySize;
    uint64_t fileColors; // entries the file declares, some of which may lie beyond the table
    size_t colorsRead;
    uint8_t entries[256 * 4];
};

void ReadColorTable(CLvStream* stream, const InfoHeader& h, ColorTable& t) {
    const int bits = h.bitCount;
    t.entrySize = IsWindowsHeader(h.size) || IsShortOs2Header(h.size) ? 4 : 3;
    t.fileColors = h.clrUsed;
    if (bits <= 8 && t.fileColors == 0) t.fileColors = uint64_t(1) << bits;
    size_t tableSize = bits <= 8 ? size_t(1) << bits : 0;
    t.colorsRead = t.fileColors < tableSize ? size_t(t.fileColors) : tableSize;
    if (t.colorsRead && !ReadExactly(stream, t.entries, t.colorsRead * t.entrySize)) LvRaise(kErrTruncated);
}

// Where the pixels start: bfOffBits from the start of the file, or right after the colour table
// (including declared entries beyond the table) in a packed DIB.
long long DataStart(CLvStream* stream, long start, DWORD offBits, const ColorTable& t) {
    if (offBits != 0) return static_cast<long long>(start) + offBits;
    long here = stream->Tell();
    if (here < 0) LvRaise(kErrTruncated);
    return here + static_cast<long long>((t.fileColors - t.colorsRead) * t.entrySize);
}

// The bytes of uncompressed pixel data; 0 for run-length coding, whose length the data decide.
uint64_t UncompressedBytes(const InfoHeader& h) {
    if (h.compression != BI_RGB && h.compression != BI_BITFIELDS) return 0;
    const uint64_t width = uint64_t(h.width), height = uint64_t(h.height);
    if (h.bitCount == 16) return (width + 1) / 2 * 4 * height;
    if (h.bitCount == 32) return width * 4 * height;
    return LvDibStride(width, uint64_t(h.bitCount)) * height;
}

// Uncompressed pixel data must be complete; this is checked before the picture is allocated.
void CheckDataSize(CLvStream* stream, long long dataStart, uint64_t dataBytes) {
    long long size = stream->Size();
    if (dataStart > LONG_MAX) LvRaise(kErrTruncated);
    if (size >= 0 && (dataStart > size || uint64_t(size - dataStart) < dataBytes)) LvRaise(kErrTruncated);
}

// Creates the picture with the header's resolution and the file's colours.
void CreatePicture(CLvImage& image, const InfoHeader& h, const ColorTable& colors) {
    image.head.biXPelsPerMeter = h.xPelsPerMeter;
    image.head.biYPelsPerMeter = h.yPelsPerMeter;
    if (!image.Create(h.width, h.height, h.bitCount, LVFMT_BMP)) LvRaise(kLvErrNoMemory);
    image.info.xDPI = static_cast<int32_t>(floor(h.xPelsPerMeter * 0.0254 + 0.5));
    image.info.yDPI = static_cast<int32_t>(floor(h.yPelsPerMeter * 0.0254 + 0.5));
    if (image.info.nEscape) LvRaise(kLvErrCancelled);

    RGBQUAD* palette = image.GetPalette();
    for (size_t i = 0; i < colors.colorsRead; i++) {
        const uint8_t* e = colors.entries + i * colors.entrySize;
        palette[i].rgbBlue = e[0];
        palette[i].rgbGreen = e[1];
        palette[i].rgbRed = e[2];
        palette[i].rgbReserved = colors.entrySize == 4 ? e[3] : 0;
    }
    if (image.info.nEscape) LvRaise(kLvErrCancelled);
}

// Uncompressed pixel data from the stream's position: bit fields, or rows as they are stored.
void ReadUncompressed(CLvImage& image, CLvStream* stream, const InfoHeader& h, const DWORD masks[3],
                      uint64_t dataBytes) {
    BYTE* bits0 = image.GetBits();
    if (h.bitCount == 16) {
        // 16-bit rows are never longer than the 24-bit rows they become: convert in place.
        if (!ReadExactly(stream, bits0, size_t(dataBytes))) LvRaise(kErrTruncated);
        image.ConvertBitfields(bits0, masks[0], masks[1], masks[2], 16);
    } else if (h.bitCount == 32) {
        std::vector<BYTE> row;
        try {
            row.resize(size_t(h.width) * 4);
        } catch (const std::bad_alloc&) {
            LvRaise(kErrRowAlloc);
        }
        for (int y = 0; y < h.height; y++) {
            if (!ReadExactly(stream, row.data(), row.size())) LvRaise(kErrTruncated);
            CLvImage::ConvertBitfieldsRow(row.data(), bits0 + size_t(y) * image.GetEffWidth(), h.width, masks[0],
                                          masks[1], masks[2], 32);
        }
    } else {
        if (!ReadExactly(stream, bits0, image.head.biSizeImage)) LvRaise(kErrTruncated);
    }
}

} // namespace

bool CLvCodecBMP::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        long start = stream->Tell();
        if (start < 0) LvRaise(kErrNotBmp);
        const FileHeader file = ReadFileHeader(stream, start);
        info.wMarkBytes = file.reserved1;

        InfoHeader h = ReadInfoHeader(stream);
        const bool topDown = CheckInfoHeader(h);
        CheckCompression(h.bitCount, h.compression);
        DWORD masks[3];
        ReadMasks(stream, h, masks);
        ColorTable colors;
        ReadColorTable(stream, h, colors);
        const long long dataStart = DataStart(stream, start, file.offBits, colors);
        const uint64_t dataBytes = UncompressedBytes(h);
        CheckDataSize(stream, dataStart, dataBytes);

        CreatePicture(*this, h, colors);
        if (!stream->Seek(static_cast<long>(dataStart), SEEK_SET)) LvRaise(kErrTruncated);
        if (h.compression == BI_RLE8 || h.compression == BI_RLE4)
            DecodeRle(stream, h.compression == BI_RLE4);
        else
            ReadUncompressed(*this, stream, h, masks, dataBytes);
        if (topDown && !Flip()) LvRaise(kLvErrNoMemory);
        return true;
    });
}

// Run-length coded rows (RLE8 and RLE4). Pixels the escapes skip keep index 0, and pixels that would fall
// outside the picture are dropped; data that ends before the last row is a truncated file.
void CLvCodecBMP::DecodeRle(CLvStream* stream, bool fourBit) {
    Clear(0);
    CLvStreamReader in(stream);
    const int width = GetWidth();
    const int height = GetHeight();
    const DWORD stride = GetEffWidth();
    BYTE* const pixels = GetBits();
    int x = 0;
    int y = 0;
    auto next = [&in]() {
        int c = in.GetByte();
        if (c < 0) LvRaise(kErrTruncated);
        return c;
    };
    const int bpp = fourBit ? 4 : 8;
    auto put = [&](BYTE value) {
        // Past the row every further pixel is dropped; holding x at the width keeps it from overflowing.
        if (x < width) LvSetPackedIndex(pixels + size_t(y) * stride, x++, bpp, value);
    };
    // Rows above the picture would be dropped whole, so decoding ends with the last row.
    while (y < height) {
        int n = next();
        if (n > 0) {
            const BYTE value = BYTE(next());
            for (int i = 0; i < n; i++)
                put(fourBit ? LvGetNibble(value, i) : value);
            continue;
        }
        int escape = next();
        if (escape == 0) {
            x = 0;
            y++;
        } else if (escape == 1) {
            break;
        } else if (escape == 2) {
            int dx = next();
            int dy = next();
            x = x + dx < width ? x + dx : width;
            y += dy;
        } else if (fourBit) {
            int bytes = (escape + 1) / 2;
            BYTE pair = 0;
            for (int i = 0; i < escape; i++) {
                if (!(i & 1)) pair = BYTE(next());
                put(LvGetNibble(pair, i));
            }
            if (bytes & 1) next();
        } else {
            for (int i = 0; i < escape; i++)
                put(BYTE(next()));
            if (escape & 1) next();
        }
    }
}

bool CLvCodecBMP::Encode(CLvStream* stream) {
    if (!stream) return false;
    try {
        if (!pDib) LvRaise(kLvErrNoImage);
        uint8_t fileHeader[14];
        fileHeader[0] = 'B';
        fileHeader[1] = 'M';
        LvPutLE32(fileHeader + 2, GetDibSize() + 14);
        LvPutLE16(fileHeader + 6, info.wMarkBytes);
        LvPutLE16(fileHeader + 8, 0);
        LvPutLE32(fileHeader + 10, 14 + sizeof(BITMAPINFOHEADER) + GetPaletteSize());
        // The block carries the current header: resolution and sizes as they are now.
        memcpy(pDib, &head, sizeof(head));
        if (stream->Write(fileHeader, 1, sizeof(fileHeader)) != sizeof(fileHeader)) LvRaise(kErrWrite);
        if (stream->Write(pDib, 1, GetDibSize()) != GetDibSize()) LvRaise(kErrWrite);
        return true;
    } catch (const CLvCodecError& e) {
        SetLastErrorText(e.Text());
    }
    return false;
}
