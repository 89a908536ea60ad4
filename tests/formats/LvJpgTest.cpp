#include "LvPictureFiles.h"
#include "formats/LvCodecJPG.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

namespace {

// ---- EXIF blocks built by hand ----

struct ExifEntry {
    unsigned tag;
    unsigned format;
    uint32_t count;
    Bytes value; // already in the block's byte order
};

struct Order {
    bool motorola;
    void Put16(Bytes& b, uint32_t v) const {
        if (motorola) {
            b.push_back(uint8_t(v >> 8));
            b.push_back(uint8_t(v));
        } else {
            b.push_back(uint8_t(v));
            b.push_back(uint8_t(v >> 8));
        }
    }
    void Put32(Bytes& b, uint32_t v) const {
        if (motorola) {
            Put16(b, v >> 16);
            Put16(b, v & 0xFFFF);
        } else {
            Put16(b, v & 0xFFFF);
            Put16(b, v >> 16);
        }
    }
    ExifEntry Short(unsigned tag, unsigned v) const {
        Bytes b;
        Put16(b, v);
        return {tag, 3, 1, b};
    }
    ExifEntry Long(unsigned tag, uint32_t v) const {
        Bytes b;
        Put32(b, v);
        return {tag, 4, 1, b};
    }
    ExifEntry Rational(unsigned tag, uint32_t num, uint32_t den) const {
        Bytes b;
        Put32(b, num);
        Put32(b, den);
        return {tag, 5, 1, b};
    }
    ExifEntry SRational(unsigned tag, int32_t num, int32_t den) const {
        Bytes b;
        Put32(b, uint32_t(num));
        Put32(b, uint32_t(den));
        return {tag, 10, 1, b};
    }
    ExifEntry Ascii(unsigned tag, const std::string& text) const {
        Bytes b(text.begin(), text.end());
        b.push_back(0);
        return {tag, 2, uint32_t(b.size()), b};
    }
    ExifEntry Undefined(unsigned tag, const std::string& text) const {
        Bytes b(text.begin(), text.end());
        return {tag, 7, uint32_t(b.size()), b};
    }
};

// A TIFF block as EXIF stores it: header, the first directory, an EXIF sub-directory when there are
// entries for it, then the values that do not fit in their entries.
Bytes ExifBlock(std::vector<ExifEntry> ifd0, const std::vector<ExifEntry>& exifIfd, bool motorola = false) {
    Order o{motorola};
    if (!exifIfd.empty()) ifd0.push_back(o.Long(0x8769, 0)); // offset filled in below
    size_t ifd0Size = 2 + 12 * ifd0.size() + 4;
    size_t exifSize = exifIfd.empty() ? 0 : 2 + 12 * exifIfd.size() + 4;
    size_t dataAt = 8 + ifd0Size + exifSize;
    Bytes data;
    auto directory = [&](std::vector<ExifEntry> entries, Bytes& out) {
        o.Put16(out, uint32_t(entries.size()));
        for (const ExifEntry& e : entries) {
            o.Put16(out, e.tag);
            o.Put16(out, e.format);
            o.Put32(out, e.count);
            if (e.value.size() > 4) {
                o.Put32(out, uint32_t(dataAt + data.size()));
                data.insert(data.end(), e.value.begin(), e.value.end());
            } else {
                Bytes v = e.value;
                v.resize(4, 0);
                out.insert(out.end(), v.begin(), v.end());
            }
        }
        o.Put32(out, 0);
    };
    if (!exifIfd.empty()) ifd0.back() = o.Long(0x8769, uint32_t(8 + ifd0Size));
    Bytes block = motorola ? Bytes{'M', 'M'} : Bytes{'I', 'I'};
    o.Put16(block, 0x2A);
    o.Put32(block, 8);
    directory(ifd0, block);
    if (!exifIfd.empty()) directory(exifIfd, block);
    block.insert(block.end(), data.begin(), data.end());
    return block;
}

// A JPEG file with an extra marker section right after its start-of-image marker.
Bytes WithSection(const Bytes& jpeg, int marker, const Bytes& contents) {
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    size_t length = contents.size() + 2;
    out.push_back(0xFF);
    out.push_back(uint8_t(marker));
    out.push_back(uint8_t(length >> 8));
    out.push_back(uint8_t(length));
    out.insert(out.end(), contents.begin(), contents.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

Bytes WithExif(const Bytes& jpeg, const Bytes& block) {
    Bytes contents = {'E', 'x', 'i', 'f', 0, 0};
    contents.insert(contents.end(), block.begin(), block.end());
    return WithSection(jpeg, 0xE1, contents);
}

Bytes Baseline() {
    return ReadFileBytes(DataPath("jpeg/baseline.jpg"));
}

// Runs ReadExif over bytes; the codec keeps the sections.
bool ReadExifOf(CLvCodecJPG& codec, const Bytes& bytes) {
    CLvMemStream stream(const_cast<uint8_t*>(bytes.data()), bytes.size());
    bool found = codec.ReadExif(&stream);
    EXPECT_EQ(stream.Tell(), 0) << "ReadExif puts the stream back";
    return found;
}

// ---- decoding against another decoder ----

TEST(Jpeg, DecodesLikeDjpeg) {
    // cjpeg wrote the files, djpeg decoded them: the same library with the same settings gives the same
    // pixels, so any difference is the codec's own doing.
    const struct {
        const char* name;
        int bpp;
    } files[] = {{"baseline", 24}, {"progressive", 24}, {"grey", 8}, {"restart", 24}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        CLvImage image;
        ASSERT_TRUE(image.Load(DataPath(std::string("jpeg/") + f.name + ".jpg").c_str(), LVFMT_JPG))
            << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_JPG));
        EXPECT_EQ(image.GetBpp(), f.bpp);
        if (f.bpp == 8) {
            EXPECT_TRUE(image.IsGrayScale());
        }
        Picture expected = ReadNetpbm(DataPath(std::string("jpeg/") + f.name + ".pnm"));
        EXPECT_EQ(ComparePictures(PictureOf(image), expected, 0, false), "");
    }
}

TEST(Jpeg, CmykFileReadsAsColour) {
    CLvImage image;
    ASSERT_TRUE(image.Load(DataPath("jpeg/cmyk.jpg").c_str(), LVFMT_JPG)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetBpp(), 24);
    // ImageMagick converts CMYK to RGB with its own rounding.
    EXPECT_EQ(ComparePictures(PictureOf(image), ReadNetpbm(DataPath("jpeg/cmyk.pnm")), 2, false), "");
}

// A uniform CMYK picture written straight through libjpeg at quality 100, which keeps a flat block exact.
Bytes UniformCmyk(int c, int m, int y, int k) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    JSAMPLE row[16 * 4];
    for (int x = 0; x < 16; x++) {
        row[4 * x] = JSAMPLE(c);
        row[4 * x + 1] = JSAMPLE(m);
        row[4 * x + 2] = JSAMPLE(y);
        row[4 * x + 3] = JSAMPLE(k);
    }
    JSAMPROW rows[1] = {row};
    while (cinfo.next_scanline < cinfo.image_height)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes bytes(out, out + size);
    free(out);
    return bytes;
}

TEST(Jpeg, CmykChannelsAreScaledByBlack) {
    const struct {
        int c, m, y, k;
        int red, green, blue;
    } cases[] = {{255, 255, 255, 128, 128, 128, 128}, {255, 0, 128, 255, 255, 0, 128}, {200, 100, 50, 51, 40, 20, 10}};
    for (const auto& t : cases) {
        CLvImage image;
        ASSERT_TRUE(DecodeBytes(image, UniformCmyk(t.c, t.m, t.y, t.k), LVFMT_JPG)) << image.GetLastErrorText();
        RGBQUAD p = image.GetPixelColor(5, 5);
        EXPECT_NEAR(p.rgbRed, t.red, 1);
        EXPECT_NEAR(p.rgbGreen, t.green, 1);
        EXPECT_NEAR(p.rgbBlue, t.blue, 1);
    }
}

// ---- resolution ----

// The JFIF header that cjpeg writes, with another density.
Bytes WithDensity(int unit, int x, int y) {
    Bytes b = Baseline();
    EXPECT_EQ(memcmp(&b[6], "JFIF", 5), 0);
    b[13] = uint8_t(unit);
    b[14] = uint8_t(x >> 8), b[15] = uint8_t(x);
    b[16] = uint8_t(y >> 8), b[17] = uint8_t(y);
    return b;
}

TEST(Jpeg, ResolutionFromJfifOrExif) {
    Order le{false};
    const struct {
        Bytes file;
        int xdpi, ydpi;
    } cases[] = {
        {WithDensity(2, 118, 118), 300, 300},
        {WithDensity(1, 72, 150), 72, 150},
        // Unit 0 is an aspect ratio (cjpeg's 1:1 in the fixture as it stands), not dots per inch.
        {Baseline(), 96, 96},
        {WithDensity(0, 1, 1), 96, 96},
        {WithDensity(0, 2, 1), 96, 96},
        {WithDensity(1, 0, 0), 96, 96},
        // EXIF resolution wins over the JFIF density.
        {WithExif(WithDensity(1, 72, 72),
                  ExifBlock({le.Rational(0x011A, 180, 1), le.Rational(0x011B, 180, 1), le.Short(0x0128, 2)}, {})),
         180, 180},
        {WithExif(WithDensity(1, 72, 72),
                  ExifBlock({le.Rational(0x011A, 118, 1), le.Rational(0x011B, 118, 1), le.Short(0x0128, 3)}, {})),
         299, 299},
        // EXIF without a resolution unit leaves the default.
        {WithExif(WithDensity(1, 72, 72), ExifBlock({le.Rational(0x011A, 118, 1)}, {})), 96, 96},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SCOPED_TRACE(i);
        CLvImage image;
        ASSERT_TRUE(DecodeBytes(image, cases[i].file, LVFMT_JPG)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetXDPI(), cases[i].xdpi);
        EXPECT_EQ(image.GetYDPI(), cases[i].ydpi);
    }
}

// ---- EXIF against the EXIF tool ----

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, '\t'))
        cells.push_back(cell);
    return cells;
}

std::string Trimmed(const char* text) {
    std::string s(text);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

double Number(const std::string& cell) {
    return cell == "-" ? 0.0 : atof(cell.c_str());
}

TEST(Jpeg, ExifOfCameraFilesAgreesWithTheExifTool) {
    // One line per file, as the EXIF tool printed them (-n -T): the columns of scripts/make-codec-fixtures.sh.
    std::ifstream in(DataPath("jpeg/exif-expected.tsv"));
    std::string line;
    int files = 0;
    bool sawMotorola = false, sawIntel = false;
    while (std::getline(in, line)) {
        std::vector<std::string> c = Split(line);
        ASSERT_EQ(c.size(), 30u) << line;
        SCOPED_TRACE(c[0]);
        files++;
        Bytes bytes = ReadFileBytes(DataPath("jpeg/" + c[0]));
        CLvCodecJPG codec;
        ASSERT_TRUE(ReadExifOf(codec, bytes)) << codec.GetExifError();
        const ExifInfo& e = codec.m_exifinfo;
        (c[1] == "MM" ? sawMotorola : sawIntel) = true;
        EXPECT_EQ(Trimmed(e.szMake), c[2]);
        EXPECT_EQ(Trimmed(e.szModel), c[3]);
        EXPECT_EQ(std::string(e.szDateTime), c[4]);
        EXPECT_EQ(std::string(e.szExifVersion), c[5]);
        // Exposure time: the tag, or 1 / 2^(shutter speed value) when there is none.
        double exposure = c[6] != "-" ? Number(c[6]) : Number(c[7]);
        EXPECT_NEAR(e.fExposureTime, exposure, exposure * 1e-4);
        double fNumber = c[8] != "-" ? Number(c[8]) : Number(c[9]);
        EXPECT_NEAR(e.fFNumber, fNumber, fNumber * 1e-4);
        EXPECT_EQ(e.nIsoSpeed, int(Number(c[10])));
        EXPECT_NEAR(e.fFocalLength, Number(c[11]), 1e-3);
        EXPECT_EQ(e.nOrientation, int(Number(c[12])));
        EXPECT_EQ(e.bFlashFired, (int(Number(c[13])) & 7) != 0);
        EXPECT_NEAR(e.fXResolution, Number(c[14]), 1e-3);
        EXPECT_NEAR(e.fYResolution, Number(c[15]), 1e-3);
        EXPECT_EQ(e.fResolutionUnit, Number(c[16]) == 3 ? 0.3937008f : 1.0f);
        EXPECT_EQ(e.nExposureProgram, int(Number(c[19])));
        EXPECT_EQ(e.nMeteringMode, int(Number(c[20])));
        EXPECT_EQ(e.nLightSource, int(Number(c[21])));
        EXPECT_EQ(e.nCompressedBpp, int(Number(c[22])));
        EXPECT_NEAR(e.fExposureBias, Number(c[23]), 1e-4);
        EXPECT_NEAR(e.fFocalPlaneXRes, Number(c[24]), 1e-2);
        if (c[24] != "-") {
            double widest = std::max(Number(c[17]), Number(c[18]));
            EXPECT_NEAR(e.fCcdWidth, 1.0 / Number(c[24]) * widest, 1e-4);
        }
        // The EXIF tool counts the thumbnail's offset from the start of the file.
        if (c[26] != "-") {
            ASSERT_EQ(e.nThumbnailSize, int(Number(c[27])));
            size_t at = size_t(Number(c[26]));
            ASSERT_LE(at + e.nThumbnailSize, bytes.size());
            EXPECT_EQ(memcmp(e.pThumbnail, &bytes[at], size_t(e.nThumbnailSize)), 0);
        } else {
            EXPECT_EQ(e.pThumbnail, nullptr);
        }
        EXPECT_EQ(e.nWidth, int(Number(c[28])));
        EXPECT_EQ(e.nHeight, int(Number(c[29])));
        EXPECT_EQ(e.bIsColor, 1);
        EXPECT_EQ(e.nProcess, 0xC0);

        CLvImage image;
        ASSERT_TRUE(DecodeBytes(image, bytes, LVFMT_JPG)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetXDPI(), int(Number(c[14])));
    }
    EXPECT_EQ(files, 5);
    EXPECT_TRUE(sawMotorola && sawIntel);
}

TEST(Jpeg, ExifFieldRules) {
    for (bool motorola : {false, true}) {
        SCOPED_TRACE(motorola ? "big-endian" : "little-endian");
        Order o{motorola};
        Bytes block = ExifBlock({o.Ascii(0x010F, "Maker"), o.Short(0x0112, 9), o.Rational(0x011A, 300, 1)},
                                {o.Short(0x8827, 2), o.SRational(0x9201, 8, 1), o.SRational(0x9202, 6, 1),
                                 o.Short(0x9209, 0x19), o.Undefined(0x9286, std::string("ASCII\0\0\0Hello  ", 15)),
                                 o.Short(0xA002, 640), o.Short(0xA003, 1200), o.Rational(0xA20E, 1000, 1),
                                 o.Short(0xA210, 3), o.SRational(0x9204, -2, 3)},
                                motorola);
        CLvCodecJPG codec;
        ASSERT_TRUE(ReadExifOf(codec, WithExif(Baseline(), block))) << codec.GetExifError();
        const ExifInfo& e = codec.m_exifinfo;
        EXPECT_STREQ(e.szMake, "Maker");
        EXPECT_EQ(e.nOrientation, 0); // 9 is no orientation; the rest is still read
        EXPECT_STREQ(codec.GetExifError(), "Undefined rotation value");
        EXPECT_EQ(e.fXResolution, 300.0f);
        EXPECT_EQ(e.nIsoSpeed, 400); // stored divided by 200
        EXPECT_NEAR(e.fExposureTime, 1.0 / 256, 1e-9);
        EXPECT_NEAR(e.fFNumber, 8.0, 1e-5);
        EXPECT_EQ(e.bFlashFired, 1);
        EXPECT_STREQ(e.szComment, "Hello");
        EXPECT_NEAR(e.fFocalPlaneUnit, 0.3937008, 1e-7);
        EXPECT_NEAR(e.fCcdWidth, 0.3937008 / 1000 * 1200, 1e-6);
        EXPECT_NEAR(e.fExposureBias, -2.0 / 3, 1e-6);
        EXPECT_EQ(e.nWidth, 48);
        EXPECT_EQ(e.nHeight, 32);
    }
}

TEST(Jpeg, CommentSection) {
    std::string text = "line one\r\nline\ttwo\x01\xff";
    CLvCodecJPG codec;
    EXPECT_FALSE(ReadExifOf(codec, WithSection(Baseline(), 0xFE, Bytes(text.begin(), text.end()))));
    EXPECT_STREQ(codec.m_exifinfo.szComment, "line one\nline\ttwo??");
}

// ---- hostile EXIF data ----

TEST(Jpeg, HostileExifIsRefusedWithItsText) {
    Order le{false};
    Bytes good = ExifBlock({le.Ascii(0x010F, "Maker")}, {le.Short(0x8827, 100)});
    // The first directory of `good` starts at 8 and holds two entries: Make at 10, the EXIF link at 22.
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        Bytes b = good;
        for (size_t i = 0; i < bytes.size(); i++)
            b.at(at + i) = bytes[i];
        return b;
    };
    const struct {
        Bytes block;
        const char* header; // replaces "Exif\0\0" when set
        bool hasExif;
        const char* error;
    } cases[] = {
        {good, nullptr, true, ""},
        {good, "Exif\0X", false, "Incorrect Exif header"},
        {patched(0, {'X', 'X'}), nullptr, false, "Invalid Exif alignment marker."},
        {patched(2, {0x2B}), nullptr, false, "Invalid Exif start (1)"},
        {patched(4, {0x20}), nullptr, false, "Suspicious offset of first IFD value"},
        {patched(8, {0xFF, 0xFF}), nullptr, false, "Illegally sized directory"},
        // A bad entry or link is skipped with its text; the rest of the block is kept.
        {patched(12, {13}), nullptr, true, "Illegal format code in EXIF dir"},
        // A text whose offset plus size passes the end, also when the sum overflows 32 bits.
        {patched(18, {0x00, 0x10}), nullptr, true, "Illegal pointer offset value in EXIF."},
        {patched(18, {0xFF, 0xFF, 0xFF, 0xFF}), nullptr, true, "Illegal pointer offset value in EXIF."},
        {patched(14, {0xFF, 0xFF, 0xFF, 0x3F}), nullptr, true, "Illegal pointer offset value in EXIF."},
        {patched(30, {0x00, 0x40}), nullptr, true, "Illegal subdirectory link"},
        // Links back to the first directory and to the directory itself end instead of recursing forever.
        {patched(30, {8, 0, 0, 0}), nullptr, true, ""},
        {patched(34, {8, 0, 0, 0}), nullptr, true, ""},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        SCOPED_TRACE(i);
        Bytes contents = {'E', 'x', 'i', 'f', 0, 0};
        if (cases[i].header) memcpy(contents.data(), cases[i].header, 6);
        contents.insert(contents.end(), cases[i].block.begin(), cases[i].block.end());
        Bytes file = WithSection(Baseline(), 0xE1, contents);
        CLvCodecJPG codec;
        EXPECT_EQ(ReadExifOf(codec, file), cases[i].hasExif);
        EXPECT_STREQ(codec.GetExifError(), cases[i].error);
        // Whatever the EXIF block holds, the picture itself still loads.
        CLvImage image;
        EXPECT_TRUE(DecodeBytes(image, file, LVFMT_JPG)) << image.GetLastErrorText();
    }
}

// A camera's file with one damaged entry keeps everything else: the Pentax sample (big-endian, with a
// thumbnail in its second directory) with the thumbnail's length, the make's format or the link to the
// EXIF sub-directory spoilt.
TEST(Jpeg, OneBadExifEntryLosesOnlyItself) {
    const Bytes original = ReadFileBytes(DataPath("jpeg/camera-Pentax.jpg"));
    CLvCodecJPG reference;
    ASSERT_TRUE(ReadExifOf(reference, original));
    ASSERT_NE(reference.m_exifinfo.pThumbnail, nullptr);
    ASSERT_NE(reference.m_exifinfo.fExposureTime, 0.0f);
    auto patched = [&](size_t at, std::vector<uint8_t> bytes) {
        Bytes b = original;
        std::copy(bytes.begin(), bytes.end(), b.begin() + long(at));
        return b;
    };
    // File offsets of the entries: Make (tag 0x010F) at 40, the EXIF link (0x8769) at 148, the thumbnail
    // length (0x0202) at 2386; values start 8 bytes into an entry.
    ASSERT_EQ(original[40], 0x01);
    ASSERT_EQ(original[41], 0x0F);
    ASSERT_EQ(original[148], 0x87);
    ASSERT_EQ(original[2386], 0x02);
    const struct {
        const char* name;
        Bytes file;
        bool make, exposure, thumbnail;
    } cases[] = {
        {"thumbnail past the block", patched(2386 + 8, {0x00, 0x10, 0x00, 0x00}), true, true, false},
        {"make in format 13", patched(40 + 2, {0x00, 13}), false, true, true},
        {"EXIF link past the block", patched(148 + 8, {0x00, 0x10, 0x00, 0x00}), true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLvCodecJPG codec;
        EXPECT_TRUE(ReadExifOf(codec, c.file));
        const ExifInfo& e = codec.m_exifinfo;
        EXPECT_STREQ(e.szModel, reference.m_exifinfo.szModel);
        EXPECT_STREQ(e.szMake, c.make ? reference.m_exifinfo.szMake : "");
        EXPECT_EQ(e.fExposureTime, c.exposure ? reference.m_exifinfo.fExposureTime : 0.0f);
        EXPECT_EQ(e.fXResolution, reference.m_exifinfo.fXResolution);
        if (c.thumbnail) {
            EXPECT_EQ(e.nThumbnailSize, reference.m_exifinfo.nThumbnailSize);
        } else {
            EXPECT_EQ(e.pThumbnail, nullptr);
        }
    }
}

TEST(Jpeg, SectionReaderLimits) {
    Bytes file = Baseline();
    for (int i = 0; i < 21; i++)
        file = WithSection(file, 0xEB, Bytes{1, 2, 3});
    CLvCodecJPG codec;
    EXPECT_FALSE(ReadExifOf(codec, file));
    EXPECT_STREQ(codec.GetExifError(), "Too many sections in jpg file");
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, file, LVFMT_JPG)) << image.GetLastErrorText();

    Bytes zeroLength = Baseline();
    zeroLength.insert(zeroLength.begin() + 2, {0xFF, 0xEB, 0x00, 0x01});
    EXPECT_FALSE(ReadExifOf(codec, zeroLength));
    EXPECT_STREQ(codec.GetExifError(), "invalid marker");

    Bytes fill = Baseline();
    fill.insert(fill.begin() + 2, 6, 0xFF); // with the marker's own 0xFF, seven in a row
    EXPECT_FALSE(ReadExifOf(codec, fill));

    Bytes cut = WithSection(Baseline(), 0xEB, Bytes(100, 7));
    cut.resize(60);
    EXPECT_FALSE(ReadExifOf(codec, cut));
    EXPECT_STREQ(codec.GetExifError(), "Premature end of file?");

    Bytes notJpeg = {'B', 'M', 0, 0};
    EXPECT_FALSE(ReadExifOf(codec, notJpeg));
}

TEST(Jpeg, ThumbnailStaysValidWhileTheCodecLives) {
    Bytes bytes = ReadFileBytes(DataPath("jpeg/camera-Nikon.jpg"));
    CLvCodecJPG codec;
    {
        Bytes copy = bytes; // the stream's memory goes away; the codec keeps its own sections
        ASSERT_TRUE(ReadExifOf(codec, copy));
    }
    // Where the EXIF tool finds the thumbnail: 28 bytes at offset 1426 of the file.
    ASSERT_NE(codec.m_exifinfo.pThumbnail, nullptr);
    ASSERT_EQ(codec.m_exifinfo.nThumbnailSize, 28);
    EXPECT_EQ(memcmp(codec.m_exifinfo.pThumbnail, &bytes[1426], 28), 0);
}

// ---- truncated and corrupted files ----

TEST(Jpeg, EveryPrefixFailsCleanlyOrDecodesPartially) {
    Bytes file = Baseline();
    size_t marker = 0; // the start-of-scan marker
    for (size_t i = 2; i + 1 < file.size() && !marker; i++)
        if (file[i] == 0xFF && file[i + 1] == 0xDA) marker = i;
    ASSERT_GT(marker, 0u);
    const size_t scan = marker + 2 + size_t(file[marker + 2] << 8 | file[marker + 3]); // the scan's data
    for (size_t n = 0; n < file.size(); n++) {
        Bytes prefix(file.begin(), file.begin() + long(n));
        CLvImage image;
        bool ok = DecodeBytes(image, prefix, LVFMT_JPG);
        if (n < marker) {
            EXPECT_FALSE(ok) << n;
            EXPECT_STRNE(image.GetLastErrorText(), "") << n;
        } else if (n >= scan) {
            // The rest is made up by the decoder's end-of-data handling.
            EXPECT_TRUE(ok) << n << ": " << image.GetLastErrorText();
        }
        if (ok) {
            EXPECT_EQ(image.GetWidth(), 48);
            EXPECT_EQ(image.GetHeight(), 32);
        }
    }
    CLvImage empty;
    EXPECT_FALSE(DecodeBytes(empty, Bytes(), LVFMT_JPG));
    EXPECT_STRNE(empty.GetLastErrorText(), "");
}

TEST(Jpeg, FlippedBytesNeverCrash) {
    std::mt19937 random(5);
    for (const char* name : {"jpeg/baseline.jpg", "jpeg/progressive.jpg", "jpeg/camera-Pentax.jpg"}) {
        Bytes file = ReadFileBytes(DataPath(name));
        for (int round = 0; round < 300; round++) {
            Bytes bad = file;
            for (int k = 0; k < 3; k++)
                bad[random() % bad.size()] = uint8_t(random());
            CLvImage image;
            if (DecodeBytes(image, bad, LVFMT_JPG)) {
                EXPECT_LE(int64_t(image.GetWidth()) * image.GetHeight(), int64_t(1) << 28);
            } else {
                EXPECT_STRNE(image.GetLastErrorText(), "");
            }
        }
    }
}

TEST(Jpeg, HugeDimensionsFailBeforeAllocating) {
    Bytes file = Baseline();
    for (size_t i = 2; i + 8 < file.size(); i++) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            file[i + 5] = 0x75, file[i + 6] = 0x30; // height 30000
            file[i + 7] = 0x75, file[i + 8] = 0x30; // width 30000: 900 megapixels
            break;
        }
    }
    CLvImage image;
    EXPECT_FALSE(DecodeBytes(image, file, LVFMT_JPG));
    EXPECT_STREQ(image.GetLastErrorText(), "Image too large");
}

TEST(Jpeg, CancelStopsTheRead) {
    Bytes file = Baseline();
    CLvMemStream stream(file.data(), file.size());
    CLvCodecJPG codec;
    codec.SetEscape(1);
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
}

// ---- writing ----

TEST(Jpeg, WritesGreyAndColourOnly) {
    CLvImage four(10, 10, 4);
    FillPattern(four, 1);
    CLvMemStream out;
    EXPECT_FALSE(four.Encode(&out, LVFMT_JPG));
    EXPECT_STREQ(four.GetLastErrorText(), "JPEG can save only RGB or GreyScale images");
    CLvImage colouredEight(10, 10, 8);
    FillPattern(colouredEight, 2);
    EXPECT_FALSE(colouredEight.Encode(&out, LVFMT_JPG));
    EXPECT_STREQ(colouredEight.GetLastErrorText(), "JPEG can save only RGB or GreyScale images");
    EXPECT_EQ(out.GetLength(), 0u);

    CLvImage grey(33, 17, 8);
    grey.SetGrayPalette();
    for (int y = 0; y < 17; y++)
        for (int x = 0; x < 33; x++)
            grey.SetPixelIndex(x, y, BYTE(x * 5 + y * 4));
    grey.SetJpegQuality(95);
    Bytes bytes = EncodeToBytes(grey, LVFMT_JPG);
    ASSERT_FALSE(bytes.empty());
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_JPG)) << back.GetLastErrorText();
    EXPECT_EQ(back.GetBpp(), 8); // one component
    EXPECT_TRUE(back.IsGrayScale());
    EXPECT_EQ(ComparePictures(PictureOf(back), PictureOf(grey), 6, false), "");
}

TEST(Jpeg, ColourRoundTripKeepsPictureAndResolution) {
    Picture source = ReadNetpbm(DataPath("jpeg/baseline.pnm"));
    CLvImage photo(source.width, source.height, 24);
    for (int row = 0; row < source.height; row++)
        for (int x = 0; x < source.width; x++)
            photo.SetPixelColor(x, source.height - 1 - row, source.At(x, row));
    photo.SetXDPI(300);
    photo.SetYDPI(150);
    photo.SetJpegQuality(95);
    Bytes bytes = EncodeToBytes(photo, LVFMT_JPG);
    CLvImage back;
    ASSERT_TRUE(DecodeBytes(back, bytes, LVFMT_JPG)) << back.GetLastErrorText();
    EXPECT_EQ(back.GetBpp(), 24);
    EXPECT_EQ(back.GetXDPI(), 300);
    EXPECT_EQ(back.GetYDPI(), 150);
    // Red stays red: the writer hands libjpeg red-green-blue rows.
    double total = 0;
    for (int y = 0; y < photo.GetHeight(); y++)
        for (int x = 0; x < photo.GetWidth(); x++) {
            RGBQUAD a = photo.GetPixelColor(x, y), b = back.GetPixelColor(x, y);
            total += abs(a.rgbRed - b.rgbRed) + abs(a.rgbGreen - b.rgbGreen) + abs(a.rgbBlue - b.rgbBlue);
        }
    EXPECT_LT(total / (3.0 * photo.GetWidth() * photo.GetHeight()), 3.0);
}

// The first quantisation table's entries of a JPEG file.
std::vector<int> FirstQuantTable(const Bytes& file) {
    for (size_t i = 2; i + 5 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == 0xDB)
            return std::vector<int>(file.begin() + long(i) + 5, file.begin() + long(i) + 69);
    return {};
}

TEST(Jpeg, QualityGoesToTheLibraryUnchanged) {
    CLvImage photo(40, 30, 24);
    FillPattern(photo, 9);
    photo.SetJpegQuality(100);
    std::vector<int> best = FirstQuantTable(EncodeToBytes(photo, LVFMT_JPG));
    ASSERT_EQ(best.size(), 64u);
    for (int q : best)
        EXPECT_EQ(q, 1);
    photo.SetJpegQuality(1);
    std::vector<int> worst = FirstQuantTable(EncodeToBytes(photo, LVFMT_JPG));
    ASSERT_EQ(worst.size(), 64u);
    for (int q : worst)
        EXPECT_EQ(q, 255); // baseline tables stop at 255
}

TEST(Jpeg, AFailedWriteReportsTheLibrarysText) {
    CLvImage photo(300, 200, 24);
    FillPattern(photo, 3);
    CLvFullStream full(1000);
    EXPECT_FALSE(photo.Encode(&full, LVFMT_JPG));
    EXPECT_NE(std::string(photo.GetLastErrorText()).find("write"), std::string::npos) << photo.GetLastErrorText();
}

} // namespace
