#pragma once

#include "acquire/LvAcquire.h"
#include "app/LvMainFrame_win.h"
#include "framework/FwDialog_win.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <string>

// "Download from URL": fetches one file over HTTP(S) on a worker thread with its steps, progress and abort;
// on OK the received bytes are in m_data.
class CDownloadDlg : public CFwDialog {
public:
    explicit CDownloadDlg(const std::string& url);
    ~CDownloadDlg() override;

    std::string m_url;
    LvDownloadBuffer m_data;
    uint32_t m_size = 0;
    HANDLE m_worker = nullptr;
    HINTERNET m_session = nullptr, m_connection = nullptr, m_request = nullptr;
    std::atomic<int> m_abort{0};
    int m_done = 0;
    std::string m_error;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static unsigned __stdcall Worker(void* arg);
    // The transfer itself; its result code (LvDownloadResult).
    int Transfer();
    void PostStep(int step, UINT textId);
    void OnStep(int step, UINT textId);
    void OnProgress(uint32_t length, uint32_t total);
    void OnDone(int code);
    void Finish(bool failed);
    void OnCancel();
    void CloseHandles();

    CProgressIndicator m_stepBar, m_fileBar;
};

// The file bar's text alone, without a step (the step number of such a WM_DOWNLOAD_STEP).
constexpr int kLvFileBarTextOnly = -1;
