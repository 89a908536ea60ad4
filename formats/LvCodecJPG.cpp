#include "formats/LvCodecJPG.h"

#include "image/LvCodecError.h"
#include "image/LvSizeCheck.h"

// The library's headers expect FILE and size_t to be declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>

namespace {

const char* const kErrRgbOrGrey = "JPEG can save only RGB or GreyScale images";
const char* const kErrComponents = "Unsupported number of colour components in the JPEG file";
const char* const kErrScans = "Too many scans in the JPEG file";

const size_t kStreamBufferSize = 4096;

// A progressive file can hold any number of scans, each a pass over the whole picture; real files have a
// dozen. More than this is a hostile file that would keep the decoder busy for hours.
const int kMaxScans = 1000;

// libjpeg reports fatal errors through error_exit, which must not return. It formats the library's message
// into the image's last-error text and jumps back to the codec. No C++ frame with a destructor lies between
// the setjmp and the library call that fails.
struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    CLvImage* image;
};

void ErrorExit(j_common_ptr cinfo) {
    ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    err->image->SetLastErrorText(text);
    longjmp(err->jump, 1);
}

// Warnings (a truncated file, corrupt data the decoder got past) do not stop the read and are not printed.
void OutputMessage(j_common_ptr) {}

void Fail(ErrorManager* err, const char* text) {
    err->image->SetLastErrorText(text);
    longjmp(err->jump, 1);
}

void ProgressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) Fail(reinterpret_cast<ErrorManager*>(cinfo->err), kErrScans);
}

void InstallErrorManager(jpeg_common_struct* cinfo, ErrorManager* err, CLvImage* image) {
    cinfo->err = jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.output_message = OutputMessage;
    err->image = image;
}

// ---- source manager: libjpeg reads the CLvStream through a 4096-byte buffer ----

struct SourceManager {
    jpeg_source_mgr pub;
    CLvStream* stream;
    bool startOfFile;
    JOCTET buffer[kStreamBufferSize];
};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    SourceManager* src = reinterpret_cast<SourceManager*>(cinfo->src);
    size_t n = src->stream->Read(src->buffer, 1, kStreamBufferSize);
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A truncated file: end it here, so that it decodes as far as its data go.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    SourceManager* src = reinterpret_cast<SourceManager*>(cinfo->src);
    size_t n = size_t(count);
    while (n > src->pub.bytes_in_buffer) {
        n -= src->pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

void AttachSource(j_decompress_ptr cinfo, SourceManager* src, CLvStream* stream) {
    src->stream = stream;
    src->startOfFile = true;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    cinfo->src = &src->pub;
}

// ---- destination manager: libjpeg writes the CLvStream through a 4096-byte buffer ----

struct DestinationManager {
    jpeg_destination_mgr pub;
    CLvStream* stream;
    JOCTET buffer[kStreamBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
    DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kStreamBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    if (dest->stream->Write(dest->buffer, 1, kStreamBufferSize) != kStreamBufferSize) ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kStreamBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    DestinationManager* dest = reinterpret_cast<DestinationManager*>(cinfo->dest);
    size_t n = kStreamBufferSize - dest->pub.free_in_buffer;
    if (n > 0 && dest->stream->Write(dest->buffer, 1, n) != n) ERREXIT(cinfo, JERR_FILE_WRITE);
    if (!dest->stream->Flush() || dest->stream->Error()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void AttachDestination(j_compress_ptr cinfo, DestinationManager* dest, CLvStream* stream) {
    dest->stream = stream;
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    cinfo->dest = &dest->pub;
}

UINT16 Density(int dpi) {
    return static_cast<UINT16>(dpi < 0 ? 0 : dpi > 65535 ? 65535 : dpi);
}

} // namespace

CLvCodecJPG::CLvCodecJPG() : CLvImage(LVFMT_JPG) {
    memset(&m_exifinfo, 0, sizeof(m_exifinfo));
}

CLvCodecJPG::~CLvCodecJPG() {}

const char* CLvCodecJPG::GetExifError() const {
    return m_exifReader ? m_exifReader->GetLastError() : "";
}

bool CLvCodecJPG::ReadExif(CLvStream* stream) {
    memset(&m_exifinfo, 0, sizeof(m_exifinfo));
    m_exifReader.reset(); // frees the sections of an earlier read
    if (!stream) return false;
    long position = stream->Tell();
    m_exifReader.reset(new CLvExifReader(&m_exifinfo));
    m_exifReader->DecodeExif(stream);
    stream->Seek(position, SEEK_SET);
    return m_exifinfo.bHasExif;
}

namespace {

// The decompression proper, between the codec's setjmp and its clean-up. Plain C-style code: a libjpeg
// error leaves it by longjmp, so it holds nothing that needs a destructor.
void Decompress(CLvCodecJPG& image, j_decompress_ptr cinfo, ErrorManager* err) {
    jpeg_read_header(cinfo, TRUE);
    // The header's size decides every allocation that follows, the library's own included.
    if (const char* sizeError = LvCheckImageSize(cinfo->image_width, cinfo->image_height, 24)) Fail(err, sizeError);
#ifdef JCS_EXTENSIONS
    // libjpeg-turbo can deliver colour in the image's own blue-green-red order, straight into its rows.
    const bool bgr = cinfo->out_color_space == JCS_RGB;
    if (bgr) cinfo->out_color_space = JCS_EXT_BGR;
#else
    const bool bgr = false;
#endif
    jpeg_start_decompress(cinfo);

    const int components = cinfo->output_components;
    if (components != 1 && components != 3 && components != 4) Fail(err, kErrComponents);
    const int width = int(cinfo->output_width);
    const int height = int(cinfo->output_height);
    if (LvCheckImageSize(width, height, 24)) Fail(err, kLvErrTooLarge);
    if (!image.Create(width, height, 8 * components, LVFMT_JPG)) Fail(err, kLvErrNoMemory);

    const ExifInfo& exif = image.m_exifinfo;
    if (!exif.bHasExif) {
        // The JFIF density, in dots per centimetre or per inch. Unit 0 gives only the pixels' aspect ratio
        // (cjpeg writes 1:1), not a resolution: such a file, like one without a JFIF header or with a zero
        // density, keeps the default.
        if (cinfo->saw_JFIF_marker && cinfo->X_density != 0 && cinfo->Y_density != 0) {
            if (cinfo->density_unit == 2) {
                image.SetXDPI(int(cinfo->X_density * 2.54 + 0.5));
                image.SetYDPI(int(cinfo->Y_density * 2.54 + 0.5));
            } else if (cinfo->density_unit == 1) {
                image.SetXDPI(cinfo->X_density);
                image.SetYDPI(cinfo->Y_density);
            }
        }
    } else if (exif.fXResolution != 0 && exif.fResolutionUnit != 0 && exif.fYResolution != 0) {
        double x = exif.fXResolution / exif.fResolutionUnit;
        double y = exif.fYResolution / exif.fResolutionUnit;
        if (x > 0 && x < 2147483647.0 && y > 0 && y < 2147483647.0) {
            image.SetXDPI(int(x));
            image.SetYDPI(int(y));
        }
    }
    if (components == 1) image.SetGrayPalette();

    JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                    JDIMENSION(width) * JDIMENSION(components), 1);
    const DWORD stride = image.GetEffWidth();
    BYTE* const bits = image.GetBits();
    while (cinfo->output_scanline < cinfo->output_height) {
        if (image.info.nEscape) Fail(err, kLvErrCancelled);
        // Rows arrive top-down; the image stores them bottom-up.
        BYTE* row = bits + size_t(height - 1 - int(cinfo->output_scanline)) * stride;
        if (bgr && components == 3) {
            JSAMPROW direct = row;
            jpeg_read_scanlines(cinfo, &direct, 1);
            continue;
        }
        jpeg_read_scanlines(cinfo, buffer, 1);
        const JSAMPLE* in = buffer[0];
        if (components == 4) {
            // CMYK as Adobe writes it (inverted): each channel scaled by the black channel.
            for (int x = 0; x < width; x++, in += 4, row += 3) {
                unsigned k = in[3];
                row[0] = BYTE(in[2] * k / 255);
                row[1] = BYTE(in[1] * k / 255);
                row[2] = BYTE(in[0] * k / 255);
            }
        } else if (components == 3) {
            for (int x = 0; x < width; x++, in += 3, row += 3) {
                row[0] = in[2];
                row[1] = in[1];
                row[2] = in[0];
            }
        } else {
            memcpy(row, in, size_t(width) < stride ? size_t(width) : stride);
        }
    }
    jpeg_finish_decompress(cinfo);
}

void Compress(CLvCodecJPG& image, j_compress_ptr cinfo, bool grey, const LvCameraData* camera) {
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    cinfo->image_width = JDIMENSION(width);
    cinfo->image_height = JDIMENSION(height);
    cinfo->input_components = grey ? 1 : 3;
#ifdef JCS_EXTENSIONS
    // libjpeg-turbo takes the image's blue-green-red rows as they are stored.
    const bool bgr = !grey;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
#else
    const bool bgr = false;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
#endif
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, image.GetJpegQuality(), TRUE);
    cinfo->density_unit = 1;
    cinfo->X_density = Density(image.GetXDPI());
    cinfo->Y_density = Density(image.GetYDPI());
    jpeg_start_compress(cinfo, TRUE);
    if (camera) {
        // Segments read from a JPEG file fit in one segment again.
        if (!camera->exif.empty())
            jpeg_write_marker(cinfo, JPEG_APP0 + 1, camera->exif.data(), unsigned(camera->exif.size()));
        for (size_t i = 0; i < camera->icc.size(); i++)
            jpeg_write_marker(cinfo, JPEG_APP0 + 2, camera->icc[i].data(), unsigned(camera->icc[i].size()));
    }

    const DWORD stride = image.GetEffWidth();
    JSAMPARRAY buffer =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, JDIMENSION(stride + 8), 1);
    const BYTE* const bits = image.GetBits();
    while (cinfo->next_scanline < cinfo->image_height) {
        const BYTE* row = bits + size_t(height - 1 - int(cinfo->next_scanline)) * stride;
        if (bgr || grey) {
            // libjpeg only reads the rows it is given.
            JSAMPROW direct = const_cast<BYTE*>(row);
            jpeg_write_scanlines(cinfo, &direct, 1);
            continue;
        }
        memcpy(buffer[0], row, stride);
        if (!grey) image.SwapRedBlue(buffer[0], stride);
        jpeg_write_scanlines(cinfo, buffer, 1);
    }
    jpeg_finish_compress(cinfo);
}

} // namespace

bool CLvCodecJPG::Decode(CLvStream* stream) {
    if (!stream) return false;
    ReadExif(stream);

    jpeg_decompress_struct cinfo;
    ErrorManager err;
    SourceManager src;
    jpeg_progress_mgr progress;
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&cinfo), &err, this);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    AttachSource(&cinfo, &src, stream);
    progress.progress_monitor = ProgressMonitor;
    cinfo.progress = &progress;
    Decompress(*this, &cinfo, &err);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool CLvCodecJPG::Encode(CLvStream* stream) {
    return Write(stream, nullptr);
}

bool CLvCodecJPG::EncodeWithCameraData(CLvStream* stream, const LvCameraData& data) {
    return Write(stream, &data);
}

bool CLvCodecJPG::Write(CLvStream* stream, const LvCameraData* camera) {
    if (!stream) return false;
    if (!pDib) {
        SetLastErrorText(kLvErrNoImage);
        return false;
    }
    // Only 8-bit grey ramps and 24-bit colour map onto JPEG's one and three components.
    const bool grey = GetBpp() == 8 && IsGrayScale();
    if (GetBpp() != 24 && !grey) {
        SetLastErrorText(kErrRgbOrGrey);
        return false;
    }

    jpeg_compress_struct cinfo;
    ErrorManager err;
    DestinationManager dest;
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&cinfo), &err, this);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    AttachDestination(&cinfo, &dest, stream);
    Compress(*this, &cinfo, grey, camera);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool LvSaveJpegWithCameraData(CLvImage& image, const char* fileName, const LvCameraData& data) {
    struct Job {
        CLvImage* image;
        const LvCameraData* data;
    } job = {&image, &data};
    const char* error = nullptr;
    const bool ok = LvWriteReplacing(
        fileName,
        [](CLvStream* stream, void* context) {
            Job* j = static_cast<Job*>(context);
            CLvCodecJPG codec;
            codec.ShareBuffersOf(*j->image);
            const bool written = codec.EncodeWithCameraData(stream, *j->data);
            if (!written) j->image->SetLastErrorText(codec.GetLastErrorText());
            codec.Destroy(); // lets go of the borrowed buffers
            return written;
        },
        &job, &error);
    if (error) image.SetLastErrorText(error);
    return ok;
}
