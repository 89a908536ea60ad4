#include "image/LvImage.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A 6000 x 4000 photo-sized 24-bit picture with varied bytes.
const CLvImage& Photo() {
    static CLvImage photo = [] {
        CLvImage image(6000, 4000, 24);
        BYTE* bits = image.GetBits();
        unsigned state = 1;
        for (DWORD i = 0; i < image.GetHeader().biSizeImage; i++) {
            state = state * 1103515245u + 12345u;
            bits[i] = static_cast<BYTE>(state >> 16);
        }
        return image;
    }();
    return photo;
}

void SetBytes(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// The floor: copying the same bytes once.
void BM_Memcpy(benchmark::State& state) {
    const CLvImage& photo = Photo();
    std::vector<BYTE> target(photo.GetDibSize() + 14);
    for (auto _ : state) {
        memcpy(target.data() + 14, photo.GetDib(), photo.GetDibSize());
        benchmark::DoNotOptimize(target.data());
    }
    SetBytes(state, photo.GetDibSize());
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// The floor of any read or write that produces a new picture: copying into freshly allocated memory, whose
// pages the system has to supply on first touch.
void BM_MemcpyFresh(benchmark::State& state) {
    const CLvImage& photo = Photo();
    for (auto _ : state) {
        BYTE* target = static_cast<BYTE*>(malloc(photo.GetDibSize()));
        memcpy(target, photo.GetDib(), photo.GetDibSize());
        benchmark::DoNotOptimize(target);
        free(target);
    }
    SetBytes(state, photo.GetDibSize());
}
BENCHMARK(BM_MemcpyFresh)->Unit(benchmark::kMillisecond);

void BM_BmpWriteMemory(benchmark::State& state) {
    CLvImage photo(Photo());
    for (auto _ : state) {
        CLvMemStream stream;
        if (!photo.Encode(&stream, LVFMT_BMP)) state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(stream.GetBuffer());
    }
    SetBytes(state, photo.GetDibSize());
}
BENCHMARK(BM_BmpWriteMemory)->Unit(benchmark::kMillisecond);

void BM_BmpReadMemory(benchmark::State& state) {
    CLvImage photo(Photo());
    CLvMemStream encoded;
    photo.Encode(&encoded, LVFMT_BMP);
    for (auto _ : state) {
        CLvMemStream stream(const_cast<unsigned char*>(encoded.GetBuffer()), encoded.GetLength());
        CLvImage image;
        if (!image.Decode(&stream, LVFMT_BMP)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
    SetBytes(state, photo.GetDibSize());
}
BENCHMARK(BM_BmpReadMemory)->Unit(benchmark::kMillisecond);

// Through a real file (the system's page cache): what opening and saving a photo costs.
void BM_BmpWriteFile(benchmark::State& state) {
    CLvImage photo(Photo());
    for (auto _ : state) {
        if (!photo.Encode("/tmp/lumivue-bench.bmp", LVFMT_BMP)) state.SkipWithError("encode failed");
    }
    SetBytes(state, photo.GetDibSize());
}
BENCHMARK(BM_BmpWriteFile)->Unit(benchmark::kMillisecond);

void BM_BmpReadFile(benchmark::State& state) {
    CLvImage photo(Photo());
    photo.Encode("/tmp/lumivue-bench.bmp", LVFMT_BMP);
    for (auto _ : state) {
        CLvImage image;
        if (!image.Load("/tmp/lumivue-bench.bmp", LVFMT_BMP)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
    SetBytes(state, photo.GetDibSize());
    std::remove("/tmp/lumivue-bench.bmp");
}
BENCHMARK(BM_BmpReadFile)->Unit(benchmark::kMillisecond);

} // namespace
