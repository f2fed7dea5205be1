#include "platform/crt.h"

#include <atomic>
#include <cstdint>

namespace {
std::atomic<uint32_t> randState{1};
}

extern "C" int rand(void) noexcept
{
    uint32_t state = randState.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = state * 214013u + 2531011u;
    } while (!randState.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7FFF);
}

extern "C" void srand(unsigned int seed) noexcept
{
    randState.store(seed, std::memory_order_relaxed);
}
