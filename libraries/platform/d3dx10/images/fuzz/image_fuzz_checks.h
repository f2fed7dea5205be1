#pragma once
// What both image harnesses check of a decoded image: it validates, every surface converts
// to 8 bits a channel, a DDS round trip gives the same image, and mip chains build.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/image_codec.h"

namespace image_fuzz {

inline void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "image codec: %s\n", what);
        std::abort();
    }
}

inline void Load(const uint8_t* data, size_t size) {
    using namespace image_codec;
    Image image;
    std::string error;
    if (!LoadImageMemory(data, size, image, &error)) {
        Check(!error.empty() && image.data.empty(), "a failed load must say why and leave the image empty");
        return;
    }
    Check(image.Validate(&error), "a loaded image must validate");

    std::vector<uint8_t> rgba;
    for (uint32_t slice = 0; slice < image.arraySize; ++slice)
        for (uint32_t mip = 0; mip < image.mipLevels; ++mip)
            for (uint32_t z = 0; z < image.MipDepth(mip); ++z) {
                Check(ConvertToRGBA8(image, mip, slice, z, rgba, &error), "a loaded surface must convert");
                Check(rgba.size() == uint64_t(image.MipWidth(mip)) * image.MipHeight(mip) * 4,
                      "a converted surface has the wrong size");
            }

    std::vector<uint8_t> dds;
    Check(EncodeDDS(image, dds, &error), "a loaded image must encode as DDS");
    Image again;
    Check(LoadImageMemory(dds.data(), dds.size(), again, &error), "an encoded DDS must load");
    Check(again.dxgiFormat == image.dxgiFormat && again.width == image.width && again.height == image.height &&
              again.depth == image.depth && again.arraySize == image.arraySize && again.mipLevels == image.mipLevels &&
              again.cube == image.cube && again.data == image.data,
          "a DDS round trip changed the image");

    if (!image.IsVolume()) {
        Image chain = image;
        if (GenerateMipChain(chain, &error))
            Check(chain.Validate(&error) && chain.mipLevels == FullMipCount(chain.width, chain.height),
                  "a generated chain must be full and validate");
    }
}

}  // namespace image_fuzz
