#pragma once

#include "acquire/LvLogFile.h"
#include "app/LvMainFrame_win.h"
#include "batch/LvBatch.h"
#include "framework/FwDialog_win.h"

#include <atomic>
#include <string>
#include <vector>

// The folder chooser: a folder below the desktop, starting at current. False when the user cancelled.
class CFolderBrowser {
public:
    static bool Browse(HWND owner, const std::string& title, const std::string& current, std::string& chosen);
};

// The type filter: ten boxes for the flags of format codes 1 to 10 (flag 0 has no box).
class CImageFilterDlg : public CFwDialog {
public:
    explicit CImageFilterDlg(const int flags[kLvBatchTypeCount]);
    const int* Flags() const { return m_flags; }

protected:
    bool OnInitDialog() override;
    bool OnOK() override;

private:
    int m_flags[kLvBatchTypeCount];
};

// What the three batch dialogs share: the folder, scope and type filter, the worker with its stop flag, the
// log, the bars and the end of a run. Closing waits for the worker while handling the messages it sends.
class CBatchDlg : public CFwDialog {
public:
    CBatchDlg(UINT templateId, const char* logName);
    ~CBatchDlg() override;

    std::string m_folder;
    int m_scope = 0;
    std::vector<std::string> m_files;
    HANDLE m_worker = nullptr;
    std::atomic<int> m_stop{0};
    CLogFile m_log;
    int m_typeFilter[kLvBatchTypeCount];

    bool IsRunning() const;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Controls to members and back.
    void ReadControls();
    void WriteControls();
    // The run's job; called on the worker thread, which may ask the dialog's controls by message.
    virtual LvBatchJob MakeJob() = 0;
    // The bar that takes the outcome's message.
    virtual CProgressIndicator& MessageBar() { return m_fileBar; }
    virtual void OnDone(int outcome);

    void OnBrowse();
    void OnFilter();
    void OnDoIt();
    void OnClose();
    void PlaceBar(CProgressIndicator& bar, int id);
    static void SetBar(HWND bar, int position, int count, const std::string& text);

    CProgressIndicator m_fileBar;
    // The dialog's group of radio buttons (consecutive ids) and the member holding the checked one's index.
    struct RadioGroup {
        int first, last;
        int* index;
    } m_radios = {0, 0, nullptr};

private:
    static unsigned __stdcall WorkerMain(void* dialog);
    void Work();
    void WaitForWorker();

    const char* m_logName;
    bool m_closing = false;
};

// Batch Effect: a chain of effects from the fifty of the table, applied with their stored values.
class CBatchEffectDlg : public CBatchDlg {
public:
    CBatchEffectDlg();

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    LvBatchJob MakeJob() override;
    CProgressIndicator& MessageBar() override { return m_effectBar; }
    void OnDone(int outcome) override;

private:
    void OnAdd();
    void OnRemove();
    CProgressIndicator m_effectBar;
};

// Batch Convert Format: each picture written again beside itself in the chosen format.
class CBatchConvertFormatDlg : public CBatchDlg {
public:
    CBatchConvertFormatDlg();
    int m_formatIndex = 0;
    DWORD m_targetFormat = LVFMT_BMP;
    BYTE m_jpegQuality = 80;
    int m_xDpi = 100, m_yDpi = 100;
    DWORD m_gifOption = 0, m_tiffOption = 0;

protected:
    bool OnCommand(int id, int code) override;
    LvBatchJob MakeJob() override;
};

// Batch Convert Color: each picture brought to the chosen depth and written back in its own format.
class CBatchConvertColorDlg : public CBatchDlg {
public:
    CBatchConvertColorDlg();
    int m_depthIndex = 0;

protected:
    LvBatchJob MakeJob() override;
};

// The format code of each "Destination Format" button and the depth of each "Destination Color Bpp" one.
extern const DWORD kLvBatchFormats[10];
extern const int kLvBatchDepths[4];

// Runs the dialog of a batch command modally.
void LvRunBatchDialog(int commandId, HWND owner);
