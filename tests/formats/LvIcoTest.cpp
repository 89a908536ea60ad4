#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecICO.h"
#include "image/LvByteReader.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

typedef std::function<bool(int x, int y)> MaskBits;

// The bytes of one BMP-coded icon image: info header, colour table, colour rows and AND mask, bottom-up.
// 32-bit images take their fourth bytes from the picture's alpha plane.
struct IconData {
    const CLvImage* image = nullptr;
    int bits = 0; // 0: the picture's depth
    MaskBits mask = [](int, int) { return false; };
    int colorsUsed = 0;    // the header's colour count; 0 means all
    int tableEntries = -1; // entries written, -1: the header's count (or the full table)
    DWORD headerSize = 40;
    DWORD compression = 0;

    Bytes Build() const {
        const CLvImage& im = *image;
        int depth = bits ? bits : im.GetBpp();
        int w = im.GetWidth(), h = im.GetHeight();
        ByteWriter b;
        b.LE32(headerSize).LE32(w).LE32(h * 2).LE16(1).LE16(depth).LE32(compression).LE32(0);
        b.LE32(0).LE32(0).LE32(colorsUsed).LE32(0);
        b.Resize(headerSize);
        int entries = tableEntries >= 0 ? tableEntries : colorsUsed ? colorsUsed : depth <= 8 ? 1 << depth : 0;
        for (int i = 0; i < entries; i++) {
            RGBQUAD c = im.GetPaletteColor(BYTE(i));
            b.U8(c.rgbBlue).U8(c.rgbGreen).U8(c.rgbRed).U8(0);
        }
        for (int y = 0; y < h; y++) {
            if (depth == 32) {
                for (int x = 0; x < w; x++) {
                    RGBQUAD c = im.GetPixelColor(x, y);
                    b.U8(c.rgbBlue).U8(c.rgbGreen).U8(c.rgbRed).U8(im.AlphaGet(x, y));
                }
            } else {
                const BYTE* row = im.GetBits() + size_t(y) * im.GetEffWidth();
                b.Append(Bytes(row, row + im.GetEffWidth()));
            }
        }
        int maskStride = (w + 31) / 32 * 4;
        for (int y = 0; y < h; y++) {
            Bytes row(size_t(maskStride), 0);
            for (int x = 0; x < w; x++)
                if (mask(x, y)) row[x / 8] |= BYTE(0x80 >> (x % 8));
            b.Append(row);
        }
        return b.bytes();
    }
};

struct IconEntry {
    int width = 0; // directory values (the image's own header rules)
    int height = 0;
    Bytes data;
    long bytesDelta = 0;  // added to the true size
    long offsetDelta = 0; // added to the true offset
};

Bytes IconFile(const std::vector<IconEntry>& entries, int reserved = 0, int type = 1) {
    ByteWriter w;
    w.LE16(reserved).LE16(type).LE16(entries.size());
    size_t offset = 6 + 16 * entries.size();
    for (const IconEntry& e : entries) {
        w.U8(e.width).U8(e.height).U8(0).U8(0).LE16(1).LE16(0);
        w.LE32(DWORD(long(e.data.size()) + e.bytesDelta)).LE32(DWORD(long(offset) + e.offsetDelta));
        offset += e.data.size();
    }
    for (const IconEntry& e : entries)
        w.Append(e.data);
    return w.bytes();
}

IconEntry Entry(const IconData& data) {
    IconEntry e;
    e.width = data.image->GetWidth() & 255;
    e.height = data.image->GetHeight() & 255;
    e.data = data.Build();
    return e;
}

CLvImage Picture(int width, int height, int bpp, unsigned seed) {
    CLvImage image(width, height, bpp);
    FillPattern(image, seed);
    return image;
}

bool ReadIcon(const Bytes& file, int frame, CLvImage& image) {
    image.SetFrame(frame);
    return DecodeBytes(image, file, LVFMT_ICO);
}

std::string DecodeError(const Bytes& bytes) {
    CLvImage image;
    if (DecodeBytes(image, bytes, LVFMT_ICO)) return "(decoded)";
    return image.GetLastErrorText();
}

TEST(IcoCodec, CountsTheIconsAndReadsTheChosenOne) {
    CLvImage a = Picture(16, 16, 4, 1), b = Picture(24, 20, 8, 2), c = Picture(32, 8, 24, 3);
    IconData da, db, dc;
    da.image = &a;
    db.image = &b;
    dc.image = &c;
    Bytes file = IconFile({Entry(da), Entry(db), Entry(dc)});
    const CLvImage* pictures[] = {&a, &b, &c};
    for (int frame = 0; frame < 3; frame++) {
        CLvImage image;
        ASSERT_TRUE(ReadIcon(file, frame, image)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetFrameCount(), 3);
        std::string where;
        EXPECT_TRUE(SamePicture(image, *pictures[frame], &where)) << frame << ": " << where;
        EXPECT_FALSE(image.AlphaIsValid()); // no mask bit set
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_ICO));
    }
    for (int frame : {3, -1}) {
        CLvImage image;
        EXPECT_FALSE(ReadIcon(file, frame, image));
        EXPECT_EQ(image.GetFrameCount(), 3) << frame;
    }
}

TEST(IcoCodec, MaskBitsBecomeTransparentPixels) {
    CLvImage picture = Picture(20, 6, 4, 4);
    IconData d;
    d.image = &picture;
    d.mask = [](int x, int y) { return (x + y) % 3 == 0; };
    CLvImage image;
    ASSERT_TRUE(ReadIcon(IconFile({Entry(d)}), 0, image)) << image.GetLastErrorText();
    ASSERT_TRUE(image.AlphaIsValid());
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 20; x++)
            EXPECT_EQ(image.AlphaGet(x, y), (x + y) % 3 == 0 ? 0 : 255) << x << ", " << y;
}

TEST(IcoCodec, ThirtyTwoBitIconsKeepTheirAlpha) {
    CLvImage picture = Picture(9, 4, 24, 5);
    picture.AlphaCreate();
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 9; x++)
            picture.AlphaSet(x, y, BYTE(x * 25 + y + 1));
    IconData d;
    d.image = &picture;
    d.bits = 32;
    d.mask = [](int x, int y) { return x == 2 && y == 1; };
    CLvImage image;
    ASSERT_TRUE(ReadIcon(IconFile({Entry(d)}), 0, image)) << image.GetLastErrorText();
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 9; x++) {
            RGBQUAD got = image.GetPixelColor(x, y), want = picture.GetPixelColor(x, y);
            EXPECT_TRUE(got.rgbRed == want.rgbRed && got.rgbGreen == want.rgbGreen && got.rgbBlue == want.rgbBlue);
            EXPECT_EQ(image.AlphaGet(x, y), x == 2 && y == 1 ? 0 : x * 25 + y + 1) << x << ", " << y;
        }
    // Fourth bytes that are all 0 say nothing: the mask alone decides.
    picture.AlphaFill(0);
    ASSERT_TRUE(ReadIcon(IconFile({Entry(d)}), 0, image));
    for (int x = 0; x < 9; x++)
        EXPECT_EQ(image.AlphaGet(x, 1), x == 2 ? 0 : 255) << x;
}

TEST(IcoCodec, ColourTablesAndSizesComeFromTheImageHeader) {
    // A colour count of 0 means the full table.
    CLvImage four = Picture(8, 8, 4, 6);
    IconData d;
    d.image = &four;
    CLvImage image;
    ASSERT_TRUE(ReadIcon(IconFile({Entry(d)}), 0, image));
    EXPECT_TRUE(SamePicture(image, four));
    // A short table: only the declared entries, and the pixels follow them.
    CLvImage eight = Picture(8, 3, 8, 7);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 8; x++)
            eight.SetPixelIndex(x, y, BYTE((x + y) % 2));
    d.image = &eight;
    d.colorsUsed = 2;
    ASSERT_TRUE(ReadIcon(IconFile({Entry(d)}), 0, image)) << image.GetLastErrorText();
    EXPECT_TRUE(SamePicture(image, eight));
    // A directory that says 0 (256) or the wrong size: the image's own header gives the size.
    CLvImage big = Picture(256, 256, 1, 8);
    IconData db;
    db.image = &big;
    IconEntry e = Entry(db);
    EXPECT_EQ(e.width, 0);
    CLvImage small = Picture(5, 3, 24, 9);
    IconData ds;
    ds.image = &small;
    IconEntry wrong = Entry(ds);
    wrong.width = 32;
    wrong.height = 32;
    Bytes file = IconFile({e, wrong});
    ASSERT_TRUE(ReadIcon(file, 0, image)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetWidth(), 256);
    EXPECT_TRUE(SamePicture(image, big));
    ASSERT_TRUE(ReadIcon(file, 1, image)) << image.GetLastErrorText();
    EXPECT_TRUE(SamePicture(image, small));
}

TEST(IcoCodec, WritesOneIconWithItsMask) {
    CLvImage image = Picture(20, 10, 8, 10);
    Bytes file = EncodeToBytes(image, LVFMT_ICO);
    const size_t xorBytes = 20 * 10, maskBytes = 4 * 10;
    ASSERT_EQ(file.size(), 22 + 40 + 1024 + xorBytes + maskBytes);
    CLvByteReader r(file.data(), file.size());
    EXPECT_EQ(r.LE16(), 0);
    EXPECT_EQ(r.LE16(), 1);
    EXPECT_EQ(r.LE16(), 1);
    EXPECT_EQ(r.U8(), 20);
    EXPECT_EQ(r.U8(), 10);
    EXPECT_EQ(r.U8(), 0); // 256 colours
    EXPECT_EQ(r.U8(), 0);
    EXPECT_EQ(r.LE16(), 0);
    EXPECT_EQ(r.LE16(), 8);
    EXPECT_EQ(r.LE32(), 40 + 1024 + xorBytes + maskBytes);
    EXPECT_EQ(r.LE32(), 22u);
    EXPECT_EQ(r.LE32(), 40u);
    EXPECT_EQ(r.LE32(), 20u);
    EXPECT_EQ(r.LE32(), 20u); // twice the height
    EXPECT_EQ(r.LE16(), 1);
    EXPECT_EQ(r.LE16(), 8);
    EXPECT_EQ(r.LE32(), 0u);
    EXPECT_EQ(r.LE32(), xorBytes);
    // No transparency: the mask is empty.
    EXPECT_EQ(Bytes(file.end() - long(maskBytes), file.end()), Bytes(maskBytes, 0));

    for (int bpp : {1, 4, 8, 24}) {
        CLvImage picture = Picture(13, 7, bpp, unsigned(bpp));
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, EncodeToBytes(picture, LVFMT_ICO), LVFMT_ICO)) << bpp;
        EXPECT_TRUE(SamePicture(back, picture)) << bpp;
        EXPECT_FALSE(back.AlphaIsValid());
    }
}

TEST(IcoCodec, TheMaskComesFromAlphaPaletteAlphaAndTheTransparentColour) {
    // A 24-bit picture with alpha becomes a 32-bit icon; alpha 0 sets the mask bit.
    CLvImage rgba = Picture(10, 3, 24, 11);
    rgba.AlphaCreate();
    rgba.AlphaFill(255);
    rgba.AlphaSet(4, 2, 0);
    rgba.AlphaSet(5, 0, 100);
    Bytes file = EncodeToBytes(rgba, LVFMT_ICO);
    EXPECT_EQ(file[12], 32);
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, file, LVFMT_ICO));
    EXPECT_EQ(back.AlphaGet(4, 2), 0);
    EXPECT_EQ(back.AlphaGet(5, 0), 100);
    EXPECT_EQ(back.AlphaGet(0, 0), 255);
    size_t maskStart = file.size() - 3 * 4;
    EXPECT_EQ(file[maskStart + 2 * 4], 0x08); // row 2, pixel 4
    EXPECT_EQ(file[maskStart], 0);

    // An 8-bit picture with transparent index 3: every pixel of index 3's colour, whatever its index.
    CLvImage indexed(8, 1, 8);
    indexed.SetPaletteColor(3, 10, 20, 30);
    indexed.SetPaletteColor(7, 10, 20, 30);
    const BYTE indices[8] = {3, 1, 7, 3, 0, 2, 3, 4};
    for (int x = 0; x < 8; x++)
        indexed.SetPixelIndex(x, 0, indices[x]);
    indexed.SetTransIndex(3);
    file = EncodeToBytes(indexed, LVFMT_ICO);
    EXPECT_EQ(file[file.size() - 4], 0xB2); // pixels 0, 2, 3 and 6

    // Palette alpha: entries with alpha 0 are transparent once any entry carries alpha.
    CLvImage faded(8, 1, 4);
    for (int i = 0; i < 16; i++)
        faded.SetPaletteColor(BYTE(i), BYTE(i), BYTE(i), BYTE(i), i < 8 ? 255 : 0);
    for (int x = 0; x < 8; x++)
        faded.SetPixelIndex(x, 0, BYTE(x * 2));
    file = EncodeToBytes(faded, LVFMT_ICO);
    EXPECT_EQ(file[file.size() - 4], 0x0F);
    CLvImage fadedBack;
    ASSERT_TRUE(DecodeBytes(fadedBack, file, LVFMT_ICO));
    EXPECT_EQ(fadedBack.AlphaGet(3, 0), 255);
    EXPECT_EQ(fadedBack.AlphaGet(4, 0), 0);
}

TEST(IcoCodec, WritesOnlyIconsBelow256Pixels) {
    for (int size : {255, 256}) {
        CLvImage image(size, size, 1);
        image.Clear(0);
        Bytes file = EncodeToBytes(image, LVFMT_ICO);
        EXPECT_EQ(file.empty(), size == 256);
        if (size == 256) {
            EXPECT_STREQ(image.GetLastErrorText(), "Can't save this image as icon");
        }
    }
    CLvCodecICO codec;
    EXPECT_FALSE(codec.Encode(nullptr));
    EXPECT_FALSE(codec.Decode(nullptr));
}

// Icons of 256 pixels are usually stored as PNG streams, often as the first entry.
TEST(IcoCodec, PngEntriesAreReadWithTheirAlpha) {
    CLvImage large(64, 48, 24);
    FillPattern(large, 5);
    ASSERT_TRUE(large.AlphaCreate());
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++)
            large.AlphaSet(x, y, BYTE(x * 4 + y));
    CLvMemStream encoded;
    ASSERT_TRUE(large.Encode(&encoded, LVFMT_PNG)) << large.GetLastErrorText();
    IconEntry png;
    png.width = png.height = 0;
    png.data.assign(encoded.GetBuffer(), encoded.GetBuffer() + encoded.GetLength());
    CLvImage small = Picture(8, 4, 8, 12);
    IconData d;
    d.image = &small;
    const Bytes file = IconFile({png, Entry(d)});

    CLvImage image;
    ASSERT_TRUE(ReadIcon(file, 0, image)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetFrameCount(), 2);
    EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_ICO));
    std::string where;
    EXPECT_TRUE(SamePicture(image, large, &where)) << where;
    ASSERT_NE(image.pAlpha, nullptr);
    EXPECT_EQ(memcmp(image.pAlpha, large.pAlpha, 64 * 48), 0);
    CLvImage second;
    ASSERT_TRUE(ReadIcon(file, 1, second)) << second.GetLastErrorText();
    EXPECT_EQ(second.GetWidth(), 8);

    // A PNG stream that breaks off fails with the PNG reader's reason.
    IconEntry cut = png;
    cut.data.resize(cut.data.size() / 2);
    const std::string error = DecodeError(IconFile({cut}));
    EXPECT_NE(error, "(decoded)");
    EXPECT_FALSE(error.empty());
}

TEST(IcoCodec, RefusesWhatItCannotRead) {
    CLvImage picture = Picture(8, 4, 8, 12);
    IconData good;
    good.image = &picture;
    auto with = [&good](auto change) {
        IconData d = good;
        change(d);
        return IconFile({Entry(d)});
    };
    Bytes normal = IconFile({Entry(good)});
    IconEntry outside = Entry(good);
    outside.offsetDelta = 4;
    IconEntry tooLong = Entry(good);
    tooLong.bytesDelta = 1;
    const struct {
        const char* name;
        Bytes bytes;
        const char* error; // empty: fails without a text
    } cases[] = {
        {"empty", {}, ""},
        {"reserved 1", IconFile({Entry(good)}, 1), ""},
        {"type 2 (cursor)", IconFile({Entry(good)}, 0, 2), ""},
        {"no icons", IconFile({}), "Icon file has no icons"},
        {"directory cut", Bytes(normal.begin(), normal.begin() + 15), "Icon directory is truncated"},
        {"offset past the data", IconFile({outside}), "Icon image lies outside the file"},
        {"size past the end", IconFile({tooLong}), "Icon image lies outside the file"},
        {"image cut", Bytes(normal.begin(), normal.end() - 1), "Icon image lies outside the file"},
        {"16 bits", with([](IconData& d) { d.bits = 16; }), "Unsupported icon bit depth"},
        {"header of 12 bytes", with([](IconData& d) { d.headerSize = 12; }), "Unsupported icon image format"},
        {"bit fields", with([](IconData& d) { d.compression = 3; }), "Unsupported icon image format"},
        {"300 colours", with([](IconData& d) { d.colorsUsed = 300; }), "Unsupported icon image format"},
        {"table missing", with([](IconData& d) { d.tableEntries = 0; }), "Icon image is truncated"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeError(c.bytes), c.error) << c.name;
    // A size that still lies in the file, but the picture does not.
    IconEntry shortEntry = Entry(good);
    shortEntry.data.resize(shortEntry.data.size() - 5);
    EXPECT_EQ(DecodeError(IconFile({shortEntry})), "Icon image is truncated");
    // Heights of 0 or below in the image header.
    IconEntry flat = Entry(good);
    LvPutLE32(flat.data.data() + 8, 0);
    EXPECT_EQ(DecodeError(IconFile({flat})), "Invalid image size");
}

TEST(IcoCodec, HostileBytesFailCleanly) {
    CLvImage a = Picture(8, 4, 4, 1), b = Picture(5, 3, 24, 2);
    b.AlphaCreate();
    b.AlphaFill(99);
    IconData da, db;
    da.image = &a;
    da.mask = [](int x, int) { return x == 1; };
    db.image = &b;
    db.bits = 32;
    // Each order puts another kind of image at frame 0, the one these reads choose.
    unsigned seed = 40;
    for (const Bytes& file : {IconFile({Entry(da), Entry(db)}), IconFile({Entry(db), Entry(da)})}) {
        ExpectPrefixesFailCleanly(file, LVFMT_ICO, false);
        ExpectMutationsFailCleanly(file, LVFMT_ICO, seed++, 400, false);
    }
    Bytes written = EncodeToBytes(b, LVFMT_ICO);
    ExpectPrefixesFailCleanly(written, LVFMT_ICO, false);
    ExpectMutationsFailCleanly(written, LVFMT_ICO, 50, 400, false);
}

} // namespace
