#include "image/LvImage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// JPEG (quality 75), PNG and TIFF (LZW) of a 6000 x 4000 photo-sized picture through the engine, next to
// the same work done by the libraries directly and, for JPEG, by cjpeg and djpeg as separate programs.
// MB/s counts the picture's 72 MB of pixels.

namespace {

const int kWidth = 6000, kHeight = 4000;

// Smooth shading with some grain, so that the compressors meet something like a photo.
const CLvImage& Photo() {
    static CLvImage photo = [] {
        CLvImage image(kWidth, kHeight, 24);
        unsigned state = 7;
        for (int y = 0; y < kHeight; y++) {
            BYTE* row = image.GetBits() + size_t(y) * image.GetEffWidth();
            for (int x = 0; x < kWidth; x++) {
                state = state * 1103515245u + 12345u;
                int grain = int((state >> 16) & 7) - 3;
                double s = sin(x * 0.003) * cos(y * 0.002);
                row[3 * x] = BYTE(std::min(255.0, std::max(0.0, 128 + 100 * s + grain)));
                row[3 * x + 1] = BYTE(std::min(255.0, std::max(0.0, 90 + 60 * cos(x * 0.001 + y * 0.004) + grain)));
                row[3 * x + 2] = BYTE(std::min(255.0, std::max(0.0, 160 - 80 * s + grain)));
            }
        }
        return image;
    }();
    return photo;
}

// The picture as red-green-blue rows from the top, the layout the libraries take.
const std::vector<BYTE>& PhotoRgb() {
    static std::vector<BYTE> rgb = [] {
        const CLvImage& photo = Photo();
        std::vector<BYTE> out(size_t(kWidth) * kHeight * 3);
        for (int r = 0; r < kHeight; r++) {
            const BYTE* in = photo.GetBits() + size_t(kHeight - 1 - r) * photo.GetEffWidth();
            BYTE* o = &out[size_t(r) * kWidth * 3];
            for (int x = 0; x < kWidth; x++) {
                o[3 * x] = in[3 * x + 2];
                o[3 * x + 1] = in[3 * x + 1];
                o[3 * x + 2] = in[3 * x];
            }
        }
        return out;
    }();
    return rgb;
}

void SetBytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 3);
}

std::vector<BYTE> EngineEncode(DWORD format, DWORD option = 0) {
    CLvImage photo(Photo());
    photo.SetCodecOption(option);
    CLvMemStream stream;
    photo.Encode(&stream, format);
    return std::vector<BYTE>(stream.GetBuffer(), stream.GetBuffer() + stream.GetLength());
}

void EngineEncodeBench(benchmark::State& state, DWORD format, DWORD option) {
    CLvImage photo(Photo());
    photo.SetCodecOption(option);
    for (auto _ : state) {
        CLvMemStream stream;
        if (!photo.Encode(&stream, format)) state.SkipWithError(photo.GetLastErrorText());
        benchmark::DoNotOptimize(stream.GetBuffer());
    }
    SetBytes(state);
}

void EngineDecodeBench(benchmark::State& state, DWORD format, DWORD option) {
    std::vector<BYTE> encoded = EngineEncode(format, option);
    for (auto _ : state) {
        CLvMemStream stream(encoded.data(), encoded.size());
        CLvImage image;
        if (!image.Decode(&stream, format)) state.SkipWithError(image.GetLastErrorText());
        benchmark::DoNotOptimize(image.GetBits());
    }
    SetBytes(state);
}

// ---- JPEG ----

void BM_JpegEncode(benchmark::State& state) {
    EngineEncodeBench(state, LVFMT_JPG, 0);
}
BENCHMARK(BM_JpegEncode)->Unit(benchmark::kMillisecond);

void BM_JpegDecode(benchmark::State& state) {
    EngineDecodeBench(state, LVFMT_JPG, 0);
}
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond);

void BM_LibjpegEncode(benchmark::State& state) {
    const std::vector<BYTE>& rgb = PhotoRgb();
    for (auto _ : state) {
        jpeg_compress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&cinfo, &out, &size);
        cinfo.image_width = kWidth;
        cinfo.image_height = kHeight;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 75, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = const_cast<BYTE*>(&rgb[size_t(cinfo.next_scanline) * kWidth * 3]);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        free(out);
    }
    SetBytes(state);
}
BENCHMARK(BM_LibjpegEncode)->Unit(benchmark::kMillisecond);

void BM_LibjpegDecode(benchmark::State& state) {
    std::vector<BYTE> encoded = EngineEncode(LVFMT_JPG);
    for (auto _ : state) {
        std::vector<BYTE> rgb(size_t(kWidth) * kHeight * 3);
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, encoded.data(), encoded.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &rgb[size_t(cinfo.output_scanline) * kWidth * 3];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(rgb.data());
    }
    SetBytes(state);
}
BENCHMARK(BM_LibjpegDecode)->Unit(benchmark::kMillisecond);

// cjpeg and djpeg as programs, through files in the page cache (process start and file I/O included).
void WritePpm(const std::string& path) {
    FILE* f = fopen(path.c_str(), "wb");
    fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    fwrite(PhotoRgb().data(), 1, PhotoRgb().size(), f);
    fclose(f);
}

void BM_CjpegProgram(benchmark::State& state) {
    WritePpm("/tmp/lumivue-bench.ppm");
    for (auto _ : state) {
        if (system("cjpeg -quality 75 -outfile /tmp/lumivue-bench-c.jpg /tmp/lumivue-bench.ppm") != 0)
            state.SkipWithError("cjpeg failed");
    }
    SetBytes(state);
    remove("/tmp/lumivue-bench.ppm");
    remove("/tmp/lumivue-bench-c.jpg");
}
BENCHMARK(BM_CjpegProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DjpegProgram(benchmark::State& state) {
    std::vector<BYTE> encoded = EngineEncode(LVFMT_JPG);
    FILE* f = fopen("/tmp/lumivue-bench-d.jpg", "wb");
    fwrite(encoded.data(), 1, encoded.size(), f);
    fclose(f);
    for (auto _ : state) {
        if (system("djpeg -outfile /tmp/lumivue-bench-d.ppm /tmp/lumivue-bench-d.jpg") != 0)
            state.SkipWithError("djpeg failed");
    }
    SetBytes(state);
    remove("/tmp/lumivue-bench-d.jpg");
    remove("/tmp/lumivue-bench-d.ppm");
}
BENCHMARK(BM_DjpegProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- PNG ----

void BM_PngEncode(benchmark::State& state) {
    EngineEncodeBench(state, LVFMT_PNG, 0);
}
BENCHMARK(BM_PngEncode)->Unit(benchmark::kMillisecond);

void BM_PngDecode(benchmark::State& state) {
    EngineDecodeBench(state, LVFMT_PNG, 0);
}
BENCHMARK(BM_PngDecode)->Unit(benchmark::kMillisecond);

void AppendBytes(png_structp png, png_bytep data, size_t n) {
    std::vector<BYTE>* out = static_cast<std::vector<BYTE>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

void BM_LibpngEncode(benchmark::State& state) {
    const std::vector<BYTE>& rgb = PhotoRgb();
    for (auto _ : state) {
        std::vector<BYTE> out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, AppendBytes, nullptr);
        png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
        png_write_info(png, info);
        for (int r = 0; r < kHeight; r++)
            png_write_row(png, &rgb[size_t(r) * kWidth * 3]);
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(state);
}
BENCHMARK(BM_LibpngEncode)->Unit(benchmark::kMillisecond);

struct MemoryInput {
    const BYTE* data;
    size_t left;
};

void ReadBytes(png_structp png, png_bytep data, size_t n) {
    MemoryInput* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (n > in->left) png_error(png, "Read Error");
    memcpy(data, in->data, n);
    in->data += n;
    in->left -= n;
}

void BM_LibpngDecode(benchmark::State& state) {
    std::vector<BYTE> encoded = EngineEncode(LVFMT_PNG);
    for (auto _ : state) {
        std::vector<BYTE> rgb(size_t(kWidth) * kHeight * 3);
        MemoryInput in = {encoded.data(), encoded.size()};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &in, ReadBytes);
        png_read_info(png, info);
        png_read_update_info(png, info);
        for (int r = 0; r < kHeight; r++)
            png_read_row(png, &rgb[size_t(r) * kWidth * 3], nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::DoNotOptimize(rgb.data());
    }
    SetBytes(state);
}
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);

// ---- TIFF with LZW ----

const DWORD kLzw = 5;

void BM_TiffLzwEncode(benchmark::State& state) {
    EngineEncodeBench(state, LVFMT_TIF, kLzw);
}
BENCHMARK(BM_TiffLzwEncode)->Unit(benchmark::kMillisecond);

void BM_TiffLzwDecode(benchmark::State& state) {
    EngineDecodeBench(state, LVFMT_TIF, kLzw);
}
BENCHMARK(BM_TiffLzwDecode)->Unit(benchmark::kMillisecond);

// libtiff by itself writes and reads a file (in the page cache): the same tags, strips and predictor.
void BM_LibtiffLzwEncode(benchmark::State& state) {
    const std::vector<BYTE>& rgb = PhotoRgb();
    std::vector<BYTE> line(size_t(kWidth) * 3);
    for (auto _ : state) {
        TIFF* tif = TIFFOpen("/tmp/lumivue-bench.tif", "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(kWidth));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(kHeight));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW));
        TIFFSetField(tif, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        for (int r = 0; r < kHeight; r++) {
            memcpy(line.data(), &rgb[size_t(r) * kWidth * 3], line.size()); // libtiff may change the row
            TIFFWriteScanline(tif, line.data(), uint32_t(r), 0);
        }
        TIFFClose(tif);
    }
    SetBytes(state);
}
BENCHMARK(BM_LibtiffLzwEncode)->Unit(benchmark::kMillisecond);

void BM_LibtiffLzwDecode(benchmark::State& state) {
    std::vector<BYTE> encoded = EngineEncode(LVFMT_TIF, kLzw);
    FILE* f = fopen("/tmp/lumivue-bench-r.tif", "wb");
    fwrite(encoded.data(), 1, encoded.size(), f);
    fclose(f);
    for (auto _ : state) {
        TIFF* tif = TIFFOpen("/tmp/lumivue-bench-r.tif", "r");
        std::vector<uint32_t> raster(size_t(kWidth) * kHeight);
        TIFFReadRGBAImage(tif, kWidth, kHeight, raster.data(), 1);
        TIFFClose(tif);
        benchmark::DoNotOptimize(raster.data());
    }
    SetBytes(state);
    remove("/tmp/lumivue-bench-r.tif");
    remove("/tmp/lumivue-bench.tif");
}
BENCHMARK(BM_LibtiffLzwDecode)->Unit(benchmark::kMillisecond);

} // namespace
