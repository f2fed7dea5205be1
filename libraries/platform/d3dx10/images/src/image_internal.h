#pragma once
// Limits and decoders shared by the codec's sources.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/image_codec.h"

namespace image_codec {

// Direct3D 10's texture limits: 8192 texels a side in 1D and 2D (cube faces too), 2048 in
// a volume, 512 array slices. Every decoder refuses a larger header before allocating.
inline constexpr uint32_t kMaxExtent = 8192;
inline constexpr uint32_t kMaxVolumeExtent = 2048;
inline constexpr uint32_t kMaxArraySize = 512;

// Whether the extents fit the limits above (a volume when depth > 1).
bool ExtentFits(uint32_t width, uint32_t height, uint32_t depth, uint32_t arraySize);
std::string ExtentTooLarge(uint32_t width, uint32_t height, uint32_t depth = 1);

bool LoadPNG(const uint8_t* bytes, size_t size, Image& out, std::string* error);
bool LoadJPG(const uint8_t* bytes, size_t size, Image& out, std::string* error);

}  // namespace image_codec
