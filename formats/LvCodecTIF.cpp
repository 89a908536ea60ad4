#include "formats/LvCodecTIF.h"

#include "formats/LvCodecJPG.h"
#include "formats/LvOrientation.h"
#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

#include <tiffio.h>

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

const char* const kErrOpen = "Error encountered while opening TIFF file";
const char* const kErrPage = "Error: page not present in TIFF file";
const char* const kErrRaster = "No space for raster buffer";
const char* const kErrCorrupted = "Corrupted TIFF file!";
const char* const kErrCorruptedTiled = "Corrupted tiled TIFF file!";
const char* const kErrStream = "invalid file pointer";
const char* const kErrInit = "initialization fail";
const char* const kErrSave = "Error saving TIFF file";
const char* const kErrSaveDirectory = "Error saving TIFF directory";

} // namespace

// What libtiff's client procedures reach: the stream, where the TIFF data start in it, and the first
// error libtiff reported while this stream was in use.
struct LvTiffStreamContext {
    CLvStream* stream;
    long base;
    bool writing;
    std::string error;
};

namespace {

// libtiff reports through process-wide handlers; they write to the context of the codec call running on
// the same thread, so concurrent reads on other threads keep their own texts.
thread_local LvTiffStreamContext* t_context = nullptr;

void ErrorHandler(const char* module, const char* format, va_list args) {
    if (!t_context || !t_context->error.empty()) return;
    char text[256];
    vsnprintf(text, sizeof(text), format, args);
    t_context->error = module && *module ? std::string(module) + ": " + text : std::string(text);
}

// Warnings are not failures and are not shown.
void WarningHandler(const char*, const char*, va_list) {}

void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(ErrorHandler);
        TIFFSetWarningHandler(WarningHandler);
    });
}

// Makes a context the current one for the handlers while a codec call runs.
class ContextScope {
public:
    explicit ContextScope(LvTiffStreamContext* context) : m_previous(t_context) {
        InstallHandlers();
        t_context = context;
    }
    ~ContextScope() { t_context = m_previous; }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    LvTiffStreamContext* m_previous;
};

// ---- client procedures: libtiff reads and writes the CLvStream; offsets count from the TIFF header ----

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t size) {
    LvTiffStreamContext* c = static_cast<LvTiffStreamContext*>(handle);
    if (size <= 0) return 0;
    if (c->writing) {
        // A file opened for writing alone cannot be read; at its end there is nothing to read anyway.
        long position = c->stream->Tell();
        long end = c->stream->Size();
        if (position < 0 || end <= position) return 0;
        if (size > end - position) size = end - position;
    }
    return tmsize_t(c->stream->Read(buffer, 1, size_t(size)));
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t size) {
    LvTiffStreamContext* c = static_cast<LvTiffStreamContext*>(handle);
    if (size <= 0) return 0;
    return tmsize_t(c->stream->Write(buffer, 1, size_t(size)));
}

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence) {
    LvTiffStreamContext* c = static_cast<LvTiffStreamContext*>(handle);
    long long origin;
    switch (whence) {
    case SEEK_SET:
        origin = c->base;
        break;
    case SEEK_CUR:
        origin = c->stream->Tell();
        break;
    case SEEK_END:
        origin = c->stream->Size();
        break;
    default:
        return toff_t(-1);
    }
    // toff_t is unsigned; libtiff passes negative relative moves as their two's complement.
    long long target = origin + static_cast<long long>(offset);
    if (origin < 0 || target < c->base || target > LONG_MAX) return toff_t(-1);
    if (!c->stream->Seek(long(target), SEEK_SET)) return toff_t(-1);
    return toff_t(target - c->base);
}

int StreamClose(thandle_t) {
    return 0; // the stream belongs to the caller
}

toff_t StreamSize(thandle_t handle) {
    LvTiffStreamContext* c = static_cast<LvTiffStreamContext*>(handle);
    long size = c->stream->Size();
    return size > c->base ? toff_t(size - c->base) : 0;
}

int StreamMap(thandle_t, void**, toff_t*) {
    return 0;
}

void StreamUnmap(thandle_t, void*, toff_t) {}

// libtiff allocates what the file's fields say (a strip that decompresses to hundreds of gigabytes, say)
// before the picture's size is checked here: no single allocation of its own may exceed the largest
// picture the engine accepts.
TIFF* OpenOverStream(LvTiffStreamContext* context, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kLvMaxImageBytes));
    TIFF* tif = TIFFClientOpenExt("stream", mode, context, StreamRead, StreamWrite, StreamSeek, StreamClose, StreamSize,
                                  StreamMap, StreamUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// A fixed text, followed by what libtiff said when it said something.
[[noreturn]] void RaiseWithDetail(const LvTiffStreamContext& context, const char* text) {
    if (context.error.empty()) LvRaise(text);
    std::string full = std::string(text) + " (" + context.error + ")";
    LvRaise(full.c_str());
}

// Frees memory from _TIFFmalloc however the read ends.
struct TiffBuffer {
    void* data = nullptr;
    ~TiffBuffer() {
        if (data) _TIFFfree(data);
    }
    void* Allocate(uint64_t size) {
        if (size == 0 || size > uint64_t(TIFF_TMSIZE_T_MAX)) return nullptr;
        data = _TIFFmalloc(tmsize_t(size));
        if (data) memset(data, 0, size_t(size));
        return data;
    }
};

// CIE L*a*b* (L 0 to 255, a and b signed) to sRGB bytes.
void LabToRgb(int lightness, int a, int b, BYTE* blueGreenRed) {
    double l = lightness * 100.0 / 255.0;
    double fy = (l + 16) * 0.008620689655172414;
    double fx = fy + a * 0.002;
    double fz = fy - b * 0.005;
    double x = 0.95047 * fx * fx * fx;
    double y = fy * fy * fy;
    double z = 1.0883 * fz * fz * fz;
    double rgb[3] = {3.240479 * x - 1.53715 * y - 0.498535 * z, -0.969256 * x + 1.875992 * y + 0.041556 * z,
                     0.055648 * x - 0.204043 * y + 1.057311 * z};
    for (int i = 0; i < 3; i++) {
        double c = rgb[i];
        c = c <= 0.00304 ? 12.92 * c : 1.055 * pow(c, 0.41667) - 0.055;
        c *= 255;
        blueGreenRed[2 - i] = BYTE(c < 0 ? 0 : c > 255 ? 255 : c);
    }
}

uint16_t Field16(TIFF* tif, ttag_t tag, uint16_t fallback) {
    uint16_t value = fallback;
    if (!TIFFGetFieldDefaulted(tif, tag, &value)) return fallback;
    return value;
}

// The fields of a page that decide how its pixels are read.
struct PageFields {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bps;
    uint16_t spp;
    uint16_t orientation;
    uint16_t planar;
    uint16_t sampleFormat;
    uint16_t photometric;
    uint32_t rowsPerStrip;
};

PageFields ReadPageFields(TIFF* tif, const LvTiffStreamContext& context) {
    PageFields page;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height))
        RaiseWithDetail(context, kErrCorrupted);
    if (const char* sizeError = LvCheckImageSize(page.width, page.height, 24)) LvRaise(sizeError);
    page.bps = Field16(tif, TIFFTAG_BITSPERSAMPLE, 1);
    page.spp = Field16(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    page.orientation = Field16(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    page.planar = Field16(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    page.sampleFormat = Field16(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    page.photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &page.photometric);
    page.rowsPerStrip = page.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &page.rowsPerStrip);
    if (page.rowsPerStrip > page.height || page.rowsPerStrip == 0) page.rowsPerStrip = page.height;
    return page;
}

// Resolution in dots per inch (a file that counts per centimetre is converted) and the page's position.
void ReadResolution(CLvImage& image, TIFF* tif) {
    const uint16_t unit = Field16(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    float resolution = 0, position = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution) && resolution * perInch < INT_MAX && resolution >= 0)
        image.SetXDPI(int(resolution * perInch));
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resolution) && resolution * perInch < INT_MAX && resolution >= 0)
        image.SetYDPI(int(resolution * perInch));
    if (TIFFGetField(tif, TIFFTAG_XPOSITION, &position) && fabs(position) < INT_MAX) image.info.xOffset = int(position);
    if (TIFFGetField(tif, TIFFTAG_YPOSITION, &position) && fabs(position) < INT_MAX) image.info.yOffset = int(position);
}

bool IsLab(const PageFields& page) {
    return page.photometric == PHOTOMETRIC_CIELAB;
}

// Grey, palette and L*a*b* data in the common layouts are read strip by strip; everything else (colour,
// CMYK, YCbCr, LogLuv, odd depths, separate planes) goes through libtiff's RGBA reader.
bool IsDirect(const PageFields& page) {
    const uint16_t bps = page.bps;
    const uint16_t spp = page.spp;
    const bool integer = page.sampleFormat == SAMPLEFORMAT_UINT || page.sampleFormat == SAMPLEFORMAT_INT;
    const bool contiguous = spp == 1 || page.planar == PLANARCONFIG_CONTIG;
    if (!integer || !contiguous) return false;
    if (page.photometric == PHOTOMETRIC_MINISBLACK || page.photometric == PHOTOMETRIC_MINISWHITE)
        return ((bps == 1 || bps == 4) && spp == 1) || ((bps == 8 || bps == 16) && (spp == 1 || spp == 2));
    if (page.photometric == PHOTOMETRIC_PALETTE)
        return ((bps == 1 || bps == 4 || bps == 8) && spp == 1) || (bps == 8 && spp == 2); // index, alpha
    if (IsLab(page)) return (bps == 8 || bps == 16) && (spp == 3 || spp == 4);
    return false;
}

// Grey and colour samples that libtiff's RGBA reader refuses: 10-, 12-, 14- and 32-bit integers and 32- and
// 64-bit floating point, as scanners, cameras and scientific programs write them. They are read strip by
// strip and narrowed to 8 bits.
bool IsWide(const PageFields& page) {
    const uint16_t bps = page.bps;
    const bool integer = page.sampleFormat == SAMPLEFORMAT_UINT && (bps == 10 || bps == 12 || bps == 14 || bps == 32);
    const bool real = page.sampleFormat == SAMPLEFORMAT_IEEEFP && (bps == 32 || bps == 64);
    const bool contiguous = page.spp == 1 || page.planar == PLANARCONFIG_CONTIG;
    const bool grey = (page.photometric == PHOTOMETRIC_MINISBLACK || page.photometric == PHOTOMETRIC_MINISWHITE) &&
                      (page.spp == 1 || page.spp == 2);
    const bool colour = page.photometric == PHOTOMETRIC_RGB && (page.spp == 3 || page.spp == 4);
    return (integer || real) && contiguous && (grey || colour);
}

// One row of wide samples as 8-bit ones: integers scaled from their whole range with rounding, so that a
// file widened from 8 bits gives its 8-bit values back; floating point taken as 0 to 1 and clamped.
void NarrowSamples(const BYTE* in, uint64_t inSize, const PageFields& page, BYTE* out) {
    const size_t count = size_t(page.width) * page.spp;
    if (page.sampleFormat == SAMPLEFORMAT_IEEEFP) {
        for (size_t i = 0; i < count; i++) {
            double v;
            if (page.bps == 32) {
                float f;
                memcpy(&f, in + 4 * i, 4);
                v = f;
            } else {
                memcpy(&v, in + 8 * i, 8);
            }
            out[i] = !(v > 0) ? 0 : v >= 1 ? 255 : BYTE(v * 255 + 0.5); // NaN reads as 0
        }
        return;
    }
    if (page.bps == 32) {
        // libtiff gives 32-bit samples in the machine's order.
        for (size_t i = 0; i < count; i++) {
            uint32_t v;
            memcpy(&v, in + 4 * i, 4);
            out[i] = BYTE((uint64_t(v) * 255 + 0x7FFFFFFF) / 0xFFFFFFFFu);
        }
        return;
    }
    // 10 to 14 bits packed, the first sample in the highest bits: each lies within three bytes.
    const unsigned bits = page.bps;
    const uint32_t max = (1u << bits) - 1;
    for (size_t i = 0; i < count; i++) {
        const uint64_t at = uint64_t(i) * bits;
        const size_t byte = size_t(at / 8);
        uint32_t window = 0;
        for (size_t k = 0; k < 3; k++)
            window = (window << 8) | (byte + k < inSize ? in[byte + k] : 0);
        const uint32_t v = (window >> (24 - unsigned(at % 8) - bits)) & max;
        out[i] = BYTE((v * 255 + max / 2) / max);
    }
}

// The whole page through libtiff's RGBA reader, into a 24-bit picture with alpha where the file has it.
void ReadRgbaPage(CLvImage& image, TIFF* tif, const LvTiffStreamContext& context, const PageFields& page) {
    const uint32_t width = page.width, height = page.height;
    const bool alpha = (page.spp == 4 && page.photometric != PHOTOMETRIC_SEPARATED) || page.spp == 2;
    char reason[1024] = "";
    if (!TIFFRGBAImageOK(tif, reason)) {
        std::string text = std::string(kErrCorrupted) + " (" + reason + ")";
        LvRaise(text.c_str());
    }
    if (!image.Create(int(width), int(height), 24, LVFMT_TIF)) LvRaise(kLvErrNoMemory);
    if (alpha && !image.AlphaCreate()) LvRaise(kLvErrNoMemory);
    // The image keeps colour and alpha apart: ask for the stored colours even where the file says its alpha
    // is unassociated, which the RGBA reader would otherwise premultiply.
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes) && extraCount > 0 &&
        extraTypes[0] == EXTRASAMPLE_UNASSALPHA) {
        std::vector<uint16_t> types(extraTypes, extraTypes + extraCount);
        types[0] = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, extraCount, types.data());
    }
    TiffBuffer raster;
    if (!raster.Allocate(uint64_t(width) * height * 4)) LvRaise(kErrRaster);
    if (!TIFFReadRGBAImage(tif, width, height, static_cast<uint32_t*>(raster.data), 1))
        RaiseWithDetail(context, kErrCorrupted);
    // The raster's first row is the bottom one, as in the image.
    const uint32_t* pixels = static_cast<const uint32_t*>(raster.data);
    for (uint32_t r = 0; r < height; r++) {
        if (image.info.nEscape) LvRaise(kLvErrCancelled);
        BYTE* row = image.GetBits() + size_t(r) * image.GetEffWidth();
        BYTE* a = image.pAlpha ? image.pAlpha + size_t(r) * width : nullptr;
        for (uint32_t x = 0; x < width; x++) {
            uint32_t p = *pixels++;
            row[3 * x] = BYTE(TIFFGetB(p));
            row[3 * x + 1] = BYTE(TIFFGetG(p));
            row[3 * x + 2] = BYTE(TIFFGetR(p));
            if (a) a[x] = BYTE(TIFFGetA(p));
        }
    }
}

// The palette of a grey or palette page: the file's colour map, or a grey ramp.
void SetPagePalette(CLvImage& image, TIFF* tif, const PageFields& page) {
    RGBQUAD* palette = image.GetPalette();
    if (!palette) return;
    const DWORD colors = image.head.biClrUsed;
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (page.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) {
        // Maps are 16-bit; some writers put 8-bit values in them.
        const DWORD n = DWORD(1) << page.bps;
        bool eightBit = true;
        for (DWORD i = 0; i < n; i++)
            if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) eightBit = false;
        for (DWORD i = 0; i < n && i < colors; i++) {
            palette[i].rgbRed = BYTE(eightBit ? red[i] : red[i] * 255u / 65535u);
            palette[i].rgbGreen = BYTE(eightBit ? green[i] : green[i] * 255u / 65535u);
            palette[i].rgbBlue = BYTE(eightBit ? blue[i] : blue[i] * 255u / 65535u);
        }
    } else {
        const bool inverted = page.photometric == PHOTOMETRIC_MINISWHITE;
        for (DWORD i = 0; i < colors; i++) {
            BYTE level = BYTE(255 / (colors - 1) * i);
            if (inverted) level = BYTE(255 - level);
            palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = level;
        }
    }
}

// Rows of the page's own layout (spp samples of bps bits, packed), a strip at a time: read as a strip, or
// put together from the tiles of one tile row.
class StripReader {
public:
    StripReader(TIFF* tif, const LvTiffStreamContext& context, const PageFields& page)
        : m_tif(tif), m_context(context), m_width(page.width),
          m_lineSize((uint64_t(page.spp) * page.bps * page.width + 7) / 8), m_rowsPerStrip(page.rowsPerStrip),
          m_tiled(TIFFIsTiled(tif) != 0), m_tileWidth(0), m_tileRowSize(0) {
        uint64_t tileSize = 0;
        if (m_tiled) {
            uint32_t tileLength = 0;
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &m_tileWidth);
            TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
            m_tileRowSize = uint64_t(TIFFTileRowSize64(tif));
            tileSize = uint64_t(TIFFTileSize64(tif));
            // Tiles may reach past the picture, but one tile is never allowed more pixels than a picture.
            if (m_tileWidth == 0 || tileLength == 0 || uint64_t(m_tileWidth) * tileLength > kLvMaxPixels ||
                m_tileRowSize == 0 || tileSize < m_tileRowSize * tileLength)
                RaiseWithDetail(context, kErrCorruptedTiled);
            m_rowsPerStrip = tileLength < page.height ? tileLength : page.height;
        }
        if (!m_strip.Allocate(m_lineSize * m_rowsPerStrip)) LvRaise(kLvErrNoMemory);
        if (m_tiled && !m_tile.Allocate(tileSize)) LvRaise(kLvErrNoMemory);
    }

    uint64_t LineSize() const { return m_lineSize; }
    uint32_t RowsPerStrip() const { return m_rowsPerStrip; }

    // The n rows from row s on.
    BYTE* Read(uint32_t s, uint32_t n) {
        BYTE* const buffer = static_cast<BYTE*>(m_strip.data);
        memset(buffer, 0, size_t(m_lineSize * m_rowsPerStrip));
        if (!m_tiled) {
            if (TIFFReadEncodedStrip(m_tif, TIFFComputeStrip(m_tif, s, 0), buffer, tmsize_t(m_lineSize * n)) < 0)
                RaiseWithDetail(m_context, kErrCorrupted);
            return buffer;
        }
        // The tiles of one tile row side by side make the strip's rows.
        for (uint32_t x = 0, column = 0; x < m_width; x += m_tileWidth, column++) {
            if (TIFFReadTile(m_tif, m_tile.data, x, s, 0, 0) < 0) RaiseWithDetail(m_context, kErrCorruptedTiled);
            const uint64_t at = column * m_tileRowSize;
            if (at >= m_lineSize) break;
            const size_t count = size_t(m_tileRowSize < m_lineSize - at ? m_tileRowSize : m_lineSize - at);
            for (uint32_t k = 0; k < n; k++)
                memcpy(buffer + k * m_lineSize + at, static_cast<BYTE*>(m_tile.data) + k * m_tileRowSize, count);
        }
        return buffer;
    }

private:
    TIFF* m_tif;
    const LvTiffStreamContext& m_context;
    uint32_t m_width;
    uint64_t m_lineSize;
    uint32_t m_rowsPerStrip;
    bool m_tiled;
    uint32_t m_tileWidth;
    uint64_t m_tileRowSize;
    TiffBuffer m_strip;
    TiffBuffer m_tile;
};

// Stores one row of the file's layout as row y of the picture.
void StoreLine(CLvImage& image, BYTE* line, size_t y, const PageFields& page, uint64_t lineSize) {
    const uint32_t width = page.width;
    const uint16_t spp = page.spp;
    const DWORD stride = image.GetEffWidth();
    size_t lineBytes = size_t(lineSize);
    if (page.bps == 16) {
        // libtiff gives 16-bit samples in the machine's order: keep each one's high byte.
        const size_t samples = size_t(width) * spp;
        for (size_t i = 0; i < samples; i++) {
            uint16_t v;
            memcpy(&v, line + 2 * i, 2);
            line[i] = BYTE(v >> 8);
        }
        lineBytes = samples;
    }
    BYTE* stored = image.GetBits() + y * stride;
    if (IsLab(page)) {
        BYTE* a = image.pAlpha ? image.pAlpha + y * width : nullptr;
        for (uint32_t x = 0; x < width; x++) {
            const BYTE* p = line + size_t(x) * spp;
            LabToRgb(p[0], int8_t(p[1]), int8_t(p[2]), stored + 3 * size_t(x));
            if (a) a[x] = p[3];
        }
    } else if (page.photometric == PHOTOMETRIC_RGB) {
        BYTE* a = spp == 4 && image.pAlpha ? image.pAlpha + y * width : nullptr;
        for (uint32_t x = 0; x < width; x++) {
            const BYTE* p = line + size_t(x) * spp;
            stored[3 * x] = p[2];
            stored[3 * x + 1] = p[1];
            stored[3 * x + 2] = p[0];
            if (a) a[x] = p[3];
        }
    } else if (spp == 2) {
        BYTE* a = image.pAlpha + y * width;
        for (uint32_t x = 0; x < width; x++) {
            stored[x] = line[2 * x];
            a[x] = line[2 * x + 1];
        }
    } else {
        memcpy(stored, line, lineBytes < stride ? lineBytes : stride);
    }
}

// Reads a page strip by strip and hands each row of the file's layout to store, with the picture row
// (counted from the bottom) it becomes.
template <class Store>
void ReadRows(CLvImage& image, StripReader& strips, uint32_t height, Store store) {
    const uint32_t rowsPerStrip = strips.RowsPerStrip();
    for (uint32_t s = 0; s < height; s += rowsPerStrip) {
        if (image.info.nEscape) LvRaise(kLvErrCancelled);
        const uint32_t n = rowsPerStrip < height - s ? rowsPerStrip : height - s;
        BYTE* const buffer = strips.Read(s, n);
        for (uint32_t k = 0; k < n; k++)
            store(buffer + k * strips.LineSize(), size_t(height - 1 - (s + k)));
    }
}

// A grey, palette or L*a*b* page, strip by strip.
void ReadDirectPage(CLvImage& image, TIFF* tif, const LvTiffStreamContext& context, const PageFields& page) {
    const bool lab = IsLab(page);
    const int depth = lab ? 24 : page.bps == 1 ? 1 : page.bps == 4 ? 4 : 8;
    if (!image.Create(int(page.width), int(page.height), depth, LVFMT_TIF)) LvRaise(kLvErrNoMemory);
    if ((page.spp == 2 || (lab && page.spp == 4)) && !image.AlphaCreate()) LvRaise(kLvErrNoMemory);
    SetPagePalette(image, tif, page);

    StripReader strips(tif, context, page);
    ReadRows(image, strips, page.height,
             [&](BYTE* line, size_t y) { StoreLine(image, line, y, page, strips.LineSize()); });
}

// A page of wide samples, strip by strip: each row narrowed to 8 bits, then stored as an 8-bit row is.
void ReadWidePage(CLvImage& image, TIFF* tif, const LvTiffStreamContext& context, const PageFields& page) {
    const bool colour = page.photometric == PHOTOMETRIC_RGB;
    if (!image.Create(int(page.width), int(page.height), colour ? 24 : 8, LVFMT_TIF)) LvRaise(kLvErrNoMemory);
    if ((page.spp == 2 || page.spp == 4) && !image.AlphaCreate()) LvRaise(kLvErrNoMemory);
    SetPagePalette(image, tif, page);

    PageFields narrow = page;
    narrow.bps = 8;
    std::vector<BYTE> line(size_t(page.width) * page.spp);
    StripReader strips(tif, context, page);
    ReadRows(image, strips, page.height, [&](BYTE* wide, size_t y) {
        NarrowSamples(wide, strips.LineSize(), page, line.data());
        StoreLine(image, line.data(), y, narrow, line.size());
    });
}

// Old-style JPEG pages mostly carry one whole JPEG stream, named by their interchange-format fields. That
// stream decoded as a JPEG file gives the picture exactly as JPEG readers show it; libtiff's own path
// rebuilds the colour from raw subsampled data and differs visibly. False (and the page is read through
// libtiff) when there is no such stream or it does not hold the page's picture.
bool ReadInterchangeStream(CLvImage& image, TIFF* tif, const LvTiffStreamContext& context, const PageFields& page) {
    if (Field16(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) != COMPRESSION_OJPEG) return false;
    uint64_t offset = 0, length = 0;
    if (!TIFFGetField(tif, TIFFTAG_JPEGIFOFFSET, &offset) || !TIFFGetField(tif, TIFFTAG_JPEGIFBYTECOUNT, &length))
        return false;
    const long size = context.stream->Size();
    if (offset == 0 || length < 4 || size < context.base || offset > uint64_t(size - context.base) ||
        length > uint64_t(size - context.base) - offset)
        return false;
    std::vector<BYTE> bytes(static_cast<size_t>(length));
    const long here = context.stream->Tell();
    const bool read = context.stream->Seek(long(context.base + long(offset)), SEEK_SET) &&
                      context.stream->Read(bytes.data(), 1, bytes.size()) == bytes.size();
    context.stream->Seek(here, SEEK_SET);
    if (!read || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    CLvMemStream stream(bytes.data(), bytes.size());
    CLvCodecJPG jpeg;
    jpeg.info.nEscape = image.info.nEscape;
    if (!jpeg.Decode(&stream) || uint32_t(jpeg.GetWidth()) != page.width || uint32_t(jpeg.GetHeight()) != page.height ||
        (jpeg.GetBpp() != 24 && jpeg.GetBpp() != 8))
        return false;
    if (!image.Create(jpeg.GetWidth(), jpeg.GetHeight(), jpeg.GetBpp(), LVFMT_TIF)) LvRaise(kLvErrNoMemory);
    if (image.GetPaletteSize()) memcpy(image.GetPalette(), jpeg.GetPalette(), image.GetPaletteSize());
    memcpy(image.GetBits(), jpeg.GetBits(), image.head.biSizeImage);
    return true;
}

} // namespace

CLvCodecTIF::CLvCodecTIF() : CLvImage(LVFMT_TIF), m_tif(nullptr), m_context(nullptr), m_multiPage(false), m_pages(0) {}

CLvCodecTIF::~CLvCodecTIF() {
    CloseWriter(false);
}

void CLvCodecTIF::CloseWriter(bool discard) {
    if (m_tif) {
        ContextScope scope(m_context);
        if (discard)
            TIFFCleanup(m_tif);
        else
            TIFFClose(m_tif);
    }
    m_tif = nullptr;
    delete m_context;
    m_context = nullptr;
    m_multiPage = false;
    m_pages = 0;
}

bool CLvCodecTIF::Decode(CLvStream* stream) {
    if (!stream) return false;
    LvTiffStreamContext context;
    context.stream = stream;
    context.base = stream->Tell();
    context.writing = false;
    ContextScope scope(&context);
    TIFF* tif = nullptr;
    try {
        if (context.base < 0) LvRaise(kErrOpen);
        tif = OpenOverStream(&context, "r");
        if (!tif) RaiseWithDetail(context, kErrOpen);
        info.nFrameCount = int(TIFFNumberOfDirectories(tif));
        if (info.nFrame < 0 || info.nFrame >= info.nFrameCount || !TIFFSetDirectory(tif, tdir_t(info.nFrame)))
            LvRaise(kErrPage);
        ReadPage(tif, context);
        TIFFClose(tif);
        return true;
    } catch (const CLvCodecError& e) {
        SetLastErrorText(e.Text());
    } catch (const std::bad_alloc&) {
        SetLastErrorText(kLvErrNoMemory);
    }
    if (tif) TIFFClose(tif);
    return false;
}

void CLvCodecTIF::ReadPage(TIFF* tif, LvTiffStreamContext& context) {
    const PageFields page = ReadPageFields(tif, context);
    ReadResolution(*this, tif);
    info.nTransIndex = -1;
    const bool direct = IsDirect(page);
    if (info.nEscape) LvRaise(kLvErrCancelled);
    if (ReadInterchangeStream(*this, tif, context, page)) {
        if (!LvApplyOrientation(*this, page.orientation)) LvRaise(kLvErrNoMemory);
        return;
    }
    if (IsWide(page)) {
        ReadWidePage(*this, tif, context, page);
        if (!LvApplyOrientation(*this, page.orientation)) LvRaise(kLvErrNoMemory);
        return;
    }
    if (!direct) {
        ReadRgbaPage(*this, tif, context, page);
        return; // the orientation tag is applied to the pages read strip by strip only
    }
    ReadDirectPage(*this, tif, context, page);
    if (!LvApplyOrientation(*this, page.orientation)) LvRaise(kLvErrNoMemory);
}

bool CLvCodecTIF::Encode(CLvStream* stream, bool append) {
    if (!stream || (m_context && m_context->stream != stream)) {
        SetLastErrorText(kErrStream);
        return false;
    }
    if (!pDib) {
        SetLastErrorText(kLvErrNoImage);
        return false;
    }
    if (!m_tif) {
        m_context = new (std::nothrow) LvTiffStreamContext;
        if (m_context) {
            m_context->stream = stream;
            // An empty memory stream has no position yet; it starts at 0.
            m_context->base = stream->Tell() < 0 ? 0 : stream->Tell();
            m_context->writing = true;
            ContextScope scope(m_context);
            m_tif = OpenOverStream(m_context, "a");
        }
        if (!m_tif) {
            std::string detail = m_context ? m_context->error : std::string();
            CloseWriter(true);
            SetLastErrorText(detail.empty() ? kErrInit : (std::string(kErrInit) + " (" + detail + ")").c_str());
            return false;
        }
    }
    ContextScope scope(m_context);
    if (append || m_pages > 0) m_multiPage = true;
    m_pages++;
    const char* failure = nullptr;
    if (!WritePage())
        failure = kErrSave;
    else if (!TIFFWriteDirectory(m_tif))
        failure = kErrSaveDirectory;
    else if (m_context->stream->Error())
        failure = kErrSave;
    if (failure) {
        // A half-written page is dropped, not flushed out as if it were complete.
        std::string text = m_context->error.empty() ? failure : std::string(failure) + " (" + m_context->error + ")";
        CloseWriter(true);
        SetLastErrorText(text.c_str());
        return false;
    }
    if (!append) CloseWriter(false);
    return true;
}

bool CLvCodecTIF::WritePage() {
    TIFF* tif = m_tif;
    const int width = GetWidth();
    const int height = GetHeight();
    const int bpp = GetBpp();
    const bool alpha = pAlpha != nullptr && (bpp == 24 || bpp == 8);
    const uint16_t spp = bpp == 24 ? (alpha ? 4 : 3) : (alpha ? 2 : 1);
    const uint16_t bitsPerSample = bpp == 24 ? 8 : uint16_t(bpp);
    RGBQUAD* palette = GetPalette();

    uint16_t photometric = PHOTOMETRIC_RGB;
    bool greyRamp = false;
    if (bpp == 1) {
        // Bilevel pages are min-is-white: the lighter entry goes first, and the pixels follow, so the
        // picture looks the same (this changes the lent buffers of the image being saved).
        if (CompareLuminance(palette[0], palette[1]) < 0) {
            RGBQUAD t = palette[0];
            palette[0] = palette[1];
            palette[1] = t;
            BYTE* bits = GetBits();
            for (DWORD i = 0; i < head.biSizeImage; i++)
                bits[i] = BYTE(~bits[i]);
            info.bLastNearestValid = false;
            if (info.pOwner) info.pOwner->info.bLastNearestValid = false;
        }
        photometric = PHOTOMETRIC_MINISWHITE;
    } else if (bpp == 4 || bpp == 8) {
        greyRamp = true;
        for (DWORD i = 0; i < head.biClrUsed; i++)
            if (palette[i].rgbRed != i || palette[i].rgbGreen != i || palette[i].rgbBlue != i) greyRamp = false;
        photometric = greyRamp ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE;
    }

    uint16_t compression;
    if (info.dwCodecOption != 0)
        compression = uint16_t(info.dwCodecOption & 0xFFFF);
    else
        compression = bpp == 1    ? COMPRESSION_CCITTFAX4
                      : bpp == 8  ? COMPRESSION_PACKBITS
                      : bpp == 24 ? COMPRESSION_JPEG
                                  : COMPRESSION_NONE;

    bool ok = true;
    ok = ok && TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t(m_multiPage ? FILETYPE_PAGE : 0));
    ok = ok && TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    ok = ok && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    ok = ok && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    ok = ok && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    ok = ok && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    ok = ok && TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT));
    ok = ok && TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    ok = ok && TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    if (!ok) return false;
    if (alpha) {
        // The alpha plane is not premultiplied.
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        if (!TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra)) return false;
    }
    uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 0);
    if (compression == COMPRESSION_JPEG) {
        rowsPerStrip = (rowsPerStrip + 7) / 8 * 8;
        if (!TIFFSetField(tif, TIFFTAG_JPEGQUALITY, int(info.nJpegQuality))) return false;
    }
    // Horizontal differencing helps whole-byte samples; libtiff refuses it for 1- and 4-bit ones.
    if (compression == COMPRESSION_LZW && bitsPerSample == 8 &&
        !TIFFSetField(tif, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL)))
        return false;
    ok = ok && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    ok = ok && TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(info.xDPI));
    ok = ok && TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(info.yDPI));
    ok = ok && TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(RESUNIT_INCH));
    if (m_multiPage) {
        char name[32];
        snprintf(name, sizeof(name), "Page %d", m_pages);
        ok = ok && TIFFSetField(tif, TIFFTAG_PAGENAME, name);
        // The total is not known while pages are still being appended.
        ok = ok && TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(m_pages), uint16_t(m_pages));
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        uint16_t red[256] = {0}, green[256] = {0}, blue[256] = {0};
        for (DWORD i = 0; i < head.biClrUsed; i++) {
            red[i] = uint16_t(palette[i].rgbRed * 65535u / 255u);
            green[i] = uint16_t(palette[i].rgbGreen * 65535u / 255u);
            blue[i] = uint16_t(palette[i].rgbBlue * 65535u / 255u);
        }
        ok = ok && TIFFSetField(tif, TIFFTAG_COLORMAP, red, green, blue);
    }
    if (!ok) return false;

    const DWORD stride = GetEffWidth();
    std::vector<BYTE> line(size_t(stride) + size_t(width) * 4 + 8);
    const BYTE* const bits = GetBits();
    for (int r = 0; r < height; r++) {
        const int y = height - 1 - r;
        const BYTE* stored = bits + size_t(y) * stride;
        const BYTE* a = pAlpha ? pAlpha + size_t(y) * size_t(width) : nullptr;
        BYTE* out = line.data();
        if (spp == 1) {
            memcpy(out, stored, stride);
        } else if (spp == 2) {
            for (int x = 0; x < width; x++) {
                out[2 * x] = stored[x];
                out[2 * x + 1] = a[x];
            }
        } else if (spp == 3) {
            for (int x = 0; x < width; x++) {
                out[3 * x] = stored[3 * x + 2];
                out[3 * x + 1] = stored[3 * x + 1];
                out[3 * x + 2] = stored[3 * x];
            }
        } else {
            for (int x = 0; x < width; x++) {
                out[4 * x] = stored[3 * x + 2];
                out[4 * x + 1] = stored[3 * x + 1];
                out[4 * x + 2] = stored[3 * x];
                out[4 * x + 3] = a[x];
            }
        }
        if (TIFFWriteScanline(tif, out, uint32_t(r), 0) < 0) return false;
    }
    return true;
}
