#include "cli/LvCli.h"
#include "LvCliRun.h"
#include "LvTestUtil.h"
#include "effects/LvOperations.h"
#include "formats/LvJpegTurn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        CLvImage image(40, 30, 8);
        FillPattern(image, 4);
        image.SetXDPI(300);
        image.SetYDPI(200);
        bmp = dir.Path("picture.bmp");
        ASSERT_TRUE(image.Encode(bmp.c_str(), LVFMT_BMP));
    }
    TempDir dir;
    std::string bmp;
};

TEST_F(CliTest, InfoAsTextAndJson) {
    CliResult text = RunCli({"info", bmp});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Format: BMP\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Width: 40\n"), std::string::npos);
    EXPECT_NE(text.out.find("Height: 30\n"), std::string::npos);
    EXPECT_NE(text.out.find("Bits per pixel: 8\n"), std::string::npos);
    EXPECT_NE(text.out.find("Frames: 1\n"), std::string::npos);
    EXPECT_NE(text.out.find("Resolution: 300 x 200 dpi\n"), std::string::npos);

    CliResult json = RunCli({"info", "--json", bmp});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out, "{\"format\": \"BMP\", \"width\": 40, \"height\": 30, \"bpp\": 8, \"frames\": 1, "
                        "\"xdpi\": 300, \"ydpi\": 200}\n");
}

TEST_F(CliTest, ConvertWritesTheFormatOfTheExtension) {
    std::string out = dir.Path("copy.BMP");
    CliResult result = RunCli({"convert", bmp, out});
    EXPECT_EQ(result.code, 0) << result.err;
    CLvImage a(bmp.c_str(), LVFMT_BMP), b(out.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SamePicture(a, b));
}

TEST_F(CliTest, ConvertChangesTheColourDepth) {
    for (const char* bpp : {"1", "4", "24", "8"}) {
        std::string out = dir.Path(std::string("depth") + bpp + ".bmp");
        CliResult result = RunCli({"convert", "--bpp", bpp, bmp, out});
        ASSERT_EQ(result.code, 0) << result.err;
        CLvImage image(out.c_str(), LVFMT_BMP);
        EXPECT_EQ(image.GetBpp(), atoi(bpp));
    }
    CliResult wrong = RunCli({"convert", "--bpp", "16", bmp, dir.Path("x.bmp")});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_NE(wrong.err.find("--bpp takes 1, 4, 8 or 24"), std::string::npos);
}

TEST_F(CliTest, AutoOrientStandsAPhotoUp) {
    // The camera data of orient-6.jpg say its 48 x 32 stored picture stands 32 wide and 48 high.
    const std::string photo = DataPath("jpeg/orient-6.jpg");
    const struct {
        std::vector<std::string> args;
        int width, height;
    } cases[] = {
        {{"convert", photo, dir.Path("stored.bmp")}, 48, 32},
        {{"convert", "--auto-orient", photo, dir.Path("turned.bmp")}, 32, 48},
        {{"apply", "--auto-orient", photo, dir.Path("applied.bmp"), "mirror"}, 32, 48},
        // Not a photo with camera data: as read.
        {{"convert", "--auto-orient", bmp, dir.Path("plain.bmp")}, 40, 30},
    };
    for (const auto& c : cases) {
        CliResult result = RunCli(c.args);
        ASSERT_EQ(result.code, 0) << result.err;
        CLvImage back;
        ASSERT_TRUE(back.Load(c.args[c.args.size() - (c.args[0] == "apply" ? 2 : 1)].c_str(), LVFMT_BMP));
        EXPECT_EQ(back.GetWidth(), c.width) << c.args[1];
        EXPECT_EQ(back.GetHeight(), c.height) << c.args[1];
    }
}

#ifndef _WIN32
// What the EXIF tool reads in each file: tag name to value (numbers as numbers). One run for all files, as
// the tool takes a while to start.
std::vector<std::map<std::string, std::string>> ExifToolTags(const std::vector<std::string>& paths) {
    std::vector<std::map<std::string, std::string>> tags(paths.size());
    std::string command = "exiftool -n -S -Make -Model -DateTimeOriginal -ExposureTime -FNumber -GPSLatitude "
                          "-GPSLongitude -Orientation -ThumbnailLength -ExifImageWidth -ExifImageHeight -ProfileClass";
    for (const std::string& path : paths)
        command += " '" + path + "'";
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return tags;
    char line[512];
    size_t file = 0;
    while (fgets(line, sizeof(line), pipe)) {
        std::string text(line);
        text = text.substr(0, text.find_last_not_of("\r\n") + 1);
        if (text.compare(0, 9, "======== ") == 0) {
            for (size_t i = 0; i < paths.size(); i++)
                if (text.substr(9) == paths[i]) file = i;
            continue;
        }
        const size_t colon = text.find(": ");
        if (colon != std::string::npos && file < paths.size())
            tags[file][text.substr(0, colon)] = text.substr(colon + 2);
    }
    pclose(pipe);
    return tags;
}

// camera-photo.jpg: a 48 x 32 photo with make, model, date, exposure, GPS, orientation 6, a thumbnail and a
// colour profile. What a JPEG written from it carries, by what happened to its pixels, as the EXIF tool
// reads it (natively; under Wine the program's tests read the saved files back themselves).
TEST_F(CliTest, JpegsWrittenFromAPhotoKeepItsCameraData) {
    const std::string photo = DataPath("jpeg/camera-photo.jpg");
    const struct {
        std::vector<std::string> before; // the command and its options
        std::vector<std::string> after;  // operations
        const char* orientation;         // nullptr: no camera data at all
        bool thumbnail;
        const char* width;
        const char* height;
    } cases[] = {
        {{"convert"}, {}, "6", true, "48", "32"},
        {{"convert", "--quality", "60"}, {}, "6", true, "48", "32"},
        {{"convert", "--auto-orient"}, {}, "1", false, "32", "48"},
        {{"apply"}, {"rotate-left"}, "1", false, "32", "48"},
        {{"apply"}, {"mirror"}, "1", false, "48", "32"},
        {{"apply"}, {"negative"}, "6", false, "48", "32"},
        {{"apply", "--reencode"}, {"rotate-left"}, "1", false, "32", "48"},
        // Turns that add up to none leave the picture as stored: the tag and the thumbnail still fit.
        {{"apply"}, {"rotate-left", "rotate-right"}, "6", true, "48", "32"},
        {{"apply", "--auto-orient"}, {"rotate-left"}, "6", true, "48", "32"},
        {{"convert", "--strip"}, {}, nullptr, false, nullptr, nullptr},
        {{"apply", "--strip"}, {"rotate-180"}, nullptr, false, nullptr, nullptr},
        // Other formats carry none.
        {{"convert"}, {}, nullptr, false, nullptr, nullptr},
    };
    std::vector<std::string> files = {photo};
    std::vector<std::string> names;
    for (const auto& c : cases) {
        const bool toBmp = &c == &cases[sizeof(cases) / sizeof(cases[0]) - 1];
        files.push_back(dir.Path("out" + std::to_string(files.size()) + (toBmp ? ".bmp" : ".jpg")));
        std::vector<std::string> args(c.before);
        args.push_back(photo);
        args.push_back(files.back());
        args.insert(args.end(), c.after.begin(), c.after.end());
        names.push_back(args[0] + " " + args[1] + (c.after.empty() ? "" : " " + c.after[0]) + (toBmp ? " (BMP)" : ""));
        CliResult result = RunCli(args);
        ASSERT_EQ(result.code, 0) << names.back() << ": " << result.err;
    }
    const std::vector<std::map<std::string, std::string>> read = ExifToolTags(files);
    const std::map<std::string, std::string>& original = read[0];
    ASSERT_EQ(original.count("Make"), 1u) << "exiftool (libimage-exiftool-perl) is needed";
    ASSERT_EQ(original.at("Orientation"), "6");
    ASSERT_EQ(original.count("ThumbnailLength"), 1u);
    for (size_t i = 0; i < names.size(); i++) {
        const auto& c = cases[i];
        const std::string& what = names[i];
        std::map<std::string, std::string> tags = read[i + 1];
        if (!c.orientation) {
            for (const char* gone : {"Make", "Model", "GPSLatitude", "Orientation", "ThumbnailLength", "ProfileClass"})
                EXPECT_EQ(tags.count(gone), 0u) << what << ": " << gone;
            continue;
        }
        for (const char* kept : {"Make", "Model", "DateTimeOriginal", "ExposureTime", "FNumber", "GPSLatitude",
                                 "GPSLongitude", "ProfileClass"})
            EXPECT_EQ(tags[kept], original.at(kept)) << what << ": " << kept;
        EXPECT_EQ(tags["Orientation"], c.orientation) << what;
        EXPECT_EQ(tags.count("ThumbnailLength"), c.thumbnail ? 1u : 0u) << what;
        EXPECT_EQ(tags["ExifImageWidth"], c.width) << what;
        EXPECT_EQ(tags["ExifImageHeight"], c.height) << what;
    }
}
#endif

// apply turns a JPEG into a JPEG without decoding it when it only turns it; the turns of a chain add up to one.
TEST_F(CliTest, TurningAJpegLosesNothing) {
    const std::string photo = DataPath("jpeg/baseline.jpg");
    const Bytes source = ReadFileBytes(photo);
    auto lossless = [&](LvTurn turn) {
        Bytes bytes;
        std::string error;
        EXPECT_EQ(LvTurnJpeg(source, turn, LvCameraData(), bytes, error), kLvJpegTurned) << error;
        return bytes;
    };
    const std::string out = dir.Path("out.jpg");
    const struct {
        std::vector<std::string> operations;
        LvTurn turn;
    } chains[] = {
        {{"rotate-right"}, kLvTurnRight},
        {{"rotate-left"}, kLvTurnLeft},
        {{"rotate-180"}, kLvTurn180},
        {{"mirror"}, kLvTurnMirror},
        {{"flip"}, kLvTurnFlip},
        {{"rotate-right", "mirror"}, kLvTurnTranspose},
        {{"rotate-right", "rotate-right", "rotate-right", "rotate-right"}, kLvTurnNone},
    };
    for (const auto& c : chains) {
        std::vector<std::string> args = {"apply", photo, out};
        args.insert(args.end(), c.operations.begin(), c.operations.end());
        const CliResult result = RunCli(args);
        ASSERT_EQ(result.code, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(ReadFileBytes(out), lossless(c.turn)) << args[3] << " ... (" << c.operations.size() << ")";
    }
    // Four quarter turns: the original's pixels, exactly.
    CLvImage original(photo.c_str(), LVFMT_JPG), back(out.c_str(), LVFMT_JPG);
    std::string where;
    EXPECT_TRUE(SamePicture(back, original, &where)) << where;

    // Re-encoded on request, or when anything else happened to the pixels.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"apply", "--reencode", photo, out, "rotate-right"},
          std::vector<std::string>{"apply", photo, out, "rotate-right", "negative"}}) {
        const CliResult result = RunCli(args);
        ASSERT_EQ(result.code, 0) << result.err;
        EXPECT_EQ(result.err, "");
        const Bytes written = ReadFileBytes(out);
        EXPECT_NE(written, lossless(kLvTurnRight));
        CLvImage image(out.c_str(), LVFMT_JPG);
        EXPECT_EQ(image.GetWidth(), 32);
        EXPECT_EQ(image.GetHeight(), 48);
    }

    // 45 x 30 is not whole blocks: re-encoded, and said so; turns that add up to none are still exact.
    const std::string odd = DataPath("jpeg/odd-size.jpg");
    CliResult result = RunCli({"apply", odd, out, "rotate-right"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.err.find("re-encoded"), std::string::npos) << result.err;
    CLvImage turned(out.c_str(), LVFMT_JPG);
    EXPECT_EQ(turned.GetWidth(), 30);
    EXPECT_EQ(turned.GetHeight(), 45);
    result = RunCli({"apply", odd, out, "rotate-right", "rotate-left"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    CLvImage same(out.c_str(), LVFMT_JPG), oddOriginal(odd.c_str(), LVFMT_JPG);
    EXPECT_TRUE(SamePicture(same, oddOriginal, &where)) << where;
}

TEST_F(CliTest, FailuresSayWhy) {
    WriteFileBytes(dir.Path("junk.bmp"), Bytes(64, 'j'));
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"info"}, 2, "usage"},
        {{"info", "--color", bmp}, 2, "unknown option --color"},
        {{"info", dir.Path("junk.bmp")}, 1, "Error reading BMP info"},
        {{"info", dir.Path("missing.bmp")}, 1, "cannot open the file"},
        {{"convert", bmp, dir.Path("out.xyz")}, 2, "unknown output format \"xyz\""},
        {{"convert", bmp, dir.Path("out")}, 2, "unknown output format"},
        {{"convert", bmp, dir.Path("out.wmf")}, 1, "Save WMF not supported"},
        {{"convert", dir.Path("junk.bmp"), dir.Path("out.bmp")}, 1, "Error reading BMP info"},
        {{"convert", bmp, dir.Path("no/such/folder/out.bmp")}, 1, "cannot write the file"},
        {{"convert", "--quality", "0", bmp, dir.Path("out.jpg")}, 2, "--quality takes 1 to 100"},
        {{"convert", "--tiff-compression", "zip", bmp, dir.Path("out.tif")}, 2, "--tiff-compression takes"},
        {{"convert", "--frame", "x", bmp, dir.Path("out.tif")}, 2, "--frame takes"},
        {{"info", "--frame", "7", DataPath("tiff/three-pages.tif")}, 1, "frame 7 not present (the file has 3)"},
    };
    for (const Case& c : cases) {
        CliResult result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FileExists(dir.Path("out.bmp")));
}

// Every extension the program opens and saves: ".jpeg" and ".tiff" as well as the names of the folder scans,
// in any case.
TEST_F(CliTest, TheProgramsExtensionsInAndOut) {
    const std::string colour = dir.Path("colour.bmp");
    ASSERT_EQ(RunCli({"convert", "--bpp", "24", bmp, colour}).code, 0);
    CLvImage original(colour.c_str(), LVFMT_BMP);
    const struct {
        const char* ext;
        const char* format;
    } cases[] = {{"jpeg", "JPG"}, {"JPG", "JPG"}, {"tiff", "TIF"}, {"Tif", "TIF"}, {"bmp", "BMP"}, {"PNG", "PNG"}};
    for (const auto& c : cases) {
        const char* ext = c.ext;
        const std::string format = c.format;
        std::string out = dir.Path(std::string("picture.") + ext);
        CliResult there = RunCli({"convert", colour, out});
        ASSERT_EQ(there.code, 0) << ext << ": " << there.err;
        CliResult info = RunCli({"info", "--json", out});
        ASSERT_EQ(info.code, 0) << ext << ": " << info.err;
        EXPECT_NE(info.out.find("\"format\": \"" + format + "\""), std::string::npos) << ext << ": " << info.out;
        // Read back by the name's own extension, the picture is the one written (24-bit JPEG and TIFF are
        // coded with loss by default).
        CliResult back = RunCli({"convert", out, dir.Path("back.bmp")});
        ASSERT_EQ(back.code, 0) << ext << ": " << back.err;
        CLvImage read(dir.Path("back.bmp").c_str(), LVFMT_BMP);
        EXPECT_EQ(read.GetWidth(), original.GetWidth()) << ext;
        if (format == "BMP" || format == "PNG") {
            EXPECT_TRUE(SamePicture(read, original)) << ext;
        }
    }
}

TEST_F(CliTest, ConvertWritesAndReadsGifIcoTgaPcxAndWbmp) {
    CLvImage original(bmp.c_str(), LVFMT_BMP);
    for (const char* ext : {"gif", "ico", "tga", "pcx"}) {
        std::string out = dir.Path(std::string("picture.") + ext);
        CliResult there = RunCli({"convert", bmp, out});
        ASSERT_EQ(there.code, 0) << ext << ": " << there.err;
        std::string back = dir.Path(std::string("back-") + ext + ".bmp");
        CliResult again = RunCli({"convert", out, back});
        ASSERT_EQ(again.code, 0) << ext << ": " << again.err;
        CLvImage result(back.c_str(), LVFMT_BMP);
        EXPECT_TRUE(SamePicture(result, original)) << ext;
    }
    // WBMP holds 1-bit pictures only.
    std::string wbmp = dir.Path("picture.wbmp");
    CliResult refused = RunCli({"convert", bmp, wbmp});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("Can't save this image as WBMP"), std::string::npos) << refused.err;
    ASSERT_EQ(RunCli({"convert", "--bpp", "1", bmp, wbmp}).code, 0);
    std::string bilevel = dir.Path("bilevel.bmp");
    ASSERT_EQ(RunCli({"convert", "--bpp", "1", bmp, bilevel}).code, 0);
    CLvImage fromWbmp(wbmp.c_str(), LVFMT_WBMP), fromBmp(bilevel.c_str(), LVFMT_BMP);
    EXPECT_EQ(fromWbmp.GetFormat(), DWORD(LVFMT_WBMP));
    EXPECT_TRUE(SamePicture(fromWbmp, fromBmp));
}

TEST_F(CliTest, GifEncodingChoosesTheCoder) {
    std::map<std::string, Bytes> files;
    for (const char* coder : {"rle", "none", "lzw"}) {
        std::string out = dir.Path(std::string(coder) + ".gif");
        CliResult result = RunCli({"convert", "--gif-encoding", coder, bmp, out});
        ASSERT_EQ(result.code, 0) << coder << ": " << result.err;
        files[coder] = ReadFileBytes(out);
        CLvImage a(bmp.c_str(), LVFMT_BMP), b(out.c_str(), LVFMT_GIF);
        EXPECT_TRUE(SamePicture(a, b)) << coder;
    }
    EXPECT_NE(files["rle"], files["lzw"]);
    EXPECT_GT(files["none"].size(), files["lzw"].size());
    // Without the option the run-length coder writes.
    ASSERT_EQ(RunCli({"convert", bmp, dir.Path("default.gif")}).code, 0);
    EXPECT_EQ(ReadFileBytes(dir.Path("default.gif")), files["rle"]);

    CliResult unknown = RunCli({"convert", "--gif-encoding", "zip", bmp, dir.Path("x.gif")});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("unknown GIF encoding \"zip\""), std::string::npos) << unknown.err;
    CliResult notGif = RunCli({"convert", "--gif-encoding", "lzw", bmp, dir.Path("x.tga")});
    EXPECT_EQ(notGif.code, 2);
    EXPECT_NE(notGif.err.find("GIF output only"), std::string::npos) << notGif.err;
    EXPECT_FALSE(FileExists(dir.Path("x.gif")) || FileExists(dir.Path("x.tga")));
}

TEST_F(CliTest, InfoCountsFramesAndIcons) {
    const struct {
        const char* file;
        const char* format;
    } files[] = {{"gif/anim.gif", "GIF"}, {"ico/mix.ico", "ICO"}};
    for (const auto& f : files) {
        CliResult text = RunCli({"info", DataPath(f.file)});
        EXPECT_EQ(text.code, 0) << text.err;
        EXPECT_NE(text.out.find(std::string("Format: ") + f.format + "\n"), std::string::npos) << text.out;
        EXPECT_NE(text.out.find("Frames: 3\n"), std::string::npos) << text.out;
        CliResult json = RunCli({"info", "--json", DataPath(f.file)});
        EXPECT_NE(json.out.find("\"frames\": 3"), std::string::npos) << json.out;
    }
}

TEST_F(CliTest, InfoShowsExifAndPages) {
    std::string camera = DataPath("jpeg/camera-Canon.jpg");
    CliResult text = RunCli({"info", camera});
    EXPECT_EQ(text.code, 0) << text.err;
    for (const char* line :
         {"Camera make: Canon\n", "Camera model: Canon EOS DIGITAL REBEL\n", "Date and time: 2003:12:04 06:46:52\n",
          "F-number: 14\n", "ISO: 100\n", "Focal length: 34 mm\n", "Flash: not fired\n", "Resolution: 180 x 180 dpi\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << text.out;

    CliResult json = RunCli({"info", "--json", camera});
    EXPECT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"exif\": {\"make\": \"Canon\", \"model\": \"Canon EOS DIGITAL REBEL\", \"datetime\": "
                            "\"2003:12:04 06:46:52\", \"exposure_time\": 4, \"f_number\": 14, \"iso\": 100, "
                            "\"focal_length\": 34, \"orientation\": 1, \"flash\": 0, \"comment\": \"\", "
                            "\"x_resolution\": 180, \"y_resolution\": 180}}"),
              std::string::npos)
        << json.out;
    // Files without EXIF data have no exif member.
    CliResult plain = RunCli({"info", "--json", DataPath("jpeg/baseline.jpg")});
    EXPECT_EQ(plain.out.find("exif"), std::string::npos) << plain.out;

    CliResult pages = RunCli({"info", "--json", "--frame", "1", DataPath("tiff/three-pages.tif")});
    EXPECT_EQ(pages.code, 0) << pages.err;
    EXPECT_NE(pages.out.find("\"width\": 20, \"height\": 15, \"bpp\": 24, \"frames\": 3"), std::string::npos)
        << pages.out;
}

TEST_F(CliTest, ConvertBetweenJpegPngAndTiffWithOptions) {
    std::string tif = dir.Path("out.tif"), jpg = dir.Path("out.jpg"), png = dir.Path("out.png");
    CliResult toTiff = RunCli({"convert", "--tiff-compression", "lzw", bmp, tif});
    ASSERT_EQ(toTiff.code, 0) << toTiff.err;
    CLvImage original, tiff;
    ASSERT_TRUE(original.Load(bmp.c_str(), LVFMT_BMP));
    ASSERT_TRUE(tiff.Load(tif.c_str(), LVFMT_TIF));
    EXPECT_TRUE(SamePicture(tiff, original));
    EXPECT_EQ(tiff.GetXDPI(), 300);

    // JPEG needs colour or grey: the 8-bit picture goes through --bpp 24.
    ASSERT_EQ(RunCli({"convert", "--bpp", "24", "--quality", "100", tif, jpg}).code, 0);
    ASSERT_EQ(RunCli({"convert", "--bpp", "24", "--quality", "5", tif, dir.Path("small.jpg")}).code, 0);
    EXPECT_GT(ReadFileBytes(jpg).size(), ReadFileBytes(dir.Path("small.jpg")).size());
    ASSERT_EQ(RunCli({"convert", jpg, png}).code, 0);
    CLvImage back;
    ASSERT_TRUE(back.Load(png.c_str(), LVFMT_PNG));
    EXPECT_EQ(back.GetWidth(), 40);

    ASSERT_EQ(RunCli({"convert", "--frame", "2", DataPath("tiff/three-pages.tif"), png}).code, 0);
    ASSERT_TRUE(back.Load(png.c_str(), LVFMT_PNG));
    EXPECT_EQ(back.GetWidth(), 10);
}

TEST_F(CliTest, ApplyRunsAChainOfOperations) {
    std::string out = dir.Path("turned.bmp");
    CliResult result = RunCli({"apply", bmp, out, "rotate-left", "mirror", "crop", "1", "2", "11", "32"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage expected(bmp.c_str(), LVFMT_BMP);
    ASSERT_TRUE(expected.RotateLeft());
    ASSERT_TRUE(expected.Mirror());
    ASSERT_TRUE(expected.Crop(1, 2, 11, 32));
    CLvImage written(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(written.GetWidth(), 10);
    EXPECT_EQ(written.GetHeight(), 30);
    EXPECT_TRUE(SamePicture(written, expected));
}

TEST_F(CliTest, ApplyWithAColourAndASelection) {
    std::string in = dir.Path("rgb.bmp"), out = dir.Path("filled.bmp");
    CLvImage image(20, 10, 24);
    image.Clear(0);
    ASSERT_TRUE(image.Encode(in.c_str(), LVFMT_BMP));
    // Columns 2..5 and screen rows 1..3 (stored rows 6..8), painted in the foreground colour.
    CliResult result = RunCli({"apply", "--color", "#FF8000", "--select", "2,1,6,4", in, out, "region-fill"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage written(out.c_str(), LVFMT_BMP);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 20; x++) {
            bool inside = x >= 2 && x < 6 && y >= 6 && y < 9;
            ASSERT_TRUE(SameColor(written.GetPixelColor(x, y), inside ? Quad(255, 128, 0) : Quad(0, 0, 0)))
                << x << "," << y;
        }
    // An added edge takes the foreground colour, given as R,G,B.
    result = RunCli({"apply", "--color", "1,2,3", in, out, "add-edge", "1", "0", "0", "0"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage edged(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(edged.GetWidth(), 21);
    EXPECT_TRUE(SameColor(edged.GetPixelColor(0, 5), Quad(1, 2, 3)));
}

// Words of an operation's choices that also name operations ("median", "ellipse") are its arguments where it
// takes them there.
TEST_F(CliTest, ApplyTakesChoiceWordsThatNameOperationsAsArguments) {
    struct Case {
        std::vector<std::string> options;
        std::vector<std::vector<std::string>> chain; // operation name, then its words
    } cases[] = {
        {{}, {{"local-threshold", "median", "5", "3"}}},
        {{"--select", "5,5,30,25"}, {{"feather", "4", "ellipse"}}},
        {{"--select", "5,5,30,25"}, {{"feather", "4", "ellipse"}, {"ellipse"}}},
        {{}, {{"median"}, {"median"}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"apply"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const std::string out = dir.Path("chain.bmp");
        args.push_back(bmp);
        args.push_back(out);
        CLvImage expected(bmp.c_str(), LVFMT_BMP);
        if (!c.options.empty()) expected.SelectionAddRect(5, 30 - 5, 30, 30 - 25);
        for (const auto& call : c.chain) {
            args.insert(args.end(), call.begin(), call.end());
            const LvOperation* op = LvFindOperation(call[0]);
            ASSERT_NE(op, nullptr);
            LvOpParams params;
            std::string error;
            ASSERT_TRUE(
                LvParseOperation(*op, std::vector<std::string>(call.begin() + 1, call.end()), &expected, params, error))
                << error;
            ASSERT_TRUE(LvRunOperation(*op, expected, params, LvOpContext()));
        }
        CliResult result = RunCli(args);
        ASSERT_EQ(result.code, 0) << result.err;
        CLvImage written(out.c_str(), LVFMT_BMP);
        EXPECT_TRUE(SamePicture(written, expected)) << args.back();
    }
}

// Camera texts in Latin-1 still make valid JSON.
TEST_F(CliTest, InfoJsonTakesNonUtf8CameraTextsAsLatin1) {
    Bytes bytes = ReadFileBytes(DataPath("jpeg/camera-Canon.jpg"));
    const char make[] = "Canon"; // with its terminating zero: the make, not the model
    auto at = std::search(bytes.begin(), bytes.end(), make, make + sizeof(make));
    ASSERT_NE(at, bytes.end());
    at[3] = 0xE9; // "Can\xE9n"
    const std::string file = dir.Path("latin1.jpg");
    WriteFileBytes(file, bytes);
    CliResult json = RunCli({"info", "--json", file});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"make\": \"Can\\u00e9n\""), std::string::npos) << json.out;
    for (unsigned char ch : json.out)
        EXPECT_LT(ch, 0x80);
}

// ".emf" files go to the metafile reader, as ".wmf" files do.
TEST_F(CliTest, EnhancedMetafilesByTheirExtension) {
    CliResult result = RunCli({"info", DataPath("wmf/gdi-shapes.emf")});
#ifdef _WIN32
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_NE(result.out.find("Format: WMF\n"), std::string::npos) << result.out;
#else
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("WMF/EMF pictures can only be rendered on Windows"), std::string::npos) << result.err;
#endif
}

TEST_F(CliTest, ApplyResizesInPercentAndChangesColours) {
    std::string out = dir.Path("small.bmp");
    CliResult result = RunCli({"apply", bmp, out, "resize", "50%", "bilinear", "gray", "gamma", "1.5"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage expected(bmp.c_str(), LVFMT_BMP);
    ASSERT_TRUE(expected.Resample(20, 15, 1));
    ASSERT_TRUE(expected.GrayScale());
    ASSERT_TRUE(expected.Gamma(1.5f));
    CLvImage written(out.c_str(), LVFMT_BMP);
    EXPECT_EQ(written.GetBpp(), 8);
    EXPECT_TRUE(SamePicture(written, expected));

    // Red eyes need a selection round the eye.
    std::string eye = dir.Path("eye.bmp");
    CLvImage red(10, 10, 24);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++)
            red.SetPixelColor(x, y, Quad(220, 30, 40));
    ASSERT_TRUE(red.Encode(eye.c_str(), LVFMT_BMP));
    result = RunCli({"apply", "--select-ellipse", "2,2,8,8", eye, out, "red-eye", "0"});
    ASSERT_EQ(result.code, 0) << result.err;
    CLvImage fixed(out.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SameColor(fixed.GetPixelColor(5, 5), Quad(30, 30, 40)));
    EXPECT_TRUE(SameColor(fixed.GetPixelColor(0, 0), Quad(220, 30, 40)));
}

TEST_F(CliTest, ApplyListShowsEveryOperation) {
    CliResult result = RunCli({"apply", "--list"});
    ASSERT_EQ(result.code, 0);
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (size_t i = 0; i < count; i++)
        EXPECT_NE(result.out.find("  " + LvOperationUsage(table[i]) + " "), std::string::npos) << table[i].name;
}

TEST_F(CliTest, ApplyChecksEveryWordBeforeReading) {
    std::string out = dir.Path("out.bmp");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;
    };
    const Case cases[] = {
        {{"apply", bmp, out}, 2, "usage"},
        {{"apply", bmp, out, "sharpen-all"}, 2, "unknown operation \"sharpen-all\""},
        {{"apply", bmp, out, "5", "mirror"}, 2, "unknown operation \"5\""},
        {{"apply", bmp, out, "mirror", "crop", "1", "2"}, 2, "RIGHT is missing"},
        {{"apply", dir.Path("missing.bmp"), out, "mirror", "crop", "1"}, 2, "TOP is missing"},
        {{"apply", bmp, dir.Path("out.xyz"), "mirror"}, 2, "unknown output format"},
        {{"apply", "--color", "red", bmp, out, "mirror"}, 2, "--color takes RRGGBB or R,G,B"},
        {{"apply", "--select", "1,2,3", bmp, out, "mirror"}, 2, "--select takes LEFT,TOP,RIGHT,BOTTOM"},
        {{"apply", "--select", "1,1,2,2", "--select-ellipse", "1,1,4,4", bmp, out, "mirror"}, 2, "either"},
        {{"apply", dir.Path("missing.bmp"), out, "mirror"}, 1, "cannot open the file"},
        {{"apply", bmp, out, "crop", "5", "5", "5", "9"}, 1, "crop failed"},
        {{"apply", "--select-ellipse", "3,3,3,9", bmp, out, "mirror"}, 2, "selects nothing"},
        {{"apply", "--select", "3,3,3,9", bmp, out, "region-fill"}, 2, "selects nothing"},
        {{"apply", bmp, out, "gamma", "1.2345"}, 2, "at most 3 decimals"},
    };
    for (const Case& c : cases) {
        CliResult result = RunCli(c.args);
        EXPECT_EQ(result.code, c.code) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
    }
    EXPECT_FALSE(FileExists(out)) << "nothing is written after a failure";
}

} // namespace
