#include "acquire/LvTwain_win.h"

#include "app/LvMainFrame_win.h"
#include "image/LvImage.h"

#include <cstring>
#include <memory>

namespace {
DSMENTRYPROC g_overrideEntry = nullptr;
bool g_overrideMissing = false;

void CopyText(TW_STR32& target, const char* text) {
    memset(target, 0, sizeof(target));
    strncpy(target, text, sizeof(target) - 1);
}
} // namespace

void CTwain::OverrideSourceManager(DSMENTRYPROC entry, bool missing) {
    g_overrideEntry = entry;
    g_overrideMissing = missing;
}

CTwain::CTwain() = default;

CTwain::~CTwain() {
    ReleaseTwain();
}

bool CTwain::InitTwain(HWND parent) {
    if (m_dsmEntry) return true;
    memset(&m_appId, 0, sizeof(m_appId));
    if (!IsWindow(parent)) return false;
    m_parent = parent;
    if (g_overrideEntry || g_overrideMissing) {
        m_dsmEntry = g_overrideEntry;
    } else {
        // The 32-bit program sees the 32-bit drivers that most devices ship.
        m_dsmLibrary = LoadLibraryW(L"TWAIN_32.DLL");
        if (m_dsmLibrary) {
            m_dsmEntry = reinterpret_cast<DSMENTRYPROC>(
                reinterpret_cast<void*>(GetProcAddress(m_dsmLibrary, reinterpret_cast<LPCSTR>(1))));
            if (!m_dsmEntry) {
                FreeLibrary(m_dsmLibrary);
                m_dsmLibrary = nullptr;
            }
        }
    }
    if (!m_dsmEntry) return false;
    GetIdentity();
    HWND window = m_parent;
    m_dsmOpen = CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &window) == TWRC_SUCCESS;
    return true;
}

void CTwain::ReleaseTwain() {
    if (!m_dsmEntry) return;
    CloseDSM();
    if (m_dsmLibrary) FreeLibrary(m_dsmLibrary);
    m_dsmLibrary = nullptr;
    m_dsmEntry = nullptr;
}

TW_UINT16 CTwain::CallDSM(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                          TW_MEMREF data) {
    if (!m_dsmEntry) return m_returnCode = TWRC_FAILURE;
    m_returnCode = m_dsmEntry(origin, dest, dg, dat, msg, data);
    if (m_returnCode != TWRC_SUCCESS) {
        const TW_UINT16 code = m_returnCode;
        m_dsmEntry(origin, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &m_status);
        m_returnCode = code;
    }
    return m_returnCode;
}

void CTwain::GetIdentity() {
    m_appId.Id = 0;
    m_appId.Version.MajorNum = 3;
    m_appId.Version.MinorNum = 5;
    m_appId.Version.Language = 13;
    m_appId.Version.Country = 1;
    CopyText(m_appId.Version.Info, "3.5");
    m_appId.ProtocolMajor = 1;
    m_appId.ProtocolMinor = 8;
    m_appId.SupportedGroups = DG_CONTROL_IMAGE;
    CopyText(m_appId.Manufacturer, "TORVA");
    CopyText(m_appId.ProductFamily, "Generic");
    CopyText(m_appId.ProductName, "Twain Test");
}

bool CTwain::SelectSource() {
    if (!m_dsmOpen) return false;
    memset(&m_srcId, 0, sizeof(m_srcId));
    if (!m_sourceSelected)
        m_sourceSelected =
            CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &m_srcId) == TWRC_SUCCESS;
    if (CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &m_srcId) == TWRC_SUCCESS)
        m_sourceSelected = 1;
    return m_sourceSelected != 0;
}

bool CTwain::OpenSource() {
    if (!m_dsmOpen) return false;
    if (!m_sourceSelected) {
        memset(&m_srcId, 0, sizeof(m_srcId));
        m_sourceSelected =
            CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &m_srcId) == TWRC_SUCCESS;
    }
    m_sourceOpen = CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &m_srcId) == TWRC_SUCCESS;
    return m_sourceOpen != 0;
}

int CTwain::ShouldTransfer(const TW_IMAGEINFO&) {
    return 0;
}

bool CTwain::ShouldContinue() {
    return true;
}

void CTwain::CopyImage(HANDLE, const TW_IMAGEINFO&) {}

void CTwain::DisableSource() {
    if (!m_sourceEnabled) return;
    TW_USERINTERFACE ui = {TW_BOOL(m_showUI), 0, m_parent};
    if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui) == TWRC_SUCCESS)
        m_sourceEnabled = 0;
}

void CTwain::CloseSource() {
    DisableSource();
    if (m_sourceOpen && CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &m_srcId) == TWRC_SUCCESS)
        m_sourceOpen = 0;
}

void CTwain::CloseDSM() {
    CloseSource();
    if (m_dsmOpen) {
        HWND window = m_parent;
        if (CallDSM(&m_appId, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &window) == TWRC_SUCCESS) m_dsmOpen = 0;
    }
    // Whatever the source manager answered, nothing of it is used any more.
    m_dsmOpen = m_sourceOpen = m_sourceEnabled = 0;
}

bool CTwain::Acquire(int count) {
    if (!m_dsmOpen) return false;
    if (!m_sourceOpen && !OpenSource()) return false;
    HGLOBAL container = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (container) {
        if (TW_ONEVALUE* value = static_cast<TW_ONEVALUE*>(GlobalLock(container))) {
            value->ItemType = TWTY_INT16;
            value->Item = TW_UINT32(TW_INT16(count)) & 0xFFFF;
            GlobalUnlock(container);
        }
        TW_CAPABILITY cap = {CAP_XFERCOUNT, TWON_ONEVALUE, container};
        if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap) == TWRC_CHECKSTATUS) {
            // The source changed the value: take its value back and set it as it keeps it.
            if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap) == TWRC_SUCCESS) {
                if (TW_ONEVALUE* value = static_cast<TW_ONEVALUE*>(GlobalLock(cap.hContainer))) {
                    value->ItemType = TWTY_UINT16;
                    GlobalUnlock(cap.hContainer);
                }
                CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
            }
        }
        if (cap.hContainer && cap.hContainer != container) GlobalFree(cap.hContainer);
        GlobalFree(container);
    }
    m_imageCount = count;
    TW_USERINTERFACE ui = {TW_BOOL(m_showUI), 0, m_parent};
    if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) == TWRC_SUCCESS)
        m_sourceEnabled = 1;
    return m_sourceEnabled != 0;
}

bool CTwain::PreTranslate(MSG& msg) {
    if (!m_sourceEnabled) return false;
    TW_EVENT event = {&msg, MSG_NULL};
    const bool claimed = CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT;
    switch (event.TWMessage) {
    case MSG_XFERREADY:
        TransferImages();
        break;
    case MSG_CLOSEDSREQ:
        if (ShouldContinue()) CloseSource();
        break;
    default:
        break;
    }
    return claimed;
}

void CTwain::TransferImages() {
    TW_PENDINGXFERS pending = {0, 0};
    do {
        TW_IMAGEINFO info;
        memset(&info, 0, sizeof(info));
        if (CallDSM(&m_appId, &m_srcId, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS) {
            // Without the image's description the transfer cannot go on: end it so the source moves on.
            if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS)
                pending.Count = 0;
            continue;
        }
        const int answer = ShouldTransfer(info);
        if (answer == 2) {
            CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            pending.Count = 0;
            break;
        }
        if (answer == 0) {
            // The native transfer hands back a global memory handle in a pointer-sized slot.
            TW_MEMREF slot = nullptr;
            const TW_UINT16 rc = CallDSM(&m_appId, &m_srcId, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &slot);
            HANDLE dib = static_cast<HANDLE>(slot);
            if (rc == TWRC_FAILURE) {
                CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
            } else if (rc == TWRC_XFERDONE) {
                CopyImage(dib, info);
            }
            if (dib) GlobalFree(dib);
        }
        if (CallDSM(&m_appId, &m_srcId, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS)
            pending.Count = 0;
    } while (pending.Count != 0);
}

void CFrameTwain::CopyImage(HANDLE dib, const TW_IMAGEINFO&) {
    std::unique_ptr<CLvImage> image;
    if (dib) {
        image.reset(new CLvImage());
        if (!image->CreateFromHandle(static_cast<HGLOBAL>(dib))) image.reset();
    }
    m_frame.NewAcquiredDocument(std::move(image), "Acquired Image ");
}
