#pragma once

#include "effects/LvParallel.h"
#include "effects/LvRowAccess.h"

#include <memory>
#include <vector>

// The common shape of the neighbourhood operations: read the image through a window of rows, compute one
// output row of the scan box at a time, write it back where the selection test holds. Every result is
// computed from the old colours, as if it were written into a copy: the window holds the old rows it still
// needs, and each band reads the rows its neighbours will change before any band starts. Rows run in
// parallel bands; every band makes its own row function (with its own buffers) through makeRow, all of
// them before the first row is written, so running out of memory leaves the picture as it was.
//
// makeRow() returns a callable row(y, window, out) that fills out with box.Width() blue-green-red pixels for
// row y; the window holds rows y + low .. y + high, columns box.left + left .. box.right - 1 + right.
template <class MakeRow>
bool LvWindowPass(CLvImage& image, const CLvRowReader& reader, const CLvBox& box, int left, int right, int low,
                  int high, long long progressOffset, long long progressTotal, MakeRow makeRow) {
    typedef decltype(makeRow()) Row;
    struct Band {
        std::unique_ptr<CLvRowWindow> window;
        std::vector<BYTE> out;
        std::unique_ptr<Row> row;
    };
    const int n = box.Width();
    CLvRowWriter writer(image);
    std::vector<Band> bands;
    auto setup = [&](int index, int first, int last) {
        bands.resize(size_t(index) + 1);
        Band& band = bands[size_t(index)];
        band.window.reset(new CLvRowWindow(reader, box.left + left, n + right - left, high - low + 1));
        band.out.resize(size_t(n) * 3);
        band.row.reset(new Row(makeRow()));
        for (int y = first + low; y < first; y++)
            band.window->Keep(y);
        for (int y = last; y < last + high; y++)
            band.window->Keep(y);
    };
    return LvRunBands(
        image, box.bottom, box.top, (long long)n * (right - left + 1) * (high - low + 1), progressOffset, progressTotal,
        [&](int first, int last, CLvRowTicker& ticker) {
            Band& band = bands[size_t(ticker.Band())];
            for (int y = first; y < last; y++) {
                if (!ticker.Next()) break;
                (*band.row)(y, *band.window, band.out.data());
                writer.Write(y, box.left, n, band.out.data());
            }
        },
        setup);
}
