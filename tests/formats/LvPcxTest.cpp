#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecPCX.h"
#include "image/LvByteReader.h"

#include <gtest/gtest.h>

namespace {

// A hand-made PCX file: header fields, then run-length data (given coded, or coded from raw plane lines)
// and an optional tail (the 256-colour palette).
struct PcxFile {
    int manufacturer = 10;
    int encoding = 1;
    int bits = 8;
    int xMin = 0;
    int width = 0;
    int height = 0;
    int planes = 1;
    int lineBytes = 0;
    Bytes headerPalette = Bytes(48, 0);
    Bytes data;
    Bytes tail;

    Bytes Build() const {
        ByteWriter w;
        w.U8(manufacturer).U8(5).U8(encoding).U8(bits).LE16(xMin).LE16(0).LE16(xMin + width - 1).LE16(height - 1);
        w.LE16(72).LE16(72).Append(headerPalette).U8(0).U8(planes).LE16(lineBytes).LE16(1);
        w.Resize(128);
        return w.Append(data).Append(tail).bytes();
    }
};

// Run-length code of raw bytes, with runs that may cross lines (the writer never makes such runs).
Bytes RunLength(const Bytes& raw) {
    Bytes out;
    for (size_t i = 0; i < raw.size();) {
        size_t run = 1;
        while (i + run < raw.size() && raw[i + run] == raw[i] && run < 63)
            run++;
        if (run > 1 || raw[i] >= 0xC0) out.push_back(BYTE(0xC0 | run));
        out.push_back(raw[i]);
        i += run;
    }
    return out;
}

Bytes Palette256(const CLvImage& image) {
    Bytes tail{12};
    for (int i = 0; i < 256; i++) {
        RGBQUAD c = image.GetPaletteColor(BYTE(i));
        tail.insert(tail.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
    }
    return tail;
}

CLvImage Decoded(const Bytes& file) {
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, file, LVFMT_PCX)) << image.GetLastErrorText();
    return image;
}

std::string DecodeError(const Bytes& bytes) {
    CLvImage image;
    if (DecodeBytes(image, bytes, LVFMT_PCX)) return "(decoded)";
    return image.GetLastErrorText();
}

TEST(PcxCodec, RoundTripsEveryDepthWithItsHeader) {
    struct Case {
        int bpp;
        bool alpha;
        int width;
        int bits, planes, lineBytes, paletteInfo;
    };
    const Case cases[] = {
        {1, false, 9, 1, 1, 2, 0}, {1, false, 17, 1, 1, 4, 0}, {4, false, 5, 1, 4, 2, 0},  {8, false, 3, 8, 1, 4, 0},
        {8, false, 6, 8, 1, 6, 0}, {24, false, 3, 8, 3, 4, 1}, {24, false, 8, 8, 3, 8, 1}, {24, true, 5, 8, 4, 6, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " pixels at " << c.bpp << (c.alpha ? " with alpha" : ""));
        CLvImage image(c.width, 4, c.bpp);
        FillPattern(image, unsigned(c.bpp * 10 + c.width));
        if (c.bpp == 1) {
            image.SetPaletteColor(0, 0, 0, 0);
            image.SetPaletteColor(1, 255, 255, 255);
        }
        if (c.alpha) {
            image.AlphaCreate();
            for (int x = 0; x < c.width; x++)
                image.AlphaSet(x, 1, BYTE(50 * x));
        }
        image.SetXDPI(150);
        image.SetYDPI(300);
        Bytes file = EncodeToBytes(image, LVFMT_PCX);
        ASSERT_GT(file.size(), 128u);
        CLvByteReader r(file.data(), file.size());
        EXPECT_EQ(r.U8(), 10);
        EXPECT_EQ(r.U8(), 5);
        EXPECT_EQ(r.U8(), 1);
        EXPECT_EQ(r.U8(), c.bits);
        EXPECT_EQ(r.LE32(), 0u);
        EXPECT_EQ(r.LE16(), c.width - 1);
        EXPECT_EQ(r.LE16(), 3);
        EXPECT_EQ(r.LE16(), 150);
        EXPECT_EQ(r.LE16(), 300);
        r.Skip(49);
        EXPECT_EQ(r.U8(), c.planes);
        EXPECT_EQ(r.LE16(), c.lineBytes);
        EXPECT_EQ(r.LE16(), c.paletteInfo);
        if (c.bpp == 8) {
            ASSERT_GE(file.size(), 128u + 769);
            EXPECT_EQ(file[file.size() - 769], 12);
        }
        CLvImage back = Decoded(file);
        std::string where;
        EXPECT_TRUE(SamePicture(back, image, &where)) << where;
        EXPECT_EQ(back.AlphaIsValid(), c.alpha);
        for (int x = 0; c.alpha && x < c.width; x++)
            EXPECT_EQ(back.AlphaGet(x, 1), 50 * x);
        EXPECT_EQ(back.GetXDPI(), 150);
        EXPECT_EQ(back.GetYDPI(), 300);
    }
}

TEST(PcxCodec, RunsOfSixtyThreeAndCountLikeBytes) {
    CLvImage image(100, 1, 8);
    image.Clear(7);
    Bytes file = EncodeToBytes(image, LVFMT_PCX);
    EXPECT_EQ(Bytes(file.begin() + 128, file.end() - 769), (Bytes{0xFF, 7, 0xE5, 7}));

    CLvImage odd(3, 1, 8);
    odd.SetPixelIndex(0, 0, 0xC5);
    odd.SetPixelIndex(1, 0, 1);
    odd.SetPixelIndex(2, 0, 0xC5);
    file = EncodeToBytes(odd, LVFMT_PCX);
    // A byte that looks like a count is written as a run of one; the line is padded to 4 bytes with 0.
    EXPECT_EQ(Bytes(file.begin() + 128, file.end() - 769), (Bytes{0xC1, 0xC5, 1, 0xC1, 0xC5, 0}));
}

TEST(PcxCodec, WhiteFirstBilevelIsWrittenInverted) {
    CLvImage image(10, 2, 1);
    image.SetPaletteColor(0, 255, 255, 255);
    image.SetPaletteColor(1, 0, 0, 0);
    image.Clear(0);               // all white
    image.SetPixelIndex(0, 1, 1); // the top-left pixel black
    Bytes file = EncodeToBytes(image, LVFMT_PCX);
    // The file's palette is black, white: the top row is 0 then nine 1 bits (0xC0 looks like a count).
    EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 22), (Bytes{0, 0, 0, 255, 255, 255}));
    EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 131), (Bytes{0x7F, 0xC1, 0xC0}));
    CLvImage back = Decoded(file);
    EXPECT_TRUE(SamePicture(back, image));
    EXPECT_TRUE(SameColor(back.GetPaletteColor(0), Quad(0, 0, 0)));
}

TEST(PcxCodec, ReadsPackedAndPlanarLayouts) {
    // Two bits per pixel, four pixels per byte, colours from the header palette.
    PcxFile two;
    two.bits = 2;
    two.width = 5;
    two.height = 1;
    two.lineBytes = 2;
    for (int i = 0; i < 4; i++)
        two.headerPalette[3 * i] = BYTE(60 * i + 10);
    two.data = RunLength({0x1B, 0x80}); // 0 1 2 3, 2
    CLvImage image = Decoded(two.Build());
    ASSERT_EQ(image.GetBpp(), 4);
    const int expected[5] = {0, 1, 2, 3, 2};
    for (int x = 0; x < 5; x++) {
        EXPECT_EQ(image.GetPixelIndex(x, 0), expected[x]);
        EXPECT_EQ(image.GetPixelColor(x, 0).rgbRed, 60 * expected[x] + 10);
    }
    // Two and three planes of one bit: bit p of the index comes from plane p.
    for (int planes : {2, 3}) {
        PcxFile planar;
        planar.bits = 1;
        planar.width = 8;
        planar.height = 1;
        planar.planes = planes;
        planar.lineBytes = 2;
        Bytes raw{0xF0, 0, 0xCC, 0, 0xAA, 0};
        raw.resize(size_t(planes) * 2);
        planar.data = RunLength(raw);
        CLvImage p = Decoded(planar.Build());
        ASSERT_EQ(p.GetBpp(), 4);
        for (int x = 0; x < 8; x++) {
            int index = ((0xF0 >> (7 - x)) & 1) | (((0xCC >> (7 - x)) & 1) << 1) |
                        (planes == 3 ? ((0xAA >> (7 - x)) & 1) << 2 : 0);
            EXPECT_EQ(p.GetPixelIndex(x, 0), index) << planes << " planes, x " << x;
        }
    }
    // Runs that go on into the next line, and the first file line is the top row.
    PcxFile across;
    across.width = 4;
    across.height = 2;
    across.lineBytes = 4;
    across.data = {0xC6, 9, 0xC2, 3};
    CLvImage grey(4, 2, 8);
    grey.SetGrayPalette();
    across.tail = Palette256(grey);
    CLvImage a = Decoded(across.Build());
    for (int x = 0; x < 4; x++) {
        EXPECT_EQ(a.GetPixelIndex(x, 1), 9);
        EXPECT_EQ(a.GetPixelIndex(x, 0), x < 2 ? 9 : 3);
    }
    EXPECT_TRUE(SameColor(a.GetPixelColor(0, 0), Quad(9, 9, 9)));
}

TEST(PcxCodec, RefusesWhatItCannotRead) {
    PcxFile good;
    good.bits = 8;
    good.planes = 3;
    good.width = 2;
    good.height = 2;
    good.lineBytes = 2;
    good.data = RunLength(Bytes(12, 5));
    auto with = [&good](auto change) {
        PcxFile f = good;
        change(f);
        return f.Build();
    };
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Can't read PCX image"},
        {"127 bytes", Bytes(127, 10), "Can't read PCX image"},
        {"manufacturer 11", with([](PcxFile& f) { f.manufacturer = 11; }), "Error: Not a PCX file"},
        {"encoding 0", with([](PcxFile& f) { f.encoding = 0; }), "PCX file has unknown encoding scheme"},
        {"5 planes", with([](PcxFile& f) { f.planes = 5; }), "Can't handle image with more than 4 planes"},
        {"2 planes of 4 bits", with([](PcxFile& f) {
             f.planes = 2;
             f.bits = 4;
         }),
         "Can't handle packed pixels with more than 1 plane."},
        {"2 planes of 8 bits", with([](PcxFile& f) { f.planes = 2; }), "Can't handle more than 1 bit per pixel"},
        {"0 planes", with([](PcxFile& f) { f.planes = 0; }), "corrupted PCX"},
        {"3 bits", with([](PcxFile& f) {
             f.planes = 1;
             f.bits = 3;
         }),
         "corrupted PCX"},
        {"x max below x min", with([](PcxFile& f) {
             f.xMin = 5;
             f.width = 0;
         }),
         "Invalid image size"},
        {"lines too short", with([](PcxFile& f) { f.lineBytes = 1; }), "PCX line length too short for the width"},
        {"data end early", with([](PcxFile& f) { f.data.pop_back(); }), "corrupted PCX"},
        {"run past the end", with([](PcxFile& f) {
             f.data = {0xC8, 1, 0xCA, 2};
         }),
         "repeat count spans end of image"},
        {"palette marker 11", with([](PcxFile& f) {
             f.planes = 1;
             f.data = RunLength(Bytes(4, 1));
             f.tail = Bytes(769, 0);
             f.tail[0] = 11;
         }),
         "bad color map signature"},
        {"palette missing", with([](PcxFile& f) {
             f.planes = 1;
             f.data = RunLength(Bytes(4, 1));
         }),
         "corrupted PCX"},
        {"palette cut short", with([](PcxFile& f) {
             f.planes = 1;
             f.data = RunLength(Bytes(4, 1));
             f.tail = Bytes(100, 0);
             f.tail[0] = 12;
         }),
         "corrupted PCX"},
        {"a huge picture from a few bytes", with([](PcxFile& f) {
             f.width = 16000;
             f.height = 16000;
             f.lineBytes = 16000;
         }),
         "corrupted PCX"},
        {"over the pixel limit", with([](PcxFile& f) {
             f.width = 65536;
             f.height = 65536;
             f.lineBytes = 65535;
         }),
         "PCX line length too short for the width"},
        {"over the pixel limit with long lines", with([](PcxFile& f) {
             f.bits = 1;
             f.planes = 1;
             f.width = 65536;
             f.height = 65536;
             f.lineBytes = 8192;
         }),
         "Image too large"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeError(c.bytes), c.error) << c.name;
    // Ten bytes repeated where only five are left.
    PcxFile five = good;
    five.planes = 1;
    five.width = 5;
    five.height = 1;
    five.lineBytes = 5;
    five.data = {0xCA, 1};
    five.tail = Palette256(CLvImage(1, 1, 8));
    EXPECT_EQ(DecodeError(five.Build()), "repeat count spans end of image");
}

TEST(PcxCodec, WriterFailures) {
    CLvImage wide(70000, 1, 8);
    wide.Clear(0);
    EXPECT_TRUE(EncodeToBytes(wide, LVFMT_PCX).empty());
    EXPECT_STREQ(wide.GetLastErrorText(), "Image too large for PCX");
    CLvCodecPCX codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_FALSE(codec.Decode(nullptr));
}

TEST(PcxCodec, StopsWhenCancelled) {
    CLvImage image(4, 4, 24);
    FillPattern(image, 1);
    Bytes file = EncodeToBytes(image, LVFMT_PCX);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecPCX codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

TEST(PcxCodec, HostileBytesFailCleanly) {
    unsigned seed = 10;
    for (int bpp : {1, 4, 8, 24}) {
        CLvImage image(9, 5, bpp);
        FillPattern(image, unsigned(bpp));
        if (bpp == 24) {
            image.AlphaCreate();
            image.AlphaFill(200);
        }
        Bytes file = EncodeToBytes(image, LVFMT_PCX);
        ExpectPrefixesFailCleanly(file, LVFMT_PCX, true);
        ExpectMutationsFailCleanly(file, LVFMT_PCX, seed++, 400, true);
    }
}

} // namespace
