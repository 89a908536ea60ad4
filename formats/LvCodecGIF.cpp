#include "formats/LvCodecGIF.h"

#include "formats/LvFormatTable.h"
#include "formats/LvWriteBuffer.h"
#include "image/LvByteReader.h"
#include "image/LvCodecError.h"
#include "image/LvPackedPixels.h"
#include "image/LvSizeCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const char* const kErrCantWrite = "Can't open GIF for writing";
const char* const kErrWrite = "Write Error in GIF file";
const char* const kErrNoImages = "GIF file has no images";
const char* const kErrTruncated = "GIF file is truncated";
const char* const kErrTooLarge = "Image too large for GIF";

const int kMaxBits = 12;
const int kTableSize = 1 << kMaxBits; // 4096 codes
const int kCellWidth = 17;
const int kCellHeight = 15;
const int kPacketSize = 254;
const BYTE kExtension = 0x21;
const BYTE kImage = 0x2C;
const BYTE kTrailer = 0x3B;
const BYTE kGraphicControl = 0xF9;
const BYTE kComment = 0xFE;
const BYTE kApplication = 0xFF;

// Skips sub-blocks up to and including the zero-length one (or the end of the stream).
void SkipSubBlocks(CLvStreamReader& in) {
    for (;;) {
        int n = in.GetByte();
        if (n <= 0) return;
        in.Skip(size_t(n));
    }
}

// The bits of an image's LZW data, least significant first, from its chain of sub-blocks.
class CodeReader {
public:
    explicit CodeReader(CLvStreamReader& in) : m_in(in), m_left(0), m_ended(false), m_bits(0), m_count(0) {}

    // The next code of the given width, or -1 when the data end.
    int Code(int width) {
        while (m_count < width) {
            int b = NextByte();
            if (b < 0) return -1;
            m_bits |= uint32_t(b) << m_count;
            m_count += 8;
        }
        int code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_count -= width;
        return code;
    }

    // Leaves the input after the data's zero-length sub-block.
    void SkipRest() {
        if (m_ended) return;
        m_in.Skip(m_left);
        SkipSubBlocks(m_in);
        m_ended = true;
    }

private:
    int NextByte() {
        if (m_ended) return -1;
        if (m_left == 0) {
            int n = m_in.GetByte();
            if (n <= 0) {
                m_ended = true;
                return -1;
            }
            m_left = size_t(n);
        }
        int b = m_in.GetByte();
        if (b < 0) {
            m_ended = true;
            return -1;
        }
        m_left--;
        return b;
    }

    CLvStreamReader& m_in;
    size_t m_left; // bytes left in the current sub-block
    bool m_ended;
    uint32_t m_bits;
    int m_count;
};

// Stores decoded pixels row by row, top row first or in the four interlace passes.
class RowWriter {
public:
    RowWriter(CLvImage& image, bool interlaced)
        : m_image(image), m_width(image.GetWidth()), m_height(image.GetHeight()), m_interlaced(interlaced), m_pass(0),
          m_row(0), m_x(0), m_done(false), m_line(size_t(image.GetWidth())) {}

    bool Done() const { return m_done; }

    void Put(int value) {
        m_line[m_x++] = BYTE(value);
        if (m_x == m_width) {
            Store(m_width);
            m_x = 0;
            Advance();
        }
    }

    // A row the data did not complete keeps what was decoded of it.
    void Finish() {
        if (m_x > 0 && !m_done) Store(m_x);
        m_x = 0;
    }

private:
    void Store(int count) {
        BYTE* row = m_image.GetBits() + size_t(m_height - 1 - m_row) * m_image.GetEffWidth();
        const BYTE* p = m_line.data();
        switch (m_image.GetBpp()) {
        case 8:
            memcpy(row, p, size_t(count));
            break;
        case 4:
            for (int x = 0; x < count; x++)
                LvSetPackedIndex(row, x, 4, p[x]);
            break;
        default:
            for (int x = 0; x < count; x++)
                LvSetPackedIndex(row, x, 1, p[x]);
            break;
        }
    }

    void Advance() {
        static const int start[4] = {0, 4, 2, 1};
        static const int step[4] = {8, 8, 4, 2};
        if (!m_interlaced) {
            m_done = ++m_row >= m_height;
            return;
        }
        m_row += step[m_pass];
        while (m_row >= m_height && m_pass < 3)
            m_row = start[++m_pass];
        m_done = m_row >= m_height;
    }

    CLvImage& m_image;
    int m_width;
    int m_height;
    bool m_interlaced;
    int m_pass;
    int m_row;
    int m_x;
    bool m_done;
    std::vector<BYTE> m_line;
};

// Decodes one image's LZW data (after its code-size byte) into the rows. Ends at the end code, when the
// rows are full or when the data end; the input is then left after the data's last sub-block. Codes
// beyond the table are read as the previous string plus its first character.
void DecodeLzw(CLvStreamReader& in, int codeSize, RowWriter& rows) {
    struct Tables {
        uint16_t prefix[kTableSize];
        uint8_t suffix[kTableSize];
        uint8_t stack[kTableSize + 1];
    };
    std::unique_ptr<Tables> t(new Tables);
    CodeReader codes(in);
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    int width = codeSize + 1;
    int limit = 1 << width;
    int next = clear + 2;
    int previous = -1;
    int first = 0;
    while (!rows.Done()) {
        int code = codes.Code(width);
        if (code < 0 || code == end) break;
        if (code == clear) {
            width = codeSize + 1;
            limit = 1 << width;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (previous < 0) {
            if (code >= next) code = 0;
            rows.Put(code);
            previous = first = code;
            continue;
        }
        int sp = 0;
        int current = code;
        if (code >= next) {
            // The string being defined: the previous one plus its own first character.
            t->stack[sp++] = BYTE(first);
            current = previous;
        }
        while (current >= clear && sp < kTableSize) {
            t->stack[sp++] = t->suffix[current];
            current = t->prefix[current];
        }
        t->stack[sp++] = BYTE(current);
        first = current;
        while (sp > 0 && !rows.Done())
            rows.Put(t->stack[--sp]);
        int added = -1;
        if (next < limit) {
            t->prefix[next] = uint16_t(previous);
            t->suffix[next] = BYTE(first);
            added = next++;
            if (next == limit && width < kMaxBits) {
                width++;
                limit <<= 1;
            }
        }
        previous = code >= added && added >= 0 ? added : code;
    }
    rows.Finish();
    codes.SkipRest();
}

// Copies the frame's pixels that are not transparent, by index, onto the target at (left, top) of the
// logical screen; whatever falls outside the target is dropped.
void PasteIndices(CLvImage& target, const CLvImage& frame, int left, int top, int transIndex) {
    for (int row = 0; row < frame.GetHeight() && top + row < target.GetHeight(); row++) {
        int y = target.GetHeight() - 1 - (top + row);
        int frameY = frame.GetHeight() - 1 - row;
        for (int x = 0; x < frame.GetWidth() && left + x < target.GetWidth(); x++) {
            BYTE index = frame.GetPixelIndex(x, frameY);
            if (index != transIndex) target.SetPixelIndex(left + x, y, index);
        }
    }
}

// Copies the frame's pixels, by colour, onto the 24-bit canvas at (left, top); pixels of the transparent
// index are skipped unless transIndex is -1.
void PasteColors(CLvImage& canvas, const CLvImage& frame, int left, int top, int transIndex) {
    for (int row = 0; row < frame.GetHeight() && top + row < canvas.GetHeight(); row++) {
        int y = canvas.GetHeight() - 1 - (top + row);
        int frameY = frame.GetHeight() - 1 - row;
        for (int x = 0; x < frame.GetWidth() && left + x < canvas.GetWidth(); x++)
            if (transIndex < 0 || frame.GetPixelIndex(x, frameY) != transIndex)
                canvas.SetPixelColor(left + x, y, frame.GetPixelColor(x, frameY));
    }
}

// True when the colours of the frame's table (its first entries) are the same in the target's palette, so
// that the frame can be copied onto it by index.
bool SharesPalette(const CLvImage& target, const CLvImage& frame, int tableSize) {
    const RGBQUAD* a = target.GetPalette();
    const RGBQUAD* b = frame.GetPalette();
    DWORD n = DWORD(tableSize) < frame.GetHeader().biClrUsed ? DWORD(tableSize) : frame.GetHeader().biClrUsed;
    if (!a || !b || frame.GetHeader().biClrUsed > target.GetHeader().biClrUsed) return false;
    for (DWORD i = 0; i < n; i++)
        if (a[i].rgbRed != b[i].rgbRed || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbBlue != b[i].rgbBlue) return false;
    return true;
}

// Makes a palette image 24-bit with the same colours; a transparent index becomes the transparent colour.
void MakeTrueColor(CLvImage& image) {
    CLvImage rgb;
    rgb.CopyInfoIfEmpty(image);
    if (!rgb.Create(image.GetWidth(), image.GetHeight(), 24, image.GetFormat())) LvRaise(kLvErrNoMemory);
    for (int y = 0; y < image.GetHeight(); y++)
        for (int x = 0; x < image.GetWidth(); x++)
            rgb.SetPixelColor(x, y, image.GetPixelColor(x, y));
    rgb.info.rgbTransColor = image.GetTransColor();
    image.TakeOver(rgb);
}

// ---- writing ----

// Codes least significant bit first, in sub-blocks of at most 254 bytes each preceded by its length.
class CodeWriter {
public:
    explicit CodeWriter(CLvWriteBuffer& out) : m_out(out), m_bits(0), m_count(0), m_fill(0) {}

    void Code(int code, int width) {
        m_bits |= uint32_t(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            Byte(BYTE(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }

    // Writes the last bits, the last sub-block and the zero-length terminator.
    void Finish() {
        if (m_count > 0) Byte(BYTE(m_bits));
        m_bits = 0;
        m_count = 0;
        FlushPacket();
        m_out.Put(0);
    }

private:
    void Byte(BYTE b) {
        m_packet[m_fill++] = b;
        if (m_fill == kPacketSize) FlushPacket();
    }
    void FlushPacket() {
        if (!m_fill) return;
        m_out.Put(BYTE(m_fill));
        m_out.Put(m_packet, size_t(m_fill));
        m_fill = 0;
    }

    CLvWriteBuffer& m_out;
    uint32_t m_bits;
    int m_count;
    int m_fill;
    BYTE m_packet[kPacketSize];
};

// What a decoder's string table does with the codes written: it adds an entry for every code but the first
// after a clear code, and reads one bit more once its next free code reaches the current width's limit.
// Every coder writes through it, so its code widths are the decoder's.
class DecoderModel {
public:
    DecoderModel(CodeWriter& writer, int initialWidth)
        : m_writer(writer), m_initialWidth(initialWidth), m_clear(1 << (initialWidth - 1)), m_width(initialWidth),
          m_next(m_clear + 2), m_started(false), m_count(0) {}

    int ClearCode() const { return m_clear; }
    int Next() const { return m_next; }   // the code the next entry will get
    int Count() const { return m_count; } // codes since the last clear code
    bool Full() const { return m_next >= kTableSize; }

    void Clear() {
        m_writer.Code(m_clear, m_width);
        m_width = m_initialWidth;
        m_next = m_clear + 2;
        m_started = false;
        m_count = 0;
    }

    void Emit(int code) {
        m_writer.Code(code, m_width);
        if (m_started && m_next < kTableSize) {
            m_next++;
            if (m_next == (1 << m_width) && m_width < kMaxBits) m_width++;
        }
        m_started = true;
        m_count++;
    }

    void End() {
        m_writer.Code(m_clear + 1, m_width);
        m_writer.Finish();
    }

private:
    CodeWriter& m_writer;
    int m_initialWidth;
    int m_clear;
    int m_width;
    int m_next;
    bool m_started;
    int m_count;
};

// Option 1: every pixel is one code; the table is cleared when the decoder's table is full.
class PlainCoder {
public:
    explicit PlainCoder(DecoderModel& model) : m_model(model) { m_model.Clear(); }
    void Put(int pixel) {
        if (m_model.Full()) m_model.Clear();
        m_model.Emit(pixel);
    }
    void Finish() { m_model.End(); }

private:
    DecoderModel& m_model;
};

// Option 2: the classic LZW compressor with an open-addressing hash table of 5003 slots keyed by
// (prefix code << 12) + pixel.
class LzwCoder {
public:
    explicit LzwCoder(DecoderModel& model)
        : m_model(model), m_keys(kSlots, -1), m_codes(kSlots, 0), m_next(model.ClearCode() + 2), m_prefix(-1) {
        m_model.Clear();
    }

    void Put(int pixel) {
        if (m_prefix < 0) {
            m_prefix = pixel;
            return;
        }
        int32_t key = (int32_t(m_prefix) << kMaxBits) + pixel;
        int i = (pixel << 4) ^ m_prefix; // always below 4096, so inside the table
        if (m_keys[i] == key) {
            m_prefix = m_codes[i];
            return;
        }
        if (m_keys[i] >= 0) {
            int step = i == 0 ? 1 : kSlots - i;
            do {
                i -= step;
                if (i < 0) i += kSlots;
                if (m_keys[i] == key) {
                    m_prefix = m_codes[i];
                    return;
                }
            } while (m_keys[i] >= 0);
        }
        m_model.Emit(m_prefix);
        m_prefix = pixel;
        if (m_next < kTableSize) {
            m_codes[i] = uint16_t(m_next++);
            m_keys[i] = key;
        } else {
            std::fill(m_keys.begin(), m_keys.end(), -1);
            m_next = m_model.ClearCode() + 2;
            m_model.Clear();
        }
    }

    void Finish() {
        if (m_prefix >= 0) m_model.Emit(m_prefix);
        m_model.End();
    }

private:
    static const int kSlots = 5003;
    DecoderModel& m_model;
    std::vector<int32_t> m_keys;
    std::vector<uint16_t> m_codes;
    int m_next;
    int m_prefix;
};

// Option 0: runs of equal pixels without a string table of the coder's own. A run of pixel c is written
// as c followed by the code the decoder is about to define, again and again: the decoder reads each such
// code as the previous string plus its first character, so the strings grow c, cc, ccc, ... and a run of
// n pixels takes about the square root of 2n codes. A rest shorter than the next string is written with
// a string already defined. Short runs are written as single pixels, with a clear code every few codes
// so that their width stays that of the first code.
class RunLengthCoder {
public:
    explicit RunLengthCoder(DecoderModel& model)
        : m_model(model), m_budget(4093 - model.ClearCode()),
          m_threshold(model.ClearCode() <= 4 ? 9 : model.ClearCode() - 2), m_pixel(-1), m_run(0) {
        m_model.Clear();
    }

    void Put(int pixel) {
        if (pixel == m_pixel) {
            m_run++;
            return;
        }
        Flush();
        m_pixel = pixel;
        m_run = 1;
    }

    void Finish() {
        Flush();
        m_model.End();
    }

private:
    void Flush() {
        if (m_run == 0) return;
        if (m_run < 3) {
            for (long i = 0; i < m_run; i++) {
                if (m_model.Count() >= m_threshold) m_model.Clear();
                m_model.Emit(m_pixel);
            }
        } else {
            WriteRun(m_pixel, m_run);
        }
        m_run = 0;
    }

    void WriteRun(int pixel, long length) {
        while (length > 0) {
            if (m_budget - m_model.Count() < 3) m_model.Clear();
            int left = m_budget - m_model.Count();
            m_model.Emit(pixel);
            left--;
            length--;
            const int firstString = m_model.Next(); // the code of the string of two pixels
            long longest = 1;
            while (length >= longest + 1 && left > 1) {
                m_model.Emit(m_model.Next());
                longest++;
                length -= longest;
                left--;
            }
            while (length > 0 && left > 0) {
                long n = length < longest ? length : longest;
                m_model.Emit(n == 1 ? pixel : firstString + int(n) - 2);
                length -= n;
                left--;
            }
        }
    }

    DecoderModel& m_model;
    int m_budget;    // codes allowed between clear codes, so that the table never fills
    int m_threshold; // codes after which single pixels start a new table
    int m_pixel;
    long m_run;
};

// Feeds the picture's palette indices to a coder, row by row from the top, left to right. 8-bit rows, the
// usual case, are read without asking for the depth at every pixel.
template <class Coder>
void FeedPixels(const CLvImage& image, Coder& coder) {
    const int width = image.GetWidth();
    const int bpp = image.GetBpp();
    for (int y = image.GetHeight() - 1; y >= 0; y--) {
        const BYTE* row = image.GetBits() + size_t(y) * image.GetEffWidth();
        if (bpp == 8) {
            for (int x = 0; x < width; x++)
                coder.Put(row[x]);
        } else {
            for (int x = 0; x < width; x++)
                coder.Put(LvGetPackedIndex(row, x, bpp));
        }
    }
    coder.Finish();
}

} // namespace

CLvCodecGIF::CLvCodecGIF() : CLvImage(LVFMT_GIF), gceFlags(0), gceDelay(0), gceTransIndex(0), nDisposal(0), nLoops(0) {
    szGifComment[0] = '\0';
}

void CLvCodecGIF::SetComment(const char* text) {
    size_t n = text ? strlen(text) : 0;
    if (n > sizeof(szGifComment) - 1) n = sizeof(szGifComment) - 1;
    if (n) memcpy(szGifComment, text, n);
    szGifComment[n] = '\0';
}

bool CLvCodecGIF::ReadExtension(CLvStreamReader& in, bool apply) {
    int label = in.GetByte();
    int size = in.GetByte();
    if (label < 0 || size < 0) return false;
    if (size == 0) return true; // no data: the terminator is read
    uint8_t block[255];
    if (!in.Read(block, size_t(size))) return false;
    switch (label) {
    case kGraphicControl:
        if (apply && size >= 4) {
            gceFlags = block[0];
            gceDelay = WORD(block[1] | (block[2] << 8));
            gceTransIndex = block[3];
            // Each control block says for itself whether its frame has a transparent colour.
            info.nTransIndex = (gceFlags & 1) ? gceTransIndex : -1;
            info.dwFrameDelay = gceDelay;
            nDisposal = (gceFlags >> 2) & 7;
        }
        break;
    case kComment:
        if (apply) {
            memcpy(szGifComment, block, size_t(size));
            szGifComment[size] = '\0';
        }
        break;
    case kApplication: {
        // Anything but the 11-byte application identifier ends the reading with the frames so far. Only
        // the looping extension's sub-block 1 is a loop count; other applications store other data.
        if (size != 11) return false;
        const bool looping = memcmp(block, "NETSCAPE2.0", 11) == 0 || memcmp(block, "ANIMEXTS1.0", 11) == 0;
        int n = in.GetByte();
        if (n <= 0) return n == 0;
        if (!in.Read(block, size_t(n))) return false;
        if (apply && looping && n > 2 && block[0] == 1) nLoops = block[1] | (block[2] << 8);
        break;
    }
    default:
        break;
    }
    SkipSubBlocks(in);
    return true;
}

int CLvCodecGIF::CountFrames(CLvStreamReader& in) {
    int count = 0;
    for (;;) {
        if (info.nEscape) LvRaise(kLvErrCancelled);
        int c = in.GetByte();
        if (c < 0 || c == kTrailer) break;
        if (c == kExtension) {
            if (!ReadExtension(in, false)) break;
        } else if (c == kImage) {
            uint8_t d[9];
            if (!in.Read(d, sizeof(d))) break;
            if (d[8] & 0x80) {
                size_t tableBytes = size_t(3) << ((d[8] & 7) + 1);
                uint8_t table[768];
                if (!in.Read(table, tableBytes)) break;
            }
            count++;
            in.GetByte(); // code size
            SkipSubBlocks(in);
        }
    }
    return count;
}

// What Decode keeps from block to block.
struct CLvCodecGIF::DecodeState {
    // How the frames make the picture.
    enum class Composition {
        Frames,    // the frame nFrame, drawn over the frames before it where they say "do not dispose"
        Undecided, // no global table: the first frame decides between Frames and Pieces
        Pieces,    // every frame drawn, by colour, onto one 24-bit canvas
    };

    explicit DecodeState(CLvStream* stream) : in(new CLvStreamReader(stream)) {}

    std::unique_ptr<CLvStreamReader> in;
    int screenWidth = 0;
    int screenHeight = 0;
    bool hasGlobal = false;
    int globalSize = 0;
    uint8_t global[768];
    Composition composition = Composition::Frames;
    std::unique_ptr<CLvImage> canvas;
    int frameIndex = 0;
    int firstTransIndex = -1;
    bool haveResult = false;
};

// An image descriptor and the colour table its frame uses.
struct CLvCodecGIF::FrameHeader {
    int left;
    int top;
    int width;
    int height;
    BYTE flags;
    const uint8_t* table; // the global table, the local one or null
    int tableSize;
    uint8_t local[768];
};

namespace {

// "Do not dispose": the frame just read is drawn over the picture the earlier frames left, which then
// becomes the image. A frame with a palette of its own is drawn by colour onto a 24-bit copy of the
// background, so that earlier frames keep their colours.
void DrawOverBackground(CLvImage& frame, CLvImage& background, int left, int top, int tableSize, int firstTransIndex) {
    background.info.nTransIndex = firstTransIndex;
    if (SharesPalette(background, frame, tableSize)) {
        PasteIndices(background, frame, left, top, frame.info.nTransIndex);
    } else {
        if (background.GetBpp() != 24) MakeTrueColor(background);
        PasteColors(background, frame, left, top, frame.info.nTransIndex);
    }
    frame.TakeOver(background);
}

// The canvas takes the image's record; its transparency is the last frame's colour.
void TakeCanvas(CLvImage& image, CLvImage& canvas, bool transparent) {
    const RGBQUAD transColor = image.GetTransColor();
    CLvImageInfo kept = image.info;
    image.TakeOver(canvas);
    DWORD rowBytes = image.info.dwRowBytes;
    BYTE* bits = image.info.pBits;
    image.info = kept;
    image.info.dwRowBytes = rowBytes;
    image.info.pBits = bits;
    image.info.pOwner = nullptr;
    image.info.bLastNearestValid = false;
    image.info.nTransIndex = transparent ? 0 : -1;
    if (transparent) image.info.rgbTransColor = transColor;
}

} // namespace

void CLvCodecGIF::ResetReadFields() {
    gceFlags = 0;
    gceDelay = 0;
    gceTransIndex = 0;
    nDisposal = 0;
    nLoops = 0;
    szGifComment[0] = '\0';
    info.nTransIndex = -1;
}

// The signature, the logical screen descriptor and the global colour table. False when the data are not
// a GIF file.
bool CLvCodecGIF::ReadScreen(DecodeState& s) {
    uint8_t raw[13];
    if (!s.in->Read(raw, sizeof(raw)) || memcmp(raw, "GIF8", 4) != 0) return false;
    CLvByteReader header(raw + 6, 7);
    s.screenWidth = header.LE16();
    s.screenHeight = header.LE16();
    const BYTE screenFlags = header.U8();
    s.globalSize = 2 << (screenFlags & 7);
    s.hasGlobal = (screenFlags & 0x80) != 0;
    if (s.hasGlobal && !s.in->Read(s.global, size_t(3 * s.globalSize))) LvRaise(kErrTruncated);
    s.composition = s.hasGlobal ? DecodeState::Composition::Frames : DecodeState::Composition::Undecided;
    return true;
}

bool CLvCodecGIF::Decode(CLvStream* stream) {
    if (!stream) return false;
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        ResetReadFields();
        const long start = stream->Tell();
        DecodeState s(stream);
        if (start < 0 || !ReadScreen(s)) return false;
        const long blocksStart = start + 13 + (s.hasGlobal ? 3 * s.globalSize : 0);

        info.nFrameCount = CountFrames(*s.in);
        if (info.nFrameCount == 0) LvRaise(kErrNoImages);
        if (info.nFrame < 0 || info.nFrame >= info.nFrameCount) return false;
        if (!s.in->Seek(blocksStart)) LvRaise(kErrTruncated);

        while (ReadBlock(s)) {}
        if (!s.haveResult) LvRaise(kErrTruncated);
        if (s.canvas) TakeCanvas(*this, *s.canvas, (gceFlags & 1) != 0);
        return true;
    });
}

// Reads the next block. False when reading ends: at the trailer, where the data end or fail, or once the
// frame asked for is read.
bool CLvCodecGIF::ReadBlock(DecodeState& s) {
    if (info.nEscape) LvRaise(kLvErrCancelled);
    int c = s.in->GetByte();
    if (c < 0 || c == kTrailer) return false;
    if (c == kExtension) return ReadExtension(*s.in, true);
    if (c != kImage) return true; // stray bytes between blocks are skipped
    return ReadImage(s);
}

// The image descriptor after its separator and the local colour table. False when the data end.
bool CLvCodecGIF::ReadFrameHeader(DecodeState& s, FrameHeader& f) {
    uint8_t raw[9];
    if (!s.in->Read(raw, sizeof(raw))) return false;
    CLvByteReader r(raw, sizeof(raw));
    f.left = r.LE16();
    f.top = r.LE16();
    f.width = r.LE16();
    f.height = r.LE16();
    f.flags = r.U8();
    f.table = s.hasGlobal ? s.global : nullptr;
    f.tableSize = s.globalSize;
    if (f.flags & 0x80) {
        f.tableSize = 2 << (f.flags & 7);
        if (!s.in->Read(f.local, size_t(3 * f.tableSize))) return false;
        f.table = f.local;
    }
    return true;
}

// Reads one image after its separator. False when reading ends here.
bool CLvCodecGIF::ReadImage(DecodeState& s) {
    using Composition = DecodeState::Composition;
    FrameHeader f;
    if (!ReadFrameHeader(s, f)) return false;
    const bool first = s.frameIndex == 0;
    if (first && s.composition == Composition::Undecided) {
        // A first frame that does not cover the logical screen makes a picture of pieces.
        const bool covers = f.width == s.screenWidth && f.height == s.screenHeight;
        s.composition = covers ? Composition::Frames : Composition::Pieces;
    }
    const bool pieces = s.composition == Composition::Pieces;
    if (pieces) info.nFrame = info.nFrameCount - 1;
    const bool wanted = s.frameIndex++ == info.nFrame;
    const int depth = f.tableSize == 2 ? 1 : f.tableSize <= 16 ? 4 : 8;

    if (const char* sizeError = LvCheckImageSize(f.width, f.height, depth)) {
        // A frame of no pixels (or of impossible size) has nothing to show.
        s.in->GetByte();
        SkipSubBlocks(*s.in);
        if (wanted && !pieces) LvRaise(sizeError);
        return !wanted;
    }

    std::unique_ptr<CLvImage> background;
    if (!first && nDisposal == 1 && !pieces && s.haveResult) {
        background.reset(new CLvImage(*this));
        if (!background->IsValid()) LvRaise(kLvErrNoMemory);
    }
    DecodeFrame(*s.in, f, depth);
    if (first) s.firstTransIndex = info.nTransIndex;
    if (background) DrawOverBackground(*this, *background, f.left, f.top, f.tableSize, s.firstTransIndex);
    s.haveResult = true;
    if (pieces) DrawOnCanvas(s, f);
    return !wanted;
}

// Creates the frame's picture with its palette and decodes its pixels.
void CLvCodecGIF::DecodeFrame(CLvStreamReader& in, const FrameHeader& f, int depth) {
    if (!Create(f.width, f.height, depth, LVFMT_GIF)) LvRaise(kLvErrNoMemory);
    Clear(0);
    if (f.table) {
        uint8_t palette[768];
        memcpy(palette, f.table, size_t(3 * f.tableSize));
        DWORD entries = DWORD(f.tableSize);
        if (info.nTransIndex != -1 && f.tableSize < 256) {
            memset(palette + 3 * f.tableSize, 255, size_t(3 * (256 - f.tableSize)));
            entries = 256;
        }
        SetPalette(palette, entries);
    }
    int codeSize = in.GetByte();
    RowWriter rows(*this, (f.flags & 0x40) != 0);
    // Writers may start above the 8 bits a 256-colour table needs: codes then begin 11 or 12 bits wide and
    // still never grow past 12. Literals above the table's colours are stored as their low byte.
    if (codeSize >= 2 && codeSize < kMaxBits)
        DecodeLzw(in, codeSize, rows);
    else
        SkipSubBlocks(in); // no usable code size: the frame stays undecoded
    if (info.nEscape) LvRaise(kLvErrCancelled);
}

// Draws the frame just read onto the canvas of a picture made of pieces, creating the canvas first.
void CLvCodecGIF::DrawOnCanvas(DecodeState& s, const FrameHeader& f) {
    if (!s.canvas) {
        // An empty logical screen takes the first frame's extent.
        int w = s.screenWidth ? s.screenWidth : f.left + f.width;
        int h = s.screenHeight ? s.screenHeight : f.top + f.height;
        if (const char* sizeError = LvCheckImageSize(w, h, 24)) LvRaise(sizeError);
        s.canvas.reset(new CLvImage(w, h, 24, LVFMT_GIF));
        if (!s.canvas->IsValid()) LvRaise(kLvErrNoMemory);
        s.canvas->Clear(0);
    }
    PasteColors(*s.canvas, *this, f.left, f.top, -1);
}

void CLvCodecGIF::WriteFrame(CLvWriteBuffer& out, const CLvImage& image, int left, int top, bool localTable,
                             int transIndex) {
    const int bpp = image.GetBpp();
    out.Put(kExtension);
    out.Put(kGraphicControl);
    out.Put(4);
    out.Put(BYTE(((nDisposal & 7) << 2) | (transIndex != -1 ? 1 : 0)));
    out.PutLE16(info.dwFrameDelay);
    out.Put(BYTE(transIndex));
    out.Put(0);

    out.Put(kImage);
    out.PutLE16(DWORD(left));
    out.PutLE16(DWORD(top));
    out.PutLE16(DWORD(image.GetWidth()));
    out.PutLE16(DWORD(image.GetHeight()));
    if (localTable) {
        out.Put(BYTE(0x80 + (bpp - 1)));
        const RGBQUAD* palette = image.GetPalette();
        for (DWORD i = 0; i < image.GetHeader().biClrUsed; i++) {
            out.Put(palette[i].rgbRed);
            out.Put(palette[i].rgbGreen);
            out.Put(palette[i].rgbBlue);
        }
    } else {
        out.Put(0);
    }
    const int codeSize = bpp < 2 ? 2 : bpp;
    out.Put(BYTE(codeSize));
    CodeWriter writer(out);
    DecoderModel model(writer, codeSize + 1);
    switch (info.dwCodecOption) {
    case kLvGifUncompressed: {
        PlainCoder coder(model);
        FeedPixels(image, coder);
        break;
    }
    case kLvGifLzw: {
        LzwCoder coder(model);
        FeedPixels(image, coder);
        break;
    }
    default: {
        RunLengthCoder coder(model);
        FeedPixels(image, coder);
        break;
    }
    }
}

bool CLvCodecGIF::Encode(CLvStream* stream) {
    if (!stream) {
        SetLastErrorText(kErrCantWrite);
        return false;
    }
    return LvCodecGuard(*this, kLvErrNoMemory, [&] {
        if (!pDib) LvRaise(kLvErrNoImage);
        const int width = GetWidth();
        const int height = GetHeight();
        const bool mosaic = GetBpp() == 24;
        // The logical screen holds the frame at its offset.
        const int left = mosaic || info.xOffset < 0 ? 0 : info.xOffset;
        const int top = mosaic || info.yOffset < 0 ? 0 : info.yOffset;
        if (int64_t(left) + width > 0xFFFF || int64_t(top) + height > 0xFFFF) LvRaise(kErrTooLarge);

        CLvWriteBuffer out(stream);
        out.Put("GIF89a", 6);
        out.PutLE16(DWORD(left + width));
        out.PutLE16(DWORD(top + height));
        if (!mosaic) {
            const int bpp = GetBpp();
            out.Put(BYTE(0x80 + ((bpp - 1) << 4) + (bpp - 1)));
            out.Put(0); // background index
            out.Put(0); // aspect
            const RGBQUAD* palette = GetPalette();
            for (DWORD i = 0; i < head.biClrUsed; i++) {
                out.Put(palette[i].rgbRed);
                out.Put(palette[i].rgbGreen);
                out.Put(palette[i].rgbBlue);
            }
            WriteFrame(out, *this, left, top, false, info.nTransIndex);
        } else {
            out.Put(0x11); // no global table
            out.Put(0);
            out.Put(0);
            // Cells of 17 x 15 pixels have at most 255 colours: each pixel gets a palette entry of its
            // own (or an earlier one of the same colour), entry 0 being the transparent colour.
            const bool transparent = info.nTransIndex >= 0;
            RGBQUAD transColor = GetTransColor();
            transColor.rgbReserved = 0;
            for (int cellTop = 0; cellTop < height; cellTop += kCellHeight) {
                for (int cellLeft = 0; cellLeft < width; cellLeft += kCellWidth) {
                    if (info.nEscape) LvRaise(kLvErrCancelled);
                    const int w = width - cellLeft < kCellWidth ? width - cellLeft : kCellWidth;
                    const int h = height - cellTop < kCellHeight ? height - cellTop : kCellHeight;
                    CLvImage cell(w, h, 8, LVFMT_GIF);
                    if (!cell.IsValid()) LvRaise(kLvErrNoMemory);
                    if (transparent) cell.SetPaletteColor(0, transColor);
                    for (int row = 0; row < h; row++) {
                        for (int col = 0; col < w; col++) {
                            RGBQUAD c = GetPixelColor(cellLeft + col, height - 1 - (cellTop + row));
                            c.rgbReserved = 0;
                            cell.SetPaletteColor(BYTE(row * kCellWidth + col + 1), c);
                            cell.SetPixelIndex(col, h - 1 - row, cell.GetNearestIndex(c));
                        }
                    }
                    WriteFrame(out, cell, cellLeft, cellTop, true, transparent ? 0 : -1);
                }
            }
        }
        if (szGifComment[0]) {
            size_t n = strlen(szGifComment);
            out.Put(kExtension);
            out.Put(kComment);
            out.Put(BYTE(n));
            out.Put(szGifComment, n);
            out.Put(0);
        }
        out.Put(kTrailer);
        if (!out.Flush() || !stream->Flush()) LvRaise(kErrWrite);
        return true;
    });
}
