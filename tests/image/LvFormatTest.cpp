#include "LvTestUtil.h"
#include "image/LvFileExt.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FileExt, Helpers) {
    EXPECT_EQ(GetFileExt("photo.JPG"), "JPG");
    EXPECT_EQ(GetFileExt("archive.tar.gz"), "gz");
    EXPECT_EQ(GetFileExt("noext"), "");
    EXPECT_EQ(GetFileExt("trailing."), "");
    EXPECT_EQ(GetFileExt("C:\\my.photos\\scan"), "");
    EXPECT_EQ(GetFileExt("/home/u/my.photos/scan.tif"), "tif");

    const char* supported[] = {"BMP", "gif", "Jpg", "PNG", "ICO", "TIF", "TGA", "PCX", "WBMP", "WMF", "emf"};
    for (const char* ext : supported)
        EXPECT_TRUE(IsSupportedExt(ext)) << ext;
    const char* unsupported[] = {"JPEG", "TIFF", "J2K", "", "BMPX", "txt"};
    for (const char* ext : unsupported)
        EXPECT_FALSE(IsSupportedExt(ext)) << ext;

    const char* pairs[] = {"BMP", "GIF", "JPG", "PNG", "ICO", "TIF", "TGA", "PCX", "WBMP", "WMF"};
    for (DWORD code = 1; code <= 10; code++) {
        EXPECT_EQ(GetTypeFromExt(pairs[code - 1]), code);
        EXPECT_EQ(GetExtFromType(code), pairs[code - 1]);
    }
    EXPECT_EQ(GetTypeFromExt("jpg"), DWORD(LVFMT_JPG));
    EXPECT_EQ(GetTypeFromExt("EMF"), 0u);
    EXPECT_EQ(GetTypeFromExt("JPEG"), 0u);
    EXPECT_EQ(GetExtFromType(0), "");
    EXPECT_EQ(GetExtFromType(11), "");
}

// A small 24-bit BMP file made by the engine itself.
Bytes SmallBmp() {
    CLvImage image(5, 3, 24);
    FillPattern(image, 7);
    return EncodeToBytes(image, LVFMT_BMP);
}

TEST(FormatDispatch, UnknownCodesFailWithTheirTexts) {
    CLvImage image(2, 2, 24);
    FillPattern(image, 1);
    CLvImage before(image);
    EXPECT_FALSE(DecodeBytes(image, SmallBmp(), 11));
    EXPECT_STREQ(image.GetLastErrorText(), "Decode: Unknown or wrong format");
    CLvMemStream out;
    EXPECT_FALSE(image.Encode(&out, 0));
    EXPECT_STREQ(image.GetLastErrorText(), "Encode: Unknown format");
    image.SetLastErrorText("");
    EXPECT_FALSE(image.Encode(&out, 11));
    EXPECT_STREQ(image.GetLastErrorText(), "Encode: Unknown format");
    EXPECT_FALSE(image.Encode(&out, LVFMT_WMF));
    EXPECT_STREQ(image.GetLastErrorText(), "Save WMF not supported");
    EXPECT_EQ(out.GetLength(), 0u);
    EXPECT_TRUE(SamePicture(image, before));
}

TEST(FormatDispatch, DetectionFindsTheReaderAndKeepsTheStreamStart) {
    Bytes bmp = SmallBmp();
    // The picture starts 5 bytes into the stream: detection must seek back to there, not to 0.
    Bytes prefixed = ByteWriter().Fill(5, 'x').Append(bmp).bytes();
    CLvMemStream stream(prefixed.data(), prefixed.size());
    ASSERT_TRUE(stream.Seek(5, SEEK_SET));
    CLvImage image(LVFMT_PNG);
    ASSERT_TRUE(image.Decode(&stream, LVFMT_UNKNOWN)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_BMP));
    EXPECT_EQ(image.GetWidth(), 5);

    CLvImage garbage;
    Bytes text(200, 'a');
    EXPECT_FALSE(DecodeBytes(garbage, text, LVFMT_UNKNOWN));
    EXPECT_STREQ(garbage.GetLastErrorText(), "Decode: Unknown or wrong format");
}

TEST(FormatDispatch, AFailedReadLeavesTheImageAsItWas) {
    CLvImage image(4, 4, 8);
    FillPattern(image, 5);
    CLvImage before(image);
    Bytes bmp = SmallBmp();
    bmp.resize(bmp.size() - 1);
    EXPECT_FALSE(DecodeBytes(image, bmp, LVFMT_BMP));
    EXPECT_TRUE(SamePicture(image, before));
    EXPECT_EQ(image.GetFormat(), before.GetFormat());
    EXPECT_STRNE(image.GetLastErrorText(), "");
}

TEST(FormatLoad, FallsBackToDetectionAndKeepsTheExplicitReadersComplaint) {
    TempDir dir;
    // A bitmap misnamed .jpg, loaded as JPEG: detection finds it.
    std::string misnamed = dir.Path("picture.jpg");
    WriteFileBytes(misnamed, SmallBmp());
    CLvImage image;
    ASSERT_TRUE(image.Load(misnamed.c_str(), LVFMT_JPG)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetFormat(), DWORD(LVFMT_BMP));

    // A text file loaded as BMP: both passes fail and the BMP reader's text stays.
    std::string textFile = dir.Path("notes.bmp");
    WriteFileBytes(textFile, Bytes(100, 'q'));
    CLvImage failed;
    EXPECT_FALSE(failed.Load(textFile.c_str(), LVFMT_BMP));
    EXPECT_STREQ(failed.GetLastErrorText(), "Error reading BMP info");
    // Without a format the detection text is what is left.
    EXPECT_FALSE(failed.Load(textFile.c_str(), LVFMT_UNKNOWN));
    EXPECT_STREQ(failed.GetLastErrorText(), "Decode: Unknown or wrong format");

    // A missing file fails silently.
    CLvImage missing;
    EXPECT_FALSE(missing.Load(dir.Path("none.bmp").c_str(), LVFMT_BMP));
    EXPECT_STREQ(missing.GetLastErrorText(), "");
    // The file-name constructor loads too.
    CLvImage constructed(misnamed.c_str(), LVFMT_UNKNOWN);
    EXPECT_TRUE(constructed.IsValid());
}

TEST(FormatEncodeFile, WritesUnicodeNamesAndReplacesOnlyOnSuccess) {
    TempDir dir;
    CLvImage image(6, 4, 24);
    FillPattern(image, 11);
    std::string path = dir.Path("Fotoğraf 日本.bmp");
    ASSERT_TRUE(image.Encode(path.c_str(), LVFMT_BMP));
    CLvImage back(path.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SamePicture(back, image));

    // A failing encode (an empty image, or a format with no writer) leaves the existing file alone and no
    // temporary file behind.
    Bytes original = ReadFileBytes(path);
    CLvImage empty;
    EXPECT_FALSE(empty.Encode(path.c_str(), LVFMT_BMP));
    EXPECT_STREQ(empty.GetLastErrorText(), "No image to write");
    EXPECT_FALSE(image.Encode(path.c_str(), LVFMT_WMF));
    EXPECT_EQ(ReadFileBytes(path), original);
    EXPECT_FALSE(FileExists(path + ".lvtmp"));

    // A successful encode replaces the file.
    CLvImage other(3, 3, 8);
    FillPattern(other, 12);
    ASSERT_TRUE(other.Encode(path.c_str(), LVFMT_BMP));
    CLvImage replaced(path.c_str(), LVFMT_BMP);
    EXPECT_TRUE(SamePicture(replaced, other));

    // A folder that does not exist: false, and the error text is left as it was.
    image.SetLastErrorText("earlier");
    EXPECT_FALSE(image.Encode(dir.Path("no such folder/x.bmp").c_str(), LVFMT_BMP));
    EXPECT_STREQ(image.GetLastErrorText(), "earlier");
}

} // namespace

namespace {

TEST(FormatDispatch, AFailedPageReadStillTellsThePageCount) {
    Bytes file = ReadFileBytes(DataPath("tiff/three-pages.tif"));
    CLvImage image(4, 4, 8);
    FillPattern(image, 2);
    CLvImage before(image);
    image.SetFrame(5);
    EXPECT_FALSE(DecodeBytes(image, file, LVFMT_TIF));
    EXPECT_EQ(image.GetFrameCount(), 3); // copied back although the read failed
    EXPECT_STREQ(image.GetLastErrorText(), "Error: page not present in TIFF file");
    EXPECT_TRUE(SamePicture(image, before));
    image.SetFrame(2);
    ASSERT_TRUE(DecodeBytes(image, file, LVFMT_TIF)) << image.GetLastErrorText();
    EXPECT_EQ(image.GetFrameCount(), 3);
    EXPECT_EQ(image.GetWidth(), 10);

    // Loading a page the file does not have fails too: falling back to detection would give page 0.
    CLvImage loaded;
    loaded.SetFrame(3);
    EXPECT_FALSE(loaded.Load(DataPath("tiff/three-pages.tif").c_str(), LVFMT_TIF));
    EXPECT_EQ(loaded.GetFrameCount(), 3);
    EXPECT_FALSE(loaded.IsValid());
    EXPECT_STREQ(loaded.GetLastErrorText(), "Error: page not present in TIFF file");
    loaded.SetFrame(1);
    EXPECT_TRUE(loaded.Load(DataPath("tiff/three-pages.tif").c_str(), LVFMT_TIF));
}

TEST(FormatDispatch, DetectionFindsMisnamedJpegPngAndTiff) {
    TempDir dir;
    const struct {
        const char* source;
        const char* misnamed;
        DWORD wrongCode;
        DWORD format;
    } cases[] = {
        {"png/basn6a08.png", "picture.jpg", LVFMT_JPG, LVFMT_PNG},
        {"jpeg/baseline.jpg", "picture.png", LVFMT_PNG, LVFMT_JPG},
        {"tiff/rgb-lzw.tif", "picture.bmp", LVFMT_BMP, LVFMT_TIF},
        {"jpeg/camera-Kodak.jpg", "picture.tif", LVFMT_TIF, LVFMT_JPG},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        std::string path = dir.Path(c.misnamed);
        WriteFileBytes(path, ReadFileBytes(DataPath(c.source)));
        CLvImage image;
        ASSERT_TRUE(image.Load(path.c_str(), c.wrongCode)) << image.GetLastErrorText();
        EXPECT_EQ(image.GetFormat(), c.format);
        CLvImage detected;
        ASSERT_TRUE(DecodeBytes(detected, ReadFileBytes(path), LVFMT_UNKNOWN)) << detected.GetLastErrorText();
        EXPECT_EQ(detected.GetFormat(), c.format);
        EXPECT_TRUE(SamePicture(detected, image));
    }
}

} // namespace
