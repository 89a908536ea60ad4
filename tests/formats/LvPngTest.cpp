#include "LvPictureFiles.h"
#include "effects/LvRows.h"
#include "formats/LvCodecPNG.h"

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstring>
#include <random>

namespace {

// Colour over a background, as an opaque picture shows it.
Picture Composited(const Picture& p, RGBQUAD background) {
    Picture out = p;
    for (RGBQUAD& c : out.pixels) {
        unsigned a = c.rgbReserved;
        c.rgbRed = BYTE((c.rgbRed * a + background.rgbRed * (255 - a) + 127) / 255);
        c.rgbGreen = BYTE((c.rgbGreen * a + background.rgbGreen * (255 - a) + 127) / 255);
        c.rgbBlue = BYTE((c.rgbBlue * a + background.rgbBlue * (255 - a) + 127) / 255);
        c.rgbReserved = 255;
    }
    return out;
}

TEST(Png, PngSuiteReadsLikeAnotherReader) {
    enum Alpha { kOpaque, kPlane, kIndex, kComposite };
    const struct {
        const char* name;
        int bpp;
        Alpha alpha;
        RGBQUAD background; // for composited pictures
        int tolerance;      // 16-bit samples: ImageMagick rounds where the reader keeps the high byte
    } files[] = {
        {"basn0g01", 1, kOpaque, {}, 0},
        {"basn0g02", 4, kOpaque, {}, 0},
        {"basn0g04", 4, kOpaque, {}, 0},
        {"basn0g08", 8, kOpaque, {}, 0},
        {"basn0g16", 8, kOpaque, {}, 1},
        {"basn2c08", 24, kOpaque, {}, 0},
        {"basn2c16", 24, kOpaque, {}, 1},
        {"basn3p01", 1, kOpaque, {}, 0},
        {"basn3p02", 4, kOpaque, {}, 0},
        {"basn3p04", 4, kOpaque, {}, 0},
        {"basn3p08", 8, kOpaque, {}, 0},
        {"basn4a08", 8, kComposite, Quad(192, 192, 192), 1},
        {"basn4a16", 24, kPlane, {}, 1},
        {"basn6a08", 24, kPlane, {}, 0},
        {"basn6a16", 24, kPlane, {}, 1},
        {"ibasn0g02", 4, kOpaque, {}, 0},
        {"ibasn0g08", 8, kOpaque, {}, 0},
        {"ibasn2c16", 24, kOpaque, {}, 1},
        {"ibasn3p04", 4, kOpaque, {}, 0},
        {"ibasn3p08", 8, kOpaque, {}, 0},
        {"ibasn4a16", 24, kPlane, {}, 1},
        {"ibasn6a08", 24, kPlane, {}, 0},
        {"ibasn6a16", 24, kPlane, {}, 1},
        {"ftbbn0g04", 4, kComposite, Quad(0, 0, 0), 1},
        {"ftbrn2c08", 24, kComposite, Quad(255, 0, 0), 1},
        {"ftbwn0g16", 8, kComposite, Quad(255, 255, 255), 1},
        // tRNS with one value 0: entry 0 is the transparent index.
        {"ftbbn3p08", 8, kIndex, {}, 0},
        {"ftp1n3p08", 8, kIndex, {}, 0},
        {"ftp0n3p08", 8, kOpaque, {}, 0},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        CLvImage image;
        ASSERT_TRUE(image.Load(DataPath(std::string("png/") + f.name + ".png").c_str(), LVFMT_PNG))
            << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_PNG));
        EXPECT_EQ(image.GetBpp(), f.bpp);
        EXPECT_EQ(image.AlphaIsValid(), f.alpha == kPlane);
        EXPECT_FALSE(image.GetAlphaPalette());
        EXPECT_EQ(image.GetTransIndex(), f.alpha == kIndex ? 0 : -1);
        Picture expected = ReadNetpbm(DataPath(std::string("png/") + f.name + ".pam"));
        if (f.alpha == kComposite) expected = Composited(expected, f.background);
        EXPECT_EQ(ComparePictures(PictureOf(image), expected, f.tolerance, true), "");
    }
}

TEST(Png, TwoBitGreyBecomesFourBitWithItsFourGreys) {
    CLvImage image;
    ASSERT_TRUE(image.Load(DataPath("png/basn0g02.png").c_str(), LVFMT_PNG));
    ASSERT_EQ(image.GetBpp(), 4);
    for (int i = 0; i < 4; i++)
        EXPECT_TRUE(SameColor(image.GetPaletteColor(BYTE(i)), Quad(85 * i, 85 * i, 85 * i))) << i;
    EXPECT_EQ(image.GetXDPI(), 0); // no pHYs chunk
}

// A 4 x 1 palette PNG made with libpng itself, with the given tRNS values.
Bytes PalettePng(const std::vector<png_byte>& trans) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            Bytes* b = static_cast<Bytes*>(png_get_io_ptr(p));
            b->insert(b->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, 4, 1, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color plte[4] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
    png_set_PLTE(png, info, plte, 4);
    if (!trans.empty()) png_set_tRNS(png, info, trans.data(), int(trans.size()), nullptr);
    png_set_pHYs(png, info, 3780, 11811, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    png_byte row[4] = {0, 1, 2, 3};
    png_write_row(png, row);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(Png, PaletteTransparency) {
    CLvImage simple;
    ASSERT_TRUE(DecodeBytes(simple, PalettePng({0}), LVFMT_PNG)) << simple.GetLastErrorText();
    EXPECT_EQ(simple.GetTransIndex(), 0);
    EXPECT_FALSE(simple.GetAlphaPalette());
    EXPECT_EQ(simple.GetXDPI(), 96);
    EXPECT_EQ(simple.GetYDPI(), 300);

    CLvImage graded;
    ASSERT_TRUE(DecodeBytes(graded, PalettePng({255, 0, 128}), LVFMT_PNG)) << graded.GetLastErrorText();
    EXPECT_EQ(graded.GetTransIndex(), -1);
    EXPECT_TRUE(graded.GetAlphaPalette());
    const int alphas[] = {255, 0, 128, 255, 255};
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(graded.GetPaletteColor(BYTE(i == 4 ? 200 : i)).rgbReserved, alphas[i]) << i;
    EXPECT_TRUE(SameColor(graded.GetPaletteColor(2), Quad(70, 80, 90, 128)));
}

TEST(Png, SavingMovesTheTransparentIndexFirst) {
    CLvImage image(7, 5, 8);
    FillPattern(image, 11);
    image.SetTransIndex(5);
    CLvImage before(image);
    RGBQUAD transparent = image.GetPaletteColor(5);
    Bytes bytes = EncodeToBytes(image, LVFMT_PNG);
    ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
    EXPECT_EQ(image.GetTransIndex(), 0);
    EXPECT_TRUE(SameColor(image.GetPaletteColor(0), transparent));
    EXPECT_TRUE(SamePicture(image, before));
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_PNG)) << back.GetLastErrorText();
    EXPECT_EQ(back.GetTransIndex(), 0);
    EXPECT_TRUE(SameColor(back.GetPaletteColor(0), transparent));
    EXPECT_TRUE(SamePicture(back, before));
}

TEST(Png, SavingATransparentColourWritesAlpha) {
    CLvImage image(6, 4, 24);
    FillPattern(image, 4);
    RGBQUAD key = Quad(1, 2, 3);
    image.SetPixelColor(2, 1, key);
    image.SetPixelColor(5, 3, key);
    image.SetTransIndex(0);
    image.SetTransColor(key);
    Bytes bytes = EncodeToBytes(image, LVFMT_PNG);
    EXPECT_FALSE(image.AlphaIsValid());
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_PNG)) << back.GetLastErrorText();
    ASSERT_TRUE(back.AlphaIsValid());
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 6; x++)
            EXPECT_EQ(back.AlphaGet(x, y), (x == 2 && y == 1) || (x == 5 && y == 3) ? 0 : 255) << x << ", " << y;
}

// The image data of a PNG file: its IDAT chunks joined.
Bytes IdatOf(const Bytes& file) {
    Bytes idat;
    for (size_t at = 8; at + 12 <= file.size();) {
        const size_t length =
            size_t(file[at]) << 24 | size_t(file[at + 1]) << 16 | size_t(file[at + 2]) << 8 | file[at + 3];
        if (at + 12 + length > file.size()) break;
        if (memcmp(&file[at + 4], "IDAT", 4) == 0) idat.insert(idat.end(), &file[at + 8], &file[at + 8 + length]);
        at += 12 + length;
    }
    return idat;
}

// Large true-colour pictures are deflated in slices on several threads: one valid zlib stream, the same
// file whatever the threads, and no larger than one stream of the same filtered rows would be.
TEST(Png, TrueColourDataIsOneStreamWhateverTheThreads) {
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        CLvImage image(1100, 700, 24);
        for (int y = 0; y < 700; y++)
            for (int x = 0; x < 1100; x++)
                image.SetPixelColor(x, y, Quad((x * 3 + y) & 255, (x ^ y) & 255, (x * y / 97) & 255));
        if (alpha) {
            image.AlphaCreate();
            for (int y = 0; y < 700; y++)
                for (int x = 0; x < 1100; x++)
                    image.AlphaSet(x, y, BYTE(x + y));
        }
        LvSetThreadCount(1);
        const Bytes one = EncodeToBytes(image, LVFMT_PNG);
        LvSetThreadCount(3);
        const Bytes three = EncodeToBytes(image, LVFMT_PNG);
        LvSetThreadCount(0);
        EXPECT_EQ(one, three);
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, three, LVFMT_PNG)) << back.GetLastErrorText();
        EXPECT_TRUE(SamePicture(back, image));
        if (alpha) {
            EXPECT_EQ(back.AlphaGet(5, 7), BYTE(12));
        }

        // One stream of the same filtered rows, at the same level and strategy.
        const Bytes idat = IdatOf(three);
        uLongf rawSize = uLongf(1100 * (alpha ? 4 : 3) + 1) * 700;
        Bytes raw(rawSize);
        ASSERT_EQ(uncompress(raw.data(), &rawSize, idat.data(), uLong(idat.size())), Z_OK);
        ASSERT_EQ(rawSize, raw.size());
        z_stream z = {};
        ASSERT_EQ(deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_FILTERED), Z_OK);
        Bytes single(deflateBound(&z, uLong(raw.size())));
        z.next_in = raw.data();
        z.avail_in = uInt(raw.size());
        z.next_out = single.data();
        z.avail_out = uInt(single.size());
        ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        const size_t singleSize = single.size() - z.avail_out;
        deflateEnd(&z);
        EXPECT_LE(idat.size(), singleSize + singleSize / 500 + 64) << singleSize;
    }
}

TEST(Png, RoundTripsEveryDepth) {
    const struct {
        int bpp;
        bool alpha;
        BYTE alphaMax;
    } cases[] = {{1, false, 255}, {4, false, 255}, {8, false, 255}, {24, false, 255},
                 {24, true, 255}, {24, true, 128}, {8, true, 255}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bpp);
        CLvImage image(37, 11, c.bpp);
        FillPattern(image, unsigned(c.bpp));
        image.SetXDPI(300);
        image.SetYDPI(72);
        if (c.alpha) {
            image.AlphaCreate();
            for (int y = 0; y < 11; y++)
                for (int x = 0; x < 37; x++)
                    image.AlphaSet(x, y, BYTE(x * 7 + y));
            image.SetAlphaMax(c.alphaMax);
        }
        Bytes bytes = EncodeToBytes(image, LVFMT_PNG);
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_PNG)) << back.GetLastErrorText();
        EXPECT_EQ(back.GetBpp(), c.alpha ? 24 : c.bpp);
        EXPECT_EQ(back.GetXDPI(), 300);
        EXPECT_EQ(back.GetYDPI(), 72);
        Picture expected = PictureOf(image);
        for (RGBQUAD& p : expected.pixels)
            p.rgbReserved = c.alpha ? BYTE(c.alphaMax * p.rgbReserved / 255) : 255;
        EXPECT_EQ(ComparePictures(PictureOf(back), expected, 0, true), "");
    }
}

TEST(Png, EveryPrefixFailsWithATextAndNothingCrashes) {
    Bytes file = ReadFileBytes(DataPath("png/ibasn6a08.png"));
    for (size_t n = 0; n < file.size(); n++) {
        CLvImage image;
        EXPECT_FALSE(DecodeBytes(image, Bytes(file.begin(), file.begin() + long(n)), LVFMT_PNG)) << n;
        EXPECT_STRNE(image.GetLastErrorText(), "") << n;
    }
    std::mt19937 random(3);
    for (const char* name : {"png/basn3p04.png", "png/ibasn6a16.png", "png/ftbbn0g04.png"}) {
        Bytes good = ReadFileBytes(DataPath(name));
        for (int round = 0; round < 300; round++) {
            Bytes bad = good;
            bad[8 + random() % (bad.size() - 8)] = uint8_t(random()); // past the signature
            CLvImage image;
            if (!DecodeBytes(image, bad, LVFMT_PNG)) {
                EXPECT_STRNE(image.GetLastErrorText(), "");
            }
        }
    }
    // libpng's own collection of files that once crashed readers.
    for (const char* name : {"badadler", "badcrc", "huge_IDAT", "huge_iCCP_chunk", "huge_pHYs_chunk", "bad_iCCP"}) {
        CLvImage image;
        if (!image.Load(DataPath(std::string("png/crasher-") + name + ".png").c_str(), LVFMT_PNG)) {
            EXPECT_STRNE(image.GetLastErrorText(), "") << name;
        }
    }
}

TEST(Png, HugeHeaderFailsBeforeAllocating) {
    Bytes file = ReadFileBytes(DataPath("png/basn0g08.png"));
    // IHDR data start at 16: width and height 30000, with the chunk's CRC made right again.
    for (int i : {16, 20}) {
        file[size_t(i)] = 0, file[size_t(i) + 1] = 0, file[size_t(i) + 2] = 0x75, file[size_t(i) + 3] = 0x30;
    }
    uLong crc = crc32(0, &file[12], 17);
    for (int i = 0; i < 4; i++)
        file[29 + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
    CLvImage image;
    EXPECT_FALSE(DecodeBytes(image, file, LVFMT_PNG));
    EXPECT_STREQ(image.GetLastErrorText(), "Image too large");
}

TEST(Png, AFailedWriteSaysSo) {
    CLvImage image(200, 200, 24);
    FillPattern(image, 8);
    CLvFullStream full(500);
    EXPECT_FALSE(image.Encode(&full, LVFMT_PNG));
    EXPECT_STREQ(image.GetLastErrorText(), "Error saving PNG file");
}

} // namespace
