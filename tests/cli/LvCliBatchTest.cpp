#include "LvCliRun.h"
#include "LvTestUtil.h"
#include "cli/LvCli.h"
#include "image/LvFileExt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class CliBatch : public testing::Test {
protected:
    void SetUp() override {
        MakeFolder(folder);
        MakeFolder(folder + "/sub");
        for (const char* name : {"a.bmp", "b.bmp", "c.png", "sub/d.bmp", "e.bmp"}) {
            CLvImage image(12, 8, 24);
            FillPattern(image, unsigned(name[0]));
            const std::string path = folder + "/" + name;
            ASSERT_TRUE(image.Encode(path.c_str(), GetTypeFromExt(GetFileExt(path))));
        }
    }
    // A path in the folder as the program writes it ("sub/d.bmp" with the system's separator).
    std::string P(std::string name) const {
        std::replace(name.begin(), name.end(), '/', kLvPathSeparator);
        return folder + kLvPathSeparator + name;
    }
    CLvImage Read(const std::string& name) const {
        CLvImage image;
        image.Load(P(name).c_str(), GetTypeFromExt(GetFileExt(name)));
        return image;
    }
    // The records of the run's log, the only file in the log folder.
    std::vector<std::string> Records() const {
        std::vector<std::string> found;
        CollectLogs(found);
        return found.size() == 1 ? LogRecords(found[0]) : std::vector<std::string>();
    }
    void CollectLogs(std::vector<std::string>& found) const {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir.Path("log")), error))
            if (entry.path().extension() == ".log") found.push_back(entry.path().u8string());
    }
    std::vector<std::string> Common() const { return {"--log-dir", dir.Path("log"), "--jobs", "2"}; }
    CliResult Batch(std::vector<std::string> words) const {
        words.insert(words.begin(), "batch");
        for (const std::string& w : Common())
            words.push_back(w);
        return RunCli(words);
    }

    TempDir dir;
    std::string folder = dir.Path("photos");
};

TEST_F(CliBatch, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"batch"},
        {"batch", "resize", folder},
        {"batch", "effect", folder},
        {"batch", "effect", folder, "no-such-operation"},
        {"batch", "effect", folder, "resize"},
        {"batch", "effect", folder, "pattern", "50"},
        {"batch", "convert", folder},
        {"batch", "convert", folder, "--to", "xyz"},
        {"batch", "convert", folder, "--to", "jpg", "--quality", "0"},
        {"batch", "convert", folder, "--to", "gif", "--gif-encoding", "zip"},
        {"batch", "color", folder, "--bpp", "16"},
        {"batch", "color", folder, "--bpp", "8", "--to", "png"},
        {"batch", "effect", folder, "--types", "bmp,doc", "negative"},
        {"batch", "effect", folder, "--jobs", "0", "negative"},
        {"batch", "effect", folder, "--shard", "3/2", "negative"},
        {"batch", "effect", folder, "--shard", "0/2", "negative"},
    };
    for (const auto& words : wrong)
        EXPECT_EQ(RunCli(words).code, 2) << words.size() << " " << words.back();
    EXPECT_EQ(Read("a.bmp").GetWidth(), 12) << "nothing was touched";
}

TEST_F(CliBatch, EffectChainOverTheFolderAndItsSubfolders) {
    CLvImage a = Read("a.bmp"), d = Read("sub/d.bmp");
    CliResult r = Batch({"effect", folder, "--recursive", "rotate-left", "resize", "50%", "negative"});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const char* name : {"a.bmp", "c.png", "sub/d.bmp"}) {
        EXPECT_EQ(Read(name).GetWidth(), 4) << name;
        EXPECT_EQ(Read(name).GetHeight(), 6) << name;
    }
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], "There's 5 files to be batch builded of 3 effects, please wait...\n");
    EXPECT_EQ(records[1], "Batch building Done succefully!");
    EXPECT_TRUE(r.out.empty());
    EXPECT_TRUE(r.err.empty()) << "no progress line when not on a terminal";
}

TEST_F(CliBatch, TypesShardsAndDryRun) {
    CliResult dry = Batch({"convert", folder, "--to", "jpg", "--dry-run", "--types", "bmp"});
    EXPECT_EQ(dry.code, 0) << dry.err;
    EXPECT_NE(dry.out.find(P("a.bmp") + " -> " + P("a.JPG") + "\n"), std::string::npos) << dry.out;
    EXPECT_EQ(dry.out.find("c.png"), std::string::npos);
    EXPECT_FALSE(FileExists(P("a.JPG")));

    // The shards of three runs together take every file once.
    std::string all;
    for (const char* shard : {"1/3", "2/3", "3/3"}) {
        CliResult part = Batch({"color", folder, "--bpp", "8", "--dry-run", "--shard", shard});
        EXPECT_EQ(part.code, 0);
        all += part.out;
    }
    CliResult whole = Batch({"color", folder, "--bpp", "8", "--dry-run"});
    EXPECT_EQ(all.size(), whole.out.size());
    for (const char* name : {"a.bmp", "b.bmp", "c.png", "e.bmp"})
        EXPECT_NE(all.find(P(name) + " -> " + P(name) + "\n"), std::string::npos) << name;
    CliResult single = Batch({"color", folder, "--bpp", "8", "--dry-run", "--shard", "2/3"});
    EXPECT_EQ(std::count(single.out.begin(), single.out.end(), '\n'), 1);
}

TEST_F(CliBatch, ExitStatusByOutcome) {
    EXPECT_EQ(Batch({"convert", dir.Path("empty"), "--to", "png"}).code, 3);
    EXPECT_EQ(Batch({"convert", folder, "--types", "gif", "--to", "png"}).code, 3);

    CliResult converted = Batch({"convert", folder, "--to", "tif", "--tiff-compression", "lzw"});
    EXPECT_EQ(converted.code, 0) << converted.err;
    EXPECT_EQ(Read("b.TIF").GetWidth(), 12);

    CliResult wmf = Batch({"convert", folder, "--to", "wmf"});
    EXPECT_EQ(wmf.code, 1);
    EXPECT_NE(wmf.err.find("There's error in the batch building procedure"), std::string::npos) << wmf.err;

    WriteFileBytes(P("damaged.png"), Bytes{0x89, 'P', 'N', 'G'});
    CliResult color = Batch({"color", folder, "--bpp", "1"});
    EXPECT_EQ(color.code, 1);
    EXPECT_EQ(Read("a.bmp").GetBpp(), 1);
    EXPECT_EQ(ReadFileBytes(P("damaged.png")), (Bytes{0x89, 'P', 'N', 'G'}));
}

} // namespace
