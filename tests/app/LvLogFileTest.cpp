#include "acquire/LvLogFile.h"

#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string Contents(const std::string& path) {
    Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

struct Clock {
    LvLogTime now{2004, 5, 2, 14, 7, 9, 45};
    std::function<LvLogTime()> Function() {
        return [this] { return now; };
    }
};

TEST(LvLogFile, NamesFollowTheRunAndTheMinute) {
    TempDir dir;
    Clock clock;
    const struct {
        const char* name;
        const char* file;
    } cases[] = {{"Batch.txt", "Batch200405021407.log"},
                 {"Batch", "Batch200405021407.log"},
                 {"BatchFormat.txt", "BatchFormat200405021407.log"},
                 {"a.b.c", "a.b200405021407.log"}};
    for (const auto& c : cases) {
        CLogFile log(clock.Function(), dir.Path("log"));
        ASSERT_TRUE(log.OpenLog(c.name)) << c.name;
        const std::string path = log.Path();
        ASSERT_GT(path.size(), strlen(c.file));
        EXPECT_EQ(path.substr(path.size() - strlen(c.file)), c.file);
        EXPECT_EQ(path.compare(0, dir.Path("log").size(), dir.Path("log")), 0) << path;
        EXPECT_TRUE(FileExists(path)) << c.name;
    }
}

TEST(LvLogFile, RecordsTheirTimeAndMessage) {
    TempDir dir;
    Clock clock;
    CLogFile log(clock.Function(), dir.Path("log"));
    EXPECT_FALSE(log.WriteLog("before opening"));
    ASSERT_TRUE(log.OpenLog("Batch.txt"));
    EXPECT_TRUE(log.WriteLog("Processing C:\\photos\\a.jpg"));
    clock.now = {2004, 5, 2, 14, 8, 0, 7};
    EXPECT_TRUE(log.WriteLog(""));
    EXPECT_TRUE(log.WriteLog("two\nlines\n"));
    EXPECT_EQ(Contents(log.Path()), "2004-05-02 14:07:09.045 Processing C:\\photos\\a.jpg.\r\n"
                                    "2004-05-02 14:08:00.007 .\r\n"
                                    "2004-05-02 14:08:00.007 two\nlines\n.\r\n");
    // A second run of the same log starts it again, under the same name, whatever the time is now.
    const std::string first = log.Path();
    clock.now.minute = 30;
    ASSERT_TRUE(log.OpenLog("Batch.txt"));
    EXPECT_EQ(log.Path(), first);
    EXPECT_TRUE(log.WriteLog("again"));
    EXPECT_EQ(Contents(first), "2004-05-02 14:30:00.007 again.\r\n");
}

TEST(LvLogFile, StartsAgainPastTwoMebibytes) {
    TempDir dir;
    Clock clock;
    CLogFile log(clock.Function(), dir.Path("log"));
    ASSERT_TRUE(log.OpenLog("Big"));
    // Records of 1027 bytes: 2043 of them reach 2,098,161 bytes, past the limit.
    const std::string line(1000, 'x');
    for (int i = 0; i < 2043; i++)
        ASSERT_TRUE(log.WriteLog(line));
    ASSERT_GT(Contents(log.Path()).size(), size_t(CLogFile::kMaxSize));
    EXPECT_TRUE(log.WriteLog("fresh"));
    EXPECT_EQ(Contents(log.Path()), "2004-05-02 14:07:09.045 fresh.\r\n");
}

TEST(LvLogFile, AFolderThatCannotBeMadeLeavesTheLogClosed) {
    TempDir dir;
    WriteFileBytes(dir.Path("file"), Bytes{1});
    Clock clock;
    CLogFile log(clock.Function(), dir.Path("file/log"));
    EXPECT_FALSE(log.OpenLog("Batch.txt"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.WriteLog("dropped"));
}

} // namespace
