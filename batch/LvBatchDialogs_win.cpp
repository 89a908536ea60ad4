#include "batch/LvBatchDialogs_win.h"

#include "app/LvApp_win.h"
#include "app/LvDialogs_win.h"
#include "app/LvMainFrame_win.h"
#include "image/LvWideText_win.h"
#include "res/resource.h"

#include <commctrl.h>
#include <objbase.h>
#include <process.h>
#include <shlobj.h>

const DWORD kLvBatchFormats[10] = {LVFMT_BMP, LVFMT_GIF, LVFMT_ICO, LVFMT_JPG, LVFMT_WMF,
                                   LVFMT_PNG, LVFMT_TIF, LVFMT_TGA, LVFMT_PCX, LVFMT_WBMP};
const int kLvBatchDepths[4] = {1, 4, 8, 24};

namespace {

// The settings the effects read their stored values from: the program's, or (without an application, in
// tests) an empty set that gives every default.
const CLvSettings& EffectSettings() {
    static CLvMemorySettings none;
    CLumivueApp* app = CLumivueApp::Get();
    return app ? app->Settings() : none;
}

// The index of the checked button of a group of consecutive ids, 0 when none is.
int CheckedIndex(HWND dialog, int first, int last) {
    for (int id = first; id <= last; id++)
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) return id - first;
    return 0;
}

// A bar's range 0 to count, its position and its line of text.
void SetBarState(HWND bar, int position, int count, const std::string& text) {
    SendMessageW(bar, PBM_SETRANGE32, 0, count);
    SendMessageW(bar, PBM_SETPOS, WPARAM(position), 0);
    SetWindowTextW(bar, LvUtf8ToWide(text).c_str());
}

// The bars follow the run through messages sent from the worker.
class DialogProgress : public LvBatchProgress {
public:
    DialogProgress(HWND fileBar, HWND effectBar) : m_fileBar(fileBar), m_effectBar(effectBar) {}
    void File(int number, int count, const std::string& path) override { SetBarState(m_fileBar, number, count, path); }
    void Step(int number, int count, const std::string& name) override {
        if (m_effectBar) SetBarState(m_effectBar, number, count, name);
    }

private:
    HWND m_fileBar, m_effectBar;
};

int CALLBACK BrowseCallback(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data) {
    if (msg == BFFM_INITIALIZED) {
        const wchar_t* current = reinterpret_cast<const wchar_t*>(data);
        if (current && *current) {
            SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
            SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, data);
        }
    } else if (msg == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

} // namespace

// ---- folder chooser and type filter ----

bool CFolderBrowser::Browse(HWND owner, const std::string& title, const std::string& current, std::string& chosen) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring wideTitle = LvUtf8ToWide(title), wideCurrent = LvUtf8ToWide(current);
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(wideCurrent.c_str());
    bool picked = false;
    if (LPITEMIDLIST list = SHBrowseForFolderW(&info)) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(list, path)) {
            chosen = LvWideToUtf8(path);
            picked = true;
        }
        CoTaskMemFree(list);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return picked;
}

CImageFilterDlg::CImageFilterDlg(const int flags[kLvBatchTypeCount]) : CFwDialog(IDD_IMAGE_FILTER) {
    for (int i = 0; i < kLvBatchTypeCount; i++)
        m_flags[i] = flags[i];
}

bool CImageFilterDlg::OnInitDialog() {
    for (int code = 1; code < kLvBatchTypeCount; code++)
        SetCheck(IDC_FILTER_FIRST + code - 1, m_flags[code] == 1);
    return true;
}

bool CImageFilterDlg::OnOK() {
    for (int code = 1; code < kLvBatchTypeCount; code++)
        m_flags[code] = IsChecked(IDC_FILTER_FIRST + code - 1) ? 1 : 0;
    return true;
}

// ---- what the three dialogs share ----

CBatchDlg::CBatchDlg(UINT templateId, const char* logName) : CFwDialog(templateId), m_logName(logName) {
    for (int& flag : m_typeFilter)
        flag = 1;
}

CBatchDlg::~CBatchDlg() {
    if (m_worker) {
        m_stop = 1;
        WaitForWorker();
    }
}

bool CBatchDlg::IsRunning() const {
    return m_worker && WaitForSingleObject(m_worker, 0) == WAIT_TIMEOUT;
}

void CBatchDlg::PlaceBar(CProgressIndicator& bar, int id) {
    HWND placeholder = Item(id);
    RECT rc = {0, 0, 0, 0};
    if (placeholder) {
        GetWindowRect(placeholder, &rc);
        MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&rc), 2);
        DestroyWindow(placeholder);
    }
    if (bar.CreateIndicator(m_hwnd, id))
        MoveWindow(bar.GetHwnd(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
}

void CBatchDlg::SetBar(HWND bar, int position, int count, const std::string& text) {
    SetBarState(bar, position, count, text);
}

bool CBatchDlg::OnInitDialog() {
    HWND scope = Item(IDC_BATCH_SCOPE);
    for (UINT text : {IDS_BATCH_SCOPE_FOLDER, IDS_BATCH_SCOPE_SUBFOLDERS})
        SendMessageW(scope, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LvUtf8ToWide(LvLoadString(text)).c_str()));
    PlaceBar(m_fileBar, IDC_BATCH_FILE_BAR);
    WriteControls();
    return true;
}

void CBatchDlg::ReadControls() {
    m_folder = FwWindowText(Item(IDC_BATCH_FOLDER));
    const LRESULT scope = SendMessageW(Item(IDC_BATCH_SCOPE), CB_GETCURSEL, 0, 0);
    m_scope = scope == CB_ERR ? 0 : int(scope);
    if (m_radios.index) *m_radios.index = CheckedIndex(m_hwnd, m_radios.first, m_radios.last);
}

void CBatchDlg::WriteControls() {
    SetText(IDC_BATCH_FOLDER, m_folder);
    SendMessageW(Item(IDC_BATCH_SCOPE), CB_SETCURSEL, WPARAM(m_scope), 0);
    if (m_radios.index) CheckRadioButton(m_hwnd, m_radios.first, m_radios.last, m_radios.first + *m_radios.index);
}

bool CBatchDlg::OnCommand(int id, int code) {
    switch (id) {
    case IDC_BATCH_BROWSE:
        OnBrowse();
        return true;
    case IDC_BATCH_FILTER:
        OnFilter();
        return true;
    case IDOK:
        OnDoIt();
        return true;
    case IDCANCEL:
        OnClose();
        return true;
    default:
        return CFwDialog::OnCommand(id, code);
    }
}

INT_PTR CBatchDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_BATCH_DONE) {
        OnDone(int(wParam));
        return TRUE;
    }
    return CFwDialog::DialogProc(msg, wParam, lParam);
}

void CBatchDlg::OnBrowse() {
    ReadControls();
    std::string chosen;
    if (!CFolderBrowser::Browse(m_hwnd, "\nPlease Select Folder:", m_folder, chosen)) return;
    m_folder = chosen;
    WriteControls();
}

void CBatchDlg::OnFilter() {
    CImageFilterDlg dialog(m_typeFilter);
    if (dialog.DoModal(m_hwnd) != IDOK) return;
    for (int i = 0; i < kLvBatchTypeCount; i++)
        m_typeFilter[i] = dialog.Flags()[i];
}

void CBatchDlg::OnDoIt() {
    ReadControls();
    if (m_folder.empty() || IsRunning()) return;
    if (m_worker) {
        CloseHandle(m_worker);
        m_worker = nullptr;
    }
    // Cleared here rather than by the worker, so that a Close pressed as the run starts is not forgotten.
    m_stop = 0;
    m_worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, WorkerMain, this, CREATE_SUSPENDED, nullptr));
    if (m_worker) ResumeThread(m_worker);
}

unsigned __stdcall CBatchDlg::WorkerMain(void* dialog) {
    static_cast<CBatchDlg*>(dialog)->Work();
    return 0;
}

void CBatchDlg::Work() {
    m_log.OpenLog(m_logName);
    EnableWindow(Item(IDOK), FALSE);
    const LvBatchJob job = MakeJob();
    HWND effectBar = &MessageBar() == &m_fileBar ? nullptr : MessageBar().GetHwnd();
    DialogProgress progress(m_fileBar.GetHwnd(), effectBar);
    const int outcome = LvRunBatch(job, m_folder, m_scope != 0, m_typeFilter, &m_log, m_stop, &progress, m_files, 1);
    PostMessageW(m_hwnd, WM_BATCH_DONE, WPARAM(outcome), 0);
}

void CBatchDlg::OnDone(int outcome) {
    const std::string message = LvBatchMessage(outcome);
    // A run that ends while the dialog closes needs no answer.
    if (outcome == kLvBatchFailed && !m_closing)
        MessageBoxW(m_hwnd, LvUtf8ToWide(message).c_str(), L"Lumivue", MB_OK | MB_ICONEXCLAMATION);
    EnableWindow(Item(IDOK), TRUE);
    SetBar(m_fileBar.GetHwnd(), 0, 1, &MessageBar() == &m_fileBar ? message : std::string());
    m_log.WriteLog(message);
}

// The worker sends to the dialog's controls: the wait handles messages so that it can finish.
void CBatchDlg::WaitForWorker() {
    while (MsgWaitForMultipleObjects(1, &m_worker, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(int(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    CloseHandle(m_worker);
    m_worker = nullptr;
}

void CBatchDlg::OnClose() {
    if (m_closing) return;
    m_closing = true;
    m_stop = 1;
    if (m_worker) WaitForWorker();
    EndDialog(IDCANCEL);
}

// ---- Batch Effect ----

CBatchEffectDlg::CBatchEffectDlg() : CBatchDlg(IDD_BATCH_EFFECT, "Batch.txt") {}

bool CBatchEffectDlg::OnInitDialog() {
    CBatchDlg::OnInitDialog();
    PlaceBar(m_effectBar, IDC_BATCH_EFFECT_BAR);
    HWND available = Item(IDC_BATCH_AVAILABLE);
    const LvBatchEffect* effects = LvBatchEffects();
    for (int i = 0; i < kLvBatchEffectCount; i++) {
        const LRESULT row =
            SendMessageW(available, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LvUtf8ToWide(effects[i].name).c_str()));
        SendMessageW(available, LB_SETITEMDATA, WPARAM(row), LPARAM(effects[i].id));
    }
    SetText(IDC_BATCH_REMARK, kLvBatchRemark);
    return true;
}

bool CBatchEffectDlg::OnCommand(int id, int code) {
    if (id == IDC_BATCH_ADD) {
        OnAdd();
        return true;
    }
    if (id == IDC_BATCH_REMOVE || (id == IDC_BATCH_CHOSEN && code == LBN_DBLCLK)) {
        OnRemove();
        return true;
    }
    return CBatchDlg::OnCommand(id, code);
}

void CBatchEffectDlg::OnAdd() {
    const LRESULT selected = SendMessageW(Item(IDC_BATCH_AVAILABLE), LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || selected >= kLvBatchEffectCount) return;
    HWND chosen = Item(IDC_BATCH_CHOSEN);
    const int count = int(SendMessageW(chosen, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; row++)
        if (SendMessageW(chosen, LB_GETITEMDATA, WPARAM(row), 0) == selected) return;
    const LvBatchEffect& effect = LvBatchEffects()[selected];
    const LRESULT row =
        SendMessageW(chosen, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LvUtf8ToWide(effect.name).c_str()));
    SendMessageW(chosen, LB_SETITEMDATA, WPARAM(row), LPARAM(effect.id));
}

void CBatchEffectDlg::OnRemove() {
    HWND chosen = Item(IDC_BATCH_CHOSEN);
    const LRESULT selected = SendMessageW(chosen, LB_GETCURSEL, 0, 0);
    if (selected != LB_ERR) SendMessageW(chosen, LB_DELETESTRING, WPARAM(selected), 0);
}

LvBatchJob CBatchEffectDlg::MakeJob() {
    // The chain as the list shows it when the run starts.
    std::vector<int> ids;
    HWND chosen = Item(IDC_BATCH_CHOSEN);
    const int count = int(SendMessageW(chosen, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; row++)
        ids.push_back(int(SendMessageW(chosen, LB_GETITEMDATA, WPARAM(row), 0)));
    LvBatchJob job;
    job.kind = kLvBatchEffects;
    job.steps = LvBatchEffectSteps(ids, EffectSettings());
    return job;
}

void CBatchEffectDlg::OnDone(int outcome) {
    CBatchDlg::OnDone(outcome);
    SetBar(m_effectBar.GetHwnd(), 0, 1, LvBatchMessage(outcome));
}

// ---- Batch Convert Format ----

CBatchConvertFormatDlg::CBatchConvertFormatDlg() : CBatchDlg(IDD_BATCH_CONVERT_FORMAT, "BatchFormat.txt") {
    m_radios = {IDC_BATCH_FORMAT_FIRST, IDC_BATCH_FORMAT_LAST, &m_formatIndex};
}

bool CBatchConvertFormatDlg::OnCommand(int id, int code) {
    if ((id == IDC_BATCH_FORMAT_GIF || id == IDC_BATCH_FORMAT_TIF) && code == BN_CLICKED) {
        const bool tiff = id == IDC_BATCH_FORMAT_TIF;
        DWORD& option = tiff ? m_tiffOption : m_gifOption;
        CEncodeOptionsDlg dialog(tiff, option);
        if (dialog.DoModal(m_hwnd) == IDOK) option = dialog.Option();
        return true;
    }
    return CBatchDlg::OnCommand(id, code);
}

LvBatchJob CBatchConvertFormatDlg::MakeJob() {
    LvBatchJob job;
    job.kind = kLvBatchFormat;
    m_targetFormat = kLvBatchFormats[m_formatIndex];
    job.targetFormat = m_targetFormat;
    job.jpegQuality = m_jpegQuality;
    job.xDpi = m_xDpi;
    job.yDpi = m_yDpi;
    job.gifOption = m_gifOption;
    job.tiffOption = m_tiffOption;
    return job;
}

// ---- Batch Convert Color ----

CBatchConvertColorDlg::CBatchConvertColorDlg() : CBatchDlg(IDD_BATCH_CONVERT_COLOR, "BatchColor.txt") {
    m_radios = {IDC_BATCH_DEPTH_FIRST, IDC_BATCH_DEPTH_LAST, &m_depthIndex};
}

LvBatchJob CBatchConvertColorDlg::MakeJob() {
    LvBatchJob job;
    job.kind = kLvBatchColor;
    job.depth = kLvBatchDepths[m_depthIndex];
    return job;
}

void LvRunBatchDialog(int commandId, HWND owner) {
    if (commandId == ID_BATCH_EFFECT) {
        CBatchEffectDlg dialog;
        dialog.DoModal(owner);
    } else if (commandId == ID_BATCH_CONVERT_FORMAT) {
        CBatchConvertFormatDlg dialog;
        dialog.DoModal(owner);
    } else if (commandId == ID_BATCH_CONVERT_COLOR) {
        CBatchConvertColorDlg dialog;
        dialog.DoModal(owner);
    }
}
