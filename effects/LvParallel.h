#pragma once

#include "image/LvImage.h"

#include <atomic>
#include <functional>

// Row bands for the image operations: a row loop split into contiguous bands that run on several threads
// when the picture is large, with the cancel flag checked and the progress counter set before every row.

// Threads for the bands: 0 (the default) uses one per processor for large pictures and one for small ones;
// any other value is used for every picture (tests use it to compare one band against many).
void LvSetThreadCount(int count);
int LvGetThreadCount();

class CLvRowTicker;

// What the bands of one loop share: the image whose flags they use, the progress formula and the count of
// rows done.
struct CLvBandState {
    CLvImage* image;
    long long progressOffset; // progress = 100 * (offset + rows done) / total
    long long progressTotal;
    std::atomic<long long> rowsDone{0};
    std::atomic<bool> cancelled{false};
};

// Called before each row of a band: false when the image's cancel flag is set (or another band saw it), so
// the band stops. Only the first band writes the progress counter.
class CLvRowTicker {
public:
    CLvRowTicker(CLvBandState& state, int band) : m_state(state), m_band(band), m_reports(band == 0) {}

    // The band's number, 0 for the lowest rows.
    int Band() const { return m_band; }

    bool Next() {
        if (m_state.cancelled.load(std::memory_order_relaxed)) return false;
        if (m_state.image->info.nEscape) {
            m_state.cancelled.store(true);
            return false;
        }
        long long done = m_state.rowsDone.fetch_add(1, std::memory_order_relaxed);
        if (m_reports && m_state.progressTotal > 0)
            m_state.image->info.nProgress = int(100 * (m_state.progressOffset + done) / m_state.progressTotal);
        return true;
    }

private:
    CLvBandState& m_state;
    int m_band;
    bool m_reports;
};

// One band: rows [first, last); call ticker.Next() before each row and stop when it says false.
typedef std::function<void(int first, int last, CLvRowTicker& ticker)> LvBandFunction;
// Called for every band, one after the other on the calling thread, before any band runs: a band that
// changes rows in place keeps here what it needs of its neighbours' rows.
typedef std::function<void(int band, int first, int last)> LvBandSetup;

// Runs rows [first, last) in bands. workPerRow is the number of pixels a row touches, which decides whether
// more than one thread is worth starting. Progress before each row is 100 * (progressOffset + rows done) /
// progressTotal. Returns false when the cancel flag stopped the loop. An exception of a band (out of
// memory) is passed on to the caller after every band has ended; one of the setup stops before any band
// runs.
bool LvRunBands(CLvImage& image, int first, int last, long long workPerRow, long long progressOffset,
                long long progressTotal, const LvBandFunction& band, const LvBandSetup& setup = nullptr);

// The same with progress 100 * (rows done) / (rows in the loop).
inline bool LvRunBands(CLvImage& image, int first, int last, long long workPerRow, const LvBandFunction& band) {
    return LvRunBands(image, first, last, workPerRow, 0, last - first, band);
}
