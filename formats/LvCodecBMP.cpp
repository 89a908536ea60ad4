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
    if (!IsWindowsHeader(h.size) && h.size != kOs2HeaderSize) LvRaise(kErrInfo);
    if (stream->Read(raw + 4, 1, h.size - 4) != h.size - 4) LvRaise(kErrInfo);
    CLvByteReader r(raw + 4, h.size - 4);
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

} // namespace

bool CLvCodecBMP::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        long start = stream->Tell();
        if (start < 0) LvRaise(kErrNotBmp);
        uint8_t fileHeader[14];
        if (!ReadExactly(stream, fileHeader, sizeof(fileHeader))) LvRaise(kErrNotBmp);
        CLvByteReader fh(fileHeader, sizeof(fileHeader));
        WORD type = fh.LE16();
        fh.LE32(); // file size
        WORD reserved1 = fh.LE16();
        fh.LE16();
        DWORD offBits = fh.LE32();
        if (type != kBmpType) {
            // A packed DIB: the info header comes first and the pixels follow the colour table.
            offBits = 0;
            reserved1 = 0;
            if (!stream->Seek(start, SEEK_SET)) LvRaise(kErrNotBmp);
        }
        info.wMarkBytes = reserved1;

        InfoHeader h = ReadInfoHeader(stream);
        bool topDown = h.height < 0;
        if (topDown) {
            if (h.height == INT32_MIN) LvRaise(kErrInfo);
            h.height = -h.height;
        }
        int bits = h.bitCount;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) LvRaise(kErrInfo);
        if (const char* sizeError = LvCheckImageSize(h.width, h.height, bits)) LvRaise(sizeError);

        // Decide the pixel coding before allocating anything. Run-length coding must match the depth:
        // RLE8 data in a 4-bit picture would write past its rows.
        switch (bits) {
        case 1:
        case 4:
        case 8:
            if (!(h.compression == BI_RGB || (h.compression == BI_RLE8 && bits == 8) ||
                  (h.compression == BI_RLE4 && bits == 4)))
                LvRaise(kErrCompression);
            break;
        case 24:
            if (h.compression != BI_RGB) LvRaise(kErrUnknownCompression);
            break;
        default: // 16 and 32
            if (h.compression != BI_RGB && h.compression != BI_BITFIELDS) LvRaise(kErrUnknownCompression);
            break;
        }

        // Colour masks of a 40- or 64-byte header follow it.
        DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (bits == 32) masks[0] = masks[1] = masks[2] = 0;
        if ((bits == 16 || bits == 32) && h.compression == BI_BITFIELDS) {
            if (h.masksInHeader) {
                memcpy(masks, h.masks, sizeof(masks));
            } else {
                uint8_t rawMasks[12];
                if (!ReadExactly(stream, rawMasks, sizeof(rawMasks))) LvRaise(kErrTruncated);
                CLvByteReader r(rawMasks, sizeof(rawMasks));
                for (DWORD& mask : masks)
                    mask = r.LE32();
            }
        }

        // The colour table: 4-byte entries after Windows headers, 3-byte ones after OS/2 headers. Only the
        // entries the file declares are read; the rest of the created table stays black.
        size_t entrySize = IsWindowsHeader(h.size) ? 4 : 3;
        uint64_t fileColors = h.clrUsed;
        if (bits <= 8 && fileColors == 0) fileColors = uint64_t(1) << bits;
        size_t tableSize = bits <= 8 ? size_t(1) << bits : 0;
        size_t colorsRead = fileColors < tableSize ? size_t(fileColors) : tableSize;
        uint8_t table[256 * 4];
        if (colorsRead && !ReadExactly(stream, table, colorsRead * entrySize)) LvRaise(kErrTruncated);

        // Where the pixels start: bfOffBits from the start of the file, or right after the colour table
        // (including declared entries beyond the table) in a packed DIB.
        long long dataStart;
        if (offBits != 0) {
            dataStart = static_cast<long long>(start) + offBits;
        } else {
            long here = stream->Tell();
            if (here < 0) LvRaise(kErrTruncated);
            dataStart = here + static_cast<long long>((fileColors - colorsRead) * entrySize);
        }
        long long size = stream->Size();

        // Uncompressed pixel data must be complete; check it before allocating the picture.
        uint64_t width = uint64_t(h.width), height = uint64_t(h.height);
        uint64_t dataBytes = 0;
        if (h.compression == BI_RGB || h.compression == BI_BITFIELDS) {
            if (bits == 16)
                dataBytes = (width + 1) / 2 * 4 * height;
            else if (bits == 32)
                dataBytes = width * 4 * height;
            else
                dataBytes = LvDibStride(width, uint64_t(bits)) * height;
        }
        if (dataStart > LONG_MAX) LvRaise(kErrTruncated);
        if (size >= 0 && (dataStart > size || uint64_t(size - dataStart) < dataBytes)) LvRaise(kErrTruncated);

        head.biXPelsPerMeter = h.xPelsPerMeter;
        head.biYPelsPerMeter = h.yPelsPerMeter;
        if (!Create(h.width, h.height, bits, LVFMT_BMP)) LvRaise(kLvErrNoMemory);
        info.xDPI = static_cast<int32_t>(floor(h.xPelsPerMeter * 0.0254 + 0.5));
        info.yDPI = static_cast<int32_t>(floor(h.yPelsPerMeter * 0.0254 + 0.5));
        if (info.nEscape) LvRaise(kLvErrCancelled);

        RGBQUAD* palette = GetPalette();
        for (size_t i = 0; i < colorsRead; i++) {
            const uint8_t* e = table + i * entrySize;
            palette[i].rgbBlue = e[0];
            palette[i].rgbGreen = e[1];
            palette[i].rgbRed = e[2];
            palette[i].rgbReserved = entrySize == 4 ? e[3] : 0;
        }
        if (info.nEscape) LvRaise(kLvErrCancelled);

        if (!stream->Seek(static_cast<long>(dataStart), SEEK_SET)) LvRaise(kErrTruncated);
        BYTE* bits0 = GetBits();
        if (h.compression == BI_RLE8 || h.compression == BI_RLE4) {
            DecodeRle(stream, h.compression == BI_RLE4);
        } else if (bits == 16) {
            // 16-bit rows are never longer than the 24-bit rows they become: convert in place.
            if (!ReadExactly(stream, bits0, size_t(dataBytes))) LvRaise(kErrTruncated);
            ConvertBitfields(bits0, masks[0], masks[1], masks[2], 16);
        } else if (bits == 32) {
            std::vector<BYTE> row;
            try {
                row.resize(size_t(width) * 4);
            } catch (const std::bad_alloc&) {
                LvRaise(kErrRowAlloc);
            }
            for (int y = 0; y < h.height; y++) {
                if (!ReadExactly(stream, row.data(), row.size())) LvRaise(kErrTruncated);
                ConvertBitfieldsRow(row.data(), bits0 + size_t(y) * GetEffWidth(), h.width, masks[0], masks[1],
                                    masks[2], 32);
            }
        } else {
            if (!ReadExactly(stream, bits0, head.biSizeImage)) LvRaise(kErrTruncated);
        }

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
