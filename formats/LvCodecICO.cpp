#include "formats/LvCodecICO.h"

#include "formats/LvWriteBuffer.h"
#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvPackedPixels.h"
#include "image/LvSizeCheck.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kErrNoIcons = "Icon file has no icons";
const char* const kErrDirectory = "Icon directory is truncated";
const char* const kErrOutside = "Icon image lies outside the file";
const char* const kErrPng = "The icon's PNG image cannot be read";
const char* const kErrFormat = "Unsupported icon image format";
const char* const kErrDepth = "Unsupported icon bit depth";
const char* const kErrTruncated = "Icon image is truncated";
const char* const kErrCantSave = "Can't save this image as icon";
const char* const kErrWrite = "Error writing icon file";

const size_t kDirectoryHeader = 6;
const size_t kEntrySize = 16;
const DWORD kInfoHeader = 40;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
    DWORD bytes;
    DWORD offset;
};

DWORD MaskStride(int width) {
    return DWORD((width + 31) / 32 * 4);
}

bool ReadExactly(CLvStream* stream, void* buffer, size_t size) {
    return stream->Read(buffer, 1, size) == size;
}

} // namespace

// A PNG-compressed icon: the PNG reader decodes the entry's bytes; the icon is the true-colour picture with
// the PNG's transparency as its alpha.
void CLvCodecICO::ReadPngEntry(CLvStream* stream, long offset, DWORD bytes) {
    std::vector<uint8_t> data(bytes);
    if (!stream->Seek(offset, SEEK_SET) || !ReadExactly(stream, data.data(), data.size())) LvRaise(kErrTruncated);
    CLvMemStream memory(data.data(), data.size());
    CLvImage png;
    if (!png.Decode(&memory, LVFMT_PNG)) {
        const char* text = png.GetLastErrorText();
        LvRaise(text && *text ? text : kErrPng);
    }
    if (png.GetBpp() != 24 && !png.IncreaseBpp(24)) LvRaise(kLvErrNoMemory);
    if (!Create(png.GetWidth(), png.GetHeight(), 24, LVFMT_ICO)) LvRaise(kLvErrNoMemory);
    memcpy(GetBits(), png.GetBits(), head.biSizeImage);
    if (png.pAlpha) {
        if (!AlphaCreate()) LvRaise(kLvErrNoMemory);
        memcpy(pAlpha, png.pAlpha, size_t(GetWidth()) * size_t(GetHeight()));
    }
}

bool CLvCodecICO::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        long start = stream->Tell();
        long size = stream->Size();
        if (start < 0 || size < start) return false;
        const uint64_t fileBytes = uint64_t(size - start);

        uint8_t raw[kDirectoryHeader];
        if (!ReadExactly(stream, raw, sizeof(raw))) return false;
        CLvByteReader h(raw, sizeof(raw));
        WORD reserved = h.LE16();
        WORD type = h.LE16();
        WORD count = h.LE16();
        if (reserved != 0 || type != 1) return false;
        info.nFrameCount = count;
        if (count == 0) LvRaise(kErrNoIcons);
        if (info.nFrame < 0 || info.nFrame >= count) return false;

        std::vector<uint8_t> directory(size_t(count) * kEntrySize);
        if (!ReadExactly(stream, directory.data(), directory.size())) LvRaise(kErrDirectory);
        CLvByteReader e(directory.data() + size_t(info.nFrame) * kEntrySize, kEntrySize);
        e.Skip(8); // width, height, colour count, reserved, planes, bit count: the image's own header rules
        Entry entry;
        entry.bytes = e.LE32();
        entry.offset = e.LE32();
        if (uint64_t(entry.offset) + entry.bytes > fileBytes) LvRaise(kErrOutside);
        if (!stream->Seek(start + long(entry.offset), SEEK_SET)) LvRaise(kErrOutside);

        // Later icon files store large images (256 x 256 above all) as PNG streams.
        uint8_t header[kInfoHeader];
        if (!ReadExactly(stream, header, sizeof(kPngSignature))) LvRaise(kErrTruncated);
        if (memcmp(header, kPngSignature, sizeof(kPngSignature)) == 0) {
            ReadPngEntry(stream, start + long(entry.offset), entry.bytes);
            return true;
        }
        if (!ReadExactly(stream, header + sizeof(kPngSignature), sizeof(header) - sizeof(kPngSignature)))
            LvRaise(kErrTruncated);
        CLvByteReader b(header, sizeof(header));
        DWORD headerSize = b.LE32();
        int32_t width = int32_t(b.LE32());
        int32_t doubleHeight = int32_t(b.LE32());
        b.LE16(); // planes
        int bits = b.LE16();
        DWORD compression = b.LE32();
        b.Skip(12); // image size and resolution
        DWORD colors = b.LE32();
        if (headerSize < kInfoHeader || compression != BI_RGB) LvRaise(kErrFormat);
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) LvRaise(kErrDepth);
        // The image's own header gives the size (the directory says 0 for 256): the colour rows are the
        // top half of its height, the mask the bottom half.
        if (doubleHeight <= 0) LvRaise(kLvErrInvalidSize);
        int height = doubleHeight / 2;
        if (const char* sizeError = LvCheckImageSize(width, height, bits)) LvRaise(sizeError);
        if (colors == 0 && bits <= 8) colors = DWORD(1) << bits;
        if (colors > 256) LvRaise(kErrFormat);

        // Everything this image needs must lie inside the file before anything is allocated.
        uint64_t xorStride = bits == 32 ? uint64_t(width) * 4 : LvDibStride(uint64_t(width), uint64_t(bits));
        uint64_t xorBytes = xorStride * uint64_t(height);
        uint64_t maskBytes = uint64_t(MaskStride(width)) * uint64_t(height);
        uint64_t needed = uint64_t(headerSize) + uint64_t(colors) * 4 + xorBytes + maskBytes;
        if (needed > fileBytes - entry.offset) LvRaise(kErrTruncated);
        if (headerSize > kInfoHeader && !stream->Seek(long(headerSize - kInfoHeader), SEEK_CUR)) LvRaise(kErrTruncated);

        if (!Create(width, height, bits, LVFMT_ICO)) LvRaise(kLvErrNoMemory);
        uint8_t table[256 * 4];
        if (colors && !ReadExactly(stream, table, size_t(colors) * 4)) LvRaise(kErrTruncated);
        if (RGBQUAD* palette = GetPalette()) {
            DWORD used = colors < head.biClrUsed ? colors : head.biClrUsed;
            for (DWORD i = 0; i < used; i++) {
                // Icon colour tables carry no alpha: the reserved bytes are not kept.
                palette[i].rgbBlue = table[4 * i];
                palette[i].rgbGreen = table[4 * i + 1];
                palette[i].rgbRed = table[4 * i + 2];
                palette[i].rgbReserved = 0;
            }
            info.bLastNearestValid = false;
        }

        if (bits <= 24) {
            if (!ReadExactly(stream, GetBits(), head.biSizeImage)) LvRaise(kErrTruncated);
        } else {
            if (!AlphaCreate()) LvRaise(kLvErrNoMemory);
            std::vector<uint8_t> line(size_t(width) * 4);
            bool anyAlpha = false;
            for (int y = 0; y < height; y++) {
                if (!ReadExactly(stream, line.data(), line.size())) LvRaise(kErrTruncated);
                BYTE* row = GetBits() + size_t(y) * GetEffWidth();
                BYTE* alpha = pAlpha + size_t(y) * width;
                for (int x = 0; x < width; x++) {
                    row[3 * x] = line[4 * x];
                    row[3 * x + 1] = line[4 * x + 1];
                    row[3 * x + 2] = line[4 * x + 2];
                    alpha[x] = line[4 * x + 3];
                    anyAlpha |= line[4 * x + 3] != 0;
                }
            }
            // Some writers leave the fourth byte 0 everywhere and rely on the mask alone: such an icon is
            // opaque wherever the mask does not say otherwise, not invisible.
            if (!anyAlpha) AlphaFill(255);
        }

        std::vector<uint8_t> mask(static_cast<size_t>(maskBytes));
        if (!ReadExactly(stream, mask.data(), mask.size())) LvRaise(kErrTruncated);
        const bool hadAlpha = AlphaIsValid();
        if (!hadAlpha) {
            if (!AlphaCreate()) LvRaise(kLvErrNoMemory);
            AlphaFill(255);
        }
        bool anySet = false;
        const DWORD maskStride = MaskStride(width);
        for (int y = 0; y < height; y++) {
            const uint8_t* maskRow = mask.data() + size_t(y) * maskStride;
            BYTE* alpha = pAlpha + size_t(y) * width;
            for (int x = 0; x < width; x++)
                if (LvGetBit(maskRow, x)) {
                    alpha[x] = 0;
                    anySet = true;
                }
        }
        if (!hadAlpha && !anySet) AlphaDelete();
        return true;
    });
}

bool CLvCodecICO::Encode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kErrWrite, [&] {
        if (!pDib || GetWidth() >= 256 || GetHeight() >= 256) LvRaise(kErrCantSave);
        const int width = GetWidth();
        const int height = GetHeight();
        const int bits = GetBpp() == 24 && pAlpha ? 32 : GetBpp();
        const DWORD colors = head.biClrUsed;
        const DWORD xorBytes = bits == 32 ? DWORD(width * height * 4) : head.biSizeImage;
        const DWORD maskStride = MaskStride(width);
        const DWORD maskBytes = maskStride * DWORD(height);

        CLvWriteBuffer out(stream);
        out.PutLE16(0);
        out.PutLE16(1);
        out.PutLE16(1);
        out.Put(BYTE(width));
        out.Put(BYTE(height));
        out.Put(BYTE(colors));
        out.Put(0);     // reserved
        out.PutLE16(0); // planes
        out.PutLE16(DWORD(bits));
        out.PutLE32(kInfoHeader + 4 * colors + xorBytes + maskBytes);
        out.PutLE32(DWORD(kDirectoryHeader + kEntrySize));

        out.PutLE32(kInfoHeader);
        out.PutLE32(DWORD(width));
        out.PutLE32(DWORD(height * 2));
        out.PutLE16(1);
        out.PutLE16(DWORD(bits));
        out.PutLE32(BI_RGB);
        out.PutLE32(xorBytes);
        for (int i = 0; i < 4; i++)
            out.PutLE32(0); // resolution, colours used, important colours
        if (colors) out.Put(GetPalette(), 4 * colors);

        if (bits == 32) {
            std::vector<BYTE> line(size_t(width) * 4);
            for (int y = 0; y < height; y++) {
                const BYTE* row = GetBits() + size_t(y) * GetEffWidth();
                const BYTE* alpha = pAlpha + size_t(y) * width;
                for (int x = 0; x < width; x++) {
                    line[4 * x] = row[3 * x];
                    line[4 * x + 1] = row[3 * x + 1];
                    line[4 * x + 2] = row[3 * x + 2];
                    line[4 * x + 3] = alpha[x];
                }
                out.Put(line.data(), line.size());
            }
        } else {
            out.Put(GetBits(), head.biSizeImage);
        }

        // A mask bit marks a transparent pixel: alpha 0, a palette entry whose alpha is 0, or the
        // transparent colour.
        const bool paletteAlpha = AlphaPaletteIsValid();
        const bool transparentColor = info.nTransIndex != -1;
        const RGBQUAD trans = GetTransColor();
        std::vector<BYTE> maskRow(maskStride);
        for (int y = 0; y < height; y++) {
            memset(maskRow.data(), 0, maskStride);
            for (int x = 0; x < width; x++) {
                bool clear = pAlpha && pAlpha[size_t(y) * width + x] == 0;
                if (!clear && paletteAlpha) clear = GetPalette()[GetPixelIndex(x, y)].rgbReserved == 0;
                if (!clear && transparentColor) {
                    RGBQUAD c = GetPixelColor(x, y);
                    clear = c.rgbRed == trans.rgbRed && c.rgbGreen == trans.rgbGreen && c.rgbBlue == trans.rgbBlue;
                }
                if (clear) LvSetBit(maskRow.data(), x);
            }
            out.Put(maskRow.data(), maskStride);
        }
        if (!out.Flush()) LvRaise(kErrWrite);
        return true;
    });
}
