#include "acquire/LvAcquire.h"
#include "image/LvImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LvAcquire, CaptureRectangleIsClippedToTheScreen) {
    const struct {
        int left, top, right, bottom;
        bool ok;
        LvCaptureArea area;
    } cases[] = {
        {10, 20, 110, 70, true, {10, 20, 100, 50, 0, 0}},                       // inside
        {-30, 20, 70, 70, true, {0, 20, 70, 50, 30, 0}},                        // off the left edge
        {10, -5, 110, 70, true, {10, 0, 100, 70, 0, 5}},                        // off the top
        {600, 400, 900, 700, true, {600, 400, 200, 200, 0, 0}},                 // off the right and bottom
        {-10, -10, 1000, 1000, true, {0, 0, 800, 600, 10, 10}},                 // larger than the screen
        {-100, 20, -1, 70, false, {0, 0, 0, 0, 0, 0}},                          // wholly left
        {10, -60, 110, 0, false, {0, 0, 0, 0, 0, 0}},                           // wholly above
        {800, 20, 900, 70, false, {0, 0, 0, 0, 0, 0}},                          // wholly right
        {50, 50, 50, 80, false, {0, 0, 0, 0, 0, 0}},                            // no width
        {INT32_MIN + 1, 0, INT32_MAX, 10, true, {0, 0, 800, 10, INT32_MAX, 0}}, // far off both sides
        {INT32_MIN, 0, 100, 10, false, {0, 0, 0, 0, 0, 0}},                     // a start no int can hold
    };
    for (const auto& c : cases) {
        LvCaptureArea a;
        ASSERT_EQ(LvClipCaptureRect(c.left, c.top, c.right, c.bottom, 800, 600, a), c.ok) << c.left << "," << c.top;
        if (!c.ok) continue;
        EXPECT_EQ(a.left, c.area.left);
        EXPECT_EQ(a.top, c.area.top);
        EXPECT_EQ(a.width, c.area.width);
        EXPECT_EQ(a.height, c.area.height);
        EXPECT_EQ(a.sourceY, c.area.sourceY);
        EXPECT_EQ(a.sourceX, c.area.sourceX);
    }
}

TEST(LvAcquire, CaptureFilesAreNamedByDateAndTime) {
    EXPECT_EQ(LvCaptureFolderName(2004, 3, 7), "2004.3.7");
    EXPECT_EQ(LvCaptureFolderName(2026, 12, 31), "2026.12.31");
    EXPECT_EQ(LvCaptureFileName(2004, 3, 7, 9, 5, 2), "2004.03.07 09-05-02.jpg");
    EXPECT_EQ(LvCaptureFileName(2026, 12, 31, 23, 59, 59), "2026.12.31 23-59-59.jpg");
}

TEST(LvAcquire, CaptureListTakesVisibleTitledWindowsOfSomeSize) {
    EXPECT_TRUE(LvIsCaptureCandidate(true, 5, 5, "Notes"));
    EXPECT_FALSE(LvIsCaptureCandidate(false, 100, 100, "Hidden"));
    EXPECT_FALSE(LvIsCaptureCandidate(true, 4, 100, "Narrow"));
    EXPECT_FALSE(LvIsCaptureCandidate(true, 100, 4, "Flat"));
    EXPECT_FALSE(LvIsCaptureCandidate(true, 100, 100, ""));
}

TEST(LvAcquire, HotKeyModifiersMapToTheRegistration) {
    EXPECT_EQ(LvHotKeyModifiersForRegistration(0), 0u);
    EXPECT_EQ(LvHotKeyModifiersForRegistration(1), 4u); // Shift
    EXPECT_EQ(LvHotKeyModifiersForRegistration(2), 2u); // Ctrl
    EXPECT_EQ(LvHotKeyModifiersForRegistration(4), 1u); // Alt
    EXPECT_EQ(LvHotKeyModifiersForRegistration(7), 7u);
    EXPECT_EQ(LvHotKeyModifiersForRegistration(8), 0u); // the control's extended-key flag is not a modifier
}

TEST(LvAcquire, OnlyHttpAddressesStartADownload) {
    const struct {
        const char* text;
        bool download;
    } cases[] = {{"http://example.test/a.jpg", true},
                 {"HTTP://EXAMPLE.TEST/A.JPG", true},
                 {"Http://x\r\nsecond line", true},
                 {"http://", true},
                 {"https://example.test/a.jpg", false},
                 {"ftp://example.test/a.jpg", false},
                 {"http:/", false},
                 {" http://x", false},
                 {"\nhttp://x", false},
                 {"", false}};
    for (const auto& c : cases)
        EXPECT_EQ(LvIsMonitoredAddress(c.text), c.download) << c.text;
    EXPECT_EQ(LvFirstLine("http://a/b.png\r\nrest"), "http://a/b.png");
    EXPECT_EQ(LvFirstLine("one\ntwo"), "one");
    EXPECT_EQ(LvFirstLine("whole"), "whole");
}

TEST(LvAcquire, DownloadBufferGrowsGeometricallyAndKeepsAZeroAfterTheBytes) {
    LvDownloadBuffer buffer;
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(buffer.Data()[0], 0);
    std::vector<uint8_t> chunk(1024);
    for (size_t i = 0; i < chunk.size(); i++)
        chunk[i] = uint8_t(i * 7 + 1);
    size_t reallocations = 0, capacity = buffer.Capacity();
    for (int i = 0; i < 1024; i++) { // 1 MiB in reads of 1 KiB
        ASSERT_TRUE(buffer.Append(chunk.data(), chunk.size()));
        if (buffer.Capacity() != capacity) {
            reallocations++;
            capacity = buffer.Capacity();
        }
    }
    EXPECT_EQ(buffer.Size(), 1024u * 1024u);
    EXPECT_LE(reallocations, 6u);
    EXPECT_EQ(buffer.Data()[buffer.Size()], 0);
    EXPECT_EQ(buffer.Data()[buffer.Size() - 1], chunk.back());
    EXPECT_EQ(buffer.Data()[1024 * 500 + 3], chunk[3]);
}

TEST(LvAcquire, DownloadBufferRefusesToPassItsLimit) {
    LvDownloadBuffer buffer(3000);
    std::vector<uint8_t> chunk(1024, 0xAB);
    EXPECT_TRUE(buffer.Append(chunk.data(), 1024));
    EXPECT_TRUE(buffer.Append(chunk.data(), 1024));
    EXPECT_FALSE(buffer.Append(chunk.data(), 1024));
    EXPECT_EQ(buffer.Size(), 2048u);
    EXPECT_EQ(buffer.Data()[2048], 0);
    EXPECT_TRUE(buffer.Append(chunk.data(), 952));
    EXPECT_EQ(buffer.Size(), 3000u);
    EXPECT_FALSE(buffer.Append(chunk.data(), 1));
    EXPECT_FALSE(buffer.Reserve(3001));
    EXPECT_FALSE(LvDownloadBuffer().Reserve(kLvMaxDownloadBytes + 1));
    buffer.Clear();
    EXPECT_EQ(buffer.Size(), 0u);
    EXPECT_EQ(buffer.Data()[0], 0);
}

TEST(LvAcquire, ProgressShowsPercentOrTheByteCount) {
    const struct {
        uint32_t length, total;
        const char* text;
        int position;
    } cases[] = {{2000, 1024, "51 %", 51},
                 {2000, 2000, "100 %", 100},
                 {2000, 10, " 0 %", 0},
                 {3, 1, "33 %", 33},
                 {0, 1024, "Downloaded 1024 Bytes", 0},
                 {0, 0, "Downloaded 0 Bytes", 0}};
    for (const auto& c : cases) {
        int position = -1;
        EXPECT_EQ(LvDownloadProgressText(c.length, c.total, position), c.text);
        EXPECT_EQ(position, c.position) << c.text;
    }
}

TEST(LvAcquire, ContentLengthAndStatusAnswers) {
    EXPECT_EQ(LvParseContentLength("2000"), 2000u);
    EXPECT_EQ(LvParseContentLength(" 17"), 17u);
    EXPECT_EQ(LvParseContentLength(""), 0u);
    EXPECT_EQ(LvParseContentLength("abc"), 0u);
    EXPECT_EQ(LvParseContentLength("-5"), 0u);
    EXPECT_GT(LvParseContentLength("99999999999999999999"), kLvMaxDownloadBytes);
    EXPECT_GT(LvParseContentLength("4294967296"), kLvMaxDownloadBytes);

    std::string message;
    EXPECT_FALSE(LvHttpStatusFailed(200, message));
    EXPECT_FALSE(LvHttpStatusFailed(206, message));
    EXPECT_TRUE(LvHttpStatusFailed(404, message));
    EXPECT_EQ(message, "The server answered 404 (Not Found)");
    EXPECT_TRUE(LvHttpStatusFailed(500, message));
    EXPECT_EQ(message, "The server answered 500 (Internal Server Error)");
    EXPECT_TRUE(LvHttpStatusFailed(302, message));
    EXPECT_NE(message.find("302"), std::string::npos);
}

TEST(LvAcquire, FailureTextsOfTheWorkerResults) {
    EXPECT_STREQ(LvDownloadFailureText(kLvDownloadNoSession), "cannot open internet session");
    EXPECT_STREQ(LvDownloadFailureText(kLvDownloadNoConnection), "cannot connect to remote server");
    EXPECT_STREQ(LvDownloadFailureText(kLvDownloadNoRequest), "Failed in call to HttpOpenRequest");
    EXPECT_STREQ(LvDownloadFailureText(kLvDownloadReadError), "An error occurred while downloading the file");
    EXPECT_NE(LvDownloadFailureText(kLvDownloadTooLarge), nullptr);
    EXPECT_EQ(LvDownloadFailureText(kLvDownloadAborted), nullptr);
    EXPECT_EQ(LvDownloadFailureText(kLvDownloadFinished), nullptr);
    EXPECT_EQ(LvDownloadFailureText(77), nullptr);
}

TEST(LvAcquire, DownloadedFilesDecodeByTheExtensionOfTheirAddress) {
    const struct {
        const char* url;
        DWORD format;
    } cases[] = {{"http://h/a.bmp", LVFMT_BMP},
                 {"http://h/a.JPG", LVFMT_JPG},
                 {"http://h/a.jpeg", LVFMT_JPG},
                 {"http://h/a.gif", LVFMT_GIF},
                 {"http://h/a.png", LVFMT_PNG},
                 {"http://h/a.ico", LVFMT_ICO},
                 {"http://h/a.tif", LVFMT_TIF},
                 {"http://h/a.tiff", LVFMT_TIF},
                 {"http://h/a.tga", LVFMT_TGA},
                 {"http://h/a.pcx", LVFMT_PCX},
                 {"http://h/a.wbmp", 0},
                 {"http://h/a.wmf", 0},
                 {"http://h/a.emf", 0},
                 {"http://h/page.html", 0},
                 {"http://h/noext", 0},
                 {"http://h/a.png?size=2", 0},
                 {"", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(LvDownloadFormatOfUrl(c.url), c.format) << c.url;
    EXPECT_EQ(LvDownloadFrameTitle("http://h/anim.gif", 1), "http://h/anim.gif (2)");
    EXPECT_EQ(LvDownloadFrameTitle("C:\\pics\\anim.gif", 2), "anim.gif (3)");
}

} // namespace
