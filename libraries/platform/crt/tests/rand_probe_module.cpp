#include <cstdlib>

extern "C" int CrtProbeRand() {
    return std::rand();
}
