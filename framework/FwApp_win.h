#pragma once

#include "framework/FwDocument.h"
#include "framework/FwRecentFiles.h"
#include "framework/FwWnd_win.h"

#include <functional>
#include <string>
#include <vector>

class CFwMDIFrame;
class CFwMDIChild;
class CFwView;

// The first window identifier of the MDI child list that the Window menu gains.
const int kFwIdFirstMdiChild = 0xFF00;

// Whether a command is one of the recent-file entries of the File menu.
bool FwIsRecentFileCommand(int id);

// One multiple-document template: it makes a document with its MDI child window and view, and keeps the
// list of its open documents.
class CFwDocTemplate : public CFwDocEnvironment {
public:
    typedef std::function<CFwDocument*()> DocFactory;
    typedef std::function<CFwMDIChild*()> FrameFactory;
    typedef std::function<CFwView*()> ViewFactory;
    CFwDocTemplate(UINT resourceId, DocFactory doc, FrameFactory frame, ViewFactory view);
    ~CFwDocTemplate() override;

    UINT ResourceId() const { return m_resourceId; }
    HMENU Menu() const { return m_menu; }
    // Field index of the template's resource string ("\nDoc\nNew\n..."): 1 document name, 2 new-file name.
    std::string DocString(int index) const;
    const std::vector<CFwDocument*>& Documents() const { return m_docs; }
    // A new document with its window and view: opened from path, or empty (OnNewDocument) when path is
    // null. Null when the document could not be made or opened (nothing is left behind).
    CFwDocument* OpenDocumentFile(const char* path, bool makeVisible = true);
    // The windows that show a document.
    std::vector<CFwMDIChild*> FramesOf(CFwDocument& doc) const;

    FwSaveAnswer AskSaveChanges(const std::string& title) override;
    void AddToRecentFiles(const std::string& path) override;
    void DocumentTitleChanged(CFwDocument& doc) override;
    void CloseDocumentWindows(CFwDocument& doc) override;
    void DeleteDocument(CFwDocument* doc) override;

private:
    UINT m_resourceId;
    DocFactory m_makeDoc;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    HMENU m_menu = nullptr;
    int m_untitledCount = 0;
    std::vector<CFwDocument*> m_docs;
};

// The application: settings in the registry, the recent-file list, the templates, the message loop with
// idle-time updates, and the end of the command chain.
class CFwApp : public CFwCmdTarget {
public:
    CFwApp();
    virtual ~CFwApp();
    static CFwApp* Get();

    virtual bool InitInstance() { return true; }
    virtual int ExitInstance();
    // InitInstance, the message loop, ExitInstance; the process's exit code.
    int Run();
    // Handles one message from the queue; false on WM_QUIT.
    bool PumpMessage();
    // Handles every message waiting in the queue without blocking; false when WM_QUIT was seen.
    bool PumpWaitingMessages();
    virtual bool OnIdle(long count);
    // Accelerators and MDI keys before a message is dispatched.
    virtual bool PreTranslateMessage(MSG& msg);

    // ---- settings: HKEY_CURRENT_USER\<key>\<section> ----
    void SetRegistryKey(const std::string& key) { m_registryKey = key; }
    const std::string& RegistryKey() const { return m_registryKey; }
    std::string GetProfileText(const std::string& section, const std::string& entry,
                               const std::string& fallback = std::string()) const;
    bool WriteProfileText(const std::string& section, const std::string& entry, const std::string& value);
    int GetProfileNumber(const std::string& section, const std::string& entry, int fallback) const;
    bool WriteProfileNumber(const std::string& section, const std::string& entry, int value);
    // Reads the recent-file list ("Recent File List", entries "File1".."FileN").
    void LoadStdProfileSettings(size_t recentCount = 9);
    CFwRecentFileList& RecentFiles() { return m_recent; }
    void AddToRecentFileList(const std::string& path);

    // ---- documents ----
    void AddDocTemplate(CFwDocTemplate* docTemplate) { m_templates.push_back(docTemplate); }
    const std::vector<CFwDocTemplate*>& Templates() const { return m_templates; }
    // Opens a file in the first template; an open document of the same path is activated instead.
    virtual CFwDocument* OpenDocumentFile(const std::string& path);
    bool SaveAllModified();
    // Closes every document without asking.
    void CloseAllDocuments();
    std::vector<CFwDocument*> AllDocuments() const;
    void ActivateDocument(CFwDocument& doc);

    // ---- windows and commands ----
    CFwMDIFrame* MainFrame() const { return m_mainFrame; }
    void SetMainFrame(CFwMDIFrame* frame) { m_mainFrame = frame; }
    void SetAccelerators(HACCEL accel) { m_accel = accel; }
    // Active view, its document, its child frame, the main frame, the application.
    std::vector<CFwCmdTarget*> CommandChain() const;
    bool RouteCommand(int id);
    bool QueryCommand(CFwCmdUI& ui) const;
    // A message box owned by the main window, captioned with the program's name.
    int ShowMessage(const std::string& text, UINT flags = MB_OK | MB_ICONEXCLAMATION);
    void SetAppName(const std::string& name) { m_appName = name; }
    const std::string& AppName() const { return m_appName; }

    bool OnUpdateCommand(CFwCmdUI& ui) override;
    bool OnCommand(int id) override;

protected:
    virtual void OnFileNew();
    virtual void OnFileOpen() {}
    void SaveRecentFiles();

    std::string m_appName = "Lumivue";
    std::string m_registryKey;
    CFwRecentFileList m_recent;
    bool m_recentLoaded = false;
    std::vector<CFwDocTemplate*> m_templates;
    CFwMDIFrame* m_mainFrame = nullptr;
    HACCEL m_accel = nullptr;
    int m_exitCode = 0;
};
