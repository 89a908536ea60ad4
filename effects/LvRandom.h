#pragma once

#include <cstdint>

// The one random source of the image operations (noise, jitter, windy). It gives the values 0 .. 32767 of
// the classic C library generator, seed = seed * 214013 + 2531011 and value = (seed >> 16) & 0x7FFF, on
// every platform, so a seeded run gives the same picture everywhere. The state is process-wide and starts
// at 1, as the C library's does when nothing seeds it.
constexpr int kLvRandMax = 32767;

void LvRandomSeed(uint32_t seed);
uint32_t LvRandomState();

// While one lives, the operations of its thread draw from a state of their own that starts at seed instead
// of the process-wide one: a batch run seeds every file alike, so that a file's picture does not depend on
// which files came before it or ran beside it.
class CLvRandomScope {
public:
    explicit CLvRandomScope(uint32_t seed);
    ~CLvRandomScope();
    CLvRandomScope(const CLvRandomScope&) = delete;
    CLvRandomScope& operator=(const CLvRandomScope&) = delete;

private:
    uint32_t m_state;
    uint32_t* m_outer;
};

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
