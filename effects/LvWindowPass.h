#pragma once

#include "effects/LvParallel.h"
#include "effects/LvRowAccess.h"

#include <vector>

// The common shape of the neighbourhood operations: read the image through a window of rows, compute one
// output row of the scan box at a time, write it into a copy where the selection test holds. Rows run in
// parallel bands; every band makes its own row function (with its own buffers) through makeRow.
//
// makeRow() returns a callable row(y, window, out) that fills out with box.Width() blue-green-red pixels for
// row y; the window holds rows y + low .. y + high, columns box.left + left .. box.right - 1 + right.
template <class MakeRow>
bool LvWindowPass(CLvImage& image, CLvImage& copy, const CLvRowReader& reader, const CLvBox& box, int left, int right,
                  int low, int high, long long progressOffset, long long progressTotal, MakeRow makeRow) {
    const int n = box.Width();
    CLvRowWriter writer(copy);
    return LvRunBands(image, box.bottom, box.top, (long long)n * (right - left + 1) * (high - low + 1), progressOffset,
                      progressTotal, [&](int first, int last, CLvRowTicker& ticker) {
                          CLvRowWindow window(reader, box.left + left, n + right - left, high - low + 1);
                          std::vector<BYTE> out(size_t(n) * 3);
                          auto row = makeRow();
                          for (int y = first; y < last; y++) {
                              if (!ticker.Next()) break;
                              row(y, window, out.data());
                              writer.Write(y, box.left, n, out.data());
                          }
                      });
}
