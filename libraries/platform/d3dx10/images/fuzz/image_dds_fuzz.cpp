// Fuzzes the DDS reader: every input is read as the bytes after the "DDS " magic.
#include <cstring>
#include <vector>

#include "image_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(4 + size);
    std::memcpy(file.data(), "DDS ", 4);
    if (size)
        std::memcpy(file.data() + 4, data, size);
    image_fuzz::Load(file.data(), file.size());
    return 0;
}
