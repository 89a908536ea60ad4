#include "framework/FwApp_win.h"

#include "framework/FwFrame_win.h"
#include "framework/FwView_win.h"
#include "res/resource.h"

#include <algorithm>

namespace {
CFwApp* g_app = nullptr;
}

// ---- document template ------------------------------------------------------------------------------------

CFwDocTemplate::CFwDocTemplate(UINT resourceId, DocFactory doc, FrameFactory frame, ViewFactory view)
    : m_resourceId(resourceId), m_makeDoc(std::move(doc)), m_makeFrame(std::move(frame)), m_makeView(std::move(view)) {
    m_menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
}

CFwDocTemplate::~CFwDocTemplate() {
    // The menu may be the frame's current one; the frame lets go of it before it goes.
    if (m_menu) DestroyMenu(m_menu);
}

std::string CFwDocTemplate::DocString(int index) const {
    wchar_t buffer[512];
    int n = LoadStringW(GetModuleHandleW(nullptr), m_resourceId, buffer, 512);
    std::string text = n > 0 ? LvWideToUtf8(std::wstring(buffer, size_t(n))) : std::string();
    size_t start = 0;
    for (int i = 0; i < index; i++) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) return std::string();
        start = nl + 1;
    }
    size_t end = text.find('\n', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

CFwDocument* CFwDocTemplate::OpenDocumentFile(const char* path, bool makeVisible) {
    CFwMDIFrame* mainFrame = CFwApp::Get() ? CFwApp::Get()->MainFrame() : nullptr;
    if (!mainFrame) return nullptr;
    CFwDocument* doc = m_makeDoc();
    if (!doc) return nullptr;
    doc->SetEnvironment(this);
    m_docs.push_back(doc);
    CFwMDIChild* frame = m_makeFrame();
    CFwView* view = m_makeView();
    if (!frame || !view || !frame->CreateChild(mainFrame, doc, view, DocString(2))) {
        delete frame;
        delete view;
        DeleteDocument(doc);
        return nullptr;
    }
    HWND child = frame->GetHwnd();
    bool ok;
    if (path) {
        ok = doc->OnOpenDocument(path);
        if (ok) doc->SetPathName(path);
    } else {
        ok = doc->OnNewDocument();
        if (ok) doc->SetTitle(DocString(2) + std::to_string(++m_untitledCount));
    }
    if (!ok) {
        doc->OnCloseDocument(); // destroys the window and deletes the document
        return nullptr;
    }
    if (makeVisible && IsWindow(child)) {
        view->OnInitialUpdate();
        ShowWindow(child, SW_SHOW);
        SendMessageW(mainFrame->MdiClient(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child), 0);
        SetFocus(view->GetHwnd());
    }
    return doc;
}

std::vector<CFwMDIChild*> CFwDocTemplate::FramesOf(CFwDocument& doc) const {
    std::vector<CFwMDIChild*> frames;
    for (CFwViewBase* base : doc.Views()) {
        CFwView* view = dynamic_cast<CFwView*>(base);
        if (!view) continue;
        CFwMDIChild* frame = dynamic_cast<CFwMDIChild*>(CFwWnd::FromHandle(view->ParentFrame()));
        if (frame && std::find(frames.begin(), frames.end(), frame) == frames.end()) frames.push_back(frame);
    }
    return frames;
}

FwSaveAnswer CFwDocTemplate::AskSaveChanges(const std::string& title) {
    int answer = CFwApp::Get()->ShowMessage("Save changes to " + title + "?", MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    return answer == IDYES ? kFwAnswerYes : answer == IDNO ? kFwAnswerNo : kFwAnswerCancel;
}

void CFwDocTemplate::AddToRecentFiles(const std::string& path) {
    if (CFwApp::Get()) CFwApp::Get()->AddToRecentFileList(path);
}

void CFwDocTemplate::DocumentTitleChanged(CFwDocument& doc) {
    for (CFwMDIChild* frame : FramesOf(doc))
        FwSetWindowText(frame->GetHwnd(), doc.GetTitle());
    if (CFwApp::Get() && CFwApp::Get()->MainFrame()) CFwApp::Get()->MainFrame()->OnUpdateFrameTitle();
}

void CFwDocTemplate::CloseDocumentWindows(CFwDocument& doc) {
    CFwMDIFrame* mainFrame = CFwApp::Get() ? CFwApp::Get()->MainFrame() : nullptr;
    for (CFwMDIChild* frame : FramesOf(doc)) {
        HWND child = frame->GetHwnd();
        if (mainFrame && mainFrame->MdiClient())
            SendMessageW(mainFrame->MdiClient(), WM_MDIDESTROY, reinterpret_cast<WPARAM>(child), 0);
        else
            DestroyWindow(child);
    }
}

void CFwDocTemplate::DeleteDocument(CFwDocument* doc) {
    auto it = std::find(m_docs.begin(), m_docs.end(), doc);
    if (it != m_docs.end()) m_docs.erase(it);
    delete doc;
    if (CFwApp::Get() && CFwApp::Get()->MainFrame()) CFwApp::Get()->MainFrame()->OnUpdateFrameTitle();
}

// ---- application --------------------------------------------------------------------------------------------

CFwApp::CFwApp() {
    g_app = this;
}

CFwApp::~CFwApp() {
    for (CFwDocTemplate* t : m_templates)
        delete t;
    if (g_app == this) g_app = nullptr;
}

CFwApp* CFwApp::Get() {
    return g_app;
}

int CFwApp::ExitInstance() {
    SaveRecentFiles();
    return m_exitCode;
}

int CFwApp::Run() {
    if (!InitInstance()) {
        if (m_mainFrame && m_mainFrame->GetHwnd()) DestroyWindow(m_mainFrame->GetHwnd());
        ExitInstance();
        return 1;
    }
    long idleCount = 0;
    for (;;) {
        MSG msg;
        while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++)) break;
        }
        if (!PumpMessage()) break;
        idleCount = 0;
    }
    return ExitInstance();
}

bool CFwApp::PumpMessage() {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        m_exitCode = got == 0 ? int(msg.wParam) : 1;
        return false;
    }
    if (!PreTranslateMessage(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

bool CFwApp::PumpWaitingMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!PumpMessage()) return false;
    }
    return true;
}

bool CFwApp::PreTranslateMessage(MSG& msg) {
    if (!m_mainFrame || !m_mainFrame->GetHwnd()) return false;
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        if (m_mainFrame->MdiClient() && TranslateMDISysAccel(m_mainFrame->MdiClient(), &msg)) return true;
        if (m_accel && TranslateAcceleratorW(m_mainFrame->GetHwnd(), m_accel, &msg)) return true;
    }
    return false;
}

bool CFwApp::OnIdle(long count) {
    if (count == 0 && m_mainFrame && m_mainFrame->GetHwnd()) {
        m_mainFrame->OnUpdateFrameTitle();
        m_mainFrame->OnIdleUpdate();
    }
    return false;
}

// ---- settings ----

namespace {
HKEY OpenSection(const std::string& key, const std::string& section, bool create) {
    std::wstring path = LvUtf8ToWide(key + "\\" + section);
    HKEY hkey = nullptr;
    LONG r = create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                      &hkey, nullptr)
                    : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &hkey);
    return r == ERROR_SUCCESS ? hkey : nullptr;
}
} // namespace

std::string CFwApp::GetProfileText(const std::string& section, const std::string& entry,
                                   const std::string& fallback) const {
    HKEY hkey = OpenSection(m_registryKey, section, false);
    if (!hkey) return fallback;
    std::wstring name = LvUtf8ToWide(entry);
    DWORD type = 0, size = 0;
    std::string value = fallback;
    if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ &&
        size < (1u << 20)) {
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = DWORD(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(hkey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) ==
            ERROR_SUCCESS)
            value = LvWideToUtf8(buffer.c_str());
    }
    RegCloseKey(hkey);
    return value;
}

bool CFwApp::WriteProfileText(const std::string& section, const std::string& entry, const std::string& value) {
    HKEY hkey = OpenSection(m_registryKey, section, true);
    if (!hkey) return false;
    std::wstring wide = LvUtf8ToWide(value);
    LONG r = RegSetValueExW(hkey, LvUtf8ToWide(entry).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                            DWORD((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hkey);
    return r == ERROR_SUCCESS;
}

int CFwApp::GetProfileNumber(const std::string& section, const std::string& entry, int fallback) const {
    HKEY hkey = OpenSection(m_registryKey, section, false);
    if (!hkey) return fallback;
    DWORD type = 0, value = 0, size = sizeof(value);
    int result = fallback;
    if (RegQueryValueExW(hkey, LvUtf8ToWide(entry).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD)
        result = int(value);
    RegCloseKey(hkey);
    return result;
}

bool CFwApp::WriteProfileNumber(const std::string& section, const std::string& entry, int value) {
    HKEY hkey = OpenSection(m_registryKey, section, true);
    if (!hkey) return false;
    DWORD v = DWORD(value);
    LONG r =
        RegSetValueExW(hkey, LvUtf8ToWide(entry).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
    RegCloseKey(hkey);
    return r == ERROR_SUCCESS;
}

void CFwApp::LoadStdProfileSettings(size_t recentCount) {
    m_recent = CFwRecentFileList(recentCount);
    std::vector<std::string> stored;
    for (size_t i = 0; i < recentCount; i++)
        stored.push_back(GetProfileText("Recent File List", CFwRecentFileList::ValueName(i)));
    m_recent.Load(stored);
    m_recentLoaded = true;
}

void CFwApp::AddToRecentFileList(const std::string& path) {
    m_recent.Add(path);
    SaveRecentFiles();
}

void CFwApp::SaveRecentFiles() {
    // A list that was never read (a second instance that only hands its file over) must not replace the
    // stored one.
    if (m_registryKey.empty() || !m_recentLoaded) return;
    for (size_t i = 0; i < m_recent.Capacity(); i++) {
        if (i < m_recent.Size()) {
            WriteProfileText("Recent File List", CFwRecentFileList::ValueName(i), m_recent[i]);
        } else if (HKEY hkey = OpenSection(m_registryKey, "Recent File List", true)) {
            RegDeleteValueW(hkey, LvUtf8ToWide(CFwRecentFileList::ValueName(i)).c_str());
            RegCloseKey(hkey);
        }
    }
}

// ---- documents ----

CFwDocument* CFwApp::OpenDocumentFile(const std::string& name) {
    if (name.empty() || m_templates.empty()) return nullptr;
    // Relative names would change meaning with the current folder (the file dialogs move it).
    const std::string path = FwFullPath(name);
    for (CFwDocument* doc : AllDocuments()) {
        if (FwSamePath(doc->GetPathName(), path)) {
            ActivateDocument(*doc);
            return doc;
        }
    }
    return m_templates.front()->OpenDocumentFile(path.c_str());
}

std::vector<CFwDocument*> CFwApp::AllDocuments() const {
    std::vector<CFwDocument*> docs;
    for (CFwDocTemplate* t : m_templates)
        docs.insert(docs.end(), t->Documents().begin(), t->Documents().end());
    return docs;
}

void CFwApp::ActivateDocument(CFwDocument& doc) {
    for (CFwDocTemplate* t : m_templates) {
        std::vector<CFwMDIChild*> frames = t->FramesOf(doc);
        if (!frames.empty() && m_mainFrame) {
            SendMessageW(m_mainFrame->MdiClient(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frames[0]->GetHwnd()), 0);
            return;
        }
    }
}

bool CFwApp::SaveAllModified() {
    for (CFwDocument* doc : AllDocuments())
        if (!doc->SaveModified()) return false;
    return true;
}

void CFwApp::CloseAllDocuments() {
    for (CFwDocument* doc : AllDocuments())
        doc->OnCloseDocument();
}

// ---- commands ----

std::vector<CFwCmdTarget*> CFwApp::CommandChain() const {
    std::vector<CFwCmdTarget*> chain;
    if (m_mainFrame) {
        HWND active = m_mainFrame->MdiActiveHwnd();
        CFwMDIChild* child = dynamic_cast<CFwMDIChild*>(CFwWnd::FromHandle(active));
        if (child) {
            chain.push_back(child->View());
            chain.push_back(child->Document());
            chain.push_back(child);
        }
        chain.push_back(m_mainFrame);
    }
    chain.push_back(const_cast<CFwApp*>(this));
    return chain;
}

bool CFwApp::RouteCommand(int id) {
    return FwRouteCommand(CommandChain(), id);
}

bool CFwApp::QueryCommand(CFwCmdUI& ui) const {
    return FwQueryCommand(CommandChain(), ui);
}

int CFwApp::ShowMessage(const std::string& text, UINT flags) {
    HWND owner = m_mainFrame ? m_mainFrame->GetHwnd() : nullptr;
    return MessageBoxW(owner, LvUtf8ToWide(text).c_str(), LvUtf8ToWide(m_appName).c_str(), flags);
}

bool FwIsRecentFileCommand(int id) {
    return id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE16;
}

bool CFwApp::OnUpdateCommand(CFwCmdUI& ui) {
    if (FwIsRecentFileCommand(ui.id)) {
        ui.Enable(size_t(ui.id - ID_FILE_MRU_FILE1) < m_recent.Size());
        return true;
    }
    switch (ui.id) {
    case ID_FILE_NEW:
    case ID_FILE_OPEN:
    case ID_APP_EXIT:
        return true;
    default:
        return false;
    }
}

bool CFwApp::OnCommand(int id) {
    if (FwIsRecentFileCommand(id)) {
        size_t index = size_t(id - ID_FILE_MRU_FILE1);
        if (index >= m_recent.Size()) return true;
        std::string path = m_recent[index];
        if (!OpenDocumentFile(path)) {
            // A file that cannot be opened any more leaves the list.
            for (size_t i = 0; i < m_recent.Size(); i++) {
                if (FwSamePath(m_recent[i], path)) {
                    m_recent.Remove(i);
                    SaveRecentFiles();
                    break;
                }
            }
        }
        return true;
    }
    switch (id) {
    case ID_FILE_NEW:
        OnFileNew();
        return true;
    case ID_FILE_OPEN:
        OnFileOpen();
        return true;
    case ID_APP_EXIT:
        if (m_mainFrame) PostMessageW(m_mainFrame->GetHwnd(), WM_CLOSE, 0, 0);
        return true;
    default:
        return false;
    }
}

void CFwApp::OnFileNew() {
    if (!m_templates.empty()) m_templates.front()->OpenDocumentFile(nullptr);
}
