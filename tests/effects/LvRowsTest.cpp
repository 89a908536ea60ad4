#include "effects/LvRows.h"
#include "LvTestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

namespace {

TEST(RowLoops, AFailingBodyStopsTheLoopInsteadOfEndingTheProgram) {
    CLvImage image(64, 400, 8);
    for (int threads : {1, 3}) {
        LvSetThreadCount(threads);
        std::atomic<int> rowsRun{0};
        int done = LvForRows(image, 400, kLvRowsPlain, 64, [&](int first, int last) {
            if (first >= 100) throw std::bad_alloc();
            rowsRun += last - first;
        });
        EXPECT_LT(done, 400) << threads;
        EXPECT_GE(rowsRun.load(), 100) << threads;
        EXPECT_LE(rowsRun.load(), done) << threads;
    }
    LvSetThreadCount(0);
}

} // namespace
