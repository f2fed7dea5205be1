#pragma once
// Limits shared by the codec's sources.
#include <cstdint>

namespace image_codec {

inline constexpr uint32_t kMaxExtent = 16384;
inline constexpr uint32_t kMaxDepth = 2048;
inline constexpr uint32_t kMaxArraySize = 2048;
inline constexpr uint64_t kMaxBytes = uint64_t(1) << 31;

}  // namespace image_codec
