#pragma once

#include "effects/LvEffectUtil.h"
#include "effects/LvRowAccess.h"

#include <atomic>
#include <exception>
#include <vector>

// The common shape of the neighbourhood operations: read the image through a window of rows, compute one
// output row of the scan box at a time, write it back where the selection test holds. Every result is
// computed from the old colours, as if it were written into a copy: a chunk of rows keeps the old rows its
// window still needs as it slides, and the rows other chunks' windows reach are saved before they change
// (CLvSavedRows). Chunks run on the row loop's threads; progress and cancel are the loop's, so a cancelled
// operation has changed a first run of rows.
//
// makeRow() returns a callable row(y, window, out) that fills out with box.Width() blue-green-red pixels for
// row y; the window holds rows y + low .. y + high, columns box.left + left .. box.right - 1 + right. False
// when memory ran out for a chunk (its rows keep their colours).
template <class MakeRow>
bool LvWindowPass(CLvImage& image, const CLvRowReader& reader, const lvfx::ScanArea& box, int left, int right, int low,
                  int high, MakeRow makeRow) {
    if (box.Empty()) return true;
    const int n = box.Width();
    const int count = n + right - left;
    const CLvRowWriter writer(image);
    CLvSavedRows saved(reader, box.left + left, count);
    std::atomic<bool> failed{false};
    const size_t work = size_t(n) * size_t(right - left + 1) * size_t(high - low + 1);
    LvForRows(image, box.Height(), kLvRowsProgress | kLvRowsCancel, work, [&](int first, int last) {
        first += box.bottom;
        last += box.bottom;
        try {
            CLvRowWindow window(reader, box.left + left, count, high - low + 1);
            std::vector<BYTE> out(size_t(n) * 3);
            auto row = makeRow();
            saved.Save(first, last, low, high);
            for (int y = first + low; y < first; y++)
                saved.Read(y, window.Keep(y));
            for (int y = last; y < last + high; y++)
                saved.Read(y, window.Keep(y));
            for (int y = first; y < last; y++) {
                row(y, window, out.data());
                writer.Write(y, box.left, n, out.data());
            }
        } catch (const std::exception&) {
            failed = true;
        }
    });
    return !failed;
}
