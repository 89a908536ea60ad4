#include "framework/FwCommand.h"
#include "framework/FwDocument.h"
#include "framework/FwRecentFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A target that knows some commands, each with a fixed state, and records what ran.
class Target : public CFwCmdTarget {
public:
    struct State {
        bool enabled;
        bool checked;
    };
    std::map<int, State> known;
    std::vector<int>* log = nullptr;
    int tag = 0;
    bool OnUpdateCommand(CFwCmdUI& ui) override {
        auto it = known.find(ui.id);
        if (it == known.end()) return false;
        ui.Enable(it->second.enabled);
        ui.SetCheck(it->second.checked);
        return true;
    }
    bool OnCommand(int id) override {
        if (!known.count(id)) return false;
        if (log) log->push_back(tag * 1000 + id);
        return true;
    }
};

TEST(FwCommand, FirstTargetThatKnowsACommandDecidesAndRunsIt) {
    std::vector<int> log;
    Target view, doc, app;
    view.tag = 1, doc.tag = 2, app.tag = 3;
    view.log = doc.log = app.log = &log;
    view.known[10] = {true, true};
    doc.known[10] = {false, false}; // shadowed by the view
    doc.known[20] = {false, false};
    doc.known[30] = {true, false};
    app.known[30] = {true, false};
    app.known[40] = {true, true};
    std::vector<CFwCmdTarget*> chain = {&view, nullptr, &doc, &app};

    struct Case {
        int id;
        bool known, enabled, checked, runs;
        int ranBy;
    } cases[] = {
        {10, true, true, true, true, 1},     // the view's answer wins
        {20, true, false, false, false, 0},  // disabled: dropped, nothing runs
        {30, true, true, false, true, 2},    // the document comes before the application
        {40, true, true, true, true, 3},     // reaches the end of the chain
        {50, false, false, false, false, 0}, // nobody knows it: disabled and dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CFwCmdUI ui;
        ui.id = c.id;
        EXPECT_EQ(FwQueryCommand(chain, ui), c.known);
        EXPECT_EQ(ui.enabled, c.enabled);
        EXPECT_EQ(ui.checked, c.checked);
        log.clear();
        EXPECT_EQ(FwRouteCommand(chain, c.id), c.runs);
        if (c.runs) {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0], c.ranBy * 1000 + c.id);
        } else {
            EXPECT_TRUE(log.empty());
        }
    }
}

TEST(FwRecentFiles, NewestFirstNoDuplicatesAtMostNine) {
    CFwRecentFileList list;
    for (int i = 1; i <= 11; i++)
        list.Add("C:\\p\\" + std::to_string(i) + ".jpg");
    ASSERT_EQ(list.Size(), 9u);
    EXPECT_EQ(list[0], "C:\\p\\11.jpg");
    EXPECT_EQ(list[8], "C:\\p\\3.jpg");
    // The same file in other letter case moves to the front once, spelled the new way.
    list.Add("c:\\P\\5.JPG");
    ASSERT_EQ(list.Size(), 9u);
    EXPECT_EQ(list[0], "c:\\P\\5.JPG");
    for (size_t i = 1; i < list.Size(); i++)
        EXPECT_FALSE(FwSamePath(list[i], "C:\\p\\5.jpg"));
    list.Add("");
    EXPECT_EQ(list[0], "c:\\P\\5.JPG");
    list.Remove(0);
    EXPECT_EQ(list[0], "C:\\p\\11.jpg");
    EXPECT_EQ(CFwRecentFileList::ValueName(0), "File1");
    EXPECT_EQ(CFwRecentFileList::ValueName(8), "File9");
}

TEST(FwRecentFiles, LoadSkipsGapsAndDuplicatesAndMenuTextShowsAmpersands) {
    CFwRecentFileList list(3);
    list.Load({"a.bmp", "", "A.BMP", "b&c.png", "d.gif", "e.gif"});
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[0], "a.bmp");
    EXPECT_EQ(list[1], "b&c.png");
    EXPECT_EQ(list[2], "d.gif");
    EXPECT_EQ(list.MenuText(1), "&2 b&&c.png");
}

// An environment that answers the save prompt and records what the document asked for.
class FakeEnv : public CFwDocEnvironment {
public:
    FwSaveAnswer answer = kFwAnswerYes;
    int asked = 0;
    std::vector<std::string> recent;
    int windowsClosed = 0;
    std::vector<CFwDocument*> deleted;
    FwSaveAnswer AskSaveChanges(const std::string&) override {
        asked++;
        return answer;
    }
    void AddToRecentFiles(const std::string& path) override { recent.push_back(path); }
    void DocumentTitleChanged(CFwDocument&) override {}
    void CloseDocumentWindows(CFwDocument&) override { windowsClosed++; }
    void DeleteDocument(CFwDocument* doc) override { deleted.push_back(doc); }
};

class Doc : public CFwDocument {
public:
    bool saveWorks = true;
    std::vector<std::string> saved;
    int preClose = 0;
    bool OnSaveDocument(const std::string& path) override {
        saved.push_back(path);
        return saveWorks;
    }

protected:
    void PreCloseDocument() override { preClose++; }
};

class View : public CFwViewBase {
public:
    std::vector<long> hints;
    void OnUpdate(CFwViewBase*, long hint) override { hints.push_back(hint); }
};

TEST(FwDocument, PathNameSetsTitleAndRecentList) {
    FakeEnv env;
    Doc doc;
    doc.SetEnvironment(&env);
    doc.SetPathName("C:\\photos\\cat.jpg");
    EXPECT_EQ(doc.GetTitle(), "cat.jpg");
    ASSERT_EQ(env.recent.size(), 1u);
    doc.SetPathName("D:\\x.png", false);
    EXPECT_EQ(doc.GetTitle(), "x.png");
    EXPECT_EQ(env.recent.size(), 1u);
}

TEST(FwDocument, UpdateAllViewsSkipsTheSender) {
    Doc doc;
    View a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.AddView(&a);
    EXPECT_EQ(doc.Views().size(), 2u);
    doc.UpdateAllViews(&a, 0x401);
    doc.UpdateAllViews(nullptr, 7);
    EXPECT_EQ(a.hints, std::vector<long>({7}));
    EXPECT_EQ(b.hints, std::vector<long>({0x401, 7}));
}

TEST(FwDocument, SavePromptAnswers) {
    struct Case {
        bool modified;
        FwSaveAnswer answer;
        bool saveWorks;
        bool canClose;
        int asked;
        size_t saves;
    } cases[] = {
        {false, kFwAnswerCancel, true, true, 0, 0}, // unmodified: no question
        {true, kFwAnswerNo, true, true, 1, 0},
        {true, kFwAnswerCancel, true, false, 1, 0},
        {true, kFwAnswerYes, true, true, 1, 1},
        {true, kFwAnswerYes, false, false, 1, 1}, // a failed save keeps the document open
    };
    for (const Case& c : cases) {
        FakeEnv env;
        env.answer = c.answer;
        Doc doc;
        doc.SetEnvironment(&env);
        doc.SetPathName("C:\\a.bmp");
        doc.SetModifiedFlag(c.modified);
        doc.saveWorks = c.saveWorks;
        EXPECT_EQ(doc.SaveModified(), c.canClose);
        EXPECT_EQ(env.asked, c.asked);
        EXPECT_EQ(doc.saved.size(), c.saves);
        if (c.saves) {
            EXPECT_EQ(doc.IsModified(), !c.saveWorks);
        }
    }
}

TEST(FwDocument, LastViewGoneClosesTheDocumentOnce) {
    FakeEnv env;
    Doc doc;
    doc.SetEnvironment(&env);
    View a, b;
    doc.AddView(&a);
    doc.AddView(&b);
    doc.RemoveView(&a);
    EXPECT_TRUE(env.deleted.empty());
    doc.RemoveView(&b);
    ASSERT_EQ(env.deleted.size(), 1u);
    EXPECT_EQ(env.deleted[0], &doc);
    EXPECT_EQ(doc.preClose, 1);
    EXPECT_EQ(env.windowsClosed, 1);
    doc.OnCloseDocument(); // already closing: nothing more
    EXPECT_EQ(env.deleted.size(), 1u);
    EXPECT_EQ(doc.preClose, 1);
}

} // namespace
