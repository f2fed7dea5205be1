#pragma once
// The texture loader's image, without a device (its fuzz harness uses it too).
#include <cstdint>
#include <vector>

#include "platform/d3dx10tex.h"
#include "platform/image_codec.h"

namespace d3dx10_images {

// The image a texture is made of, from an image file's bytes (emptied): decoded, described
// to li->pSrcInfo, its mip levels generated and chosen as the load information says.
HRESULT TextureImage(std::vector<uint8_t>& bytes, const D3DX10_IMAGE_LOAD_INFO* li, image_codec::Image& img);

}  // namespace d3dx10_images
