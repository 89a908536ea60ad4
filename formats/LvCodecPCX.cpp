#include "formats/LvCodecPCX.h"

#include "formats/LvWriteBuffer.h"
#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvPackedPixels.h"
#include "image/LvSizeCheck.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

const char* const kErrRead = "Can't read PCX image";
const char* const kErrNotPcx = "Error: Not a PCX file";
const char* const kErrEncoding = "PCX file has unknown encoding scheme";
const char* const kErrPlanes = "Can't handle image with more than 4 planes";
const char* const kErrCorrupted = "corrupted PCX";
const char* const kErrRepeat = "repeat count spans end of image";
const char* const kErrColorMap = "bad color map signature";
const char* const kErrWriteHeader = "cannot write PCX header";
const char* const kErrPlaneBits = "Can't handle more than 1 bit per pixel";
const char* const kErrPackedPlanes = "Can't handle packed pixels with more than 1 plane.";
const char* const kErrLineLength = "PCX line length too short for the width";
const char* const kErrTooLarge = "Image too large for PCX";
const char* const kErrWrite = "Error writing PCX file";

const size_t kHeaderSize = 128;
const int kPaletteMarker = 12;
const int kLongestRun = 63;

// How the planes of a file make pixels.
enum class Layout {
    Packed, // one plane of 1, 2, 4 or 8 bits per pixel
    Planar, // two to four planes of 1 bit: bit p of the index in plane p
    Rgb,    // three or four planes of 8 bits: red, green, blue and alpha
};

// Run-length decoding of the whole picture, one line (all planes of a row) at a time. A run may go on
// into the next line but not past the end of the picture.
class RunLengthReader {
public:
    RunLengthReader(CLvStream* stream, uint64_t total)
        : m_stream(stream), m_buffer(1 << 16), m_position(0), m_length(0), m_left(total), m_run(0), m_value(0) {}

    void ReadLine(BYTE* out, size_t size) {
        size_t filled = 0;
        while (filled < size) {
            if (m_run) {
                size_t n = m_run < size - filled ? m_run : size - filled;
                if (n == 1)
                    out[filled] = m_value; // most runs in photos are single bytes that look like counts
                else
                    memset(out + filled, m_value, n);
                filled += n;
                m_run -= n;
                continue;
            }
            if (m_position == m_length && !Refill()) LvRaise(kErrCorrupted);
            // Single data bytes are copied as they come, up to the next count.
            const uint8_t* p = m_buffer.data() + m_position;
            size_t most = m_length - m_position < size - filled ? m_length - m_position : size - filled;
            size_t n = 0;
            while (n < most && p[n] < 0xC0) {
                out[filled + n] = p[n];
                n++;
            }
            if (n) {
                filled += n;
                m_position += n;
                m_left -= n;
                continue;
            }
            size_t count = size_t(p[0] & 0x3F);
            m_position++;
            int value = GetByte();
            if (value < 0) LvRaise(kErrCorrupted);
            if (count > m_left) LvRaise(kErrRepeat);
            m_left -= count;
            m_run = count;
            m_value = BYTE(value);
        }
    }

    // The next byte after the picture data, or -1 at the end of the stream.
    int GetByte() {
        if (m_position == m_length && !Refill()) return -1;
        return m_buffer[m_position++];
    }
    bool Read(BYTE* out, size_t n) {
        for (size_t i = 0; i < n; i++) {
            int b = GetByte();
            if (b < 0) return false;
            out[i] = BYTE(b);
        }
        return true;
    }

private:
    bool Refill() {
        m_position = 0;
        m_length = m_stream->Read(m_buffer.data(), 1, m_buffer.size());
        return m_length != 0;
    }

    CLvStream* m_stream;
    std::vector<uint8_t> m_buffer;
    size_t m_position;
    size_t m_length;
    uint64_t m_left; // picture bytes not yet decoded
    size_t m_run;
    BYTE m_value;
};

// The run-length code of one plane line: runs of up to 63 equal bytes, and single bytes that would look
// like a count written as a run of 1. out must hold twice the line.
size_t RunLengthCode(const BYTE* line, size_t size, BYTE* out) {
    BYTE* start = out;
    size_t i = 0;
    while (i < size) {
        BYTE v = line[i];
        size_t run = 1;
        while (i + run < size && line[i + run] == v && run < kLongestRun)
            run++;
        if (run > 1 || v >= 0xC0) *out++ = BYTE(0xC0 | run);
        *out++ = v;
        i += run;
    }
    return size_t(out - start);
}

} // namespace

bool CLvCodecPCX::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        uint8_t raw[kHeaderSize];
        if (stream->Read(raw, 1, sizeof(raw)) != sizeof(raw)) LvRaise(kErrRead);
        CLvByteReader r(raw, sizeof(raw));
        int manufacturer = r.U8();
        r.U8(); // version
        int encoding = r.U8();
        int bits = r.U8();
        int xMin = r.LE16();
        int yMin = r.LE16();
        int xMax = r.LE16();
        int yMax = r.LE16();
        int xDpi = r.LE16();
        int yDpi = r.LE16();
        const uint8_t* headerPalette = raw + 16;
        r.Skip(49); // palette and reserved byte
        int planes = r.U8();
        size_t lineBytes = r.LE16();
        if (manufacturer != 10) LvRaise(kErrNotPcx);
        if (encoding != 1) LvRaise(kErrEncoding);
        if (xMax < xMin || yMax < yMin) LvRaise(kLvErrInvalidSize);
        int width = xMax - xMin + 1;
        int height = yMax - yMin + 1;
        if (planes > 4) LvRaise(kErrPlanes);

        Layout layout;
        int depth;
        if (bits == 8 && (planes == 3 || planes == 4)) {
            layout = Layout::Rgb;
            depth = 24;
        } else if (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) {
            layout = Layout::Packed;
            depth = bits;
        } else if (planes > 1 && bits == 1) {
            layout = Layout::Planar;
            depth = 4;
        } else if (planes > 1 && (bits == 2 || bits == 4)) {
            LvRaise(kErrPackedPlanes);
        } else if (planes == 2 && bits == 8) {
            LvRaise(kErrPlaneBits);
        } else {
            LvRaise(kErrCorrupted);
        }

        // Every plane line must hold the width's pixels; the data must be able to fill the picture
        // (a run code of two bytes gives at most 63 bytes) before anything is allocated.
        if (lineBytes < (uint64_t(width) * bits + 7) / 8) LvRaise(kErrLineLength);
        if (const char* sizeError = LvCheckImageSize(width, height, depth)) LvRaise(sizeError);
        size_t scanBytes = lineBytes * size_t(planes);
        uint64_t total = uint64_t(scanBytes) * uint64_t(height);
        long long available = LvStreamRemaining(stream);
        if (available >= 0 && total > uint64_t(available) * kLongestRun) LvRaise(kErrCorrupted);

        if (!Create(width, height, depth, LVFMT_PCX)) LvRaise(kLvErrNoMemory);
        SetXDPI(xDpi);
        SetYDPI(yDpi);
        if (layout == Layout::Rgb && planes == 4 && !AlphaCreate()) LvRaise(kLvErrNoMemory);
        if (info.nEscape) LvRaise(kLvErrCancelled);

        RunLengthReader in(stream, total);
        std::vector<BYTE> scan(scanBytes);
        for (int fileRow = 0; fileRow < height; fileRow++) {
            if (info.nEscape) LvRaise(kLvErrCancelled);
            in.ReadLine(scan.data(), scanBytes);
            int y = height - 1 - fileRow; // the first file row is the top
            BYTE* row = GetBits() + size_t(y) * GetEffWidth();
            const BYTE* plane0 = scan.data();
            switch (layout) {
            case Layout::Rgb: {
                const BYTE* red = plane0;
                const BYTE* green = plane0 + lineBytes;
                const BYTE* blue = plane0 + 2 * lineBytes;
                for (int x = 0; x < width; x++) {
                    row[3 * x] = blue[x];
                    row[3 * x + 1] = green[x];
                    row[3 * x + 2] = red[x];
                }
                if (planes == 4) memcpy(pAlpha + size_t(y) * width, plane0 + 3 * lineBytes, size_t(width));
                break;
            }
            case Layout::Packed:
                if (bits == 2) {
                    // Four pixels per byte become two per byte.
                    for (int x = 0; x < width; x++)
                        SetPixelIndex(x, y, BYTE((plane0[x / 4] >> (6 - 2 * (x % 4))) & 3));
                } else {
                    // 1, 4 and 8 bits: the file's packing is the picture's.
                    memcpy(row, plane0, (size_t(width) * bits + 7) / 8);
                }
                break;
            case Layout::Planar:
                for (int x = 0; x < width; x++) {
                    int index = 0;
                    for (int p = 0; p < planes; p++)
                        if (LvGetBit(plane0 + p * lineBytes, x)) index |= 1 << p;
                    SetPixelIndex(x, y, BYTE(index));
                }
                break;
            }
        }

        if (layout != Layout::Rgb) {
            uint8_t palette[256 * 3];
            memcpy(palette, headerPalette, 48);
            if (layout == Layout::Packed && bits == 8) {
                int marker = in.GetByte();
                if (marker < 0) LvRaise(kErrCorrupted);
                if (marker != kPaletteMarker) LvRaise(kErrColorMap);
                if (!in.Read(palette, sizeof(palette))) LvRaise(kErrCorrupted);
            } else if (layout == Layout::Packed && bits == 1) {
                static const uint8_t blackWhite[6] = {0, 0, 0, 255, 255, 255};
                memcpy(palette, blackWhite, sizeof(blackWhite));
            }
            SetPalette(palette, head.biClrUsed);
        }
        return true;
    });
}

bool CLvCodecPCX::Encode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        if (!pDib) LvRaise(kLvErrNoImage);
        const int width = GetWidth();
        const int height = GetHeight();
        if (width > 0x10000 || height > 0x10000) LvRaise(kErrTooLarge);
        const int bpp = GetBpp();
        const bool alpha = bpp == 24 && pAlpha != nullptr;
        const int planeBits = bpp >= 8 ? 8 : 1;
        const int planes = bpp == 24 ? (alpha ? 4 : 3) : bpp == 4 ? 4 : 1;
        size_t lineBytes = planeBits == 8 ? size_t(width) : (size_t(width) + 7) / 8;
        lineBytes += lineBytes & 1;
        if (lineBytes > 0xFFFF) LvRaise(kErrTooLarge);

        uint8_t header[kHeaderSize] = {};
        header[0] = 10;
        header[1] = 5;
        header[2] = 1;
        header[3] = BYTE(planeBits);
        LvPutLE16(header + 8, DWORD(width - 1));
        LvPutLE16(header + 10, DWORD(height - 1));
        LvPutLE16(header + 12, DWORD(info.xDPI < 0 ? 0 : info.xDPI > 0xFFFF ? 0xFFFF : info.xDPI));
        LvPutLE16(header + 14, DWORD(info.yDPI < 0 ? 0 : info.yDPI > 0xFFFF ? 0xFFFF : info.yDPI));
        const RGBQUAD* palette = GetPalette();
        if (bpp == 1) {
            memset(header + 19, 255, 3); // black, white
        } else if (bpp == 4) {
            for (int i = 0; i < 16; i++) {
                header[16 + 3 * i] = palette[i].rgbRed;
                header[17 + 3 * i] = palette[i].rgbGreen;
                header[18 + 3 * i] = palette[i].rgbBlue;
            }
        }
        header[65] = BYTE(planes);
        LvPutLE16(header + 66, DWORD(lineBytes));
        LvPutLE16(header + 68, palette ? 0 : 1);
        if (stream->Write(header, 1, sizeof(header)) != sizeof(header)) LvRaise(kErrWriteHeader);

        // The file's 1-bit palette is black, white: a picture whose entry 0 is the brighter one is
        // written with inverted indices so that it looks the same.
        const BYTE invert = bpp == 1 && CompareLuminance(palette[0], palette[1]) > 0 ? 1 : 0;
        CLvWriteBuffer out(stream);
        std::vector<BYTE> line(lineBytes);
        std::vector<BYTE> coded(2 * lineBytes);
        auto putLine = [&]() { out.Put(coded.data(), RunLengthCode(line.data(), lineBytes, coded.data())); };
        for (int y = height - 1; y >= 0; y--) {
            const BYTE* row = GetBits() + size_t(y) * GetEffWidth();
            if (bpp == 24) {
                for (int p = 0; p < planes; p++) {
                    if (p < 3) {
                        for (int x = 0; x < width; x++)
                            line[x] = row[3 * x + 2 - p]; // red, green, blue
                    } else {
                        memcpy(line.data(), pAlpha + size_t(y) * width, size_t(width));
                    }
                    putLine();
                }
            } else if (bpp == 8) {
                memcpy(line.data(), row, size_t(width));
                putLine();
            } else {
                int bitPlanes = bpp == 4 ? 4 : 1;
                for (int p = 0; p < bitPlanes; p++) {
                    memset(line.data(), 0, lineBytes);
                    for (int x = 0; x < width; x++) {
                        int index = GetPixelIndex(x, y) ^ invert;
                        if (index & (1 << p)) LvSetBit(line.data(), x);
                    }
                    putLine();
                }
            }
        }
        if (bpp == 8) {
            out.Put(BYTE(kPaletteMarker));
            for (int i = 0; i < 256; i++) {
                out.Put(palette[i].rgbRed);
                out.Put(palette[i].rgbGreen);
                out.Put(palette[i].rgbBlue);
            }
        }
        if (!out.Flush()) LvRaise(kErrWrite);
        return true;
    });
}
