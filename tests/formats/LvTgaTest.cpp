#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecTGA.h"
#include "image/LvByteReader.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A hand-made TGA file: header fields, identification, colour map and (already coded) pixel bytes.
struct TgaFile {
    int colorMapType = 0;
    int imageType = 2;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntrySize = 0;
    int width = 0;
    int height = 0;
    int depth = 24;
    int descriptor = 0;
    Bytes id;
    Bytes map;
    Bytes pixels;

    Bytes Build() const {
        ByteWriter w;
        w.U8(id.size()).U8(colorMapType).U8(imageType).LE16(mapFirst).LE16(mapLength).U8(mapEntrySize);
        w.LE16(0).LE16(0).LE16(width).LE16(height).U8(depth).U8(descriptor);
        return w.Append(id).Append(map).Append(pixels).bytes();
    }
};

// The file bytes of one pixel of the reference at the given depth (8: index, 24: BGR, 32: BGRA).
void PutPixel(const CLvImage& image, int x, int y, int depth, Bytes& out) {
    if (depth == 8) {
        out.push_back(image.GetPixelIndex(x, y));
        return;
    }
    RGBQUAD c = image.GetPixelColor(x, y);
    out.insert(out.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed});
    if (depth == 32) out.push_back(image.AlphaGet(x, y));
}

// The pixels of the reference in file order for the given origin bits.
Bytes Pixels(const CLvImage& image, int depth, int descriptor) {
    Bytes out;
    for (int r = 0; r < image.GetHeight(); r++) {
        int y = (descriptor & 0x20) ? image.GetHeight() - 1 - r : r;
        for (int i = 0; i < image.GetWidth(); i++) {
            int x = (descriptor & 0x10) ? image.GetWidth() - 1 - i : i;
            PutPixel(image, x, y, depth, out);
        }
    }
    return out;
}

// Run-length packets of raw pixel bytes: runs of two or more equal pixels, literal packets otherwise, at
// most 128 pixels each. Packets end with their row unless acrossRows is set.
Bytes RunLength(const Bytes& raw, int bytesPerPixel, int width, bool acrossRows) {
    Bytes out;
    const size_t count = raw.size() / bytesPerPixel;
    auto same = [&](size_t a, size_t b) {
        return memcmp(&raw[a * bytesPerPixel], &raw[b * bytesPerPixel], size_t(bytesPerPixel)) == 0;
    };
    size_t i = 0;
    while (i < count) {
        size_t limit = acrossRows ? count : (i / width + 1) * size_t(width);
        size_t run = 1;
        while (i + run < limit && run < 128 && same(i, i + run))
            run++;
        if (run >= 2) {
            out.push_back(BYTE(127 + run));
            out.insert(out.end(), raw.begin() + long(i * bytesPerPixel), raw.begin() + long((i + 1) * bytesPerPixel));
            i += run;
            continue;
        }
        size_t n = 1;
        while (i + n < limit && n < 128 && !(i + n + 1 < limit && same(i + n, i + n + 1)))
            n++;
        out.push_back(BYTE(n - 1));
        out.insert(out.end(), raw.begin() + long(i * bytesPerPixel), raw.begin() + long((i + n) * bytesPerPixel));
        i += n;
    }
    return out;
}

// A reference picture with runs and a few odd pixels, at 8 bits (with a palette) or 24 bits (with alpha
// when asked).
CLvImage Reference(int bpp, bool alpha, unsigned seed) {
    CLvImage image(7, 5, bpp);
    FillPattern(image, seed);
    for (int x = 1; x < 6; x++)
        image.SetPixelColor(x, 2, image.GetPixelColor(0, 2)); // a run
    if (alpha) {
        image.AlphaCreate();
        for (int y = 0; y < 5; y++)
            for (int x = 0; x < 7; x++)
                image.AlphaSet(x, y, BYTE(x * 40 + y * 3));
    }
    return image;
}

TgaFile FileOf(const CLvImage& image, int depth, int descriptor, bool runLength, bool acrossRows = false) {
    TgaFile f;
    f.width = image.GetWidth();
    f.height = image.GetHeight();
    f.depth = depth;
    f.descriptor = descriptor;
    f.imageType = (depth == 8 ? 1 : 2) + (runLength ? 8 : 0);
    if (depth == 8) {
        f.colorMapType = 1;
        f.mapLength = 256;
        f.mapEntrySize = 24;
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = image.GetPaletteColor(BYTE(i));
            f.map.insert(f.map.end(), {c.rgbBlue, c.rgbGreen, c.rgbRed});
        }
    }
    Bytes raw = Pixels(image, depth, descriptor);
    f.pixels = runLength ? RunLength(raw, depth / 8, f.width, acrossRows) : raw;
    return f;
}

CLvImage Decoded(const Bytes& file) {
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, file, LVFMT_TGA)) << image.GetLastErrorText();
    return image;
}

bool SameAlpha(const CLvImage& a, const CLvImage& b) {
    if (a.AlphaIsValid() != b.AlphaIsValid()) return false;
    for (int y = 0; y < a.GetHeight(); y++)
        for (int x = 0; x < a.GetWidth(); x++)
            if (a.AlphaGet(x, y) != b.AlphaGet(x, y)) return false;
    return true;
}

std::string DecodeError(const Bytes& bytes) {
    CLvImage image;
    if (DecodeBytes(image, bytes, LVFMT_TGA)) return "(decoded)";
    return image.GetLastErrorText();
}

TEST(TgaCodec, WritesHeaderAndBottomUpRows) {
    struct Case {
        int bpp;
        bool alpha;
        int colorMapType, imageType, mapLength, mapEntrySize, depth, descriptor;
        size_t dataBytes;
    };
    const Case cases[] = {
        {8, false, 1, 1, 256, 24, 8, 0, 768 + 7 * 5},
        {24, false, 0, 2, 0, 0, 24, 0, 7 * 5 * 3},
        {24, true, 0, 2, 0, 0, 32, 8, 7 * 5 * 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.depth);
        CLvImage image = Reference(c.bpp, c.alpha, 3);
        Bytes file = EncodeToBytes(image, LVFMT_TGA);
        ASSERT_EQ(file.size(), 18 + c.dataBytes);
        CLvByteReader r(file.data(), file.size());
        EXPECT_EQ(r.U8(), 0);
        EXPECT_EQ(r.U8(), c.colorMapType);
        EXPECT_EQ(r.U8(), c.imageType);
        EXPECT_EQ(r.LE16(), 0);
        EXPECT_EQ(r.LE16(), c.mapLength);
        EXPECT_EQ(r.U8(), c.mapEntrySize);
        EXPECT_EQ(r.LE32(), 0u); // origin
        EXPECT_EQ(r.LE16(), 7);
        EXPECT_EQ(r.LE16(), 5);
        EXPECT_EQ(r.U8(), c.depth);
        EXPECT_EQ(r.U8(), c.descriptor);
        // The first pixel written is the bottom-left one.
        Bytes first;
        PutPixel(image, 0, 0, c.depth, first);
        size_t at = 18 + (c.bpp == 8 ? 768 : 0);
        EXPECT_EQ(Bytes(file.begin() + long(at), file.begin() + long(at + first.size())), first);
    }
}

TEST(TgaCodec, RoundTripsEveryWritableKind) {
    for (int bpp : {8, 24})
        for (bool alpha : {false, true}) {
            if (bpp == 8 && alpha) continue;
            CLvImage image = Reference(bpp, alpha, unsigned(bpp + alpha));
            CLvImage back = Decoded(EncodeToBytes(image, LVFMT_TGA));
            std::string where;
            EXPECT_TRUE(SamePicture(back, image, &where)) << bpp << ": " << where;
            EXPECT_TRUE(SameAlpha(back, image)) << bpp;
            EXPECT_EQ(back.GetFormat(), DWORD(LVFMT_TGA));
        }
    // The overall opacity scales the alpha bytes written.
    CLvImage image = Reference(24, true, 9);
    image.SetAlphaMax(128);
    CLvImage back = Decoded(EncodeToBytes(image, LVFMT_TGA));
    for (int x = 0; x < 7; x++)
        EXPECT_EQ(back.AlphaGet(x, 1), image.AlphaGet(x, 1) * 128 / 255) << x;
}

TEST(TgaCodec, EveryOriginAndCodingGivesTheSamePicture) {
    for (int depth : {8, 24, 32}) {
        CLvImage reference = Reference(depth == 8 ? 8 : 24, depth == 32, unsigned(depth));
        for (int descriptor : {0x00, 0x20, 0x10, 0x30})
            for (int coding = 0; coding < 3; coding++) {
                SCOPED_TRACE(testing::Message()
                             << depth << " bits, descriptor " << descriptor << ", coding " << coding);
                TgaFile f = FileOf(reference, depth, descriptor | (depth == 32 ? 8 : 0), coding > 0, coding == 2);
                CLvImage back = Decoded(f.Build());
                std::string where;
                EXPECT_TRUE(SamePicture(back, reference, &where)) << where;
                EXPECT_TRUE(SameAlpha(back, reference));
            }
    }
}

TEST(TgaCodec, SixteenBitPixelsKeepFiveBitsPerChannel) {
    const struct {
        int depth;
        uint16_t word;
        RGBQUAD color;
    } cases[] = {
        {16, 0x7FFF, Quad(248, 248, 248)}, {16, 0x001F, Quad(0, 0, 248)},     {16, 0x7C00, Quad(248, 0, 0)},
        {16, 0x03E0, Quad(0, 248, 0)},     {16, 0xFFFF, Quad(248, 248, 248)}, {15, 0x4210, Quad(128, 128, 128)},
    };
    for (const auto& c : cases) {
        for (bool runLength : {false, true}) {
            TgaFile f;
            f.width = 2;
            f.height = 1;
            f.depth = c.depth;
            f.imageType = runLength ? 10 : 2;
            Bytes raw = ByteWriter().LE16(c.word).LE16(c.word).bytes();
            f.pixels = runLength ? RunLength(raw, 2, 2, false) : raw;
            CLvImage image = Decoded(f.Build());
            ASSERT_EQ(image.GetBpp(), 24);
            EXPECT_TRUE(SameColor(image.GetPixelColor(1, 0), c.color)) << std::hex << c.word;
        }
    }
}

TEST(TgaCodec, ColourMapsGreyAndIdentification) {
    // Entry sizes 15, 16, 24 and 32, and a map that starts at index 2.
    const struct {
        int entrySize;
        Bytes entry; // the colour (16, 32, 48) in the entry's own form
    } maps[] = {
        {15, ByteWriter().LE16((2 << 10) | (4 << 5) | 6).bytes()},
        {16, ByteWriter().LE16(0x8000 | (2 << 10) | (4 << 5) | 6).bytes()},
        {24, {48, 32, 16}},
        {32, {48, 32, 16, 200}},
    };
    for (const auto& m : maps) {
        TgaFile f;
        f.colorMapType = 1;
        f.imageType = 1;
        f.mapFirst = 2;
        f.mapLength = 2;
        f.mapEntrySize = m.entrySize;
        f.map = ByteWriter().Append(m.entry).Append(Bytes(m.entry.size(), 0xFF)).bytes();
        f.width = 2;
        f.height = 1;
        f.depth = 8;
        f.id = Bytes(5, 'x');
        f.pixels = {2, 3};
        CLvImage image = Decoded(f.Build());
        ASSERT_EQ(image.GetBpp(), 8);
        EXPECT_TRUE(SameColor(image.GetPixelColor(0, 0), Quad(16, 32, 48))) << m.entrySize;
        EXPECT_EQ(image.GetPixelIndex(1, 0), 3);
    }
    TgaFile grey;
    grey.imageType = 3;
    grey.depth = 8;
    grey.width = 3;
    grey.height = 1;
    grey.pixels = {0, 128, 255};
    CLvImage image = Decoded(grey.Build());
    EXPECT_TRUE(SameColor(image.GetPixelColor(1, 0), Quad(128, 128, 128)));
    EXPECT_TRUE(SameColor(image.GetPixelColor(2, 0), Quad(255, 255, 255)));
}

TEST(TgaCodec, WritesOnlyEightAndTwentyFourBits) {
    for (int bpp : {1, 4}) {
        CLvImage image(3, 3, bpp);
        image.Clear(0);
        EXPECT_TRUE(EncodeToBytes(image, LVFMT_TGA).empty());
        EXPECT_STREQ(image.GetLastErrorText(), "Bit depth must be 8 or 24");
    }
    CLvImage wide(70000, 1, 24);
    wide.Clear(0);
    EXPECT_TRUE(EncodeToBytes(wide, LVFMT_TGA).empty());
    EXPECT_STREQ(wide.GetLastErrorText(), "Image too large for TGA");
    CLvCodecTGA codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_FALSE(codec.Decode(nullptr));
    CLvMemStream out;
    EXPECT_FALSE(codec.Encode(&out));
}

TEST(TgaCodec, RefusesWhatItCannotRead) {
    TgaFile good;
    good.width = 2;
    good.height = 2;
    good.pixels = Bytes(12, 0x40);
    auto with = [&good](auto change) {
        TgaFile f = good;
        change(f);
        return f.Build();
    };
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Not a TGA"},
        {"17 bytes", Bytes(17, 0), "Not a TGA"},
        {"type 0", with([](TgaFile& f) { f.imageType = 0; }), "Unknown TGA image type"},
        {"type 4", with([](TgaFile& f) { f.imageType = 4; }), "Unknown TGA image type"},
        {"type 32", with([](TgaFile& f) { f.imageType = 32; }), "Unknown TGA image type"},
        {"width 0", with([](TgaFile& f) { f.width = 0; }), "bad TGA header"},
        {"depth 12", with([](TgaFile& f) { f.depth = 12; }), "bad TGA header"},
        {"map of 300", with([](TgaFile& f) {
             f.colorMapType = 1;
             f.mapLength = 300;
             f.mapEntrySize = 24;
         }),
         "bad TGA header"},
        {"map type 2", with([](TgaFile& f) { f.colorMapType = 2; }), "bad TGA header"},
        {"mapped without map", with([](TgaFile& f) {
             f.imageType = 1;
             f.depth = 8;
         }),
         "bad TGA header"},
        {"mapped 16-bit indices", with([](TgaFile& f) {
             f.imageType = 1;
             f.colorMapType = 1;
             f.mapLength = 2;
             f.mapEntrySize = 24;
             f.depth = 16;
         }),
         "bad TGA header"},
        {"map beyond 256 entries", with([](TgaFile& f) {
             f.imageType = 1;
             f.colorMapType = 1;
             f.mapFirst = 200;
             f.mapLength = 100;
             f.mapEntrySize = 24;
             f.depth = 8;
         }),
         "bad TGA header"},
        {"map entries of 8 bits", with([](TgaFile& f) {
             f.colorMapType = 1;
             f.mapLength = 2;
             f.mapEntrySize = 8;
         }),
         "bad TGA header"},
        {"grey at 16 bits", with([](TgaFile& f) {
             f.imageType = 3;
             f.depth = 16;
         }),
         "bad TGA header"},
        {"true colour at 8 bits", with([](TgaFile& f) { f.depth = 8; }), "bad TGA header"},
        {"one byte short", with([](TgaFile& f) { f.pixels.pop_back(); }), "corrupted TGA"},
        {"map cut short", with([](TgaFile& f) {
             f.colorMapType = 1;
             f.mapLength = 256;
             f.mapEntrySize = 24;
             f.map = Bytes(10, 0);
             f.pixels.clear();
         }),
         "corrupted TGA"},
        {"run-length data end", with([](TgaFile& f) {
             f.imageType = 10;
             f.pixels = {0x81, 1, 2, 3}; // two of the four pixels
         }),
         "corrupted TGA"},
        {"literal packet cut", with([](TgaFile& f) {
             f.imageType = 10;
             f.pixels = {0x03, 1, 2, 3, 4, 5, 6, 7};
         }),
         "corrupted TGA"},
        {"run-length claims a huge picture", with([](TgaFile& f) {
             f.imageType = 10;
             f.width = 16000;
             f.height = 16000;
             f.pixels = {0xFF, 1, 2, 3};
         }),
         "corrupted TGA"},
        {"over the pixel limit", with([](TgaFile& f) { f.width = f.height = 65535; }), "Image too large"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeError(c.bytes), c.error) << c.name;
}

TEST(TgaCodec, StopsWhenCancelled) {
    CLvImage image = Reference(24, false, 1);
    Bytes file = EncodeToBytes(image, LVFMT_TGA);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecTGA codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

TEST(TgaCodec, HostileBytesFailCleanly) {
    std::vector<Bytes> files;
    files.push_back(FileOf(Reference(8, false, 1), 8, 0x20, true).Build());
    files.push_back(FileOf(Reference(24, false, 2), 24, 0x10, false).Build());
    files.push_back(FileOf(Reference(24, true, 3), 32, 0x28, true, true).Build());
    unsigned seed = 1;
    for (const Bytes& file : files) {
        ExpectPrefixesFailCleanly(file, LVFMT_TGA, true);
        ExpectMutationsFailCleanly(file, LVFMT_TGA, seed++, 400, true);
    }
}

} // namespace
