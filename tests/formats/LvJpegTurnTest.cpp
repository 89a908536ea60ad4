#include "formats/LvJpegTurn.h"
#include "LvPictureFiles.h"
#include "formats/LvCodecJPG.h"
#include "formats/LvOrientation.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const LvTurn kAllTurns[] = {kLvTurnNone,       kLvTurnMirror, kLvTurnFlip, kLvTurnTranspose,
                            kLvTurnTransverse, kLvTurnRight,  kLvTurn180,  kLvTurnLeft};

// Turns a picture with the image operations, each turn written out on its own.
bool TurnPicture(CLvImage& image, LvTurn turn) {
    switch (turn) {
    case kLvTurnNone:
        return true;
    case kLvTurnMirror:
        return image.Mirror();
    case kLvTurnFlip:
        return image.Flip();
    case kLvTurnTranspose:
        return image.RotateRight() && image.Mirror();
    case kLvTurnTransverse:
        return image.RotateLeft() && image.Mirror();
    case kLvTurnRight:
        return image.RotateRight();
    case kLvTurn180:
        return image.Rotate180();
    case kLvTurnLeft:
        return image.RotateLeft();
    default:
        return false;
    }
}

// A small picture in which every pixel differs, so that any two ways of standing it differ.
void Numbered(CLvImage& image) {
    ASSERT_TRUE(image.Create(3, 2, 24));
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 3; x++)
            image.SetPixelColor(x, y, Quad(x * 40, y * 90, 7));
}

CLvImage Decoded(const Bytes& jpeg) {
    CLvImage image;
    EXPECT_TRUE(DecodeBytes(image, jpeg, LVFMT_JPG));
    return image;
}

} // namespace

TEST(Turns, ComposeLikeTheImageOperations) {
    CLvImage start;
    Numbered(start);
    for (LvTurn first : kAllTurns)
        for (LvTurn then : kAllTurns) {
            SCOPED_TRACE(testing::Message() << "first " << first << " then " << then);
            CLvImage both, once;
            ASSERT_TRUE(both.Copy(start));
            ASSERT_TRUE(TurnPicture(both, first) && TurnPicture(both, then));
            ASSERT_TRUE(once.Copy(start));
            ASSERT_TRUE(TurnPicture(once, LvComposeTurns(first, then)));
            std::string where;
            EXPECT_TRUE(SamePicture(both, once, &where)) << where;
        }
}

TEST(Turns, InversesSidesOrientationsAndOperationNames) {
    for (LvTurn turn : kAllTurns) {
        EXPECT_EQ(LvComposeTurns(turn, LvInverseTurn(turn)), kLvTurnNone) << turn;
        CLvImage image;
        Numbered(image);
        ASSERT_TRUE(TurnPicture(image, turn));
        EXPECT_EQ(LvTurnSwapsSides(turn), image.GetWidth() == 2) << turn;
    }
    // The turn named for each tag stands the picture as the tag's own reading does.
    for (int tag = 0; tag <= 9; tag++) {
        CLvImage byTag, byTurn;
        Numbered(byTag);
        Numbered(byTurn);
        ASSERT_TRUE(LvApplyOrientation(byTag, tag));
        ASSERT_TRUE(TurnPicture(byTurn, LvTurnOfOrientation(tag)));
        EXPECT_TRUE(SamePicture(byTag, byTurn)) << tag;
    }
    const struct {
        const char* name;
        LvTurn turn;
    } names[] = {{"mirror", kLvTurnMirror},      {"flip", kLvTurnFlip},      {"rotate-left", kLvTurnLeft},
                 {"rotate-right", kLvTurnRight}, {"rotate-180", kLvTurn180}, {"rotate", kLvTurnCount},
                 {"blur", kLvTurnCount},         {nullptr, kLvTurnCount}};
    for (const auto& n : names)
        EXPECT_EQ(LvTurnOfOperationName(n.name), n.turn) << (n.name ? n.name : "null");
}

// The picture's turn is the file's: the blocks are moved, not decoded. Decoding the turned file cannot give
// the turned decoding bit for bit, since the decoder's two-pass inverse transform and its chroma smoothing
// round differently once rows and columns change places; they differ by at most 3 (measured: 3 for quarter
// turns, 2 for mirrors of the 2 x 2 chroma, 0 for flips).
TEST(JpegTurn, TurnsTheCodedPicture) {
    const Bytes source = ReadFileBytes(DataPath("jpeg/baseline.jpg"));
    CLvImage original = Decoded(source);
    for (LvTurn turn : kAllTurns) {
        SCOPED_TRACE(testing::Message() << "turn " << turn);
        Bytes turned;
        std::string error;
        ASSERT_EQ(LvTurnJpeg(source, turn, LvCameraData(), turned, error), kLvJpegTurned) << error;
        CLvImage expected;
        ASSERT_TRUE(expected.Copy(original));
        ASSERT_TRUE(TurnPicture(expected, turn));
        const std::string difference =
            ComparePictures(PictureOf(Decoded(turned)), PictureOf(expected), turn == kLvTurnFlip ? 0 : 3, false);
        EXPECT_EQ(difference, "");
    }
}

TEST(JpegTurn, FourTurnsGiveBackTheOriginalPixels) {
    const Bytes source = ReadFileBytes(DataPath("jpeg/baseline.jpg"));
    for (LvTurn turn : {kLvTurnRight, kLvTurnLeft, kLvTurnMirror}) {
        Bytes bytes = source;
        for (int i = 0; i < 4; i++) {
            Bytes next;
            std::string error;
            ASSERT_EQ(LvTurnJpeg(bytes, turn, LvCameraData(), next, error), kLvJpegTurned) << error;
            bytes = next;
        }
        std::string where;
        EXPECT_TRUE(SamePicture(Decoded(bytes), Decoded(source), &where)) << turn << " " << where;
    }
}

TEST(JpegTurn, PartialBlocksAreRefusedWhereATurnWouldMoveThem) {
    // 45 x 30 with 16 x 16 coding units: the right column and the bottom row of blocks are partial.
    const Bytes source = ReadFileBytes(DataPath("jpeg/odd-size.jpg"));
    for (LvTurn turn : kAllTurns) {
        Bytes turned;
        std::string error;
        const bool exact = turn == kLvTurnNone || turn == kLvTurnTranspose;
        EXPECT_EQ(LvTurnJpeg(source, turn, LvCameraData(), turned, error),
                  exact ? kLvJpegTurned : kLvJpegNotWholeBlocks)
            << turn;
        EXPECT_EQ(turned.empty(), !exact) << turn;
    }
    EXPECT_NE(LvJpegTurnFallbackText(kLvJpegNotWholeBlocks, "").find("re-encoded"), std::string::npos);
}

TEST(JpegTurn, CameraDataGoRightAfterTheJfifHeader) {
    const Bytes source = ReadFileBytes(DataPath("jpeg/camera-photo.jpg"));
    LvPixelHistory history;
    history.AddTurn(kLvTurnRight);
    const LvCameraData camera =
        LvAdjustCameraData(LvReadCameraDataOfFile(DataPath("jpeg/camera-photo.jpg").c_str()), history, 32, 48);
    ASSERT_FALSE(camera.exif.empty());
    ASSERT_EQ(camera.icc.size(), 1u);
    Bytes plain, withCamera;
    std::string error;
    ASSERT_EQ(LvTurnJpeg(source, kLvTurnRight, LvCameraData(), plain, error), kLvJpegTurned) << error;
    ASSERT_EQ(LvTurnJpeg(source, kLvTurnRight, camera, withCamera, error), kLvJpegTurned) << error;
    // SOI, then the JFIF segment, then ours; everything after is the plain turn's.
    ASSERT_GE(plain.size(), 20u);
    ASSERT_EQ(plain[2], 0xFF);
    ASSERT_EQ(plain[3], 0xE0);
    const size_t header = 4 + (size_t(plain[4]) << 8 | plain[5]);
    const size_t added = 4 + camera.exif.size() + 4 + camera.icc[0].size();
    ASSERT_EQ(withCamera.size(), plain.size() + added);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + long(header), withCamera.begin()));
    EXPECT_TRUE(std::equal(plain.begin() + long(header), plain.end(), withCamera.begin() + long(header + added)));
    CLvMemStream stream(withCamera.data(), withCamera.size());
    const LvCameraData read = LvReadCameraData(&stream);
    EXPECT_EQ(read.exif, camera.exif);
    EXPECT_EQ(read.icc, camera.icc);
}

TEST(JpegTurn, DamagedFilesFailAndAFailedWriteKeepsTheFile) {
    const Bytes source = ReadFileBytes(DataPath("jpeg/baseline.jpg"));
    // Cut before the scan, nothing can be turned; a cut scan is turned as far as it goes, like the decoder
    // shows it.
    size_t scan = 2;
    while (scan + 1 < source.size() && !(source[scan] == 0xFF && source[scan + 1] == 0xDA))
        scan++;
    for (size_t n = 0; n < source.size(); n += 7) {
        Bytes cut(source.begin(), source.begin() + long(n)), out;
        std::string error;
        const LvJpegTurnResult result = LvTurnJpeg(cut, kLvTurnRight, LvCameraData(), out, error);
        if (n <= scan) {
            EXPECT_EQ(result, kLvJpegTurnFailed) << n;
        }
        EXPECT_EQ(out.empty(), result != kLvJpegTurned) << n;
    }
    Bytes garbage(500, 0x5A), out;
    std::string error;
    EXPECT_EQ(LvTurnJpeg(garbage, kLvTurnLeft, LvCameraData(), out, error), kLvJpegTurnFailed);
    EXPECT_FALSE(error.empty());

    TempDir dir;
    const std::string kept = dir.Path("kept.jpg");
    WriteFileBytes(kept, Bytes{1, 2, 3});
    EXPECT_EQ(LvSaveTurnedJpeg(garbage, kLvTurnLeft, LvCameraData(), kept.c_str(), error), kLvJpegTurnFailed);
    EXPECT_EQ(ReadFileBytes(kept), (Bytes{1, 2, 3}));
    EXPECT_EQ(LvSaveTurnedJpeg(source, kLvTurnLeft, LvCameraData(), dir.Path("no/such/folder.jpg").c_str(), error),
              kLvJpegTurnFailed);
    ASSERT_EQ(LvSaveTurnedJpeg(source, kLvTurnLeft, LvCameraData(), kept.c_str(), error), kLvJpegTurned);
    EXPECT_EQ(Decoded(ReadFileBytes(kept)).GetWidth(), 32);
}

#ifndef _WIN32
// The same coding as libjpeg-turbo's own tool with exact turns and no segments copied, byte for byte.
TEST(JpegTurn, EqualsJpegtranPerfect) {
    const std::string path = DataPath("jpeg/baseline.jpg");
    const Bytes source = ReadFileBytes(path);
    const struct {
        LvTurn turn;
        const char* option;
    } cases[] = {{kLvTurnMirror, "-flip horizontal"}, {kLvTurnFlip, "-flip vertical"}, {kLvTurnTranspose, "-transpose"},
                 {kLvTurnTransverse, "-transverse"},  {kLvTurnRight, "-rotate 90"},    {kLvTurn180, "-rotate 180"},
                 {kLvTurnLeft, "-rotate 270"}};
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const std::string out = dir.Path("jpegtran.jpg");
        const std::string command =
            std::string("jpegtran -copy none -perfect ") + c.option + " -outfile '" + out + "' '" + path + "'";
        ASSERT_EQ(system(command.c_str()), 0) << "jpegtran (libjpeg-turbo-progs) is needed";
        Bytes ours;
        std::string error;
        ASSERT_EQ(LvTurnJpeg(source, c.turn, LvCameraData(), ours, error), kLvJpegTurned) << error;
        EXPECT_EQ(ours, ReadFileBytes(out));
    }
}
#endif
