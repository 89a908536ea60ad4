#include "LvReference.h"
#include "image/LvImage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

const CLvImage& Photo() {
    static CLvImage photo = PhotoLike(6000, 4000, 1);
    return photo;
}

void BM_DecreaseBpp(benchmark::State& state) {
    const DWORD bits = DWORD(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        CLvImage image(Photo());
        state.ResumeTiming();
        if (!image.DecreaseBpp(bits, true)) state.SkipWithError("DecreaseBpp failed");
        benchmark::DoNotOptimize(image.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_DecreaseBpp)->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond);

// The same conversion as a literal per-pixel scan with the linear nearest search: what the optimised
// conversion replaces, and must match exactly.
void BM_DecreaseBppLinearScan(benchmark::State& state) {
    for (auto _ : state) {
        CLvImage result = ReferenceDecrease(Photo(), int(state.range(0)), true, nullptr);
        benchmark::DoNotOptimize(result.GetBits());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 6000 * 4000);
}
BENCHMARK(BM_DecreaseBppLinearScan)->Arg(8)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// A free-hand outline of 2,000 points around the middle of a photo-sized picture.
void BM_SelectionPolygon(benchmark::State& state) {
    std::vector<POINT> points(2000);
    for (size_t i = 0; i < points.size(); i++) {
        double t = 2 * 3.14159265358979 * double(i) / double(points.size());
        double r = 1700 + 200 * std::sin(7 * t);
        points[i].x = LONG(3000 + r * std::cos(t));
        points[i].y = LONG(2000 + r * 0.9 * std::sin(t));
    }
    CLvImage image(6000, 4000, 24);
    for (auto _ : state) {
        image.SelectionCreate();
        if (!image.SelectionAddPolygon(points.data(), int(points.size()))) state.SkipWithError("polygon failed");
    }
}
BENCHMARK(BM_SelectionPolygon)->Unit(benchmark::kMillisecond);

} // namespace
