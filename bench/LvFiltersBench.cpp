#include "LvReference.h"
#include "image/LvImage.h"

#include <benchmark/benchmark.h>

#include <functional>

namespace {

const CLvImage& Photo() {
    static CLvImage photo = PhotoLike(6000, 4000, 1);
    return photo;
}

// One operation on a fresh copy of the 6000 x 4000 photo per iteration; the copy is not timed.
void RunOnPhoto(benchmark::State& state, const std::function<bool(CLvImage&)>& operation) {
    for (auto _ : state) {
        state.PauseTiming();
        CLvImage image(Photo());
        state.ResumeTiming();
        if (!operation(image)) state.SkipWithError("operation failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}

#define LV_EFFECT_BENCH(name, call)                                                                                    \
    void BM_##name(benchmark::State& state) {                                                                          \
        RunOnPhoto(state, [](CLvImage& image) { return call; });                                                       \
    }                                                                                                                  \
    BENCHMARK(BM_##name)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()

LV_EFFECT_BENCH(Sharpen, image.Sharpen(3));
LV_EFFECT_BENCH(Soften, image.Soften(2));
LV_EFFECT_BENCH(GaussSmooth, image.GaussSmooth());
LV_EFFECT_BENCH(BoxSmooth, image.BoxSmooth());
LV_EFFECT_BENCH(Median, image.Median(3));
LV_EFFECT_BENCH(Erode, image.Erode(2));
LV_EFFECT_BENCH(Sobel, image.SobelEdge());
LV_EFFECT_BENCH(OstuThreshold, image.OstuThreshold());
LV_EFFECT_BENCH(DitherFloydSteinberg, image.Dither(0));
LV_EFFECT_BENCH(DitherOrdered, image.Dither(1));
LV_EFFECT_BENCH(DitherBayer, image.Dither(2));
LV_EFFECT_BENCH(Mosaic, image.Mosaic(8));
LV_EFFECT_BENCH(Sphere, image.Sphere(50));

// The literal 3 x 3 convolution that Sharpen replaces, one colour read per neighbour.
void BM_SharpenLiteral(benchmark::State& state) {
    static const double kernel[9] = {-1, -1, -1, -1, 16, -1, -1, -1, -1};
    for (auto _ : state) {
        CLvImage result = ReferenceFilter(Photo(), kernel, 3, 8, 0);
        benchmark::DoNotOptimize(result.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_SharpenLiteral)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
