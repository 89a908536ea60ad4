#include "LvCodecTestUtil.h"
#include "LvTestUtil.h"
#include "formats/LvCodecGIF.h"
#include "image/LvFileExt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Files written by other programs (tests/data/*/README.md), each beside ImageMagick's reading of it.

CLvImage Load(const std::string& name, DWORD format, int frame = 0) {
    CLvImage image;
    image.SetFrame(frame);
    CLvFileStream stream(DataPath(name).c_str(), "rb");
    EXPECT_TRUE(stream.IsOpen()) << name;
    EXPECT_TRUE(image.Decode(&stream, format)) << name << ": " << image.GetLastErrorText();
    return image;
}

void ExpectLike(const CLvImage& image, const std::string& referenceName, int colorTolerance = 0) {
    Reference reference = ReadReference(DataPath(referenceName));
    EXPECT_EQ(CompareWithReference(image, reference, colorTolerance), "") << referenceName;
}

TEST(CodecFiles, GifPicturesFromGiflib) {
    for (const char* name : {"gif/treescap.gif", "gif/treescap-interlaced.gif"}) {
        CLvImage image = Load(name, LVFMT_GIF);
        EXPECT_EQ(image.GetBpp(), 4) << name;
        ExpectLike(image, "gif/treescap.pam");
    }
    // A transparent colour and a comment.
    CLvFileStream stream(DataPath("gif/x-trans.gif").c_str(), "rb");
    CLvCodecGIF codec;
    ASSERT_TRUE(codec.Decode(&stream)) << codec.GetLastErrorText();
    EXPECT_NE(codec.GetTransIndex(), -1);
    EXPECT_EQ(strncmp(codec.GetComment(), "Made with GIMP", 14), 0) << codec.GetComment();
    ExpectLike(codec, "gif/x-trans.pam");
    // An animation of 33 full frames that are not disposed.
    for (int frame : {0, 16, 32}) {
        CLvImage image = Load("gif/fire.gif", LVFMT_GIF, frame);
        EXPECT_EQ(image.GetFrameCount(), 33);
        EXPECT_EQ(image.GetFrameDelay(), 5u);
        ExpectLike(image, "gif/fire-" + std::to_string(frame) + ".pam");
    }
}

TEST(CodecFiles, GifCodeSizesTenAndElevenReadLikeImageMagick) {
    // 64 colours in a pseudo-random order: the codes widen to 12 bits, and from size 11 the table fills up
    // and starts again.
    for (const char* name : {"gif/code-size-10.gif", "gif/code-size-11.gif"}) {
        CLvImage image = Load(name, LVFMT_GIF);
        EXPECT_EQ(image.GetBpp(), 8) << name;
        ExpectLike(image, "gif/code-size.pam");
    }
}

TEST(CodecFiles, GifAnimationFromImageMagick) {
    // Frames smaller than the screen at offsets, with palettes of their own and a transparent index,
    // each drawn over the ones before: the frames as ImageMagick composes them.
    for (int frame = 0; frame < 3; frame++) {
        CLvImage image = Load("gif/anim.gif", LVFMT_GIF, frame);
        EXPECT_EQ(image.GetFrameCount(), 3);
        EXPECT_EQ(image.GetFrameDelay(), 20u);
        ExpectLike(image, "gif/anim-" + std::to_string(frame) + ".pam");
    }
    CLvFileStream stream(DataPath("gif/anim.gif").c_str(), "rb");
    CLvCodecGIF codec;
    ASSERT_TRUE(codec.Decode(&stream));
    EXPECT_EQ(codec.GetLoops(), 2); // the file's value: ImageMagick's "-loop 3" shows the animation 3 times
}

TEST(CodecFiles, IconsFromImageMagick) {
    const int depths[3] = {4, 8, 1};
    for (int frame = 0; frame < 3; frame++) {
        CLvImage image = Load("ico/mix.ico", LVFMT_ICO, frame);
        EXPECT_EQ(image.GetFrameCount(), 3);
        EXPECT_EQ(image.GetBpp(), depths[frame]);
        ExpectLike(image, "ico/mix-" + std::to_string(frame) + ".pam");
    }
    // A Vista-style icon: the 256-pixel image is a PNG stream, the others 32-bit with alpha.
    for (int frame : {0, 1, 2}) {
        CLvImage image = Load("ico/vista.ico", LVFMT_ICO, frame);
        EXPECT_TRUE(image.AlphaIsValid());
        ExpectLike(image, "ico/vista-" + std::to_string(frame) + ".pam");
    }
}

TEST(CodecFiles, TgaFilesFromImageMagick) {
    for (const char* kind : {"24", "24rle", "8", "8rle", "gray", "grayrle", "32", "32rle"}) {
        CLvImage image = Load(std::string("tga/im-") + kind + ".tga", LVFMT_TGA);
        ExpectLike(image, std::string("tga/im-") + kind + ".pam");
    }
}

TEST(CodecFiles, PcxFilesFromImageMagick) {
    for (const char* kind : {"24", "32", "8"}) {
        CLvImage image = Load(std::string("pcx/im-") + kind + ".pcx", LVFMT_PCX);
        ExpectLike(image, std::string("pcx/im-") + kind + ".pam");
    }
    // ImageMagick reads a 1-bit file's set bits as black, against the black, white palette in the file's
    // header: this program shows the negative of ImageMagick's reading.
    CLvImage bilevel = Load("pcx/im-1.pcx", LVFMT_PCX);
    EXPECT_EQ(bilevel.GetBpp(), 1);
    Reference reference = ReadReference(DataPath("pcx/im-1.pam"));
    for (size_t i = 0; i < reference.rgba.size(); i++)
        if (i % 4 != 3) reference.rgba[i] = BYTE(255 - reference.rgba[i]);
    EXPECT_EQ(CompareWithReference(bilevel, reference), "");
}

TEST(CodecFiles, WbmpFromImageMagick) {
    CLvImage image = Load("wbmp/im-150x20.wbmp", LVFMT_WBMP);
    EXPECT_EQ(image.GetWidth(), 150);
    ExpectLike(image, "wbmp/im-150x20.pam");
}

// ---- files written by this program and read by ImageMagick (written/imagemagick-decodes.txt)

// The picture a written file was made from, and how: "src8-lzw.gif" is src8.bmp written with the LZW coder.
struct WrittenFile {
    std::string name;
    std::string source;
    DWORD format = 0;
    DWORD option = 0;
};

WrittenFile Describe(const std::string& name) {
    WrittenFile w;
    w.name = name;
    std::string stem = name.substr(0, name.rfind('.'));
    w.format = GetTypeFromExt(GetFileExt(name));
    size_t dash = stem.find('-');
    std::string base = stem.substr(0, dash);
    if (dash != std::string::npos) {
        std::string suffix = stem.substr(dash + 1);
        w.option = suffix == "none" ? 1 : suffix == "lzw" ? 2 : 0;
    }
    w.source = base == "srca" ? "srca.tga" : base + ".bmp";
    return w;
}

TEST(CodecFiles, WrittenFilesReadTheSameInImageMagick) {
    std::ifstream list(DataPath("written/imagemagick-decodes.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int files = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, decode;
        fields >> name >> decode;
        SCOPED_TRACE(name);
        WrittenFile w = Describe(name);
        CLvImage source;
        ASSERT_TRUE(source.Load(DataPath("written/" + w.source).c_str(), LVFMT_UNKNOWN)) << w.source;
        // The writer still makes the very bytes that ImageMagick read.
        source.SetCodecOption(w.option);
        Bytes written = EncodeToBytes(source, w.format);
        EXPECT_TRUE(written == ReadFileBytes(DataPath("written/" + name))) << "the writer's output has changed";
        // ImageMagick's reading shows the source picture; so does this program's.
        Reference reference = ReadReference(DataPath("written/" + decode));
        if (name == "src1.pcx") {
            // ImageMagick's reading of 1-bit PCX files is the negative (see PcxFilesFromImageMagick).
            for (size_t i = 0; i < reference.rgba.size(); i++)
                if (i % 4 != 3) reference.rgba[i] = BYTE(255 - reference.rgba[i]);
        }
        EXPECT_EQ(CompareWithReference(source, reference), "") << decode;
        CLvImage back;
        ASSERT_TRUE(DecodeBytes(back, written, w.format)) << back.GetLastErrorText();
        EXPECT_EQ(CompareWithReference(back, reference), "");
        files++;
    }
    EXPECT_EQ(files, 29);
}

} // namespace
