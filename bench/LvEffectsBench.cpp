#include "LvReference.h"
#include "LvTestUtil.h"
#include "effects/LvRows.h"
#include "image/LvImage.h"

#include <benchmark/benchmark.h>

#include <functional>

// The image operations on a 6000 x 4000 true-colour photo. The argument is the number of threads: 1 is
// the serial loop, 0 the automatic choice (every hardware thread).

namespace {

const CLvImage& Photo() {
    static CLvImage photo = PhotoLike(6000, 4000, 1);
    return photo;
}

void RunOperation(benchmark::State& state, const std::function<bool(CLvImage&)>& op) {
    LvSetThreadCount(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        CLvImage image(Photo());
        state.ResumeTiming();
        if (!op(image)) state.SkipWithError("the operation failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
    LvSetThreadCount(0);
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}

#define LV_EFFECT_BENCH(name, body)                                                                                    \
    void BM_##name(benchmark::State& state) {                                                                          \
        RunOperation(state, [](CLvImage& image) { return body; });                                                     \
    }                                                                                                                  \
    BENCHMARK(BM_##name)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()

LV_EFFECT_BENCH(Mirror, image.Mirror());
LV_EFFECT_BENCH(Flip, image.Flip());
LV_EFFECT_BENCH(RotateLeft, image.RotateLeft());
LV_EFFECT_BENCH(ResizeHalfNearest, image.Resample(3000, 2000, CLvImage::kResampleNearest));
LV_EFFECT_BENCH(ResizeHalfBilinear, image.Resample(3000, 2000, CLvImage::kResampleBilinear));
LV_EFFECT_BENCH(ResizeHalfBSpline, image.Resample(3000, 2000, CLvImage::kResampleBSpline));
LV_EFFECT_BENCH(ResizeHalfBicubic, image.Resample(3000, 2000, CLvImage::kResampleBicubic));
LV_EFFECT_BENCH(Rotate17, image.Rotate(17.0f));
LV_EFFECT_BENCH(GrayScale, image.GrayScale());
LV_EFFECT_BENCH(Negative, image.Negative());
LV_EFFECT_BENCH(Gamma, image.Gamma(1.8f));
LV_EFFECT_BENCH(Light, image.Light(20, 30));
LV_EFFECT_BENCH(AdjustHSL, image.AdjustHSL(20, 10, -10));
LV_EFFECT_BENCH(CorrectHistogram, image.CorrectHistogram());
LV_EFFECT_BENCH(Sharpen, image.Sharpen(3));
LV_EFFECT_BENCH(Soften, image.Soften(2));
LV_EFFECT_BENCH(GaussSmooth, image.GaussSmooth());
LV_EFFECT_BENCH(Median, image.Median(3));
LV_EFFECT_BENCH(Erode, image.Erode(2));
LV_EFFECT_BENCH(Sobel, image.SobelEdge());
LV_EFFECT_BENCH(OstuThreshold, image.OstuThreshold());
LV_EFFECT_BENCH(DitherFloydSteinberg, image.Dither(0));
LV_EFFECT_BENCH(DitherOrdered, image.Dither(1));
LV_EFFECT_BENCH(DitherBayer, image.Dither(2));
LV_EFFECT_BENCH(Mosaic, image.Mosaic(8));
LV_EFFECT_BENCH(Sphere, image.Sphere(50));

// What the tables replace: the power function per channel of every pixel, through the pixel accessors.
void BM_GammaLiteralScan(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        CLvImage image(Photo());
        state.ResumeTiming();
        ReferenceScan(image, [](RGBQUAD c) {
            return Quad(ReferenceGamma(c.rgbRed, 1.8f), ReferenceGamma(c.rgbGreen, 1.8f),
                        ReferenceGamma(c.rgbBlue, 1.8f));
        });
        benchmark::DoNotOptimize(image.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_GammaLiteralScan)->Unit(benchmark::kMillisecond)->Iterations(1);

// Resampling pixel by pixel through the accessors (the literal bicubic path).
void BM_ResizeHalfBicubicLiteral(benchmark::State& state) {
    for (auto _ : state) {
        CLvImage result = ReferenceResample(Photo(), 3000, 2000, CLvImage::kResampleBicubic);
        benchmark::DoNotOptimize(result.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_ResizeHalfBicubicLiteral)->Unit(benchmark::kMillisecond)->Iterations(1);

// The 3 x 3 sharpening kernel as a literal scan, one colour read per neighbour.
void BM_SharpenLiteral(benchmark::State& state) {
    static const double kernel[9] = {-1, -1, -1, -1, 16, -1, -1, -1, -1};
    for (auto _ : state) {
        CLvImage result = ReferenceFilter(Photo(), kernel, 3, 8, 0);
        benchmark::DoNotOptimize(result.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_SharpenLiteral)->Unit(benchmark::kMillisecond)->Iterations(1);

// The median as a literal scan: nine colour reads and a sort per pixel.
void BM_MedianLiteral(benchmark::State& state) {
    for (auto _ : state) {
        CLvImage result = ReferenceMedian(Photo(), 3);
        benchmark::DoNotOptimize(result.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_MedianLiteral)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
