#include "LvWinTestUtil.h"
#include "formats/LvCodecWMF.h"
#include "image/LvFileExt.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const COLORREF kRed = RGB(230, 20, 10);
const COLORREF kBlue = RGB(10, 30, 220);
const COLORREF kGreen = RGB(20, 200, 40);

void FillRect(HDC hdc, int left, int top, int right, int bottom, COLORREF color) {
    ScopedGdiObj<HBRUSH> brush(CreateSolidBrush(color));
    ScopedSelectObject select(hdc, brush.Get());
    Rectangle(hdc, left, top, right + 1, bottom + 1);
}

// Three shapes in the left two thirds of a width x height picture: red on the left, blue above green in
// the middle; the right third stays empty.
void DrawShapes(HDC hdc, int width, int height) {
    SelectObject(hdc, GetStockObject(NULL_PEN));
    FillRect(hdc, 0, 0, width / 3, height, kRed);
    FillRect(hdc, width / 3, 0, 2 * width / 3, height / 2, kBlue);
    FillRect(hdc, width / 3, height / 2, 2 * width / 3, height, kGreen);
}

// A Windows metafile recorded by GDI whose logical window is width x height.
Bytes RecordWmf(int width, int height) {
    HDC recorder = CreateMetaFileW(nullptr);
    SetWindowOrgEx(recorder, 0, 0, nullptr);
    SetWindowExtEx(recorder, width, height, nullptr);
    DrawShapes(recorder, width, height);
    HMETAFILE metafile = CloseMetaFile(recorder);
    UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
    Bytes bytes(size);
    GetMetaFileBitsEx(metafile, size, bytes.data());
    DeleteMetaFile(metafile);
    return bytes;
}

// The 22-byte placeable header before a metafile.
Bytes Placeable(const Bytes& wmf, int left, int top, int right, int bottom, int unitsPerInch, int checksumDelta = 0) {
    ByteWriter w;
    w.LE32(0x9AC6CDD7).LE16(0).LE16(DWORD(left)).LE16(DWORD(top)).LE16(DWORD(right)).LE16(DWORD(bottom));
    w.LE16(DWORD(unitsPerInch)).LE32(0);
    WORD sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= WORD(w.bytes()[i] | (w.bytes()[i + 1] << 8));
    w.LE16(DWORD(sum + checksumDelta));
    return w.Append(wmf).bytes();
}

// An enhanced metafile recorded by GDI on the screen's reference device, shapes in device pixels, with a
// frame of width x height pixels, so that the shapes fill its left two thirds wherever it is played.
Bytes RecordEmf(int width, int height) {
    ScopedGetDC screen(nullptr);
    RECT frame = {0, 0, width * GetDeviceCaps(screen.Get(), HORZSIZE) * 100 / GetDeviceCaps(screen.Get(), HORZRES),
                  height * GetDeviceCaps(screen.Get(), VERTSIZE) * 100 / GetDeviceCaps(screen.Get(), VERTRES)};
    HDC recorder = CreateEnhMetaFileW(screen.Get(), nullptr, &frame, nullptr);
    DrawShapes(recorder, width, height);
    HENHMETAFILE metafile = CloseEnhMetaFile(recorder);
    UINT size = GetEnhMetaFileBits(metafile, 0, nullptr);
    Bytes bytes(size);
    GetEnhMetaFileBits(metafile, size, bytes.data());
    DeleteEnhMetaFile(metafile);
    return bytes;
}

// Replaces the bounds rectangle of an EMF header.
Bytes WithBounds(Bytes emf, LONG left, LONG top, LONG right, LONG bottom) {
    LONG bounds[4] = {left, top, right, bottom};
    memcpy(emf.data() + 8, bounds, sizeof(bounds));
    return emf;
}

bool SameRgb(RGBQUAD c, COLORREF color) {
    return c.rgbRed == GetRValue(color) && c.rgbGreen == GetGValue(color) && c.rgbBlue == GetBValue(color);
}

int ScreenDepth() {
    ScopedGetDC screen(nullptr);
    return NormalisedDepth(GetDeviceCaps(screen.Get(), BITSPIXEL));
}

// The shapes of DrawShapes where a picture of width x height shows them (y from the bottom).
void ExpectShapes(const CLvImage& image) {
    int w = image.GetWidth(), h = image.GetHeight();
    EXPECT_TRUE(SameRgb(image.GetPixelColor(w / 6, h / 2), kRed)) << ColorText(image.GetPixelColor(w / 6, h / 2));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(w / 2, h * 3 / 4), kBlue))
        << ColorText(image.GetPixelColor(w / 2, h * 3 / 4));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(w / 2, h / 4), kGreen)) << ColorText(image.GetPixelColor(w / 2, h / 4));
    EXPECT_TRUE(SameRgb(image.GetPixelColor(w * 5 / 6, h / 2), GetSysColor(COLOR_WINDOW)))
        << ColorText(image.GetPixelColor(w * 5 / 6, h / 2));
}

TEST(Metafile, PlaceableWmfRendersAtItsInchSize) {
    ScopedGetDC screen(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen.Get(), LOGPIXELSX), 96);
    ASSERT_EQ(GetDeviceCaps(screen.Get(), LOGPIXELSY), 96);
    // 1440 x 720 units at 1440 units per inch: 96 x 48 pixels on a 96-dpi screen.
    CLvImage image;
    ASSERT_TRUE(DecodeBytes(image, Placeable(RecordWmf(1440, 720), 0, 0, 1440, 720, 1440), LVFMT_WMF))
        << image.GetLastErrorText();
    EXPECT_EQ(image.GetWidth(), 96);
    EXPECT_EQ(image.GetHeight(), 48);
    EXPECT_EQ(image.GetBpp(), ScreenDepth());
    EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_WMF));
    ExpectShapes(image);
    EXPECT_EQ(memcmp(image.GetDib(), &image.GetHeader(), 40), 0);
}

struct PlaceableCase {
    const char* name;
    int left, top, right, bottom, unitsPerInch, checksumDelta;
    int width, height; // the size rendered, 0 for a failure
    const char* error;
};

const PlaceableCase kPlaceableCases[] = {
    {"inch_units", 0, 0, 1440, 720, 1440, 0, 96, 48, nullptr},
    {"offset_box", 100, 200, 1540, 920, 1440, 0, 96, 48, nullptr},
    {"units_2540", 0, 0, 2540, 1270, 2540, 0, 96, 48, nullptr},
    {"units_2541", 0, 0, 2541, 1270, 2541, 0, 0, 0, "corrupted WMF"},
    {"units_0", 0, 0, 1440, 720, 0, 0, 0, 0, "corrupted WMF"},
    {"wrong_checksum", 0, 0, 1440, 720, 1440, 1, 0, 0, "corrupted WMF"},
    {"limit_width", 0, 0, 32000, 8000, 600, 0, 4000, 1000, nullptr},
    {"limit_height", 0, 0, 4000, 30000, 576, 0, 532, 4000, nullptr},
    {"empty_width", 500, 0, 500, 720, 1440, 0, 0, 0, "empty WMF"},
    {"reversed_box", 1440, 0, 0, 720, 1440, 0, 0, 0, "empty WMF"},
};

TEST(Metafile, PlaceableHeaderRules) {
    Bytes wmf = RecordWmf(1440, 720);
    for (const PlaceableCase& c : kPlaceableCases) {
        CLvImage image(2, 2, 24);
        FillPattern(image, 1);
        CLvImage before(image);
        bool ok = DecodeBytes(image, Placeable(wmf, c.left, c.top, c.right, c.bottom, c.unitsPerInch, c.checksumDelta),
                              LVFMT_WMF);
        if (c.error) {
            EXPECT_FALSE(ok) << c.name;
            EXPECT_STREQ(image.GetLastErrorText(), c.error) << c.name;
            EXPECT_TRUE(SamePicture(image, before)) << c.name;
        } else {
            ASSERT_TRUE(ok) << c.name << ": " << image.GetLastErrorText();
            EXPECT_EQ(image.GetWidth(), c.width) << c.name;
            EXPECT_EQ(image.GetHeight(), c.height) << c.name;
            ExpectShapes(image);
        }
    }
}

TEST(Metafile, WantedSizeReplacesThePicturesOwn) {
    Bytes file = Placeable(RecordWmf(1440, 720), 0, 0, 1440, 720, 1440);
    struct {
        int width, height, wantWidth, wantHeight;
    } sizes[] = {{150, 0, 150, 48}, {0, 75, 96, 75}, {120, 90, 120, 90}, {9000, 3000, 4000, 1333}};
    for (const auto& s : sizes) {
        CLvCodecWMF codec;
        CLvMemStream stream(const_cast<uint8_t*>(file.data()), file.size());
        ASSERT_TRUE(codec.Decode(&stream, s.width, s.height)) << codec.GetLastErrorText();
        EXPECT_EQ(codec.GetWidth(), s.wantWidth);
        EXPECT_EQ(codec.GetHeight(), s.wantHeight);
        ExpectShapes(codec);
    }
}

TEST(Metafile, EnhancedMetafilesRenderAtTheirBounds) {
    Bytes emf = RecordEmf(90, 60);
    CLvImage image;
    ASSERT_TRUE(DecodeBytes(image, WithBounds(emf, 0, 0, 120, 60), LVFMT_WMF)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetWidth(), 120);
    EXPECT_EQ(image.GetHeight(), 60);
    EXPECT_EQ(image.GetBpp(), ScreenDepth());
    // Bounds of 5000 x 2000 pixels give 4000 x 1600.
    CLvImage large;
    ASSERT_TRUE(DecodeBytes(large, WithBounds(emf, 0, 0, 5000, 2000), LVFMT_WMF)) << large.GetLastErrorText();
    EXPECT_EQ(large.GetWidth(), 4000);
    EXPECT_EQ(large.GetHeight(), 1600);
    CLvImage empty;
    EXPECT_FALSE(DecodeBytes(empty, WithBounds(emf, 10, 10, 10, 30), LVFMT_WMF));
    EXPECT_STREQ(empty.GetLastErrorText(), "empty WMF");
}

TEST(Metafile, RecordedEmfShowsItsShapes) {
    CLvImage image;
    ASSERT_TRUE(DecodeBytes(image, RecordEmf(90, 60), LVFMT_WMF)) << image.GetLastErrorText();
    // The bounds are the box of what was drawn: the red, blue and green two thirds, 60 x 60 pixels; the
    // frame, 90 pixels wide, is played into it.
    EXPECT_GE(image.GetWidth(), 59);
    EXPECT_LE(image.GetWidth(), 61);
    EXPECT_GE(image.GetHeight(), 59);
    EXPECT_LE(image.GetHeight(), 61);
    ExpectShapes(image);
}

TEST(Metafile, DamagedFilesFailCleanly) {
    const Bytes files[] = {
        Placeable(RecordWmf(1440, 720), 0, 0, 1440, 720, 1440), RecordEmf(90, 60),
        ReadFileBytes(DataPath("wmf/shapes-pstoedit.emf")),     ReadFileBytes(DataPath("wmf/plot-gnuplot.emf")),
        ReadFileBytes(DataPath("wmf/uemf-dibs.emf")),           ReadFileBytes(DataPath("wmf/uemf-placeable.wmf"))};
    unsigned state = 99;
    for (const Bytes& file : files) {
        // Every cut of the file is refused.
        for (size_t n = 0; n < file.size(); n += (n < 120 ? 1 : 13)) {
            CLvImage image;
            ASSERT_FALSE(DecodeBytes(image, Bytes(file.begin(), file.begin() + long(n)), LVFMT_WMF)) << n;
            ASSERT_STREQ(image.GetLastErrorText(), "corrupted WMF") << n;
        }
        // Changed bytes anywhere either still give a picture or fail with a text; the metafile player
        // never sees a record that points outside the file, at objects that do not exist, or at sizes that
        // only overflow its drawing code.
        for (int round = 0; round < 60; round++) {
            Bytes bad = file;
            int changes = 1 + int((state >> 5) % 4);
            for (int i = 0; i < changes; i++) {
                state = state * 1103515245u + 12345u;
                size_t at = (state >> 8) % bad.size();
                bad[at] = (state & 0x100) ? BYTE(state >> 20) : BYTE(bad[at] ^ (1u << ((state >> 4) & 7)));
            }
            CLvImage image;
            if (!DecodeBytes(image, bad, LVFMT_WMF)) {
                EXPECT_STRNE(image.GetLastErrorText(), "") << "round " << round;
            } else {
                EXPECT_LE(image.GetWidth(), 4000);
                EXPECT_LE(image.GetHeight(), 4000);
            }
        }
    }
}

TEST(Metafile, DetectionUnicodeNamesSavingAndCancel) {
    TempDir dir;
    const std::string wmfName = dir.Path("\xc3\x87izim \xe5\x9b\xb3.wmf");
    const std::string emfName = dir.Path("\xc3\x87izim \xe5\x9b\xb3.emf");
    WriteFileBytes(wmfName, Placeable(RecordWmf(1440, 720), 0, 0, 1440, 720, 1440));
    WriteFileBytes(emfName, WithBounds(RecordEmf(90, 60), 0, 0, 120, 60));
    for (const std::string& name : {wmfName, emfName}) {
        CLvImage image;
        ASSERT_TRUE(image.Load(name.c_str(), GetTypeFromExt(GetFileExt(name)))) << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_WMF));
        ExpectShapes(image);
        // Saving as a metafile is not offered; the picture saves as BMP.
        EXPECT_FALSE(image.Encode(dir.Path("out.wmf").c_str(), LVFMT_WMF));
        EXPECT_STREQ(image.GetLastErrorText(), "Save WMF not supported");
        EXPECT_FALSE(FileExists(dir.Path("out.wmf")));
        EXPECT_TRUE(image.Encode(dir.Path("\xe5\x87\xba\xe5\x8a\x9b.bmp").c_str(), LVFMT_BMP));
        CLvImage back;
        ASSERT_TRUE(back.Load(dir.Path("\xe5\x87\xba\xe5\x8a\x9b.bmp").c_str(), LVFMT_BMP));
        EXPECT_TRUE(SamePicture(back, image));
    }
    CLvCodecWMF codec;
    codec.SetEscape(1);
    Bytes file = ReadFileBytes(wmfName);
    CLvMemStream stream(file.data(), file.size());
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

} // namespace

namespace {

// Metafiles written by other programs (tests/data/wmf/README.md): the size their header gives and a
// colour at a few places, as fractions of the width and height from the top-left.
struct RealFile {
    const char* name;
    int width, height;
    struct {
        double x, y;
        COLORREF color;
    } samples[4];
};

const RealFile kRealFiles[] = {
    {"wmf/gdi-shapes.wmf", 96, 48, {{0.15, 0.5, kRed}, {0.5, 0.25, kBlue}, {0.5, 0.75, kGreen}, {0.85, 0.5, 0}}},
    {"wmf/gdi-shapes.emf", 60, 60, {{0.15, 0.5, kRed}, {0.5, 0.25, kBlue}, {0.5, 0.75, kGreen}, {0.85, 0.5, 0}}},
    {"wmf/shapes-pstoedit.emf",
     140,
     70,
     {{0.15, 0.5, RGB(255, 0, 0)}, {0.6, 0.25, RGB(0, 0, 255)}, {0.5, 0.75, RGB(0, 204, 0)}, {0.9, 0.9, 0}}},
    {"wmf/plot-gnuplot.emf",
     319,
     200,
     {{0.3, 0.6, RGB(32, 64, 224)}, {0.45, 0.3, RGB(32, 64, 224)}, {0.75, 0.6, 0}, {0.2, 0.95, 0}}},
    // Placeable files whose metafile size counts the placeable header too.
    {"wmf/uemf-placeable.wmf",
     96,
     48,
     {{0.1, 0.5, RGB(255, 0, 0)}, {0.4, 0.9, RGB(255, 0, 0)}, {0.6, 0.5, 0}, {0.9, 0.1, 0}}},
    {"wmf/pillow-drawing.wmf",
     109,
     109,
     {{0.5, 0.5, RGB(255, 0, 0)}, {0.75, 0.75, RGB(255, 0, 0)}, {0.1, 0.5, 0}, {0.5, 0.1, 0}}},
    // The description right after the base header, counted in the header's size.
    {"wmf/fig2dev-shapes.emf",
     1340,
     740,
     {{0.25, 0.5, RGB(255, 0, 0)},
      {0.1, 0.2, RGB(255, 0, 0)},
      {0.75, 0.5, RGB(0, 0, 255)},
      {0.9, 0.8, RGB(0, 0, 255)}}},
    // A DIB whose colour table holds only its four colours, and a JPEG in a StretchDIBits record, which a
    // screen cannot draw and which leaves the picture as it was.
    {"wmf/uemf-dibs.emf",
     59,
     39,
     {{0.25, 0.5, RGB(0, 0, 255)},
      {0.6, 0.25, RGB(255, 0, 0)},
      {0.9, 0.25, RGB(0, 255, 0)},
      {0.6, 0.75, RGB(255, 255, 0)}}},
};

TEST(Metafile, FilesFromOtherPrograms) {
    for (const RealFile& f : kRealFiles) {
        CLvImage image;
        ASSERT_TRUE(image.Load(DataPath(f.name).c_str(), GetTypeFromExt(GetFileExt(f.name))))
            << f.name << ": " << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_WMF));
        EXPECT_NEAR(image.GetWidth(), f.width, 1) << f.name;
        EXPECT_NEAR(image.GetHeight(), f.height, 1) << f.name;
        for (const auto& s : f.samples) {
            int x = int(s.x * image.GetWidth()), y = image.GetHeight() - 1 - int(s.y * image.GetHeight());
            COLORREF want = s.color ? s.color : GetSysColor(COLOR_WINDOW);
            EXPECT_TRUE(SameRgb(image.GetPixelColor(x, y), want))
                << f.name << " at " << s.x << "," << s.y << ": " << ColorText(image.GetPixelColor(x, y));
        }
    }
}

} // namespace
