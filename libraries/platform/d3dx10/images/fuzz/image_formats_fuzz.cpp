// Fuzzes the image-file reader as a whole: the type is told by the leading bytes (PNG,
// JPG, BMP, TGA, HDR, DDS).
#include "image_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    image_fuzz::Load(data, size);
    return 0;
}
