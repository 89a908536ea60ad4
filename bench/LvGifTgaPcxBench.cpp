#include "LvReference.h"
#include "image/LvImage.h"

#include <benchmark/benchmark.h>

namespace {

// A 2000 x 2000 photo reduced to the standard 256 colours with error diffusion: the noisy indices of a
// typical photo GIF.
const CLvImage& GifPicture() {
    static CLvImage picture = [] {
        CLvImage image = PhotoLike(2000, 2000, 2);
        image.DecreaseBpp(8, true);
        return image;
    }();
    return picture;
}

// A 6000 x 4000 24-bit photo.
const CLvImage& Photo() {
    static CLvImage photo = PhotoLike(6000, 4000, 1);
    return photo;
}

void Write(benchmark::State& state, const CLvImage& source, DWORD format, DWORD option) {
    CLvImage image(source);
    image.SetCodecOption(option);
    size_t bytes = 0;
    for (auto _ : state) {
        CLvMemStream stream;
        if (!image.Encode(&stream, format)) state.SkipWithError(image.GetLastErrorText());
        bytes = stream.GetLength();
        benchmark::DoNotOptimize(stream.GetBuffer());
    }
    state.counters["file_bytes"] = double(bytes);
    state.SetItemsProcessed(int64_t(state.iterations()) * image.GetWidth() * image.GetHeight());
}

void Read(benchmark::State& state, const CLvImage& source, DWORD format, DWORD option) {
    CLvImage image(source);
    image.SetCodecOption(option);
    CLvMemStream encoded;
    if (!image.Encode(&encoded, format)) state.SkipWithError(image.GetLastErrorText());
    for (auto _ : state) {
        CLvMemStream stream(const_cast<unsigned char*>(encoded.GetBuffer()), encoded.GetLength());
        CLvImage decoded;
        if (!decoded.Decode(&stream, format)) state.SkipWithError(decoded.GetLastErrorText());
        benchmark::DoNotOptimize(decoded.GetBits());
    }
    state.counters["file_bytes"] = double(encoded.GetLength());
    state.SetItemsProcessed(int64_t(state.iterations()) * image.GetWidth() * image.GetHeight());
}

// GIF with each coder: 0 run-length, 1 uncompressed, 2 LZW.
void BM_GifWrite(benchmark::State& state) {
    Write(state, GifPicture(), LVFMT_GIF, DWORD(state.range(0)));
}
BENCHMARK(BM_GifWrite)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GifRead(benchmark::State& state) {
    Read(state, GifPicture(), LVFMT_GIF, DWORD(state.range(0)));
}
BENCHMARK(BM_GifRead)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_TgaWrite(benchmark::State& state) {
    Write(state, Photo(), LVFMT_TGA, 0);
}
BENCHMARK(BM_TgaWrite)->Unit(benchmark::kMillisecond);

void BM_TgaRead(benchmark::State& state) {
    Read(state, Photo(), LVFMT_TGA, 0);
}
BENCHMARK(BM_TgaRead)->Unit(benchmark::kMillisecond);

void BM_PcxWrite(benchmark::State& state) {
    Write(state, Photo(), LVFMT_PCX, 0);
}
BENCHMARK(BM_PcxWrite)->Unit(benchmark::kMillisecond);

void BM_PcxRead(benchmark::State& state) {
    Read(state, Photo(), LVFMT_PCX, 0);
}
BENCHMARK(BM_PcxRead)->Unit(benchmark::kMillisecond);

} // namespace
