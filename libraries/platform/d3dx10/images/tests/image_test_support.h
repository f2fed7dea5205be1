#pragma once
// Helpers of the image tests: images of random bytes, and a comparison of shape and content.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/image_codec.h"

namespace image_test {

// An image of the given shape holding the first bytes of a generator seeded with `seed`.
inline image_codec::Image MakeImage(uint32_t format, uint32_t w, uint32_t h, uint32_t d = 1, uint32_t a = 1,
                                    uint32_t mips = 1, bool cube = false, uint32_t seed = 1) {
    image_codec::Image img;
    std::string error;
    EXPECT_TRUE(img.Allocate(format, w, h, d, a, mips, cube, &error)) << error;
    std::mt19937 rng(seed);
    for (auto& b : img.data)
        b = static_cast<uint8_t>(rng());
    return img;
}

inline void ExpectSame(const image_codec::Image& a, const image_codec::Image& b) {
    EXPECT_EQ(a.dxgiFormat, b.dxgiFormat);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.depth, b.depth);
    EXPECT_EQ(a.arraySize, b.arraySize);
    EXPECT_EQ(a.mipLevels, b.mipLevels);
    EXPECT_EQ(a.cube, b.cube);
    EXPECT_TRUE(a.data == b.data);
}

}  // namespace image_test
