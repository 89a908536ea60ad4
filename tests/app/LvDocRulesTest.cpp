#include "app/LvDocRules.h"
#include "app/LvUndoStack.h"
#include "effects/LvOperations.h"

#include "LvTestUtil.h"

#include <gtest/gtest.h>

namespace {

TEST(LvDocRules, ExtensionsForOpeningAndSaving) {
    struct Case {
        const char* ext;
        DWORD load, save;
    } cases[] = {{"bmp", 1, 1},  {"JPEG", 3, 3}, {"Jpg", 3, 3}, {"tiff", 6, 6}, {"TIF", 6, 6}, {"wbmp", 9, 9},
                 {"wmf", 10, 0}, {"EMF", 10, 0}, {"j2k", 0, 0}, {"", 0, 0},     {"bmpx", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ext);
        EXPECT_EQ(LvLoadFormatFromExt(c.ext), c.load);
        EXPECT_EQ(LvSaveFormatFromExt(c.ext), c.save);
    }
}

// Paths take the extension of their last component: a dot in a folder name is none.
TEST(LvDocRules, FormatsOfPaths) {
    struct Case {
        const char* path;
        DWORD load, save;
    } cases[] = {{"C:\\pics.png\\photo", 0, 0},       {"C:\\pics.v2\\photo.JPEG", 3, 3}, {"/home/a.b/x.tiff", 6, 6},
                 {"D:\\album.2024\\scan.emf", 10, 0}, {"C:\\a.bmp\\b.gif\\note", 0, 0},  {"photo.", 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(LvLoadFormatOfPath(c.path), c.load);
        EXPECT_EQ(LvSaveFormatOfPath(c.path), c.save);
    }
    // The mailed name keeps a title that already ends with a writable extension, whatever its folders say.
    EXPECT_EQ(LvMailAttachmentName("x.png", LVFMT_JPG), "x.png");
    EXPECT_EQ(LvMailAttachmentName("v1.5 draft", LVFMT_JPG), "v1.5 draft.jpg");
}

TEST(LvDocRules, FiltersListTheOfferedRowsInOrder) {
    const std::string open = LvFileFilter(true), save = LvFileFilter(false);
    const std::string all =
        std::string("All Supported Image files") + '\0' +
        "*.bmp;*.gif;*.jpg;*.jpeg;*.png;*.ico;*.tif;*.tiff;*.tga;*.pcx;*.wbmp;*.wmf;*.emf;*.j2k;*.jp2;"
        "*.jbg" +
        '\0' + "BMP Windows Bitmap" + '\0' + "*.bmp" + '\0';
    EXPECT_EQ(open.compare(0, all.size(), all), 0);
    EXPECT_EQ(save.compare(0, all.size(), all), 0);
    const std::string metafiles = std::string("WMF EMF files") + '\0' + "*.wmf;*.emf" + '\0' + '\0';
    ASSERT_GT(open.size(), metafiles.size());
    EXPECT_EQ(open.substr(open.size() - metafiles.size()), metafiles);
    EXPECT_EQ(save.find("WMF EMF"), std::string::npos);
    const std::string wbmp = std::string("WBMP files") + '\0' + "*.wbmp" + '\0' + '\0';
    EXPECT_EQ(save.substr(save.size() - wbmp.size()), wbmp);
}

TEST(LvDocRules, FilterPositionsAndDefaultExtensions) {
    struct Case {
        int code;
        bool open;
        int index;
        const char* ext;
    } cases[] = {
        {-1, true, 1, "bmp"},   {1, true, 2, "bmp"},   {3, false, 4, "jpg"},
        {9, false, 10, "wbmp"}, {10, true, 11, "wmf"}, {10, false, 4, "jpg"}, // not offered for saving: JPEG's row
        {0, false, 4, "jpg"},   {6, true, 7, "tif"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(LvFilterIndexOf(c.code, c.open), c.index);
        EXPECT_EQ(LvDefaultExtension(c.code, c.open), c.ext);
    }
    EXPECT_EQ(LvFormatOfFilterIndex(1, true), -1);
    EXPECT_EQ(LvFormatOfFilterIndex(4, false), 3);
    EXPECT_EQ(LvFormatOfFilterIndex(11, true), 10);
    EXPECT_EQ(LvFormatOfFilterIndex(11, false), 0);
    EXPECT_TRUE(LvCanSaveFormat(9));
    EXPECT_FALSE(LvCanSaveFormat(10));
    EXPECT_FALSE(LvCanSaveFormat(0));
}

TEST(LvDocRules, ProposedSaveNames) {
    struct Case {
        const char* path;
        const char* title;
        bool replace;
        DWORD format;
        const char* expected;
    } cases[] = {
        {"", "pic", true, 9, "pic.wbmp"}, // a name that can be saved and opened again
        {"", "a#b", true, 3, "UntitledImage.jpg"},
        {"", "Copy 1 of x.png", true, 4, "Copy 1 of x.png.png"},
        {"", "50%", true, 1, "UntitledImage.bmp"},
        {"", "a;b", true, 6, "UntitledImage.tif"},
        {"", "a/b", true, 2, "UntitledImage.gif"},
        {"", "a\\b", true, 5, "UntitledImage.ico"},
        {"C:\\p\\x.png", "x.png", true, 4, "C:\\p\\x.png"},
        {"", "pic", false, 3, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(LvProposedSaveName(c.path, c.title, c.replace, c.format), c.expected);
    }
}

TEST(LvDocRules, MailAttachmentNames) {
    struct Case {
        const char* title;
        DWORD format;
        const char* expected;
    } cases[] = {
        {"rose.jpg", 3, "rose.jpg"},
        {"Copy 1 of x.png", 4, "Copy 1 of x.png"},
        {"x.gif (2) frame", 2, "x.gif (2) frame.gif"}, // a frame's title ends in no extension
        {"Acquired Image 1", 1, "Acquired Image 1.bmp"},
        {"a/b:c*?.bmp", 1, "a_b_c__.bmp"},
        {"pic.wmf", 1, "pic.wmf.bmp"}, // not writable: the format given
        {"", 9, "UntitledImage.wbmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LvMailAttachmentName(c.title, c.format), c.expected) << c.title;
}

TEST(LvDocRules, TitlesAndStatusTexts) {
    EXPECT_EQ(LvFrameTitle("anim.gif", 1), "anim.gif (2) frame");
    EXPECT_EQ(LvFrameTitle("anim.gif", 2), "anim.gif (3) frame");
    EXPECT_EQ(LvDuplicateTitle(3, "Copy 1 of x.png"), "Copy 3 of Copy 1 of x.png");
    EXPECT_EQ(LvSizeText(640, 480, 24, 3), "640x480x24b   JPG");
    EXPECT_EQ(LvSizeText(1, 2, 1, 9), "1x2x1b   WBMP");
    EXPECT_EQ(LvSizeText(8, 8, 8, 0), "8x8x8b   ");
    EXPECT_EQ(LvTimeText(-1.0f), "Time : -1.000 s");
    EXPECT_EQ(LvTimeText(0.1254f), "Time : 0.125 s");
    EXPECT_EQ(LvZoomText(1.0f, 0.75f), "75 %");
    EXPECT_EQ(LvZoomText(1.2f, 1.0f), "120 %");
    EXPECT_EQ(LvZoomText(1.0f, 0.0f), "0 %");
    EXPECT_EQ(LvProgressText(7), "07 %");
    EXPECT_EQ(LvProgressText(100), "100 %");
}

TEST(LvDocRules, StopwatchUsesTheLow32BitsOfTheCounter) {
    struct Case {
        int64_t start, end, frequency;
        float seconds;
    } cases[] = {
        {1000, 3000, 1000, 2.0f},
        {0xFFFFFFF0LL, 0x100000010LL, 32, 1.0f},          // the low word wrapped
        {(5LL << 32) + 100, (7LL << 32) + 150, 50, 1.0f}, // high words are ignored
        {(5LL << 32) + 100, (5LL << 32) + 100, 1000, 0.0f},
        {1, 2, 0, -1.0f}, // no counter
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(LvElapsedSeconds(c.start, c.end, c.frequency), c.seconds);
}

TEST(LvDocRules, FolderWalk) {
    EXPECT_TRUE(LvIsWalkable("a.JPG"));
    EXPECT_TRUE(LvIsWalkable("b.wbmp"));
    EXPECT_FALSE(LvIsWalkable("c.jpeg"));
    EXPECT_FALSE(LvIsWalkable("d.tiff"));
    EXPECT_FALSE(LvIsWalkable("notes.txt"));
    EXPECT_FALSE(LvIsWalkable("noext"));
    EXPECT_EQ(LvFolderOf("C:\\p\\q\\x.png"), "C:\\p\\q\\");
    const std::vector<std::string> names = {"a.bmp", "B.png", "c.gif"};
    EXPECT_EQ(LvFindFileIndex("C:\\P\\", names, "c:\\p\\b.PNG", -1), 1);
    EXPECT_EQ(LvFindFileIndex("C:\\P\\", names, "c:\\p\\z.png", 2), 2);

    struct Case {
        LvWalk walk;
        int index, count;
        bool enabled, moves;
        int target;
    } cases[] = {
        {kLvWalkNext, 2, 3, false, false, 0}, // Next on the last file
        {kLvWalkNext, 1, 3, true, true, 2},   {kLvWalkPrev, 0, 3, false, false, 0},
        {kLvWalkPrev, 2, 3, true, true, 1},   {kLvWalkFirst, 0, 1, true, true, 0},
        {kLvWalkLast, 0, 1, true, true, 0},   {kLvWalkNext, 0, 1, false, false, 0},
        {kLvWalkPrev, 0, 1, false, false, 0}, {kLvWalkFirst, -1, 0, false, false, 0},
        {kLvWalkLast, 1, 4, true, true, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.walk) * 100 + c.index);
        EXPECT_EQ(LvWalkEnabled(c.walk, c.index, c.count), c.enabled);
        int target = -5;
        EXPECT_EQ(LvWalkTarget(c.walk, c.index, c.count, target), c.moves);
        if (c.moves) {
            EXPECT_EQ(target, c.target);
        }
    }
}

// An image whose top-left pixel tells which command made it.
std::unique_ptr<CLvImage> Numbered(int n) {
    std::unique_ptr<CLvImage> image(new CLvImage(4, 3, 24));
    image->SetPixelColor(0, 2, Quad(n, 0, 0));
    return image;
}
int NumberOf(const CLvImage* image) {
    return image ? image->GetPixelColor(0, 2).rgbRed : -1;
}

TEST(LvUndoStack, NineCommandsLeaveEightStepsOldestDroppedFirst) {
    LvUndoStack undo;
    std::unique_ptr<CLvImage> current = Numbered(0);
    for (int n = 1; n <= 9; n++) {
        ASSERT_NE(undo.Submit(current.get()), nullptr);
        current = Numbered(n); // the command's result
    }
    EXPECT_EQ(undo.Level(), 8);
    EXPECT_EQ(NumberOf(undo.Slot(0)), 1); // image 0 was dropped
    EXPECT_EQ(NumberOf(undo.Slot(7)), 8);
    int steps = 0;
    while (undo.CanUndo()) {
        undo.Undo(current);
        steps++;
    }
    EXPECT_EQ(steps, 8);
    EXPECT_EQ(NumberOf(current.get()), 1);
    // Everything can be redone in order.
    for (int n = 2; n <= 9; n++) {
        ASSERT_TRUE(undo.CanRedo());
        undo.Redo(current);
        EXPECT_EQ(NumberOf(current.get()), n);
    }
    EXPECT_FALSE(undo.CanRedo());
    EXPECT_EQ(undo.Level(), 8);
}

TEST(LvUndoStack, KeepsWithinItsMemoryBudgetDroppingTheOldestFirst) {
    LvUndoStack undo;
    std::unique_ptr<CLvImage> current = Numbered(0);
    const size_t one = LvUndoStack::SnapshotBytes(*current);
    ASSERT_GT(one, 0u);
    undo.SetBudget(one * 3 + one / 2); // room for three snapshots
    for (int n = 1; n <= 6; n++) {
        ASSERT_NE(undo.Submit(current.get()), nullptr);
        EXPECT_EQ(undo.DroppedByBudget(), n <= 3 ? 0 : 1) << "command " << n;
        EXPECT_LE(undo.Bytes(), one * 3 + one / 2);
        current = Numbered(n);
    }
    EXPECT_EQ(undo.Level(), 3);
    // The newest three are kept, in order.
    for (int n = 5; n >= 3; n--) {
        ASSERT_TRUE(undo.CanUndo());
        undo.Undo(current);
        EXPECT_EQ(NumberOf(current.get()), n);
    }
    EXPECT_FALSE(undo.CanUndo());
    // A snapshot larger than the whole budget is still one level of undo.
    undo.Clear();
    undo.SetBudget(one / 2);
    ASSERT_NE(undo.Submit(current.get()), nullptr);
    current = Numbered(7);
    ASSERT_NE(undo.Submit(current.get()), nullptr);
    EXPECT_EQ(undo.DroppedByBudget(), 1);
    EXPECT_EQ(undo.Level(), 1);
    // Selection and alpha planes count.
    current->SelectionCreate();
    current->AlphaCreate();
    EXPECT_EQ(LvUndoStack::SnapshotBytes(*current),
              one + 2 * size_t(current->GetWidth()) * size_t(current->GetHeight()));
}

TEST(LvUndoStack, NewCommandDropsRedoAndSnapshotsAreIndependent) {
    LvUndoStack undo;
    std::unique_ptr<CLvImage> current = Numbered(0);
    current->SelectionCreate();
    current->SelectionAddRect(0, 0, 2, 2);
    current->AlphaCreate();
    for (int n = 1; n <= 3; n++) {
        undo.Submit(current.get());
        current->SetPixelColor(0, 2, Quad(n, 0, 0)); // changing the image must not change the snapshot
    }
    EXPECT_EQ(NumberOf(undo.Slot(0)), 0);
    EXPECT_NE(undo.Slot(0)->pSelection, nullptr);
    EXPECT_NE(undo.Slot(0)->pAlpha, nullptr);
    EXPECT_NE(undo.Slot(0)->pDib, current->pDib);
    undo.Undo(current);
    undo.Undo(current);
    EXPECT_EQ(undo.Level(), 1);
    EXPECT_TRUE(undo.CanRedo());
    undo.Submit(current.get());
    EXPECT_FALSE(undo.CanRedo());
    EXPECT_EQ(undo.Level(), 2);
    for (int i = 2; i < LvUndoStack::kSlots; i++)
        EXPECT_EQ(undo.Slot(i), nullptr);
}

TEST(LvUndoStack, RedoAtSevenOfEightAndEmptyImages) {
    LvUndoStack undo;
    std::unique_ptr<CLvImage> current = Numbered(0);
    for (int n = 1; n <= 8; n++) {
        undo.Submit(current.get());
        current = Numbered(n);
    }
    undo.Undo(current);
    EXPECT_EQ(undo.Level(), 7);
    undo.Redo(current);
    EXPECT_EQ(undo.Level(), 8);
    EXPECT_EQ(NumberOf(current.get()), 8);

    // An image without pixels pushes nothing; undo stays disabled.
    LvUndoStack empty;
    CLvImage nothing;
    EXPECT_EQ(empty.Submit(&nothing), nullptr);
    EXPECT_EQ(empty.Submit(nullptr), nullptr);
    EXPECT_FALSE(empty.CanUndo());
    EXPECT_EQ(empty.Level(), 0);
}

// What happened to the pixels travels with each picture through undo and redo, as the document keeps it:
// the snapshot takes the history before the command, the command then notes its change.
TEST(LvUndoStack, EachPictureKeepsItsOwnHistory) {
    LvUndoStack undo;
    std::unique_ptr<CLvImage> current = Numbered(0);
    LvPixelHistory history;
    auto run = [&](const char* name, int number) {
        undo.Submit(current.get(), history);
        LvNoteOperation(history, LvFindOperation(name));
        current = Numbered(number);
    };
    run("rotate-right", 1);
    EXPECT_TRUE(history.OnlyTurned());
    undo.Undo(current, &history);
    EXPECT_FALSE(history.Turned()); // as stored: the orientation tag still applies
    EXPECT_FALSE(history.OnlyTurned());
    undo.Redo(current, &history);
    EXPECT_EQ(history.turn, kLvTurnRight);

    run("rotate-right", 2);
    EXPECT_EQ(history.turn, kLvTurn180);
    undo.Undo(current, &history);
    EXPECT_EQ(history.turn, kLvTurnRight); // one net turn
    EXPECT_TRUE(history.OnlyTurned());

    run("negative", 3);
    EXPECT_FALSE(history.OnlyTurned());
    EXPECT_EQ(NumberOf(current.get()), 3);
    undo.Undo(current, &history);
    EXPECT_TRUE(history.OnlyTurned());
    EXPECT_EQ(history.turn, kLvTurnRight);
    undo.Redo(current, &history);
    EXPECT_FALSE(history.OnlyTurned());

    // A full store drops the oldest picture together with its history.
    for (int n = 4; n < 4 + LvUndoStack::kSlots; n++)
        run(n % 2 ? "mirror" : "flip", n);
    while (undo.CanUndo())
        undo.Undo(current, &history);
    EXPECT_EQ(NumberOf(current.get()), 3); // 0 and 1 were dropped
    EXPECT_FALSE(history.OnlyTurned());    // the negative is in its history
    EXPECT_TRUE(history.changed);
    EXPECT_EQ(history.turn, kLvTurnRight);
}

TEST(LvDocRules, ModifiedMarkAfterUndo) {
    EXPECT_TRUE(LvModifiedAfterUndo(false, 3)); // e.g. just saved
    EXPECT_TRUE(LvModifiedAfterUndo(false, 0));
    EXPECT_TRUE(LvModifiedAfterUndo(true, 2));
    EXPECT_FALSE(LvModifiedAfterUndo(true, 0));
}

} // namespace
