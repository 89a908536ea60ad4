#include "LvPictureFiles.h"
#include "formats/LvCodecTIF.h"

#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>

namespace {

// A reference picture: a PAM file, or an RGBA PNG (for the larger ones).
Picture Reference(const std::string& name) {
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) {
        CLvImage png;
        EXPECT_TRUE(png.Load(DataPath(name).c_str(), LVFMT_PNG)) << name;
        return PictureOf(png);
    }
    return ReadNetpbm(DataPath(name));
}

TEST(Tiff, FilesReadLikeAnotherReader) {
    const struct {
        const char* file;
        const char* reference;
        int bpp;
        bool alpha;
        int tolerance;
    } files[] = {
        {"rgb-strips.tif", "rgb.pam", 24, false, 0},
        {"rgb-lzw.tif", "rgb.pam", 24, false, 0},
        {"rgb-tiles.tif", "rgb.pam", 24, false, 0},
        // Subsampled colour: ImageMagick smooths the chroma differently.
        {"rgb-jpeg.tif", "rgb.pam", 24, false, 48},
        {"grey-packbits.tif", "grey.pam", 8, false, 0},
        {"grey-tiles.tif", "grey.pam", 8, false, 0},
        {"grey16.tif", "grey16.pam", 8, false, 1},
        {"bilevel-g4.tif", "bilevel.pam", 1, false, 0},
        {"bilevel-g3.tif", "bilevel.pam", 1, false, 0},
        {"rgba.tif", "rgba.pam", 24, true, 0},
        {"palette-1c-1b.tiff", "palette-1c-1b-ref.png", 1, false, 0},
        {"palette-1c-4b.tiff", "palette-1c-4b-ref.png", 4, false, 0},
        {"palette-1c-8b.tiff", "palette-1c-8b-ref.png", 8, false, 0},
        {"miniswhite-1c-1b.tiff", "miniswhite-1c-1b-ref.png", 1, false, 0},
        {"logluv-3c-16b.tiff", "logluv-3c-16b-ref.png", 24, false, 2},
        // Orientation tags: turned as ImageMagick turns them for display.
        {"orient-3.tif", "orient-3.pam", 4, false, 0},
        {"orient-6.tif", "orient-6.pam", 4, false, 0},
        {"orient-8.tif", "orient-8.pam", 4, false, 0},
        // Wide samples, widened by ImageMagick from the 8-bit pictures: narrowed back exactly.
        {"rgb-10bit.tif", "rgb.pam", 24, false, 0},
        {"rgb-14bit.tif", "rgb.pam", 24, false, 0},
        {"rgb-32bit.tif", "rgb.pam", 24, false, 0},
        {"rgb-float32.tif", "rgb.pam", 24, false, 0},
        {"grey-12bit.tif", "grey.pam", 8, false, 0},
        {"grey-float64.tif", "grey.pam", 8, false, 0},
        // An old-style JPEG page of 30 rows (not a whole number of 16-row blocks), against djpeg's decoding.
        {"ojpeg.tif", "ojpeg.pam", 24, false, 0},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        CLvImage image;
        ASSERT_TRUE(image.Load(DataPath(std::string("tiff/") + f.file).c_str(), LVFMT_TIF)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_TIF));
        EXPECT_EQ(image.GetBpp(), f.bpp);
        EXPECT_EQ(image.AlphaIsValid(), f.alpha);
        EXPECT_EQ(image.GetFrameCount(), 1);
        EXPECT_EQ(ComparePictures(PictureOf(image), Reference(std::string("tiff/") + f.reference), f.tolerance, true),
                  "");
    }
}

TEST(Tiff, GreyWithAssociatedAlphaInSeparatePlanes) {
    CLvImage image;
    ASSERT_TRUE(image.Load(DataPath("tiff/minisblack-2c-8b-alpha.tiff").c_str(), LVFMT_TIF))
        << image.GetLastErrorText();
    EXPECT_EQ(image.GetBpp(), 24);
    ASSERT_TRUE(image.AlphaIsValid());
    EXPECT_EQ(image.GetXDPI(), 300);
    // The alpha samples, from fully transparent to opaque, go to the alpha plane. (ImageMagick reads this
    // planar file as opaque, so it serves as no reference here.)
    int lowest = 255, highest = 0;
    for (int y = 0; y < image.GetHeight(); y++)
        for (int x = 0; x < image.GetWidth(); x++) {
            lowest = std::min(lowest, int(image.AlphaGet(x, y)));
            highest = std::max(highest, int(image.AlphaGet(x, y)));
        }
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 255);
}

TEST(Tiff, LabIsConvertedToColour) {
    CLvImage image;
    ASSERT_TRUE(image.Load(DataPath("tiff/lab.tif").c_str(), LVFMT_TIF)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetBpp(), 24);
    // The file was made from rgb.pam; 8-bit L*a*b* loses a little on the way there and back.
    EXPECT_EQ(ComparePictures(PictureOf(image), ReadNetpbm(DataPath("tiff/rgb.pam")), 8, false), "");
}

TEST(Tiff, LargerFilesAgreeWithTheirFigures) {
    std::ifstream in(DataPath("tiff/figures.txt"));
    std::string name, kind;
    double a = 0, b = 0, c = 0;
    ASSERT_TRUE(in >> name >> kind >> a);
    CLvImage fax;
    ASSERT_TRUE(fax.Load(DataPath("tiff/" + name).c_str(), LVFMT_TIF)) << fax.GetLastErrorText();
    EXPECT_EQ(fax.GetBpp(), 1);
    long white = 0;
    for (int y = 0; y < fax.GetHeight(); y++)
        for (int x = 0; x < fax.GetWidth(); x++)
            white += fax.GetPixelColor(x, y).rgbRed == 255;
    EXPECT_NEAR(white, a, 2); // ImageMagick's figure passes through a float

    ASSERT_TRUE(in >> name >> kind >> a >> b >> c);
    CLvImage tiled;
    ASSERT_TRUE(tiled.Load(DataPath("tiff/" + name).c_str(), LVFMT_TIF)) << tiled.GetLastErrorText();
    double sum[3] = {0, 0, 0};
    for (int y = 0; y < tiled.GetHeight(); y++)
        for (int x = 0; x < tiled.GetWidth(); x++) {
            RGBQUAD p = tiled.GetPixelColor(x, y);
            sum[0] += p.rgbRed, sum[1] += p.rgbGreen, sum[2] += p.rgbBlue;
        }
    double n = double(tiled.GetWidth()) * tiled.GetHeight();
    EXPECT_NEAR(sum[0] / n, a, 1.0);
    EXPECT_NEAR(sum[1] / n, b, 1.0);
    EXPECT_NEAR(sum[2] / n, c, 1.0);
}

TEST(Tiff, PagesAreCountedAndChosen) {
    const struct {
        int frame;
        int width;
    } pages[] = {{0, 40}, {1, 20}, {2, 10}, {3, 0}, {-1, 0}};
    for (const auto& p : pages) {
        SCOPED_TRACE(p.frame);
        CLvImage image;
        image.SetFrame(p.frame);
        bool ok = DecodeBytes(image, ReadFileBytes(DataPath("tiff/three-pages.tif")), LVFMT_TIF);
        EXPECT_EQ(image.GetFrameCount(), 3);
        if (p.width) {
            ASSERT_TRUE(ok) << image.GetLastErrorText();
            EXPECT_EQ(image.GetWidth(), p.width);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_STREQ(image.GetLastErrorText(), "Error: page not present in TIFF file");
        }
    }
}

// A TIFF file written with libtiff directly: rows of the given bytes.
Bytes TiffFile(int width, int height, int bps, int photometric, const Bytes& rows, int orientation = 1) {
    TempDir dir;
    std::string path = dir.Path("made.tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bps));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(photometric));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
    size_t line = (size_t(width) * size_t(bps) + 7) / 8;
    for (int r = 0; r < height; r++)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(&rows[size_t(r) * line]), uint32_t(r), 0);
    TIFFClose(tif);
    return ReadFileBytes(path);
}

TEST(Tiff, GreyPalettes) {
    CLvImage fourBit;
    ASSERT_TRUE(DecodeBytes(fourBit, TiffFile(4, 1, 4, PHOTOMETRIC_MINISBLACK, {0x01, 0xEF}), LVFMT_TIF));
    EXPECT_EQ(fourBit.GetBpp(), 4);
    for (int i = 0; i < 16; i++)
        EXPECT_TRUE(SameColor(fourBit.GetPaletteColor(BYTE(i)), Quad(17 * i, 17 * i, 17 * i))) << i;
    EXPECT_EQ(fourBit.GetPixelIndex(3, 0), 15);

    CLvImage whiteIsZero;
    ASSERT_TRUE(DecodeBytes(whiteIsZero, TiffFile(8, 1, 1, PHOTOMETRIC_MINISWHITE, {0x0F}), LVFMT_TIF));
    EXPECT_EQ(whiteIsZero.GetBpp(), 1);
    EXPECT_TRUE(SameColor(whiteIsZero.GetPaletteColor(0), Quad(255, 255, 255)));
    EXPECT_TRUE(SameColor(whiteIsZero.GetPaletteColor(1), Quad(0, 0, 0)));
    EXPECT_EQ(whiteIsZero.GetPixelColor(0, 0).rgbRed, 255);
    EXPECT_EQ(whiteIsZero.GetPixelColor(7, 0).rgbRed, 0);

    CLvImage eight;
    ASSERT_TRUE(DecodeBytes(eight, TiffFile(2, 1, 8, PHOTOMETRIC_MINISWHITE, {0, 200}), LVFMT_TIF));
    EXPECT_EQ(eight.GetPixelColor(1, 0).rgbRed, 55);
}

TEST(Tiff, OrientationTurnsAGreyPicture) {
    // 3 x 2, rows from the top: 1 2 3 / 4 5 6.
    Bytes rows = {1, 2, 3, 4, 5, 6};
    const struct {
        int orientation;
        int width;
        std::vector<int> expected; // rows from the top, as displayed
    } cases[] = {
        {1, 3, {1, 2, 3, 4, 5, 6}}, {2, 3, {3, 2, 1, 6, 5, 4}}, {3, 3, {6, 5, 4, 3, 2, 1}}, {4, 3, {4, 5, 6, 1, 2, 3}},
        {5, 2, {1, 4, 2, 5, 3, 6}}, {6, 2, {4, 1, 5, 2, 6, 3}}, {7, 2, {6, 3, 5, 2, 4, 1}}, {8, 2, {3, 6, 2, 5, 1, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        CLvImage image;
        ASSERT_TRUE(DecodeBytes(image, TiffFile(3, 2, 8, PHOTOMETRIC_MINISBLACK, rows, c.orientation), LVFMT_TIF));
        ASSERT_EQ(image.GetWidth(), c.width);
        ASSERT_EQ(image.GetHeight(), 6 / c.width);
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(image.GetPixelIndex(i % c.width, image.GetHeight() - 1 - i / c.width), c.expected[size_t(i)])
                << i;
    }
}

// ---- writing ----

struct Tags {
    int pages = 0;
    uint16_t compression = 0, photometric = 0, predictor = 1, bps = 0, spp = 0, subfile = 0;
    std::string pageName;
    uint16_t pageNumber[2] = {0, 0};
    float xres = 0;
};

// What libtiff reads from page `page` of a file.
Tags ReadTags(const Bytes& file, int page = 0) {
    TempDir dir;
    std::string path = dir.Path("written.tif");
    WriteFileBytes(path, file);
    Tags t;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return t;
    t.pages = int(TIFFNumberOfDirectories(tif));
    TIFFSetDirectory(tif, tdir_t(page));
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &t.predictor);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.spp);
    uint32_t subfile = 0;
    TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile);
    t.subfile = uint16_t(subfile);
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &t.xres);
    char* name = nullptr;
    if (TIFFGetField(tif, TIFFTAG_PAGENAME, &name)) t.pageName = name;
    TIFFGetField(tif, TIFFTAG_PAGENUMBER, &t.pageNumber[0], &t.pageNumber[1]);
    TIFFClose(tif);
    return t;
}

TEST(Tiff, CompressionByDepthOrOption) {
    const struct {
        int bpp;
        DWORD option;
        uint16_t compression, photometric, predictor;
    } cases[] = {
        {1, 0, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1},
        {4, 0, COMPRESSION_NONE, PHOTOMETRIC_PALETTE, 1},
        {8, 0, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE, 1},
        {24, 0, COMPRESSION_JPEG, PHOTOMETRIC_RGB, 1},
        {24, 5, COMPRESSION_LZW, PHOTOMETRIC_RGB, 2},
        {8, 5, COMPRESSION_LZW, PHOTOMETRIC_PALETTE, 2},
        {1, 5, COMPRESSION_LZW, PHOTOMETRIC_MINISWHITE, 1},
        {4, 32773, COMPRESSION_PACKBITS, PHOTOMETRIC_PALETTE, 1},
        {24, 1, COMPRESSION_NONE, PHOTOMETRIC_RGB, 1},
        {1, 2, COMPRESSION_CCITTRLE, PHOTOMETRIC_MINISWHITE, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bits, option " + std::to_string(c.option));
        CLvImage image(45, 23, c.bpp);
        FillPattern(image, 7);
        if (c.bpp == 1) {
            image.SetPaletteColor(0, 255, 255, 255);
            image.SetPaletteColor(1, 0, 0, 0);
        }
        image.SetCodecOption(c.option);
        image.SetXDPI(200);
        CLvImage before(image);
        Bytes bytes = EncodeToBytes(image, LVFMT_TIF);
        ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
        Tags t = ReadTags(bytes);
        EXPECT_EQ(t.pages, 1);
        EXPECT_EQ(t.subfile, 0);
        EXPECT_EQ(t.compression, c.compression);
        EXPECT_EQ(t.photometric, c.photometric);
        EXPECT_EQ(t.predictor, c.predictor);
        EXPECT_EQ(t.xres, 200.0f);
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_TIF)) << back.GetLastErrorText();
        EXPECT_EQ(back.GetBpp(), c.bpp);
        EXPECT_EQ(back.GetXDPI(), 200);
        int tolerance = c.compression == COMPRESSION_JPEG ? 80 : 0;
        EXPECT_EQ(ComparePictures(PictureOf(back), PictureOf(before), tolerance, false), "");
    }
}

TEST(Tiff, GreyAndAlphaRoundTrip) {
    for (int bpp : {8, 24}) {
        SCOPED_TRACE(bpp);
        CLvImage image(19, 7, bpp);
        FillPattern(image, 3);
        if (bpp == 8) image.SetGrayPalette();
        image.AlphaCreate();
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 19; x++)
                image.AlphaSet(x, y, BYTE(x * 13 + y * 5));
        image.SetCodecOption(COMPRESSION_LZW);
        Bytes bytes = EncodeToBytes(image, LVFMT_TIF);
        Tags t = ReadTags(bytes);
        EXPECT_EQ(t.spp, bpp == 8 ? 2 : 4);
        EXPECT_EQ(t.photometric, bpp == 8 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_TIF)) << back.GetLastErrorText();
        ASSERT_TRUE(back.AlphaIsValid());
        EXPECT_EQ(ComparePictures(PictureOf(back), PictureOf(image), 0, true), "");
    }
}

TEST(Tiff, BilevelIsWrittenMinIsWhite) {
    CLvImage image(20, 3, 1);
    image.SetPaletteColor(0, 0, 0, 0);
    image.SetPaletteColor(1, 255, 255, 255);
    for (int x = 0; x < 20; x++)
        image.SetPixelIndex(x, 1, BYTE(x % 3 == 0));
    CLvImage before(image);
    Bytes bytes = EncodeToBytes(image, LVFMT_TIF);
    ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
    // The saved image itself now has white first and every pixel inverted: it looks the same.
    EXPECT_TRUE(SameColor(image.GetPaletteColor(0), Quad(255, 255, 255)));
    EXPECT_EQ(image.GetPixelIndex(0, 1), 0);
    EXPECT_TRUE(SamePicture(image, before));
    Tags t = ReadTags(bytes);
    EXPECT_EQ(t.photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(t.compression, COMPRESSION_CCITTFAX4);
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_TIF));
    EXPECT_TRUE(SamePicture(back, before));
}

TEST(Tiff, AppendedPagesMakeOneFile) {
    CLvMemStream stream;
    CLvCodecTIF writer;
    const bool append[] = {true, true, false};
    for (int i = 0; i < 3; i++) {
        CLvImage page(10 + i, 5, i == 1 ? 8 : 24);
        FillPattern(page, unsigned(i));
        page.SetCodecOption(COMPRESSION_LZW);
        writer.ShareBuffersOf(page);
        ASSERT_TRUE(writer.Encode(&stream, append[i])) << writer.GetLastErrorText();
        writer.Destroy();
    }
    Bytes file(stream.GetBuffer(), stream.GetBuffer() + stream.GetLength());
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        Tags t = ReadTags(file, i);
        EXPECT_EQ(t.pages, 3);
        EXPECT_EQ(t.subfile, FILETYPE_PAGE);
        EXPECT_EQ(t.pageName, "Page " + std::to_string(i + 1));
        EXPECT_EQ(t.pageNumber[0], i + 1);
        EXPECT_EQ(t.pageNumber[1], i + 1);
        CLvImage back;
        back.SetFrame(i);
        ASSERT_TRUE(DecodeBytes(back, file, LVFMT_TIF)) << back.GetLastErrorText();
        EXPECT_EQ(back.GetWidth(), 10 + i);
        EXPECT_EQ(back.GetFrameCount(), 3);
    }
}

// Pages appended to a file opened for writing, as a program saves them, with a palette page that has alpha.
TEST(Tiff, AppendedPagesInAFileKeepTheirAlpha) {
    TempDir dir;
    const std::string path = dir.Path("pages.tif");
    std::vector<CLvImage> pages;
    {
        CLvFileStream stream(path.c_str(), "wb");
        ASSERT_TRUE(stream.IsOpen());
        CLvCodecTIF writer;
        for (int i = 0; i < 3; i++) {
            pages.emplace_back(12 + i, 7, i == 1 ? 8 : 24);
            CLvImage& page = pages.back();
            FillPattern(page, unsigned(i + 3));
            if (i == 1) {
                page.SetStdPalette(); // colours, so the page is stored as a palette with an alpha sample
                ASSERT_TRUE(page.AlphaCreate());
                for (int y = 0; y < 7; y++)
                    for (int x = 0; x < 13; x++)
                        page.AlphaSet(x, y, BYTE(x * 19 + y));
            }
            page.SetCodecOption(COMPRESSION_LZW);
            writer.ShareBuffersOf(page);
            ASSERT_TRUE(writer.Encode(&stream, i < 2)) << i << ": " << writer.GetLastErrorText();
            writer.Destroy();
        }
    }
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        CLvImage back;
        back.SetFrame(i);
        ASSERT_TRUE(back.Load(path.c_str(), LVFMT_TIF)) << back.GetLastErrorText();
        EXPECT_EQ(back.GetFrameCount(), 3);
        EXPECT_EQ(back.GetBpp(), pages[size_t(i)].GetBpp());
        EXPECT_TRUE(SamePicture(back, pages[size_t(i)]));
        ASSERT_EQ(back.pAlpha != nullptr, i == 1);
        if (i != 1) continue;
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 13; x++) {
                ASSERT_EQ(back.AlphaGet(x, y), BYTE(x * 19 + y)) << x << "," << y;
            }
    }
}

TEST(Tiff, WriteFailures) {
    CLvImage image(30, 20, 8);
    FillPattern(image, 1);
    CLvCodecTIF codec;
    codec.ShareBuffersOf(image);
    EXPECT_FALSE(codec.Encode(nullptr, false));
    EXPECT_STREQ(codec.GetLastErrorText(), "invalid file pointer");
    codec.Destroy();

    // Group 4 is for bilevel pictures only.
    image.SetCodecOption(COMPRESSION_CCITTFAX4);
    CLvMemStream out;
    EXPECT_FALSE(image.Encode(&out, LVFMT_TIF));
    EXPECT_EQ(std::string(image.GetLastErrorText()).rfind("Error saving TIFF file", 0), 0u) << image.GetLastErrorText();

    image.SetCodecOption(0);
    CLvFullStream full(300);
    EXPECT_FALSE(image.Encode(&full, LVFMT_TIF));
    EXPECT_EQ(std::string(image.GetLastErrorText()).rfind("Error saving TIFF", 0), 0u) << image.GetLastErrorText();
}

// ---- truncated and corrupted files ----

TEST(Tiff, TruncatedCorruptedAndLoopingFilesFailCleanly) {
    for (const char* name : {"tiff/rgb-lzw.tif", "tiff/grey-tiles.tif", "tiff/three-pages.tif"}) {
        Bytes file = ReadFileBytes(DataPath(name));
        for (size_t n = 0; n < file.size(); n += 7) {
            CLvImage image;
            if (!DecodeBytes(image, Bytes(file.begin(), file.begin() + long(n)), LVFMT_TIF)) {
                EXPECT_STRNE(image.GetLastErrorText(), "") << name << " " << n;
            }
        }
        std::mt19937 random(7);
        for (int round = 0; round < 300; round++) {
            Bytes bad = file;
            for (int k = 0; k < 2; k++)
                bad[random() % bad.size()] = uint8_t(random());
            CLvImage image;
            if (!DecodeBytes(image, bad, LVFMT_TIF)) {
                EXPECT_STRNE(image.GetLastErrorText(), "") << name;
            }
        }
    }
    for (const char* name : {"tiff/test_ifd_loop_to_self.tif", "tiff/test_ifd_loop_to_first.tif"}) {
        CLvImage image;
        image.Load(DataPath(name).c_str(), LVFMT_TIF);
        EXPECT_LE(image.GetFrameCount(), 2) << name;
    }
    CLvImage two;
    EXPECT_TRUE(two.Load(DataPath("tiff/test_two_ifds.tif").c_str(), LVFMT_TIF)) << two.GetLastErrorText();
    EXPECT_EQ(two.GetFrameCount(), 2);

    CLvImage notTiff;
    EXPECT_FALSE(DecodeBytes(notTiff, Bytes(100, 'x'), LVFMT_TIF));
    EXPECT_EQ(std::string(notTiff.GetLastErrorText()).rfind("Error encountered while opening TIFF file", 0), 0u);
}

TEST(Tiff, HugeDimensionsFailBeforeAllocating) {
    Bytes rows(8, 0);
    Bytes file = TiffFile(8, 1, 8, PHOTOMETRIC_MINISBLACK, rows);
    // Patch the width entry (tag 256, type LONG or SHORT) to 30000 and the length to 30000.
    TempDir dir;
    std::string path = dir.Path("huge.tif");
    WriteFileBytes(path, file);
    TIFF* tif = TIFFOpen(path.c_str(), "r+");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(30000));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(30000));
    TIFFRewriteDirectory(tif);
    TIFFClose(tif);
    CLvImage image;
    EXPECT_FALSE(image.Load(path.c_str(), LVFMT_TIF));
    EXPECT_STREQ(image.GetLastErrorText(), "Image too large");
}

} // namespace

namespace {

// A small classic TIFF whose one PackBits strip of 100 bytes claims to decompress to 1000 x 3000 pixels of
// 60000 CMYK-style samples each: 180 GB that libtiff's colour reader would ask for at once.
TEST(Tiff, LibraryAllocationsStayWithinTheLargestPicture) {
    ByteWriter w;
    w.Append(Bytes{'I', 'I', 42, 0}).LE32(8);
    const struct {
        uint32_t tag, type, value;
    } entries[] = {{256, 4, 1000}, {257, 4, 3000},  {258, 3, 8},    {259, 3, 32773}, {262, 3, 5},
                   {273, 4, 200},  {277, 3, 60000}, {278, 4, 3000}, {279, 4, 100},   {284, 3, 1}};
    w.LE16(sizeof(entries) / sizeof(entries[0]));
    for (const auto& e : entries)
        w.LE16(e.tag).LE16(e.type).LE32(1).LE32(e.value);
    w.LE32(0);
    Bytes file = w.bytes();
    file.resize(200, 0);
    for (int i = 0; i < 50; i++)
        file.insert(file.end(), {0x81, 0x00}); // runs of 128 zero bytes
    CLvImage image(2, 2, 24);
    FillPattern(image, 5);
    CLvImage before(image);
    EXPECT_FALSE(DecodeBytes(image, file, LVFMT_TIF));
    EXPECT_NE(std::string(image.GetLastErrorText()).find("beyond the 1073741824 byte limit"), std::string::npos)
        << image.GetLastErrorText();
    EXPECT_TRUE(SamePicture(image, before));
}

} // namespace
