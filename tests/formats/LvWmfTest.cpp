#include "LvTestUtil.h"
#include "formats/LvCodecWMF.h"
#include "image/LvCodecError.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A standard WMF header for records of the given size in bytes (an end record is appended by Wmf()).
Bytes Wmf(const Bytes& records, int objects = 1) {
    uint32_t words = uint32_t(18 + records.size() + 6) / 2;
    return ByteWriter()
        .LE16(1)
        .LE16(9)
        .LE16(0x300)
        .LE32(words)
        .LE16(DWORD(objects))
        .LE32(3)
        .LE16(0)
        .Append(records)
        .LE32(3)
        .LE16(0)
        .bytes();
}

// One WMF record: function and 16-bit parameters.
Bytes WmfRecord(uint32_t function, std::initializer_list<uint32_t> params) {
    ByteWriter w;
    w.LE32(uint32_t(3 + params.size())).LE16(function);
    for (uint32_t p : params)
        w.LE16(p);
    return w.bytes();
}

Bytes Placeable(const Bytes& wmf, int left, int top, int right, int bottom, int unitsPerInch, int checksumDelta = 0) {
    ByteWriter w;
    w.LE32(0x9AC6CDD7).LE16(0).LE16(DWORD(left)).LE16(DWORD(top)).LE16(DWORD(right)).LE16(DWORD(bottom));
    w.LE16(DWORD(unitsPerInch)).LE32(0);
    uint32_t sum = 0;
    for (size_t i = 0; i < 20; i += 2)
        sum ^= uint32_t(w.bytes()[i] | (w.bytes()[i + 1] << 8));
    return w.LE16(sum + DWORD(checksumDelta)).Append(wmf).bytes();
}

// An enhanced metafile: an 88-byte header with the given bounds, the records, an end record.
Bytes Emf(const Bytes& records, int32_t right = 100, int32_t bottom = 50, int handles = 2) {
    uint32_t total = uint32_t(88 + records.size() + 20);
    ByteWriter w;
    w.LE32(1).LE32(88).LE32(0).LE32(0).LE32(DWORD(right)).LE32(DWORD(bottom));
    w.LE32(0).LE32(0).LE32(2645).LE32(1322).LE32(0x464D4520).LE32(0x10000).LE32(total).LE32(3);
    w.LE16(DWORD(handles)).LE16(0).LE32(0).LE32(0).LE32(0).LE32(1024).LE32(768).LE32(320).LE32(240);
    return w.Append(records).LE32(14).LE32(20).LE32(0).LE32(16).LE32(20).bytes();
}

Bytes EmfRecord(uint32_t type, std::initializer_list<uint32_t> fields) {
    ByteWriter w;
    w.LE32(type).LE32(uint32_t(8 + 4 * fields.size()));
    for (uint32_t f : fields)
        w.LE32(f);
    return w.bytes();
}

const char* const kNeedsWindows = "WMF/EMF pictures can only be rendered on Windows";

// A sound metafile renders on Windows and is refused with a clear text elsewhere.
void ExpectSound(const Bytes& file, const char* what) {
    CLvImage image;
    bool ok = DecodeBytes(image, file, LVFMT_WMF);
#ifdef _WIN32
    EXPECT_TRUE(ok) << what << ": " << image.GetLastErrorText();
#else
    EXPECT_FALSE(ok) << what;
    EXPECT_STREQ(image.GetLastErrorText(), kNeedsWindows) << what;
#endif
}

void ExpectFailure(const Bytes& file, const char* text, const char* what) {
    CLvImage image(2, 2, 24);
    FillPattern(image, 3);
    CLvImage before(image);
    EXPECT_FALSE(DecodeBytes(image, file, LVFMT_WMF)) << what;
    EXPECT_STREQ(image.GetLastErrorText(), text) << what;
    EXPECT_TRUE(SamePicture(image, before)) << what;
}

TEST(Wmf, PlaceableHeaderIsRead) {
    LvMetafile metafile;
    Bytes file = Placeable(Wmf({}), -10, 20, 1430, 740, 1440);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecWMF::ReadMetafile(&stream, metafile);
    EXPECT_TRUE(metafile.placeable);
    EXPECT_EQ(metafile.left, -10);
    EXPECT_EQ(metafile.top, 20);
    EXPECT_EQ(metafile.right, 1430);
    EXPECT_EQ(metafile.bottom, 740);
    EXPECT_EQ(metafile.unitsPerInch, 1440);
    EXPECT_EQ(metafile.bytes, Bytes(file.begin() + 22, file.end()));
    int64_t cx, cy;
    CLvCodecWMF::PlaceableSize(metafile, 96, 96, &cx, &cy);
    EXPECT_EQ(cx, 96);
    EXPECT_EQ(cy, 48);
    LONG xExt, yExt;
    CLvCodecWMF::PlaceableExtents(metafile, 96, 96, &xExt, &yExt);
    EXPECT_EQ(xExt, 9600);
    EXPECT_EQ(yExt, 4800);
    ExpectSound(file, "placeable");
}

TEST(Wmf, EnhancedHeaderIsRead) {
    LvMetafile metafile;
    Bytes file = Emf({}, 5000, 2000);
    CLvMemStream stream(file.data(), file.size());
    CLvCodecWMF::ReadMetafile(&stream, metafile);
    EXPECT_FALSE(metafile.placeable);
    EXPECT_EQ(metafile.boundsWidth, 5000);
    EXPECT_EQ(metafile.boundsHeight, 2000);
    EXPECT_EQ(metafile.bytes, file);
    ExpectSound(file, "enhanced");
}

TEST(Wmf, HeaderRulesAndTexts) {
    Bytes wmf = Wmf({});
    Bytes wrongType = wmf;
    wrongType[0] = 3;
    Bytes tooLong = wmf;
    tooLong[6] = 200; // more words than the file holds
    Bytes badSignature = Emf({});
    badSignature[40] = 'X';
    Bytes wrongKey = Placeable(wmf, 0, 0, 1440, 720, 1440);
    wrongKey[0] ^= 1;
    Bytes hugeMillimetres = Emf({});
    hugeMillimetres[83] = 0x50;
    Bytes emfCut = Emf({});
    emfCut.resize(emfCut.size() - 4);
    struct {
        const char* name;
        Bytes file;
        const char* text;
    } cases[] = {
        {"wrong checksum", Placeable(wmf, 0, 0, 1440, 720, 1440, 1), "corrupted WMF"},
        {"units per inch 0", Placeable(wmf, 0, 0, 1440, 720, 0), "corrupted WMF"},
        {"units per inch 2541", Placeable(wmf, 0, 0, 1440, 720, 2541), "corrupted WMF"},
        {"wrong key", wrongKey, "corrupted WMF"},
        {"type 3", Placeable(wrongType, 0, 0, 1440, 720, 1440), "corrupted WMF"},
        {"records past the end", Placeable(tooLong, 0, 0, 1440, 720, 1440), "corrupted WMF"},
        {"EMF signature", badSignature, "corrupted WMF"},
        {"EMF bytes past the end", emfCut, "corrupted WMF"},
        {"EMF reference device of 1.3e9 mm", hugeMillimetres, "corrupted WMF"},
        {"text", Bytes(300, 'a'), "corrupted WMF"},
        {"nothing", Bytes(), "corrupted WMF"},
        {"empty box", Placeable(wmf, 100, 0, 100, 720, 1440), "empty WMF"},
        {"reversed box", Placeable(wmf, 0, 720, 1440, 0, 1440), "empty WMF"},
        {"empty bounds", Emf({}, 0, 50), "empty WMF"},
    };
    for (const auto& c : cases) {
#ifndef _WIN32
        // Empty pictures are found when rendering, which needs Windows.
        if (strcmp(c.text, "empty WMF") == 0) {
            ExpectFailure(c.file, kNeedsWindows, c.name);
            continue;
        }
#endif
        ExpectFailure(c.file, c.text, c.name);
    }
    ExpectSound(Placeable(wmf, 0, 0, 2540, 1270, 2540), "units per inch 2540");
}

TEST(Wmf, EveryCutIsRefused) {
    const Bytes files[] = {
        Placeable(Wmf(WmfRecord(0x0324, {2, 0, 0, 10, 10})), 0, 0, 100, 100, 96),
        Emf(EmfRecord(43, {0, 0, 10, 10})),
    };
    for (const Bytes& file : files)
        for (size_t n = 0; n < file.size(); n++)
            ExpectFailure(Bytes(file.begin(), file.begin() + long(n)), "corrupted WMF", "cut");
}

TEST(Wmf, RenderSizeRules) {
    struct {
        int64_t cx, cy;
        int width, height;
        int wantCx, wantCy;
    } cases[] = {
        {96, 48, 0, 0, 96, 48},           {5000, 2000, 0, 0, 4000, 1600}, {2000, 5000, 0, 0, 1600, 4000},
        {5000, 5000, 0, 0, 4000, 4000},   {96, 48, 200, 0, 200, 48},      {96, 48, 0, 30, 96, 30},
        {96, 48, 9000, 3000, 4000, 1333}, {100000, 1, 0, 0, 4000, 1},     {1, 100000, 0, 0, 1, 4000},
        {4000, 4000, 0, 0, 4000, 4000},
    };
    for (const auto& c : cases) {
        int cx = 0, cy = 0;
        CLvCodecWMF::RenderSize(c.cx, c.cy, c.width, c.height, &cx, &cy);
        EXPECT_EQ(cx, c.wantCx) << c.cx << "x" << c.cy;
        EXPECT_EQ(cy, c.wantCy) << c.cx << "x" << c.cy;
    }
    for (int64_t empty : {int64_t(0), int64_t(-5)}) {
        int cx, cy;
        try {
            CLvCodecWMF::RenderSize(empty, 10, 100, 100, &cx, &cy);
            ADD_FAILURE() << "no failure for " << empty;
        } catch (const CLvCodecError& e) {
            EXPECT_STREQ(e.Text(), "empty WMF");
        }
    }
    // An empty box keeps its extents at 0 instead of growing them for ever.
    LvMetafile metafile;
    metafile.unitsPerInch = 1440;
    metafile.right = 0;
    metafile.bottom = 720;
    LONG xExt = -1, yExt = -1;
    CLvCodecWMF::PlaceableExtents(metafile, 96, 96, &xExt, &yExt);
    EXPECT_EQ(xExt, 0);
    EXPECT_EQ(yExt, 48);
}

// Records the metafile player would trust: those that point outside themselves or at missing objects are
// refused before it sees them.
TEST(Wmf, WmfRecordChecks) {
    struct {
        const char* name;
        Bytes records;
        bool ok;
    } cases[] = {
        {"nothing", {}, true},
        {"select object 0 of 1", WmfRecord(0x012D, {0}), true},
        {"select object 1 of 1", WmfRecord(0x012D, {1}), false},
        {"delete object 0x8000", WmfRecord(0x01F0, {0x8000}), false},
        {"fill region with a missing brush", WmfRecord(0x0228, {0, 5}), false},
        {"polygon of 2 points", WmfRecord(0x0324, {2, 0, 0, 10, 10}), true},
        {"polygon of 3 points, 2 given", WmfRecord(0x0324, {3, 0, 0, 10, 10}), false},
        {"polypolygon", WmfRecord(0x0538, {2, 1, 1, 5, 5, 6, 6}), true},
        {"polypolygon short", WmfRecord(0x0538, {2, 1, 2, 5, 5, 6, 6}), false},
        {"text out", WmfRecord(0x0521, {3, 0x6261, 0x63, 10, 10}), true},
        {"text out long", WmfRecord(0x0521, {30, 0x6261, 0x63, 10, 10}), false},
        {"ext text out clipped", WmfRecord(0x0A32, {0, 0, 2, 4, 0, 0, 9, 9, 0x6261}), true},
        {"ext text out without its rectangle", WmfRecord(0x0A32, {0, 0, 2, 4, 0x6261}), false},
        {"palette of 300 entries", WmfRecord(0x00F7, {0x300, 300, 0, 0}), false},
        {"escape past its record", WmfRecord(0x0626, {15, 100, 0}), false},
        {"record past the end", ByteWriter().LE32(50).LE16(0x0213).LE16(0).LE16(0).bytes(), false},
        {"record of 2 words", ByteWriter().LE32(2).LE16(0x0213).bytes(), false},
        {"old device bitmap", WmfRecord(0x0922, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
        {"blit without a bitmap", WmfRecord(0x0922, {0x0021, 0x00F0, 0, 0, 0, 5, 5, 0, 0}), true},
        {"stretched blit without a bitmap", WmfRecord(0x0B23, {0x0021, 0x00F0, 0, 5, 5, 0, 0, 9, 9, 0, 0}), true},
        {"old pattern brush", WmfRecord(0x01F9, {0, 8, 8, 2, 0x0101, 0, 0}), false},
        {"DIB brush",
         WmfRecord(0x0142, {5, 0, 40, 0, 1, 0, 1, 0, 1, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1234, 0x56}), true},
        {"DIB brush of 1000 x 1000",
         WmfRecord(0x0142, {5, 0, 40, 0, 1000, 0, 1000, 0, 1, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CLvCodecWMF::CheckWmfRecords(Wmf(c.records)), c.ok) << c.name;
        if (!c.ok) ExpectFailure(Placeable(Wmf(c.records), 0, 0, 96, 96, 96), "corrupted WMF", c.name);
    }
    Bytes noEnd = Wmf({});
    noEnd.resize(noEnd.size() - 6);
    EXPECT_FALSE(CLvCodecWMF::CheckWmfRecords(noEnd));
}

TEST(Wmf, EmfRecordChecks) {
    const uint32_t stock = 0x80000000u;
    struct {
        const char* name;
        Bytes records;
        bool ok;
    } cases[] = {
        {"nothing", {}, true},
        {"rectangle", EmfRecord(43, {0, 0, 10, 10}), true},
        {"short rectangle", EmfRecord(43, {0, 0}), false},
        {"rectangle beyond 27 bits", EmfRecord(43, {0x80000000u, 0, 10, 10}), false},
        {"arc", EmfRecord(45, {0, 0, 10, 10, 0, 5, 10, 5}), true},
        {"select stock object", EmfRecord(37, {stock | 5}), true},
        {"select object 1 of 2", EmfRecord(37, {1}), true},
        {"select object 2 of 2", EmfRecord(37, {2}), false},
        {"delete the metafile itself", EmfRecord(40, {0}), false},
        {"brush in slot 9", EmfRecord(39, {9, 0, 0xFF, 0}), false},
        {"pen 3 wide", EmfRecord(38, {1, 0, 3, 0, 0xFF}), true},
        {"pen 8388608 wide", EmfRecord(38, {1, 0, 0x800000, 0, 0xFF}), false},
        {"polygon of 2 points", EmfRecord(3, {0, 0, 10, 10, 2, 0, 0, 10, 10}), true},
        {"polygon of 9 points, 2 given", EmfRecord(3, {0, 0, 10, 10, 9, 0, 0, 10, 10}), false},
        {"polypolygon counting more points than it has", EmfRecord(8, {0, 0, 9, 9, 1, 2, 5, 0, 0, 1, 1}), false},
        {"polypolygon", EmfRecord(8, {0, 0, 9, 9, 1, 2, 2, 0, 0, 1, 1}), true},
        {"comment longer than its record", EmfRecord(70, {100, 0}), false},
        {"clip region of 5 rectangles in 48 bytes", EmfRecord(75, {48, 1, 32, 1, 5, 80, 0, 0, 9, 9, 0, 0, 9, 9}),
         false},
        {"text pointing outside", EmfRecord(84, {0, 0, 9, 9, 1, 0, 0, 0, 0, 500, 76, 0, 0, 0, 9, 9, 0}), false},
        {"text", EmfRecord(84, {0, 0, 9, 9, 1, 0, 0, 0, 0, 2, 76, 0, 0, 0, 9, 9, 0, 0x00620061}), true},
        {"stretched DIB of 100 x 100 in 4 bytes",
         EmfRecord(81, {0,        0, 9, 9,  0,   0,   0,        0, 9, 9, 80, 40, 120, 4, 0,
                        0xCC0020, 9, 9, 40, 100, 100, 0x180001, 0, 0, 0, 0,  0,  0,   0}),
         false},
        {"stretched DIB of 1 x 1", EmfRecord(81, {0,        0, 9, 9,  0, 0, 0,        0, 1, 1, 80, 40, 120, 4, 0,
                                                  0xCC0020, 9, 9, 40, 1, 1, 0x180001, 0, 0, 0, 0,  0,  0,   0}),
         true},
        {"record of 6 bytes", ByteWriter().LE32(43).LE32(6).bytes(), false},
        {"second header", EmfRecord(1, {0, 0, 0, 0}), false},
        {"gradient naming vertex 7 of 1", EmfRecord(118, {0, 0, 9, 9, 1, 1, 0, 0, 0, 0, 0, 0, 7}), false},
        {"colour profile named in 8 bytes", EmfRecord(112, {0, 8, 0, 0x615C3A43, 0x6D63692E}), true},
        {"colour profile name longer than its record", EmfRecord(113, {0, 0x7FFFFFF0, 0, 0, 0}), false},
    };
    for (const auto& c : cases) {
        Bytes emf = Emf(c.records);
        EXPECT_EQ(CLvCodecWMF::CheckEmfRecords(emf), c.ok) << c.name;
        if (!c.ok) ExpectFailure(Emf(c.records), "corrupted WMF", c.name);
    }
}

// Metafiles written by other programs (tests/data/wmf/README.md) pass the header and record checks; a
// refusal names the record.
TEST(Wmf, FilesFromOtherProgramsPassTheChecks) {
    for (const char* name :
         {"wmf/gdi-shapes.wmf", "wmf/pillow-drawing.wmf", "wmf/uemf-placeable.wmf", "wmf/gdi-shapes.emf",
          "wmf/shapes-pstoedit.emf", "wmf/plot-gnuplot.emf", "wmf/fig2dev-shapes.emf", "wmf/uemf-dibs.emf"}) {
        Bytes file = ReadFileBytes(DataPath(name));
        LvMetafile metafile;
        CLvMemStream stream(file.data(), file.size());
        try {
            CLvCodecWMF::ReadMetafile(&stream, metafile);
        } catch (const CLvCodecError& e) {
            LvMetafileFault fault;
            bool placeable = file.size() > 22 && file[0] == 0xD7 && file[1] == 0xCD;
            Bytes records(file.begin() + (placeable ? 22 : 0), file.end());
            bool recordsOk = placeable ? CLvCodecWMF::CheckWmfRecords(records, &fault)
                                       : CLvCodecWMF::CheckEmfRecords(records, &fault);
            ADD_FAILURE() << name << ": " << e.Text() << "; records "
                          << (recordsOk ? "pass"
                                        : "refused at offset " + std::to_string(fault.offset) + ", type " +
                                              std::to_string(fault.type));
        }
    }
}

// Some writers count the 22-byte placeable header in the metafile's size, so the records end 22 bytes
// before the size says. The records up to the end record are read, and the GDI gets a header that says so.
TEST(Wmf, PlaceableSizeThatCountsThePlaceableHeader) {
    Bytes real = ReadFileBytes(DataPath("wmf/uemf-placeable.wmf"));
    Bytes synthetic = Placeable(Wmf(WmfRecord(0x012D, {0})), 0, 0, 1440, 720, 1440);
    synthetic[22 + 6] += 11; // 22 bytes more than the records
    for (const Bytes& file : {real, synthetic}) {
        uint32_t words = file[28] | file[29] << 8 | file[30] << 16 | uint32_t(file[31]) << 24;
        ASSERT_EQ(uint64_t(words) * 2, file.size());
        LvMetafile metafile;
        CLvMemStream stream(const_cast<uint8_t*>(file.data()), file.size());
        CLvCodecWMF::ReadMetafile(&stream, metafile);
        EXPECT_TRUE(metafile.placeable);
        ASSERT_EQ(metafile.bytes.size(), file.size() - 22);
        EXPECT_EQ(Bytes(metafile.bytes.begin() + 10, metafile.bytes.end()), Bytes(file.begin() + 32, file.end()));
        uint32_t given =
            metafile.bytes[6] | metafile.bytes[7] << 8 | metafile.bytes[8] << 16 | uint32_t(metafile.bytes[9]) << 24;
        EXPECT_EQ(given * 2, metafile.bytes.size());
        ExpectSound(file, "size with the placeable header");
    }
    // Bytes after the end record are not given to the GDI; a size beyond the whole file is still refused.
    Bytes trailing = Placeable(Wmf({}), 0, 0, 1440, 720, 1440);
    trailing.insert(trailing.end(), 40, 0xEE);
    LvMetafile metafile;
    CLvMemStream stream(trailing.data(), trailing.size());
    CLvCodecWMF::ReadMetafile(&stream, metafile);
    EXPECT_EQ(metafile.bytes.size(), 24u);
    Bytes beyond = real;
    beyond[28] += 1;
    ExpectFailure(beyond, "corrupted WMF", "size one word beyond the file");
}

// Bitmaps as writers store them: a colour table holding only the colours used (the header is mended to
// count them), JPEG and PNG pixels, run-length pixels with their byte count.
TEST(Wmf, EmfBitmapsAsWritersStoreThem) {
    // StretchDIBits of a w x h DIB: info (40-byte header and table) at 80, pixels after it.
    auto stretch = [](uint32_t bpp, uint32_t compression, uint32_t sizeImage, uint32_t clrUsed, uint32_t tableBytes,
                      uint32_t bitsBytes) {
        const uint32_t cbInfo = 40 + tableBytes;
        std::vector<uint32_t> f = {0,           0,           9,         9, 0,        0, 0, 0,  4, 4, 80,
                                   cbInfo,      80 + cbInfo, bitsBytes, 0, 0xCC0020, 4, 4, 40, 4, 4, (bpp << 16) | 1,
                                   compression, sizeImage,   0,         0, clrUsed,  0};
        ByteWriter w;
        w.LE32(81).LE32(uint32_t(8 + 4 * f.size() + tableBytes + bitsBytes));
        for (uint32_t v : f)
            w.LE32(v);
        w.Append(Bytes(tableBytes + bitsBytes, 0x11));
        return w.bytes();
    };
    struct {
        const char* name;
        Bytes record;
        bool ok;
        uint32_t clrUsed; // what the header says after the check
    } cases[] = {
        {"8 bits, whole table", stretch(8, 0, 0, 0, 1024, 16), true, 0},
        {"8 bits, 4 colours held, none counted", stretch(8, 0, 0, 0, 16, 16), true, 4},
        {"8 bits, 3 colours held, 200 counted", stretch(8, 0, 0, 200, 12, 16), true, 3},
        {"8 bits, no colour held", stretch(8, 0, 0, 0, 0, 16), false, 0},
        {"4 bits, 2 colours held", stretch(4, 0, 0, 0, 8, 16), true, 2},
        {"JPEG pixels", stretch(0, 4, 100, 0, 0, 100), true, 0},
        {"PNG pixels past the record", stretch(0, 5, 101, 0, 0, 100), false, 0},
        {"JPEG with a depth", stretch(24, 4, 100, 0, 0, 100), false, 0},
        {"run-length pixels", stretch(8, 1, 20, 0, 1024, 20), true, 0},
        {"run-length pixels without a byte count", stretch(8, 1, 0, 0, 1024, 20), false, 0},
        {"run-length pixels past the record", stretch(8, 1, 21, 0, 1024, 20), false, 0},
    };
    for (const auto& c : cases) {
        Bytes emf = Emf(c.record);
        EXPECT_EQ(CLvCodecWMF::CheckEmfRecords(emf), c.ok) << c.name;
        if (!c.ok) {
            ExpectFailure(Emf(c.record), "corrupted WMF", c.name);
            continue;
        }
        const size_t clrUsedAt = 88 + 80 + 32;
        uint32_t clrUsed =
            emf[clrUsedAt] | emf[clrUsedAt + 1] << 8 | emf[clrUsedAt + 2] << 16 | uint32_t(emf[clrUsedAt + 3]) << 24;
        EXPECT_EQ(clrUsed, c.clrUsed) << c.name;
        ExpectSound(Emf(c.record), c.name);
    }
}

// Older writers put the description straight after the 88-byte header and count it in the header size;
// its characters are then no pixel-format fields.
TEST(Wmf, DescriptionAfterTheBaseHeader) {
    Bytes emf = Emf({});
    // Header size 88 + 16 (8 UTF-16 characters at 88), the description's place in the header.
    Bytes description = {'f', 0, 'i', 0, 'g', 0, '2', 0, 'd', 0, 'e', 0, 'v', 0, 0, 0};
    emf.insert(emf.begin() + 88, description.begin(), description.end());
    auto put32 = [&emf](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            emf[at + i] = uint8_t(v >> (8 * i));
    };
    put32(4, 88 + 16);
    put32(48, uint32_t(emf.size()));
    put32(60, 8);
    put32(64, 88);
    EXPECT_TRUE(CLvCodecWMF::CheckEmfRecords(emf));
    ExpectSound(emf, "description at 88");
    // A description that is not there still refuses the file.
    put32(60, 400);
    ExpectFailure(emf, "corrupted WMF", "description past the header");
}

TEST(Wmf, SavingIsNotSupported) {
    CLvImage image(4, 4, 24);
    FillPattern(image, 8);
    CLvImage before(image);
    CLvMemStream stream;
    EXPECT_FALSE(image.Encode(&stream, LVFMT_WMF));
    EXPECT_STREQ(image.GetLastErrorText(), "Save WMF not supported");
    EXPECT_EQ(stream.GetLength(), 0u);
    EXPECT_TRUE(SamePicture(image, before));
}

TEST(Wmf, CancelStopsTheRead) {
    Bytes file = Emf({});
    CLvCodecWMF codec;
    codec.SetEscape(1);
    CLvMemStream stream(file.data(), file.size());
    EXPECT_FALSE(codec.Decode(&stream));
    EXPECT_STREQ(codec.GetLastErrorText(), "Cancelled");
    EXPECT_FALSE(codec.Decode(nullptr));
}

} // namespace
