// Fuzzes the compiled-effect container reader and the compilation of what it holds. Each
// input is read as it is, then with its last eight bytes replaced by the right checksum so
// that the fuzzer reaches past the checksum test.
#include <cstring>
#include <vector>

#include "effect_fuzz_checks.h"

namespace {

void Read(const uint8_t* data, size_t size) {
    d3dx10fx::Preprocessed pre;
    std::string error;
    if (!d3dx10fx::ReadContainer(data, size, pre, error)) {
        effect_fuzz::Check(!error.empty(), "a refused container must say why");
        return;
    }
    effect_fuzz::Compile(pre);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Read(data, size);
    if (size < 16)
        return 0;
    std::vector<uint8_t> fixed(data, data + size);
    const uint64_t sum = d3dx10fx::ContainerChecksum(fixed.data(), size - 8);
    for (int i = 0; i < 8; ++i)
        fixed[size - 8 + i] = uint8_t(sum >> (8 * i));
    Read(fixed.data(), fixed.size());
    return 0;
}
