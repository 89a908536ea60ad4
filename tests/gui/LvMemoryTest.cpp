#include "LvGuiTestUtil.h"

#include <new>

// Commands that run out of memory: the picture is put back as it was, the user is told, nothing crashes; and
// the undo store keeps within its budget and says when it dropped levels.

namespace {

int g_hookCalls = 0;

// Changes the picture half way, then finds no memory, as an operation whose second buffer fails does.
void HalfChangeThenFail(CLvImage& image) {
    g_hookCalls++;
    BYTE* bits = image.GetBits();
    for (DWORD i = 0; i < image.GetEffWidth(); i++)
        bits[i] = BYTE(~bits[i]);
    throw std::bad_alloc();
}

class MemoryTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        g_hookCalls = 0;
    }
    void TearDown() override {
        LvSetCommandHook(nullptr);
        GuiTest::TearDown();
    }
    CLvDoc* MakeDoc() {
        Command(ID_FILE_NEW);
        CLvDoc* doc = ActiveDoc();
        if (!doc) return nullptr;
        doc->m_image.reset(new CLvImage(23, 17, 8));
        for (int y = 0; y < 17; y++)
            for (int x = 0; x < 23; x++)
                doc->m_image->SetPixelIndex(x, y, BYTE(x * 11 + y * 3));
        doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
        return doc;
    }
};

TEST_F(MemoryTest, ACommandThatRunsOutOfMemoryIsTakenBackAndReported) {
    const std::string text = LvLoadString(IDS_OUT_OF_MEMORY);
    ASSERT_FALSE(text.empty());
    // Negative runs on the worker, Pseudo Colors on the interface thread.
    for (int command : {ID_ADJUST_NEGATIVE, ID_ADJUST_PSEUDO_COLORS}) {
        CLvDoc* doc = MakeDoc();
        ASSERT_NE(doc, nullptr);
        const CLvImage before(*doc->m_image);
        // One good command first: its undo level stays.
        Command(ID_TRANS_MIRROR);
        WaitIdle(doc);
        const CLvImage mirrored(*doc->m_image);
        ASSERT_EQ(doc->m_undo.Level(), 1);
        doc->SetModifiedFlag(false);

        LvSetCommandHook(HalfChangeThenFail);
        DialogAnswers answers;
        answers.Expect("Lumivue", DialogAnswers::PressButton(IDOK));
        Command(command);
        WaitIdle(doc);
        EXPECT_TRUE(PumpUntil([&] { return answers.AllAnswered(); })) << command;
        LvSetCommandHook(nullptr);
        EXPECT_EQ(g_hookCalls, 1);
        g_hookCalls = 0;
        ASSERT_EQ(answers.Texts().size(), 1u) << command;
        EXPECT_EQ(answers.Texts()[0], text);
        EXPECT_TRUE(answers.Unexpected().empty());
        // Not half changed: as before the command, with the same undo and nothing to redo.
        EXPECT_TRUE(SamePicture(*doc->m_image, mirrored)) << command;
        EXPECT_EQ(doc->m_undo.Level(), 1);
        EXPECT_FALSE(doc->m_undo.CanRedo());
        EXPECT_FALSE(doc->IsModified());
        Command(ID_EDIT_UNDO);
        EXPECT_TRUE(SamePicture(*doc->m_image, before));
        // Without the fault the same command runs.
        Command(command);
        WaitIdle(doc);
        EXPECT_FALSE(SamePicture(*doc->m_image, before)) << command;
        EXPECT_EQ(doc->m_undo.Level(), 1);
        doc->OnCloseDocument();
    }
}

TEST_F(MemoryTest, UndoLevelsDroppedForTheBudgetAreShownInTheStatusBar) {
    CLvDoc* doc = MakeDoc();
    ASSERT_NE(doc, nullptr);
    doc->m_undo.SetBudget(LvUndoStack::SnapshotBytes(*doc->m_image) * 2);
    for (int i = 0; i < 2; i++) {
        Command(ID_ADJUST_NEGATIVE);
        WaitIdle(doc);
    }
    EXPECT_NE(Frame()->PaneText(0), LvLoadString(IDS_UNDO_DROPPED));
    Command(ID_TRANS_MIRROR);
    WaitIdle(doc);
    EXPECT_EQ(doc->m_undo.Level(), 2);
    EXPECT_EQ(Frame()->PaneText(0), LvLoadString(IDS_UNDO_DROPPED));
}

} // namespace
