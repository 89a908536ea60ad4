#include "acquire/LvDownload_win.h"

#include "app/LvApp_win.h"
#include "app/LvDoc_win.h"
#include "app/LvMainFrame_win.h"
#include "image/LvStream.h"
#include "res/resource.h"

#include <commctrl.h>
#include <process.h>

namespace {

// A silent server must not hold the dialog for ever.
const DWORD kTimeoutMs = 30000;

// Replaces a placeholder control of the template by a progress bar that can show a line of text.
void PlaceIndicator(HWND dialog, int id, CProgressIndicator& bar) {
    HWND placeholder = GetDlgItem(dialog, id);
    RECT rc = {0, 0, 0, 0};
    if (placeholder) {
        GetWindowRect(placeholder, &rc);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
        DestroyWindow(placeholder);
    }
    if (bar.CreateIndicator(dialog, id))
        MoveWindow(bar.GetHwnd(), rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, FALSE);
}

} // namespace

CDownloadDlg::CDownloadDlg(const std::string& url) : CFwDialog(IDD_DOWNLOAD), m_url(url) {}

CDownloadDlg::~CDownloadDlg() {
    // Only when the dialog never ran its worker to the end (it always waits for it otherwise).
    if (m_worker) {
        m_abort = 1;
        WaitForSingleObject(m_worker, INFINITE);
        CloseHandle(m_worker);
    }
    CloseHandles();
}

void CDownloadDlg::CloseHandles() {
    if (m_request) InternetCloseHandle(m_request);
    if (m_connection) InternetCloseHandle(m_connection);
    if (m_session) InternetCloseHandle(m_session);
    m_request = m_connection = m_session = nullptr;
}

bool CDownloadDlg::OnInitDialog() {
    if (m_url.empty()) {
        if (!OpenClipboard(m_hwnd)) {
            m_url = LvLoadString(IDS_DL_SAMPLE_URL);
        } else {
            if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
                if (const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(block))) {
                    const size_t chars = GlobalSize(block) / sizeof(wchar_t);
                    m_url = LvWideToUtf8(std::wstring(text, wcsnlen(text, chars)));
                    GlobalUnlock(block);
                }
            }
            CloseClipboard();
        }
    }
    SetText(IDC_DOWNLOAD_URL, m_url);
    PlaceIndicator(m_hwnd, IDC_DOWNLOAD_TOTAL, m_stepBar);
    PlaceIndicator(m_hwnd, IDC_DOWNLOAD_FILE, m_fileBar);
    SendMessageW(m_stepBar.GetHwnd(), PBM_SETPOS, 0, 0);
    SendMessageW(m_fileBar.GetHwnd(), PBM_SETPOS, 0, 0);
    return true;
}

bool CDownloadDlg::OnCommand(int id, int) {
    switch (id) {
    case IDOK: {
        m_url = FwWindowText(Item(IDC_DOWNLOAD_URL));
        if (m_url.empty() || m_worker) return true;
        EnableWindow(Item(IDOK), FALSE);
        m_done = 0;
        m_abort = 0;
        m_data.Clear();
        // Created suspended and kept: the dialog waits for it and closes its handle.
        HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Worker, this, CREATE_SUSPENDED, nullptr));
        if (!thread) {
            EnableWindow(Item(IDOK), TRUE);
            return true;
        }
        m_worker = thread;
        ResumeThread(thread);
        return true;
    }
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void CDownloadDlg::OnCancel() {
    if (!m_worker) {
        EndDialog(IDCANCEL);
        return;
    }
    m_abort = 1;
    EnableWindow(Item(IDCANCEL), FALSE);
    SetText(IDC_DOWNLOAD_STATUS, LvLoadString(IDS_DL_ABORTING));
    FwSetWindowText(m_stepBar.GetHwnd(), LvLoadString(IDS_DL_ABORTING_WAIT));
}

INT_PTR CDownloadDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DOWNLOAD_STEP:
        OnStep(int(wParam), UINT(lParam));
        return TRUE;
    case WM_DOWNLOAD_PROGRESS:
        OnProgress(uint32_t(wParam), uint32_t(lParam));
        return TRUE;
    case WM_DOWNLOAD_DONE:
        OnDone(int(wParam));
        return TRUE;
    case WM_CLOSE:
        // A running transfer is asked to stop; the dialog ends when the worker reports.
        if (m_worker && !m_done) {
            m_abort = 1;
            EnableWindow(Item(IDCANCEL), FALSE);
            SetText(IDC_DOWNLOAD_STATUS, LvLoadString(IDS_DL_ABORTING));
            return TRUE;
        }
        EndDialog(IDCANCEL);
        return TRUE;
    case WM_DESTROY:
        CloseHandles();
        return FALSE;
    default:
        return CFwDialog::DialogProc(msg, wParam, lParam);
    }
}

void CDownloadDlg::PostStep(int step, UINT textId) {
    PostMessageW(m_hwnd, WM_DOWNLOAD_STEP, WPARAM(step), LPARAM(textId));
}

void CDownloadDlg::OnStep(int step, UINT textId) {
    const std::string text = LvLoadString(textId);
    if (step == kLvFileBarTextOnly) {
        FwSetWindowText(m_fileBar.GetHwnd(), text);
        return;
    }
    // The step bar counts five steps on the indicator's scale of 100.
    SetText(IDC_DOWNLOAD_STATUS, text);
    SendMessageW(m_stepBar.GetHwnd(), PBM_SETPOS, WPARAM(step * 20), 0);
    FwSetWindowText(m_stepBar.GetHwnd(), text);
}

void CDownloadDlg::OnProgress(uint32_t length, uint32_t total) {
    int position = 0;
    const std::string text = LvDownloadProgressText(length, total, position);
    if (length != 0) SendMessageW(m_fileBar.GetHwnd(), PBM_SETPOS, WPARAM(position), 0);
    FwSetWindowText(m_fileBar.GetHwnd(), text);
    SetText(IDC_DOWNLOAD_STATUS, text);
}

void CDownloadDlg::OnDone(int code) {
    if (code == kLvDownloadAborted) {
        Finish(true);
    } else if (code == kLvDownloadFinished) {
        Finish(false);
    } else if (const char* text = LvDownloadFailureText(code)) {
        m_error = text;
        Finish(true);
    } else if (code == kLvDownloadHttpError) {
        Finish(true); // the worker wrote the server's answer into m_error
    }
}

void CDownloadDlg::Finish(bool failed) {
    m_done = 1;
    if (m_worker) {
        LvWaitHandlingSentMessages(m_worker);
        CloseHandle(m_worker);
        m_worker = nullptr;
    }
    if (m_abort) {
        EndDialog(IDCANCEL);
    } else if (failed) {
        MessageBoxW(m_hwnd, LvUtf8ToWide(m_error).c_str(), L"Lumivue", MB_OK | MB_ICONEXCLAMATION);
        EndDialog(IDCANCEL);
    } else {
        EndDialog(IDOK);
    }
}

unsigned __stdcall CDownloadDlg::Worker(void* arg) {
    CDownloadDlg* dialog = static_cast<CDownloadDlg*>(arg);
    const int code = dialog->Transfer();
    PostMessageW(dialog->m_hwnd, WM_DOWNLOAD_DONE, WPARAM(code), 0);
    return 0;
}

namespace {

// An address split into what the connection and the request need.
struct UrlParts {
    bool ok = false, secure = false;
    std::wstring host, object;
    INTERNET_PORT port = 80;
};

UrlParts SplitUrl(const std::wstring& url) {
    UrlParts result;
    wchar_t host[256] = {}, path[2048] = {}, extra[2048] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = 2048;
    result.ok = InternetCrackUrlW(url.c_str(), 0, 0, &parts) != FALSE;
    if (!result.ok) return result;
    result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    result.port = parts.nPort ? parts.nPort : INTERNET_PORT(result.secure ? INTERNET_DEFAULT_HTTPS_PORT : 80);
    result.host = host;
    result.object = std::wstring(path) + extra;
    if (result.object.empty()) result.object = L"/";
    return result;
}

bool IsRedirection(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Redirections are followed by the dialog itself, so that a loop ends.
const int kMaxRedirections = 10;

} // namespace

int CDownloadDlg::Transfer() {
    PostStep(0, IDS_DL_CONNECTING);
    std::wstring url = LvUtf8ToWide(m_url);

    m_session = InternetOpenW(L"Lumivue", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_session) return kLvDownloadNoSession;
    DWORD timeout = kTimeoutMs;
    InternetSetOptionW(m_session, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(m_session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
    InternetSetOptionW(m_session, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));

    for (int hop = 0;; hop++) {
        const UrlParts parts = SplitUrl(url);
        if (m_request) InternetCloseHandle(m_request);
        if (m_connection) InternetCloseHandle(m_connection);
        m_request = m_connection = nullptr;
        if (!m_abort) {
            if (hop == 0) PostStep(1, IDS_DL_CONNECTING_SERVER);
            // An address without a host has nowhere to connect to.
            if (!parts.ok || parts.host.empty()) return kLvDownloadNoConnection;
            m_connection = InternetConnectW(m_session, parts.host.c_str(), parts.port, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(this));
            if (!m_connection) return kLvDownloadNoConnection;
        }
        if (!m_abort) {
            if (hop == 0) PostStep(2, IDS_DL_REQUEST);
            const wchar_t* accept[] = {L"*/*", nullptr};
            DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                          INTERNET_FLAG_NO_AUTO_REDIRECT;
            if (parts.secure) flags |= INTERNET_FLAG_SECURE;
            m_request = HttpOpenRequestW(m_connection, L"GET", parts.object.c_str(), nullptr, nullptr, accept, flags,
                                         reinterpret_cast<DWORD_PTR>(this));
            if (!m_request) return kLvDownloadNoRequest;
        }
        if (m_abort) return kLvDownloadAborted;
        const bool sent = HttpSendRequestW(m_request, nullptr, 0, nullptr, 0) != FALSE;
        if (m_abort) return kLvDownloadAborted;
        // A refused connection or a time-out.
        if (!sent) return kLvDownloadReadError;
        DWORD status = 0, statusSize = sizeof(status);
        if (!HttpQueryInfoW(m_request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize, nullptr))
            break;
        if (IsRedirection(status) && hop < kMaxRedirections) {
            wchar_t location[2048] = {};
            DWORD locationSize = sizeof(location);
            wchar_t combined[4096] = {};
            DWORD combinedSize = 4096;
            if (HttpQueryInfoW(m_request, HTTP_QUERY_LOCATION, location, &locationSize, nullptr) &&
                InternetCombineUrlW(url.c_str(), location, combined, &combinedSize, 0)) {
                url = combined;
                continue;
            }
        }
        if (LvHttpStatusFailed(status, m_error)) return kLvDownloadHttpError;
        break;
    }

    PostStep(3, IDS_DL_FILE_SIZE);
    uint64_t length = 0;
    wchar_t lengthText[32] = {};
    DWORD lengthSize = sizeof(lengthText);
    if (HttpQueryInfoW(m_request, HTTP_QUERY_CONTENT_LENGTH, lengthText, &lengthSize, nullptr))
        length = LvParseContentLength(LvWideToUtf8(lengthText));
    else
        PostStep(kLvFileBarTextOnly, IDS_DL_NO_FILE_SIZE);
    // Room for an announced length up to a first 16 MiB at once; a server that announces much and sends
    // little cannot make the program hold memory it never fills.
    const uint64_t kFirstReservation = uint64_t(16) << 20;
    if (length > kLvMaxDownloadBytes || !m_data.Reserve(length < kFirstReservation ? length : kFirstReservation))
        return kLvDownloadTooLarge;

    PostStep(4, IDS_DL_GET_FILE);
    uint32_t total = 0;
    for (;;) {
        // What has arrived, at most 1024 bytes: a slow server never keeps an abort waiting for a full read.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(m_request, &available, 0, 0)) return kLvDownloadReadError;
        if (available == 0) break;
        unsigned char buffer[1024];
        DWORD read = 0;
        if (!InternetReadFile(m_request, buffer, available < 1024 ? available : 1024, &read))
            return kLvDownloadReadError;
        if (read == 0) break;
        if (!m_abort) {
            if (!m_data.Append(buffer, read)) return kLvDownloadTooLarge;
            total += read;
            PostMessageW(m_hwnd, WM_DOWNLOAD_PROGRESS, WPARAM(length), LPARAM(total));
        }
        if (m_abort) break;
    }
    // A body that ends before its announced length is not the file.
    if (!m_abort && length != 0 && total < length) return kLvDownloadReadError;
    m_size = total;
    PostStep(5, IDS_DL_FINISHED);
    return kLvDownloadFinished;
}

// ---- the application's download routine ----------------------------------------------------------------------------

void CLumivueApp::OnDownloadFromUrl(const std::string& address) {
    CDownloadDlg dialog(address);
    if (dialog.DoModal(m_mainFrame ? m_mainFrame->GetHwnd() : nullptr) != IDOK || dialog.m_size == 0) return;
    // The address the bytes came from (the user may have typed it into the dialog).
    const std::string url = dialog.m_url;
    const DWORD format = LvDownloadFormatOfUrl(url);
    auto decode = [&](int frame, std::unique_ptr<CLvImage>& image) {
        image.reset(new CLvImage());
        image->SetFrame(frame);
        CLvMemStream stream(const_cast<unsigned char*>(dialog.m_data.Data()), dialog.m_size);
        // Without a known extension the engine tells the format by the content.
        return image->Decode(&stream, format);
    };
    std::unique_ptr<CLvImage> image;
    if (!decode(0, image) || !image->IsValid()) {
        const char* reason = image ? image->GetLastErrorText() : nullptr;
        ShowMessage("The downloaded file is not a picture Lumivue can read" +
                    std::string(reason && *reason ? ": " + std::string(reason) : "."));
        return;
    }
    const int frames = image->GetFrameCount();
    if (!m_pDocTemplate) return;
    CLvDoc* doc = dynamic_cast<CLvDoc*>(m_pDocTemplate->OpenDocumentFile(nullptr));
    if (!doc) return;
    doc->m_image = std::move(image);
    doc->SetTitle(url);
    doc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
    doc->UpdateStatusBar();
    if (frames < 2) return;
    char question[64];
    snprintf(question, sizeof(question), "File with %d images. Read all?", frames);
    if (ShowMessage(question, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    for (int i = 1; i < frames; i++) {
        std::unique_ptr<CLvImage> frame;
        if (!decode(i, frame) || !frame->IsValid()) continue;
        CLvDoc* frameDoc = dynamic_cast<CLvDoc*>(m_pDocTemplate->OpenDocumentFile(nullptr));
        if (!frameDoc) continue;
        frameDoc->m_image = std::move(frame);
        frameDoc->SetTitle(LvDownloadFrameTitle(url, i));
        frameDoc->UpdateAllViews(nullptr, WM_DOC_REFRESH);
    }
}
