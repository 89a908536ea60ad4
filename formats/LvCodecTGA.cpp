#include "formats/LvCodecTGA.h"

#include "formats/LvWriteBuffer.h"
#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const char* const kErrNotTga = "Not a TGA";
const char* const kErrType = "Unknown TGA image type";
const char* const kErrHeader = "bad TGA header";
const char* const kErrCreate = "TGA Create failed";
const char* const kErrCorrupted = "corrupted TGA";
const char* const kErrDepth = "Bit depth must be 8 or 24";
const char* const kErrTooLarge = "Image too large for TGA";
const char* const kErrWrite = "Error writing TGA file";

const BYTE kDescriptorRightToLeft = 0x10;
const BYTE kDescriptorTopDown = 0x20;
const int kLongestPacket = 128; // pixels of one run-length packet

struct Header {
    BYTE idLength;
    BYTE colorMapType;
    BYTE imageType;
    WORD colorMapFirst;
    WORD colorMapLength;
    BYTE colorMapEntrySize;
    WORD width;
    WORD height;
    BYTE depth;
    BYTE descriptor;
};

// 15- and 16-bit pixels: five bits each of red, green and blue, kept at the top of their bytes.
inline void Convert16(const BYTE* p, BYTE* out) {
    unsigned w = unsigned(p[0]) | (unsigned(p[1]) << 8);
    out[0] = BYTE((w & 31) << 3);
    out[1] = BYTE((w >> 2) & 0xF8);
    out[2] = BYTE((w >> 7) & 0xF8);
}

// Checks the header fields that decide how the file is read. Colour-mapped pictures have 8-bit indices
// into a map of at most 256 entries, grey pictures 8-bit values, true-colour pictures 15 to 32 bits.
void CheckHeader(const Header& h) {
    int base = h.imageType & 7;
    bool known = (h.imageType & ~8) >= 1 && (h.imageType & ~8) <= 3;
    if (!known) LvRaise(kErrType);
    if (h.width == 0 || h.height == 0 || h.depth == 0 || h.colorMapLength > 256) LvRaise(kErrHeader);
    if (h.depth != 8 && h.depth != 15 && h.depth != 16 && h.depth != 24 && h.depth != 32) LvRaise(kErrHeader);
    if (h.colorMapType > 1) LvRaise(kErrHeader);
    if (base == 1 && (h.colorMapType != 1 || h.depth != 8)) LvRaise(kErrHeader);
    if (base == 2 && h.depth == 8) LvRaise(kErrHeader);
    if (base == 3 && h.depth != 8) LvRaise(kErrHeader);
    if (h.colorMapType == 1) {
        if (uint32_t(h.colorMapFirst) + h.colorMapLength > 256 && base == 1) LvRaise(kErrHeader);
        int e = h.colorMapEntrySize;
        if (e != 15 && e != 16 && e != 24 && e != 32) LvRaise(kErrHeader);
    }
}

// Pixels of the file, plain or run-length coded; a packet may go on into the next row.
class PixelReader {
public:
    PixelReader(CLvStream* stream, int bytesPerPixel, bool runLength)
        : m_in(new CLvStreamReader(stream)), m_bytes(bytesPerPixel), m_runLength(runLength), m_left(0),
          m_repeat(false) {}

    // Reads count pixels into out (count × bytes per pixel bytes).
    void Read(BYTE* out, int count) {
        if (!m_runLength) {
            if (!m_in->Read(out, size_t(count) * m_bytes)) LvRaise(kErrCorrupted);
            return;
        }
        while (count > 0) {
            if (m_left == 0) {
                int h = m_in->GetByte();
                if (h < 0) LvRaise(kErrCorrupted);
                m_repeat = h >= 128;
                m_left = (h & 0x7F) + 1;
                if (m_repeat && !m_in->Read(m_value, m_bytes)) LvRaise(kErrCorrupted);
            }
            int n = m_left < count ? m_left : count;
            if (m_repeat) {
                for (int i = 0; i < n; i++, out += m_bytes)
                    memcpy(out, m_value, m_bytes);
            } else {
                if (!m_in->Read(out, size_t(n) * m_bytes)) LvRaise(kErrCorrupted);
                out += size_t(n) * m_bytes;
            }
            m_left -= n;
            count -= n;
        }
    }

private:
    std::unique_ptr<CLvStreamReader> m_in;
    int m_bytes;
    bool m_runLength;
    int m_left;
    bool m_repeat;
    BYTE m_value[4];
};

} // namespace

bool CLvCodecTGA::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kErrCreate, [&] {
        uint8_t raw[18];
        if (stream->Read(raw, 1, sizeof(raw)) != sizeof(raw)) LvRaise(kErrNotTga);
        CLvByteReader r(raw, sizeof(raw));
        Header h;
        h.idLength = r.U8();
        h.colorMapType = r.U8();
        h.imageType = r.U8();
        h.colorMapFirst = r.LE16();
        h.colorMapLength = r.LE16();
        h.colorMapEntrySize = r.U8();
        r.LE16(); // x origin
        r.LE16(); // y origin
        h.width = r.LE16();
        h.height = r.LE16();
        h.depth = r.U8();
        h.descriptor = r.U8();
        CheckHeader(h);
        const int base = h.imageType & 7;
        const bool runLength = (h.imageType & 8) != 0;

        // The identification field, then the colour map, read by its declared entry size.
        long long available = LvStreamRemaining(stream);
        if (available >= 0 && available < h.idLength) LvRaise(kErrCorrupted);
        if (!stream->Seek(h.idLength, SEEK_CUR)) LvRaise(kErrCorrupted);
        int entryBytes = (h.colorMapEntrySize + 7) / 8;
        uint8_t map[256 * 4];
        size_t mapBytes = h.colorMapType == 1 ? size_t(h.colorMapLength) * entryBytes : 0;
        if (mapBytes && stream->Read(map, 1, mapBytes) != mapBytes) LvRaise(kErrCorrupted);

        // The pixel data must be able to fill the picture before the picture is allocated: plain data
        // byte for byte, run-length data at most 128 pixels per packet header.
        if (const char* sizeError = LvCheckImageSize(h.width, h.height, h.depth)) LvRaise(sizeError);
        const int bytesPerPixel = (h.depth + 7) / 8;
        uint64_t pixels = uint64_t(h.width) * h.height;
        available = LvStreamRemaining(stream);
        if (available >= 0) {
            bool enough = runLength ? pixels <= uint64_t(available) * kLongestPacket
                                    : pixels * bytesPerPixel <= uint64_t(available);
            if (!enough) LvRaise(kErrCorrupted);
        }

        if (!Create(h.width, h.height, h.depth, LVFMT_TGA)) LvRaise(kErrCreate);
        if (h.depth == 32 && !AlphaCreate()) LvRaise(kErrCreate);
        if (info.nEscape) LvRaise(kLvErrCancelled);

        if (base == 1) {
            // Map entry i belongs to pixel value first + i.
            for (int i = 0; i < h.colorMapLength; i++) {
                const uint8_t* e = map + size_t(i) * entryBytes;
                BYTE bgr[3];
                if (entryBytes == 2)
                    Convert16(e, bgr);
                else
                    memcpy(bgr, e, 3);
                SetPaletteColor(BYTE(h.colorMapFirst + i), bgr[2], bgr[1], bgr[0]);
            }
        } else if (base == 3) {
            SetGrayPalette();
        }

        PixelReader in(stream, bytesPerPixel, runLength);
        std::vector<BYTE> line(size_t(h.width) * bytesPerPixel);
        const bool topDown = (h.descriptor & kDescriptorTopDown) != 0;
        for (int fileRow = 0; fileRow < h.height; fileRow++) {
            if (info.nEscape) LvRaise(kLvErrCancelled);
            int y = topDown ? h.height - 1 - fileRow : fileRow;
            BYTE* row = GetBits() + size_t(y) * GetEffWidth();
            if (bytesPerPixel == 1 || bytesPerPixel == 3) {
                in.Read(row, h.width); // the file's bytes are the row's bytes
                continue;
            }
            in.Read(line.data(), h.width);
            const BYTE* p = line.data();
            if (bytesPerPixel == 2) {
                for (int x = 0; x < h.width; x++, p += 2)
                    Convert16(p, row + 3 * x);
            } else {
                BYTE* alpha = pAlpha + size_t(y) * h.width;
                for (int x = 0; x < h.width; x++, p += 4) {
                    row[3 * x] = p[0];
                    row[3 * x + 1] = p[1];
                    row[3 * x + 2] = p[2];
                    alpha[x] = p[3];
                }
            }
        }
        if ((h.descriptor & kDescriptorRightToLeft) && !Mirror()) LvRaise(kErrCreate);
        return true;
    });
}

bool CLvCodecTGA::Encode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kErrWrite, [&] {
        if (!pDib) LvRaise(kLvErrNoImage);
        if (GetBpp() < 8) LvRaise(kErrDepth);
        if (GetWidth() > 0xFFFF || GetHeight() > 0xFFFF) LvRaise(kErrTooLarge);
        const bool mapped = GetBpp() == 8;
        const bool alpha = !mapped && pAlpha != nullptr;
        CLvWriteBuffer out(stream);
        out.Put(0);              // identification length
        out.Put(mapped ? 1 : 0); // colour-map type
        out.Put(mapped ? 1 : 2); // image type
        out.PutLE16(0);          // first colour-map entry
        out.PutLE16(mapped ? 256 : 0);
        out.Put(mapped ? 24 : 0);
        out.PutLE16(0); // x origin
        out.PutLE16(0); // y origin
        out.PutLE16(DWORD(GetWidth()));
        out.PutLE16(DWORD(GetHeight()));
        out.Put(mapped ? 8 : alpha ? 32 : 24);
        // Rows bottom-up, left to right; a 32-bit file declares its 8 alpha bits.
        out.Put(alpha ? 8 : 0);
        if (mapped) {
            const RGBQUAD* palette = GetPalette();
            for (int i = 0; i < 256; i++) {
                out.Put(palette[i].rgbBlue);
                out.Put(palette[i].rgbGreen);
                out.Put(palette[i].rgbRed);
            }
        }
        const int width = GetWidth();
        std::vector<BYTE> line(alpha ? size_t(width) * 4 : 0);
        for (int y = 0; y < GetHeight(); y++) {
            const BYTE* row = GetBits() + size_t(y) * GetEffWidth();
            if (!alpha) {
                out.Put(row, size_t(width) * (mapped ? 1 : 3));
                continue;
            }
            const BYTE* a = pAlpha + size_t(y) * width;
            for (int x = 0; x < width; x++) {
                line[4 * x] = row[3 * x];
                line[4 * x + 1] = row[3 * x + 1];
                line[4 * x + 2] = row[3 * x + 2];
                line[4 * x + 3] = BYTE(info.nAlphaMax * a[x] / 255);
            }
            out.Put(line.data(), line.size());
        }
        if (!out.Flush()) LvRaise(kErrWrite);
        return true;
    });
}
