#include "formats/LvCodecPNG.h"

#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

#include "effects/LvRows.h"

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

const char* const kErrCreate = "Failed to create PNG structure";
const char* const kErrCreateInfo = "Failed to initialize PNG info structure";
const char* const kErrSave = "Error saving PNG file";
const char* const kErrRead = "Read Error";
const char* const kErrWrite = "Write Error";
const char* const kErrFlush = "Flush Error";
const char* const kErrLayout = "Unexpected PNG row layout";

// What libpng's callbacks reach: the image whose last-error text receives libpng's message, and the stream.
struct PngContext {
    CLvImage* image;
    CLvStream* stream;
};

// libpng's error callback must not return: it stores the message and jumps back to the codec. No C++
// frame with a destructor lies between the codec's setjmp and the library call that fails.
void PngError(png_structp png, png_const_charp message) {
    PngContext* context = static_cast<PngContext*>(png_get_error_ptr(png));
    context->image->SetLastErrorText(message);
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep data, size_t length) {
    PngContext* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (context->stream->Read(data, 1, length) != length) png_error(png, kErrRead);
}

void PngWrite(png_structp png, png_bytep data, size_t length) {
    PngContext* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (context->stream->Write(data, 1, length) != length) png_error(png, kErrWrite);
}

void PngFlush(png_structp png) {
    PngContext* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (!context->stream->Flush()) png_error(png, kErrFlush);
}

// Memory the codec must free however the library call ends.
struct RowBuffer {
    BYTE* row;
};

// 2-bit pixels widened to 4-bit ones in place, from the end so no pixel is overwritten before it is read.
void WidenTwoBitRow(BYTE* row, int width) {
    for (int i = (width - 1) / 2; i >= 0; i--) {
        int x0 = 2 * i, x1 = 2 * i + 1;
        int v0 = (row[x0 >> 2] >> (6 - 2 * (x0 & 3))) & 3;
        int v1 = x1 < width ? (row[x1 >> 2] >> (6 - 2 * (x1 & 3))) & 3 : 0;
        row[i] = static_cast<BYTE>(v0 << 4 | v1);
    }
}

// The reading proper, between the codec's setjmp and its clean-up. A libpng error leaves it by longjmp,
// so it holds nothing that needs a destructor.
void ReadPng(CLvImage& image, png_structp png, png_infop info, RowBuffer* buffer) {
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    if (const char* sizeError = LvCheckImageSize(width, height, 24)) png_error(png, sizeError);
    const int pixelDepth = bitDepth * png_get_channels(png, info);

    // 8-bit RGBA and 16-bit grey with alpha keep their alpha in an alpha plane; so does 16-bit RGBA, whose
    // transparency would otherwise be lost. Other pictures are composited against their background.
    const bool keepAlpha = pixelDepth == 32 || (colorType == PNG_COLOR_TYPE_RGB_ALPHA && bitDepth == 16);
    png_color_16p fileBackground = nullptr;
    if (keepAlpha) {
        if (png_get_bKGD(png, info, &fileBackground)) {
            image.info.rgbTransColor.rgbRed = static_cast<BYTE>(fileBackground->red);
            image.info.rgbTransColor.rgbGreen = static_cast<BYTE>(fileBackground->green);
            image.info.rgbTransColor.rgbBlue = static_cast<BYTE>(fileBackground->blue);
            image.info.rgbTransColor.rgbReserved = 0;
        }
    } else if (png_get_bKGD(png, info, &fileBackground)) {
        png_set_background(png, fileBackground, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else {
        png_color_16 grey;
        grey.index = 0;
        grey.red = grey.green = grey.blue = grey.gray = 192;
        png_set_background(png, &grey, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
    if (bitDepth == 16) png_set_strip_16(png);

    const int depth = keepAlpha || pixelDepth > 16 ? 24 : pixelDepth == 16 ? 8 : pixelDepth;
    if (!image.Create(int(width), int(height), depth, LVFMT_PNG)) png_error(png, kLvErrNoMemory);

    png_uint_32 xRes = 0, yRes = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xRes, &yRes, &unit)) {
        if (unit == PNG_RESOLUTION_METER) {
            image.SetXDPI(int(floor(xRes * 0.0254 + 0.5)));
            image.SetYDPI(int(floor(yRes * 0.0254 + 0.5)));
        } else {
            image.SetXDPI(int(xRes > 0x7FFFFFFF ? 0x7FFFFFFF : xRes));
            image.SetYDPI(int(yRes > 0x7FFFFFFF ? 0x7FFFFFFF : yRes));
        }
    } else {
        image.SetXDPI(0);
        image.SetYDPI(0);
    }

    // The palette is taken before the first row, while libpng still holds the file's own entries.
    if (RGBQUAD* palette = image.GetPalette()) {
        const DWORD colors = image.GetHeader().biClrUsed;
        png_colorp plte = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &plte, &count)) {
            for (DWORD i = 0; i < colors && i < DWORD(count); i++) {
                palette[i].rgbRed = plte[i].red;
                palette[i].rgbGreen = plte[i].green;
                palette[i].rgbBlue = plte[i].blue;
            }
        } else if (bitDepth == 2) {
            for (int i = 0; i < 4; i++)
                palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = BYTE(85 * i);
        } else {
            image.SetGrayPalette();
        }
        png_bytep trans = nullptr;
        int transCount = 0;
        if (colorType == PNG_COLOR_TYPE_PALETTE && png_get_tRNS(png, info, &trans, &transCount, nullptr) &&
            transCount > 0) {
            DWORD n = DWORD(transCount) < colors ? DWORD(transCount) : colors;
            for (DWORD i = 0; i < n; i++)
                palette[i].rgbReserved = trans[i];
            if (transCount == 1 && trans[0] == 0) {
                image.info.nTransIndex = 0;
            } else {
                image.info.bAlphaPalette = true;
                for (DWORD i = n; i < colors; i++)
                    palette[i].rgbReserved = 255;
            }
        }
    }

    if (keepAlpha) {
        if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        png_set_expand(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        if (!image.AlphaCreate()) png_error(png, kLvErrNoMemory);
    }
    if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
    if (image.info.nEscape) png_error(png, kLvErrCancelled);

    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const DWORD stride = image.GetEffWidth();
    // The rows libpng delivers must fit the stored rows they are copied to.
    if (keepAlpha ? rowBytes != size_t(width) * 4 : rowBytes > stride) png_error(png, kErrLayout);
    size_t bufferSize = (rowBytes > stride ? rowBytes : stride) + 10;
    buffer->row = static_cast<BYTE*>(malloc(bufferSize));
    if (!buffer->row) png_error(png, kLvErrNoMemory);
    BYTE* const row = buffer->row;
    BYTE* const bits = image.GetBits();
    BYTE* const alpha = image.pAlpha;

    // Rows arrive top-down. Interlaced files come in passes that libpng merges into the row it is given,
    // so from the second pass on the row is first rebuilt from what is stored.
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++) {
            if (image.info.nEscape) png_error(png, kLvErrCancelled);
            const size_t storedRow = size_t(height - 1 - y);
            BYTE* stored = bits + storedRow * stride;
            if (!keepAlpha) {
                if (pass > 0)
                    memcpy(row, stored, stride);
                else
                    memset(row, 0, bufferSize);
                png_read_row(png, row, nullptr);
                if (bitDepth == 2 && pass == passes - 1) WidenTwoBitRow(row, int(width));
                memcpy(stored, row, stride);
            } else {
                BYTE* a = alpha + storedRow * width;
                if (pass > 0) {
                    for (png_uint_32 x = 0; x < width; x++) {
                        memcpy(row + 4 * x, stored + 3 * x, 3);
                        row[4 * x + 3] = a[x];
                    }
                } else {
                    memset(row, 0, bufferSize);
                }
                png_read_row(png, row, nullptr);
                for (png_uint_32 x = 0; x < width; x++) {
                    memcpy(stored + 3 * x, row + 4 * x, 3);
                    a[x] = row[4 * x + 3];
                }
            }
        }
    }
    png_read_end(png, nullptr);
}

// ---- the image data of a true-colour picture, compressed on several threads ----
//
// Nearly all of a PNG write is deflate. A true-colour picture's rows are filtered as libpng filters them
// (each row takes the filter whose bytes, read as signed, have the smallest absolute sum), then the
// filtered bytes are cut into slices that are deflated at once, each primed with the 32 KiB before it so
// that it compresses as well as one stream would. The slices end on a sync flush (the last one finishes),
// so their concatenation is one valid zlib stream whose check value joins the slices' ones.

bool TrueColourAlpha(const CLvImage& image) {
    return image.pAlpha != nullptr || image.info.nTransIndex >= 0;
}

// Row y (from the top) as the PNG stores it: RGB, or RGBA when the picture has alpha or a transparent colour.
void TrueColourRow(const CLvImage& image, int top, BYTE* out) {
    const int width = image.GetWidth();
    const int y = image.GetHeight() - 1 - top;
    const BYTE* stored = image.GetBits() + size_t(y) * image.GetEffWidth();
    if (!TrueColourAlpha(image)) {
        for (int x = 0; x < width; x++) {
            out[3 * x] = stored[3 * x + 2];
            out[3 * x + 1] = stored[3 * x + 1];
            out[3 * x + 2] = stored[3 * x];
        }
        return;
    }
    const BYTE* a = image.pAlpha ? image.pAlpha + size_t(y) * size_t(width) : nullptr;
    const bool transColor = image.info.nTransIndex >= 0;
    const RGBQUAD trans = image.GetTransColor();
    const unsigned alphaMax = image.info.nAlphaMax;
    for (int x = 0; x < width; x++) {
        const BYTE b = stored[3 * x], g = stored[3 * x + 1], r = stored[3 * x + 2];
        unsigned level = a ? a[x] : 255;
        if (transColor && b == trans.rgbBlue && g == trans.rgbGreen && r == trans.rgbRed) level = 0;
        BYTE* o = out + 4 * size_t(x);
        o[0] = r;
        o[1] = g;
        o[2] = b;
        o[3] = BYTE(alphaMax * level / 255);
    }
}

inline unsigned Cost(BYTE v) {
    return v < 128 ? v : 256u - v;
}

inline BYTE Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return BYTE(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filters row (with prior, the row above, or null) into out: the filter's type byte, then the bytes. Each
// filter is one plain loop the compiler can vectorise.
void FilterRow(const BYTE* row, const BYTE* prior, size_t size, int bpp, BYTE* out, BYTE* scratch) {
    const size_t lead = size < size_t(bpp) ? size : size_t(bpp);
    unsigned best = ~0u;
    for (int type = 0; type < 5; type++) {
        // Without a row above, Up is None and Paeth is Sub.
        if (!prior && (type == 2 || type == 4)) continue;
        BYTE* f = scratch;
        switch (type) {
        case 0:
            memcpy(f, row, size);
            break;
        case 1:
            memcpy(f, row, lead);
            for (size_t i = lead; i < size; i++)
                f[i] = BYTE(row[i] - row[i - bpp]);
            break;
        case 2:
            for (size_t i = 0; i < size; i++)
                f[i] = BYTE(row[i] - prior[i]);
            break;
        case 3:
            for (size_t i = 0; i < lead; i++)
                f[i] = BYTE(row[i] - ((prior ? prior[i] : 0) >> 1));
            if (prior) {
                for (size_t i = lead; i < size; i++)
                    f[i] = BYTE(row[i] - ((row[i - bpp] + prior[i]) >> 1));
            } else {
                for (size_t i = lead; i < size; i++)
                    f[i] = BYTE(row[i] - (row[i - bpp] >> 1));
            }
            break;
        default:
            for (size_t i = 0; i < lead; i++)
                f[i] = BYTE(row[i] - prior[i]);
            for (size_t i = lead; i < size; i++)
                f[i] = BYTE(row[i] - Paeth(row[i - bpp], prior[i], prior[i - bpp]));
            break;
        }
        unsigned sum = 0;
        for (size_t i = 0; i < size; i++)
            sum += Cost(f[i]);
        if (sum < best) {
            best = sum;
            out[0] = BYTE(type);
            memcpy(out + 1, f, size);
        }
    }
}

// Runs body(i) for i in [0, count) on up to LvThreadCount() threads.
template <typename Body>
void ForEachParallel(size_t count, const Body& body) {
    size_t threads = size_t(LvThreadCount());
    if (threads > count) threads = count;
    if (threads <= 1) {
        for (size_t i = 0; i < count; i++)
            body(i);
        return;
    }
    std::vector<std::thread> workers;
    for (size_t t = 0; t < threads; t++)
        workers.emplace_back([&, t] {
            for (size_t i = t; i < count; i += threads)
                body(i);
        });
    for (std::thread& worker : workers)
        worker.join();
}

// The zlib stream of a true-colour picture's image data; false when memory or zlib failed.
bool CompressTrueColour(const CLvImage& image, std::vector<BYTE>& stream) {
    const int width = image.GetWidth(), height = image.GetHeight();
    const int bpp = TrueColourAlpha(image) ? 4 : 3;
    const size_t rowSize = size_t(width) * size_t(bpp), lineSize = rowSize + 1;
    // The filtered rows are held whole; a picture past 256 MiB of them is written row by row by libpng.
    if (lineSize * size_t(height) > (size_t(256) << 20)) return false;
    std::vector<BYTE> filtered;
    try {
        filtered.resize(lineSize * size_t(height));
    } catch (...) {
        return false;
    }
    // Rows in bands, each band making its own row above.
    const size_t bands = size_t(height) < 64 ? 1 : 64;
    ForEachParallel(bands, [&](size_t band) {
        const int first = int(size_t(height) * band / bands), last = int(size_t(height) * (band + 1) / bands);
        std::vector<BYTE> rows(2 * rowSize), scratch(rowSize);
        BYTE* prior = rows.data();
        BYTE* row = rows.data() + rowSize;
        if (first > 0) TrueColourRow(image, first - 1, prior);
        for (int y = first; y < last; y++) {
            TrueColourRow(image, y, row);
            FilterRow(row, y > 0 ? prior : nullptr, rowSize, bpp, &filtered[lineSize * size_t(y)], scratch.data());
            std::swap(prior, row);
        }
    });

    // Slices of at least 1 MiB, their number fixed by the size alone: the file does not depend on the threads.
    const size_t total = filtered.size(), window = 32768, minSlice = size_t(1) << 20, maxSlices = 64;
    size_t slices = total / minSlice;
    if (slices > maxSlices) slices = maxSlices;
    if (slices < 1) slices = 1;
    std::vector<std::vector<BYTE>> out(slices);
    std::vector<uLong> check(slices);
    std::vector<int> ok(slices, 0);
    ForEachParallel(slices, [&](size_t i) {
        const size_t begin = total * i / slices, end = total * (i + 1) / slices;
        z_stream z = {};
        if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_FILTERED) != Z_OK) return;
        const size_t primed = begin < window ? begin : window;
        if (primed) deflateSetDictionary(&z, &filtered[begin - primed], uInt(primed));
        std::vector<BYTE>& o = out[i];
        o.resize(deflateBound(&z, uLong(end - begin)) + 16);
        z.next_in = &filtered[begin];
        z.avail_in = uInt(end - begin);
        z.next_out = o.data();
        z.avail_out = uInt(o.size());
        const int result = deflate(&z, i + 1 == slices ? Z_FINISH : Z_SYNC_FLUSH);
        const bool done = i + 1 == slices ? result == Z_STREAM_END : result == Z_OK && z.avail_in == 0;
        o.resize(o.size() - z.avail_out);
        deflateEnd(&z);
        check[i] = adler32(adler32(0L, Z_NULL, 0), &filtered[begin], uInt(end - begin));
        ok[i] = done ? 1 : 0;
    });
    uLong adler = check[0];
    size_t size = 2 + 4;
    for (size_t i = 0; i < slices; i++) {
        if (!ok[i]) return false;
        if (i > 0) adler = adler32_combine(adler, check[i], z_off_t(total * (i + 1) / slices - total * i / slices));
        size += out[i].size();
    }
    stream.clear();
    stream.reserve(size);
    // The zlib header of a 32 KiB window at the default level.
    stream.push_back(0x78);
    stream.push_back(0x9C);
    for (const std::vector<BYTE>& o : out)
        stream.insert(stream.end(), o.begin(), o.end());
    for (int shift = 24; shift >= 0; shift -= 8)
        stream.push_back(BYTE(adler >> shift));
    return true;
}

// Writes the compressed image data as IDAT chunks and ends the file.
void WriteCompressed(png_structp png, const std::vector<BYTE>& stream) {
    static const png_byte idat[5] = {'I', 'D', 'A', 'T', 0}, iend[5] = {'I', 'E', 'N', 'D', 0};
    const size_t chunk = size_t(1) << 20;
    for (size_t at = 0; at < stream.size(); at += chunk)
        png_write_chunk(png, idat, stream.data() + at, stream.size() - at < chunk ? stream.size() - at : chunk);
    png_write_chunk(png, iend, nullptr, 0);
}

void WritePng(CLvImage& image, png_structp png, png_infop info, RowBuffer* buffer,
              const std::vector<BYTE>* compressed) {
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    const int bpp = image.GetBpp();
    // A 24-bit image with a transparent colour is written with an alpha channel that hides that colour.
    const bool transColor = bpp == 24 && image.info.nTransIndex >= 0;
    const bool withAlpha = image.pAlpha != nullptr || transColor;
    const int channels = bpp == 24 ? 3 : 1;
    const int colorType = withAlpha   ? PNG_COLOR_TYPE_RGB_ALPHA
                          : bpp == 24 ? PNG_COLOR_TYPE_RGB
                                      : PNG_COLOR_TYPE_PALETTE;
    const int bitDepth = withAlpha ? 8 : bpp / channels;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const BITMAPINFOHEADER& head = image.GetHeader();
    png_set_pHYs(png, info, png_uint_32(head.biXPelsPerMeter > 0 ? head.biXPelsPerMeter : 0),
                 png_uint_32(head.biYPelsPerMeter > 0 ? head.biYPelsPerMeter : 0), PNG_RESOLUTION_METER);

    const DWORD colors = head.biClrUsed;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_byte trans[256];
        int transIndex = image.info.nTransIndex;
        if (transIndex >= 0 && DWORD(transIndex) < colors) {
            // PNG readers expect a single transparent entry first: move it to index 0 in the image itself
            // (the picture looks the same), and the image that lent its buffers follows.
            if (transIndex != 0) {
                image.SwapIndex(0, BYTE(transIndex));
                image.info.nTransIndex = 0;
                if (CLvImage* owner = image.info.pOwner) {
                    owner->info.nTransIndex = 0;
                    owner->info.bLastNearestValid = false;
                }
            }
            trans[0] = 0;
            if (!image.info.bAlphaPalette) png_set_tRNS(png, info, trans, 1, nullptr);
        }
        const RGBQUAD* palette = image.GetPalette();
        if (image.info.bAlphaPalette) {
            for (DWORD i = 0; i < colors; i++)
                trans[i] = palette[i].rgbReserved;
            png_set_tRNS(png, info, trans, int(colors), nullptr);
        }
        png_color plte[256];
        for (DWORD i = 0; i < colors; i++) {
            plte[i].red = palette[i].rgbRed;
            plte[i].green = palette[i].rgbGreen;
            plte[i].blue = palette[i].rgbBlue;
        }
        png_set_PLTE(png, info, plte, int(colors));
    }
    png_write_info(png, info);
    if (compressed) {
        WriteCompressed(png, *compressed);
        return;
    }

    const DWORD stride = image.GetEffWidth();
    size_t rowSize = withAlpha ? size_t(width) * 4 : stride;
    buffer->row = static_cast<BYTE*>(malloc(rowSize + 8));
    if (!buffer->row) png_error(png, kLvErrNoMemory);
    BYTE* const row = buffer->row;
    const BYTE* const bits = image.GetBits();
    const RGBQUAD trans = image.GetTransColor();
    const unsigned alphaMax = image.info.nAlphaMax;
    for (int y = height - 1; y >= 0; y--) {
        const BYTE* stored = bits + size_t(y) * stride;
        if (!withAlpha) {
            memcpy(row, stored, stride);
            if (bpp == 24) image.SwapRedBlue(row, stride);
        } else {
            const BYTE* a = image.pAlpha ? image.pAlpha + size_t(y) * size_t(width) : nullptr;
            for (int x = 0; x < width; x++) {
                RGBQUAD c;
                if (bpp == 24) {
                    c.rgbBlue = stored[3 * x];
                    c.rgbGreen = stored[3 * x + 1];
                    c.rgbRed = stored[3 * x + 2];
                } else {
                    c = image.GetPalette()[image.GetPixelIndex(x, y)];
                }
                unsigned level = a ? a[x] : 255;
                if (transColor && c.rgbBlue == trans.rgbBlue && c.rgbGreen == trans.rgbGreen &&
                    c.rgbRed == trans.rgbRed)
                    level = 0;
                BYTE* out = row + 4 * size_t(x);
                out[0] = c.rgbRed;
                out[1] = c.rgbGreen;
                out[2] = c.rgbBlue;
                out[3] = BYTE(alphaMax * level / 255);
            }
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
}

} // namespace

bool CLvCodecPNG::Decode(CLvStream* stream) {
    if (!stream) return false;
    PngContext context = {this, stream};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, PngError, PngWarning);
    if (!png) {
        SetLastErrorText(kErrCreate);
        return false;
    }
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetLastErrorText(kErrCreateInfo);
        return false;
    }
    RowBuffer buffer = {nullptr};
    if (setjmp(png_jmpbuf(png))) {
        free(buffer.row);
        png_destroy_read_struct(&png, &pngInfo, nullptr);
        return false;
    }
    png_set_read_fn(png, &context, PngRead);
    ReadPng(*this, png, pngInfo, &buffer);
    free(buffer.row);
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    return true;
}

bool CLvCodecPNG::Encode(CLvStream* stream) {
    if (!stream) return false;
    if (!pDib) {
        SetLastErrorText(kLvErrNoImage);
        return false;
    }
    PngContext context = {this, stream};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, PngError, PngWarning);
    if (!png) {
        SetLastErrorText(kErrCreate);
        return false;
    }
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_write_struct(&png, nullptr);
        SetLastErrorText(kErrCreateInfo);
        return false;
    }
    // True-colour image data is compressed before libpng starts, outside its error jumps.
    std::vector<BYTE> compressed;
    const bool precompressed = GetBpp() == 24 && CompressTrueColour(*this, compressed);
    RowBuffer buffer = {nullptr};
    if (setjmp(png_jmpbuf(png))) {
        free(buffer.row);
        png_destroy_write_struct(&png, &pngInfo);
        SetLastErrorText(kErrSave);
        return false;
    }
    png_set_write_fn(png, &context, PngWrite, PngFlush);
    WritePng(*this, png, pngInfo, &buffer, precompressed ? &compressed : nullptr);
    free(buffer.row);
    png_destroy_write_struct(&png, &pngInfo);
    return true;
}
