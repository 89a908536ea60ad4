#include "batch/LvBatch.h"

#include "LvTestUtil.h"
#include "app/LvEffectConfig.h"
#include "effects/LvOperations.h"
#include "image/LvFileExt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace {

CLogFile* NewLog(const TempDir& dir) {
    CLogFile* log = new CLogFile([] { return LvLogTime{2026, 1, 2, 3, 4, 5, 6}; }, dir.Path("log"));
    log->OpenLog("Batch.txt");
    return log;
}

void WritePicture(const std::string& path, int width, int height, int bpp, unsigned seed, DWORD format = 0) {
    CLvImage image(width, height, bpp);
    FillPattern(image, seed);
    ASSERT_TRUE(image.Encode(path.c_str(), format ? format : GetTypeFromExt(GetFileExt(path)))) << path;
}

CLvImage Read(const std::string& path) {
    CLvImage image;
    image.Load(path.c_str(), GetTypeFromExt(GetFileExt(path)));
    return image;
}

std::vector<std::string> Names(const std::vector<std::string>& paths, const std::string& root) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        // Below the root, with "/" between folders whatever the system's separator.
        std::string name = path.substr(root.size() + 1);
        std::replace(name.begin(), name.end(), kLvPathSeparator, '/');
        names.push_back(name);
    }
    return names;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

// ---- the folder scan ----

TEST(LvBatchScan, TakesTheElevenExtensionsUpperCasedAndEntersSubfoldersOnlyWhenAsked) {
    TempDir dir;
    for (const char* name : {"a.jpg", "B.PNG", "c.jpeg", "d.tiff", "e.emf", "f.txt", "noext", "g.Wbmp", "h.wmf"})
        WriteFileBytes(dir.Path(name), Bytes{1});
    MakeFolder(dir.Path("x.jpg"));
    WriteFileBytes(dir.Path("x.jpg/in.bmp"), Bytes{1});
    MakeFolder(dir.Path("sub"));
    MakeFolder(dir.Path("sub/deeper"));
    WriteFileBytes(dir.Path("sub/s.gif"), Bytes{1});
    WriteFileBytes(dir.Path("sub/deeper/t.tif"), Bytes{1});
    MakeFolder(dir.Path("folder.d"));
    WriteFileBytes(dir.Path("folder.d/nodot"), Bytes{1});
    // A link back up the tree is not followed (Windows may refuse to make one without privileges).
    std::error_code linkError;
    std::filesystem::create_directory_symlink(std::filesystem::u8path(dir.Root()),
                                              std::filesystem::u8path(dir.Path("sub/loop")), linkError);
#ifndef _WIN32
    ASSERT_FALSE(linkError) << linkError.message();
#endif

    const int all[kLvBatchTypeCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    int jpgOnly[kLvBatchTypeCount] = {1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    int none[kLvBatchTypeCount] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    none[0] = 1; // code 0 has no box and stays set
    const struct {
        bool recurse;
        const int* flags;
        std::vector<std::string> expected;
    } cases[] = {
        {false, nullptr, {"B.PNG", "a.jpg", "e.emf", "g.Wbmp", "h.wmf"}},
        {false, all, {"B.PNG", "a.jpg", "e.emf", "g.Wbmp", "h.wmf"}},
        {false, jpgOnly, {"a.jpg", "e.emf"}},
        {false, none, {"e.emf"}},
        {true, all, {"B.PNG", "a.jpg", "e.emf", "g.Wbmp", "h.wmf", "sub/deeper/t.tif", "sub/s.gif", "x.jpg/in.bmp"}},
        {true, jpgOnly, {"a.jpg", "e.emf"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> found;
        CollectImageFiles(found, LvBatchPattern(dir.Root()), c.recurse, c.flags);
        EXPECT_EQ(Sorted(Names(found, dir.Root())), c.expected) << c.recurse;
    }

    // A subfolder's files come together, where the subfolder is met.
    std::vector<std::string> found;
    CollectImageFiles(found, LvBatchPattern(dir.Root()), true, nullptr);
    std::vector<std::string> names = Names(found, dir.Root());
    auto first = std::find(names.begin(), names.end(), "sub/s.gif");
    auto deeper = std::find(names.begin(), names.end(), "sub/deeper/t.tif");
    ASSERT_NE(first, names.end());
    ASSERT_NE(deeper, names.end());
    EXPECT_EQ(std::abs(int(first - deeper)), 1);

    // Appends; a missing folder adds nothing; a pattern with a trailing separator is the same folder.
    std::vector<std::string> more = {"kept"};
    CollectImageFiles(more, LvBatchPattern(dir.Path("missing")), true, nullptr);
    EXPECT_EQ(more, std::vector<std::string>{"kept"});
    std::vector<std::string> again;
    CollectImageFiles(again, LvBatchPattern(dir.Root() + "/"), false, nullptr);
    EXPECT_EQ(Sorted(Names(again, dir.Root())).size(), 5u);
}

// ---- the effects ----

TEST(LvBatchEffects, FiftyRowsInIdOrderEachRunningAnOperationWithItsStoredValues) {
    const LvBatchEffect* effects = LvBatchEffects();
    const struct {
        int id;
        const char* name;
    } names[] = {{0, "Grayscale"},         {14, "Ostu Threshold"}, {19, "Blur"},         {23, "Rotate to Any Angle"},
                 {25, "Erase Image Edge"}, {43, "Cone"},           {48, "Photo Shadow"}, {49, "Thumbnail"}};
    for (const auto& n : names)
        EXPECT_STREQ(effects[n.id].name, n.name);
    for (int id = 0; id < kLvBatchEffectCount; id++) {
        EXPECT_EQ(effects[id].id, id);
        if (effects[id].operation) {
            EXPECT_NE(LvFindOperation(effects[id].operation), nullptr) << id;
        }
        if (effects[id].config) {
            EXPECT_FALSE(CLvEffectConfig(effects[id].config).Rows().empty()) << id;
        }
    }
    EXPECT_EQ(effects[49].operation, nullptr);
}

TEST(LvBatchEffects, EdgeCasesOfTheStoredValues) {
    CLvMemorySettings settings;
    const std::string rotate = LvEffectSection("Rotate"), resize = LvEffectSection("Resize");

    // Rotate Left then Mirror on 3 x 2 gives 2 x 3, as the operations themselves do.
    CLvImage image(3, 2, 24), expected;
    FillPattern(image, 3);
    expected.Copy(image);
    ASSERT_TRUE(expected.RotateLeft() && expected.Mirror());
    ASSERT_TRUE(LvApplyBatchEffect(2, image, settings, "") && LvApplyBatchEffect(5, image, settings, ""));
    EXPECT_TRUE(SamePicture(image, expected));

    // Angle 0 leaves the picture alone; a stored angle turns it.
    CLvImage before(image);
    EXPECT_TRUE(LvApplyBatchEffect(23, image, settings, ""));
    EXPECT_TRUE(SamePicture(image, before));
    settings.WriteNumber(rotate, "Angle", 90);
    LvApplyBatchEffect(23, image, settings, "");
    EXPECT_FALSE(SamePicture(image, before));

    // Resize by a percentage: trunc(5050 x 0.01) = 50; by sizes: the stored sides.
    const struct {
        int type, percentage, width, height;
        int expectedWidth, expectedHeight;
    } sizes[] = {{1, 50, 0, 0, 50, 25}, {1, 200, 0, 0, 202, 102}, {0, 0, 7, 9, 7, 9}};
    for (const auto& s : sizes) {
        settings.WriteNumber(resize, "Type", s.type);
        settings.WriteNumber(resize, "Percentage", s.percentage);
        settings.WriteNumber(resize, "Width", s.width);
        settings.WriteNumber(resize, "Height", s.height);
        CLvImage picture(101, 51, 24);
        FillPattern(picture, 1);
        LvApplyBatchEffect(26, picture, settings, "");
        EXPECT_EQ(picture.GetWidth(), s.expectedWidth) << s.percentage;
        EXPECT_EQ(picture.GetHeight(), s.expectedHeight) << s.percentage;
    }

    // Add Edge with its defaults (10 a side), then with a stored value read anew.
    CLvImage edged(20, 10, 24);
    LvApplyBatchEffect(24, edged, settings, "");
    EXPECT_EQ(edged.GetWidth(), 40);
    settings.WriteNumber(LvEffectSection("Add Edge"), "Left", 3);
    LvApplyBatchEffect(24, edged, settings, "");
    EXPECT_EQ(edged.GetWidth(), 53);
    // Erase Edge's stored negative widths cut.
    LvApplyBatchEffect(25, edged, settings, "");
    EXPECT_EQ(edged.GetWidth(), 33);

    // The thumbnail of 200 x 100 at 30 %: 60 x 30, framed to 82 x 82, then the shadow's 16 more.
    settings.WriteNumber(LvEffectSection("Thumbnail"), "Percentage", 30);
    CLvImage photo(200, 100, 24);
    FillPattern(photo, 2);
    EXPECT_TRUE(LvApplyBatchEffect(49, photo, settings, ""));
    EXPECT_EQ(photo.GetWidth(), 82 + 16);
    EXPECT_EQ(photo.GetHeight(), 82 + 16);

    // Ids outside the table apply nothing.
    CLvImage untouched(before);
    EXPECT_FALSE(LvApplyBatchEffect(50, untouched, settings, ""));
    EXPECT_FALSE(LvApplyBatchEffect(-1, untouched, settings, ""));
    EXPECT_TRUE(SamePicture(untouched, before));
}

// ---- the runner ----

class BatchRun : public testing::Test {
protected:
    int Run(const LvBatchJob& job, bool recurse = false, LvBatchProgress* progress = nullptr, int jobs = 1) {
        log.reset(NewLog(dir));
        return LvRunBatch(job, folder, recurse, nullptr, log.get(), stop, progress, files, jobs);
    }
    std::vector<std::string> Records() { return LogRecords(log->Path()); }
    std::string P(std::string name) {
        std::replace(name.begin(), name.end(), '/', kLvPathSeparator);
        return folder + kLvPathSeparator + name;
    }

    void SetUp() override { MakeFolder(folder); }

    TempDir dir;
    std::string folder = dir.Path("photos");
    std::unique_ptr<CLogFile> log;
    std::atomic<int> stop{0};
    std::vector<std::string> files;
    CLvMemorySettings settings;
};

TEST_F(BatchRun, OutcomesAndTheirLogLines) {
    LvBatchJob job;
    EXPECT_EQ(Run(job), kLvBatchNoEffect);
    job.steps = LvBatchEffectSteps({1}, settings);
    EXPECT_EQ(Run(job), kLvBatchNoFile);
    WritePicture(P("a.bmp"), 4, 3, 24, 1);
    WritePicture(P("b.png"), 4, 3, 8, 2);
    CLvImage a = Read(P("a.bmp"));
    EXPECT_EQ(Run(job), kLvBatchDone);
    EXPECT_EQ(Records(),
              std::vector<std::string>{"There's 2 files to be batch builded of 1 effects, please wait...\n"});
    ASSERT_TRUE(a.Negative());
    EXPECT_TRUE(SamePicture(Read(P("a.bmp")), a));

    stop = 1;
    EXPECT_EQ(Run(job), kLvBatchStopped);
    EXPECT_TRUE(SamePicture(Read(P("a.bmp")), a)) << "no file is begun after a stop";

    EXPECT_STREQ(LvBatchMessage(0), "Batch building Done succefully!");
    EXPECT_STREQ(LvBatchMessage(1),
                 "There's error in the batch building procedure, please check the log file for detail.");
    EXPECT_STREQ(LvBatchMessage(2), "User canceled the batch building");
    EXPECT_STREQ(LvBatchMessage(3), "No file matched in the folder!");
    EXPECT_STREQ(LvBatchMessage(4), "No effect selected!");
    EXPECT_STREQ(LvBatchMessage(5), "");
}

// Stops the run when a given step of the first file begins.
struct StopAtStep : LvBatchProgress {
    std::atomic<int>& stop;
    int step;
    std::vector<std::string> seen;
    StopAtStep(std::atomic<int>& s, int at) : stop(s), step(at) {}
    void File(int number, int count, const std::string& path) override {
        seen.push_back(std::to_string(number) + "/" + std::to_string(count) + " " + path);
    }
    void Step(int number, int, const std::string& name) override {
        seen.push_back(name);
        if (number == step) stop = 1;
    }
};

TEST_F(BatchRun, AStopBetweenEffectsWritesTheFileWithTheEffectsSoFarAndEndsTheRun) {
    WritePicture(P("only.bmp"), 5, 3, 24, 7);
    LvBatchJob job;
    // Mirror, Rotate Left, Flip, Negative, Rotate 180: stopped as the third begins.
    job.steps = LvBatchEffectSteps({5, 2, 6, 1, 4}, settings);
    CLvImage expected = Read(P("only.bmp"));
    ASSERT_TRUE(expected.Mirror() && expected.RotateLeft());
    StopAtStep progress(stop, 3);
    EXPECT_EQ(Run(job, false, &progress), kLvBatchStopped);
    CLvImage written = Read(P("only.bmp"));
    CLvImage third(expected);
    ASSERT_TRUE(third.Flip());
    EXPECT_TRUE(SamePicture(written, expected) || SamePicture(written, third));
    EXPECT_EQ(progress.seen, (std::vector<std::string>{"1/1 " + P("only.bmp"), "Mirror", "Rotate Left", "Flip"}));
}

// A stream that passes writes to the file until a number of bytes, and fails after.
class BrokenStream : public CLvStream {
public:
    BrokenStream(CLvStream* inner, long limit) : m_inner(inner), m_limit(limit) {}
    bool Close() override { return m_inner->Close(); }
    size_t Read(void* b, size_t s, size_t c) override { return m_inner->Read(b, s, c); }
    size_t Write(const void* b, size_t s, size_t c) override {
        if (m_inner->Tell() + long(s * c) > m_limit) {
            m_inner->Write(b, 1, size_t(std::max(0L, m_limit - m_inner->Tell())));
            return 0;
        }
        return m_inner->Write(b, s, c);
    }
    bool Seek(long o, int origin) override { return m_inner->Seek(o, origin); }
    long Tell() override { return m_inner->Tell(); }
    long Size() override { return m_inner->Size(); }
    bool Flush() override { return m_inner->Flush(); }
    bool Eof() override { return m_inner->Eof(); }
    long Error() override { return m_inner->Tell() >= m_limit ? 1 : m_inner->Error(); }
    bool PutC(unsigned char c) override { return Write(&c, 1, 1) == 1; }
    long GetC() override { return m_inner->GetC(); }

private:
    CLvStream* m_inner;
    long m_limit;
};

// Breaks the write of the n-th file written (from 1) half-way through.
struct BreakNth {
    explicit BreakNth(int which) : n(which) {}
    int n;
    int count = 0;
    std::unique_ptr<BrokenStream> stream;
    static CLvStream* Filter(CLvStream* file, void* user) {
        BreakNth* self = static_cast<BreakNth*>(user);
        if (++self->count != self->n) return file;
        self->stream.reset(new BrokenStream(file, 40));
        return self->stream.get();
    }
};

// Deletes a file when another one begins.
struct DeleteOnFile : LvBatchProgress {
    std::string victim;
    void File(int number, int, const std::string&) override {
        if (number == 1) remove(victim.c_str());
    }
};

TEST_F(BatchRun, FaultsLoseNoFileAndTheRunGoesOn) {
    // Scan order is the file system's: the test finds it first and names the roles by position.
    for (const char* name : {"p1.bmp", "p2.bmp", "p3.bmp", "p4.bmp", "p5.bmp"})
        WritePicture(P(name), 6, 4, 24, unsigned(name[1]));
    std::vector<std::string> order;
    CollectImageFiles(order, LvBatchPattern(folder), false, nullptr);
    ASSERT_EQ(order.size(), 5u);
    // Second: damaged; fourth: vanishes when the first begins; third: its write breaks (it is the second
    // file written).
    WriteFileBytes(order[1], Bytes{'B', 'M', 0, 0, 1, 2, 3});
    const Bytes third = ReadFileBytes(order[2]);
    std::vector<CLvImage> expected;
    for (const std::string& path : order) {
        expected.push_back(Read(path));
        expected.back().Negative();
    }
    LvBatchJob job;
    job.steps = LvBatchEffectSteps({1}, settings);
    BreakNth breaker(2);
    job.writeFilter = BreakNth::Filter;
    job.writeFilterUser = &breaker;
    DeleteOnFile deleter;
    deleter.victim = order[3];
    EXPECT_EQ(Run(job, false, &deleter), kLvBatchFailed);

    EXPECT_TRUE(SamePicture(Read(order[0]), expected[0]));
    EXPECT_EQ(ReadFileBytes(order[1]), (Bytes{'B', 'M', 0, 0, 1, 2, 3}));
    EXPECT_EQ(ReadFileBytes(order[2]), third) << "a broken write leaves the original whole";
    EXPECT_FALSE(FileExists(order[2] + ".lvtmp"));
    EXPECT_TRUE(SamePicture(Read(order[4]), expected[4]));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].rfind(order[1] + " : ", 0), 0u) << records[1];
    EXPECT_GT(records[1].size(), order[1].size() + 3) << "the reader's reason";
    EXPECT_EQ(records[2].rfind(order[2] + " : ", 0), 0u) << records[2];
    EXPECT_EQ(records[3], order[3] + " : Can't open the file");
}

TEST_F(BatchRun, FormatRunsWriteBesideTheSourceWithTheUpperCaseExtension) {
    WritePicture(P("photo.bmp"), 8, 6, 24, 1);
    WritePicture(P("b.jpg"), 8, 6, 24, 2);
    // A.jpg would become A.BMP, which is another picture of the run: refused, both kept.
    WritePicture(P("A.jpg"), 8, 6, 24, 3);
    WritePicture(P("A.BMP"), 8, 6, 24, 4);
    const Bytes capitalBmp = ReadFileBytes(P("A.BMP"));
    LvBatchJob job;
    job.kind = kLvBatchFormat;
    job.targetFormat = LVFMT_JPG;
    EXPECT_EQ(LvBatchTarget(job, "/x/photo.bmp"), "/x/photo.JPG");
    job.targetFormat = LVFMT_BMP;
    EXPECT_EQ(Run(job), kLvBatchFailed);
    EXPECT_TRUE(FileExists(P("photo.BMP")));
    EXPECT_TRUE(FileExists(P("b.BMP")));
    EXPECT_EQ(Read(P("b.BMP")).GetWidth(), 8);
    EXPECT_EQ(Read(P("A.BMP")).GetFormat(), DWORD(LVFMT_BMP));
    CLvImage capital = Read(P("A.BMP")), original;
    DecodeBytes(original, capitalBmp, LVFMT_BMP);
    EXPECT_TRUE(SamePicture(capital, original));
    const std::vector<std::string> records = Records();
    EXPECT_EQ(records[0], "There's 4 files to be converted to BMP");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1], P("A.jpg") + " : A.BMP is another picture of this batch and was not replaced");

    // JPEG output takes quality 80 and 100 dpi; a folder where the new file would go is logged.
    MakeFolder(P("photo.JPG"));
    job.targetFormat = LVFMT_JPG;
    Run(job);
    CLvImage jpeg = Read(P("b.JPG"));
    EXPECT_EQ(jpeg.GetXDPI(), 100);
    bool logged = false;
    for (const std::string& r : Records())
        logged |= r == P("photo.bmp") + " : Can't replace the file";
    EXPECT_TRUE(logged);
}

TEST_F(BatchRun, WmfTargetFailsEveryFileAndWritesNothing) {
    WritePicture(P("a.bmp"), 4, 4, 24, 1);
    WritePicture(P("b.gif"), 4, 4, 8, 2);
    LvBatchJob job;
    job.kind = kLvBatchFormat;
    job.targetFormat = LVFMT_WMF;
    EXPECT_EQ(Run(job), kLvBatchFailed);
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 3u);
    for (size_t i = 1; i < 3; i++)
        EXPECT_NE(records[i].find(" : Save WMF not supported"), std::string::npos) << records[i];
    std::vector<std::string> left;
    CollectImageFiles(left, LvBatchPattern(folder), false, nullptr);
    EXPECT_EQ(left.size(), 2u);
    EXPECT_FALSE(FileExists(P("a.WMF.lvtmp")));
}

TEST_F(BatchRun, ColourRunsRewriteInPlace) {
    WritePicture(P("eight.bmp"), 9, 5, 8, 1);
    WritePicture(P("one.png"), 9, 5, 1, 2);
    WriteFileBytes(P("metafile.emf"), Bytes{1, 0, 0, 0});
    const Bytes emf = ReadFileBytes(P("metafile.emf"));
    // WBMP holds 1 bit only: the 8-bit picture is refused and the file stays.
    WritePicture(P("mono.wbmp"), 9, 5, 1, 3);
    const Bytes wbmp = ReadFileBytes(P("mono.wbmp"));
    CLvImage eight = Read(P("eight.bmp"));
#ifndef _WIN32
    struct stat before;
    stat(P("eight.bmp").c_str(), &before);
#endif

    LvBatchJob job;
    job.kind = kLvBatchColor;
    job.depth = 8;
    EXPECT_EQ(Run(job), kLvBatchFailed) << "the metafile cannot be written back";
#ifndef _WIN32
    // Rewritten through a new file, so a new inode (Windows has no inode to compare).
    struct stat after;
    stat(P("eight.bmp").c_str(), &after);
    EXPECT_NE(before.st_ino, after.st_ino) << "an 8-bit picture is still rewritten";
#endif
    EXPECT_TRUE(SamePicture(Read(P("eight.bmp")), eight));
    EXPECT_EQ(ReadFileBytes(P("metafile.emf")), emf);
    EXPECT_EQ(ReadFileBytes(P("mono.wbmp")), wbmp);
    const std::vector<std::string> records = Records();
    EXPECT_EQ(records[0], "There's 4 files to be batch change color to 8 Bpp\n");
    EXPECT_NE(std::find(records.begin(), records.end(), P("mono.wbmp") + " : Can't save this image as WBMP"),
              records.end());
    EXPECT_EQ(records.size(), 3u);

    job.depth = 24;
    Run(job);
    CLvImage one = Read(P("one.png"));
    EXPECT_EQ(one.GetBpp(), 24);
    EXPECT_EQ(one.GetFormat(), DWORD(LVFMT_PNG));
}

TEST_F(BatchRun, ParallelFilesGiveTheSameFilesLogAndOutcome) {
    // Noise and jitter draw random numbers: every file starts from the same seed whatever runs beside it.
    const char* names[] = {"a.bmp", "b.bmp", "c.png", "d.bmp", "e.tga", "f.bmp"};
    LvBatchJob job;
    settings.WriteNumber(LvEffectSection("Noise"), "Radius", 60);
    settings.WriteNumber(LvEffectSection("Jitter"), "Radius", 3);
    job.steps = LvBatchEffectSteps({37, 40, 1}, settings);
    std::vector<Bytes> results[2];
    std::vector<std::string> logs[2];
    const int jobs[2] = {1, 4};
    for (int run = 0; run < 2; run++) {
        for (size_t i = 0; i < 6; i++)
            WritePicture(P(names[i]), 30, 20, 24, unsigned(i));
        WriteFileBytes(P("broken.bmp"), Bytes{'B', 'M'});
        EXPECT_EQ(Run(job, false, nullptr, jobs[run]), kLvBatchFailed);
        for (const char* name : names)
            results[run].push_back(ReadFileBytes(P(name)));
        logs[run] = Records();
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(logs[0], logs[1]);
    EXPECT_NE(results[0][0], results[0][3]) << "different pictures stay different";
}

} // namespace
