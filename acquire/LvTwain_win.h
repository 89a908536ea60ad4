#pragma once

#include "acquire/LvTwainTypes.h"

#include <windows.h>

class CMainFrame;

// The link to scanners and cameras through the TWAIN source manager "TWAIN_32.DLL": the application's
// identity, the protocol's call sequence from opening the source manager to the native transfers, and the
// routing of the window messages to an enabled source. Without a source manager every command does nothing.
class CTwain {
public:
    CTwain();
    virtual ~CTwain();
    CTwain(const CTwain&) = delete;
    CTwain& operator=(const CTwain&) = delete;

    // Loads the source manager and opens it for the parent window; false when there is none.
    bool InitTwain(HWND parent);
    void ReleaseTwain();
    TW_UINT16 CallDSM(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                      TW_MEMREF data);

    virtual void GetIdentity();
    // The Select Source command: the default source first, then the source manager's chooser.
    virtual bool SelectSource();
    virtual bool OpenSource();
    // 0 transfer the image, 1 skip it, 2 cancel all.
    virtual int ShouldTransfer(const TW_IMAGEINFO& info);
    virtual void DisableSource();
    // The answer to the source's request to close: true closes it.
    virtual bool ShouldContinue();
    // An image transferred as a device-independent bitmap in a global memory block (freed by the caller).
    virtual void CopyImage(HANDLE dib, const TW_IMAGEINFO& info);
    virtual void CloseSource();

    // The Acquire command: opens the source when needed, asks for count images (-1 any) and enables it.
    bool Acquire(int count = -1);
    // While a source is enabled it sees every message first; true when the message was the source's.
    bool PreTranslate(MSG& msg);

    bool IsLoaded() const { return m_dsmEntry != nullptr; }
    bool IsSourceEnabled() const { return m_sourceEnabled != 0; }
    bool IsSourceOpen() const { return m_sourceOpen != 0; }
    bool IsSourceSelected() const { return m_sourceSelected != 0; }
    const TW_IDENTITY& AppIdentity() const { return m_appId; }
    const TW_IDENTITY& SourceIdentity() const { return m_srcId; }
    TW_UINT16 ReturnCode() const { return m_returnCode; }

    // Tests put a source manager of their own in place of "TWAIN_32.DLL" (entry), or make it missing
    // (entry null, missing true); the next InitTwain uses it.
    static void OverrideSourceManager(DSMENTRYPROC entry, bool missing);

protected:
    void TransferImages();
    void CloseDSM();

    HMODULE m_dsmLibrary = nullptr;
    DSMENTRYPROC m_dsmEntry = nullptr;
    TW_IDENTITY m_appId{};
    TW_IDENTITY m_srcId{};
    TW_STATUS m_status{};
    TW_UINT16 m_returnCode = TWRC_SUCCESS;
    HWND m_parent = nullptr;
    int m_dsmOpen = 0;
    int m_sourceSelected = 0;
    int m_sourceOpen = 0;
    int m_sourceEnabled = 0;
    int m_showUI = 1;
    int m_imageCount = -1;
};

// The main window's scanner link: every image transferred becomes an "Acquired Image %d" document.
class CFrameTwain : public CTwain {
public:
    explicit CFrameTwain(CMainFrame& frame) : m_frame(frame) {}
    int ShouldTransfer(const TW_IMAGEINFO&) override { return 0; }
    bool ShouldContinue() override { return true; }
    void CopyImage(HANDLE dib, const TW_IMAGEINFO& info) override;

private:
    CMainFrame& m_frame;
};
