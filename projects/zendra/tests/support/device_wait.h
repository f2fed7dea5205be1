#pragma once
// Waiting for the software device, for the benchmarks' timings.
#include "platform/d3d10.h"

namespace zendratest {

// Returns once the device has finished drawing into the texture (one texel is read back).
void WaitForTexture(ID3D10Texture2D* texture);

}  // namespace zendratest
