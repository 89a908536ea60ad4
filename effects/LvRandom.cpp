#include "effects/LvRandom.h"

#include <atomic>

namespace {

std::atomic<uint32_t> g_state{1};

} // namespace

void LvRandomSeed(uint32_t seed) {
    g_state.store(seed);
}

uint32_t LvRandomState() {
    return g_state.load();
}

CLvRandomStream::CLvRandomStream() : m_state(g_state.load()) {}

CLvRandomStream::~CLvRandomStream() {
    g_state.store(m_state);
}
