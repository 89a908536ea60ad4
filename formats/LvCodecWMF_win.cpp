#include "formats/LvCodecWMF.h"

#include "image/LvCodecError.h"
#include "image/LvScopedWin.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

// GDI objects that cannot be made fail the read without a text of their own.
const char* const kNoText = "";

// The metafile's own logical palette, selected and realised in a device context while it lives.
class MetafilePalette {
public:
    MetafilePalette(HDC hdc, HENHMETAFILE metafile) : m_hdc(hdc) {
        UINT count = GetEnhMetaFilePaletteEntries(metafile, 0, nullptr);
        if (count == 0 || count == GDI_ERROR) return;
        std::vector<BYTE> block;
        try {
            block.resize(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
        } catch (const std::bad_alloc&) {
            LvRaise(kLvErrCancelled);
        }
        LOGPALETTE* logical = reinterpret_cast<LOGPALETTE*>(block.data());
        logical->palVersion = 0x300;
        logical->palNumEntries = static_cast<WORD>(count);
        GetEnhMetaFilePaletteEntries(metafile, count, logical->palPalEntry);
        m_palette.Reset(CreatePalette(logical));
        if (!m_palette) return;
        m_previous = SelectPalette(hdc, m_palette.Get(), FALSE);
        RealizePalette(hdc);
    }
    ~MetafilePalette() {
        if (m_previous) SelectPalette(m_hdc, m_previous, FALSE);
    }
    MetafilePalette(const MetafilePalette&) = delete;
    MetafilePalette& operator=(const MetafilePalette&) = delete;

private:
    HDC m_hdc;
    ScopedGdiObj<HPALETTE> m_palette;
    HPALETTE m_previous = nullptr;
};

} // namespace

void CLvCodecWMF::Render(const LvMetafile& metafile, int width, int height) {
    ScopedGetDC screen(nullptr);
    if (!screen) LvRaise(kNoText);
    int dpiX = GetDeviceCaps(screen.Get(), LOGPIXELSX);
    int dpiY = GetDeviceCaps(screen.Get(), LOGPIXELSY);

    ScopedEnhMetaFile enhanced;
    int64_t cx, cy;
    if (metafile.placeable) {
        METAFILEPICT picture;
        picture.mm = MM_ANISOTROPIC;
        PlaceableExtents(metafile, dpiX, dpiY, &picture.xExt, &picture.yExt);
        picture.hMF = nullptr;
        enhanced.Reset(SetWinMetaFileBits(UINT(metafile.bytes.size()), metafile.bytes.data(), screen.Get(), &picture));
        if (!enhanced) LvRaise(kLvErrWmfCorrupted);
        PlaceableSize(metafile, dpiX, dpiY, &cx, &cy);
    } else {
        enhanced.Reset(SetEnhMetaFileBits(UINT(metafile.bytes.size()), metafile.bytes.data()));
        ENHMETAHEADER header;
        if (!enhanced || GetEnhMetaFileHeader(enhanced.Get(), sizeof(header), &header) == 0)
            LvRaise(kLvErrWmfCorrupted);
        cx = int64_t(header.rclBounds.right) - header.rclBounds.left;
        cy = int64_t(header.rclBounds.bottom) - header.rclBounds.top;
    }
    if (info.nEscape) LvRaise(kLvErrCancelled);
    int w, h;
    RenderSize(cx, cy, width, height, &w, &h);

    ScopedGdiObj<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Get(), w, h));
    ScopedMemDC memory(screen.Get());
    if (!bitmap || !memory) LvRaise(kNoText);
    MetafilePalette palette(memory.Get(), enhanced.Get());
    {
        ScopedSelectObject select(memory.Get(), bitmap.Get());
        if (!select.Ok()) LvRaise(kNoText);
        RECT area = {0, 0, w, h};
        // The background is the system's window colour.
        SetBkColor(memory.Get(), GetSysColor(COLOR_WINDOW));
        ExtTextOutW(memory.Get(), 0, 0, ETO_OPAQUE, &area, L"", 0, nullptr);
        PlayEnhMetaFile(memory.Get(), enhanced.Get(), &area);
    }
    enhanced.Reset();
    if (info.nEscape) LvRaise(kLvErrCancelled);

    // The image takes the screen's depth (a 32-bit screen gives 24 bits).
    if (!Create(w, h, GetDeviceCaps(memory.Get(), BITSPIXEL), LVFMT_WMF)) LvRaise(kLvErrNoMemory);
    int rows = GetDIBits(memory.Get(), bitmap.Get(), 0, UINT(h), info.pBits, reinterpret_cast<BITMAPINFO*>(pDib),
                         DIB_RGB_COLORS);
    // GetDIBits rewrites the header it was given; the block keeps the image's own.
    memcpy(pDib, &head, sizeof(head));
    if (rows == 0) LvRaise(kNoText);
}
