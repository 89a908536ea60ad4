#include "app/LvApp_win.h"

#include "app/LvDialogs_win.h"
#include "app/LvDoc_win.h"
#include "app/LvImageCommands.h"
#include "app/LvMainFrame_win.h"
#include "res/resource.h"
#include "view/LvView_win.h"

#include <commctrl.h>
#include <commdlg.h>

namespace {

const char kSettingsKey[] = "Software\\Quillmarsh\\Lumivue";

// The command line taken whole as one path: surrounding blanks and one pair of quotes go.
std::string PathOfCommandLine(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return std::string();
    size_t end = line.find_last_not_of(" \t");
    std::string path = line.substr(start, end - start + 1);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    return path;
}

} // namespace

void LvAddImageCommandMenus(HMENU menu) {
    if (!menu) return;
    // In front of the Color popup (the one that holds the 2-colour command).
    int position = -1;
    for (int i = 0; i < GetMenuItemCount(menu) && position < 0; i++)
        if (HMENU sub = GetSubMenu(menu, i))
            if (GetMenuState(sub, ID_COLOR_2, MF_BYCOMMAND) != UINT(-1)) position = i;
    if (position < 0) return;
    for (const LvCommandPopup& popup : LvCommandPopups()) {
        const std::vector<const LvOperation*> items = LvPopupItems(popup);
        if (items.empty()) continue;
        HMENU sub = CreatePopupMenu();
        for (const LvOperation* op : items) {
            if (op)
                AppendMenuW(sub, MF_STRING, UINT_PTR(op->commandId), LvUtf8ToWide(op->menuText).c_str());
            else
                AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
        }
        InsertMenuW(menu, UINT(position++), MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                    LvUtf8ToWide(popup.title).c_str());
    }
}

CLumivueApp::CLumivueApp() = default;

CLumivueApp::~CLumivueApp() {
    delete m_mainFrame;
    m_mainFrame = nullptr;
}

CMainFrame* CLumivueApp::Frame() const {
    return static_cast<CMainFrame*>(m_mainFrame);
}

bool CLumivueApp::HandOffToRunningInstance() {
    const std::wstring property = LvUtf8ToWide(m_instanceName);
    HWND other = GetWindow(GetDesktopWindow(), GW_CHILD);
    while (other && !GetPropW(other, property.c_str()))
        other = GetWindow(other, GW_HWNDNEXT);
    if (!other) return false;
    if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
    SetForegroundWindow(other);
    SetForegroundWindow(GetLastActivePopup(other));
    const std::string path = PathOfCommandLine(m_commandLine);
    if (!path.empty()) {
        // The running instance has its own current folder.
        WriteProfileText("Share Document", "Last File", FwFullPath(path));
        PostMessageW(other, WM_SHARE_DOCUMENT, 0, 0);
    }
    return true;
}

bool CLumivueApp::InitInstance() {
    SetRegistryKey(kSettingsKey);
    m_hMutex = CreateMutexW(nullptr, TRUE, LvUtf8ToWide(m_instanceName).c_str());
    if (m_hMutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        HandOffToRunningInstance();
        return false;
    }
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&icc);
    LoadStdProfileSettings(9);

    m_pDocTemplate = new CFwDocTemplate(
        IDR_LUMIVUETYPE, [] { return new CLvDoc(); }, [] { return new CChildFrame(); }, [] { return new CLvView(); });
    AddDocTemplate(m_pDocTemplate);
    LvAddImageCommandMenus(m_pDocTemplate->Menu());

    CMainFrame* frame = new CMainFrame();
    m_mainFrame = frame;
    if (!frame->CreateMainFrame(0x00CF8000)) return false;
    // From here on a second start finds this window and hands its file over, also while the command line's
    // file is being opened or its error shown.
    SetPropW(frame->GetHwnd(), LvUtf8ToWide(m_instanceName).c_str(), reinterpret_cast<HANDLE>(1));
    frame->SetSharedMenu(m_pDocTemplate->Menu());
    SetAccelerators(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));

    frame->ShowAsStored();
    DragAcceptFiles(frame->GetHwnd(), TRUE);

    const std::string path = PathOfCommandLine(m_commandLine);
    if (!path.empty()) OpenDocumentFile(path);
    return true;
}

int CLumivueApp::ExitInstance() {
    if (m_hMutex) {
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    return CFwApp::ExitInstance();
}

bool CLumivueApp::DoPromptFileName(std::string& name, const char*, DWORD flags, bool open, int& format) {
    return LvPromptFileName(m_mainFrame ? m_mainFrame->GetHwnd() : nullptr, name, open, flags, format);
}

void CLumivueApp::OnShareDocument() {
    const std::string path = PathOfCommandLine(GetProfileText("Share Document", "Last File"));
    if (!path.empty()) OpenDocumentFile(path);
}

void CLumivueApp::OnFileOpen() {
    std::string name;
    int format = -1;
    if (DoPromptFileName(name, "Open", OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, true, format)) OpenDocumentFile(name);
}

void CLumivueApp::OnCloseAll() {
    for (CFwDocument* doc : AllDocuments())
        doc->OnCloseDocument();
}

void CLumivueApp::OnAbout() {
    CAboutDlg dialog;
    dialog.DoModal(m_mainFrame ? m_mainFrame->GetHwnd() : nullptr);
}

bool CLumivueApp::OnUpdateCommand(CFwCmdUI& ui) {
    switch (ui.id) {
    case ID_WINDOW_CLOSE_ALL:
    case ID_APP_ABOUT:
    case ID_ACQUIRE_DOWNLOAD_URL:
        return true;
    case ID_VIEW_ROTATE_BY_EXIF:
        ui.SetCheck(LvReadSwitch(m_settings, kLvRotateByExif));
        return true;
    case ID_FILE_KEEP_CAMERA_DATA:
        ui.SetCheck(LvReadSwitch(m_settings, kLvKeepCameraData));
        return true;
    default:
        return CFwApp::OnUpdateCommand(ui);
    }
}

bool CLumivueApp::PreTranslateMessage(MSG& msg) {
    // While a scanner's own window is up, the source sees every message instead of the accelerators.
    if (Frame() && Frame()->Twain().IsSourceEnabled()) return Frame()->Twain().PreTranslate(msg);
    return CFwApp::PreTranslateMessage(msg);
}

bool CLumivueApp::OnCommand(int id) {
    switch (id) {
    case ID_WINDOW_CLOSE_ALL:
        OnCloseAll();
        return true;
    case ID_APP_ABOUT:
        OnAbout();
        return true;
    case ID_ACQUIRE_DOWNLOAD_URL:
        OnDownloadFromUrl(std::string());
        return true;
    case ID_VIEW_ROTATE_BY_EXIF:
        // Takes effect for the pictures opened from now on.
        LvWriteSwitch(m_settings, kLvRotateByExif, !LvReadSwitch(m_settings, kLvRotateByExif));
        return true;
    case ID_FILE_KEEP_CAMERA_DATA:
        LvWriteSwitch(m_settings, kLvKeepCameraData, !LvReadSwitch(m_settings, kLvKeepCameraData));
        return true;
    default:
        return CFwApp::OnCommand(id);
    }
}
