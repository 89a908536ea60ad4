#include "image/LvStream.h"
#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(MemStream, GrowsByTheShortfallRoundedToPages) {
    CLvMemStream stream;
    EXPECT_EQ(stream.GetCapacity(), 0u);
    for (int i = 0; i < 4097; i++) {
        ASSERT_TRUE(stream.PutC(static_cast<unsigned char>(i)));
        size_t expected = i < 4096 ? 4096 : 8192;
        ASSERT_EQ(stream.GetCapacity(), expected) << "after " << i + 1 << " bytes";
    }
    EXPECT_EQ(stream.Size(), 4097);
    std::vector<char> big(10000, 'x');
    CLvMemStream other;
    EXPECT_EQ(other.Write(big.data(), 1, big.size()), big.size());
    EXPECT_EQ(other.GetCapacity(), 12288u);
    EXPECT_EQ(other.Write(big.data(), 100, 30), 30u); // 3000 more bytes: 712 short, one more page
    EXPECT_EQ(other.GetCapacity(), 16384u);
    EXPECT_EQ(other.Size(), 13000);
}

TEST(MemStream, SeekReadAndTheEnd) {
    CLvMemStream stream;
    // Without a buffer there is nothing to tell.
    EXPECT_EQ(stream.Tell(), -1);
    EXPECT_EQ(stream.Size(), -1);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Error(), -1);
    EXPECT_FALSE(stream.Flush());
    EXPECT_EQ(stream.GetC(), -1);

    const char text[] = "0123456789";
    ASSERT_EQ(stream.Write(text, 1, 10), 10u);
    EXPECT_TRUE(stream.Flush());
    EXPECT_FALSE(stream.Seek(-1, SEEK_SET));
    EXPECT_FALSE(stream.Seek(-11, SEEK_END));
    EXPECT_EQ(stream.Tell(), 10);
    ASSERT_TRUE(stream.Seek(-3, SEEK_END));
    EXPECT_EQ(stream.GetC(), '7');
    ASSERT_TRUE(stream.Seek(1, SEEK_CUR));
    EXPECT_EQ(stream.GetC(), '9');
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_TRUE(stream.Eof());
    EXPECT_EQ(stream.Error(), 0);

    // Whole items only: 10 bytes are 2 items of 4, and all 10 bytes are consumed.
    char out[16] = {0};
    ASSERT_TRUE(stream.Seek(0, SEEK_SET));
    EXPECT_EQ(stream.Read(out, 4, 3), 2u);
    EXPECT_EQ(memcmp(out, text, 10), 0);
    EXPECT_EQ(stream.Tell(), 10);

    // Past the end: the seek works, reads give nothing, and the position is an error.
    ASSERT_TRUE(stream.Seek(100, SEEK_SET));
    EXPECT_EQ(stream.Read(out, 1, 1), 0u);
    EXPECT_EQ(stream.Error(), 1);
    // Writing there fills the gap with zeros.
    ASSERT_TRUE(stream.PutC('z'));
    EXPECT_EQ(stream.Size(), 101);
    EXPECT_EQ(stream.GetBuffer()[50], 0);
    EXPECT_EQ(stream.GetBuffer()[100], 'z');
    EXPECT_EQ(stream.Read(out, 0, 5), 0u);
}

TEST(MemStream, CallerMemoryIsNeverFreedOrOverrun) {
    unsigned char caller[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        CLvMemStream stream(caller, 4);
        EXPECT_EQ(stream.Size(), 4);
        unsigned char out[8];
        EXPECT_EQ(stream.Read(out, 1, 8), 4u);
        ASSERT_TRUE(stream.Seek(2, SEEK_SET));
        // A write beyond the caller's 4 bytes moves the data into the stream's own buffer.
        const unsigned char more[4] = {9, 9, 9, 9};
        EXPECT_EQ(stream.Write(more, 1, 4), 4u);
        EXPECT_EQ(stream.Size(), 6);
        EXPECT_EQ(stream.GetBuffer()[1], 2);
        EXPECT_EQ(stream.GetBuffer()[5], 9);
    } // a stack buffer: freeing it would crash under ASan
    EXPECT_EQ(caller[4], 5);
}

TEST(FileStream, WithoutAFileEverythingFails) {
    CLvFileStream stream;
    char buffer[4];
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Read(buffer, 1, 4), 0u);
    EXPECT_EQ(stream.Write(buffer, 1, 4), 0u);
    EXPECT_FALSE(stream.Seek(0, SEEK_SET));
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_EQ(stream.Size(), -1);
    EXPECT_EQ(stream.Error(), -1);
    EXPECT_EQ(stream.GetC(), -1);
    EXPECT_FALSE(stream.PutC('a'));
    EXPECT_TRUE(stream.Eof());
    EXPECT_FALSE(stream.Flush());
    EXPECT_FALSE(stream.Close());
}

TEST(FileStream, ReadsWritesAndLeavesACallersFileOpen) {
    TempDir dir;
    std::string path = dir.Path("Fotoğraf 日本.bin");
    {
        CLvFileStream stream(path.c_str(), "wb");
        ASSERT_TRUE(stream.IsOpen());
        EXPECT_EQ(stream.Write("abcdef", 1, 6), 6u);
        EXPECT_TRUE(stream.PutC('g'));
        EXPECT_EQ(stream.Size(), 7);
        EXPECT_EQ(stream.Tell(), 7);
    }
    EXPECT_EQ(ReadFileBytes(path).size(), 7u);

    FILE* file = LvOpenFile(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    {
        CLvFileStream stream(file);
        ASSERT_TRUE(stream.Seek(2, SEEK_SET));
        EXPECT_EQ(stream.GetC(), 'c');
        EXPECT_EQ(stream.Tell(), 3);
        EXPECT_EQ(stream.Size(), 7);
        EXPECT_EQ(stream.Tell(), 3); // Size puts the position back
        char rest[8] = {0};
        EXPECT_EQ(stream.Read(rest, 1, 8), 4u);
        EXPECT_STREQ(rest, "defg");
        EXPECT_TRUE(stream.Eof());
    }
    // The stream did not close the caller's file.
    EXPECT_EQ(fseek(file, 0, SEEK_SET), 0);
    EXPECT_EQ(fgetc(file), 'a');
    fclose(file);
    EXPECT_EQ(LvOpenFile(dir.Path("missing.bin").c_str(), "rb"), nullptr);
}

} // namespace
