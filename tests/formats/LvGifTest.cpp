#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecGIF.h"
#include "image/LvByteReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<int> Indices; // palette indices, top row first

// Codes packed least significant bit first.
class BitPacker {
public:
    void Code(int code, int width) {
        m_bits |= uint32_t(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes.push_back(BYTE(m_bits));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    Bytes Finish() {
        if (m_count) m_bytes.push_back(BYTE(m_bits));
        return m_bytes;
    }

private:
    Bytes m_bytes;
    uint32_t m_bits = 0;
    int m_count = 0;
};

// LZW data made the simplest way: literal codes at one width, with a clear code before the decoder's
// table would make the codes wider.
Bytes LiteralLzw(const Indices& pixels, int codeSize, bool endCode = true) {
    const int clear = 1 << codeSize, width = codeSize + 1, chunk = clear - 2;
    BitPacker p;
    int count = chunk;
    for (int pixel : pixels) {
        if (count == chunk) {
            p.Code(clear, width);
            count = 0;
        }
        p.Code(pixel, width);
        count++;
    }
    if (endCode) p.Code(clear + 1, width);
    return p.Finish();
}

// Data in sub-blocks of at most blockSize bytes, ended by a zero-length block.
Bytes SubBlocks(const Bytes& data, size_t blockSize = 255, bool terminator = true) {
    Bytes out;
    for (size_t i = 0; i < data.size(); i += blockSize) {
        size_t n = std::min(blockSize, data.size() - i);
        out.push_back(BYTE(n));
        out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + n));
    }
    if (terminator) out.push_back(0);
    return out;
}

Bytes Table(int entries, unsigned seed) {
    Bytes t;
    for (int i = 0; i < entries; i++)
        t.insert(t.end(), {BYTE(i * 37 + seed), BYTE(i * 91 + 3 * seed), BYTE(i * 53 + 7 * seed)});
    return t;
}

int TableBits(size_t bytes) { // the flags' size field of a table of bytes / 3 entries
    int bits = 0;
    while ((2u << bits) < bytes / 3)
        bits++;
    return bits;
}

// Hand-made GIF files, block by block.
class GifBuilder {
public:
    GifBuilder(int width, int height, const Bytes& globalTable) {
        m.Append(Bytes{'G', 'I', 'F', '8', '9', 'a'}).LE16(width).LE16(height);
        m.U8(globalTable.empty() ? 0 : 0x80 | TableBits(globalTable.size())).U8(0).U8(0).Append(globalTable);
    }
    GifBuilder& Control(int flags, int delay, int transIndex) {
        m.U8(0x21).U8(0xF9).U8(4).U8(flags).LE16(delay).U8(transIndex).U8(0);
        return *this;
    }
    GifBuilder& Comment(const std::string& text) {
        m.U8(0x21).U8(0xFE).Append(SubBlocks(Bytes(text.begin(), text.end())));
        return *this;
    }
    GifBuilder& Application(const std::string& id, const Bytes& data) {
        m.U8(0x21).U8(0xFF).U8(id.size()).Append(Bytes(id.begin(), id.end())).Append(SubBlocks(data));
        return *this;
    }
    struct Frame {
        int left = 0, top = 0, width = 0, height = 0;
        Indices pixels;
        Bytes localTable;
        bool interlaced = false;
        int codeSize = -1; // -1: 8
        size_t blockSize = 255;
    };
    GifBuilder& Image(const Frame& f) {
        int flags = (f.interlaced ? 0x40 : 0) | (f.localTable.empty() ? 0 : 0x80 | TableBits(f.localTable.size()));
        m.U8(0x2C).LE16(f.left).LE16(f.top).LE16(f.width).LE16(f.height).U8(flags).Append(f.localTable);
        Indices order = f.pixels;
        if (f.interlaced) {
            order.clear();
            const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; pass++)
                for (int row = start[pass]; row < f.height; row += step[pass])
                    order.insert(order.end(), f.pixels.begin() + row * f.width, f.pixels.begin() + (row + 1) * f.width);
        }
        int codeSize = f.codeSize < 0 ? 8 : f.codeSize;
        m.U8(codeSize).Append(SubBlocks(LiteralLzw(order, codeSize), f.blockSize));
        return *this;
    }
    GifBuilder& Raw(const Bytes& bytes) {
        m.Append(bytes);
        return *this;
    }
    Bytes Build() { return ByteWriter(m).U8(0x3B).bytes(); }
    Bytes Unterminated() const { return m.bytes(); }

private:
    ByteWriter m;
};

GifBuilder::Frame FrameOf(int left, int top, int width, int height, const Indices& pixels) {
    GifBuilder::Frame f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.pixels = pixels;
    return f;
}

Indices Pattern(int width, int height, int colors, unsigned seed) {
    Indices p(size_t(width) * height);
    unsigned state = seed;
    for (int& v : p) {
        state = state * 1103515245u + 12345u;
        v = int((state >> 16) % unsigned(colors));
    }
    return p;
}

Indices TopDown(const CLvImage& image) {
    Indices out;
    for (int row = 0; row < image.GetHeight(); row++)
        for (int x = 0; x < image.GetWidth(); x++)
            out.push_back(image.GetPixelIndex(x, image.GetHeight() - 1 - row));
    return out;
}

bool ReadGif(const Bytes& file, int frame, CLvImage& image) {
    image.SetFrame(frame);
    return DecodeBytes(image, file, LVFMT_GIF);
}

CLvImage Read(const Bytes& file, int frame = 0) {
    CLvImage image;
    EXPECT_TRUE(ReadGif(file, frame, image)) << image.GetLastErrorText();
    return image;
}

// A picture with runs of every length and some noise, at 1, 4 or 8 bits.
CLvImage Picture(int width, int height, int bpp, unsigned seed) {
    CLvImage image(width, height, bpp);
    FillPattern(image, seed);
    int colors = 1 << bpp;
    unsigned state = seed;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width;) {
            state = state * 1103515245u + 12345u;
            int run = int((state >> 16) % 40) + 1, v = int((state >> 8) % unsigned(colors));
            for (int i = 0; i < run && x < width; i++, x++)
                image.SetPixelIndex(x, y, BYTE(v));
        }
    return image;
}

Bytes EncodeGif(CLvImage& image, DWORD option) {
    image.SetCodecOption(option);
    return EncodeToBytes(image, LVFMT_GIF);
}

// Walks the blocks of a file this program wrote: checks the structure and returns the image descriptors'
// flags and the largest sub-block seen.
struct Walk {
    std::vector<Bytes> descriptors; // 9 bytes each
    std::vector<Bytes> controls;    // 4 bytes each
    std::string comment;
    size_t largestBlock = 0;
    bool trailer = false;
};
Walk WalkBlocks(const Bytes& file) {
    Walk w;
    CLvByteReader r(file.data(), file.size());
    r.Skip(10);
    BYTE flags = r.U8();
    r.Skip(2);
    if (flags & 0x80) r.Skip(size_t(3) << ((flags & 7) + 1));
    auto blocks = [&](Bytes* first) {
        for (bool isFirst = true;; isFirst = false) {
            size_t n = r.U8();
            if (!r.Ok() || n == 0) return;
            w.largestBlock = std::max(w.largestBlock, n);
            Bytes data;
            for (size_t i = 0; i < n; i++)
                data.push_back(r.U8());
            if (isFirst && first) *first = data;
        }
    };
    while (r.Ok() && r.Remaining()) {
        BYTE c = r.U8();
        if (c == 0x3B) {
            w.trailer = r.Remaining() == 0;
            break;
        }
        if (c == 0x21) {
            BYTE label = r.U8();
            Bytes first;
            blocks(&first);
            if (label == 0xF9) w.controls.push_back(first);
            if (label == 0xFE) w.comment.assign(first.begin(), first.end());
        } else if (c == 0x2C) {
            Bytes d;
            for (int i = 0; i < 9; i++)
                d.push_back(r.U8());
            w.descriptors.push_back(d);
            if (d[8] & 0x80) r.Skip(size_t(3) << ((d[8] & 7) + 1));
            r.U8(); // code size
            blocks(nullptr);
        } else {
            ADD_FAILURE() << "unexpected byte " << int(c);
            break;
        }
    }
    return w;
}

TEST(GifCodec, EveryCoderWritesWhatTheReaderReadsBack) {
    struct Case {
        int width, height, bpp;
    };
    const Case cases[] = {{1, 1, 1},   {5, 3, 1}, {300, 7, 1}, {1, 1, 4},
                          {64, 64, 4}, {5, 3, 8}, {300, 7, 8}, {64, 64, 8}};
    for (DWORD option : {0u, 1u, 2u})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "coder " << option << ", " << c.width << "x" << c.height << "x" << c.bpp);
            CLvImage image = Picture(c.width, c.height, c.bpp, unsigned(c.width + c.bpp));
            CLvImage back = Read(EncodeGif(image, option));
            std::string where;
            EXPECT_TRUE(SamePicture(back, image, &where)) << where;
            EXPECT_EQ(TopDown(back), TopDown(image));
        }
}

TEST(GifCodec, CodersSurviveFullTablesAndLongRuns) {
    // Noise fills the decoder's table (clear codes at 4096).
    CLvImage noise(256, 40, 8);
    FillPattern(noise, 5);
    for (DWORD option : {0u, 1u, 2u})
        EXPECT_EQ(TopDown(Read(EncodeGif(noise, option))), TopDown(noise)) << "coder " << option;
    // One run longer than the run-length coder can write between two clear codes (about 7.4 million
    // pixels at 8 bits, 8.4 million at 1 bit).
    CLvImage flat(4000, 2000, 8);
    flat.Clear(9);
    CLvImage flatBilevel(3000, 3000, 1);
    flatBilevel.Clear(0xFF);
    for (CLvImage* image : {&flat, &flatBilevel}) {
        Bytes file = EncodeGif(*image, 0);
        EXPECT_LT(file.size(), size_t(20000)) << "a run takes far less room than its pixels";
        CLvImage back = Read(file);
        EXPECT_EQ(TopDown(back), TopDown(*image)) << image->GetBpp();
    }
}

TEST(GifCodec, WriterLayout) {
    struct Case {
        int bpp, flags, codeSize;
    };
    const Case cases[] = {{1, 0x80, 2}, {4, 0xB3, 4}, {8, 0xF7, 8}};
    for (const Case& c : cases) {
        CLvImage image = Picture(20, 3, c.bpp, 1);
        image.SetTransIndex(1);
        image.SetFrameDelay(7);
        Bytes file = EncodeGif(image, 0);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
        CLvByteReader r(file.data() + 6, 7);
        EXPECT_EQ(r.LE16(), 20);
        EXPECT_EQ(r.LE16(), 3);
        EXPECT_EQ(r.U8(), c.flags);
        size_t table = size_t(3) << c.bpp;
        EXPECT_EQ(Bytes(file.begin() + 13, file.begin() + 16),
                  (Bytes{image.GetPaletteColor(0).rgbRed, image.GetPaletteColor(0).rgbGreen,
                         image.GetPaletteColor(0).rgbBlue}));
        size_t at = 13 + table;
        EXPECT_EQ(Bytes(file.begin() + long(at), file.begin() + long(at) + 8), (Bytes{0x21, 0xF9, 4, 1, 7, 0, 1, 0}));
        at += 8;
        EXPECT_EQ(Bytes(file.begin() + long(at), file.begin() + long(at) + 11),
                  (Bytes{0x2C, 0, 0, 0, 0, 20, 0, 3, 0, 0, BYTE(c.codeSize)}));
        Walk w = WalkBlocks(file);
        EXPECT_TRUE(w.trailer);
        EXPECT_EQ(w.descriptors.size(), 1u);
        EXPECT_TRUE(w.comment.empty());
    }
    // Packets of at most 254 bytes, and a comment cut to 255 characters.
    CLvImage noise(100, 100, 8);
    FillPattern(noise, 3);
    CLvCodecGIF codec;
    codec.ShareBuffersOf(noise);
    codec.SetComment(std::string(300, 'c').c_str());
    CLvMemStream stream;
    ASSERT_TRUE(codec.Encode(&stream));
    codec.Destroy();
    Walk w = WalkBlocks(Bytes(stream.GetBuffer(), stream.GetBuffer() + stream.GetLength()));
    EXPECT_EQ(w.largestBlock, 255u); // the comment's block; the pixel packets are shorter
    EXPECT_EQ(w.comment, std::string(255, 'c'));
    Bytes plain = EncodeGif(noise, 1);
    EXPECT_EQ(WalkBlocks(plain).largestBlock, 254u);
}

TEST(GifCodec, TrueColourPicturesBecomeAMosaicOfPaletteCells) {
    CLvImage image(34, 30, 24);
    FillPattern(image, 21);
    Bytes file = EncodeGif(image, 2);
    EXPECT_EQ(file[10], 0x11); // no global table
    Walk w = WalkBlocks(file);
    ASSERT_EQ(w.descriptors.size(), 4u);
    const int positions[4][2] = {{0, 0}, {17, 0}, {0, 15}, {17, 15}};
    for (int i = 0; i < 4; i++) {
        CLvByteReader d(w.descriptors[i].data(), 9);
        EXPECT_EQ(d.LE16(), positions[i][0]);
        EXPECT_EQ(d.LE16(), positions[i][1]);
        EXPECT_EQ(d.LE16(), 17);
        EXPECT_EQ(d.LE16(), 15);
        EXPECT_EQ(d.U8(), 0x87); // a local table of 256 entries
    }
    for (DWORD option : {0u, 1u, 2u}) {
        CLvImage back = Read(EncodeGif(image, option));
        ASSERT_EQ(back.GetBpp(), 24);
        std::string where;
        EXPECT_TRUE(SamePicture(back, image, &where)) << option << ": " << where;
        EXPECT_EQ(back.GetFrameCount(), 4);
    }
    // Narrow and short pictures too, whose first cell spans the whole width or height.
    for (int width : {10, 40}) {
        CLvImage strip(width, width == 10 ? 40 : 12, 24);
        FillPattern(strip, unsigned(width));
        CLvImage back = Read(EncodeGif(strip, 0));
        EXPECT_TRUE(SamePicture(back, strip)) << width;
    }
    // A transparent colour: entry 0 of every cell, index 0 in every control block.
    CLvImage trans(20, 4, 24);
    FillPattern(trans, 22);
    trans.SetPixelColor(3, 1, Quad(1, 2, 3));
    trans.SetTransColor(Quad(1, 2, 3));
    trans.SetTransIndex(0);
    Walk tw = WalkBlocks(EncodeGif(trans, 0));
    ASSERT_EQ(tw.controls.size(), 2u);
    for (const Bytes& c : tw.controls)
        EXPECT_EQ(c, (Bytes{1, 0, 0, 0}));
    CLvImage back = Read(EncodeGif(trans, 0));
    EXPECT_EQ(back.GetTransIndex(), 0);
    EXPECT_TRUE(SameColor(back.GetTransColor(), Quad(1, 2, 3)));
    EXPECT_EQ(PixelAlpha(back, 3, 1), 0);
    EXPECT_EQ(PixelAlpha(back, 4, 1), 255);
}

TEST(GifCodec, InterlacedRowsLandWhereTheyBelong) {
    Bytes table = Table(16, 1);
    for (int height : {1, 2, 5, 10, 17}) {
        Indices pixels = Pattern(7, height, 16, unsigned(height));
        GifBuilder::Frame f = FrameOf(0, 0, 7, height, pixels);
        f.codeSize = 4;
        Bytes plain = GifBuilder(7, height, table).Image(f).Build();
        f.interlaced = true;
        Bytes interlaced = GifBuilder(7, height, table).Image(f).Build();
        EXPECT_EQ(TopDown(Read(plain)), pixels) << height;
        EXPECT_EQ(TopDown(Read(interlaced)), pixels) << height;
    }
}

TEST(GifCodec, CodeSizesOutsideTwoToElevenLeaveTheFrameUndecoded) {
    Bytes table = Table(4, 2);
    Indices pixels(12, 3);
    for (int codeSize : {1, 12, 0}) {
        GifBuilder::Frame f = FrameOf(0, 0, 4, 3, pixels);
        f.codeSize = codeSize;
        Bytes file = GifBuilder(4, 3, table).Image(f).Build();
        CLvImage image = Read(file);
        EXPECT_EQ(TopDown(image), Indices(12, 0)) << codeSize;
    }
    // Sizes 9 to 11 are decoded (codes 10 to 12 bits wide); their pixel values keep their low bits.
    for (int codeSize : {9, 10, 11}) {
        GifBuilder::Frame f = FrameOf(0, 0, 4, 3, pixels);
        f.codeSize = codeSize;
        EXPECT_EQ(TopDown(Read(GifBuilder(4, 3, Table(4, 2)).Image(f).Build())), pixels) << codeSize;
    }
}

// Three frames over a shared palette: a full first frame, then two smaller ones with a transparent index.
Bytes Animation(int disposal, bool localTables) {
    Bytes table = Table(4, 3);
    GifBuilder g(6, 4, table);
    g.Application("NETSCAPE2.0", {1, 3, 0});
    g.Control(disposal << 2, 10, 0).Image(FrameOf(0, 0, 6, 4, Indices(24, 1)));
    GifBuilder::Frame second = FrameOf(1, 1, 3, 2, {2, 3, 2, 3, 2, 3});
    GifBuilder::Frame third = FrameOf(3, 2, 3, 2, {0, 2, 0, 2, 0, 2});
    if (localTables) {
        second.localTable = Table(4, 50);
        third.localTable = Table(4, 90);
    }
    g.Control((disposal << 2) | 1, 20, 3).Image(second);
    g.Control((disposal << 2) | 1, 30, 0).Image(third);
    return g.Build();
}

TEST(GifCodec, FramesAreCountedAndDrawnOverEachOther) {
    Bytes file = Animation(1, false);
    const Indices expected[3] = {
        Indices(24, 1),
        {1, 1, 1, 1, 1, 1, /**/ 1, 2, 1, 2, 1, 1, /**/ 1, 1, 2, 1, 1, 1, /**/ 1, 1, 1, 1, 1, 1},
        {1, 1, 1, 1, 1, 1, /**/ 1, 2, 1, 2, 1, 1, /**/ 1, 1, 2, 1, 2, 1, /**/ 1, 1, 1, 2, 1, 2},
    };
    for (int frame = 0; frame < 3; frame++) {
        CLvImage image = Read(file, frame);
        EXPECT_EQ(image.GetFrameCount(), 3);
        EXPECT_EQ(TopDown(image), expected[frame]) << frame;
        EXPECT_EQ(image.GetFrameDelay(), DWORD(10 * (frame + 1)));
        EXPECT_EQ(image.GetTransIndex(), -1) << "the first frame's transparency";
    }
    for (int frame : {5, 3, -1}) {
        CLvImage image;
        EXPECT_FALSE(ReadGif(file, frame, image));
        EXPECT_EQ(image.GetFrameCount(), 3);
    }
    // Without "do not dispose" each frame is read on its own.
    CLvImage alone = Read(Animation(2, false), 1);
    EXPECT_EQ(alone.GetWidth(), 3);
    EXPECT_EQ(TopDown(alone), (Indices{2, 3, 2, 3, 2, 3}));
    EXPECT_EQ(alone.GetTransIndex(), 3);
}

TEST(GifCodec, FramesWithTheirOwnPaletteAreDrawnByColour) {
    Bytes file = Animation(1, true);
    CLvImage image = Read(file, 2);
    ASSERT_EQ(image.GetBpp(), 24);
    Bytes global = Table(4, 3), second = Table(4, 50), third = Table(4, 90);
    auto color = [](const Bytes& t, int i) { return Quad(t[3 * i], t[3 * i + 1], t[3 * i + 2]); };
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 3), color(global, 1)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 2), color(second, 2)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(4, 1), color(third, 2)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(2, 2), color(global, 1))) << "transparent pixel of frame 1";
    EXPECT_TRUE(SameColor(image.GetPixelColor(3, 1), color(global, 1))) << "transparent pixel of frame 2";
}

TEST(GifCodec, PiecesWithoutAGlobalTableAreComposedInColour) {
    GifBuilder g(8, 6, Bytes());
    GifBuilder::Frame a = FrameOf(0, 0, 4, 3, Indices(12, 1));
    a.localTable = Table(2, 4);
    GifBuilder::Frame b = FrameOf(4, 3, 4, 3, Indices(12, 0));
    b.localTable = Table(2, 8);
    g.Image(a).Control(1, 0, 1).Image(b);
    CLvImage image = Read(g.Build());
    ASSERT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetWidth(), 8);
    EXPECT_EQ(image.GetHeight(), 6);
    EXPECT_EQ(image.GetFrameCount(), 2);
    Bytes ta = Table(2, 4), tb = Table(2, 8);
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 5), Quad(ta[3], ta[4], ta[5])));
    EXPECT_TRUE(SameColor(image.GetPixelColor(7, 0), Quad(tb[0], tb[1], tb[2])));
    EXPECT_TRUE(SameColor(image.GetPixelColor(7, 5), Quad(0, 0, 0))) << "no frame covers it";
    // The last control block has transparency: the colour of its index in the last frame.
    EXPECT_EQ(image.GetTransIndex(), 0);
    EXPECT_TRUE(SameColor(image.GetTransColor(), Quad(tb[3], tb[4], tb[5])));
}

TEST(GifCodec, ExtensionsGiveCommentLoopsAndDelay) {
    Bytes table = Table(2, 1);
    GifBuilder g(2, 1, table);
    g.Comment("first").Application("NETSCAPE2.0", {1, 0x34, 0x12}).Comment("second comment");
    g.Application("OTHERAPP1.0", {1, 0x77, 0x77}); // not a loop count
    g.Control(5, 42, 1).Image(FrameOf(0, 0, 2, 1, {0, 1}));
    // A control block without transparency after one with it: the frame has none.
    g.Control(0, 0, 0).Image(FrameOf(0, 0, 2, 1, {1, 1}));
    Bytes file = g.Build();
    CLvMemStream stream(file.data(), file.size());
    CLvCodecGIF codec;
    ASSERT_TRUE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetComment(), "second comment");
    EXPECT_EQ(codec.GetLoops(), 0x1234);
    EXPECT_EQ(codec.GetDisposal(), 1);
    EXPECT_EQ(codec.GetTransIndex(), 1);
    EXPECT_EQ(codec.GetFrameDelay(), 42u);
    CLvImage second = Read(file, 1);
    EXPECT_EQ(second.GetTransIndex(), -1);
    // The comment is written back.
    CLvMemStream out;
    ASSERT_TRUE(codec.Encode(&out));
    EXPECT_EQ(WalkBlocks(Bytes(out.GetBuffer(), out.GetBuffer() + out.GetLength())).comment, "second comment");
}

TEST(GifCodec, AnApplicationBlockOfAnotherSizeEndsTheFile) {
    Bytes table = Table(2, 1);
    GifBuilder g(2, 1, table);
    g.Image(FrameOf(0, 0, 2, 1, {0, 1})).Application("TOOSHORT10", {1, 2, 3}).Image(FrameOf(0, 0, 2, 1, {1, 1}));
    Bytes file = g.Build();
    CLvImage image = Read(file);
    EXPECT_EQ(image.GetFrameCount(), 1);
    EXPECT_EQ(TopDown(image), (Indices{0, 1}));
    CLvImage second;
    EXPECT_FALSE(ReadGif(file, 1, second));
    // Before any frame, nothing is left to read.
    Bytes none = GifBuilder(2, 1, table).Application("TOOSHORT10", {}).Image(FrameOf(0, 0, 2, 1, {0, 1})).Build();
    CLvImage empty;
    EXPECT_FALSE(ReadGif(none, 0, empty));
    EXPECT_STREQ(empty.GetLastErrorText(), "GIF file has no images");
}

TEST(GifCodec, FramesBeyondTheScreenAreReadAndClipped) {
    Bytes table = Table(4, 5);
    GifBuilder g(3, 2, table);
    g.Control(4, 0, 0).Image(FrameOf(0, 0, 3, 2, Indices(6, 1)));
    g.Control(4, 0, 0).Image(FrameOf(2, 1, 4, 3, Indices(12, 2))); // reaches past the screen
    g.Control(4, 0, 0).Image(FrameOf(60000, 60000, 2, 2, Indices(4, 3)));
    Bytes file = g.Build();
    EXPECT_EQ(TopDown(Read(file, 1)), (Indices{1, 1, 1, 1, 1, 2}));
    EXPECT_EQ(TopDown(Read(file, 2)), (Indices{1, 1, 1, 1, 1, 2}));
    // Read on its own, a frame bigger than the screen is the whole frame.
    Bytes single = GifBuilder(3, 2, table).Image(FrameOf(5, 5, 4, 3, Indices(12, 2))).Build();
    CLvImage big = Read(single);
    EXPECT_EQ(big.GetWidth(), 4);
    EXPECT_EQ(big.GetHeight(), 3);
}

TEST(GifCodec, FramesWithoutPixels) {
    Bytes table = Table(2, 1);
    GifBuilder g(2, 1, table);
    g.Raw({0x2C, 0, 0, 0, 0, 0, 0, 1, 0, 0, 2, 0}); // 0 x 1, no data
    g.Image(FrameOf(0, 0, 2, 1, {1, 0}));
    Bytes file = g.Build();
    CLvImage image;
    EXPECT_FALSE(ReadGif(file, 0, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Invalid image size");
    EXPECT_EQ(image.GetFrameCount(), 2);
    EXPECT_EQ(TopDown(Read(file, 1)), (Indices{1, 0}));
}

TEST(GifCodec, CorruptDataEndsTheFrameEarly) {
    Bytes table = Table(4, 6);
    const int codeSize = 2, clear = 4, width = 3;
    struct Case {
        const char* name;
        Bytes data; // after the code-size byte
        Indices expected;
    };
    BitPacker bad;
    bad.Code(clear, width);
    bad.Code(1, width);
    bad.Code(7, width); // beyond the table: read as the previous string plus its first character
    bad.Code(2, width);
    bad.Code(clear + 1, width);
    BitPacker clears;
    for (int i = 0; i < 500; i++)
        clears.Code(clear, width);
    BitPacker firstTooBig;
    firstTooBig.Code(clear, width);
    firstTooBig.Code(6, width); // the first code after a clear code must be a pixel: taken as 0
    firstTooBig.Code(3, width);
    const Case cases[] = {
        {"a code beyond the table", SubBlocks(bad.Finish()), {1, 1, 1, 2, 0, 0}},
        {"only clear codes", SubBlocks(clears.Finish()), Indices(6, 0)},
        {"first code too big", SubBlocks(firstTooBig.Finish()), {0, 3, 0, 0, 0, 0}},
        {"no end code, no terminator",
         SubBlocks(LiteralLzw({1, 2, 3}, codeSize, false), 255, false),
         {1, 2, 3, 0, 0, 0}},
        {"a block longer than the file",
         ByteWriter().U8(200).Append(LiteralLzw({1, 2, 3}, codeSize)).bytes(),
         {1, 2, 3, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Bytes file =
            GifBuilder(3, 2, table).Raw({0x2C, 0, 0, 0, 0, 3, 0, 2, 0, 0, codeSize}).Raw(c.data).Unterminated();
        CLvImage image;
        ASSERT_TRUE(ReadGif(file, 0, image)) << c.name << ": " << image.GetLastErrorText();
        EXPECT_EQ(TopDown(image), c.expected) << c.name;
    }
    // Stray bytes between blocks are skipped.
    Bytes stray = GifBuilder(2, 1, Table(2, 1)).Raw({0, 0x55, 0}).Image(FrameOf(0, 0, 2, 1, {1, 0})).Build();
    EXPECT_EQ(TopDown(Read(stray)), (Indices{1, 0}));
}

TEST(GifCodec, RefusesWhatItCannotRead) {
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, ""},
        {"a BMP", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ""},
        {"GIF7", {'G', 'I', 'F', '7', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, ""},
        {"header only", GifBuilder(2, 2, Bytes()).Build(), "GIF file has no images"},
        {"global table cut", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x87, 0, 0, 1, 2, 3},
         "GIF file is truncated"},
    };
    for (const auto& c : cases) {
        CLvImage image;
        EXPECT_FALSE(DecodeBytes(image, c.bytes, LVFMT_GIF)) << c.name;
        EXPECT_STREQ(image.GetLastErrorText(), c.error) << c.name;
    }
}

// A stream whose writes fail, like a full disk.
class FullDiskStream : public CLvMemStream {
public:
    size_t Write(const void*, size_t, size_t) override { return 0; }
};

TEST(GifCodec, WriterFailures) {
    CLvImage image = Picture(8, 8, 8, 1);
    FullDiskStream full;
    EXPECT_FALSE(image.Encode(&full, LVFMT_GIF));
    EXPECT_STREQ(image.GetLastErrorText(), "Write Error in GIF file");
    CLvCodecGIF codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_STREQ(codec.GetLastErrorText(), "Can't open GIF for writing");
    CLvImage wide(70000, 1, 1);
    wide.Clear(0);
    EXPECT_TRUE(EncodeGif(wide, 0).empty());
    EXPECT_STREQ(wide.GetLastErrorText(), "Image too large for GIF");
}

TEST(GifCodec, StopsWhenCancelled) {
    CLvImage image = Picture(8, 8, 8, 1);
    Bytes file = EncodeGif(image, 0);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecGIF codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

TEST(GifCodec, HostileBytesFailCleanly) {
    std::vector<Bytes> files;
    CLvImage eight = Picture(12, 9, 8, 2);
    files.push_back(EncodeGif(eight, 2));
    CLvImage rgb(20, 16, 24);
    FillPattern(rgb, 3);
    files.push_back(EncodeGif(rgb, 0));
    files.push_back(Animation(1, true));
    GifBuilder::Frame f = FrameOf(0, 0, 5, 9, Pattern(5, 9, 16, 4));
    f.interlaced = true;
    f.codeSize = 4;
    f.blockSize = 7;
    files.push_back(GifBuilder(5, 9, Table(16, 2)).Image(f).Build());
    unsigned seed = 60;
    for (const Bytes& file : files) {
        ExpectPrefixesFailCleanly(file, LVFMT_GIF, false);
        ExpectMutationsFailCleanly(file, LVFMT_GIF, seed++, 400, false);
    }
}

} // namespace
