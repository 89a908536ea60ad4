#include "effects/LvRows.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_threads{0};
std::atomic<LvRowHook> g_hook{nullptr};

// Below this much work per thread, starting a thread costs more than it saves.
const size_t kWorkPerThread = size_t(1) << 17;
const int kMaxThreads = 16;
const int kMaxChunkRows = 64;

int AutomaticThreadCount() {
    static const int count = [] {
        if (const char* env = getenv("LUMIVUE_THREADS")) {
            int n = atoi(env);
            if (n >= 1) return std::min(n, kMaxThreads);
        }
        int n = int(std::thread::hardware_concurrency());
        return std::max(1, std::min(n, kMaxThreads));
    }();
    return count;
}

} // namespace

int LvThreadCount() {
    int n = g_threads.load();
    return n > 0 ? n : AutomaticThreadCount();
}

void LvSetThreadCount(int threads) {
    g_threads.store(std::max(0, std::min(threads, kMaxThreads)));
}

void LvSetRowHookForTesting(LvRowHook hook) {
    g_hook.store(hook);
}

CLvRowScheduler::CLvRowScheduler(CLvImage& image, int rows, int flags, size_t rowWork)
    : m_image(image), m_rows(rows), m_flags(flags), m_next(0), m_cancelled(false) {
    int threads = LvThreadCount();
    if (g_threads.load() == 0) {
        // Automatic: as many threads as the work is worth.
        size_t work = size_t(rows) * std::max<size_t>(rowWork, 1);
        threads = int(std::min<size_t>(size_t(threads), std::max<size_t>(1, work / kWorkPerThread)));
    }
    // Several chunks per thread keep the threads busy to the end; small chunks keep progress and cancel
    // responsive.
    m_chunk = std::max(1, std::min(kMaxChunkRows, rows / (threads * 8)));
    m_threads = std::max(1, std::min(threads, (rows + m_chunk - 1) / m_chunk));
}

bool CLvRowScheduler::Claim(int& first, int& last) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_cancelled || m_next >= m_rows) return false;
    if (m_flags & kLvRowsCancel) {
        if (LvRowHook hook = g_hook.load()) hook(m_image, m_next);
    }
    if ((m_flags & kLvRowsCancel) && m_image.info.nEscape) {
        m_cancelled = true;
        return false;
    }
    first = m_next;
    last = std::min(m_rows, m_next + m_chunk);
    m_next = last;
    if (m_flags & kLvRowsProgress) m_image.info.nProgress = int(int64_t(first) * 100 / m_rows);
    return true;
}

void CLvRowScheduler::Abandon() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_failed = true;
    m_cancelled = true;
}

void CLvRowScheduler::Run(void (*work)(void*), void* context) {
    if (m_threads <= 1) {
        work(context);
        return;
    }
    std::vector<std::thread> helpers;
    helpers.reserve(size_t(m_threads - 1));
    for (int i = 1; i < m_threads; i++) {
        // Without another thread the work simply runs on fewer of them.
        try {
            helpers.emplace_back(work, context);
        } catch (...) {
            break;
        }
    }
    work(context);
    for (std::thread& t : helpers)
        t.join();
}
