#pragma once

#include <cstdint>

// The one random source of the image operations (noise, jitter, windy). It gives the values 0 .. 32767 of
// the classic C library generator, seed = seed * 214013 + 2531011 and value = (seed >> 16) & 0x7FFF, on
// every platform, so a seeded run gives the same picture everywhere. The state is process-wide and starts
// at 1, as the C library's does when nothing seeds it.
constexpr int kLvRandMax = 32767;

void LvRandomSeed(uint32_t seed);
uint32_t LvRandomState();

// Draws from the process-wide state without touching it for every number: the state is read when the
// stream is made and written back when it goes. One operation uses one stream.
class CLvRandomStream {
public:
    CLvRandomStream();
    ~CLvRandomStream();
    CLvRandomStream(const CLvRandomStream&) = delete;
    CLvRandomStream& operator=(const CLvRandomStream&) = delete;

    int Next() {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};
