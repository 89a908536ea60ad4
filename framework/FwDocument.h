#pragma once

#include "framework/FwCommand.h"

#include <atomic>
#include <string>
#include <vector>

class CFwDocument;

// A view of a document, as the document sees it: told about changes with a hint.
class CFwViewBase : public CFwCmdTarget {
public:
    virtual void OnUpdate(CFwViewBase* sender, long hint) = 0;
};

// Answers to the save prompt.
enum FwSaveAnswer { kFwAnswerYes, kFwAnswerNo, kFwAnswerCancel };

// What a document needs from the program around it: the windows that show it, the recent-file list and
// the save prompt. The document template provides it.
class CFwDocEnvironment {
public:
    virtual ~CFwDocEnvironment() = default;
    virtual FwSaveAnswer AskSaveChanges(const std::string& title) = 0;
    virtual void AddToRecentFiles(const std::string& path) = 0;
    virtual void DocumentTitleChanged(CFwDocument& doc) = 0;
    // Destroys every frame window of the document (and so its views).
    virtual void CloseDocumentWindows(CFwDocument& doc) = 0;
    // Removes the document from its template and deletes it.
    virtual void DeleteDocument(CFwDocument* doc) = 0;
};

// The document base: title, path name, modified flag and the views that show it.
class CFwDocument : public CFwCmdTarget {
public:
    CFwDocument() = default;
    virtual ~CFwDocument() = default;
    CFwDocument(const CFwDocument&) = delete;
    CFwDocument& operator=(const CFwDocument&) = delete;

    void SetEnvironment(CFwDocEnvironment* env) { m_env = env; }
    CFwDocEnvironment* Environment() const { return m_env; }

    const std::string& GetTitle() const { return m_title; }
    virtual void SetTitle(const std::string& title);
    const std::string& GetPathName() const { return m_pathName; }
    // The title becomes the name's last component; addToRecent also puts the path on the recent-file list.
    virtual void SetPathName(const std::string& path, bool addToRecent = true);
    // Sets the path without touching the title or the recent-file list.
    void SetPathNameOnly(const std::string& path) { m_pathName = path; }
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    const std::vector<CFwViewBase*>& Views() const { return m_views; }
    CFwViewBase* FirstView() const { return m_views.empty() ? nullptr : m_views.front(); }
    void AddView(CFwViewBase* view);
    // When the last view goes, the document closes (and is deleted) unless it is closing already; the
    // caller must not use the document afterwards.
    void RemoveView(CFwViewBase* view);
    // Tells every view but the sender about a change.
    void UpdateAllViews(CFwViewBase* sender, long hint = 0);

    // A new, empty document: no path, not modified.
    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const std::string& path);
    virtual bool OnSaveDocument(const std::string& path);
    // Saves under path (or, with none, under a name the document chooses); replace makes the name the
    // document's own and clears the modified flag.
    virtual bool DoSave(const char* path, bool replace = true);
    // Before a modified document closes: asks whether to save. False when the user cancelled or the save
    // failed, so the document stays open.
    virtual bool SaveModified();
    // Closes the document's windows and deletes it. The caller must not use it afterwards.
    virtual void OnCloseDocument();
    bool IsClosing() const { return m_closing; }

protected:
    // Called first by OnCloseDocument, while the windows still exist.
    virtual void PreCloseDocument() {}

private:
    CFwDocEnvironment* m_env = nullptr;
    std::string m_title;
    std::string m_pathName;
    std::atomic<bool> m_modified{false}; // also set by a document's worker thread
    bool m_closing = false;
    std::vector<CFwViewBase*> m_views;
};

// The last component of a path: the text after the last backslash or slash.
std::string FwFileTitle(const std::string& path);
