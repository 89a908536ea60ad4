#pragma once

#include "image/LvImage.h"

#include <cstddef>
#include <mutex>

// Row loops of the image operations: rows are handed out in chunks, in increasing order, to up to
// LvThreadCount() threads. A chunk once claimed is always finished, and the cancel flag is looked at before
// every claim, so a cancelled loop has done exactly a first run of rows, as a serial loop would have. The
// progress counter is written under the claim lock as 100 * (first row of the chunk) / rows.

enum LvRowFlags {
    kLvRowsPlain = 0,
    kLvRowsProgress = 1, // write nProgress before each chunk
    kLvRowsCancel = 2,   // stop claiming when nEscape is set
};

// Threads the row loops use: LvSetThreadCount's value, else the LUMIVUE_THREADS environment variable, else
// the machine's hardware threads (at most 16).
int LvThreadCount();
// 0 goes back to the automatic choice. A count set here is used even for small pictures (tests compare
// the serial and parallel results on small images).
void LvSetThreadCount(int threads);

// Called under the claim lock before each claim of a loop that can be cancelled, with the first row the
// claim would take; tests use it to set the cancel flag at a known row.
typedef void (*LvRowHook)(CLvImage& image, int nextRow);
void LvSetRowHookForTesting(LvRowHook hook);

class CLvRowScheduler {
public:
    // rowWork is the number of pixels (or a similar measure) one row costs; it decides how many threads
    // are worth starting.
    CLvRowScheduler(CLvImage& image, int rows, int flags, size_t rowWork);
    CLvRowScheduler(const CLvRowScheduler&) = delete;
    CLvRowScheduler& operator=(const CLvRowScheduler&) = delete;

    // Next chunk [first, last); false when all rows are claimed or the loop was cancelled.
    bool Claim(int& first, int& last);
    // Runs work() on the calling thread and on the extra threads, and waits for all of them.
    void Run(void (*work)(void*), void* context);
    // Rows claimed (and so done once Run returned).
    int Done() const { return m_next; }
    bool Cancelled() const { return m_cancelled; }
    // Stops further claims after a body failed.
    void Abandon();
    bool Failed() const { return m_failed; }

private:
    CLvImage& m_image;
    int m_rows;
    int m_flags;
    int m_chunk;
    int m_threads;
    int m_next;
    bool m_cancelled;
    bool m_failed = false;
    std::mutex m_mutex;
};

// Runs body(first, last) over the rows [0, rows) and returns the number of rows done (all of them unless
// the loop was cancelled).
template <class Body>
int LvForRows(CLvImage& image, int rows, int flags, size_t rowWork, const Body& body) {
    if (rows <= 0) return 0;
    CLvRowScheduler scheduler(image, rows, flags, rowWork);
    struct Context {
        CLvRowScheduler* scheduler;
        const Body* body;
    } context = {&scheduler, &body};
    scheduler.Run(
        [](void* p) {
            Context* c = static_cast<Context*>(p);
            int first, last;
            while (c->scheduler->Claim(first, last)) {
                // An exception must not leave a thread (that would end the program): a body that fails,
                // say for want of memory, stops the loop as a cancel would.
                try {
                    (*c->body)(first, last);
                } catch (...) {
                    c->scheduler->Abandon();
                    return;
                }
            }
        },
        &context);
    return scheduler.Done();
}
