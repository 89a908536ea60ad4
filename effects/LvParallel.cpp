#include "effects/LvParallel.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_threadCount{0};

// Below this many pixels a second thread costs more than it saves.
const long long kMinPixelsPerThread = 256 * 1024;

int ThreadsFor(long long rows, long long workPerRow) {
    int wanted = g_threadCount.load();
    if (wanted <= 0) {
        unsigned cores = std::thread::hardware_concurrency();
        wanted = int(std::min(cores ? cores : 1u, 16u));
        long long work = rows * std::max(workPerRow, 1LL);
        wanted = int(std::min<long long>(wanted, std::max(1LL, work / kMinPixelsPerThread)));
    }
    return int(std::max(1LL, std::min<long long>(wanted, rows)));
}

} // namespace

void LvSetThreadCount(int count) {
    g_threadCount.store(count < 0 ? 0 : count);
}

int LvGetThreadCount() {
    return g_threadCount.load();
}

bool LvRunBands(CLvImage& image, int first, int last, long long workPerRow, long long progressOffset,
                long long progressTotal, const LvBandFunction& band, const LvBandSetup& setup) {
    if (last <= first) return !image.info.nEscape;
    CLvBandState state;
    state.image = &image;
    state.progressOffset = progressOffset;
    state.progressTotal = progressTotal;
    const int rows = last - first;
    const int threads = ThreadsFor(rows, workPerRow);
    auto bandFirst = [&](int index) { return first + int((long long)rows * index / threads); };
    if (setup)
        for (int i = 0; i < threads; i++)
            setup(i, bandFirst(i), bandFirst(i + 1));

    if (threads == 1) {
        CLvRowTicker ticker(state, 0);
        band(first, last, ticker);
        return !state.cancelled.load();
    }

    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    auto runBand = [&](int index) {
        try {
            CLvRowTicker ticker(state, index);
            band(bandFirst(index), bandFirst(index + 1), ticker);
        } catch (...) {
            errors[size_t(index)] = std::current_exception();
            state.cancelled.store(true);
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(size_t(threads) - 1);
    for (int i = 1; i < threads; i++) {
        try {
            workers.emplace_back(runBand, i);
        } catch (...) {
            // No thread to be had: this thread does the band itself.
            runBand(i);
        }
    }
    runBand(0);
    for (std::thread& worker : workers)
        worker.join();
    for (std::exception_ptr& error : errors)
        if (error) std::rethrow_exception(error);
    return !state.cancelled.load();
}
