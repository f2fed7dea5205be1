// Fuzzes the texture loader's image: decoding, mip generation and mip selection. The first
// byte chooses the load information (low nibble: MipLevels, 0 default, 15 from the file;
// high nibble: FirstMipLevel, 0 default), the rest is the file.
#include <vector>

#include "../src/d3dx10_texture_image.h"
#include "image_fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    D3DX10_IMAGE_LOAD_INFO li;
    D3DX10_IMAGE_INFO info{};
    const uint32_t mips = data[0] & 15, first = data[0] >> 4;
    li.MipLevels = mips == 15 ? D3DX10_FROM_FILE : mips == 0 ? D3DX10_DEFAULT : mips;
    li.FirstMipLevel = first == 0 ? D3DX10_DEFAULT : first;
    li.pSrcInfo = &info;
    std::vector<uint8_t> bytes(data + 1, data + size);
    image_codec::Image image;
    const HRESULT hr = d3dx10_images::TextureImage(bytes, &li, image);
    image_fuzz::Check(bytes.empty(), "the file's bytes are given back");
    if (FAILED(hr)) {
        image_fuzz::Check(hr == E_INVALIDARG || hr == D3DX10_ERR_INVALID_DATA, "a failure is a load error");
        return 0;
    }
    std::string error;
    image_fuzz::Check(image.Validate(&error), "a texture's image must validate");
    image_fuzz::Check(image.width == image_codec::MipExtent(info.Width, first) &&
                          image.height == image_codec::MipExtent(info.Height, first) &&
                          image.dxgiFormat == uint32_t(info.Format),
                      "the texture is the file's image from its first chosen level");
    const bool fromFile = mips == 15 || (info.ImageFileFormat == D3DX10_IFF_DDS && mips == 0);
    const uint32_t full = image_codec::FullMipCount(info.Width, info.Height, info.Depth);
    if (!fromFile && info.MipLevels == 1 && info.Depth == 1 && !image_codec::IsBlockCompressed(image.dxgiFormat))
        image_fuzz::Check(image.mipLevels == std::min(mips == 0 ? full : mips, full) - first,
                          "the generated chain has the levels asked for");
    return 0;
}
