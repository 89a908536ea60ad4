#include "image/LvImage.h"

#include "image/LvByteReader.h"
#include "image/LvScopedWin.h"
#include "image/LvSizeCheck.h"

#include <cmath>
#include <cstring>

namespace {

const char* const kErrGetDIBits = "GetDIBits failed";
const char* const kErrClipboardDib = "Unsupported or damaged clipboard bitmap";

// What CreateFromHandle needs of a CF_DIB block, checked against the block's real size before anything
// is allocated or copied.
struct ClipboardDib {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bpp = 0;
    DWORD colors = 0;           // colour-table entries present in the block
    DWORD masks[3] = {0, 0, 0}; // red, green, blue
    const BYTE* palette = nullptr;
    const BYTE* pixels = nullptr;
    LONG xPelsPerMeter = 0;
    LONG yPelsPerMeter = 0;
};

// Accepts the 40-byte header and the longer V4/V5 headers (whose masks sit at the same offset), a full or
// shortened colour table, bottom-up and top-down rows, uncompressed 1, 4, 8, 16, 24 and 32 bits and bit
// fields at 16 and 32 bits.
bool ParseClipboardDib(const BYTE* block, size_t size, ClipboardDib& dib) {
    CLvByteReader r(block, size);
    DWORD headerSize = r.LE32();
    LONG width = static_cast<LONG>(r.LE32());
    LONG height = static_cast<LONG>(r.LE32());
    r.LE16(); // planes
    WORD bpp = r.LE16();
    DWORD compression = r.LE32();
    r.LE32(); // size of the pixels: computed instead
    dib.xPelsPerMeter = static_cast<LONG>(r.LE32());
    dib.yPelsPerMeter = static_cast<LONG>(r.LE32());
    DWORD clrUsed = r.LE32();
    if (!r.Ok() || headerSize < 40 || headerSize > size) return false;
    if (width <= 0 || height == 0 || height == LONG(0x80000000)) return false;
    dib.width = width;
    dib.height = height < 0 ? -height : height;
    dib.topDown = height < 0;
    dib.bpp = bpp;

    bool bitfields = compression == BI_BITFIELDS;
    switch (bpp) {
    case 1:
    case 4:
    case 8:
    case 24:
        if (compression != BI_RGB) return false;
        break;
    case 16:
    case 32:
        if (compression != BI_RGB && !bitfields) return false;
        break;
    default:
        return false;
    }
    if (LvCheckImageSize(dib.width, dib.height, bpp) != nullptr) return false;

    uint64_t offset = headerSize;
    if (bitfields) {
        // The three masks follow a 40-byte header and are part of the longer ones.
        CLvByteReader m(block + 40, size - 40);
        for (DWORD& mask : dib.masks)
            mask = m.LE32();
        if (!m.Ok()) return false;
        if (headerSize == 40) offset += 12;
    } else if (bpp == 16) {
        dib.masks[0] = 0x7C00;
        dib.masks[1] = 0x03E0;
        dib.masks[2] = 0x001F;
    }
    if (bpp <= 8) {
        DWORD full = DWORD(1) << bpp;
        dib.colors = clrUsed ? clrUsed : full;
        if (dib.colors > full) return false;
    }
    // True-colour DIBs may carry an optional colour table that only precedes the pixels.
    uint64_t tableBytes = uint64_t(bpp <= 8 ? dib.colors : clrUsed) * 4;
    dib.palette = offset <= size ? block + offset : nullptr;
    offset += tableBytes;
    uint64_t pixelBytes = LvDibStride(uint64_t(dib.width), bpp) * uint64_t(dib.height);
    if (offset > size || pixelBytes > size - offset) return false;
    dib.pixels = block + offset;
    return true;
}

int DpiFromPelsPerMeter(LONG pels) {
    return pels > 0 ? static_cast<int>(floor(pels * 0.0254 + 0.5)) : 96;
}

} // namespace

HGLOBAL CLvImage::CopyToHandle() const {
    if (!pDib) return nullptr;
    DWORD size = GetDibSize();
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block.Get()) return nullptr;
    ScopedGlobalLock lock(block.Get());
    if (!lock.Get()) return nullptr;
    memcpy(lock.Get(), pDib, size);
    // The header member is the current one (the resolution is kept there).
    memcpy(lock.Get(), &head, sizeof(head));
    return block.Release();
}

bool CLvImage::CreateFromHandle(HGLOBAL handle) {
    ScopedGlobalLock lock(handle);
    const BYTE* block = static_cast<const BYTE*>(lock.Get());
    if (!block) return false;
    ClipboardDib dib;
    if (!ParseClipboardDib(block, lock.Size(), dib)) {
        SetLastErrorText(kErrClipboardDib);
        return false;
    }
    head.biXPelsPerMeter = dib.xPelsPerMeter;
    head.biYPelsPerMeter = dib.yPelsPerMeter;
    if (!Create(dib.width, dib.height, dib.bpp, LVFMT_UNKNOWN)) return false;
    SetXDPI(DpiFromPelsPerMeter(dib.xPelsPerMeter));
    SetYDPI(DpiFromPelsPerMeter(dib.yPelsPerMeter));
    memcpy(pDib, &head, sizeof(head));

    if (dib.bpp <= 8) {
        memcpy(GetPalette(), dib.palette, size_t(dib.colors) * 4);
        memcpy(info.pBits, dib.pixels, head.biSizeImage);
    } else if (dib.bpp == 24) {
        memcpy(info.pBits, dib.pixels, head.biSizeImage);
    } else {
        ConvertBitfields(dib.pixels, dib.masks[0], dib.masks[1], dib.masks[2], dib.bpp);
    }
    if (dib.topDown) Flip();
    info.bLastNearestValid = false;
    return true;
}

HBITMAP CLvImage::MakeBitmap(HDC hdc) const {
    if (!pDib) return nullptr;
    const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(pDib);
    if (hdc) return CreateDIBitmap(hdc, &head, CBM_INIT, info.pBits, bmi, DIB_RGB_COLORS);

    ScopedGetDC screen(nullptr);
    ScopedMemDC memory(screen.Get());
    if (!memory) return nullptr;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory.Get(), bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) memcpy(bits, info.pBits, head.biSizeImage);
    return bitmap;
}

bool CLvImage::CreateFromHBITMAP(HBITMAP bitmap) {
    Destroy();
    if (!bitmap) return false;
    BITMAP record;
    if (GetObject(bitmap, sizeof(record), &record) == 0) {
        SetLastErrorText(kErrGetDIBits);
        return false;
    }
    if (!Create(record.bmWidth, record.bmHeight, record.bmBitsPixel, LVFMT_UNKNOWN)) return false;
    ScopedGetDC screen(nullptr);
    int rows = GetDIBits(screen.Get(), bitmap, 0, UINT(head.biHeight), info.pBits, reinterpret_cast<BITMAPINFO*>(pDib),
                         DIB_RGB_COLORS);
    // GetDIBits rewrites the header it was given; the block keeps the image's own.
    memcpy(pDib, &head, sizeof(head));
    if (rows == 0) {
        // An image of unread pixels would look valid: leave it empty instead.
        Destroy();
        ClearHeader();
        SetLastErrorText(kErrGetDIBits);
        return false;
    }
    info.bLastNearestValid = false;
    return true;
}
