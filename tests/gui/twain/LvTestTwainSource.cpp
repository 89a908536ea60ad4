// A TWAIN data source for the tests: "Lumivue Test Scanner" transfers three generated pictures as native DIBs
// once enabled, then asks to be closed. It speaks to the program only through the source manager.

#include "acquire/LvTwainTypes.h"

#include <windows.h>

#include <cstring>

namespace {

const wchar_t kReadyMessage[] = L"LumivueTestSourceReady";
const wchar_t kCloseMessage[] = L"LumivueTestSourceClose";
const int kPictures = 3;

int g_pending = 0;
int g_sent = 0;
HWND g_parent = nullptr;

void Fill(TW_IDENTITY& id) {
    memset(&id, 0, sizeof(id));
    id.Version.MajorNum = 1;
    strcpy(id.Version.Info, "1.0");
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 9;
    id.SupportedGroups = DG_CONTROL_IMAGE;
    strcpy(id.Manufacturer, "Quillmarsh");
    strcpy(id.ProductFamily, "Tests");
    strcpy(id.ProductName, "Lumivue Test Scanner");
}

// A 24-bit picture of 16 + index by 12 pixels whose every pixel is (index * 40, 100, 200).
HGLOBAL Picture(int index) {
    const int width = 16 + index, height = 12, stride = (width * 3 + 3) / 4 * 4;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + size_t(stride) * height);
    BYTE* p = static_cast<BYTE*>(GlobalLock(block));
    BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(p);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = DWORD(stride * height);
    BYTE* bits = p + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            BYTE* px = bits + y * stride + x * 3;
            px[0] = 200;
            px[1] = 100;
            px[2] = BYTE(index * 40);
        }
    GlobalUnlock(block);
    return block;
}

} // namespace

extern "C" __declspec(dllexport) TW_UINT16 LV_TWAIN_CALL
    DS_Entry(TW_IDENTITY*, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dg == DG_CONTROL && dat == DAT_IDENTITY) {
        if (msg == MSG_GET || msg == MSG_OPENDS) {
            TW_IDENTITY* id = static_cast<TW_IDENTITY*>(data);
            const TW_UINT32 keep = id->Id;
            Fill(*id);
            if (msg == MSG_OPENDS) id->Id = keep;
        }
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_STATUS) {
        memset(data, 0, sizeof(TW_STATUS));
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_CAPABILITY) return TWRC_SUCCESS;
    if (dg == DG_CONTROL && dat == DAT_USERINTERFACE) {
        if (msg == MSG_ENABLEDS) {
            g_parent = static_cast<HWND>(static_cast<TW_USERINTERFACE*>(data)->hParent);
            g_pending = kPictures;
            g_sent = 0;
            PostMessageW(g_parent, RegisterWindowMessageW(kReadyMessage), 0, 0);
        }
        return TWRC_SUCCESS;
    }
    if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        TW_EVENT* event = static_cast<TW_EVENT*>(data);
        const MSG* m = static_cast<const MSG*>(event->pEvent);
        event->TWMessage = MSG_NULL;
        if (m->message == RegisterWindowMessageW(kReadyMessage)) event->TWMessage = MSG_XFERREADY;
        if (m->message == RegisterWindowMessageW(kCloseMessage)) event->TWMessage = MSG_CLOSEDSREQ;
        return event->TWMessage != MSG_NULL ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
    }
    if (dg == DG_IMAGE && dat == DAT_IMAGEINFO) {
        TW_IMAGEINFO* info = static_cast<TW_IMAGEINFO*>(data);
        memset(info, 0, sizeof(*info));
        info->ImageWidth = 16 + g_sent;
        info->ImageLength = 12;
        info->SamplesPerPixel = 3;
        info->BitsPerPixel = 24;
        return TWRC_SUCCESS;
    }
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        *static_cast<TW_MEMREF*>(data) = Picture(g_sent++);
        return TWRC_XFERDONE;
    }
    if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS) {
        TW_PENDINGXFERS* pending = static_cast<TW_PENDINGXFERS*>(data);
        g_pending = msg == MSG_ENDXFER && g_pending > 0 ? g_pending - 1 : 0;
        pending->Count = TW_UINT16(g_pending);
        if (g_pending == 0) PostMessageW(g_parent, RegisterWindowMessageW(kCloseMessage), 0, 0);
        return TWRC_SUCCESS;
    }
    return TWRC_SUCCESS;
}
