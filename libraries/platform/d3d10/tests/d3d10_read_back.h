#pragma once
// The read-back of the tests and tools: a 2D texture's subresource 0 or a buffer, through
// a staging copy on the resource's own device.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d10.h"

namespace d3d10test {

// What was read: the texture's description (one level, one slice) and its rows from the
// top, rowPitch bytes apart.
struct TextureCopy {
    D3D10_TEXTURE2D_DESC desc = {};
    UINT rowPitch = 0;
    std::vector<uint8_t> bytes;
    const uint8_t* Row(UINT y) const { return bytes.data() + size_t(y) * rowPitch; }
};

// Reads subresource 0 of texture, or only its top-left texel. False, with copy left empty,
// when there is no texture or the staging copy cannot be made or mapped.
bool ReadTexture(ID3D10Texture2D* texture, TextureCopy& copy, bool topLeftTexelOnly = false);

// The bytes of a buffer; empty when there is none or the staging copy fails.
std::vector<uint8_t> ReadBuffer(ID3D10Buffer* buffer);

}  // namespace d3d10test
