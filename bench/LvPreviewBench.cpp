#include "LvReference.h"
#include "LvTestUtil.h"
#include "app/LvEffectConfig.h"
#include "app/LvEffectPreview.h"
#include "app/LvParamDialogs.h"

#include <benchmark/benchmark.h>

// The parameter dialogs' previews of a 6000 x 4000 photo: making the preview copy when a dialog opens, and one
// update (copy and operation) for every dialog with a preview, as each slider move costs.

namespace {

const int kPreviewWidth = 240, kPreviewHeight = 160;

const CLvImage& Photo() {
    static CLvImage photo = [] {
        CLvImage p = PhotoLike(6000, 4000, 1);
        // Feather and Remove Red-eyes work on a selection.
        p.SelectionCreate();
        p.SelectionAddEllipse(1500, 3000, 4500, 1000);
        return p;
    }();
    return photo;
}

void BM_PreviewMake(benchmark::State& state) {
    Photo();
    for (auto _ : state) {
        CLvImage preview;
        if (!LvMakePreview(Photo(), kPreviewWidth, kPreviewHeight, preview)) state.SkipWithError("no preview");
        benchmark::DoNotOptimize(preview.GetBits());
    }
}
BENCHMARK(BM_PreviewMake)->Unit(benchmark::kMillisecond)->UseRealTime();

void PreviewUpdate(benchmark::State& state, const LvParamDialog* dialog) {
    CLvImage source;
    LvMakePreview(Photo(), kPreviewWidth, kPreviewHeight, source);
    const double scale = double(source.GetWidth()) / Photo().GetWidth();
    CLvImage picture(128, 128, 24);
    FillPattern(picture, 5);
    LvOpContext context;
    context.auxImage = &picture;
    const LvOperation* op = LvFindOperation(dialog->operation);
    CLvEffectConfig config(dialog->effect);
    LvArgValue args[4];
    LvArgsFromConfig(*op, config, args);
    for (auto _ : state) {
        // Some operations refuse some values (a mosaic of 1-pixel blocks): the preview then shows the copy.
        CLvImage out;
        LvRunPreview(*op, args, source, scale, context, out);
        if (!out.IsValid()) state.SkipWithError("no preview");
        benchmark::DoNotOptimize(out.GetBits());
    }
}

const bool kRegistered = [] {
    for (const LvParamDialog& d : LvParamDialogs())
        if (d.preview)
            benchmark::RegisterBenchmark((std::string("BM_PreviewUpdate/") + d.operation).c_str(), PreviewUpdate, &d)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    return true;
}();

} // namespace
