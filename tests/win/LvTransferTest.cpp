#include "LvWinTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A global block holding the given bytes, as another program would put it on the clipboard.
HGLOBAL BlockOf(const Bytes& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    void* p = GlobalLock(block);
    if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

bool FromBlock(CLvImage& image, const Bytes& bytes) {
    ScopedGlobal block(BlockOf(bytes));
    return image.CreateFromHandle(block.Get());
}

Bytes BytesOf(HGLOBAL block) {
    ScopedGlobalLock lock(block);
    const BYTE* p = static_cast<const BYTE*>(lock.Get());
    return p ? Bytes(p, p + lock.Size()) : Bytes();
}

// A CF_DIB header.
ByteWriter& Header(ByteWriter& w, DWORD size, int width, int height, int bpp, DWORD compression, DWORD colors = 0,
                   LONG pelsPerMeter = 3780) {
    w.LE32(size).LE32(DWORD(width)).LE32(DWORD(height)).LE16(1).LE16(DWORD(bpp)).LE32(compression).LE32(0);
    w.LE32(DWORD(pelsPerMeter)).LE32(DWORD(pelsPerMeter)).LE32(colors).LE32(0);
    return w.Resize(w.size() + (size - 40));
}

TEST(Clipboard, BlocksRoundTripAtEveryDepth) {
    for (int bpp : {1, 4, 8, 24}) {
        CLvImage image(13, 7, bpp);
        FillPattern(image, unsigned(bpp) + 40);
        image.SetXDPI(300);
        image.SetYDPI(150);
        ScopedGlobal block(image.CopyToHandle());
        ASSERT_NE(block.Get(), nullptr);
        EXPECT_EQ(GlobalFlags(block.Get()) & GMEM_DISCARDABLE, 0u);
        Bytes bytes = BytesOf(block.Get());
        ASSERT_GE(bytes.size(), size_t(image.GetDibSize()));
        // The block is the DIB block itself, with the current header.
        EXPECT_EQ(memcmp(bytes.data() + 40, image.GetDib() + 40, image.GetDibSize() - 40), 0);
        EXPECT_EQ(memcmp(bytes.data(), &image.GetHeader(), 40), 0);

        CLvImage copy(4, 4, 24);
        ASSERT_TRUE(copy.CreateFromHandle(block.Get())) << bpp;
        std::string where;
        EXPECT_TRUE(SamePicture(copy, image, &where)) << bpp << " bits: " << where;
        EXPECT_EQ(copy.GetXDPI(), 300);
        EXPECT_EQ(copy.GetYDPI(), 150);
        EXPECT_EQ(copy.GetFormat(), DWORD(LVFMT_UNKNOWN));
        EXPECT_EQ(memcmp(copy.GetDib(), &copy.GetHeader(), 40), 0);
    }
    CLvImage empty;
    EXPECT_EQ(empty.CopyToHandle(), nullptr);
}

// 16- and 32-bit blocks: the pixels are given as 16- or 32-bit words and the colours expected from them.
struct BitfieldCase {
    const char* name;
    int bpp;
    DWORD compression;
    DWORD masks[3];
    DWORD pixels[4]; // the four pixels of a 2 x 2 picture, bottom row first
    RGBQUAD want[4];
};

const BitfieldCase kBitfieldCases[] = {
    {"rgb16_555",
     16,
     BI_RGB,
     {0, 0, 0},
     {0x7C00, 0x03E0, 0x001F, 0x4210},
     {{0, 0, 0xF8, 0}, {0, 0xF8, 0, 0}, {0xF8, 0, 0, 0}, {0x80, 0x80, 0x80, 0}}},
    {"bitfields16_565",
     16,
     BI_BITFIELDS,
     {0xF800, 0x07E0, 0x001F},
     {0xF800, 0x07E0, 0x001F, 0xFFFF},
     {{0, 0, 0xF8, 0}, {0, 0xFC, 0, 0}, {0xF8, 0, 0, 0}, {0xF8, 0xFC, 0xF8, 0}}},
    {"rgb32",
     32,
     BI_RGB,
     {0, 0, 0},
     {0x00112233, 0xFF445566, 0x00778899, 0x00AABBCC},
     {{0x33, 0x22, 0x11, 0}, {0x66, 0x55, 0x44, 0}, {0x99, 0x88, 0x77, 0}, {0xCC, 0xBB, 0xAA, 0}}},
    {"bitfields32_bgr",
     32,
     BI_BITFIELDS,
     {0x000000FF, 0x0000FF00, 0x00FF0000},
     {0x00112233, 0, 0x00FF0000, 0x000000FF},
     {{0x11, 0x22, 0x33, 0}, {0, 0, 0, 0}, {0xFF, 0, 0, 0}, {0, 0, 0xFF, 0}}},
    {"bitfields32_10bit",
     32,
     BI_BITFIELDS,
     {0x3FF00000, 0x000FFC00, 0x000003FF},
     {0x3FF00000, 0x000FFC00, 0x3FF, 0},
     {{0, 0, 0xFF, 0}, {0, 0xFF, 0, 0}, {0xFF, 0, 0, 0}, {0, 0, 0, 0}}},
};

TEST(Clipboard, SixteenAndThirtyTwoBitBlocksBecomeTwentyFourBits) {
    for (const BitfieldCase& c : kBitfieldCases) {
        for (bool v5 : {false, true}) {
            ByteWriter w;
            Header(w, v5 ? 124 : 40, 2, 2, c.bpp, c.compression);
            if (c.compression == BI_BITFIELDS) {
                // After a 40-byte header, or in the longer header's own mask fields.
                Bytes masks = ByteWriter().LE32(c.masks[0]).LE32(c.masks[1]).LE32(c.masks[2]).bytes();
                if (v5) {
                    Bytes b = w.bytes();
                    memcpy(b.data() + 40, masks.data(), 12);
                    w = ByteWriter().Append(b);
                } else {
                    w.Append(masks);
                }
            }
            for (int row = 0; row < 2; row++) {
                for (int i = 0; i < 2; i++)
                    c.bpp == 16 ? w.LE16(c.pixels[row * 2 + i]) : w.LE32(c.pixels[row * 2 + i]);
            }
            CLvImage image;
            ASSERT_TRUE(FromBlock(image, w.bytes())) << c.name;
            ASSERT_EQ(image.GetBpp(), 24);
            for (int i = 0; i < 4; i++)
                EXPECT_TRUE(SameColor(image.GetPixelColor(i % 2, i / 2), c.want[i]))
                    << c.name << (v5 ? " (V5)" : "") << " pixel " << i << ": "
                    << ColorText(image.GetPixelColor(i % 2, i / 2));
        }
    }
}

TEST(Clipboard, TopDownAndShortColourTables) {
    CLvImage original(5, 3, 8);
    FillPattern(original, 12);
    // An 8-bit block with only 4 colours in its table, stored top-down.
    ByteWriter w;
    Header(w, 40, 5, -3, 8, BI_RGB, 4, 0);
    for (int i = 0; i < 4; i++)
        w.LE32(0x00102030u * DWORD(i + 1));
    for (int row = 2; row >= 0; row--) {
        for (int x = 0; x < 5; x++)
            w.U8(DWORD(original.GetPixelIndex(x, row) % 4));
        w.Fill(3, 0);
    }
    CLvImage image;
    ASSERT_TRUE(FromBlock(image, w.bytes()));
    ASSERT_EQ(image.GetBpp(), 8);
    EXPECT_EQ(image.GetXDPI(), 96);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 5; x++) {
            int index = original.GetPixelIndex(x, y) % 4;
            EXPECT_EQ(image.GetPixelIndex(x, y), index);
            EXPECT_TRUE(
                SameColor(image.GetPixelColor(x, y), Quad(0x10 * (index + 1), 0x20 * (index + 1), 0x30 * (index + 1))));
        }
    EXPECT_TRUE(SameColor(image.GetPalette()[200], Quad(0, 0, 0)));
}

TEST(Clipboard, DamagedBlocksAreRefusedAndChangeNothing) {
    CLvImage source(6, 5, 24);
    FillPattern(source, 2);
    ScopedGlobal good(source.CopyToHandle());
    Bytes valid = BytesOf(good.Get());
    valid.resize(source.GetDibSize());

    CLvImage image(3, 3, 8);
    FillPattern(image, 4);
    CLvImage before(image);
    // Every cut of a valid block is too short for what its header says.
    for (size_t n = 0; n < valid.size(); n += (n < 60 ? 1 : 7)) {
        EXPECT_FALSE(FromBlock(image, Bytes(valid.begin(), valid.begin() + long(n)))) << n;
        ASSERT_TRUE(SamePicture(image, before)) << n;
    }
    struct Damage {
        const char* name;
        size_t offset;
        DWORD value;
    };
    const Damage damages[] = {
        {"core header", 0, 12},
        {"header past the end", 0, 100000},
        {"width 0", 4, 0},
        {"negative width", 4, 0xFFFFFFF0u},
        {"height 0", 8, 0},
        {"12 bits", 14, 12},
        {"RLE8", 16, BI_RLE8},
        {"JPEG", 16, BI_JPEG},
        {"huge width", 4, 0x7FFFFFFF},
        {"bitfields at 24 bits", 16, BI_BITFIELDS},
    };
    for (const Damage& d : damages) {
        Bytes bad = valid;
        if (d.offset == 14)
            memcpy(bad.data() + d.offset, &d.value, 2);
        else
            memcpy(bad.data() + d.offset, &d.value, 4);
        EXPECT_FALSE(FromBlock(image, bad)) << d.name;
        EXPECT_TRUE(SamePicture(image, before)) << d.name;
    }
    // More colours than an 8-bit table holds.
    ByteWriter w;
    Header(w, 40, 2, 2, 8, BI_RGB, 300);
    w.Resize(40 + 300 * 4 + 8);
    EXPECT_FALSE(FromBlock(image, w.bytes()));
    EXPECT_FALSE(image.CreateFromHandle(nullptr));
    EXPECT_TRUE(SamePicture(image, before));
}

// A window of this test's own to own the clipboard.
class ClipboardOwner {
public:
    ClipboardOwner() {
        m_window =
            CreateWindowExW(0, L"STATIC", L"lumivue test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~ClipboardOwner() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

private:
    HWND m_window;
};

TEST(Clipboard, ThroughTheRealClipboard) {
    ClipboardOwner owner;
    ASSERT_NE(owner.Get(), nullptr);
    for (int bpp : {8, 24}) {
        CLvImage image(21, 9, bpp);
        FillPattern(image, unsigned(bpp) * 7);
        ASSERT_TRUE(OpenClipboard(owner.Get()));
        EmptyClipboard();
        HGLOBAL block = image.CopyToHandle();
        ASSERT_NE(SetClipboardData(CF_DIB, block), nullptr);
        CloseClipboard();

        ASSERT_TRUE(OpenClipboard(owner.Get()));
        CLvImage pasted;
        EXPECT_TRUE(pasted.CreateFromHandle(GetClipboardData(CF_DIB)));
        std::string where;
        EXPECT_TRUE(SamePicture(pasted, image, &where)) << where;
        // The system makes a bitmap of it on request.
        CLvImage fromBitmap;
        EXPECT_TRUE(fromBitmap.CreateFromHBITMAP(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))));
        CloseClipboard();
        ASSERT_TRUE(fromBitmap.IsValid());
        EXPECT_EQ(fromBitmap.GetWidth(), 21);
        EXPECT_EQ(fromBitmap.GetHeight(), 9);
        for (int y = 0; y < 9; y++)
            for (int x = 0; x < 21; x++) {
                RGBQUAD a = fromBitmap.GetPixelColor(x, y), b = image.GetPixelColor(x, y);
                ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue)
                    << bpp << " bits, pixel " << x << "," << y;
            }
    }
    OpenClipboard(owner.Get());
    EmptyClipboard();
    CloseClipboard();
}

TEST(Bitmaps, DibSectionsRoundTripAtTheirDepth) {
    for (int bpp : {1, 4, 8, 24}) {
        CLvImage image(17, 6, bpp);
        FillPattern(image, unsigned(bpp) + 3);
        ScopedGdiObj<HBITMAP> section(image.MakeBitmap(nullptr));
        ASSERT_TRUE(section);
        DIBSECTION dib;
        ASSERT_EQ(GetObject(section.Get(), sizeof(dib), &dib), int(sizeof(dib)));
        EXPECT_EQ(dib.dsBmih.biBitCount, bpp);
        CLvImage copy;
        ASSERT_TRUE(copy.CreateFromHBITMAP(section.Get()));
        std::string where;
        EXPECT_TRUE(SamePicture(copy, image, &where)) << bpp << " bits: " << where;
        EXPECT_EQ(memcmp(copy.GetDib(), &copy.GetHeader(), 40), 0);
    }
}

TEST(Bitmaps, DeviceBitmapsKeepTheColours) {
    CLvImage image(9, 4, 24);
    FillPattern(image, 77);
    ScopedGetDC screen(nullptr);
    ScopedGdiObj<HBITMAP> bitmap(image.MakeBitmap(screen.Get()));
    ASSERT_TRUE(bitmap);
    CLvImage copy;
    ASSERT_TRUE(copy.CreateFromHBITMAP(bitmap.Get()));
    EXPECT_EQ(copy.GetBpp(), NormalisedDepth(GetDeviceCaps(screen.Get(), BITSPIXEL)));
    if (copy.GetBpp() == 24) {
        std::string where;
        EXPECT_TRUE(SamePicture(copy, image, &where)) << where;
    }
}

TEST(Bitmaps, NoBitmapGivesAnEmptyImage) {
    CLvImage image(3, 3, 24);
    EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
    EXPECT_FALSE(image.IsValid());
    // A handle that is no bitmap.
    CLvImage other(3, 3, 24);
    HBITMAP stale = CreateBitmap(2, 2, 1, 1, nullptr);
    DeleteObject(stale);
    EXPECT_FALSE(other.CreateFromHBITMAP(stale));
    EXPECT_FALSE(other.IsValid());
    EXPECT_STREQ(other.GetLastErrorText(), "GetDIBits failed");
    CLvImage empty;
    EXPECT_EQ(empty.MakeBitmap(nullptr), nullptr);
}

TEST(Resources, LoadFromResourceReadsEmbeddedFiles) {
    CLvImage file;
    ASSERT_TRUE(file.Load(DataPath("bmp/v3-8.bmp").c_str(), LVFMT_BMP)) << file.GetLastErrorText();
    HRSRC resource = FindResourceW(nullptr, L"LV_TEST_BMP", MAKEINTRESOURCEW(10)); // RT_RCDATA
    ASSERT_NE(resource, nullptr);
    for (DWORD format : {DWORD(LVFMT_BMP), DWORD(LVFMT_UNKNOWN)}) {
        CLvImage image;
        ASSERT_TRUE(image.LoadFromResource(resource, format)) << image.GetLastErrorText();
        std::string where;
        EXPECT_TRUE(SamePicture(image, file, &where)) << where;
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_BMP));
    }
    CLvImage wrong;
    EXPECT_FALSE(wrong.LoadFromResource(resource, LVFMT_WMF));
    EXPECT_STREQ(wrong.GetLastErrorText(), "corrupted WMF");
    CLvImage none;
    EXPECT_FALSE(none.LoadFromResource(nullptr, LVFMT_BMP));
    EXPECT_STREQ(none.GetLastErrorText(), "Unable to load resource!");
}

} // namespace
