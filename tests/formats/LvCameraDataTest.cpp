#include "formats/LvCameraData.h"
#include "LvTestUtil.h"
#include "formats/LvCodecJPG.h"

#include <gtest/gtest.h>

namespace {

// A small EXIF block in either byte order: the first directory with the orientation and the link to the
// EXIF directory (pixel width as LONG, height as SHORT), then a second (thumbnail) directory.
struct ExifBlock {
    bool motorola = false;
    Bytes bytes;
    size_t orientationAt = 0, nextAt = 0, widthAt = 0, heightAt = 0;

    explicit ExifBlock(bool bigEndian) : motorola(bigEndian) {
        Bytes t;
        auto u16 = [&](uint32_t v) {
            if (motorola)
                t.insert(t.end(), {uint8_t(v >> 8), uint8_t(v)});
            else
                t.insert(t.end(), {uint8_t(v), uint8_t(v >> 8)});
        };
        auto u32 = [&](uint32_t v) {
            if (motorola) {
                u16(v >> 16);
                u16(v & 0xFFFF);
            } else {
                u16(v & 0xFFFF);
                u16(v >> 16);
            }
        };
        auto entry = [&](uint32_t tag, uint32_t type, uint32_t value, size_t* at) {
            u16(tag);
            u16(type);
            u32(1);
            if (at) *at = t.size();
            if (type == 3) {
                u16(value);
                u16(0);
            } else {
                u32(value);
            }
        };
        t.insert(t.end(), {uint8_t(motorola ? 'M' : 'I'), uint8_t(motorola ? 'M' : 'I')});
        u16(42);
        u32(8);
        u16(2); // first directory at 8: 2 entries, ends at 8 + 2 + 24 + 4 = 38
        entry(0x0112, 3, 6, &orientationAt);
        entry(0x8769, 4, 38, nullptr);
        nextAt = t.size();
        u32(68);
        u16(2); // EXIF directory at 38, ends at 68
        entry(0xA002, 4, 4000, &widthAt);
        entry(0xA003, 3, 3000, &heightAt);
        u32(0);
        u16(1); // thumbnail directory at 68
        entry(0x0201, 4, 0, nullptr);
        u32(0);
        bytes = {'E', 'x', 'i', 'f', 0, 0};
        bytes.insert(bytes.end(), t.begin(), t.end());
    }
    uint32_t U16(const Bytes& b, size_t at) const {
        const uint8_t* p = b.data() + 6 + at;
        return motorola ? uint32_t(p[0] << 8 | p[1]) : uint32_t(p[0] | p[1] << 8);
    }
    uint32_t U32(const Bytes& b, size_t at) const {
        return motorola ? U16(b, at) << 16 | U16(b, at + 2) : U16(b, at) | U16(b, at + 2) << 16;
    }
};

TEST(CameraData, ExifFollowsWhatHappenedToThePixels) {
    const struct {
        LvTurn turn;
        bool turned, changed;
        uint32_t orientation, next;
    } cases[] = {
        {kLvTurnNone, false, false, 6, 68}, {kLvTurnNone, false, true, 6, 0},   {kLvTurnNone, true, true, 1, 0},
        {kLvTurnRight, false, false, 1, 0}, {kLvTurnMirror, false, true, 1, 0},
    };
    for (bool motorola : {false, true}) {
        const ExifBlock block(motorola);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << (motorola ? "MM" : "II") << " turn " << c.turn << " turned " << c.turned
                                            << " changed " << c.changed);
            LvPixelHistory history;
            history.turn = c.turn;
            history.turned = c.turned;
            history.changed = c.changed;
            const Bytes out = LvAdjustExif(block.bytes, history, 3000, 4000);
            ASSERT_EQ(out.size(), block.bytes.size());
            EXPECT_EQ(block.U16(out, block.orientationAt), c.orientation);
            EXPECT_EQ(block.U32(out, block.nextAt), c.next);
            EXPECT_EQ(block.U32(out, block.widthAt), 3000u);
            EXPECT_EQ(block.U16(out, block.heightAt), 4000u);
        }
    }
}

TEST(CameraData, BlocksThatCannotBeFollowedAreKeptOnlyWhenNothingHappened) {
    const ExifBlock block(false);
    LvPixelHistory nothing, turned;
    turned.turned = turned.changed = true;
    // Every shorter block: the directories no longer fit (or the header is gone).
    for (size_t n = 0; n < block.bytes.size(); n++) {
        const Bytes cut(block.bytes.begin(), block.bytes.begin() + long(n));
        const Bytes kept = LvAdjustExif(cut, nothing, 10, 10);
        EXPECT_EQ(kept.size(), n < 6 ? 0 : n) << n; // kept, edited or not
        const Bytes after = LvAdjustExif(cut, turned, 10, 10);
        // Only a block whose directories all fit may come back, and then with orientation 1.
        if (!after.empty()) {
            EXPECT_EQ(block.U16(after, block.orientationAt), 1u) << n;
        }
    }
    Bytes wrongOrder = block.bytes;
    wrongOrder[6] = 'X';
    EXPECT_TRUE(LvAdjustExif(wrongOrder, turned, 10, 10).empty());
    EXPECT_EQ(LvAdjustExif(wrongOrder, nothing, 10, 10), wrongOrder);
    Bytes notExif = block.bytes;
    notExif[0] = 'e';
    EXPECT_TRUE(LvAdjustExif(notExif, nothing, 10, 10).empty());
}

TEST(CameraData, SegmentsAreReadUpToTheFirstScanAndSurviveDamage) {
    const Bytes file = ReadFileBytes(DataPath("jpeg/camera-photo.jpg"));
    CLvMemStream stream(const_cast<uint8_t*>(file.data()), file.size());
    const LvCameraData data = LvReadCameraData(&stream);
    ASSERT_GT(data.exif.size(), 6u);
    EXPECT_EQ(Bytes(data.exif.begin(), data.exif.begin() + 6), (Bytes{'E', 'x', 'i', 'f', 0, 0}));
    ASSERT_EQ(data.icc.size(), 1u);
    EXPECT_EQ(std::string(data.icc[0].begin(), data.icc[0].begin() + 11), "ICC_PROFILE");
    // A plain JFIF file has none.
    const Bytes plain = ReadFileBytes(DataPath("jpeg/baseline.jpg"));
    CLvMemStream plainStream(const_cast<uint8_t*>(plain.data()), plain.size());
    EXPECT_TRUE(LvReadCameraData(&plainStream).Empty());
    // Every prefix reads cleanly, finding at most what the whole file has.
    for (size_t n = 0; n < file.size(); n += 7) {
        CLvMemStream cut(const_cast<uint8_t*>(file.data()), n);
        const LvCameraData part = LvReadCameraData(&cut);
        EXPECT_TRUE(part.exif.empty() || part.exif == data.exif) << n;
        EXPECT_LE(part.icc.size(), 1u) << n;
    }
}

TEST(CameraData, WrittenSegmentsReadBackAsTheyWere) {
    const LvCameraData data = LvReadCameraDataOfFile(DataPath("jpeg/camera-photo.jpg").c_str());
    CLvImage image;
    ASSERT_TRUE(image.Load(DataPath("jpeg/camera-photo.jpg").c_str(), LVFMT_JPG));
    TempDir dir;
    const std::string path = dir.Path("kept.jpg");
    ASSERT_TRUE(LvSaveJpegWithCameraData(image, path.c_str(), data)) << image.GetLastErrorText();
    const LvCameraData back = LvReadCameraDataOfFile(path.c_str());
    EXPECT_EQ(back.exif, data.exif);
    EXPECT_EQ(back.icc, data.icc);
    CLvImage again;
    ASSERT_TRUE(again.Load(path.c_str(), LVFMT_JPG));
    EXPECT_EQ(again.GetWidth(), 48);
    // A write that cannot happen leaves no file and says why.
    EXPECT_FALSE(LvSaveJpegWithCameraData(image, dir.Path("no/such/folder.jpg").c_str(), data));
}

} // namespace
