// The software-rasteriser module: its presence is what the device creation checks; the
// rendering itself is the graphics layer's GL backend on the CPU rasteriser.
#include <cstring>

extern "C" __attribute__((visibility("default"))) const char* PlatformSoftwareRasterizerName() {
    return "llvmpipe";
}
