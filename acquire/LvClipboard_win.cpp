#include "acquire/LvAcquire.h"
#include "app/LvApp_win.h"
#include "app/LvMainFrame_win.h"
#include "framework/FwApp_win.h"
#include "image/LvImage.h"
#include "image/LvScopedWin.h"
#include "res/resource.h"

#include <cstring>

namespace {

// A download started by a copied address runs modally; the notifications that come meanwhile wait for it.
bool g_handlingClipboard = false;

// The clipboard's text, read within its block's size.
std::string ClipboardText() {
    std::string text;
    HANDLE block = GetClipboardData(CF_TEXT);
    if (!block) return text;
    ScopedGlobalLock lock(static_cast<HGLOBAL>(block));
    if (const char* data = static_cast<const char*>(lock.Get())) {
        const size_t size = lock.Size();
        const void* end = memchr(data, 0, size);
        text.assign(data, end ? size_t(static_cast<const char*>(end) - data) : size);
    }
    return text;
}

} // namespace

void CMainFrame::OnFromClipboard() {
    std::unique_ptr<CLvImage> image;
    std::string failure;
    if (OpenClipboard(m_hwnd)) {
        if (HANDLE block = GetClipboardData(CF_DIB)) {
            image.reset(new CLvImage());
            if (!image->CreateFromHandle(static_cast<HGLOBAL>(block))) {
                // A bitmap that is there but cannot be taken: damaged, or too big for the memory left.
                const char* text = image->GetLastErrorText();
                failure = text && *text ? text : LvLoadString(IDS_OUT_OF_MEMORY);
                image.reset();
            }
        }
        CloseClipboard();
    }
    if (!failure.empty()) {
        if (CFwApp::Get()) CFwApp::Get()->ShowMessage(failure);
        return;
    }
    // Without a bitmap the titled document stays empty.
    NewAcquiredDocument(std::move(image), "Clipboard Image ");
}

void CMainFrame::OnAutoMonitorClipboard() {
    if (m_clipMonitor) {
        m_clipMonitor = 0;
        RemoveClipboardFormatListener(m_hwnd);
        return;
    }
    if (!AddClipboardFormatListener(m_hwnd)) return;
    m_clipMonitor = 1;
    // The listener hears only of later changes: what the clipboard holds now is handled at once.
    OnClipboardChanged();
}

void CMainFrame::OnClipboardChanged() {
    if (g_handlingClipboard) return;
    g_handlingClipboard = true;
    if (IsClipboardFormatAvailable(CF_DIB)) {
        OnFromClipboard();
    } else if (IsClipboardFormatAvailable(CF_TEXT)) {
        std::string text;
        if (OpenClipboard(m_hwnd)) {
            text = ClipboardText();
            CloseClipboard();
        }
        // The clipboard is closed before the download's dialog opens, so other programs can use it meanwhile.
        if (LvIsMonitoredAddress(text) && CLumivueApp::Get()) CLumivueApp::Get()->OnDownloadFromUrl(LvFirstLine(text));
    }
    g_handlingClipboard = false;
}
