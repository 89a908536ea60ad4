#include "formats/LvCodecPNG.h"

#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

#include <png.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

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

void WritePng(CLvImage& image, png_structp png, png_infop info, RowBuffer* buffer) {
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
    RowBuffer buffer = {nullptr};
    if (setjmp(png_jmpbuf(png))) {
        free(buffer.row);
        png_destroy_write_struct(&png, &pngInfo);
        SetLastErrorText(kErrSave);
        return false;
    }
    png_set_write_fn(png, &context, PngWrite, PngFlush);
    WritePng(*this, png, pngInfo, &buffer);
    free(buffer.row);
    png_destroy_write_struct(&png, &pngInfo);
    return true;
}
