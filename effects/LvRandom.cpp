#include "effects/LvRandom.h"

#include <atomic>

namespace {

std::atomic<uint32_t> g_state{1};
thread_local uint32_t* t_scope = nullptr;

} // namespace

void LvRandomSeed(uint32_t seed) {
    g_state.store(seed);
}

uint32_t LvRandomState() {
    return g_state.load();
}

CLvRandomScope::CLvRandomScope(uint32_t seed) : m_state(seed), m_outer(t_scope) {
    t_scope = &m_state;
}

CLvRandomScope::~CLvRandomScope() {
    t_scope = m_outer;
}

CLvRandomStream::CLvRandomStream() : m_state(t_scope ? *t_scope : g_state.load()) {}

CLvRandomStream::~CLvRandomStream() {
    if (t_scope)
        *t_scope = m_state;
    else
        g_state.store(m_state);
}
