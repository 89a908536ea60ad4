#include "LvTestUtil.h"
#include "formats/LvCodecBMP.h"
#include "image/LvByteReader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

namespace {

// A hand-made bitmap file: any info header size, depth, compression, colour table and pixel bytes.
struct BmpFile {
    DWORD headerSize = 40;
    LONG width = 0;
    LONG height = 0;
    int bpp = 24;
    DWORD compression = BI_RGB;
    DWORD clrUsed = 0;
    std::vector<RGBQUAD> palette;
    std::vector<DWORD> masks; // written after a 40-byte header, or inside a 52-byte and larger one
    Bytes pixels;
    bool fileHeader = true;
    WORD reserved1 = 0;
    LONG xPels = 3780;
    LONG yPels = 3780;
    long offBitsDelta = 0; // added to the true pixel offset, to point it elsewhere

    Bytes Build() const {
        ByteWriter info;
        info.LE32(headerSize);
        if (headerSize == 12) {
            info.LE16(width).LE16(height).LE16(1).LE16(bpp);
        } else {
            info.LE32(width).LE32(height).LE16(1).LE16(bpp).LE32(compression).LE32(pixels.size());
            info.LE32(xPels).LE32(yPels).LE32(clrUsed).LE32(0);
            bool masksInside = headerSize >= 52 && headerSize != 64;
            for (DWORD i = 0; masksInside && i < 3; i++)
                info.LE32(i < masks.size() ? masks[i] : 0);
            info.Resize(headerSize);
            if (!masksInside)
                for (DWORD mask : masks)
                    info.LE32(mask);
        }
        bool triples = headerSize == 12 || headerSize == 64;
        for (const RGBQUAD& c : palette) {
            info.U8(c.rgbBlue).U8(c.rgbGreen).U8(c.rgbRed);
            if (!triples) info.U8(c.rgbReserved);
        }
        ByteWriter file;
        if (fileHeader) {
            DWORD offBits = DWORD(14 + info.size() + offBitsDelta);
            file.U8('B').U8('M').LE32(14 + info.size() + pixels.size()).LE16(reserved1).LE16(0).LE32(offBits);
        }
        file.Append(info.bytes()).Append(pixels);
        return file.bytes();
    }
};

std::vector<RGBQUAD> Palette(int count, unsigned seed) {
    std::vector<RGBQUAD> palette;
    for (int i = 0; i < count; i++)
        palette.push_back(Quad((i * 37 + seed) & 255, (i * 91 + 3 * seed) & 255, (i * 53 + 7 * seed) & 255));
    return palette;
}

// The stored rows of an image's pixel block, to build files from a reference picture.
Bytes PixelBytes(const CLvImage& image) {
    return Bytes(image.GetBits(), image.GetBits() + image.GetHeader().biSizeImage);
}

Bytes TopDownPixelBytes(const CLvImage& image) {
    Bytes rows;
    for (int y = image.GetHeight() - 1; y >= 0; y--) {
        const BYTE* row = image.GetBits() + size_t(y) * image.GetEffWidth();
        rows.insert(rows.end(), row, row + image.GetEffWidth());
    }
    return rows;
}

CLvImage Decoded(const Bytes& bytes) {
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, bytes, LVFMT_BMP)) << image.GetLastErrorText();
    return image;
}

std::string DecodeError(const Bytes& bytes) {
    CLvImage image;
    if (DecodeBytes(image, bytes, LVFMT_BMP)) return "(decoded)";
    return image.GetLastErrorText();
}

TEST(BmpCodec, RoundTripsEveryDepthWithResolutionAndMark) {
    for (int bpp : {1, 4, 8, 24}) {
        for (int width : {1, 7, 33}) {
            SCOPED_TRACE(testing::Message() << width << " pixels at " << bpp << " bits");
            CLvImage image(width, 5, bpp);
            FillPattern(image, unsigned(bpp * 100 + width));
            image.SetXDPI(300);
            image.SetYDPI(150);
            image.SetMarkBytes(12);
            Bytes file = EncodeToBytes(image, LVFMT_BMP);
            ASSERT_FALSE(file.empty());
            CLvImage back = Decoded(file);
            std::string where;
            EXPECT_TRUE(SamePicture(back, image, &where)) << where;
            if (bpp < 24) {
                EXPECT_EQ(memcmp(back.GetPalette(), image.GetPalette(), image.GetPaletteSize()), 0);
            }
            EXPECT_EQ(back.GetXDPI(), 300);
            EXPECT_EQ(back.GetYDPI(), 150);
            EXPECT_EQ(back.GetMarkBytes(), 12);
            EXPECT_EQ(back.GetFormat(), DWORD(LVFMT_BMP));
        }
    }
}

TEST(BmpCodec, WriterLayout) {
    CLvImage image(33, 2, 1);
    image.Clear(0);
    image.SetMarkBytes(12);
    Bytes file = EncodeToBytes(image, LVFMT_BMP);
    ASSERT_EQ(file.size(), 14u + 40 + 8 + 16);
    CLvByteReader r(file.data(), file.size());
    EXPECT_EQ(r.LE16(), 0x4D42);
    EXPECT_EQ(r.LE32(), file.size());
    EXPECT_EQ(r.LE16(), 12);
    EXPECT_EQ(r.LE16(), 0);
    EXPECT_EQ(r.LE32(), 62u);
    EXPECT_EQ(r.LE32(), 40u);
    EXPECT_EQ(r.LE32(), 33u);
    EXPECT_EQ(r.LE32(), 2u); // bottom-up
    r.LE16();
    EXPECT_EQ(r.LE16(), 1);
    EXPECT_EQ(r.LE32(), DWORD(BI_RGB));
}

TEST(BmpCodec, EveryInfoHeaderSizeGivesTheSamePicture) {
    for (int bpp : {8, 24}) {
        CLvImage reference(5, 3, bpp);
        FillPattern(reference, 40u + bpp);
        for (DWORD headerSize : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
            SCOPED_TRACE(testing::Message() << "header " << headerSize << ", " << bpp << " bits");
            BmpFile f;
            f.headerSize = headerSize;
            f.width = 5;
            f.height = 3;
            f.bpp = bpp;
            if (bpp == 8) f.palette.assign(reference.GetPalette(), reference.GetPalette() + 256);
            f.pixels = PixelBytes(reference);
            CLvImage back = Decoded(f.Build());
            std::string where;
            EXPECT_TRUE(SamePicture(back, reference, &where)) << where;
            // The core header has no resolution.
            EXPECT_EQ(back.GetXDPI(), headerSize == 12 ? 0 : 96);
        }
    }
}

TEST(BmpCodec, PackedDibsFindThePixelsAfterTheDeclaredTable) {
    CLvImage reference(5, 3, 8);
    FillPattern(reference, 9);
    for (int i = 0; i < 5 * 3; i++)
        reference.SetPixelIndex(i % 5, i / 5, BYTE(i % 4));
    for (int i = 4; i < 256; i++)
        reference.GetPalette()[i] = Quad(0, 0, 0);

    BmpFile full;
    full.fileHeader = false;
    full.width = 5;
    full.height = 3;
    full.bpp = 8;
    full.palette.assign(reference.GetPalette(), reference.GetPalette() + 256);
    full.pixels = PixelBytes(reference);
    CLvImage a = Decoded(full.Build());
    EXPECT_TRUE(SamePicture(a, reference));
    EXPECT_EQ(a.GetMarkBytes(), 0);

    // A short table of 4 entries: the pixels follow it directly.
    BmpFile shortTable = full;
    shortTable.clrUsed = 4;
    shortTable.palette.resize(4);
    CLvImage b = Decoded(shortTable.Build());
    EXPECT_TRUE(SamePicture(b, reference));

    // A 24-bit packed DIB that carries an optional colour table of 2 entries.
    CLvImage rgb(4, 2, 24);
    FillPattern(rgb, 10);
    BmpFile withTable;
    withTable.fileHeader = false;
    withTable.width = 4;
    withTable.height = 2;
    withTable.clrUsed = 2;
    withTable.palette = Palette(2, 1);
    withTable.pixels = PixelBytes(rgb);
    CLvImage c = Decoded(withTable.Build());
    EXPECT_TRUE(SamePicture(c, rgb));
}

TEST(BmpCodec, TopDownFilesMatchTheirBottomUpTwins) {
    for (int bpp : {4, 24}) {
        CLvImage reference(6, 4, bpp);
        FillPattern(reference, 20u + bpp);
        BmpFile f;
        f.width = 6;
        f.height = -4;
        f.bpp = bpp;
        if (bpp == 4) f.palette.assign(reference.GetPalette(), reference.GetPalette() + 16);
        f.pixels = TopDownPixelBytes(reference);
        CLvImage back = Decoded(f.Build());
        EXPECT_EQ(back.GetHeight(), 4);
        EXPECT_TRUE(SamePicture(back, reference)) << bpp;
    }
}

// Builds the bytes of 16-bit rows from pixel words given top row first.
Bytes Rows16(const std::vector<std::vector<uint16_t>>& topDown) {
    ByteWriter w;
    for (size_t r = topDown.size(); r-- > 0;) {
        for (uint16_t v : topDown[r])
            w.LE16(v);
        if (topDown[r].size() % 2) w.LE16(0);
    }
    return w.bytes();
}

TEST(BmpCodec, SixteenBitMasks) {
    struct Case {
        const char* name;
        DWORD headerSize;
        DWORD compression;
        std::vector<DWORD> masks;
        uint16_t white, green;
        RGBQUAD whiteColor, greenColor;
    };
    const Case cases[] = {
        {"555 without masks", 40, BI_RGB, {}, 0x7FFF, 0x03E0, Quad(0xF8, 0xF8, 0xF8), Quad(0, 0xF8, 0)},
        {"565 after the header",
         40,
         BI_BITFIELDS,
         {0xF800, 0x07E0, 0x001F},
         0xFFFF,
         0x07E0,
         Quad(0xF8, 0xFC, 0xF8),
         Quad(0, 0xFC, 0)},
        {"565 inside a V5 header",
         124,
         BI_BITFIELDS,
         {0xF800, 0x07E0, 0x001F},
         0xFFFF,
         0x07E0,
         Quad(0xF8, 0xFC, 0xF8),
         Quad(0, 0xFC, 0)},
        {"444 inside a V4 header",
         108,
         BI_BITFIELDS,
         {0x0F00, 0x00F0, 0x000F},
         0x0FFF,
         0x00F0,
         Quad(0xF0, 0xF0, 0xF0),
         Quad(0, 0xF0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile f;
        f.headerSize = c.headerSize;
        f.width = 3;
        f.height = 2;
        f.bpp = 16;
        f.compression = c.compression;
        f.masks = c.masks;
        f.pixels = Rows16({{c.white, 0, c.green}, {0, c.green, c.white}});
        for (bool packed : {false, true}) {
            f.fileHeader = !packed;
            CLvImage back = Decoded(f.Build());
            ASSERT_EQ(back.GetBpp(), 24);
            EXPECT_TRUE(SameColor(back.GetPixelColor(0, 1), c.whiteColor));
            EXPECT_TRUE(SameColor(back.GetPixelColor(1, 1), Quad(0, 0, 0)));
            EXPECT_TRUE(SameColor(back.GetPixelColor(2, 1), c.greenColor));
            EXPECT_TRUE(SameColor(back.GetPixelColor(1, 0), c.greenColor));
            EXPECT_TRUE(SameColor(back.GetPixelColor(2, 0), c.whiteColor));
        }
    }
}

TEST(BmpCodec, ThirtyTwoBitPixels) {
    ByteWriter plain;
    plain.LE32(0x00112233).LE32(0xFF445566); // bottom row: two pixels, blue first in memory
    BmpFile f;
    f.width = 2;
    f.height = 1;
    f.bpp = 32;
    f.pixels = plain.bytes();
    CLvImage a = Decoded(f.Build());
    EXPECT_TRUE(SameColor(a.GetPixelColor(0, 0), Quad(0x11, 0x22, 0x33)));
    EXPECT_TRUE(SameColor(a.GetPixelColor(1, 0), Quad(0x44, 0x55, 0x66)));

    // Red, green and blue in the top three bytes, as some writers store them.
    BmpFile rgba = f;
    rgba.headerSize = 124;
    rgba.compression = BI_BITFIELDS;
    rgba.masks = {0xFF000000, 0x00FF0000, 0x0000FF00};
    rgba.pixels = ByteWriter().LE32(0x11223344).LE32(0x556677FF).bytes();
    CLvImage b = Decoded(rgba.Build());
    EXPECT_TRUE(SameColor(b.GetPixelColor(0, 0), Quad(0x11, 0x22, 0x33)));
    EXPECT_TRUE(SameColor(b.GetPixelColor(1, 0), Quad(0x55, 0x66, 0x77)));

    // The usual masks after a 40-byte header of a packed DIB: they are not pixels.
    BmpFile packed = f;
    packed.fileHeader = false;
    packed.compression = BI_BITFIELDS;
    packed.masks = {0xFF0000, 0xFF00, 0xFF};
    CLvImage c = Decoded(packed.Build());
    EXPECT_TRUE(SameColor(c.GetPixelColor(0, 0), Quad(0x11, 0x22, 0x33)));
    EXPECT_TRUE(SameColor(c.GetPixelColor(1, 0), Quad(0x44, 0x55, 0x66)));
}

std::vector<int> RowIndices(const CLvImage& image, int y) {
    std::vector<int> row;
    for (int x = 0; x < image.GetWidth(); x++)
        row.push_back(image.GetPixelIndex(x, y));
    return row;
}

TEST(BmpCodec, Rle8RunsEscapesAndDeltas) {
    BmpFile f;
    f.width = 6;
    f.height = 4;
    f.bpp = 8;
    f.compression = BI_RLE8;
    f.palette = Palette(256, 3);
    f.pixels = {3, 5, 0, 0,             // row 0: three 5s, then end of line leaves the rest
                0, 3, 1, 2, 3, 0, 2, 7, // row 1: absolute 1 2 3 (padded), two 7s
                0, 2, 0, 1, 1, 9, 0, 0, // delta one row up, a 9 at x 5, end of line
                8, 4, 0, 1};            // row 3: a run longer than the row, end of bitmap
    CLvImage image = Decoded(f.Build());
    EXPECT_EQ(RowIndices(image, 0), (std::vector<int>{5, 5, 5, 0, 0, 0}));
    EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{1, 2, 3, 7, 7, 0}));
    EXPECT_EQ(RowIndices(image, 2), (std::vector<int>{0, 0, 0, 0, 0, 9}));
    EXPECT_EQ(RowIndices(image, 3), (std::vector<int>{4, 4, 4, 4, 4, 4}));
    EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), f.palette[5]));
}

TEST(BmpCodec, Rle4NibblesAndPadding) {
    BmpFile f;
    f.width = 8;
    f.height = 2;
    f.bpp = 4;
    f.compression = BI_RLE4;
    f.palette = Palette(16, 4);
    f.pixels = {0, 3,    0x12, 0x30,          // absolute run of 3 pixels: 2 bytes, no padding
                0, 5,    0x45, 0x67, 0x80, 0, // absolute run of 5 pixels: 3 bytes and a padding byte
                0, 0,                         // end of line
                3, 0x12,                      // encoded run of 3 pixels: 1 2 1
                0, 1};
    CLvImage image = Decoded(f.Build());
    EXPECT_EQ(RowIndices(image, 0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{1, 2, 1, 0, 0, 0, 0, 0}));
}

TEST(BmpCodec, RefusesWhatItCannotRead) {
    BmpFile good;
    good.width = 2;
    good.height = 2;
    good.pixels = Bytes(16, 0x40);
    auto with = [&good](auto change) {
        BmpFile f = good;
        change(f);
        return f.Build();
    };
    struct Case {
        const char* name;
        Bytes bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty", Bytes(), "Not a BMP"},
        {"ten bytes", Bytes(10, 'B'), "Not a BMP"},
        {"header size 14", with([](BmpFile& f) { f.headerSize = 14; }), "Error reading BMP info"},
        {"header size 100", with([](BmpFile& f) { f.headerSize = 100; }), "Error reading BMP info"},
        {"2 bits", with([](BmpFile& f) { f.bpp = 2; }), "Error reading BMP info"},
        {"0 bits", with([](BmpFile& f) { f.bpp = 0; }), "Error reading BMP info"},
        {"height INT_MIN", with([](BmpFile& f) { f.height = INT_MIN; }), "Error reading BMP info"},
        {"width 0", with([](BmpFile& f) { f.width = 0; }), "Invalid image size"},
        {"negative width", with([](BmpFile& f) { f.width = -2; }), "Invalid image size"},
        {"huge", with([](BmpFile& f) { f.width = f.height = 70000; }), "Image too large"},
        {"huge row", with([](BmpFile& f) {
             f.width = INT_MAX;
             f.height = 1;
         }),
         "Image too large"},
        {"32 bits, compression 4", with([](BmpFile& f) {
             f.bpp = 32;
             f.compression = BI_JPEG;
         }),
         "unknown compression"},
        {"24 bits, RLE8", with([](BmpFile& f) { f.compression = BI_RLE8; }), "unknown compression"},
        {"16 bits, RLE4", with([](BmpFile& f) {
             f.bpp = 16;
             f.compression = BI_RLE4;
         }),
         "unknown compression"},
        {"8 bits, RLE4", with([](BmpFile& f) {
             f.bpp = 8;
             f.compression = BI_RLE4;
         }),
         "compression type not supported"},
        {"4 bits, RLE8", with([](BmpFile& f) {
             f.bpp = 4;
             f.compression = BI_RLE8;
         }),
         "compression type not supported"},
        {"1 bit, compression 7", with([](BmpFile& f) {
             f.bpp = 1;
             f.compression = 7;
         }),
         "compression type not supported"},
        {"one pixel byte short", with([](BmpFile& f) { f.pixels.pop_back(); }), "BMP file is truncated"},
        {"pixels beyond the file", with([](BmpFile& f) { f.offBitsDelta = 1000; }), "BMP file is truncated"},
        {"pixels far beyond the file", with([](BmpFile& f) { f.offBitsDelta = 0x7FFFFFF0; }), "BMP file is truncated"},
        {"table cut short", with([](BmpFile& f) {
             f.bpp = 8;
             f.pixels.clear();
             f.palette = Palette(3, 1);
         }),
         "BMP file is truncated"},
        {"masks cut short", with([](BmpFile& f) {
             f.bpp = 16;
             f.compression = BI_BITFIELDS;
             f.pixels.clear();
         }),
         "BMP file is truncated"},
        {"huge table count", with([](BmpFile& f) {
             f.fileHeader = false;
             f.clrUsed = 0xFFFFFFFF;
         }),
         "BMP file is truncated"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeError(c.bytes), c.error) << c.name;
}

TEST(BmpCodec, StopsWhenCancelled) {
    CLvImage image(3, 3, 24);
    FillPattern(image, 1);
    Bytes file = EncodeToBytes(image, LVFMT_BMP);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecBMP codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

// Small valid files of the kinds the reader handles differently.
std::vector<Bytes> SampleFiles() {
    std::vector<Bytes> files;
    CLvImage eight(5, 3, 8);
    FillPattern(eight, 1);
    files.push_back(EncodeToBytes(eight, LVFMT_BMP));
    CLvImage rgb(3, 2, 24);
    FillPattern(rgb, 2);
    files.push_back(EncodeToBytes(rgb, LVFMT_BMP));
    BmpFile rle;
    rle.width = 6;
    rle.height = 3;
    rle.bpp = 8;
    rle.compression = BI_RLE8;
    rle.palette = Palette(4, 1);
    rle.clrUsed = 4;
    rle.pixels = {3, 1, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 0, 6, 2, 0, 1};
    files.push_back(rle.Build());
    BmpFile rle4 = rle;
    rle4.bpp = 4;
    rle4.compression = BI_RLE4;
    rle4.pixels = {0, 3, 0x12, 0x30, 0, 0, 6, 0x21, 0, 0, 0, 2, 1, 0, 2, 3, 0, 1};
    files.push_back(rle4.Build());
    BmpFile sixteen;
    sixteen.headerSize = 124;
    sixteen.width = 3;
    sixteen.height = 2;
    sixteen.bpp = 16;
    sixteen.compression = BI_BITFIELDS;
    sixteen.masks = {0xF800, 0x07E0, 0x001F};
    sixteen.pixels = Rows16({{1, 2, 3}, {4, 5, 6}});
    files.push_back(sixteen.Build());
    BmpFile core;
    core.headerSize = 12;
    core.width = 2;
    core.height = 2;
    core.bpp = 1;
    core.palette = Palette(2, 5);
    core.pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0};
    files.push_back(core.Build());
    return files;
}

TEST(BmpCodec, EveryTruncationFailsCleanly) {
    for (const Bytes& file : SampleFiles()) {
        CLvImage whole;
        ASSERT_TRUE(DecodeBytes(whole, file, LVFMT_BMP)) << whole.GetLastErrorText();
        for (size_t n = 0; n < file.size(); n++) {
            Bytes prefix(file.begin(), file.begin() + long(n));
            CLvImage image;
            if (DecodeBytes(image, prefix, LVFMT_BMP)) {
                // Run-length data may end before its end-of-bitmap code with every row already complete.
                EXPECT_TRUE(SamePicture(image, whole)) << n << " bytes";
            } else {
                EXPECT_STRNE(image.GetLastErrorText(), "") << n << " bytes";
            }
        }
    }
}

TEST(BmpCodec, HostileBytesNeverCrash) {
    std::mt19937 random(1234);
    for (const Bytes& file : SampleFiles()) {
        for (int round = 0; round < 400; round++) {
            Bytes mutated = file;
            int flips = 1 + int(random() % 4);
            for (int i = 0; i < flips; i++)
                mutated[random() % mutated.size()] = BYTE(random());
            CLvImage image;
            if (!DecodeBytes(image, mutated, LVFMT_BMP)) {
                EXPECT_STRNE(image.GetLastErrorText(), "");
            } else {
                EXPECT_TRUE(image.IsValid());
            }
        }
    }
    // Run-length data that tries to write past the last row and column.
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.bpp = 8;
    f.compression = BI_RLE8;
    f.palette = Palette(256, 1);
    f.pixels = {0, 2, 2, 1, 255, 7, 0, 255}; // delta to (2, 1), a run of 255, an absolute run of 255
    f.pixels.resize(f.pixels.size() + 255, 9);
    f.pixels.insert(f.pixels.end(), {0, 0, 2, 255, 255}); // padding, then a delta far above the picture
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, f.Build(), LVFMT_BMP)) << image.GetLastErrorText();
    EXPECT_EQ(RowIndices(image, 1), (std::vector<int>{0, 0, 7}));
}

// A stream whose writes fail after a number of bytes, like a full disk.
class FullDiskStream : public CLvMemStream {
public:
    explicit FullDiskStream(size_t room) : m_room(room) {}
    size_t Write(const void* buffer, size_t size, size_t count) override {
        if (size * count > m_room) return 0;
        m_room -= size * count;
        return CLvMemStream::Write(buffer, size, count);
    }

private:
    size_t m_room;
};

TEST(BmpCodec, AFailedWriteIsAFailure) {
    CLvImage image(4, 4, 24);
    FillPattern(image, 3);
    for (size_t room : {0, 14, 100}) {
        FullDiskStream stream(room);
        EXPECT_FALSE(image.Encode(&stream, LVFMT_BMP)) << room;
        EXPECT_STREQ(image.GetLastErrorText(), "Error writing BMP file");
    }
    CLvCodecBMP codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_FALSE(codec.Decode(nullptr));
}

} // namespace
