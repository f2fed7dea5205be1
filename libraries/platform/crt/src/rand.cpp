#include "platform/crt.h"

#include <cstdint>

namespace {
// Each thread draws from its own sequence, starting at state 1.
thread_local uint32_t randState = 1;
}  // namespace

extern "C" int rand(void) noexcept {
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 0x7FFF);
}

extern "C" void srand(unsigned int seed) noexcept {
    randState = seed;
}
