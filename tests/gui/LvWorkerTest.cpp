#include "LvGuiTestUtil.h"
#include "app/LvParamDialogs.h"

#include <commctrl.h>

#include "app/LvImageCommands.h"

namespace {

// A new document holding a picture made in the test.
CLvDoc* NewDocWith(GuiTest* test, CMainFrame* frame, int width, int height, int bpp) {
    (void)test;
    SendMessageW(frame->GetHwnd(), WM_COMMAND, ID_FILE_NEW, 0);
    CLvDoc* doc = dynamic_cast<CLvDoc*>(frame->ActiveDocument());
    if (!doc) return nullptr;
    doc->m_image.reset(new CLvImage(width, height, bpp));
    // A cheap pattern that every operation changes.
    for (int y = 0; y < height; y++) {
        BYTE* row = doc->m_image->GetBits() + size_t(y) * doc->m_image->GetEffWidth();
        for (DWORD i = 0; i < doc->m_image->GetEffWidth(); i++)
            row[i] = BYTE(i * 7 + y * 13);
    }
    doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
    return doc;
}

class WorkerTest : public GuiTest {
protected:
    CLvDoc* MakeDoc(int width, int height, int bpp = 24) { return NewDocWith(this, Frame(), width, height, bpp); }
    void Run(CLvDoc* doc, int id) {
        Command(id);
        WaitIdle(doc);
    }
};

TEST_F(WorkerTest, NineCommandsLeaveEightUndoStepsAndRedoComesBack) {
    CLvDoc* doc = MakeDoc(37, 21);
    ASSERT_NE(doc, nullptr);
    const int commands[9] = {ID_TRANS_MIRROR, ID_ADJUST_NEGATIVE, ID_TRANS_FLIP,
                             ID_TRANS_MIRROR, ID_ADJUST_NEGATIVE, ID_TRANS_FLIP,
                             ID_TRANS_MIRROR, ID_ADJUST_NEGATIVE, ID_TRANS_FLIP};
    std::vector<CLvImage> states;
    states.push_back(*doc->m_image);
    for (int id : commands) {
        Run(doc, id);
        EXPECT_FALSE(doc->IsBusy());
        EXPECT_TRUE(doc->IsModified());
        states.push_back(*doc->m_image);
    }
    EXPECT_EQ(doc->m_undo.Level(), 8);
    EXPECT_FALSE(SamePicture(states[1], states[0]));
    for (int step = 8; step >= 1; step--) {
        ASSERT_TRUE(MenuItem(ID_EDIT_UNDO).enabled) << step;
        Command(ID_EDIT_UNDO);
        EXPECT_TRUE(SamePicture(*doc->m_image, states[size_t(step)])) << step;
    }
    // The first picture was the one dropped.
    EXPECT_FALSE(MenuItem(ID_EDIT_UNDO).enabled);
    EXPECT_FALSE(doc->IsModified()); // modified, back at level 0: clean again
    for (int step = 2; step <= 9; step++) {
        ASSERT_TRUE(MenuItem(ID_EDIT_REDO).enabled) << step;
        Command(ID_EDIT_REDO);
        EXPECT_TRUE(SamePicture(*doc->m_image, states[size_t(step)])) << step;
        EXPECT_TRUE(doc->IsModified());
    }
    EXPECT_FALSE(MenuItem(ID_EDIT_REDO).enabled);
    // Undo twice, then a new command: nothing left to redo.
    Command(ID_EDIT_UNDO);
    Command(ID_EDIT_UNDO);
    EXPECT_TRUE(MenuItem(ID_EDIT_REDO).enabled);
    Run(doc, ID_TRANS_MIRROR);
    EXPECT_FALSE(MenuItem(ID_EDIT_REDO).enabled);
    EXPECT_EQ(doc->m_undo.Level(), 7);
    // Undo on an unmodified document (as after a save) marks it modified.
    doc->SetModifiedFlag(false);
    Command(ID_EDIT_UNDO);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(WorkerTest, ColourDepthCommandsCheckTheCurrentDepth) {
    CLvDoc* doc = MakeDoc(40, 30);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(MenuItem(ID_COLOR_TRUE).checked);
    EXPECT_FALSE(MenuItem(ID_COLOR_256).checked);
    // True colour on a true-colour picture: no pixel changes, one snapshot, modified, idle.
    CLvImage before(*doc->m_image);
    Run(doc, ID_COLOR_TRUE);
    EXPECT_TRUE(SamePicture(*doc->m_image, before));
    EXPECT_EQ(doc->m_undo.Level(), 1);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->IsBusy());
    struct Case {
        int id, bpp;
    } cases[] = {{ID_COLOR_256, 8}, {ID_COLOR_16, 4}, {ID_COLOR_2, 1}, {ID_COLOR_TRUE, 24}};
    for (const Case& c : cases) {
        Run(doc, c.id);
        EXPECT_EQ(doc->m_image->GetBpp(), c.bpp);
        for (int id : {ID_COLOR_2, ID_COLOR_16, ID_COLOR_256, ID_COLOR_TRUE})
            EXPECT_EQ(MenuItem(id).checked, id == c.id) << c.id << " " << id;
        EXPECT_EQ(Frame()->PaneText(3), "40x30x" + std::to_string(c.bpp) + "b   ");
    }
    // The status bar after a command: elapsed time, zoom, indicator back at 0 after showing 100 %.
    EXPECT_EQ(Frame()->PaneText(5).rfind("Time : ", 0), 0u);
    EXPECT_EQ(Frame()->PaneText(4), "100 %");
    EXPECT_EQ(SendMessageW(Frame()->ProgressWindow(), PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(FwWindowText(Frame()->ProgressWindow()), "100 %");
}

TEST_F(WorkerTest, DirectCommandTakesASnapshotAndMarksTheDocument) {
    CLvDoc* doc = MakeDoc(20, 10);
    ASSERT_NE(doc, nullptr);
    // Right after a command, while its progress watcher may still be looking at the picture: the direct
    // command waits for the watcher before its snapshot can drop that picture.
    Command(ID_TRANS_MIRROR);
    ASSERT_TRUE(PumpUntil([doc] { return !doc->IsBusy(); }));
    Command(ID_EDIT_UNDO);
    Command(ID_ADJUST_PSEUDO_COLORS);
    EXPECT_EQ(doc->m_progressThread.load(), nullptr);
    EXPECT_FALSE(doc->IsBusy());
    EXPECT_EQ(doc->m_undo.Level(), 1);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->m_image->GetBpp(), 8);
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(doc->m_image->GetBpp(), 24);
}

TEST_F(WorkerTest, ABusyDocumentRefusesCommandsButStillPaints) {
    CLvDoc* doc = MakeDoc(3000, 2000);
    ASSERT_NE(doc, nullptr);
    Command(ID_FILTER_GAUSS_SMOOTH);
    ASSERT_TRUE(doc->IsBusy()); // marked before the worker could run
    for (int id : {ID_TRANS_MIRROR, ID_EDIT_UNDO, ID_FILE_SAVE_AS, ID_EDIT_COPY, ID_COLOR_256, ID_EDIT_DUPLICATE})
        EXPECT_FALSE(MenuItem(id).enabled) << id;
    Command(ID_TRANS_MIRROR); // dropped
    Command(ID_COLOR_2);
    // The window repaints meanwhile (from the snapshot, not the picture being changed).
    CLvView* view = ActiveView();
    RedrawWindow(view->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::vector<std::string> shown;
    ASSERT_TRUE(PumpUntil([&] {
        std::string text = FwWindowText(Frame()->ProgressWindow());
        if (shown.empty() || shown.back() != text) shown.push_back(text);
        RedrawWindow(view->GetHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return !doc->IsBusy() && !doc->m_progressThread.load();
    }));
    m_app->PumpWaitingMessages();
    EXPECT_EQ(shown.back(), "100 %");
    EXPECT_EQ(doc->m_undo.Level(), 1); // the refused commands took no snapshot
    EXPECT_EQ(doc->m_image->GetBpp(), 24);
    EXPECT_TRUE(MenuItem(ID_TRANS_MIRROR).enabled);
    EXPECT_GE(doc->m_elapsed.load(), 0.0f);
}

TEST_F(WorkerTest, ClosingDuringALongCommandCancelsAndWaits) {
    for (int way = 0; way < 3; way++) {
        SCOPED_TRACE(way);
        CLvDoc* doc = MakeDoc(3000, 2000);
        ASSERT_NE(doc, nullptr);
        Command(ID_FILTER_GAUSS_SMOOTH);
        ASSERT_TRUE(doc->IsBusy());
        if (way == 1) {
            // Let the watcher report at least once, so that its messages meet the close's wait.
            PumpUntil([&] { return !FwWindowText(Frame()->ProgressWindow()).empty() || !doc->IsBusy(); });
        }
        if (way == 2) {
            // Walking to another file of the folder releases the picture the same way: here the document has
            // no folder, so the close goes through Close All instead.
            Command(ID_WINDOW_CLOSE_ALL);
        } else {
            Command(ID_WINDOW_CLOSE);
        }
        EXPECT_TRUE(Docs().empty());
        EXPECT_EQ(ActiveDoc(), nullptr);
        FwSetWindowText(Frame()->ProgressWindow(), "");
    }
}

TEST_F(WorkerTest, ClosingTheProgramDuringACommandAsksThenWaits) {
    CLvDoc* doc = MakeDoc(3000, 2000);
    ASSERT_NE(doc, nullptr);
    Command(ID_FILTER_GAUSS_SMOOTH);
    ASSERT_TRUE(PumpUntil([doc] { return doc->IsModified(); })); // the worker has taken its snapshot
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDNO));
    SendMessageW(FrameHwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_FALSE(IsWindow(FrameHwnd()));
}

TEST_F(WorkerTest, SavingFromTheClosePromptWritesTheCommandsResult) {
    // Long enough (most of a second) that the prompt is answered while the command runs.
    const std::string path = MakePicture(m_dir, "busy.bmp", 4000, 3000, 24, LVFMT_BMP);
    CLvDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CLvImage expected;
    ASSERT_TRUE(expected.Load(path.c_str(), LVFMT_BMP));
    ASSERT_TRUE(LvChangeDepth(expected, 8));
    Command(ID_COLOR_256);
    ASSERT_TRUE(PumpUntil([doc] { return doc->IsModified(); })); // the worker has taken its snapshot
    DialogAnswers answers;
    answers.Expect("Lumivue", DialogAnswers::PressButton(IDYES));
    Command(ID_FILE_CLOSE);
    EXPECT_TRUE(answers.AllAnswered());
    EXPECT_TRUE(Docs().empty());
    CLvImage saved;
    ASSERT_TRUE(saved.Load(path.c_str(), LVFMT_BMP));
    EXPECT_TRUE(SamePicture(saved, expected));
}

TEST_F(WorkerTest, CropTakesTheSelectionBox) {
    CLvDoc* doc = MakeDoc(40, 30);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(MenuItem(ID_TRANS_CROP).found);
    EXPECT_FALSE(MenuItem(ID_TRANS_CROP).enabled); // no selection
    EXPECT_TRUE(MenuItem(ID_PHOTO_FRAME).enabled); // its frame picture comes from its dialog
    CLvImage before(*doc->m_image);
    doc->m_image->SelectionCreate();
    doc->m_image->SelectionAddRect(5, 20, 15, 8); // pixel edges, rows counted from the bottom
    ASSERT_TRUE(MenuItem(ID_TRANS_CROP).enabled);
    Command(ID_TRANS_CROP);
    ASSERT_EQ(doc->m_image->GetWidth(), 10);
    ASSERT_EQ(doc->m_image->GetHeight(), 12);
    // Exactly the selected pixels: bottom-up rows 8..19, columns 5..14.
    for (int y = 0; y < 12; y++)
        for (int x = 0; x < 10; x++) {
            const RGBQUAD a = doc->m_image->GetPixelColor(x, y), b = before.GetPixelColor(x + 5, y + 8);
            ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << x << "," << y;
        }
    EXPECT_TRUE(doc->IsModified());
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(doc->m_image->GetWidth(), 40);
}

TEST_F(WorkerTest, EveryMenuCommandRunsOnEveryDepth) {
    size_t count = 0;
    const LvOperation* table = LvOperationTable(&count);
    for (int bpp : {1, 8, 24}) {
        CLvDoc* doc = MakeDoc(23, 17, bpp);
        ASSERT_NE(doc, nullptr);
        for (size_t i = 0; i < count; i++) {
            if (!LvIsMenuCommand(table[i]) || !MenuItem(table[i].commandId).found) continue;
            // The commands with a dialog are run through it by the dialog tests.
            if (LvFindParamDialog(table[i].commandId)) continue;
            SCOPED_TRACE(table[i].name);
            if (!MenuItem(table[i].commandId).enabled) continue; // e.g. commands that need a selection
            Command(table[i].commandId);
            WaitIdle(doc);
            ASSERT_TRUE(doc->m_image && doc->m_image->IsValid());
            EXPECT_FALSE(doc->IsBusy());
        }
        Command(ID_WINDOW_CLOSE);
    }
}

} // namespace
