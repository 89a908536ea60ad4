#include "acquire/LvCapture_win.h"

#include "acquire/LvAcquire.h"
#include "acquire/LvLogFile.h"
#include "app/LvApp_win.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "image/LvScopedWin.h"
#include "res/resource.h"

#include <commctrl.h>

#include <vector>

// ---- dialogs ----------------------------------------------------------------------------------------------------

void LvSetDestinationButtons(HWND dialog, int destination) {
    const int id = destination == kLvCaptureToClipboard ? IDC_DEST_CLIPBOARD
                   : destination == kLvCaptureToFile    ? IDC_DEST_FILE
                                                        : IDC_DEST_EDITOR;
    CheckRadioButton(dialog, IDC_DEST_CLIPBOARD, IDC_DEST_EDITOR, id);
}

int LvDestinationOfButtons(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_DEST_CLIPBOARD) == BST_CHECKED) return kLvCaptureToClipboard;
    if (IsDlgButtonChecked(dialog, IDC_DEST_FILE) == BST_CHECKED) return kLvCaptureToFile;
    return kLvCaptureToEditor;
}

namespace {

struct WindowEntry {
    HWND window;
    std::string title;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    std::vector<WindowEntry>& found = *reinterpret_cast<std::vector<WindowEntry>*>(param);
    if (found.size() >= kLvCaptureListMax) return FALSE;
    wchar_t title[261] = {};
    GetWindowTextW(window, title, 261);
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    const std::string text = LvWideToUtf8(title);
    if (LvIsCaptureCandidate(IsWindowVisible(window) != FALSE, client.right - client.left, client.bottom - client.top,
                             text))
        found.push_back(WindowEntry{window, text});
    return TRUE;
}

} // namespace

CCaptureDlg::CCaptureDlg(int destination) : CFwDialog(IDD_CAPTURE), m_dest(destination) {}

bool CCaptureDlg::OnInitDialog() {
    std::vector<WindowEntry> found;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&found));
    HWND list = Item(IDC_CAPTURE_WINDOWS);
    LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Desktop"));
    SendMessageW(list, LB_SETITEMDATA, WPARAM(row), reinterpret_cast<LPARAM>(GetDesktopWindow()));
    for (const WindowEntry& entry : found) {
        row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LvUtf8ToWide(entry.title).c_str()));
        SendMessageW(list, LB_SETITEMDATA, WPARAM(row), reinterpret_cast<LPARAM>(entry.window));
    }
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    LvSetDestinationButtons(m_hwnd, m_dest);
    return true;
}

bool CCaptureDlg::OnOK() {
    HWND list = Item(IDC_CAPTURE_WINDOWS);
    const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (row != LB_ERR) {
        m_window = reinterpret_cast<HWND>(SendMessageW(list, LB_GETITEMDATA, WPARAM(row), 0));
        const LRESULT n = SendMessageW(list, LB_GETTEXTLEN, WPARAM(row), 0);
        std::wstring text(size_t(n > 0 ? n : 0) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, WPARAM(row), reinterpret_cast<LPARAM>(&text[0]));
        m_windowText = LvWideToUtf8(text.c_str());
    }
    m_dest = LvDestinationOfButtons(m_hwnd);
    return true;
}

CHotKeyDlg::CHotKeyDlg(WORD modifiers, WORD vk, int area, int destination)
    : CFwDialog(IDD_HOT_KEY), m_modifiers(modifiers), m_vk(vk), m_area(area), m_dest(destination) {}

bool CHotKeyDlg::OnInitDialog() {
    SendMessageW(Item(IDC_HOT_KEY), HKM_SETHOTKEY, MAKEWORD(m_vk, m_modifiers), 0);
    CheckRadioButton(m_hwnd, IDC_AREA_ENTIRE, IDC_AREA_CURRENT,
                     m_area == kLvCaptureCurrentWindow ? IDC_AREA_CURRENT : IDC_AREA_ENTIRE);
    LvSetDestinationButtons(m_hwnd, m_dest);
    return true;
}

bool CHotKeyDlg::OnOK() {
    const WORD key = LOWORD(SendMessageW(Item(IDC_HOT_KEY), HKM_GETHOTKEY, 0, 0));
    m_vk = LOBYTE(key);
    m_modifiers = HIBYTE(key);
    m_area = IsChecked(IDC_AREA_CURRENT) ? kLvCaptureCurrentWindow : kLvCaptureEntireScreen;
    m_dest = LvDestinationOfButtons(m_hwnd);
    return true;
}

// ---- the main frame's acquisition ----------------------------------------------------------------------------------

void CMainFrame::OnCreateAcquisition() {
    CreateDirectoryW(LvUtf8ToWide(GetAppDir() + "\\Capture").c_str(), nullptr);
    m_twain.InitTwain(m_hwnd);
}

bool CMainFrame::OnUpdateAcquireCommand(CFwCmdUI& ui) {
    switch (ui.id) {
    case ID_CAPTURE_SCREEN:
        return true;
    case ID_CAPTURE_HOT_KEY:
        ui.SetCheck(m_hotKeyArmed == 1);
        return true;
    case ID_EDIT_PASTE:
        ui.Enable(IsClipboardFormatAvailable(CF_DIB) != FALSE);
        return true;
    case ID_CLIPBOARD_AUTO_MONITOR:
        ui.SetCheck(m_clipMonitor == 1);
        return true;
    case ID_TWAIN_SELECT_SOURCE:
    case ID_TWAIN_ACQUIRE:
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnAcquireCommand(int id) {
    switch (id) {
    case ID_CAPTURE_SCREEN:
        OnCaptureScreen();
        return true;
    case ID_CAPTURE_HOT_KEY:
        OnHotKeyCapture();
        return true;
    case ID_EDIT_PASTE:
        OnFromClipboard();
        return true;
    case ID_CLIPBOARD_AUTO_MONITOR:
        OnAutoMonitorClipboard();
        return true;
    case ID_TWAIN_SELECT_SOURCE:
        m_twain.SelectSource();
        return true;
    case ID_TWAIN_ACQUIRE:
        m_twain.Acquire(-1);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnAcquireMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (msg) {
    case WM_HOTKEY:
        if (wParam != LV_HOT_KEY_ID) return false;
        OnHotKey();
        result = 0;
        return true;
    case WM_CLIPBOARDUPDATE:
        if (m_clipMonitor) OnClipboardChanged();
        result = 0;
        return true;
    case WM_CLOSE:
        m_twain.ReleaseTwain();
        return false;
    case WM_DESTROY:
        m_twain.ReleaseTwain();
        if (m_clipMonitor) RemoveClipboardFormatListener(m_hwnd);
        m_clipMonitor = 0;
        if (m_hotKeyArmed) UnregisterHotKey(m_hwnd, LV_HOT_KEY_ID);
        m_hotKeyArmed = 0;
        return false;
    default:
        return false;
    }
}

void CMainFrame::OnCaptureScreen() {
    CCaptureDlg dialog(m_captureDest);
    if (dialog.DoModal(m_hwnd) != IDOK) return;
    m_captureDest = dialog.Destination();
    CaptureWindow(dialog.Window(), m_captureDest);
}

void CMainFrame::OnHotKeyCapture() {
    if (m_hotKeyArmed == 1) {
        UnregisterHotKey(m_hwnd, LV_HOT_KEY_ID);
        m_hotKeyArmed = 0;
        return;
    }
    CHotKeyDlg dialog(m_hotKeyModifiers, m_hotKeyVk, m_captureArea, m_captureDest);
    if (dialog.DoModal(m_hwnd) != IDOK) return;
    m_hotKeyModifiers = dialog.Modifiers();
    m_hotKeyVk = dialog.Vk();
    m_captureArea = dialog.Area();
    m_captureDest = dialog.Destination();
    if (RegisterHotKey(m_hwnd, LV_HOT_KEY_ID, LvHotKeyModifiersForRegistration(m_hotKeyModifiers), m_hotKeyVk))
        m_hotKeyArmed = 1;
}

void CMainFrame::OnHotKey() {
    HWND window = m_captureArea == kLvCaptureCurrentWindow ? GetForegroundWindow() : GetDesktopWindow();
    CaptureWindow(window, m_captureDest);
}

bool CMainFrame::NewAcquiredDocument(std::unique_ptr<CLvImage> image, const char* titlePrefix) {
    CLumivueApp* app = CLumivueApp::Get();
    if (!app || !app->m_pDocTemplate) return false;
    CLvDoc* doc = dynamic_cast<CLvDoc*>(app->m_pDocTemplate->OpenDocumentFile(nullptr));
    if (!doc) return false;
    if (image && image->IsValid()) doc->m_image = std::move(image);
    doc->SetTitle(titlePrefix + std::to_string(app->m_imageCounter++));
    doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
    doc->UpdateStatusBar();
    return true;
}

int CMainFrame::CaptureWindow(HWND window, int destination) {
    if (!window || !IsWindow(window)) return 0;
    RECT rc;
    if (!GetWindowRect(window, &rc)) return 0;
    LvCaptureArea area;
    if (!LvClipCaptureRect(rc.left, rc.top, rc.right, rc.bottom, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN), area))
        return 0;

    // On top for a moment, so that it is painted unobscured; a window that was topmost stays so.
    const bool wasTopmost = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, keep);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(50);

    ScopedGdiObj<HBITMAP> bitmap;
    {
        ScopedGetDC screen(nullptr);
        HDC windowDC = GetWindowDC(window);
        if (screen && windowDC) {
            bitmap.Reset(CreateCompatibleBitmap(screen.Get(), area.width, area.height));
            ScopedMemDC memory(screen.Get());
            if (bitmap && memory) {
                ScopedSelectObject select(memory.Get(), bitmap.Get());
                BitBlt(memory.Get(), 0, 0, area.width, area.height, windowDC, area.sourceX, area.sourceY, SRCCOPY);
            }
        }
        if (windowDC) ReleaseDC(window, windowDC);
    }
    if (!wasTopmost) SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, keep);
    if (!bitmap) return 0;

    std::unique_ptr<CLvImage> image(new CLvImage());
    if (!image->CreateFromHBITMAP(bitmap.Get())) return 0;
    switch (destination) {
    case kLvCaptureToClipboard: {
        ScopedGlobal block(image->CopyToHandle());
        bool placed = false;
        if (block.Get() && OpenClipboard(m_hwnd)) {
            EmptyClipboard();
            placed = SetClipboardData(CF_DIB, block.Get()) != nullptr;
            if (placed) block.Release(); // the clipboard owns it now
            CloseClipboard();
        }
        if (!placed && CFwApp::Get()) CFwApp::Get()->ShowMessage("Unable to set Clipboard data");
        break;
    }
    case kLvCaptureToFile: {
        const LvLogTime now = LvLocalTime();
        const std::string folder = GetAppDir() + "\\Capture\\" + LvCaptureFolderName(now.year, now.month, now.day);
        CreateDirectoryW(LvUtf8ToWide(GetAppDir() + "\\Capture").c_str(), nullptr);
        CreateDirectoryW(LvUtf8ToWide(folder).c_str(), nullptr);
        // The engine writes beside the file and replaces it only when the write is complete.
        const std::string path =
            folder + "\\" + LvCaptureFileName(now.year, now.month, now.day, now.hour, now.minute, now.second);
        image->Encode(path.c_str(), LVFMT_JPG);
        break;
    }
    default:
        NewAcquiredDocument(std::move(image), "Captured Image ");
        break;
    }
    return 1;
}
