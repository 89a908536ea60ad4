#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecWBMP.h"

#include <gtest/gtest.h>

namespace {

// A 1-bit picture with the given palette order.
CLvImage Bilevel(int width, int height, bool whiteFirst, unsigned seed) {
    CLvImage image(width, height, 1);
    image.SetPaletteColor(0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0);
    image.SetPaletteColor(1, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255);
    unsigned state = seed;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            state = state * 1103515245u + 12345u;
            image.SetPixelIndex(x, y, BYTE((state >> 16) & 1));
        }
    return image;
}

Bytes MultiByte(uint32_t v) {
    Bytes out;
    do {
        out.insert(out.begin(), BYTE((v & 0x7F) | (out.empty() ? 0 : 0x80)));
        v >>= 7;
    } while (v);
    return out;
}

std::string DecodeError(const Bytes& bytes) {
    CLvImage image;
    if (DecodeBytes(image, bytes, LVFMT_WBMP)) return "(decoded)";
    return image.GetLastErrorText();
}

TEST(WbmpCodec, RoundTripsWithTheStandardHeader) {
    const struct { int width, height; } sizes[] = {{1, 1}, {9, 5}, {127, 3}, {128, 2}, {200, 130}, {255, 255}};
    for (const auto& s : sizes)
        for (bool whiteFirst : {false, true}) {
            SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << (whiteFirst ? " white first" : ""));
            CLvImage image = Bilevel(s.width, s.height, whiteFirst, unsigned(s.width * 7 + s.height));
            Bytes file = EncodeToBytes(image, LVFMT_WBMP);
            Bytes header = ByteWriter().U8(0).U8(0).Append(MultiByte(s.width)).Append(MultiByte(s.height)).bytes();
            ASSERT_EQ(file.size(), header.size() + size_t(s.height) * ((s.width + 7) / 8));
            EXPECT_EQ(Bytes(file.begin(), file.begin() + long(header.size())), header);
            CLvImage back;
            ASSERT_TRUE(DecodeBytes(back, file, LVFMT_WBMP)) << back.GetLastErrorText();
            std::string where;
            EXPECT_TRUE(SamePicture(back, image, &where)) << where; // a white-first palette is inverted
            EXPECT_TRUE(SameColor(back.GetPaletteColor(0), Quad(0, 0, 0)));
            EXPECT_TRUE(SameColor(back.GetPaletteColor(1), Quad(255, 255, 255)));
            EXPECT_EQ(back.GetFormat(), DWORD(LVFMT_WBMP));
        }
}

TEST(WbmpCodec, RowsAreTopFirstWithZeroPadding) {
    // A 9-pixel-wide picture takes 2 bytes per row; the bits after the last pixel are written as 0.
    CLvImage image = Bilevel(9, 2, false, 1);
    for (int x = 0; x < 9; x++) {
        image.SetPixelIndex(x, 1, 1); // top row white
        image.SetPixelIndex(x, 0, x == 8);
    }
    image.GetBits()[1] |= 0x7F; // garbage in the padding bits of the bottom row
    Bytes file = EncodeToBytes(image, LVFMT_WBMP);
    EXPECT_EQ(file, (Bytes{0, 0, 9, 2, 0xFF, 0x80, 0x00, 0x80}));
}

TEST(WbmpCodec, ReadsOlderSingleByteHeaders) {
    // This program's older files stored 200 as one byte; the length of the file tells the forms apart.
    CLvImage image = Bilevel(200, 3, false, 5);
    Bytes standard = EncodeToBytes(image, LVFMT_WBMP);
    Bytes legacy = ByteWriter().U8(0).U8(0).U8(200).U8(3).Append(Bytes(standard.begin() + 5, standard.end())).bytes();
    ASSERT_EQ(legacy.size() + 1, standard.size());
    for (const Bytes& file : {standard, legacy}) {
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, file, LVFMT_WBMP)) << back.GetLastErrorText();
        EXPECT_TRUE(SamePicture(back, image));
    }
    // Both sides in the single-byte form.
    CLvImage square = Bilevel(130, 140, false, 6);
    Bytes rows(EncodeToBytes(square, LVFMT_WBMP));
    rows.erase(rows.begin(), rows.begin() + 6);
    Bytes old = ByteWriter().U8(0).U8(0).U8(130).U8(140).Append(rows).bytes();
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, old, LVFMT_WBMP)) << back.GetLastErrorText();
    EXPECT_TRUE(SamePicture(back, square));
}

TEST(WbmpCodec, WritesOnlySmallBilevelPictures) {
    struct Case {
        int width, height, bpp;
        bool ok;
    };
    const Case cases[] = {{255, 255, 1, true}, {256, 1, 1, false}, {1, 256, 1, false},
                          {8, 8, 4, false},    {8, 8, 8, false},   {8, 8, 24, false}};
    for (const Case& c : cases) {
        CLvImage image(c.width, c.height, c.bpp);
        image.Clear(0);
        Bytes file = EncodeToBytes(image, LVFMT_WBMP);
        EXPECT_EQ(!file.empty(), c.ok) << c.width << "x" << c.height << "x" << c.bpp;
        if (!c.ok) {
            EXPECT_STREQ(image.GetLastErrorText(), "Can't save this image as WBMP");
        }
    }
    CLvImage empty;
    EXPECT_TRUE(EncodeToBytes(empty, LVFMT_WBMP).empty());
    EXPECT_STREQ(empty.GetLastErrorText(), "Can't save this image as WBMP");
}

TEST(WbmpCodec, RefusesWhatItCannotRead) {
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } cases[] = {
        {"empty", {}, "Not a WBMP"},
        {"three bytes", {0, 0, 1}, "Not a WBMP"},
        {"type 1", {1, 0, 1, 1, 0}, "Unsupported WBMP type"},
        {"width 0", {0, 0, 0, 1, 0}, "Corrupted WBMP"},
        {"height 0", {0, 0, 1, 0}, "Corrupted WBMP"},
        {"rows missing", {0, 0, 9, 2, 0xFF, 0x80, 0x00}, "Corrupted WBMP"},
        {"integer never ends", {0, 0, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81}, "Corrupted WBMP"},
        {"integer overflows", {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 1, 0}, "Corrupted WBMP"},
        {"over the pixel limit", ByteWriter().U8(0).U8(0).Append(MultiByte(20000)).Append(MultiByte(20000)).bytes(),
         "Image too large"},
        {"more rows than bytes", ByteWriter().U8(0).U8(0).Append(MultiByte(8000)).Append(MultiByte(8000)).bytes(),
         "Corrupted WBMP"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeError(c.bytes), c.error) << c.name;
    CLvCodecWBMP codec;
    EXPECT_FALSE(codec.Decode(nullptr));
    EXPECT_FALSE(codec.Encode(nullptr));
}

TEST(WbmpCodec, HostileBytesFailCleanly) {
    for (int width : {12, 150}) {
        CLvImage image = Bilevel(width, 4, false, 3);
        Bytes file = EncodeToBytes(image, LVFMT_WBMP);
        ASSERT_FALSE(file.empty());
        ExpectPrefixesFailCleanly(file, LVFMT_WBMP, true);
        ExpectMutationsFailCleanly(file, LVFMT_WBMP, 77, 300, true);
    }
}

} // namespace
