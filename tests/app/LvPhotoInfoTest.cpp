#include "app/LvPhotoInfo.h"

#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

namespace {

// ---- EXIF report ----

// An 8 x 8 colour baseline picture whose camera recorded nothing, the flash not fired.
ExifInfo Plain() {
    ExifInfo e;
    memset(&e, 0, sizeof(e));
    e.nWidth = 8;
    e.nHeight = 8;
    e.bIsColor = 1;
    e.nProcess = 0xC0;
    return e;
}

const std::string kSize = "Width x Height   : 8 x 8\n";
const std::string kFlash = "Flash used   : No\n";
const std::string kBaseline = "Encoding      : Baseline\n";

TEST(LvExifReport, EachValueGivesItsLineInItsPlace) {
    const struct {
        const char* what;
        std::function<void(ExifInfo&)> set;
        std::string report;
    } cases[] = {
        {"nothing recorded", [](ExifInfo&) {}, kSize + kFlash + kBaseline + "\n"},
        {"camera",
         [](ExifInfo& e) {
             strcpy(e.szMake, "Maker");
             strcpy(e.szModel, "M1");
             strcpy(e.szDateTime, "2004:05:06 07:08:09");
             strcpy(e.szExifVersion, "0220");
         },
         "Camera make  : Maker\nCamera model : M1\nDate/Time    : 2004:05:06 07:08:09\nExif version : 0220\n" + kSize +
             kFlash + kBaseline + "\n"},
        // The model belongs to the make's line pair.
        {"model without make", [](ExifInfo& e) { strcpy(e.szModel, "M1"); }, kSize + kFlash + kBaseline + "\n"},
        {"resolution in inches",
         [](ExifInfo& e) {
             e.fXResolution = 300;
             e.fYResolution = 72;
             e.fResolutionUnit = 1;
         },
         kSize + "X resolution (dpi) : 300.0\nY resolution (dpi) :  72.0\n" + kFlash + kBaseline + "\n"},
        {"resolution in centimetres, no vertical",
         [](ExifInfo& e) {
             e.fXResolution = 118;
             e.fResolutionUnit = 0.3937008f;
         },
         kSize + "X resolution (dpi) : 299.7\n" + kFlash + kBaseline + "\n"},
        {"resolution without unit", [](ExifInfo& e) { e.fXResolution = 300; }, kSize + kFlash + kBaseline + "\n"},
        {"upright", [](ExifInfo& e) { e.nOrientation = 1; }, kSize + kFlash + kBaseline + "\n"},
        {"turned", [](ExifInfo& e) { e.nOrientation = 6; },
         kSize + "Orientation  : Rotated 90 degrees clockwise\n" + kFlash + kBaseline + "\n"},
        {"grey", [](ExifInfo& e) { e.bIsColor = 0; },
         kSize + "Color/bw     : Black and white\n" + kFlash + kBaseline + "\n"},
        {"flash fired", [](ExifInfo& e) { e.bFlashFired = 1; }, kSize + "Flash used   : Yes\n" + kBaseline + "\n"},
        {"flash unknown", [](ExifInfo& e) { e.bFlashFired = -1; }, kSize + kBaseline + "\n"},
        {"focal length", [](ExifInfo& e) { e.fFocalLength = 5.4f; },
         kSize + kFlash + "Focal length :  5.4mm\n" + kBaseline + "\n"},
        {"focal length and sensor",
         [](ExifInfo& e) {
             e.fFocalLength = 7.2f;
             e.fCcdWidth = 5.27f;
         },
         kSize + kFlash + "Focal length :  7.2mm  (35mm equivalent: 49mm)\nCCD width    : 5.27mm\n" + kBaseline + "\n"},
        {"sensor alone", [](ExifInfo& e) { e.fCcdWidth = 5.27f; },
         kSize + kFlash + "CCD width    : 5.27mm\n" + kBaseline + "\n"},
        {"short exposure", [](ExifInfo& e) { e.fExposureTime = 0.008f; },
         kSize + kFlash + "Exposure time: 0.008 s  (1/125)\n" + kBaseline + "\n"},
        {"half a second", [](ExifInfo& e) { e.fExposureTime = 0.5f; },
         kSize + kFlash + "Exposure time: 0.500 s  (1/2)\n" + kBaseline + "\n"},
        {"one second", [](ExifInfo& e) { e.fExposureTime = 1.0f; },
         kSize + kFlash + "Exposure time: 1.000 s \n" + kBaseline + "\n"},
        // A fraction beyond the range of int is held at its end.
        {"absurdly short exposure", [](ExifInfo& e) { e.fExposureTime = 1e-12f; },
         kSize + kFlash + "Exposure time: 0.000 s  (1/2147483647)\n" + kBaseline + "\n"},
        {"brightness", [](ExifInfo& e) { e.fBrightness = 1.5f; },
         kSize + kFlash + "Brightness :  1.500\n" + kBaseline + "\n"},
        {"aperture", [](ExifInfo& e) { e.fFNumber = 2.8f; },
         kSize + kFlash + "Aperture     : f/2.8\n" + kBaseline + "\n"},
        {"focus distance", [](ExifInfo& e) { e.fSubjectDistance = 1.25f; },
         kSize + kFlash + "Focus dist.  : 1.25m\n" + kBaseline + "\n"},
        {"focus at infinity", [](ExifInfo& e) { e.fSubjectDistance = -1; },
         kSize + kFlash + "Focus dist.  : Infinite\n" + kBaseline + "\n"},
        {"ISO", [](ExifInfo& e) { e.nIsoSpeed = 5; }, kSize + kFlash + "ISO equiv.   :  5\n" + kBaseline + "\n"},
        {"exposure bias", [](ExifInfo& e) { e.fExposureBias = -0.33f; },
         kSize + kFlash + "Exposure bias:-0.33\n" + kBaseline + "\n"},
        {"all the modes",
         [](ExifInfo& e) {
             e.nLightSource = 3;
             e.nMeteringMode = 2;
             e.nExposureProgram = 4;
             e.nCompressedBpp = 4;
         },
         kSize + kFlash +
             "Whitebalance : incandescent\nMetering Mode: center weight\nExposure     : shutter priority "
             "(semi-auto)\nJpeg Quality : fine\n" +
             kBaseline + "\n"},
        {"unnamed modes",
         [](ExifInfo& e) {
             e.nLightSource = 17;
             e.nMeteringMode = 1;
             e.nExposureProgram = 1;
             e.nCompressedBpp = 3;
         },
         kSize + kFlash + "Whitebalance : cloudy\n" + kBaseline + "\n"},
        {"two comment lines", [](ExifInfo& e) { strcpy(e.szComment, "a\nb"); },
         kSize + kFlash + kBaseline + "Comment      : a\nComment      : b\n"},
        {"comment ending in a line feed", [](ExifInfo& e) { strcpy(e.szComment, "a\n\n"); },
         kSize + kFlash + kBaseline + "Comment      : a\nComment      : \n\n"},
        // A record whose comment fills the whole field (no terminator) stops at the field's end.
        {"unterminated comment", [](ExifInfo& e) { memset(e.szComment, 'x', sizeof(e.szComment)); },
         kSize + kFlash + kBaseline + "Comment      : " + std::string(1000, 'x') + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExifInfo e = Plain();
        c.set(e);
        EXPECT_EQ(LvExifReport(e), c.report);
    }
}

TEST(LvExifReport, NamesOfTheLightSourcesModesAndProcesses) {
    const struct {
        int ExifInfo::*field;
        int value;
        const char* line; // empty: no line
    } modes[] = {
        {&ExifInfo::nLightSource, 1, "Whitebalance : sunny\n"},
        {&ExifInfo::nLightSource, 2, "Whitebalance : fluorescent\n"},
        {&ExifInfo::nLightSource, 4, "Whitebalance : cloudy\n"},
        {&ExifInfo::nMeteringMode, 3, "Metering Mode: spot\n"},
        {&ExifInfo::nMeteringMode, 5, "Metering Mode: matrix\n"},
        {&ExifInfo::nMeteringMode, 6, ""},
        {&ExifInfo::nExposureProgram, 2, "Exposure     : program (auto)\n"},
        {&ExifInfo::nExposureProgram, 3, "Exposure     : aperture priority (semi-auto)\n"},
        {&ExifInfo::nExposureProgram, 5, ""},
        {&ExifInfo::nCompressedBpp, 1, "Jpeg Quality : basic\n"},
        {&ExifInfo::nCompressedBpp, 2, "Jpeg Quality : normal\n"},
    };
    for (const auto& m : modes) {
        SCOPED_TRACE(m.value);
        ExifInfo e = Plain();
        e.*m.field = m.value;
        EXPECT_EQ(LvExifReport(e), kSize + kFlash + m.line + kBaseline + "\n");
    }
    const struct {
        int process;
        const char* name;
    } processes[] = {
        {0xC0, "Baseline"},
        {0xC1, "Extended sequential"},
        {0xC2, "Progressive"},
        {0xC3, "Lossless"},
        {0xC4, "Unknown"},
        {0xC5, "Differential sequential"},
        {0xC6, "Differential progressive"},
        {0xC7, "Differential lossless"},
        {0xC8, "Unknown"},
        {0xC9, "Extended sequential, arithmetic coding"},
        {0xCA, "Progressive, arithmetic coding"},
        {0xCB, "Lossless, arithmetic coding"},
        {0xCC, "Unknown"},
        {0xCD, "Differential sequential, arithmetic coding"},
        {0xCE, "Differential progressive, arithmetic coding"},
        {0xCF, "Differential lossless, arithmetic coding"},
        {0, "Unknown"},
        {0xD0, "Unknown"},
    };
    for (const auto& p : processes) {
        ExifInfo e = Plain();
        e.nProcess = p.process;
        EXPECT_EQ(LvExifReport(e), kSize + kFlash + "Encoding      : " + p.name + "\n\n") << p.process;
    }
}

TEST(LvExifReport, OrientationNames) {
    std::set<std::string> names;
    for (int i = 2; i <= 8; i++)
        names.insert(LvOrientationName(i));
    EXPECT_EQ(names.size(), 7u);
    EXPECT_EQ(names.count("Unknown"), 0u);
    EXPECT_STREQ(LvOrientationName(3), "Rotated 180 degrees");
    EXPECT_STREQ(LvOrientationName(8), "Rotated 90 degrees counter-clockwise");
    for (int other : {0, 1, 9, -1})
        EXPECT_STREQ(LvOrientationName(other), "Unknown");
}

// The camera samples, their reports worked out from the EXIF tool's values in exif-expected.tsv: exposure
// times rounded to three places with 1/(1/t + 0.5); the Canon's sensor width from its focal plane
// resolution (3443.946 per inch) and image width (160), 160 / 3443.946 = 0.0465.
TEST(LvExifReport, CameraSamples) {
    const struct {
        const char* file;
        std::string report;
    } cases[] = {
        {"camera-Canon.jpg", "Camera make  : Canon\n"
                             "Camera model : Canon EOS DIGITAL REBEL\n"
                             "Date/Time    : 2003:12:04 06:46:52\n"
                             "Exif version : 0221\n"
                             "Width x Height   : 8 x 8\n"
                             "X resolution (dpi) : 180.0\n"
                             "Y resolution (dpi) : 180.0\n"
                             "Flash used   : No\n"
                             "Focal length : 34.0mm  (35mm equivalent: 26346mm)\n"
                             "CCD width    : 0.05mm\n"
                             "Exposure time: 4.000 s \n"
                             "Aperture     : f/14.0\n"
                             "ISO equiv.   : 100\n"
                             "Encoding      : Baseline\n"
                             "\n"},
        {"camera-Casio.jpg", "Camera make  : CASIO\n"
                             "Camera model : QV-3000EX\n"
                             "Date/Time    : 2000:03:31 10:44:15\n"
                             "Exif version : 0210\n"
                             "Width x Height   : 8 x 8\n"
                             "X resolution (dpi) :  72.0\n"
                             "Y resolution (dpi) :  72.0\n"
                             "Flash used   : No\n"
                             "Focal length : 13.3mm\n"
                             "Exposure time: 0.009 s  (1/114)\n"
                             "Aperture     : f/2.0\n"
                             "Metering Mode: matrix\n"
                             "Exposure     : program (auto)\n"
                             "Encoding      : Baseline\n"
                             "\n"},
        {"camera-Kodak.jpg", "Camera make  : EASTMAN KODAK COMPANY\n"
                             "Camera model : KODAK DX4900 ZOOM DIGITAL CAMERA\n"
                             "Date/Time    : 2002:05:01 10:22:28\n"
                             "Exif version : 0210\n"
                             "Width x Height   : 8 x 8\n"
                             "X resolution (dpi) : 230.0\n"
                             "Y resolution (dpi) : 230.0\n"
                             "Flash used   : No\n"
                             "Focal length : 10.2mm\n"
                             "Exposure time: 0.006 s  (1/180)\n"
                             "Aperture     : f/6.7\n"
                             "Exposure     : program (auto)\n"
                             "Encoding      : Baseline\n"
                             "\n"},
        {"camera-Nikon.jpg", "Camera make  : NIKON\n"
                             "Camera model : E775\n"
                             "Date/Time    : 2001:08:01 12:57:23\n"
                             "Exif version : 0210\n"
                             "Width x Height   : 8 x 8\n"
                             "X resolution (dpi) : 300.0\n"
                             "Y resolution (dpi) : 300.0\n"
                             "Flash used   : No\n"
                             "Focal length :  8.6mm\n"
                             "Exposure time: 0.005 s  (1/213)\n"
                             "Aperture     : f/9.4\n"
                             "ISO equiv.   : 100\n"
                             "Metering Mode: matrix\n"
                             "Exposure     : program (auto)\n"
                             "Encoding      : Baseline\n"
                             "\n"},
        // The camera pads its make and model with blanks; the report shows them as recorded.
        {"camera-Pentax.jpg", "Camera make  : PENTAX Corporation \n"
                              "Camera model : PENTAX K10D        \n"
                              "Date/Time    : 2008:03:02 12:01:23\n"
                              "Exif version : 0221\n"
                              "Width x Height   : 8 x 8\n"
                              "X resolution (dpi) :  72.0\n"
                              "Y resolution (dpi) :  72.0\n"
                              "Orientation  : Rotated 90 degrees counter-clockwise\n"
                              "Flash used   : No\n"
                              "Focal length : 10.0mm\n"
                              "Exposure time: 0.010 s  (1/100)\n"
                              "Aperture     : f/13.0\n"
                              "ISO equiv.   : 100\n"
                              "Exposure bias:0.70\n"
                              "Metering Mode: matrix\n"
                              "Exposure     : aperture priority (semi-auto)\n"
                              "Encoding      : Baseline\n"
                              "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ExifInfo e;
        memset(&e, 0, sizeof(e));
        CLvFileStream stream(DataPath(std::string("jpeg/") + c.file).c_str(), "rb");
        CLvExifReader reader(&e);
        ASSERT_TRUE(reader.DecodeExif(&stream));
        ASSERT_TRUE(e.bHasExif);
        EXPECT_EQ(LvExifReport(e), c.report);
    }
}

// ---- thumbnail ----

TEST(LvThumbnail, SizeIsTheExactIntegerPart) {
    const struct {
        int width, height, percentage, newWidth, newHeight;
    } cases[] = {
        {400, 300, 50, 200, 150},
        {400, 300, 33, 132, 99},
        {1000, 10, 100, 1000, 10},
        {7, 9, 50, 3, 4},
        {3, 3, 1, 1, 1}, // never below one pixel
        {400, 300, 0, 4, 3},
        {400, 300, 250, 400, 300},          // outside 1..100: the nearer end
        {2000000000, 1, 99, 1980000000, 1}, // no overflow on the way
    };
    for (const auto& c : cases) {
        int w = 0, h = 0;
        LvThumbnailSize(c.width, c.height, c.percentage, w, h);
        EXPECT_EQ(w, c.newWidth) << c.width << " at " << c.percentage;
        EXPECT_EQ(h, c.newHeight) << c.height << " at " << c.percentage;
    }
}

TEST(LvThumbnail, CaptionWithTheCameraPart) {
    const struct {
        float exposure, aperture;
        const char* mark;
        bool withExif;
        const char* exifText;
        const char* caption;
    } cases[] = {
        {0.008f, 2.8f, "Mark", true, " 0.008s (1/125) f/2.8", "Mark   0.008s (1/125) f/2.8"},
        {2.0f, 0, "Mark", true, " 2.000s ", "Mark   2.000s"},
        {0, 4.0f, "Mark", true, " f/4.0", "Mark   f/4.0"},
        {0, 0, "Mark", true, "", "Mark"},
        {0.008f, 2.8f, "", true, " 0.008s (1/125) f/2.8", "0.008s (1/125) f/2.8"},
        {0.008f, 2.8f, "  Mark  ", false, " 0.008s (1/125) f/2.8", "Mark"},
        {0, 0, "   ", false, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        ExifInfo e = Plain();
        e.fExposureTime = c.exposure;
        e.fFNumber = c.aperture;
        EXPECT_EQ(LvThumbnailExifText(e), c.exifText);
        EXPECT_EQ(LvThumbnailCaption(c.mark, c.withExif ? &e : nullptr), c.caption);
    }
    EXPECT_STREQ(kLvDefaultThumbnailMark, "Photo by Vesk in 2000.01.01");
    EXPECT_EQ(LvThumbnailFontHeight(202), 3);
    EXPECT_EQ(LvThumbnailFontHeight(1552), 25);
}

// A 400 x 300 picture at 50 %: 200 x 150, a white line (202 x 152), the black frame (222 x 202), then the
// shadow's 8 pixels on every side (238 x 218). Rows here count from the top.
TEST(LvThumbnail, FrameAndShadowAroundTheResampledPicture) {
    CLvImage image(400, 300, 24);
    FillPattern(image, 11);
    CLvImage resampled(image);
    ASSERT_TRUE(resampled.Resample(200, 150, CLvImage::kResampleBilinear));
    ASSERT_TRUE(LvComposeThumbnail(image, 50, ""));
    ASSERT_EQ(image.GetWidth(), 222 + 16);
    ASSERT_EQ(image.GetHeight(), 202 + 16);
    auto at = [&](int x, int row) { return image.GetPixelColor(x, image.GetHeight() - 1 - row); };
    const RGBQUAD white = Quad(255, 255, 255), black = Quad(0, 0, 0), shadow = Quad(89, 89, 89);
    const struct {
        int x, row;
        RGBQUAD color;
    } probes[] = {
        {0, 0, white},      {7, 100, white},    {100, 7, white},   // the shadow's white margins
        {8, 8, black},      {229, 8, black},    {8, 209, black},   // the frame's corners
        {229, 209, black},  {17, 100, black},   {100, 17, black},  // ten pixels left and top
        {18, 18, white},    {219, 169, white},  {18, 169, white},  // the white line's corners
        {100, 170, black},  {100, 209, black},  {220, 100, black}, // forty at the bottom, ten on the right
        {230, 100, shadow}, {100, 210, shadow},                    // the shadow along the frame
    };
    for (const auto& p : probes)
        EXPECT_TRUE(SameColor(at(p.x, p.row), p.color)) << p.x << "," << p.row << ": " << ColorText(at(p.x, p.row));
    // Inside the line, the picture resampled to 200 x 150.
    for (int row = 0; row < 150; row++)
        for (int x = 0; x < 200; x++)
            ASSERT_TRUE(SameColor(at(19 + x, 19 + row), resampled.GetPixelColor(x, 149 - row))) << x << "," << row;
}

TEST(LvThumbnail, PaletteAndGreyPicturesKeepTheirDepth) {
    for (int bpp : {1, 4, 8}) {
        CLvImage image(60, 40, bpp);
        FillPattern(image, 3);
        ASSERT_TRUE(LvComposeThumbnail(image, 50, "x")) << bpp;
        EXPECT_EQ(image.GetBpp(), bpp);
        EXPECT_EQ(image.GetWidth(), 30 + 2 + 20 + 16);
        EXPECT_EQ(image.GetHeight(), 20 + 2 + 50 + 16);
    }
    CLvImage empty;
    EXPECT_FALSE(LvComposeThumbnail(empty, 50, "x"));
}

TEST(LvStampText, DateAndTimeWithLeadingZeros) {
    EXPECT_EQ(LvStampText(2024, 1, 31, 23, 59, 58), "2024.01.31 23:59:58");
    EXPECT_EQ(LvStampText(999, 12, 5, 0, 7, 0), "0999.12.05 00:07:00");
}

// ---- watermark ----

TEST(LvWatermark, TextPayloadRoundTrip) {
    const std::string text = "caf\xc3\xa9 \xe6\x97\xa5 line\r\nnext";
    const std::vector<uint8_t> payload = LvTextWatermark(text);
    ASSERT_EQ(payload.size(), text.size() + 1);
    EXPECT_EQ(payload[0], 0);
    EXPECT_EQ(std::string(payload.begin() + 1, payload.end()), text);
    const LvWatermark mark = LvParseWatermark(payload);
    EXPECT_EQ(mark.kind, kLvWatermarkText);
    EXPECT_EQ(mark.text, text);
    EXPECT_EQ(mark.dataOffset, payload.size());
}

TEST(LvWatermark, FilePayloadHoldsTheNameThenTheBytes) {
    TempDir dir;
    Bytes contents;
    for (int i = 0; i < 300; i++)
        contents.push_back(uint8_t(i * 37));
    const std::string path = dir.Path("notes.dat");
    WriteFileBytes(path, contents);
    std::vector<uint8_t> payload;
    ASSERT_EQ(LvFileWatermark(path, payload), kLvWatermarkReady);
    ASSERT_EQ(payload.size(), 1 + 9 + contents.size());
    EXPECT_EQ(payload[0], 9);
    EXPECT_EQ(std::string(payload.begin() + 1, payload.begin() + 10), "notes.dat");
    EXPECT_TRUE(std::equal(contents.begin(), contents.end(), payload.begin() + 10));
    const LvWatermark mark = LvParseWatermark(payload);
    EXPECT_EQ(mark.kind, kLvWatermarkFile);
    EXPECT_EQ(mark.text, "notes.dat");
    EXPECT_EQ(mark.dataOffset, 10u);

    // The largest payload fits; one byte more is refused without being read whole.
    const std::string fits = dir.Path("fits.bin"), over = dir.Path("over.bin");
    WriteFileBytes(fits, Bytes(kLvMaxWatermarkBytes - 1 - 8, 7));
    WriteFileBytes(over, Bytes(kLvMaxWatermarkBytes - 1 - 8 + 1, 7));
    ASSERT_EQ(LvFileWatermark(fits, payload), kLvWatermarkReady);
    EXPECT_EQ(payload.size(), kLvMaxWatermarkBytes);
    EXPECT_EQ(LvFileWatermark(over, payload), kLvWatermarkTooLong);
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(LvFileWatermark(dir.Path("missing.bin"), payload), kLvWatermarkCannotOpen);
    // An empty file is a name and no bytes.
    WriteFileBytes(dir.Path("e"), Bytes());
    ASSERT_EQ(LvFileWatermark(dir.Path("e"), payload), kLvWatermarkReady);
    EXPECT_EQ(payload, (std::vector<uint8_t>{1, 'e'}));
}

TEST(LvWatermark, StoredNameIsTheLastPartCutTo255Bytes) {
    const std::string longStem(300, 'a'), kanji = "\xe6\x97\xa5";
    std::string manyKanji;
    for (int i = 0; i < 100; i++)
        manyKanji += kanji;
    const struct {
        std::string path, name;
    } cases[] = {
        {"C:\\Users\\me\\notes.dat", "notes.dat"},
        {"/home/me/notes.dat", "notes.dat"},
        {longStem + ".txt", std::string(251, 'a') + ".txt"},
        {manyKanji + ".txt", manyKanji.substr(0, 83 * 3) + ".txt"}, // no character is cut
        {"dir\\", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LvWatermarkFileName(c.path), c.name) << c.path;
}

TEST(LvWatermark, DamagedPayloadsHoldNothing) {
    EXPECT_EQ(LvParseWatermark({}).kind, kLvWatermarkNone);
    EXPECT_EQ(LvParseWatermark({3, 'a', 'b'}).kind, kLvWatermarkNone); // the name passes the end
    const LvWatermark empty = LvParseWatermark({2, 'a', 'b'});
    EXPECT_EQ(empty.kind, kLvWatermarkFile);
    EXPECT_EQ(empty.text, "ab");
    EXPECT_EQ(empty.dataOffset, 3u);
    const LvWatermark noText = LvParseWatermark({0});
    EXPECT_EQ(noText.kind, kLvWatermarkText);
    EXPECT_EQ(noText.text, "");
}

TEST(LvWatermark, HostileNamesBecomePlainNames) {
    const struct {
        std::string stored, plain;
    } cases[] = {
        {"notes.txt", "notes.txt"},
        {"..\\..\\Windows\\system32\\evil.dll", "evil.dll"},
        {"../../etc/passwd", "passwd"},
        {"C:\\boot.ini", "boot.ini"},
        {"C:boot.ini", "C_boot.ini"},
        {"\\\\server\\share\\x.txt", "x.txt"},
        {"..", "watermark"},
        {".", "watermark"},
        {"", "watermark"},
        {"dir/", "watermark"},
        {" . .", "watermark"},
        {"evil.txt. . .", "evil.txt"},
        {"CON", "_CON"},
        {"con.txt", "_con.txt"},
        {"Aux.tar.gz", "_Aux.tar.gz"},
        {"NUL ", "_NUL"},
        {"CON .txt", "_CON .txt"},
        {"CON.", "_CON"},
        {"prn", "_prn"},
        {"COM1.log", "_COM1.log"},
        {"lpt9", "_lpt9"},
        {"com\xc2\xb9.txt", "_com\xc2\xb9.txt"},
        {"CONIN$", "_CONIN$"},
        {"COM10", "COM10"},
        {"CONSOLE.txt", "CONSOLE.txt"},
        {"a<b>c:d\"e|f?g*h.txt", "a_b_c_d_e_f_g_h.txt"},
        {std::string("tab\there\x01\x1f.txt"), "tab_here__.txt"},
        {"caf\xe9.txt", "caf_.txt"},                                      // not UTF-8
        {"\xc0\xaf.txt", "__.txt"},                                       // an overlong slash
        {"\xed\xa0\x80.txt", "___.txt"},                                  // a surrogate
        {"\xe6\x97\xa5\xe6\x9c\xac.txt", "\xe6\x97\xa5\xe6\x9c\xac.txt"}, // real UTF-8 stays
        {std::string(300, 'b') + ".txt", std::string(251, 'b') + ".txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LvPlainFileName(c.stored), c.plain) << c.stored;
}

TEST(LvWatermark, FileIsReplacedOnlyAfterACompleteWrite) {
    TempDir dir;
    const std::string path = dir.Path("out.bin");
    const Bytes first(100, 1), second = {9, 8, 7};
    ASSERT_TRUE(LvWriteFileReplacing(path, first.data(), first.size()));
    EXPECT_EQ(ReadFileBytes(path), first);
    ASSERT_TRUE(LvWriteFileReplacing(path, second.data(), second.size()));
    EXPECT_EQ(ReadFileBytes(path), second);
    EXPECT_FALSE(FileExists(path + ".lvtmp"));
    ASSERT_TRUE(LvWriteFileReplacing(path, nullptr, 0));
    EXPECT_TRUE(ReadFileBytes(path).empty());

    // The file beside it cannot be made (a folder holds its name): the old file stays as it was.
    WriteFileBytes(path, first);
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(path + ".lvtmp")));
    EXPECT_FALSE(LvWriteFileReplacing(path, second.data(), second.size()));
    EXPECT_EQ(ReadFileBytes(path), first);
    std::filesystem::remove(std::filesystem::u8path(path + ".lvtmp"));
    // The target is a folder: nothing replaces it and nothing is left beside it.
    const std::string folder = dir.Path("folder");
    ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(folder)));
    WriteFileBytes(folder + "/inside", first);
    EXPECT_FALSE(LvWriteFileReplacing(folder, second.data(), second.size()));
    EXPECT_EQ(ReadFileBytes(folder + "/inside"), first);
    EXPECT_FALSE(FileExists(folder + ".lvtmp"));
    EXPECT_FALSE(LvWriteFileReplacing("", second.data(), second.size()));
}

} // namespace
